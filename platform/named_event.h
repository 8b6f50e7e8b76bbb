// Named manual-reset events (CreateEventA / SetEvent / ResetEvent /
// WaitForSingleObject with a zero time-out). On Win32 they are real kernel
// events visible to other processes; the portable backend keeps one flag per
// name for the whole process. Either way each name's event is held open by
// the process until it ends, so its state does not die with the last
// NamedEvent of that name: a set event stays set until it is reset.
#pragma once

#include <memory>
#include <string>

namespace qm {

class NamedEvent {
public:
    // Creates or opens the event (manual reset, initially not signalled when
    // created). Never fails in a way callers must handle: a failed open gives
    // an event that is never signalled.
    explicit NamedEvent(const std::string& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void Set();
    void Reset();
    // WaitForSingleObject(event, 0) == 0.
    bool IsSignalled() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The stop event every scan and repair polls.
constexpr const char* kStopEventName = "QUILLMERESTOPSCANNING";
constexpr const char* kAbortedEventName = "QUILLMERE_ABORTED";

}  // namespace qm
