// Tests of "Screen", the ordered method laid out for the TVC's pixel shapes.
#include "dither/aspect_ordered.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/linear_light.h"
#include "dither/palette_search.h"

namespace tvcpix {
namespace {

struct Case {
  std::string name;
  TvcMode mode;
  std::vector<int> palette;
};

class AspectOrderedTest : public ::testing::TestWithParam<Case> {};

TEST_P(AspectOrderedTest, TileRanksEveryCellOnce) {
  std::array<std::uint8_t, 256> tile = ThresholdTile(PixelAspectOf(GetParam().mode));
  std::vector<int> seen(tile.begin(), tile.end());
  std::sort(seen.begin(), seen.end());
  std::vector<int> all(256);
  std::iota(all.begin(), all.end(), 0);
  EXPECT_EQ(seen, all);
}

TEST_P(AspectOrderedTest, EveryPixelIsAPaletteColourAndRunsRepeatExactly) {
  const Palette palette = TvcPalette(GetParam().palette);
  Surface a("P", 53, 41, 0);
  std::mt19937 rng(11);
  for (std::size_t i = 0; i < a.size_bytes(); ++i) a.data()[i] = static_cast<std::uint8_t>(rng());
  Surface b = a;
  AspectOrderedDither(a, palette, PixelAspectOf(GetParam().mode));
  AspectOrderedDither(b, palette, PixelAspectOf(GetParam().mode));
  EXPECT_TRUE(a == b);
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const ColorValue c = PixelAt(a, x, y);
      const bool found = std::any_of(palette.entries().begin(), palette.entries().end(),
                                     [c](const PaletteEntry& e) { return ColorFromEntry(e) == c; });
      ASSERT_TRUE(found) << x << "," << y;
    }
  }
}

TEST_P(AspectOrderedTest, FlatPaletteColourStaysThatColour) {
  const Palette palette = TvcPalette(GetParam().palette);
  for (const PaletteEntry& e : palette.entries()) {
    Surface s("P", 33, 17, 0);
    s.Fill(ColorFromEntry(e));
    const Surface before = s;
    AspectOrderedDither(s, palette, PixelAspectOf(GetParam().mode));
    EXPECT_TRUE(s == before) << int(e.red) << "," << int(e.green) << "," << int(e.blue);
  }
}

// A flat grey between black and white, over whole tiles: the mix of 16 picks puts the mean
// light within half a pick (1/32 of white) of the grey's, plus the step to the plan cache's
// level (at most four bytes away). Known limit: the start palette
// reaches grey only through blue and red besides black and white, and its picks come out up
// to 5 % of white too light (the green no pick can give is clamped away), so it is left out.
TEST_P(AspectOrderedTest, FlatGreyKeepsItsMeanBrightness) {
  if (GetParam().name == "Graphics4") GTEST_SKIP() << "chromatic start palette";
  const Palette palette = TvcPalette(GetParam().palette);
  for (int v = 0; v < 256; v += 15) {
    Surface s("P", 32, 32, 0);
    s.Fill(MakeColor(v, v, v));
    AspectOrderedDither(s, palette, PixelAspectOf(GetParam().mode));
    double out = 0;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const std::uint8_t* p = s.row(y) + 3 * x;
        out += Luminance(SrgbToLinear(p[2]), SrgbToLinear(p[1]), SrgbToLinear(p[0]));
      }
    const int cell_step = SrgbToLinear(static_cast<std::uint8_t>(std::min(v + 4, 255))) -
                          SrgbToLinear(static_cast<std::uint8_t>(std::max(v - 4, 0)));
    EXPECT_NEAR(out / 1024, SrgbToLinear(static_cast<std::uint8_t>(v)),
                kLinearOne / 32.0 + cell_step / 2.0 + 1)
        << "grey " << v;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AspectOrderedTest,
    ::testing::Values(Case{"Graphics2", TvcMode::kGraphics2, {0, 15}},
                      Case{"Graphics4", TvcMode::kGraphics4, {0, 15, 9, 10}},
                      Case{"Graphics4Greys", TvcMode::kGraphics4, {0, 7, 8, 15}},
                      Case{"Graphics16",
                           TvcMode::kGraphics16,
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(ThresholdTileTest, TallPixelsUseTheWideTileTransposed) {
  const auto wide = ThresholdTile({4, 2}), tall = ThresholdTile({1, 2});
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(tall[16 * y + x], wide[16 * x + y]);
  EXPECT_NE(ThresholdTile({2, 2}), wide);
}

}  // namespace
}  // namespace tvcpix
