// A platform header that leans on the emulated Windows above it.
#pragma once
#include "emulation/registry_memory.h"
