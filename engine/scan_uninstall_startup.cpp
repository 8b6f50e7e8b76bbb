// Uninstall entries (a sub-key per product) and startup programs (the values
// of the Run key), the machine's and then the user's: command lines reduced
// to their program path.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

void CRegistryLib::ScanRegistryUninstall(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Uninstall, kStatusUninstall);
    // The product's DisplayName may come before or after its UninstallString:
    // whichever comes second completes the finding. Values arrive one product
    // at a time, so a change of product (or view, or hive) starts afresh.
    std::string product, displayName;
    std::uint32_t productSegment = 0;
    CRegErrorLog* productFinding = nullptr;
    RunSubKeyValueScan(frame, kUninstallRoots, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& name) {
                           if (name != product || frame.Segment() != productSegment) {
                               product = name;
                               productSegment = frame.Segment();
                               displayName.clear();
                               productFinding = nullptr;
                           }
                           frame.CountScanned();
                           if (item.data == kValueNotSet) return;
                           if ((item.type == kRegSz || item.type == kRegExpandSz) && EqualsAsciiLower(item.name, "displayname")) {
                               displayName = item.data;
                               if (productFinding != nullptr) productFinding->SetOwnerName(displayName);
                               return;
                           }
                           if (item.name != "UninstallString") return;
                           const std::size_t before = Findings().size();
                           // The uninstaller is the program of a command line.
                           frame.Examine(
                               item, [&] { return frame.RootPath() + "\\" + AsciiLower(name); },
                               UninstallPath(item.data, frame.Paths()),
                               [&] { return frame.WindowsLookup().Program(item.data); });
                           if (Findings().size() > before) {
                               productFinding = Findings().back().get();
                               productFinding->SetOwnerName(displayName);
                           }
                       });
}

void CRegistryLib::ScanRegistryStartup(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Startup, kStatusStartup);
    RunValueListScan(frame, kStartupRoots, [&](const CRegValueItem& item) {
        frame.CountScanned();
        if (item.data == kValueNotSet) return;
        frame.Examine(item, [&] { return frame.RootPath(); },
                      StartupPath(item.data, frame.Paths()),
                      [&] { return frame.WindowsLookup().Program(item.data); });
    });
}

}  // namespace qm
