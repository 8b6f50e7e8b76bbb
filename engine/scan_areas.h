// The registry keys the category scans read, and the areas of the registry a
// repair removes entries from: the only keys a backup may write back into
// (repair/restore_areas.h). A key scanned later is one more line in each list.
#pragma once

#include "engine/categories.h"

namespace qm {

// Root paths of the category scans (root name first, as the 64-bit view
// spells them; every scan also reads the same path in the 32-bit view).
constexpr const char* kComRoot = "HKEY_CLASSES_ROOT\\CLSID";
constexpr const char* kSharedDllsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr const char* kDriversRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
// The help scan reads only the sub-keys "help" and "html help" of this key.
constexpr const char* kHelpRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows";
constexpr const char* kHelpKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help";
constexpr const char* kHtmlHelpKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help";
constexpr const char* kAppPathsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kSharedToolsRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
constexpr const char* kFontsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr const char* kOldPlatformFontsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr const char* kStartupRoot =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Run";
constexpr const char* kUninstallRoot =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\Currentversion\\Uninstall";

// The same three keys in the user's own hive, where programs installed for
// one user register. Their categories scan them after the machine's keys.
constexpr const char* kUserAppPathsRoot =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kUserStartupRoot = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kUserUninstallRoot =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The roots of the categories that read both hives, in scanning order.
inline constexpr const char* kAppPathsRoots[] = {kAppPathsRoot, kUserAppPathsRoot};
inline constexpr const char* kStartupRoots[] = {kStartupRoot, kUserStartupRoot};
inline constexpr const char* kUninstallRoots[] = {kUninstallRoot, kUserUninstallRoot};

// What a repair removes in an area, and so what a backup of it holds.
enum class AreaShape : unsigned char {
    SubKeys,    // sub-keys of the key, at any depth, and their values (a whole
                // class or application key, or a value in one); the key's own
                // values are no part of it
    OwnValues,  // values of the key itself (a font, a Run value), and the
                // sub-keys a backup of such a value holds beside it
};

struct RegistryArea {
    Category category;
    const char* path;  // root name first, as the 64-bit view spells it
    AreaShape shape;
};

// Every area, in both registry views (a backup's view="32" chain, or the
// path with Wow6432Node where the 64-bit view shows the 32-bit one; the
// user's Software key is one key in both views).
inline constexpr RegistryArea kRegistryAreas[] = {
    {Category::Com, kComRoot, AreaShape::SubKeys},
    {Category::SharedDlls, kSharedDllsRoot, AreaShape::OwnValues},
    {Category::Drivers, kDriversRoot, AreaShape::OwnValues},
    {Category::Help, kHelpKey, AreaShape::OwnValues},
    {Category::Help, kHtmlHelpKey, AreaShape::OwnValues},
    {Category::AppPaths, kAppPathsRoot, AreaShape::SubKeys},
    {Category::SharedTools, kSharedToolsRoot, AreaShape::SubKeys},
    {Category::Fonts, kFontsRoot, AreaShape::OwnValues},
    {Category::Fonts, kOldPlatformFontsRoot, AreaShape::OwnValues},
    {Category::Startup, kStartupRoot, AreaShape::OwnValues},
    {Category::Uninstall, kUninstallRoot, AreaShape::SubKeys},
    {Category::AppPaths, kUserAppPathsRoot, AreaShape::SubKeys},
    {Category::Startup, kUserStartupRoot, AreaShape::OwnValues},
    {Category::Uninstall, kUserUninstallRoot, AreaShape::SubKeys},
};

}  // namespace qm
