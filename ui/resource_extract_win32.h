// Access to the program's own resources (FindResourceA / LoadResource).
#pragma once

#include <windows.h>

#include <string>

namespace qm {

// The bytes of resource `name` of type `type` in `module` (the program when
// null); false if it cannot be found, loaded or locked.
bool ReadResourceBytes(const std::string& name, const std::string& type, std::string& bytes,
                       HMODULE module = nullptr);

// Creates (or truncates) the file at `path` and writes the resource's bytes
// into it, then flushes and closes it. False if the resource cannot be found,
// loaded or locked, or the file cannot be written completely.
bool ExtractResourceToFile(const std::string& path, const std::string& name, const std::string& type);

// A resource written to a fresh file of its own in the user's temporary
// folder (GetTempFileNameA), for consumers that can only open a file. The
// file is deleted when the object goes. Never touches a file it did not create.
class TempResourceFile {
public:
    TempResourceFile(const std::string& name, const std::string& type);
    ~TempResourceFile();
    TempResourceFile(const TempResourceFile&) = delete;
    TempResourceFile& operator=(const TempResourceFile&) = delete;

    // Empty when the resource or the file could not be had.
    const std::string& Path() const { return path_; }
    explicit operator bool() const { return !path_.empty(); }

private:
    std::string path_;
};

}  // namespace qm
