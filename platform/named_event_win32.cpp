// Named manual-reset kernel events, visible to other processes. A kernel
// event lives only while a handle to it is open, so the process keeps one
// handle per name until it ends: a state set through a short-lived
// NamedEvent stays until it is reset, and other processes see it too.
#include "platform/named_event.h"

#include <windows.h>

#include <map>
#include <mutex>

namespace qm {

namespace {

HANDLE HandleFor(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, HANDLE> table;  // never closed: held for the process's life
    std::lock_guard<std::mutex> lock(mutex);
    HANDLE& handle = table[name];
    // Manual reset, not signalled when created; an existing event is opened.
    // A failed open is tried again by the next object of that name.
    if (handle == nullptr) handle = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
    return handle;
}

}  // namespace

struct NamedEvent::Impl {
    HANDLE handle = nullptr;
};

NamedEvent::NamedEvent(const std::string& name) : impl_(std::make_unique<Impl>(Impl{HandleFor(name)})) {}

NamedEvent::~NamedEvent() = default;

void NamedEvent::Set() {
    if (impl_->handle) ::SetEvent(impl_->handle);
}

void NamedEvent::Reset() {
    if (impl_->handle) ::ResetEvent(impl_->handle);
}

bool NamedEvent::IsSignalled() const {
    return impl_->handle && ::WaitForSingleObject(impl_->handle, 0) == WAIT_OBJECT_0;
}

}  // namespace qm
