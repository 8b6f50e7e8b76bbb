// Natively the default system is the one the program chose (SetDefaultSystem),
// or else one in-memory system for the whole process.
#include <atomic>

#include "platform/system.h"
#include "emulation/system_memory.h"

namespace qm {

namespace {
std::atomic<ISystem*> g_system{nullptr};
}  // namespace

ISystem& DefaultSystem() {
    if (ISystem* chosen = g_system.load()) return *chosen;
    static MemorySystem fallback;
    return fallback;
}

void SetDefaultSystem(ISystem* system) { g_system.store(system); }

}  // namespace qm
