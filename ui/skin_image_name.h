// How a skin image name maps to the program's built-in image resources.
#pragma once

#include <string>

namespace qm {

// Resource type of every built-in skin image (any format the system picture
// loader reads may be stored under it; the default mask is a 24-bit BMP).
constexpr const char* kSkinImageResourceType = "GIF";

// The resource name for an image path or field: everything up to and including
// the last backslash (or slash) removed, everything from the last "." on removed
// (so trailing spaces after the extension vanish too), the rest upper-cased
// (ASCII). "home_unchk.gif" -> "HOME_UNCHK", "C:\skin\Mask.bmp" -> "MASK",
// "ADVANCED-SETTINGS_chk.gif " -> "ADVANCED-SETTINGS_CHK".
std::string ImageResourceName(const std::string& imagePath);

}  // namespace qm
