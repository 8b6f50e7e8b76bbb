#include "engine/categories.h"

#include <cstring>

namespace qm {

const std::array<CategoryInfo, 10> kCategories = {{
    {Category::Com, kSlotCom, "com", kTagCom, "KEY", kLabelCom, "BUTTON_COM"},
    {Category::SharedDlls, kSlotSharedDlls, "shareddlls", kTagSharedDlls, "VAL", kLabelSharedDlls,
     "BUTTON_COM_SUBS"},
    {Category::Drivers, kSlotDrivers, "drivers", kTagDrivers, "VAL", kLabelDrivers, "BUTTON_DRV"},
    {Category::Help, kSlotHelp, "help", kTagHelp, "VAL", kLabelHelp, "BUTTON_HELP"},
    {Category::AppPaths, kSlotAppPaths, "apppaths", kTagAppPaths, "KEY", kLabelAppPaths,
     "BUTTON_APPPATH"},
    {Category::SharedTools, kSlotSharedTools, "sharedtools", kTagSharedTools, "KEY",
     kLabelSharedTools, "BUTTON_SHARED_TOOLS"},
    {Category::Fonts, kSlotFonts, "fonts", kTagFonts, "VAL", kLabelFonts, "BUTTON_FONTS"},
    {Category::Startup, kSlotStartup, "startup", kTagStartup, "VAL", kLabelStartup,
     "BUTTON_STARTUP"},
    {Category::Uninstall, kSlotUninstall, "uninstall", kTagUninstall, "VAL", kLabelUninstall,
     "BUTTON_UNINSTALL"},
    {Category::Shortcuts, kSlotShortcuts, "shortcuts", "", "", kLabelShortcuts, "BUTTON_SHORTCUTS"},
}};

const CategoryInfo& InfoFor(Category category) {
    for (const auto& info : kCategories)
        if (info.category == category) return info;
    return kCategories[0];
}

const CategoryInfo* FindCategoryByCliName(const char* name) {
    for (const auto& info : kCategories)
        if (std::strcmp(info.cliName, name) == 0) return &info;
    return nullptr;
}

}  // namespace qm
