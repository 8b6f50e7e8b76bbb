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

}  // namespace qm
