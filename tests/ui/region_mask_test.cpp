#include "ui/region_mask.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace qm {
namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF;
constexpr std::uint32_t kBlack = 0x00000000;

// A top-down test image; MaskPixels reads it bottom-up when asked to.
struct Image {
    int width;
    int height;
    std::vector<std::uint32_t> rows;  // top row first
    Image(int w, int h, std::uint32_t fill) : width(w), height(h), rows(static_cast<std::size_t>(w) * h, fill) {}
    std::uint32_t& At(int x, int y) { return rows[static_cast<std::size_t>(y) * width + x]; }
    // Memory as a bottom-up DIB holds it.
    std::vector<std::uint32_t> BottomUp() const {
        std::vector<std::uint32_t> out;
        for (int y = height - 1; y >= 0; --y) {
            out.insert(out.end(), rows.begin() + static_cast<std::ptrdiff_t>(y) * width,
                       rows.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
        }
        return out;
    }
};

std::vector<MaskRect> Runs(const Image& img) {
    std::vector<std::uint32_t> memory = img.BottomUp();
    MaskPixels mask{memory.data(), img.width, img.height, true};
    return MaskRuns(mask, kMaskTransparentColour, kMaskTolerance);
}

std::set<std::pair<int, int>> Covered(const std::vector<MaskRect>& rects) {
    std::set<std::pair<int, int>> pixels;
    for (const MaskRect& r : rects)
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) pixels.insert({x, y});
    return pixels;
}

TEST(RegionMask, AllWhiteGivesNoRectangles) {
    EXPECT_TRUE(Runs(Image(37, 5, kWhite)).empty());
}

TEST(RegionMask, NoWhiteGivesOneRectanglePerRow) {
    auto runs = Runs(Image(9, 4, 0x00123456));
    ASSERT_EQ(runs.size(), 4u);
    for (int y = 0; y < 4; ++y) EXPECT_EQ(runs[y], (MaskRect{0, y, 9, y + 1}));
}

TEST(RegionMask, AlternatingPixelsGiveOneRectanglePerOpaquePixel) {
    Image img(7, 2, kWhite);
    for (int x = 0; x < 7; x += 2) img.At(x, 0) = kBlack;  // opaque at 0,2,4,6
    for (int x = 1; x < 7; x += 2) img.At(x, 1) = kBlack;  // opaque at 1,3,5
    auto runs = Runs(img);
    std::vector<MaskRect> expected{{0, 0, 1, 1}, {2, 0, 3, 1}, {4, 0, 5, 1}, {6, 0, 7, 1},
                                   {1, 1, 2, 2}, {3, 1, 4, 2}, {5, 1, 6, 2}};
    EXPECT_EQ(runs, expected);
}

TEST(RegionMask, RowsAreTopDownWhateverTheMemoryOrder) {
    Image img(4, 3, kWhite);
    img.At(1, 0) = img.At(2, 0) = kBlack;  // top row: one run 1..3
    img.At(0, 2) = kBlack;                 // bottom row: one run 0..1
    std::vector<MaskRect> expected{{1, 0, 3, 1}, {0, 2, 1, 3}};
    EXPECT_EQ(Runs(img), expected);
    MaskPixels topDown{img.rows.data(), img.width, img.height, false};
    EXPECT_EQ(MaskRuns(topDown, kMaskTransparentColour, kMaskTolerance), expected);
}

TEST(RegionMask, OnlyPureWhiteIsTransparentForTheWindow) {
    // DIB words are 0x00RRGGBB: (254,255,255) is 0xFEFFFF.
    EXPECT_TRUE(IsTransparentPixel(0xFFFFFF, kMaskTransparentColour, kMaskTolerance));
    EXPECT_FALSE(IsTransparentPixel(0xFEFFFF, kMaskTransparentColour, kMaskTolerance));
    EXPECT_FALSE(IsTransparentPixel(0xFFFEFF, kMaskTransparentColour, kMaskTolerance));
    EXPECT_FALSE(IsTransparentPixel(0xFFFFFE, kMaskTransparentColour, kMaskTolerance));
    Image img(3, 1, kWhite);
    img.At(1, 0) = 0xFEFFFF;
    EXPECT_EQ(Runs(img), (std::vector<MaskRect>{{1, 0, 2, 1}}));
    // The high byte of a pixel word plays no part.
    EXPECT_TRUE(IsTransparentPixel(0xFFFFFFFF, kMaskTransparentColour, kMaskTolerance));
}

TEST(RegionMask, ToleranceRangesPerComponentInColourRefOrder) {
    // Transparent red-ish 0x00BBGGRR = blue 0x10, green 0x20, red 0xF0; tolerance 0x08 each.
    const std::uint32_t colour = 0x001020F0;
    const std::uint32_t tolerance = 0x00080808;
    EXPECT_TRUE(IsTransparentPixel(0xF02010, colour, tolerance));   // exact (DIB 0xRRGGBB)
    EXPECT_TRUE(IsTransparentPixel(0xF82818, colour, tolerance));   // upper end of each range
    EXPECT_TRUE(IsTransparentPixel(0xFF2818, colour, 0x0008080F)); // red range capped at 255
    EXPECT_FALSE(IsTransparentPixel(0xF92010, colour, tolerance));
    EXPECT_FALSE(IsTransparentPixel(0xEF2010, colour, tolerance));  // below the colour itself
    EXPECT_FALSE(IsTransparentPixel(0x1020F0, colour, tolerance));  // components swapped
}

TEST(RegionMask, BatchesOf2000GiveTheSameUnionAsOneBatch) {
    // 700 wide, alternating: 350 runs per row; 20 rows = 7000 runs, 3.5 batches.
    Image img(700, 20, kWhite);
    for (int y = 0; y < 20; ++y)
        for (int x = (y % 2); x < 700; x += 2) img.At(x, y) = 0x00808080;
    std::vector<std::uint32_t> memory = img.BottomUp();
    MaskPixels mask{memory.data(), img.width, img.height, true};

    std::vector<std::vector<MaskRect>> batches;
    std::vector<MaskRect> bounds;
    ForEachMaskBatch(mask, kMaskTransparentColour, kMaskTolerance, kRegionBatchSize,
                     [&](const std::vector<MaskRect>& rects, const MaskRect& b) {
                         batches.push_back(rects);
                         bounds.push_back(b);
                     });
    std::vector<std::vector<MaskRect>> single;
    ForEachMaskBatch(mask, kMaskTransparentColour, kMaskTolerance, 0,
                     [&](const std::vector<MaskRect>& rects, const MaskRect&) { single.push_back(rects); });

    ASSERT_EQ(batches.size(), 4u);
    EXPECT_EQ(batches[0].size(), 2000u);
    EXPECT_EQ(batches[1].size(), 2000u);
    EXPECT_EQ(batches[2].size(), 2000u);
    EXPECT_EQ(batches[3].size(), 1000u);
    ASSERT_EQ(single.size(), 1u);
    EXPECT_EQ(single[0].size(), 7000u);

    std::vector<MaskRect> joined;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        for (const MaskRect& r : batches[i]) {
            EXPECT_GE(r.left, bounds[i].left);
            EXPECT_GE(r.top, bounds[i].top);
            EXPECT_LE(r.right, bounds[i].right);
            EXPECT_LE(r.bottom, bounds[i].bottom);
        }
        joined.insert(joined.end(), batches[i].begin(), batches[i].end());
    }
    EXPECT_EQ(Covered(joined), Covered(single[0]));
    EXPECT_EQ(Covered(joined).size(), 7000u);
    // Batch 0 holds rows 0..4 and part of row 5 (2000 = 5 * 350 + 250).
    EXPECT_EQ(bounds[0].top, 0);
    EXPECT_EQ(bounds[0].bottom, 6);
}

TEST(RegionMask, FinalBatchIsFlushedEvenWhenEmpty) {
    Image img(4, 2, kBlack);  // 2 runs
    std::vector<std::uint32_t> memory = img.BottomUp();
    MaskPixels mask{memory.data(), 4, 2, true};
    std::vector<std::size_t> sizes;
    std::vector<MaskRect> bounds;
    ForEachMaskBatch(mask, kMaskTransparentColour, kMaskTolerance, 2,
                     [&](const std::vector<MaskRect>& rects, const MaskRect& bb) {
                         sizes.push_back(rects.size());
                         bounds.push_back(bb);
                     });
    EXPECT_EQ(sizes, (std::vector<std::size_t>{2, 0}));
    EXPECT_EQ(bounds[0], (MaskRect{0, 0, 4, 2}));
    EXPECT_EQ(bounds[1], EmptyMaskBounds());
    EXPECT_EQ(EmptyMaskBounds(), (MaskRect{2147483647, 2147483647, 0, 0}));

    Image white(4, 2, kWhite);
    std::vector<std::uint32_t> wm = white.BottomUp();
    sizes.clear();
    ForEachMaskBatch(MaskPixels{wm.data(), 4, 2, true}, kMaskTransparentColour, kMaskTolerance, 2000,
                     [&](const std::vector<MaskRect>& rects, const MaskRect&) { sizes.push_back(rects.size()); });
    EXPECT_EQ(sizes, (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace qm
