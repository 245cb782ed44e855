// Tests of the Bayer screens and the block halftones.
#include "dither/ordered.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "core/color.h"
#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {
namespace {

using Points = std::set<std::pair<int, int>>;

constexpr ColorValue kBlack = MakeColor(0, 0, 0);
constexpr ColorValue kWhite = MakeColor(255, 255, 255);

ColorValue Grey(int v) { return MakeColor(v, v, v); }

Surface Uniform(int width, int height, ColorValue color) {
  Surface s("TVC16", width, height, MakeColor(192, 192, 255));
  s.Fill(color);
  return s;
}

Surface Dithered(Surface s, DitherMethod method) {
  OrderedDither(s, s, method);
  return s;
}

// Positions whose pixel is white; fails if a pixel is neither black nor white.
Points Lit(const Surface& s) {
  Points lit;
  for (int y = 0; y < s.height(); ++y) {
    for (int x = 0; x < s.width(); ++x) {
      const ColorValue c = PixelAt(s, x, y);
      EXPECT_TRUE(c == kBlack || c == kWhite) << x << "," << y << " " << c;
      if (c == kWhite) lit.insert({x, y});
    }
  }
  return lit;
}

Points Every(int width, int height) {
  Points all;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) all.insert({x, y});
  return all;
}

constexpr DitherMethod kAll[] = {DitherMethod::kHalftone2x2, DitherMethod::kHalftone3x3,
                                 DitherMethod::kBayer2x2,    DitherMethod::kBayer4x4,
                                 DitherMethod::kBayer8x8,    DitherMethod::kNews4x4};

class EveryOrderedMethod : public testing::TestWithParam<DitherMethod> {};

TEST_P(EveryOrderedMethod, OnlyFullOnOrOffChannels) {
  Surface s("TVC16", 37, 23, 0);
  std::uint32_t seed = 12345;
  for (std::size_t i = 0; i < s.size_bytes(); ++i) {
    seed = seed * 1103515245u + 12345u;
    s.data()[i] = static_cast<std::uint8_t>(seed >> 16);
  }
  OrderedDither(s, s, GetParam());
  for (std::size_t i = 0; i < s.size_bytes(); ++i) {
    ASSERT_TRUE(s.data()[i] == 0 || s.data()[i] == 255) << i;
  }
}

TEST_P(EveryOrderedMethod, BlackStaysBlackExceptBayer8x8) {
  const Points lit = Lit(Dithered(Uniform(16, 16, kBlack), GetParam()));
  if (GetParam() == DitherMethod::kBayer8x8) {
    // The 0 cell lights (0 is not less than 0). The visited margin shifts it to (4, 4).
    EXPECT_EQ(lit, (Points{{4, 4}, {12, 4}, {4, 12}, {12, 12}}));
  } else {
    EXPECT_TRUE(lit.empty());
  }
}

TEST_P(EveryOrderedMethod, WhiteStaysWhiteExceptNews) {
  const Points lit = Lit(Dithered(Uniform(8, 8, kWhite), GetParam()));
  if (GetParam() == DitherMethod::kNews4x4) {
    // Cells 15 (top right) and 14 (bottom right) of every block never light.
    Points expected = Every(8, 8);
    for (int bx : {0, 4}) {
      for (int by : {0, 4}) {
        expected.erase({bx + 3, by});
        expected.erase({bx + 3, by + 3});
      }
    }
    EXPECT_EQ(lit, expected);
  } else {
    EXPECT_EQ(lit, Every(8, 8));
  }
}

// The result goes to the destination's top-left corner; the rest of it keeps its pixels.
TEST_P(EveryOrderedMethod, WritesPictureAreaOnly) {
  const Surface source = Uniform(5, 3, kWhite);
  const ColorValue keep = MakeColor(192, 192, 255);
  Surface destination("TVC4", 9, 6, keep);
  OrderedDither(destination, source, GetParam());
  EXPECT_EQ(PixelAt(destination, 0, 0), kWhite);
  EXPECT_EQ(PixelAt(destination, 5, 0), keep);
  EXPECT_EQ(PixelAt(destination, 0, 3), keep);
}

INSTANTIATE_TEST_SUITE_P(Methods, EveryOrderedMethod, testing::ValuesIn(kAll));

// ---- Bayer 2x2: strict test, phase running on across W + 1 visited columns.

TEST(Bayer2x2Test, EqualToThresholdStaysOff) {
  // 63 is the threshold of the top-left cell: only the 0 cells light.
  const Points lit = Lit(Dithered(Uniform(3, 2, Grey(63)), DitherMethod::kBayer2x2));
  EXPECT_EQ(lit, (Points{{1, 1}}));
}

TEST(Bayer2x2Test, ColumnPhaseContinuesAcrossRows) {
  // 64 lights the 63 and 0 cells. With W even, W + 1 visited columns shift the second row's
  // phase by one, so the lit cells of both rows line up in the same columns.
  EXPECT_EQ(Lit(Dithered(Uniform(4, 2, Grey(64)), DitherMethod::kBayer2x2)),
            (Points{{0, 0}, {2, 0}, {0, 1}, {2, 1}}));
  // With W odd the phase comes back to 0 at every row start: a checkerboard.
  EXPECT_EQ(Lit(Dithered(Uniform(3, 2, Grey(64)), DitherMethod::kBayer2x2)),
            (Points{{0, 0}, {2, 0}, {1, 1}}));
}

// ---- Bayer 4x4: non-strict test, the black margin visited first.

TEST(Bayer4x4Test, EqualToThresholdLights) {
  // 32 is the top-left threshold and 16 the smallest: 32 lights both, 31 only the 16 cell.
  EXPECT_EQ(Lit(Dithered(Uniform(4, 4, Grey(32)), DitherMethod::kBayer4x4)),
            (Points{{0, 0}, {2, 2}}));
  EXPECT_EQ(Lit(Dithered(Uniform(4, 4, Grey(31)), DitherMethod::kBayer4x4)), (Points{{2, 2}}));
}

TEST(Bayer4x4Test, PhaseDependsOnRowLength) {
  // W + 4 visited columns per row: with W = 5 every row starts one phase later.
  EXPECT_EQ(Lit(Dithered(Uniform(5, 4, Grey(31)), DitherMethod::kBayer4x4)),
            (Points{{0, 2}, {4, 2}}));
}

TEST(Bayer4x4Test, ChannelsAreIndependent) {
  Surface s = Uniform(4, 4, MakeColor(31, 32, 255));  // red, green, blue
  OrderedDither(s, s, DitherMethod::kBayer4x4);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(0, 255, 255));
  EXPECT_EQ(PixelAt(s, 2, 2), MakeColor(255, 255, 255));
  EXPECT_EQ(PixelAt(s, 1, 0), MakeColor(0, 0, 255));
}

// ---- Bayer 8x8: v / 4 rounded half to even before the non-strict test.

struct QuarterCase {
  int v;
  int quarter;
};

class Bayer8x8QuarterTest : public testing::TestWithParam<QuarterCase> {};

TEST_P(Bayer8x8QuarterTest, LightsCellsUpToRoundedQuarter) {
  // On 16 x 16 every threshold 0..63 occurs four times; a value lights those <= v / 4.
  const QuarterCase& c = GetParam();
  const Points lit = Lit(Dithered(Uniform(16, 16, Grey(c.v)), DitherMethod::kBayer8x8));
  EXPECT_EQ(static_cast<int>(lit.size()), 4 * (c.quarter + 1));
}

INSTANTIATE_TEST_SUITE_P(Rounding, Bayer8x8QuarterTest,
                         testing::Values(QuarterCase{2, 0}, QuarterCase{3, 1}, QuarterCase{6, 2},
                                         QuarterCase{10, 2}, QuarterCase{14, 4},
                                         QuarterCase{249, 62}, QuarterCase{250, 62},
                                         QuarterCase{251, 63}));

TEST(Bayer8x8Test, OnlyTheTopCellSeparates250From251) {
  // The 63 cell: row phase 7 (y = 3, as rows are visited from the margin), column phase 0.
  const Points all = Every(12, 8);
  Points expected = all;
  expected.erase({4, 3});
  EXPECT_EQ(Lit(Dithered(Uniform(12, 8, Grey(250)), DitherMethod::kBayer8x8)), expected);
  EXPECT_EQ(Lit(Dithered(Uniform(12, 8, Grey(251)), DitherMethod::kBayer8x8)), all);
}

// ---- Halftone 2x2.

TEST(Halftone2x2Test, Grey128LightsTopLeftAndBottomRight) {
  EXPECT_EQ(Lit(Dithered(Uniform(4, 2, Grey(128)), DitherMethod::kHalftone2x2)),
            (Points{{0, 0}, {1, 1}, {2, 0}, {3, 1}}));
}

TEST(Halftone2x2Test, SumsEqualToStepStayOff) {
  // 51 * 4 = 204: nothing; 52 * 4 = 208: the top-left cell.
  EXPECT_TRUE(Lit(Dithered(Uniform(2, 2, Grey(51)), DitherMethod::kHalftone2x2)).empty());
  EXPECT_EQ(Lit(Dithered(Uniform(2, 2, Grey(52)), DitherMethod::kHalftone2x2)), (Points{{0, 0}}));
  // 204 * 4 = 816: three cells; 205 * 4 = 820: all four.
  EXPECT_EQ(Lit(Dithered(Uniform(2, 2, Grey(204)), DitherMethod::kHalftone2x2)),
            (Points{{0, 0}, {1, 1}, {0, 1}}));
  EXPECT_EQ(Lit(Dithered(Uniform(2, 2, Grey(205)), DitherMethod::kHalftone2x2)).size(), 4u);
}

TEST(Halftone2x2Test, PartialBlocksAverageWithEdgeCopies) {
  // W = 3: the last block holds column 2 and its copy. Column 2 at 160 sums to 640 (> 612),
  // which lights both its cells; against a black margin it would sum to 320.
  Surface s = Uniform(3, 2, kBlack);
  s.SetPixel(2, 0, Grey(160));
  s.SetPixel(2, 1, Grey(160));
  EXPECT_EQ(Lit(Dithered(s, DitherMethod::kHalftone2x2)), (Points{{2, 0}, {2, 1}}));
  // H = 3 likewise at the bottom: row 2 at 210 and its copy sum to 840 (> 816), which lights
  // both cells of the picture row; against black, 420 would light only the top-left one.
  Surface t = Uniform(2, 3, kBlack);
  t.SetPixel(0, 2, Grey(210));
  t.SetPixel(1, 2, Grey(210));
  EXPECT_EQ(Lit(Dithered(t, DitherMethod::kHalftone2x2)), (Points{{0, 2}, {1, 2}}));
}

// ---- Halftone 3x3: the k-th cell lights above 229 k.

TEST(Halftone3x3Test, CellsLightInRankOrder) {
  // A block summing to exactly 229 k lights k - 1 cells; one more lights the k-th.
  const std::vector<std::pair<int, int>> order = {{1, 0}, {1, 1}, {1, 2}, {0, 2}, {0, 0},
                                                  {2, 0}, {0, 1}, {2, 2}, {2, 1}};
  for (int k = 1; k <= 9; ++k) {
    for (int extra : {0, 1}) {
      Surface s = Uniform(3, 3, kBlack);
      int rest = 229 * k + extra;
      for (int n = 0; n < 9 && rest > 0; ++n) {
        const int v = rest > 255 ? 255 : rest;
        s.SetPixel(n % 3, n / 3, Grey(v));
        rest -= v;
      }
      const Points expected(order.begin(), order.begin() + (k - 1 + extra));
      EXPECT_EQ(Lit(Dithered(s, DitherMethod::kHalftone3x3)), expected) << k << "+" << extra;
    }
  }
}

TEST(Halftone3x3Test, PartialBlockUsesEdgeCopies) {
  // W = 4: the second block is column 3 and two copies of it. At 120 it sums to 1080, above
  // 229 * 4, so the picture column's rank-4 cell (bottom left) lights; against a black margin
  // the sum would be 360 and none of that column's cells (ranks 5, 7, 4) would.
  Surface s = Uniform(4, 3, kBlack);
  for (int y = 0; y < 3; ++y) s.SetPixel(3, y, Grey(120));
  EXPECT_EQ(Lit(Dithered(s, DitherMethod::kHalftone3x3)), (Points{{3, 2}}));
}

// ---- News 4x4: level = sum div 512, a cell lights when level > value / 2.

TEST(News4x4Test, LevelsLightCellsByHalfValue) {
  EXPECT_TRUE(Lit(Dithered(Uniform(4, 4, Grey(31)), DitherMethod::kNews4x4)).empty());
  // Level 1: only the 0 cell (second row, second column).
  EXPECT_EQ(Lit(Dithered(Uniform(4, 4, Grey(32)), DitherMethod::kNews4x4)), (Points{{1, 1}}));
  // Level 2: values below 4, that is 0, 2 and 3 (1 does not occur).
  EXPECT_EQ(Lit(Dithered(Uniform(4, 4, Grey(64)), DitherMethod::kNews4x4)),
            (Points{{1, 1}, {2, 2}, {2, 1}}));
}

TEST(News4x4Test, PartialBlocksAverageWithEdgeCopies) {
  // W = 5: the second block is column 4 and three copies; white sums to 4080 (level 7),
  // lighting every cell of the first column. Against black it would be level 1.
  Surface s = Uniform(5, 4, kBlack);
  for (int y = 0; y < 4; ++y) s.SetPixel(4, y, kWhite);
  EXPECT_EQ(Lit(Dithered(s, DitherMethod::kNews4x4)), (Points{{4, 0}, {4, 1}, {4, 2}, {4, 3}}));
  // H = 6: the second block row is rows 4 and 5 and two copies of row 5.
  Surface t = Uniform(4, 6, kBlack);
  for (int x = 0; x < 4; ++x) t.SetPixel(x, 5, kWhite);  // three white rows: 3060, level 5
  // Level 5 lights values below 10; of the block's rows only the first two are picture.
  EXPECT_EQ(Lit(Dithered(t, DitherMethod::kNews4x4)), (Points{{1, 4}, {0, 5}, {1, 5}, {2, 5}}));
}

}  // namespace
}  // namespace tvcpix
