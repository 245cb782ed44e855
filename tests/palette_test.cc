// Tests of the colour tables, the nearest-colour searches and the cached matchers against a
// straight scan.
#include "core/palette.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "core/nearest_cache.h"

namespace tvcpix {
namespace {

// Straight scan: the smallest squared distance, the first index holding it; 0 if all skipped.
int BruteNearest(const Palette& p, const PatternFlags* flags, int r, int g, int b) {
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < p.size(); ++i) {
    if (flags && p.size() == kPatternCount && flags->excluded[static_cast<std::size_t>(i)] == 1)
      continue;
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (best_d < 0 || d < best_d) best = i, best_d = d;
  }
  return best;
}

// Coarse levels make equal distances and repeated colours common; fine ones make them rare.
void RandomPalette(Palette& p, int n, std::mt19937& rng, bool coarse) {
  p.Resize(n);
  const auto level = [&] { return static_cast<std::uint8_t>(coarse ? rng() % 6 * 51 : rng()); };
  for (int i = 0; i < n; ++i) p.Set(i, PaletteEntry{level(), level(), level(), 0});
}

TEST(PaletteTablesTest, StartTablesAndSwatches) {
  // {red, green, blue}: colour bits blue 0, red 1, green 2 at 145, or 255 with bit 3.
  constexpr int kTable16[16][3] = {{0, 0, 0},   {0, 0, 145},   {145, 0, 0},   {145, 0, 145},
                                   {0, 145, 0}, {0, 145, 145}, {145, 145, 0}, {145, 145, 145},
                                   {0, 0, 0},   {0, 0, 255},   {255, 0, 0},   {255, 0, 255},
                                   {0, 255, 0}, {0, 255, 255}, {255, 255, 0}, {255, 255, 255}};
  Palette p;
  BuildPalette16(p);
  ASSERT_EQ(p.size(), 16);
  for (int i = 0; i < 16; ++i)
    EXPECT_EQ(p[i], EntryFromColor(MakeColor(kTable16[i][0], kTable16[i][1], kTable16[i][2])));
  BuildPalette4(p);  // black, white, blue, red as blue, green, red, 0
  EXPECT_EQ(p.entries(), (std::vector<PaletteEntry>{
                             {0, 0, 0, 0}, {255, 255, 255, 0}, {255, 0, 0, 0}, {0, 0, 255, 0}}));
  BuildPalette2(p);
  EXPECT_EQ(p.entries(), (std::vector<PaletteEntry>{{0, 0, 0, 0}, {255, 255, 255, 0}}));
  const ColorValue swatches[2] = {MakeColor(10, 20, 30), MakeColor(64, 64, 64)};
  PaletteFromSwatches(p, swatches, 2);
  std::uint8_t bytes[8];
  std::memcpy(bytes, p.entries().data(), 8);
  EXPECT_EQ(std::vector<int>(bytes, bytes + 8), (std::vector<int>{30, 20, 10, 0, 64, 64, 64, 0}));
}

TEST(NearestSearchTest, TiesGoToTheLowerIndex) {
  Palette p;
  BuildPalette2(p);
  EXPECT_EQ(NearestIndex(p, 127, 127, 127), 0);  // 48387 against 49152
  EXPECT_EQ(NearestIndex(p, 128, 128, 128), 1);
  EXPECT_EQ(NearestColor(p, 128, 128, 128), (PaletteEntry{255, 255, 255, 0}));
  BuildPalette16(p);
  EXPECT_EQ(NearestIndex(p, 0, 0, 0), 0);
  EXPECT_EQ(NearestIndex(p, 145, 145, 145), 7);
  EXPECT_EQ(NearestIndex(p, 200, 200, 200), 7);  // 9075 from both 7 and 15
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7) ASSERT_NE(NearestIndex(p, r, g, b), 8);
  // With every entry excluded the unmarked search answers 0; with 16 entries flags are ignored.
  PatternFlags all_off;
  all_off.excluded.fill(1);
  all_off.swapped.fill(1);
  EXPECT_EQ(NearestIndexUnmarked(p, all_off, 250, 250, 250), 15);
  p.Resize(kPatternCount);
  p.Set(5, PaletteEntry{0, 0, 255, 0});
  EXPECT_EQ(NearestIndexUnmarked(p, all_off, 255, 0, 0), 0);
  all_off.excluded[7] = 0;
  EXPECT_EQ(NearestIndexUnmarked(p, all_off, 255, 0, 0), 7);  // the only one left
}

// The plain searches against the straight scan, and the cached matchers (one built for the
// pass and the shared one kept between passes) against the plain searches, on random
// palettes of every size with flags that change between passes.
TEST(NearestSearchTest, PlainAndCachedSearchesEqualTheStraightScan) {
  std::mt19937 rng(77);
  PatternFlags flags;
  Palette palettes[5];
  for (int i = 0; i < 5; ++i)
    RandomPalette(palettes[i], std::vector{2, 4, 16, 120, 120}[i], rng,
                  /*coarse=*/i != 2 && i != 4);
  for (int round = 0; round < 50; ++round) {
    // Back and forth between palettes, one entry and the flags changing now and then.
    Palette& p = palettes[round % 5];
    const int n = p.size();
    if (round % 3 == 0) p.Set(static_cast<int>(rng() % n), PaletteEntry{0, 51, 255, 0});
    const int flag_mode = round % 3;  // none, random, all excluded (or none)
    if (round % 2 == 0)
      for (int k = 0; k < kPatternCount; ++k)
        flags.excluded[static_cast<std::size_t>(k)] =
            flag_mode == 2 ? round % 4 / 2 : static_cast<int>(rng() % 3 == 0);
    const PatternFlags* f = flag_mode == 0 ? nullptr : &flags;
    NearestMatcher own(p, f);
    NearestMatcher& shared = SharedMatcher(p, f);
    for (int k = 0; k < 6000; ++k) {
      // Palette colours (an exact match stops the search), repeated and random colours.
      const std::uint32_t h =
          k % 3 == 1 ? k % 1500 * 2654435761u : static_cast<std::uint32_t>(rng());
      const PaletteEntry e =
          k % 3 == 0 ? p[static_cast<int>(rng() % n)] : EntryFromColor(h & 0xFFFFFF);
      const int want = BruteNearest(p, f, e.red, e.green, e.blue);
      ASSERT_EQ(f ? NearestIndexUnmarked(p, flags, e.red, e.green, e.blue)
                  : NearestIndex(p, e.red, e.green, e.blue),
                want)
          << "round " << round;
      ASSERT_EQ(NearestColor(p, e.red, e.green, e.blue),
                p[BruteNearest(p, nullptr, e.red, e.green, e.blue)]);
      ASSERT_EQ(own.Index(e.red, e.green, e.blue), want) << "round " << round;
      ASSERT_EQ(own.Color(e.red, e.green, e.blue), p[want]);
      ASSERT_EQ(shared.Index(e.red, e.green, e.blue), want) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace tvcpix
