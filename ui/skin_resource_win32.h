// The built-in skin definition: resource "SKININI" of type "INI".
#pragma once

#include "ui/skin_file.h"

namespace qm {

constexpr const char* kSkinResourceName = "SKININI";
constexpr const char* kSkinResourceType = "INI";

// Gives `skin` the built-in definition, read straight from the program's
// resource; no file is written. False (skin left unloaded) if the resource is
// missing: the caller shows "skin.ini Not Found" and gives up.
bool LoadBuiltInSkin(SkinFile& skin);

}  // namespace qm
