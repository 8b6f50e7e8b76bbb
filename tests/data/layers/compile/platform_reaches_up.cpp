// Compiled against the platform's include root, this must fail: the emulated
// Windows lies above the platform. Against the emulation's root it must still
// fail on engine/.
#include "emulation/registry_memory.h"
#include "engine/registry_lib.h"
