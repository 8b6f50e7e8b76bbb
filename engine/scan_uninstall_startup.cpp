// Uninstall entries (a sub-key per product) and startup programs (the values
// of the machine's Run key): command lines reduced to their program path.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

void CRegistryLib::ScanRegistryUninstall(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Uninstall, kStatusUninstall);
    // The product's DisplayName may come before or after its UninstallString:
    // whichever comes second completes the finding. Values arrive one product
    // at a time, so a change of product (or view) starts afresh.
    std::string product, displayName;
    RegView productView = RegView::k64;
    CRegErrorLog* productFinding = nullptr;
    RunSubKeyValueScan(frame, kUninstallRoot, [](const std::string&) { return true; },
                       [&](const CRegValueItem& item, const std::string& name) {
                           if (name != product || frame.View() != productView) {
                               product = name;
                               productView = frame.View();
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
    RunValueListScan(frame, kStartupRoot, [&](const CRegValueItem& item) {
        frame.CountScanned();
        if (item.data == kValueNotSet) return;
        frame.Examine(item, [&] { return frame.RootPath(); },
                      StartupPath(item.data, frame.Paths()),
                      [&] { return frame.WindowsLookup().Program(item.data); });
    });
}

}  // namespace qm
