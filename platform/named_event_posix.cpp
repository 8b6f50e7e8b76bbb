// Named events without a kernel: one flag per name (the event and the
// process's flag are one and the same here), held by the process's
// table of named events for as long as the process runs, so a state set
// through a short-lived NamedEvent stays until it is reset.
#include "platform/named_event.h"

#include <atomic>
#include <map>
#include <mutex>

namespace qm {

namespace {

std::atomic<bool>* FlagFor(const std::string& name) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<std::atomic<bool>>> table;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<std::atomic<bool>>& slot = table[name];
    if (!slot) slot = std::make_unique<std::atomic<bool>>(false);
    return slot.get();
}

}  // namespace

struct NamedEvent::Impl {
    std::atomic<bool>* flag;
};

NamedEvent::NamedEvent(const std::string& name) : impl_(std::make_unique<Impl>(Impl{FlagFor(name)})) {}

NamedEvent::~NamedEvent() = default;

void NamedEvent::Set() { impl_->flag->store(true); }

void NamedEvent::Reset() { impl_->flag->store(false); }

bool NamedEvent::IsSignalled() const { return impl_->flag->load(); }

// No other process shares the flag, so it is always up to date.
bool NamedEvent::IsSignalledNow() const { return impl_->flag->load(); }

}  // namespace qm
