#include "engine/registry_lib.h"

namespace qm {

int CRegistryLib::CheckFile(const std::string& path) {
    if (system_->FileExists(path)) return 0;
    return IsIgnored(path) ? 0 : -1;
}

}  // namespace qm
