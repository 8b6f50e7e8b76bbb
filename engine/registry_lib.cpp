#include "engine/registry_lib.h"

#include "engine/caching_system.h"
#include "platform/key_path.h"
#include "platform/named_event.h"

namespace qm {

CRegistryLib::CRegistryLib() : CRegistryLib(EngineServices{}) {}

CRegistryLib::CRegistryLib(const EngineServices& services)
    : registry_(services.registry ? services.registry : &DefaultRegistry()),
      system_(services.system ? services.system : &DefaultSystem()),
      ignoreFile_(services.ignoreFile) {
    oldPlatform_ = (system_->GetVersion() & 0x80000000u) ? 1 : 0;
    LoadIgnoreList();
}

CRegistryLib::~CRegistryLib() {
    ignoreList_.clear();
    findings_.clear();
}

std::string CRegistryLib::SeperateMainKey(std::string& path) { return KeyPathRoot(path, &path); }

RegStatus CRegistryLib::OpenKey(const std::string& rootName, const std::string& subKey,
                                RegKey* result, RegView view) {
    if (result == nullptr) return kRegInvalidFunction;
    *result = kNullKey;
    const RegKey root = RootKeyFromName(rootName);
    if (root == kNullKey) return kRegInvalidFunction;
    if (view == RegView::k32)
        return registry_->RegOpenKeyExA(root, subKey.c_str(), kMaximumAllowed | kKeyWow64_32Key,
                                        result);
    return registry_->RegOpenKeyA(root, subKey.c_str(), result);
}

bool CRegistryLib::StopRequested() const {
    NamedEvent stop(kStopEventName);
    return stop.IsSignalledNow();
}

void CRegistryLib::ReportProgress(const std::string& item, const std::string& status,
                                  std::int32_t scanned, std::int32_t found) const {
    if (progress_) progress_(item, status, scanned, found);
}

void CRegistryLib::ScanRegistry(ResultRows& rows, ScanCategoryStates& states) {
    LoadIgnoreList();
    rows.clear();
    findings_.clear();
    {
        NamedEvent stop(kStopEventName);
        stop.Reset();
    }
    struct Step {
        int slot;
        void (CRegistryLib::*scan)(ResultRows&);
    };
    static const Step kOrder[] = {
        {kSlotCom, &CRegistryLib::ScanRegistryCLSID},
        {kSlotSharedDlls, &CRegistryLib::ScanRegistrySharedFiles},
        {kSlotDrivers, &CRegistryLib::ScanRegistryDrivers},
        {kSlotHelp, &CRegistryLib::ScanRegistryHelp},
        {kSlotAppPaths, &CRegistryLib::ScanRegistryAppPaths},
        {kSlotSharedTools, &CRegistryLib::ScanRegistrySharedTools},
        {kSlotFonts, &CRegistryLib::ScanRegistryFonts},
        {kSlotStartup, &CRegistryLib::ScanRegistryStartup},
        {kSlotUninstall, &CRegistryLib::ScanRegistryUninstall},
    };
    // Each path is asked of the file system once for the whole run.
    CachingSystem cached(*system_);
    struct Restore {
        ISystem*& system;
        ISystem* saved;
        ~Restore() { system = saved; }
    } restore{system_, system_};
    system_ = &cached;
    for (const Step& step : kOrder) {
        if (states[step.slot] == 0) continue;
        states[step.slot] = 2;
        (this->*step.scan)(rows);
        states[step.slot] = -1;
    }
}

}  // namespace qm
