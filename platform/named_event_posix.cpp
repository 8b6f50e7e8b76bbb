// Named events without a kernel: one flag per name for the whole process. As
// with kernel objects, the event lives while at least one NamedEvent holds it;
// the next one created after the last is gone starts unsignalled.
#include "platform/named_event.h"

#include <atomic>
#include <map>
#include <mutex>

namespace qm {

namespace {

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, std::weak_ptr<std::atomic<bool>>>& Table() {
    static std::map<std::string, std::weak_ptr<std::atomic<bool>>> table;
    return table;
}

}  // namespace

struct NamedEvent::Impl {
    std::shared_ptr<std::atomic<bool>> flag;
};

NamedEvent::NamedEvent(const std::string& name) : impl_(std::make_unique<Impl>()) {
    std::lock_guard<std::mutex> lock(TableMutex());
    auto& table = Table();
    // Drop names whose events are gone so the table does not grow without end.
    for (auto it = table.begin(); it != table.end();) {
        it = it->second.expired() ? table.erase(it) : std::next(it);
    }
    std::weak_ptr<std::atomic<bool>>& slot = table[name];
    impl_->flag = slot.lock();
    if (!impl_->flag) {
        impl_->flag = std::make_shared<std::atomic<bool>>(false);
        slot = impl_->flag;
    }
}

NamedEvent::~NamedEvent() {
    // Release under the table lock so a concurrent constructor of the same
    // name sees either the live event or an expired slot, never a half-freed one.
    std::lock_guard<std::mutex> lock(TableMutex());
    impl_->flag.reset();
}

void NamedEvent::Set() { impl_->flag->store(true); }

void NamedEvent::Reset() { impl_->flag->store(false); }

bool NamedEvent::IsSignalled() const { return impl_->flag->load(); }

}  // namespace qm
