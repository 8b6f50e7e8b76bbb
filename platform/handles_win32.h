// Owners (platform/unique_handle.h) for the Win32 handles the program holds.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "platform/unique_handle.h"

namespace qm {

// A handle closed with CloseHandle: files, processes, threads, events. Both
// "no handle" values count as empty (CreateFile fails with
// INVALID_HANDLE_VALUE, most other calls with null).
struct Win32HandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return ::CloseHandle(h) != 0; }
};
using Win32Handle = UniqueHandle<Win32HandleTraits>;

// A FindFirstFile search, closed with FindClose.
struct FindFileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static bool Close(Handle h) { return ::FindClose(h) != 0; }
};
using FindFileHandle = UniqueHandle<FindFileTraits>;

// A GDI object released with DeleteObject (regions, fonts, brushes, pens,
// plain bitmaps).
template <typename H>
struct GdiObjectTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static bool Close(Handle h) { return ::DeleteObject(h) != 0; }
};
template <typename H>
using GdiObject = UniqueHandle<GdiObjectTraits<H>>;

// A loaded module (LoadLibrary, LoadLibraryEx), freed with FreeLibrary.
struct LoadedModuleTraits {
    using Handle = HMODULE;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle module) { return module != nullptr; }
    static bool Close(Handle module) { return ::FreeLibrary(module) != 0; }
};
using LoadedModule = UniqueHandle<LoadedModuleTraits>;

// An open registry key, closed with RegCloseKey.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle key) { return key != nullptr; }
    static bool Close(Handle key) { return ::RegCloseKey(key) == ERROR_SUCCESS; }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

// A security identifier made by AllocateAndInitializeSid, freed with FreeSid.
struct SidTraits {
    using Handle = PSID;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle sid) { return sid != nullptr; }
    static bool Close(Handle sid) { return ::FreeSid(sid) == nullptr; }
};
using Sid = UniqueHandle<SidTraits>;

// Memory the system allocated for the caller with LocalAlloc (FormatMessage
// with FORMAT_MESSAGE_ALLOCATE_BUFFER), freed with LocalFree.
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle block) { return block != nullptr; }
    static bool Close(Handle block) { return ::LocalFree(block) == nullptr; }
};
using LocalMemory = UniqueHandle<LocalMemoryTraits>;

// Memory a COM call handed over (a string, an item list), freed with
// CoTaskMemFree.
template <typename T>
struct CoTaskMemoryTraits {
    using Handle = T*;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle block) { return block != nullptr; }
    static bool Close(Handle block) {
        ::CoTaskMemFree(block);
        return true;
    }
};
template <typename T>
using CoTaskMemory = UniqueHandle<CoTaskMemoryTraits<T>>;

}  // namespace qm
