// Placeholder bodies until the category scans land.
#include "engine/registry_lib.h"

namespace qm {

void CRegistryLib::ScanRegistryCLSID(ResultRows&) {}
void CRegistryLib::ScanRegistrySharedFiles(ResultRows&) {}
void CRegistryLib::ScanRegistryDrivers(ResultRows&) {}
void CRegistryLib::ScanRegistryHelp(ResultRows&) {}
void CRegistryLib::ScanRegistryAppPaths(ResultRows&) {}
void CRegistryLib::ScanRegistrySharedTools(ResultRows&) {}
void CRegistryLib::ScanRegistryFonts(ResultRows&) {}
void CRegistryLib::ScanRegistryStartup(ResultRows&) {}
void CRegistryLib::ScanRegistryUninstall(ResultRows&) {}

}  // namespace qm
