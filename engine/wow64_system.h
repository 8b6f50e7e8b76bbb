// Files and environment as a 32-bit program on 64-bit Windows sees them, for
// judging entries of the registry's 32-bit view:
// - the file system redirector: the system folder (Windows\System32) is
//   Windows\SysWOW64, except its sub-folders catroot, catroot2, DriverStore,
//   drivers\etc, LogFiles and spool; Windows\Sysnative is the real System32;
// - the environment: %ProgramFiles% and %CommonProgramFiles% hold their
//   "(x86)" values (Program Files (x86), Program Files (x86)\Common Files);
//   %ProgramW6432% and %CommonProgramW6432% keep the 64-bit folders;
// - the system directory is Windows\SysWOW64.
// Everything else is asked of the system underneath.
#pragma once

#include <string>

#include "platform/system.h"

namespace qm {

class Wow64System : public ISystem {
public:
    explicit Wow64System(ISystem& base);

    // The path a 32-bit program's file call reaches.
    std::string Redirect(const std::string& path) const;

    bool FileExists(const std::string& path) override;
    std::string ExpandEnvironmentStrings(const std::string& text) override;
    std::string GetSystemDirectory() override { return sysWow64_; }
    std::string GetWindowsDirectory() override { return windows_; }
    std::uint32_t GetVersion() override { return base_.GetVersion(); }
    bool GetEnvironmentVariable(const std::string& name, std::string& value) override;
    bool IsDirectory(const std::string& path) override;
    bool IsLocalDrive(char letter) override { return base_.IsLocalDrive(letter); }
    bool PresenceUnknown(const std::string& path) override { return base_.PresenceUnknown(Redirect(path)); }

private:
    // The value a 32-bit program sees for the variables that differ.
    bool Wow64Variable(const std::string& name, std::string& value);

    ISystem& base_;
    std::string windows_;
    std::string system32_;
    std::string sysWow64_;
    std::string sysnative_;
};

}  // namespace qm
