// The real files and environment (Windows build).
#pragma once

#include "platform/system.h"

namespace qm {

class Win32System : public ISystem {
public:
    // _access(path, 0) == 0.
    bool FileExists(const std::string& path) override;
    // ExpandEnvironmentStringsA into a 256-byte buffer; the text unexpanded
    // when the result does not fit or the call fails.
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    // GetSystemDirectoryA / GetWindowsDirectoryA into 256 bytes; "" when the
    // directory does not fit or the call fails.
    std::string GetSystemDirectory() override;
    std::string GetWindowsDirectory() override;
    std::uint32_t GetVersion() override;
    // GetEnvironmentVariableA, as long as the value is.
    bool GetEnvironmentVariable(const std::string& name, std::string& value) override;
    // GetFileAttributesA has the directory bit.
    bool IsDirectory(const std::string& path) override;
    // GetDriveTypeA of the drive's root is fixed or RAM disk.
    bool IsLocalDrive(char letter) override;
};

}  // namespace qm
