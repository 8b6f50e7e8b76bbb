// Files and environment of a Windows installation seen from outside it: the
// existence test goes to host folders standing for the drives (DriveMap); the
// environment and the Windows and system directories are those of
// MemorySystem, filled with a Windows set consistent with the directories.
#pragma once

#include <string>

#include "emulation/drive_map.h"
#include "emulation/system_memory.h"

namespace qm {

class MappedSystem : public MemorySystem {
public:
    // `drives` must outlive this object.
    explicit MappedSystem(const DriveMap& drives);

    bool FileExists(const std::string& path) override;
    bool IsDirectory(const std::string& path) override;
    // Only the mapped drives are there.
    bool IsLocalDrive(char letter) override;
    // A folder on the way that may not be read, or a short name the file
    // system does not resolve (DriveMap::Look).
    bool PresenceUnknown(const std::string& path) override;

    // Sets the two directories and the variables derived from them
    // (SystemRoot, windir, SystemDrive, ProgramFiles, ... USERPROFILE).
    // Variables set afterwards override these.
    void UseWindowsLayout(const std::string& windowsDir, const std::string& systemDir);

private:
    const DriveMap& drives_;
};

}  // namespace qm
