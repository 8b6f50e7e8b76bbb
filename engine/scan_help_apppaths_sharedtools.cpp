// Help files, application paths and shared tools: sub-key scans with a value
// loop in each sub-key.
#include "engine/scan_frame.h"

namespace qm {

namespace {
constexpr const char* kHelpRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows";
constexpr const char* kAppPathsRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kSharedToolsRoot = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shared Tools";
}  // namespace

void CRegistryLib::ScanRegistryHelp(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Help, kStatusHelp);
    const auto wanted = [](const std::string& name) {
        return EqualsAsciiLower(name, "help") || EqualsAsciiLower(name, "html help");
    };
    RunSubKeyValueScan(frame, kHelpRoot, wanted,
                       [&](const CRegValueItem& item, const std::string& subKey) {
                           frame.CountScanned();
                           if (item.data == kValueNotSet) return;
                           frame.Examine(
                               item, [&] { return frame.RootPath() + "\\" + AsciiLower(subKey); },
                               HelpFilePath(item.data, item.name, frame.Paths()));
                       });
}

void CRegistryLib::ScanRegistryAppPaths(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::AppPaths, kStatusAppPaths);
    RunSubKeyValueScan(frame, kAppPathsRoot, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& subKey) {
                           frame.CountScanned();
                           if (item.data == kValueNotSet) return;
                           frame.Examine(
                               item, [&] { return frame.RootPath() + "\\" + AsciiLower(subKey); },
                               AppPathText(item.data));
                       });
}

void CRegistryLib::ScanRegistrySharedTools(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::SharedTools, kStatusSharedTools);
    RunSubKeyValueScan(frame, kSharedToolsRoot, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& subKey) {
                           frame.CountScanned();
                           if (!EqualsAsciiLower(TrimWhiteSpace(item.name), "path")) return;
                           if (item.data == kValueNotSet) return;
                           frame.Examine(item, [&] { return frame.RootPath() + "\\" + subKey; },
                                         SharedToolPath(item.data, frame.Paths()));
                       });
}

}  // namespace qm
