// An emulation header that reaches up into the engine.
#pragma once
#include "engine/registry_lib.h"
