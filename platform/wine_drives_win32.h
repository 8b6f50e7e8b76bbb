// Where Wine's drive letters lead on the host (Windows build, under Wine).
#pragma once

#include <string>

namespace qm {

// True when the program runs under Wine and drive `letter` stands for the
// host's root folder or for a host folder outside the Wine prefix. False on
// Windows, and when Wine does not tell where the drive leads.
bool IsWineHostFolderDrive(char letter);
// True when the program runs under Wine.
bool RunsUnderWine();
// Under Wine: the drive (upper-case letter) whose host folder holds the host
// file of `windowsPath`, the deepest where one lies in another, leaving out
// drives that stand for the host's root; 0 when none does. Asks the mount
// manager, not the process's own table of drives, which may lag behind a
// drive just defined.
char WineDriveHolding(const std::string& windowsPath);

}  // namespace qm
