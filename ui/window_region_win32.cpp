#include "ui/window_region_win32.h"

#include <cstring>
#include <vector>

namespace qm {

namespace {

// Rectangle records are allocated in steps of this many.
constexpr std::size_t kRecordStep = 100;

// ExtCreateRegion over one batch of rectangles.
HRGN CreateBatchRegion(const std::vector<MaskRect>& rects, const MaskRect& bounds) {
    std::size_t capacity = ((rects.size() + kRecordStep - 1) / kRecordStep) * kRecordStep;
    if (capacity == 0) capacity = kRecordStep;
    std::vector<unsigned char> buffer(sizeof(RGNDATAHEADER) + capacity * sizeof(RECT));
    auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
    data->rdh.dwSize = sizeof(RGNDATAHEADER);
    data->rdh.iType = RDH_RECTANGLES;
    data->rdh.nCount = static_cast<DWORD>(rects.size());
    data->rdh.nRgnSize = 0;
    data->rdh.rcBound = RECT{bounds.left, bounds.top, bounds.right, bounds.bottom};
    auto* out = reinterpret_cast<RECT*>(data->Buffer);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        out[i] = RECT{rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
    }
    return ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
}

}  // namespace

GdiRegion RegionFromMask(HBITMAP mask, COLORREF transparent, COLORREF tolerance, std::size_t batchSize) {
    if (mask == nullptr) return GdiRegion();
    BITMAP info{};
    if (GetObjectA(mask, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) {
        return GdiRegion();
    }
    MemoryDc dibDc;
    if (!dibDc) return GdiRegion();

    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = info.bmHeight;  // positive: bottom-up
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    GdiObject<HBITMAP> dib(CreateDIBSection(dibDc.Get(), &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib || bits == nullptr) return GdiRegion();
    dibDc.Select(dib.Get());
    {
        MemoryDc maskDc(dibDc.Get());
        if (!maskDc) return GdiRegion();
        maskDc.Select(mask);
        BitBlt(dibDc.Get(), 0, 0, info.bmWidth, info.bmHeight, maskDc.Get(), 0, 0, SRCCOPY);
    }
    GdiFlush();

    // 32-bit rows are always a multiple of 4 bytes, so a row is exactly bmWidth words.
    const MaskPixels pixels{static_cast<const std::uint32_t*>(bits), info.bmWidth, info.bmHeight, true};
    GdiRegion result;
    bool failed = false;
    ForEachMaskBatch(pixels, transparent, tolerance, batchSize,
                     [&](const std::vector<MaskRect>& rects, const MaskRect& bounds) {
                         GdiRegion part(CreateBatchRegion(rects, bounds));
                         if (!part) {
                             if (!rects.empty()) failed = true;
                             return;
                         }
                         if (!result) {
                             result = std::move(part);
                         } else {
                             CombineRgn(result.Get(), result.Get(), part.Get(), RGN_OR);
                         }
                     });
    if (failed) return GdiRegion();
    if (!result) result.Reset(CreateRectRgn(0, 0, 0, 0));
    return result;
}

bool ApplyWindowRegion(HWND window, HBITMAP mask) {
    if (!IsWindow(window)) return false;
    bool applied = false;
    GdiRegion region = RegionFromMask(mask, kMaskTransparentColour, kMaskTolerance);
    if (!region) {
        MessageBoxA(window, "Region is Null", "Quillmere", MB_OK);
    } else if (SetWindowRgn(window, region.Get(), TRUE) == 0) {
        MessageBoxA(window, "Unable To Set Window Region", "Quillmere", MB_OK);
    } else {
        region.Release();  // the window owns it now
        applied = true;
    }
    InvalidateRect(window, nullptr, TRUE);
    return applied;
}

}  // namespace qm
