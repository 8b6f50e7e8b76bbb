// Decomposition of a mask image into the rectangles of a window region.
//
// The mask is scanned row by row from the top; within a row every maximal run
// of opaque pixels becomes one rectangle (run start, y, run end, y + 1). A
// pixel is transparent when each of its red, green and blue components lies in
// [c, min(255, c + t)], c and t being the components of the transparent colour
// and of the tolerance. The skinned windows use white (0xFFFFFF) with tolerance
// 0x101010, so only pure white is cut away.
//
// The rectangles are handed out in batches of at most `batchSize` (2000 for
// window regions), so that no single region-creation call gets more; the union
// of all batches is the opaque area whatever the batch size. Portable: the
// Win32 side (ui/window_region_win32.h) turns batches into a region.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace qm {

struct MaskRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const MaskRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A 32-bit pixel buffer as a BI_RGB DIB section holds it: each pixel one word
// 0x00RRGGBB (blue in the low byte), rows of `width` words. In a bottom-up
// buffer the first row in memory is the bottom row of the image.
struct MaskPixels {
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    std::uint32_t At(int x, int y) const {
        const int row = bottomUp ? height - 1 - y : y;
        return pixels[static_cast<std::size_t>(row) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// The window's transparent colour and tolerance (COLORREF form 0x00BBGGRR).
constexpr std::uint32_t kMaskTransparentColour = 0xFFFFFF;
constexpr std::uint32_t kMaskTolerance = 0x101010;
constexpr std::size_t kRegionBatchSize = 2000;

// True when the DIB pixel word `pixel` is transparent for the COLORREF values
// `transparent` and `tolerance`.
bool IsTransparentPixel(std::uint32_t pixel, std::uint32_t transparent, std::uint32_t tolerance);

// Bounding rectangle of an empty batch: left and top 2147483647, right and bottom 0.
MaskRect EmptyMaskBounds();

// Every opaque run, in scan order (rows top to bottom, runs left to right).
std::vector<MaskRect> MaskRuns(const MaskPixels& mask, std::uint32_t transparent,
                               std::uint32_t tolerance);

// Hands the runs to `flush` in scan order, batchSize at a time, each batch with
// its bounding rectangle. A final batch is always flushed, empty when the run
// count is a multiple of batchSize (or zero). batchSize 0 means one batch.
void ForEachMaskBatch(const MaskPixels& mask, std::uint32_t transparent, std::uint32_t tolerance,
                      std::size_t batchSize,
                      const std::function<void(const std::vector<MaskRect>& rects,
                                               const MaskRect& bounds)>& flush);

}  // namespace qm
