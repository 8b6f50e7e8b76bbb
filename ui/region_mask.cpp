#include "ui/region_mask.h"

#include <algorithm>
#include <climits>

namespace qm {

namespace {

struct ComponentRange {
    unsigned low;
    unsigned high;
    bool Contains(unsigned v) const { return v >= low && v <= high; }
};

// Component `shift` of a COLORREF (0 red, 8 green, 16 blue).
ComponentRange RangeOf(std::uint32_t colour, std::uint32_t tolerance, int shift) {
    const unsigned c = (colour >> shift) & 0xFF;
    const unsigned t = (tolerance >> shift) & 0xFF;
    return ComponentRange{c, std::min(255u, c + t)};
}

class TransparencyTest {
public:
    TransparencyTest(std::uint32_t transparent, std::uint32_t tolerance)
        : red_(RangeOf(transparent, tolerance, 0)),
          green_(RangeOf(transparent, tolerance, 8)),
          blue_(RangeOf(transparent, tolerance, 16)) {}
    // `pixel` is a DIB word 0x00RRGGBB.
    bool operator()(std::uint32_t pixel) const {
        return red_.Contains((pixel >> 16) & 0xFF) && green_.Contains((pixel >> 8) & 0xFF) &&
               blue_.Contains(pixel & 0xFF);
    }

private:
    ComponentRange red_;
    ComponentRange green_;
    ComponentRange blue_;
};

void Widen(MaskRect& bounds, const MaskRect& r) {
    bounds.left = std::min(bounds.left, r.left);
    bounds.top = std::min(bounds.top, r.top);
    bounds.right = std::max(bounds.right, r.right);
    bounds.bottom = std::max(bounds.bottom, r.bottom);
}

template <typename Sink>
void ScanRuns(const MaskPixels& mask, std::uint32_t transparent, std::uint32_t tolerance, Sink sink) {
    if (mask.pixels == nullptr || mask.width <= 0 || mask.height <= 0) return;
    const TransparencyTest isTransparent(transparent, tolerance);
    for (int y = 0; y < mask.height; ++y) {
        for (int x = 0; x < mask.width; ++x) {
            const int start = x;
            while (x < mask.width && !isTransparent(mask.At(x, y))) ++x;
            if (x > start) sink(MaskRect{start, y, x, y + 1});
            // x now stands on a transparent pixel (or the row's end): the loop steps past it.
        }
    }
}

}  // namespace

bool IsTransparentPixel(std::uint32_t pixel, std::uint32_t transparent, std::uint32_t tolerance) {
    return TransparencyTest(transparent, tolerance)(pixel);
}

MaskRect EmptyMaskBounds() { return MaskRect{INT_MAX, INT_MAX, 0, 0}; }

std::vector<MaskRect> MaskRuns(const MaskPixels& mask, std::uint32_t transparent,
                               std::uint32_t tolerance) {
    std::vector<MaskRect> runs;
    ScanRuns(mask, transparent, tolerance, [&runs](const MaskRect& r) { runs.push_back(r); });
    return runs;
}

void ForEachMaskBatch(const MaskPixels& mask, std::uint32_t transparent, std::uint32_t tolerance,
                      std::size_t batchSize,
                      const std::function<void(const std::vector<MaskRect>& rects,
                                               const MaskRect& bounds)>& flush) {
    std::vector<MaskRect> batch;
    MaskRect bounds = EmptyMaskBounds();
    ScanRuns(mask, transparent, tolerance, [&](const MaskRect& r) {
        batch.push_back(r);
        Widen(bounds, r);
        if (batchSize != 0 && batch.size() == batchSize) {
            flush(batch, bounds);
            batch.clear();
            bounds = EmptyMaskBounds();
        }
    });
    flush(batch, bounds);
}

}  // namespace qm
