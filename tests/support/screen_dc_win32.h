// The owner (platform/unique_handle.h) of the whole screen's device context,
// got with GetDC(nullptr) and given back with ReleaseDC(nullptr, dc).
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace qm::test {

struct ScreenDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle dc) { return dc != nullptr; }
    static bool Close(Handle dc) { return ::ReleaseDC(nullptr, dc) != 0; }
};
using ScreenDc = UniqueHandle<ScreenDcTraits>;

inline ScreenDc GetScreenDc() { return ScreenDc(::GetDC(nullptr)); }

}  // namespace qm::test
