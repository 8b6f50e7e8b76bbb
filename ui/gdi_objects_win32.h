// Owning wrappers for the GDI and OLE objects the skinned windows use.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <utility>

#include "platform/handles_win32.h"

namespace qm {

using GdiRegion = GdiObject<HRGN>;
using GdiFont = GdiObject<HFONT>;
using GdiBrush = GdiObject<HBRUSH>;

// A skin image: a bitmap handle and, when it came from the system picture
// loader, the picture object that owns the handle (releasing the picture
// deletes the bitmap). Loading into a SkinBitmap replaces what it held.
class SkinBitmap {
public:
    SkinBitmap() = default;
    ~SkinBitmap() { Reset(); }
    SkinBitmap(const SkinBitmap&) = delete;
    SkinBitmap& operator=(const SkinBitmap&) = delete;
    SkinBitmap(SkinBitmap&& other) noexcept
        : bitmap_(std::exchange(other.bitmap_, nullptr)), picture_(std::exchange(other.picture_, nullptr)) {}
    SkinBitmap& operator=(SkinBitmap&& other) noexcept {
        if (this != &other) {
            Reset();
            bitmap_ = std::exchange(other.bitmap_, nullptr);
            picture_ = std::exchange(other.picture_, nullptr);
        }
        return *this;
    }

    HBITMAP Get() const { return bitmap_; }
    explicit operator bool() const { return bitmap_ != nullptr; }

    // Takes ownership of a plain bitmap.
    void Attach(HBITMAP bitmap) {
        Reset();
        bitmap_ = bitmap;
    }
    // Takes ownership of a loaded picture (one reference) and its bitmap.
    void AttachPicture(IPicture* picture, HBITMAP bitmap) {
        Reset();
        picture_ = picture;
        bitmap_ = bitmap;
    }
    void Reset() {
        if (picture_ != nullptr) {
            picture_->Release();
        } else if (bitmap_ != nullptr) {
            DeleteObject(bitmap_);
        }
        picture_ = nullptr;
        bitmap_ = nullptr;
    }
    // Width and height, or 0, 0 when empty.
    SIZE Size() const {
        BITMAP info{};
        if (bitmap_ == nullptr || GetObjectA(bitmap_, sizeof(info), &info) == 0) return SIZE{0, 0};
        return SIZE{info.bmWidth, info.bmHeight};
    }

private:
    HBITMAP bitmap_ = nullptr;
    IPicture* picture_ = nullptr;
};

// A memory device context compatible with `reference` (the screen when null),
// with one object selected into it; the previous selection is restored and
// the context deleted on destruction.
class MemoryDc {
public:
    explicit MemoryDc(HDC reference = nullptr) : dc_(CreateCompatibleDC(reference)) {}
    ~MemoryDc() {
        if (dc_ == nullptr) return;
        if (previous_ != nullptr) SelectObject(dc_, previous_);
        DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Select(HGDIOBJ object) {
        HGDIOBJ old = SelectObject(dc_, object);
        if (previous_ == nullptr) previous_ = old;
    }

private:
    HDC dc_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace qm
