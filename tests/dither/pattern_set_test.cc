// The 120 patterns: numbering, match colours, the A/B table and swaps.
#include "dither/pattern_set.h"

#include <gtest/gtest.h>

#include <utility>

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

}  // namespace
}  // namespace tvcpix
