// The 120 patterns (numbering, match colours, the A/B table and swaps), "Pattern TVC" against
// a plain reference, and Auto Palette.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/pattern.h"
#include "dither/pattern_set.h"

namespace tvcpix {
namespace {

ColorValue Color(const PaletteEntry& e) { return ColorFromEntry(e); }

TEST(PatternSetTest, NumberingAndMatchColours) {
  int k = 0;
  for (int i = 0; i <= 14; ++i)
    for (int j = i; j <= 14; ++j) ASSERT_EQ(PatternIndex(i, j), k++);
  // Chart levels 147 and 255; per channel (a + b + 1) / 2: 74, 128 and 201 for mixed levels.
  EXPECT_EQ(Color(MatchColor(1)), MakeColor(0, 0, 74));
  EXPECT_EQ(Color(MatchColor(93)), MakeColor(128, 0, 128));
  EXPECT_EQ(Color(MatchColor(PatternIndex(7, 14))), MakeColor(201, 201, 201));
  Palette palette;
  FillPatternPalette(palette);
  ASSERT_EQ(palette.size(), k);
  for (int p = 0; p < k; ++p) EXPECT_EQ(palette[p], MatchColor(p)) << p;
}

// A is the later chart colour; a swap goes through the scratch slot.
TEST(PatternSetTest, PairsAndSwaps) {
  PatternSet set;
  FillPatternPairs(set);
  EXPECT_EQ(std::pair(Color(set.A(1)), Color(set.B(1))), std::pair(MakeColor(0, 0, 147), 0u));
  SwapPattern(set, 93);
  EXPECT_EQ(std::pair(Color(set.A(93)), Color(set.B(93))),
            std::pair(MakeColor(0, 0, 255), MakeColor(255, 0, 0)));
}

// Each pixel takes the nearest switched-on pattern of its own colour, A on even x + y, B on odd.
TEST(PatternPassTest, MatchesTheReferenceAndAutoPaletteOnlyNarrows) {
  std::mt19937 rng(4);
  Palette palette;
  FillPatternPalette(palette);
  PatternFlags flags;
  PatternSet patterns;
  FillPatternPairs(patterns);
  for (const auto& [w, h] : {std::pair{37, 11}, {1, 1}, {5, 3}, {128, 24}})
    for (int round = 0; round < 3; ++round) {
      // Match colours (ties between patterns) mixed with random ones; some patterns switched off
      // or swapped; in round 2 everything off, which leaves pattern 0.
      for (auto& off : flags.excluded) off = round == 2 || (round == 1 && rng() % 3 == 0);
      if (round == 1) SwapPattern(patterns, static_cast<int>(rng() % kPatternCount));
      Surface source("TVC16", w, h, 0), want = source;
      for (int i = 0; i < w * h; ++i) {
        const ColorValue c =
            rng() % 2 ? Color(MatchColor(static_cast<int>(rng() % 120))) : rng() & 0xFFFFFF;
        const int k = NearestIndexUnmarked(palette, flags, RedOf(c), GreenOf(c), BlueOf(c));
        source.SetPixel(i % w, i / w, c);
        want.SetPixel(i % w, i / w, Color((i % w + i / w) % 2 ? patterns.B(k) : patterns.A(k)));
      }
      PatternDither(source, source, palette, flags, patterns);
      ASSERT_EQ(source, want) << w << "x" << h << " round " << round;
    }
  // Auto Palette only narrows. (128, 0, 128) is the match colour of pattern 10 (black, magenta)
  // and of 93 (blue, red).
  Surface s("TVC16", 7, 5, MakeColor(128, 0, 128));
  const auto on = [&] {
    AutoPalette(s, palette, flags);
    std::vector<int> out;
    for (int k = 0; k < kPatternCount; ++k)
      if (flags.excluded[static_cast<std::size_t>(k)] == 0) out.push_back(k);
    return out;
  };
  flags.excluded.fill(0);
  EXPECT_EQ(on(), std::vector<int>{10});
  flags.excluded.fill(0);
  flags.excluded[10] = 1;  // stays off although its colour occurs; purple now chooses 93
  s.SetPixel(3, 3, Color(MatchColor(1)));
  EXPECT_EQ(on(), (std::vector<int>{1, 93}));
  flags.excluded.fill(1);
  EXPECT_EQ(on(), std::vector<int>{0});
}

}  // namespace
}  // namespace tvcpix
