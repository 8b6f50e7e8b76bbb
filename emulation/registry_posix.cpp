// Natively there is no system registry: the default is the registry the
// program chose (SetDefaultRegistry), or else one empty in-memory registry for
// the whole process.
#include <atomic>

#include "platform/registry.h"
#include "emulation/registry_memory.h"

namespace qm {

namespace {
std::atomic<IRegistry*> g_registry{nullptr};
}  // namespace

IRegistry& DefaultRegistry() {
    if (IRegistry* chosen = g_registry.load()) return *chosen;
    static MemoryRegistry fallback;
    return fallback;
}

void SetDefaultRegistry(IRegistry* registry) { g_registry.store(registry); }

}  // namespace qm
