// Window regions built from mask bitmaps.
#pragma once

#include <windows.h>

#include <cstddef>

#include "ui/gdi_objects_win32.h"
#include "ui/region_mask.h"

namespace qm {

// The region of `mask`'s opaque pixels (see ui/region_mask.h for the pixel
// rule): the mask is copied once into a 32-bit DIB section, each row's opaque
// runs become rectangles, and batches of at most `batchSize` rectangles are
// turned into regions (ExtCreateRegion) and merged (CombineRgn RGN_OR).
// An all-transparent mask gives an empty region, not a null one. Null when
// `mask` is null or the device contexts or the DIB cannot be created.
GdiRegion RegionFromMask(HBITMAP mask, COLORREF transparent, COLORREF tolerance,
                         std::size_t batchSize = kRegionBatchSize);

// Shapes `window` after `mask` (transparent 0xFFFFFF, tolerance 0x101010) with
// SetWindowRgn, then invalidates the whole window. Failures show "Region is
// Null" or "Unable To Set Window Region" (caption "Quillmere") and leave the
// window rectangular. Does nothing when `window` is not a window.
// Returns true when the region was set.
bool ApplyWindowRegion(HWND window, HBITMAP mask);

}  // namespace qm
