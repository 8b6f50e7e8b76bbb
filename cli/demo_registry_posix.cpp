#include "cli/demo_registry.h"

#include "platform/registry_memory.h"
#include "platform/system_memory.h"

namespace qm::cli {

void PopulateDemoRegistry(MemoryRegistry&, MemorySystem&) {}

}  // namespace qm::cli
