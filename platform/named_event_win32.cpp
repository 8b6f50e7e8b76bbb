// Named manual-reset kernel events, visible to other processes.
#include "platform/named_event.h"

#include <windows.h>

namespace qm {

struct NamedEvent::Impl {
    HANDLE handle = nullptr;
};

NamedEvent::NamedEvent(const std::string& name) : impl_(std::make_unique<Impl>()) {
    // Manual reset, not signalled when created; an existing event is opened.
    impl_->handle = ::CreateEventA(nullptr, TRUE, FALSE, name.c_str());
}

NamedEvent::~NamedEvent() {
    if (impl_->handle) ::CloseHandle(impl_->handle);
}

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
