// A portable platform header that pulls in the Windows API.
#pragma once
#include <windows.h>
