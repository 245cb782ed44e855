// The colour tables, palettes from swatches, and the plain nearest-colour searches against a
// straight scan.
#include "core/palette.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <vector>

#include "tests/support/palettes.h"

namespace tvcpix {
namespace {

TEST(PaletteTest, SixteenColourTableAndStartPalettes) {
  const Palette p = test::Table16();
  ASSERT_EQ(p.size(), 16);
  for (int i = 0; i < 16; ++i) {  // blue bit 0, red 1, green 2, at 145, or 255 with bit 3
    const int on = i & 8 ? 255 : 145;
    EXPECT_EQ(p[i], EntryFromColor(MakeColor(i & 2 ? on : 0, i & 4 ? on : 0, i & 1 ? on : 0)));
  }
  // Black, white, blue, red as blue, green, red, 0; black and white.
  EXPECT_EQ(test::PaletteOfIndices(kStartPalette4Indices).entries(),
            (std::vector<PaletteEntry>{
                {0, 0, 0, 0}, {255, 255, 255, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}}));
  EXPECT_EQ(test::PaletteOfIndices(kStartPalette2Indices).entries(),
            (std::vector<PaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
  Palette swatch_palette;
  const ColorValue swatch = MakeColor(10, 20, 30);
  PaletteFromSwatches(swatch_palette, &swatch, 1);
  EXPECT_EQ(swatch_palette.entries(), (std::vector<PaletteEntry>{{30, 20, 10, 0}}));
}

// Straight scan: the smallest squared distance, the first index holding it; 0 if all skipped.
int BruteNearest(const Palette& p, const PatternFlags* flags, int r, int g, int b) {
  int best = 0;
  long best_d = LONG_MAX;
  for (int i = 0; i < p.size(); ++i) {
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (d < best_d && !(flags && p.size() == kPatternCount && flags->excluded[i] == 1))
      best = i, best_d = d;
  }
  return best;
}

// Random palettes of every size, coarse levels (equal distances and repeated colours common)
// and fine ones, with random flags, all flags set and none.
TEST(NearestSearchTest, PlainSearchesEqualTheStraightScan) {
  std::mt19937 rng(78);
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    const bool coarse = round % 2 == 0;
    Palette p;
    p.Resize(std::vector{2, 4, 16, 120, 120}[round % 5]);
    for (int k = 0; k < p.size(); ++k) {
      const auto level = [&] { return static_cast<std::uint8_t>(coarse ? rng() % 6 * 51 : rng()); };
      p.Set(k, {level(), level(), level(), 0});
    }
    PatternFlags flags;
    for (auto& off : flags.excluded) off = round % 8 == 3 || (round % 3 == 1 && rng() % 3 == 0);
    for (int k = 0; k < 3000; ++k) {
      const PaletteEntry e =
          k % 3 == 0 ? p[static_cast<int>(rng() % p.size())] : EntryFromColor(rng() & 0xFFFFFF);
      const int r = e.red, g = e.green, b = e.blue;
      ASSERT_EQ(NearestIndex(p, r, g, b), BruteNearest(p, nullptr, r, g, b));
      ASSERT_EQ(NearestIndexUnmarked(p, flags, r, g, b), BruteNearest(p, &flags, r, g, b));
    }
  }
}

}  // namespace
}  // namespace tvcpix
