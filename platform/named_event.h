// Named manual-reset events (CreateEventA / SetEvent / ResetEvent /
// WaitForSingleObject with a zero time-out). On Win32 they are real kernel
// events visible to other processes (the stop event aside, see below); the portable backend keeps one flag per
// name for the whole process. Either way each name's event is held open by
// the process until it ends, so its state does not die with the last
// NamedEvent of that name: a set event stays set until it is reset.
//
// Besides the event itself the process keeps one flag per name, set and
// cleared together with the event by Set and Reset, so that the test made
// before every scanned entry costs a memory read instead of a wait on the
// event (under Wine a round trip to its server). A change made by another
// process reaches the flag the next time the event itself is looked at: by
// IsSignalledNow, or by IsSignalled once kEventRecheckMs have passed since
// the last look.
#pragma once

#include <memory>
#include <string>

namespace qm {

// How old the flag may be before IsSignalled looks at the event itself (on
// Win32 measured by the tick count, so up to one tick, 10 to 16 ms, more).
constexpr int kEventRecheckMs = 20;

class NamedEvent {
public:
    // Creates or opens the event (manual reset, initially not signalled when
    // created). Never fails in a way callers must handle: a failed open gives
    // an event that is never signalled.
    explicit NamedEvent(const std::string& name);
    ~NamedEvent();
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    // Both change the event and the process's flag at once.
    void Set();
    void Reset();
    // The flag: what this process last set, reset or saw. A Set or Reset made
    // in this process (through any object of the name) is seen at once; one
    // made by another process within kEventRecheckMs. Cheap enough for every
    // entry of a scan.
    bool IsSignalled() const;
    // WaitForSingleObject(event, 0) == 0, which also brings the flag up to
    // date: for the tests made once per category or run.
    bool IsSignalledNow() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The stop event every scan and repair polls. It is the program's own (on
// Win32 its kernel name is this name, a dot and the process id): a stop in
// one program never reaches the scan or repair of another.
constexpr const char* kStopEventName = "QUILLMERESTOPSCANNING";
constexpr const char* kAbortedEventName = "QUILLMERE_ABORTED";

}  // namespace qm
