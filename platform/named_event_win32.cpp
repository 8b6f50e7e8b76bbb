// Named manual-reset kernel events, visible to other processes (the stop
// event under a name of the process's own, "QUILLMERESTOPSCANNING.<pid>"). A kernel
// event lives only while a handle to it is open, so the process keeps one
// handle per name until it ends: a state set through a short-lived
// NamedEvent stays until it is reset, and other processes see it too.
//
// Next to each handle lives the process's flag for that name. Set and Reset
// change event and flag under one lock, and a look at the event (which
// copies its state into the flag) takes the same lock, so a look that began
// before a Set cannot overwrite the Set's flag with the older state.
#include "platform/named_event.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace qm {

namespace {

// The tick count, in milliseconds: a read of memory the system keeps up to
// date, where a precise clock is a call into the system (under Wine a
// system call) on every entry's stop test. Its steps of 10 to 16 ms only
// make the recheck period that much longer at times.
std::uint64_t Ticks() { return ::GetTickCount64(); }

struct Shared {
    HANDLE handle = nullptr;  // never closed: held for the process's life
    std::mutex lock;
    std::atomic<bool> flag{false};
    std::atomic<std::uint64_t> lookedAt{0};  // tick count when the event was last looked at

    void Stamp() { lookedAt.store(Ticks(), std::memory_order_relaxed); }

    // Copies the event's state into the flag; the caller holds `lock`.
    bool Look() {
        const bool set = ::WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        flag.store(set);
        Stamp();
        return set;
    }
};

Shared* SharedFor(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<Shared>> table;
    std::lock_guard<std::mutex> guard(mutex);
    std::unique_ptr<Shared>& slot = table[name];
    if (!slot) slot = std::make_unique<Shared>();
    // Manual reset, not signalled when created; an existing event is opened
    // (perhaps already set by another process). A failed open is tried again
    // by the next object of that name.
    if (slot->handle == nullptr) {
        std::lock_guard<std::mutex> state(slot->lock);
        // The stop event is this program's own: its kernel name carries the
        // process id, so another program (the command line, a script) neither
        // sets nor hears it by the plain name.
        const std::string kernelName =
            name == kStopEventName ? name + "." + std::to_string(::GetCurrentProcessId()) : name;
        slot->handle = ::CreateEventA(nullptr, TRUE, FALSE, kernelName.c_str());
        if (slot->handle) slot->Look();
    }
    return slot.get();
}

}  // namespace

struct NamedEvent::Impl {
    Shared* shared;
};

NamedEvent::NamedEvent(const std::string& name) : impl_(std::make_unique<Impl>(Impl{SharedFor(name)})) {}

NamedEvent::~NamedEvent() = default;

void NamedEvent::Set() {
    Shared& s = *impl_->shared;
    if (!s.handle) return;
    std::lock_guard<std::mutex> guard(s.lock);
    ::SetEvent(s.handle);
    s.flag.store(true);
    s.Stamp();
}

void NamedEvent::Reset() {
    Shared& s = *impl_->shared;
    if (!s.handle) return;
    std::lock_guard<std::mutex> guard(s.lock);
    ::ResetEvent(s.handle);
    s.flag.store(false);
    s.Stamp();
}

bool NamedEvent::IsSignalled() const {
    Shared& s = *impl_->shared;
    if (!s.handle) return false;
    const std::uint64_t at = s.lookedAt.load(std::memory_order_relaxed), now = Ticks();
    if (now >= at && now - at >= std::uint64_t(kEventRecheckMs)) {
        // One thread looks; the others go on with the flag as it is.
        std::unique_lock<std::mutex> guard(s.lock, std::try_to_lock);
        if (guard.owns_lock()) return s.Look();
    }
    return s.flag.load();
}

bool NamedEvent::IsSignalledNow() const {
    Shared& s = *impl_->shared;
    if (!s.handle) return false;
    std::lock_guard<std::mutex> guard(s.lock);
    return s.Look();
}

}  // namespace qm
