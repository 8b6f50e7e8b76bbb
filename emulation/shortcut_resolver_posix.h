// The portable shortcut resolver: reads ".lnk" files with liblnk. The target
// path is the local path of the link's location information (the volume-local
// base path and its common suffix), which is the path the shell's
// IShellLinkA::GetPath gives for a shortcut to a file on a local drive, or
// failing that its network path ("\\server\share\..."). A shortcut with
// neither (a special folder, a web address) has no file-system target: the
// result is S_FALSE with an empty target, as GetPath gives for it.
#pragma once

#include <cstdint>
#include <string>

#include "emulation/drive_map.h"
#include "platform/shortcut_resolver.h"

namespace qm {

// Reads the shortcut file at the host path `hostPath`. Anything but a regular
// file (a directory, a FIFO, a device) is refused without being opened, so a
// reader never blocks; a file liblnk cannot read as a shortcut gives E_FAIL.
// The target comes back in the ANSI code page.
std::int32_t ReadShortcutTarget(const std::string& hostPath, std::string& target);

// GetShortcutPath on Windows paths, looked up through a drive map.
class LnkShortcutResolver : public IShortcutResolver {
public:
    // `drives` must outlive the resolver.
    explicit LnkShortcutResolver(const DriveMap& drives);
    std::int32_t GetShortcutPath(const std::string& shortcutPath, std::string& target) override;

private:
    const DriveMap& drives_;
};

}  // namespace qm
