// Fonts, shared DLLs and drivers: value-list scans of one key each. Findings
// name the scanned key itself and remove only the offending value.
#include "engine/scan_areas.h"
#include "engine/scan_frame.h"

namespace qm {

void CRegistryLib::ScanRegistryFonts(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Fonts, kStatusFonts);
    RunValueListScan(frame, IsOldPlatform() ? kOldPlatformFontsRoot : kFontsRoot,
                     [&](const CRegValueItem& item) {
                         frame.CountScanned();
                         if (item.data == kValueNotSet) return;
                         frame.Examine(item, [&] { return frame.RootPath(); },
                                       FontPath(item.data, frame.Paths()), [&] {
                                           return FontLookup(item.data, frame.WindowsLookup(),
                                                             frame.Paths());
                                       });
                     });
}

void CRegistryLib::ScanRegistrySharedFiles(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::SharedDlls, kStatusSharedDlls);
    RunValueListScan(frame, kSharedDllsRoot, [&](const CRegValueItem& item) {
        frame.CountScanned();
        if (item.name == kValueNotSet || item.name == kDefaultValueName) return;
        // The value's name is a file path; a bare name is found on the
        // search path.
        CleanedPath& path = frame.ScratchPath();
        SharedDllPath(item.name, frame.Paths(), path);
        frame.Examine(item, [&] { return frame.RootPath(); }, path,
                      [&] { return frame.WindowsLookup().File(item.name); });
    });
}

void CRegistryLib::ScanRegistryDrivers(ResultRows& rows) {
    ScanFrame frame(*this, rows, Category::Drivers, kStatusDrivers);
    RunValueListScan(frame, kDriversRoot, [&](const CRegValueItem& item) {
        frame.CountScanned();
        if (item.data == kValueNotSet) return;
        frame.Examine(item, [&] { return frame.RootPath(); },
                      DriverPath(item.data, frame.Paths()), [&] {
                          return DriverLookup(item.data, frame.WindowsLookup(), frame.Paths());
                      });
    });
}

}  // namespace qm
