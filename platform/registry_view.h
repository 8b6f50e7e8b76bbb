// The 32-bit registry view of 64-bit Windows as a key tree that holds both
// views, the way the 64-bit registry editor shows and exports it: a key that
// is redirected for 32-bit programs has its 32-bit twin below a "Wow6432Node"
// key; every other key is shared by both views. Backends that keep a tree of
// their own (memory, registry files) follow 32-bit paths through this.
//
// The rules are those of Windows 7 and later:
// - HKEY_LOCAL_MACHINE\SOFTWARE is redirected to SOFTWARE\Wow6432Node, except
//   SOFTWARE\Classes (below) and the shared keys of kWow64SharedSoftwareKeys
//   (App Paths, Fonts, Shared Tools\MSInfo, ...);
// - in SOFTWARE\Classes of the machine (HKEY_CLASSES_ROOT) and of each user
//   (HKEY_CURRENT_USER\Software\Classes, HKEY_USERS\<user>\Software\Classes)
//   only CLSID, DirectShow, Interface, Media Type and MediaFoundation are
//   redirected, to Classes\Wow6432Node\<name>; the rest is shared;
// - everything else (the rest of the user's Software, SYSTEM, ...) is shared;
// - a path that already names a Wow6432Node key at its redirection point is
//   taken as it is.
#pragma once

#include <string>
#include <vector>

#include "platform/registry.h"

namespace qm {

// The key names below HKEY_LOCAL_MACHINE\SOFTWARE that both views share.
extern const std::vector<std::string> kWow64SharedSoftwareKeys;

// The literal path of the key that `path` (names below `root`, one per
// element) reaches in `view`. `root` is one of the five predefined roots;
// HKEY_CLASSES_ROOT paths are taken as below HKEY_LOCAL_MACHINE\SOFTWARE\Classes
// and given back below HKEY_CLASSES_ROOT. The 64-bit view gives `path` back.
std::vector<std::string> ViewPath(RegKey root, const std::vector<std::string>& path,
                                  RegView view);

// The same for a full path text ("HKEY_LOCAL_MACHINE\\SOFTWARE\\X"); a path
// whose root is not a root name is given back unchanged.
std::string ViewPathText(const std::string& fullPath, RegView view);

// The view a literal full path belongs to: 32 when it runs through a
// Wow6432Node key, else 64.
RegView ViewOfPath(const std::string& fullPath);

}  // namespace qm
