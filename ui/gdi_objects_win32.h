// Owning wrappers for the GDI and OLE objects the skinned windows use.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "platform/handles_win32.h"

namespace qm {

using GdiRegion = GdiObject<HRGN>;
using GdiFont = GdiObject<HFONT>;
using GdiBrush = GdiObject<HBRUSH>;

// A skin image's bitmap and, when it came from the system picture loader,
// the picture object that owns the bitmap (releasing the picture deletes it).
struct SkinBitmapTraits {
    struct Handle {
        HBITMAP bitmap = nullptr;
        IPicture* picture = nullptr;
        bool operator==(const Handle& other) const { return bitmap == other.bitmap && picture == other.picture; }
        bool operator!=(const Handle& other) const { return !(*this == other); }
    };
    static Handle Invalid() { return Handle{}; }
    static bool Valid(const Handle& h) { return h.bitmap != nullptr || h.picture != nullptr; }
    static bool Close(const Handle& h) {
        if (h.picture != nullptr) {
            h.picture->Release();
            return true;
        }
        return ::DeleteObject(h.bitmap) != 0;
    }
};

// A skin image. Loading into a SkinBitmap replaces what it held.
class SkinBitmap {
public:
    HBITMAP Get() const { return held_.Get().bitmap; }
    explicit operator bool() const { return Get() != nullptr; }

    // Takes ownership of a plain bitmap.
    void Attach(HBITMAP bitmap) { held_.Reset({bitmap, nullptr}); }
    // Takes ownership of a loaded picture (one reference) and its bitmap.
    void AttachPicture(IPicture* picture, HBITMAP bitmap) { held_.Reset({bitmap, picture}); }
    void Reset() { held_.Reset(); }
    // Width and height, or 0, 0 when empty.
    SIZE Size() const {
        BITMAP info{};
        if (Get() == nullptr || GetObjectA(Get(), sizeof(info), &info) == 0) return SIZE{0, 0};
        return SIZE{info.bmWidth, info.bmHeight};
    }

private:
    UniqueHandle<SkinBitmapTraits> held_;
};

// A device context from GetDC, given back with ReleaseDC to the window it
// came from (the whole screen's when the window is null).
struct WindowDcTraits {
    struct Handle {
        HWND window = nullptr;
        HDC dc = nullptr;
        bool operator==(const Handle& other) const { return window == other.window && dc == other.dc; }
        bool operator!=(const Handle& other) const { return !(*this == other); }
    };
    static Handle Invalid() { return Handle{}; }
    static bool Valid(const Handle& h) { return h.dc != nullptr; }
    static bool Close(const Handle& h) { return ::ReleaseDC(h.window, h.dc) != 0; }
};

// A window's device context (the screen's for a null window), held while the
// owner lives.
class WindowDc {
public:
    explicit WindowDc(HWND window) : held_({window, ::GetDC(window)}) {}

    HDC Get() const { return held_.Get().dc; }
    explicit operator bool() const { return Get() != nullptr; }

private:
    UniqueHandle<WindowDcTraits> held_;
};

// A memory device context, deleted with DeleteDC.
struct MemoryDcTraits {
    using Handle = HDC;
    static Handle Invalid() { return nullptr; }
    static bool Valid(Handle dc) { return dc != nullptr; }
    static bool Close(Handle dc) { return ::DeleteDC(dc) != 0; }
};

// A memory device context compatible with `reference` (the screen when null),
// with one object selected into it; the previous selection is put back before
// the context is deleted.
class MemoryDc {
public:
    explicit MemoryDc(HDC reference = nullptr) : dc_(CreateCompatibleDC(reference)) {}
    ~MemoryDc() {
        if (dc_ && previous_ != nullptr) SelectObject(dc_.Get(), previous_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Get() const { return dc_.Get(); }
    explicit operator bool() const { return static_cast<bool>(dc_); }
    void Select(HGDIOBJ object) {
        HGDIOBJ old = SelectObject(dc_.Get(), object);
        if (previous_ == nullptr) previous_ = old;
    }

private:
    UniqueHandle<MemoryDcTraits> dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace qm
