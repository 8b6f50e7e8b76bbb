// CRegistryRepair's own state: the engine it works through, its registry
// in the 32-bit view and the backup writer.
#include "repair/registry_repair.h"

#include "platform/registry_walk.h"
#include "repair/xml_writer.h"

namespace qm {

CRegistryRepair::CRegistryRepair(CRegistryLib& engine) : engine_(engine) {}

CRegistryRepair::~CRegistryRepair() = default;

IRegistry& CRegistryRepair::Registry(RegView view) {
    if (view != RegView::k32) return engine_.Registry();
    if (!registry32_) registry32_ = std::make_unique<ViewRegistry>(engine_.Registry(), RegView::k32);
    return *registry32_;
}

CXmlWriter& CRegistryRepair::BackupWriter() {
    if (!backupWriter_) backupWriter_ = std::make_unique<CXmlWriter>();
    return *backupWriter_;
}

}  // namespace qm
