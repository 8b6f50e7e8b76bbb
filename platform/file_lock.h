// An exclusive lock on a file among the processes that lock it through this
// class (an advisory lock: it keeps cooperating runs apart, nothing else).
// The lock follows the path: when the holder replaces the file by renaming a
// new one over it, a waiter that locked the old file notices and locks the
// new one, so a run always reads the file the previous run left.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/unique_handle.h"

namespace qm {

class ExclusiveFileLock {
public:
    enum class Result { Locked, TimedOut, Failed };

    ExclusiveFileLock() = default;

    // Locks the existing file at `path`, waiting at most `waitMs` for another
    // holder to let go; `waiting` (may be empty) is called once when the lock
    // is held elsewhere. `error` says why when the result is not Locked.
    Result Lock(const std::string& path, std::uint32_t waitMs, const std::function<void()>& waiting,
                std::string& error);
    void Unlock() { handle_.Reset(); }
    bool Held() const { return handle_.Valid(); }

private:
    // The locked file's descriptor; closing it releases the lock.
    struct Traits {
        using Handle = long long;
        static Handle Invalid() { return -1; }
        static bool Valid(Handle h) { return h >= 0; }
        static bool Close(Handle h);
    };
    UniqueHandle<Traits> handle_;
};

}  // namespace qm
