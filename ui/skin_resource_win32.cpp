#include "ui/skin_resource_win32.h"

#include "ui/resource_extract_win32.h"

namespace qm {

bool LoadBuiltInSkin(SkinFile& skin) {
    std::string text;
    if (!ReadResourceBytes(kSkinResourceName, kSkinResourceType, text)) return false;
    skin.UseSkinText(text);
    return true;
}

}  // namespace qm
