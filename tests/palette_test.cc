// Tests of the colour tables, the nearest-colour searches and their cached form.
#include "core/palette.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>

#include "core/nearest_cache.h"

namespace tvcpix {
namespace {

struct Rgb {
  int red, green, blue;
};

void ExpectEntry(const PaletteEntry& e, Rgb want, int index) {
  EXPECT_EQ(e.red, want.red) << "entry " << index;
  EXPECT_EQ(e.green, want.green) << "entry " << index;
  EXPECT_EQ(e.blue, want.blue) << "entry " << index;
  EXPECT_EQ(e.reserved, 0) << "entry " << index;
}

// Straight scan: the smallest squared distance, the first index holding it.
int BruteNearest(const Palette& p, const PatternFlags* flags, int r, int g, int b) {
  const bool skip = flags != nullptr && p.size() == kPatternCount;
  int best = -1;
  long best_d = 0;
  for (int i = 0; i < p.size(); ++i) {
    if (skip && flags->excluded[static_cast<std::size_t>(i)] == 1) continue;
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (best < 0 || d < best_d) {
      best = i;
      best_d = d;
    }
  }
  return best < 0 ? 0 : best;
}

Palette RandomPalette(int n, std::mt19937& rng) {
  Palette p;
  p.Resize(n);
  for (int i = 0; i < n; ++i) {
    // A coarse grid makes equal distances and repeated colours common.
    const auto level = [&] { return static_cast<std::uint8_t>((rng() % 6) * 51); };
    p.Set(i, PaletteEntry{level(), level(), level(), 0});
  }
  return p;
}

// ---- Tables

TEST(PaletteTablesTest, SixteenColourTable) {
  constexpr Rgb kTable[16] = {{0, 0, 0},   {0, 0, 145},   {145, 0, 0},   {145, 0, 145},
                              {0, 145, 0}, {0, 145, 145}, {145, 145, 0}, {145, 145, 145},
                              {0, 0, 0},   {0, 0, 255},   {255, 0, 0},   {255, 0, 255},
                              {0, 255, 0}, {0, 255, 255}, {255, 255, 0}, {255, 255, 255}};
  Palette p;
  BuildPalette16(p);
  ASSERT_EQ(p.size(), 16);
  for (int i = 0; i < 16; ++i) {
    ExpectEntry(p[i], kTable[i], i);
    ExpectEntry(Tvc16Color(i), kTable[i], i);
  }
}

TEST(PaletteTablesTest, StartTablesOfTheTwoAndFourColourModes) {
  Palette p;
  BuildPalette16(p);  // resizing clears whatever was there
  BuildPalette4(p);
  ASSERT_EQ(p.size(), 4);
  ExpectEntry(p[0], {0, 0, 0}, 0);
  ExpectEntry(p[1], {255, 255, 255}, 1);
  ExpectEntry(p[2], {0, 0, 255}, 2);
  ExpectEntry(p[3], {255, 0, 0}, 3);
  BuildPalette2(p);
  ASSERT_EQ(p.size(), 2);
  ExpectEntry(p[0], {0, 0, 0}, 0);
  ExpectEntry(p[1], {255, 255, 255}, 1);
}

TEST(PaletteTablesTest, ResizeClearsToBlack) {
  Palette p;
  BuildPalette16(p);
  p.Resize(120);
  ASSERT_EQ(p.size(), 120);
  for (int i = 0; i < 120; ++i) ExpectEntry(p[i], {0, 0, 0}, i);
}

TEST(PaletteTablesTest, SwatchColourBecomesBlueGreenRedZero) {
  const ColorValue swatches[4] = {MakeColor(10, 20, 30), MakeColor(255, 0, 0), MakeColor(0, 0, 255),
                                  MakeColor(64, 64, 64)};
  Palette p;
  PaletteFromSwatches(p, swatches, 4);
  ASSERT_EQ(p.size(), 4);
  std::uint8_t bytes[4];
  std::memcpy(bytes, &p[0], 4);
  EXPECT_EQ(bytes[0], 30);
  EXPECT_EQ(bytes[1], 20);
  EXPECT_EQ(bytes[2], 10);
  EXPECT_EQ(bytes[3], 0);
  ExpectEntry(p[1], {255, 0, 0}, 1);
  ExpectEntry(p[2], {0, 0, 255}, 2);
  ExpectEntry(p[3], {64, 64, 64}, 3);
  PaletteFromSwatches(p, swatches, 2);
  EXPECT_EQ(p.size(), 2);
}

// ---- The three searches

TEST(NearestSearchTest, GreyHalfwayBetweenBlackAndWhite) {
  Palette p;
  BuildPalette2(p);
  EXPECT_EQ(NearestIndex(p, 127, 127, 127), 0);  // 48387 against 49152
  EXPECT_EQ(NearestIndex(p, 128, 128, 128), 1);
  EXPECT_EQ(NearestColor(p, 128, 128, 128), (PaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ(NearestColor(p, 127, 127, 127), (PaletteEntry{0, 0, 0, 0}));
}

TEST(NearestSearchTest, SixteenColourTableTies) {
  Palette p;
  BuildPalette16(p);
  EXPECT_EQ(NearestIndex(p, 0, 0, 0), 0);
  EXPECT_EQ(NearestIndex(p, 145, 145, 145), 7);
  EXPECT_EQ(NearestIndex(p, 200, 200, 200), 7);  // 9075 from both 7 and 15
  // No colour at all reaches the second black.
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5)
      for (int b = 0; b < 256; b += 7) ASSERT_NE(NearestIndex(p, r, g, b), 8);
}

TEST(NearestSearchTest, RepeatedColourAnswersWithTheLowerIndex) {
  Palette p;
  p.Resize(4);
  p.Set(0, PaletteEntry{0, 0, 255, 0});
  p.Set(1, PaletteEntry{255, 255, 255, 0});
  p.Set(2, PaletteEntry{0, 0, 255, 0});
  p.Set(3, PaletteEntry{255, 255, 255, 0});
  EXPECT_EQ(NearestIndex(p, 255, 255, 255), 1);
  EXPECT_EQ(NearestIndex(p, 200, 190, 210), 1);
  EXPECT_EQ(NearestIndex(p, 250, 3, 3), 0);
}

TEST(NearestSearchTest, AgreesWithAStraightScan) {
  std::mt19937 rng(3);
  for (int n : {2, 4, 16, 120}) {
    for (int round = 0; round < 5; ++round) {
      const Palette p = RandomPalette(n, rng);
      for (int k = 0; k < 3000; ++k) {
        const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
                  b = static_cast<int>(rng() % 256);
        const int want = BruteNearest(p, nullptr, r, g, b);
        ASSERT_EQ(NearestIndex(p, r, g, b), want);
        ASSERT_EQ(NearestColor(p, r, g, b), p[want]);
      }
    }
  }
}

TEST(NearestUnmarkedTest, FlagsCountOnlyWithTheHundredTwentyEntryPalette) {
  PatternFlags all_off;
  all_off.excluded.fill(1);
  Palette p16;
  BuildPalette16(p16);
  std::mt19937 rng(4);
  for (int k = 0; k < 2000; ++k) {
    const int r = static_cast<int>(rng() % 256), g = static_cast<int>(rng() % 256),
              b = static_cast<int>(rng() % 256);
    ASSERT_EQ(NearestIndexUnmarked(p16, all_off, r, g, b), NearestIndex(p16, r, g, b));
  }

  Palette p120 = RandomPalette(120, rng);
  for (int k = 0; k < 500; ++k) {
    ASSERT_EQ(NearestIndexUnmarked(p120, all_off, static_cast<int>(rng() % 256), 7, 200), 0);
  }

  // Switching off the nearest entry hands the colour to the next nearest switched-on one.
  PatternFlags flags;
  const int first = NearestIndexUnmarked(p120, flags, 90, 160, 30);
  EXPECT_EQ(first, NearestIndex(p120, 90, 160, 30));
  flags.excluded[static_cast<std::size_t>(first)] = 1;
  const int second = NearestIndexUnmarked(p120, flags, 90, 160, 30);
  EXPECT_NE(second, first);
  EXPECT_EQ(second, BruteNearest(p120, &flags, 90, 160, 30));
  // Column 1 (swapped) is not read.
  flags.swapped.fill(1);
  EXPECT_EQ(NearestIndexUnmarked(p120, flags, 90, 160, 30), second);
}

// ---- NearestMatcher

struct MatcherCase {
  int size;
  int flag_mode;  // 0 no flags, 1 random flags, 2 all excluded, 3 all included
};

std::ostream& operator<<(std::ostream& os, const MatcherCase& c) {
  return os << c.size << " entries, flags " << c.flag_mode;
}

class NearestMatcherTest : public ::testing::TestWithParam<MatcherCase> {};

TEST_P(NearestMatcherTest, EqualsTheUncachedSearch) {
  const MatcherCase c = GetParam();
  std::mt19937 rng(static_cast<std::uint32_t>(c.size * 10 + c.flag_mode));
  const Palette p = RandomPalette(c.size, rng);
  PatternFlags flags;
  for (int i = 0; i < kPatternCount; ++i)
    flags.excluded[static_cast<std::size_t>(i)] =
        c.flag_mode == 2 ? 1 : (c.flag_mode == 1 ? static_cast<int>(rng() % 3 == 0) : 0);
  NearestMatcher matcher(p, c.flag_mode == 0 ? nullptr : &flags);
  // Many colours, many of them repeated, so cached answers and slot collisions are both hit.
  std::vector<std::array<int, 3>> colours;
  for (int k = 0; k < 4000; ++k)
    colours.push_back({static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                       static_cast<int>(rng() % 256)});
  for (int k = 0; k < 200000; ++k) {
    const std::array<int, 3> col = k % 2 == 0 ? colours[rng() % colours.size()]
                                              : std::array<int, 3>{static_cast<int>(rng() % 256),
                                                                   static_cast<int>(rng() % 256),
                                                                   static_cast<int>(rng() % 256)};
    const int want = c.flag_mode == 0 ? NearestIndex(p, col[0], col[1], col[2])
                                      : NearestIndexUnmarked(p, flags, col[0], col[1], col[2]);
    ASSERT_EQ(matcher.Index(col[0], col[1], col[2]), want);
    ASSERT_EQ(matcher.Color(col[0], col[1], col[2]), p[want]);
  }
}

INSTANTIATE_TEST_SUITE_P(PalettesAndFlags, NearestMatcherTest,
                         ::testing::Values(MatcherCase{2, 0}, MatcherCase{4, 0}, MatcherCase{16, 0},
                                           MatcherCase{16, 1}, MatcherCase{16, 2},
                                           MatcherCase{120, 0}, MatcherCase{120, 1},
                                           MatcherCase{120, 2}, MatcherCase{120, 3}));

TEST(NearestMatcherTest, KeepsThePaletteItWasBuiltFor) {
  Palette p;
  BuildPalette2(p);
  NearestMatcher matcher(p, nullptr);
  EXPECT_EQ(matcher.Index(200, 200, 200), 1);
  BuildPalette4(p);  // a later change must not leak into the pass already running
  EXPECT_EQ(matcher.Index(10, 10, 240), 0);
  EXPECT_EQ(matcher.Color(200, 200, 200), (PaletteEntry{255, 255, 255, 0}));
}

}  // namespace
}  // namespace tvcpix
