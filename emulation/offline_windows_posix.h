// A Windows installation on a disk mounted elsewhere (a rescue system, a disk
// image): its registry hives, its user profiles, and the Windows environment
// its own registry describes.
//
// The folder given stands for drive C:. Paths below it are matched without
// regard to case, as Windows matches them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "emulation/hive_registry_posix.h"

namespace qm {

struct OfflineProfile {
    std::string name;         // the profile folder's name ("Anna")
    std::string windowsPath;  // "C:\Users\Anna"
    std::string hostPath;     // the folder on this machine
};

struct OfflineWindows {
    std::string windowsDir = "C:\\Windows";
    std::string systemDir = "C:\\Windows\\System32";
    std::vector<std::string> hives;  // the hive files loaded
    OfflineProfile user;             // empty name: no user hive
    // Variables as the installation's registry sets them, in the order to
    // set them (values still to be expanded, later ones may refer to earlier).
    std::vector<std::pair<std::string, std::string>> environment;
};

// The user profiles of the installation whose drive C: is `root`: those the
// SOFTWARE hive's ProfileList names (user accounts only) whose NTUSER.DAT
// exists, or, when it names none, the folders under Users holding one.
std::vector<OfflineProfile> FindOfflineProfiles(HiveRegistry& registry, const std::string& root);

// Loads the installation's hives into `registry`: SOFTWARE and SYSTEM from
// Windows\System32\config, the chosen user's NTUSER.DAT and UsrClass.dat
// (`user` empty: the only profile). `writable`: the hives can be committed.
// Throws HiveError with a message for the user (no SOFTWARE hive, an
// unknown user, several profiles and none chosen, an unreadable hive).
OfflineWindows LoadOfflineWindows(HiveRegistry& registry, const std::string& root, const std::string& user,
                                  bool writable);

// Why a hive of the installation must not be written ("" when every loaded
// hive is clean): see CheckHiveCleanliness.
std::string OfflineHivesNotWritable(const OfflineWindows& windows);

}  // namespace qm
