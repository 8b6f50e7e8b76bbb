// Uninstall entries (a sub-key per product) and startup programs (the values
// of the machine's Run key): command lines reduced to their program path.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

void CRegistryLib::ScanRegistryUninstall(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Uninstall, kStatusUninstall);
    RunSubKeyValueScan(frame, kUninstallRoot, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& product) {
                           frame.CountScanned();
                           if (item.data == kValueNotSet || item.name != "UninstallString") return;
                           // The uninstaller is the program of a command line.
                           frame.Examine(
                               item, [&] { return frame.RootPath() + "\\" + AsciiLower(product); },
                               UninstallPath(item.data, frame.Paths()),
                               [&] { return frame.WindowsLookup().Program(item.data); });
                       });
}

void CRegistryLib::ScanRegistryStartup(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Startup, kStatusStartup);
    RunValueListScan(frame, kStartupRoot, [&](const CRegValueItem& item) {
        frame.CountScanned();
        if (item.data == kValueNotSet) return;
        frame.Examine(item, [&] { return frame.RootPath(); },
                      StartupPath(item.data, frame.Paths()),
                      [&] { return frame.WindowsLookup().Program(item.data); });
    });
}

}  // namespace qm
