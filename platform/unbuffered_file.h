// A write-only file without a user-space buffer: every Write goes to the
// operating system at once, so what was written survives the process being
// killed. Used for the repair's XML backup, which must hold each element
// before the deletion it records takes place.
#pragma once

#include <cstddef>
#include <string>

#include "platform/unique_handle.h"

namespace qm {

class UnbufferedFile {
public:
    enum class OpenResult { Opened, Exists, Failed };

    UnbufferedFile() = default;

    // Creates a new file for writing, shared for reading, writing and deletion
    // with every other opener. Never opens or truncates an existing file:
    // that gives Exists. Line ends are written as given (binary mode).
    OpenResult CreateNew(const std::string& name);
    // Writes every byte or fails; true on success.
    bool Write(const char* data, std::size_t length);
    void Close() { handle_.Reset(); }
    bool IsOpen() const { return handle_.Valid(); }

private:
    // A file descriptor or a HANDLE value, closed by the backend.
    struct Traits {
        using Handle = long long;
        static Handle Invalid() { return -1; }
        static bool Valid(Handle h) { return h != -1; }
        static bool Close(Handle h);
    };
    UniqueHandle<Traits> handle_;
};

}  // namespace qm
