// Tests of the pattern tables and of the pattern editor's swatch drawing and hit test.
#include "adjust/pattern_set.h"

#include <gtest/gtest.h>

#include <optional>

#include "adjust/pattern_editor.h"
#include "core/color.h"
#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

ColorValue Color(const PaletteEntry& e) { return ColorFromEntry(e); }

TEST(PatternSetTest, ChartColoursUseLevel147AndSkipTheSecondBlack) {
  EXPECT_EQ(Color(ChartColor(0)), MakeColor(0, 0, 0));
  EXPECT_EQ(Color(ChartColor(1)), MakeColor(0, 0, 147));
  EXPECT_EQ(Color(ChartColor(2)), MakeColor(147, 0, 0));
  EXPECT_EQ(Color(ChartColor(7)), MakeColor(147, 147, 147));
  EXPECT_EQ(Color(ChartColor(8)), MakeColor(0, 0, 255));
  EXPECT_EQ(Color(ChartColor(9)), MakeColor(255, 0, 0));
  EXPECT_EQ(Color(ChartColor(14)), MakeColor(255, 255, 255));
}

TEST(PatternSetTest, NumberingIsRowByRowAndInvertible) {
  EXPECT_EQ(PatternIndex(0, 0), 0);
  EXPECT_EQ(PatternIndex(0, 14), 14);
  EXPECT_EQ(PatternIndex(1, 1), 15);
  EXPECT_EQ(PatternIndex(14, 14), 119);
  int expected = 0;
  for (int i = 0; i <= 14; ++i) {
    for (int j = i; j <= 14; ++j, ++expected) {
      ASSERT_EQ(PatternIndex(i, j), expected);
      int pi = -1;
      int pj = -1;
      PatternPair(expected, &pi, &pj);
      EXPECT_EQ(pi, i);
      EXPECT_EQ(pj, j);
    }
  }
  EXPECT_EQ(expected, kPatternCount);
}

TEST(PatternSetTest, MatchColoursRoundHalvesUp) {
  EXPECT_EQ(Color(MatchColor(1)), MakeColor(0, 0, 74));      // black + 147
  EXPECT_EQ(Color(MatchColor(93)), MakeColor(128, 0, 128));  // blue + red
  EXPECT_EQ(Color(MatchColor(PatternIndex(7, 14))), MakeColor(201, 201, 201));
  EXPECT_EQ(Color(MatchColor(PatternIndex(5, 5))), Color(ChartColor(5)));
}

TEST(PatternSetTest, PairsPutTheLaterChartColourInA) {
  PatternSet set;
  FillPatternPairs(set);
  EXPECT_EQ(Color(set.A(1)), MakeColor(0, 0, 147));
  EXPECT_EQ(Color(set.B(1)), MakeColor(0, 0, 0));
  EXPECT_EQ(Color(set.A(93)), MakeColor(255, 0, 0));
  EXPECT_EQ(Color(set.B(93)), MakeColor(0, 0, 255));
}

TEST(PatternSetTest, SwapGoesThroughScratchAndTwoSwapsRestore) {
  PatternSet set;
  FillPatternPairs(set);
  const PatternSet start = set;
  SwapPattern(set, 93);
  EXPECT_EQ(set.A(93), start.B(93));
  EXPECT_EQ(set.B(93), start.A(93));
  EXPECT_EQ(set.columns[2][93], start.B(93));
  EXPECT_EQ(set.A(92), start.A(92));
  SwapPattern(set, 93);
  EXPECT_EQ(set.columns[0], start.columns[0]);
  EXPECT_EQ(set.columns[1], start.columns[1]);
}

TEST(PatternSetTest, PatternPaletteHas120MatchColours) {
  Palette palette;
  BuildPalette16(palette);
  const auto before = palette.version();
  FillPatternPalette(palette);
  ASSERT_EQ(palette.size(), kPatternCount);
  EXPECT_NE(palette.version(), before);
  for (int k = 0; k < kPatternCount; ++k) EXPECT_EQ(palette[k], MatchColor(k)) << k;
}

// ---- The swatch picture

constexpr ColorValue kWhite = MakeColor(255, 255, 255);

class SwatchTest : public testing::Test {
 protected:
  SwatchTest() : pic9_("Pic9", 312, 312, kSwatchBackground) {
    for (int i = 0; i <= 14; ++i) {
      for (int j = i; j <= 14; ++j) {
        DrawSwatchOn(pic9_, SwatchLeft(j), SwatchTop(i), Color(MatchColor(PatternIndex(i, j))));
      }
    }
  }

  Surface pic9_;
};

TEST_F(SwatchTest, EverySwatchHitsItsPatternFromCornerToCorner) {
  for (int i = 0; i <= 14; ++i) {
    for (int j = i; j <= 14; ++j) {
      const int k = PatternIndex(i, j);
      const int x = SwatchLeft(j);
      const int y = SwatchTop(i);
      EXPECT_EQ(SwatchAt(pic9_, x, y), k);
      EXPECT_EQ(SwatchAt(pic9_, x + 12, y + 12), k);
      // The 7-pixel gaps on the right and below show the background.
      EXPECT_EQ(SwatchAt(pic9_, x + 13, y), std::nullopt) << k;
      EXPECT_EQ(SwatchAt(pic9_, x, y + 19), std::nullopt) << k;
    }
  }
}

TEST_F(SwatchTest, PatternZeroIsBlackButStillHit) {
  // Black is not the background colour: the swatch of pattern 0 counts.
  EXPECT_EQ(PixelAt(pic9_, 14, 17), MakeColor(0, 0, 0));
  EXPECT_EQ(SwatchAt(pic9_, 14, 17), 0);
}

TEST_F(SwatchTest, OutsideThePictureIsBackground) {
  Surface odd("Pic9", 40, 40, MakeColor(1, 2, 3));  // a background that is not the swatch one
  EXPECT_EQ(SwatchAt(odd, -1, 15), std::nullopt);
  EXPECT_EQ(SwatchAt(odd, 15, 40), std::nullopt);
  EXPECT_EQ(SwatchAt(pic9_, 400, 11), std::nullopt);
}

TEST_F(SwatchTest, StrayPixelsOutsideTheTriangleHitNothing) {
  // Below the diagonal (i > j) and right of the last column (j = 15).
  pic9_.SetPixel(SwatchLeft(1) + 3, SwatchTop(3) + 3, kWhite);
  EXPECT_EQ(SwatchAt(pic9_, SwatchLeft(1) + 3, SwatchTop(3) + 3), std::nullopt);
  pic9_.SetPixel(SwatchLeft(15), SwatchTop(0), kWhite);
  EXPECT_EQ(SwatchAt(pic9_, SwatchLeft(15), SwatchTop(0)), std::nullopt);
}

TEST_F(SwatchTest, OffLookOutlinesInWhiteAndKeepsTheRing) {
  const int k = PatternIndex(2, 5);
  const ColorValue c = Color(MatchColor(k));
  const int x = SwatchLeft(5);
  const int y = SwatchTop(2);
  DrawSwatchOff(pic9_, x, y, c);
  EXPECT_EQ(PixelAt(pic9_, x, y), kWhite);
  EXPECT_EQ(PixelAt(pic9_, x + 12, y + 6), kWhite);
  EXPECT_EQ(PixelAt(pic9_, x + 1, y + 1), c);  // left from the on look
  EXPECT_EQ(PixelAt(pic9_, x + 6, y + 6), c);
  EXPECT_EQ(SwatchAt(pic9_, x, y + 6), k);  // a click on the outline counts

  // Drawn off over the background, the ring shows the background and is a miss.
  Surface fresh("Pic9", 312, 312, kSwatchBackground);
  DrawSwatchOff(fresh, x, y, c);
  EXPECT_EQ(SwatchAt(fresh, x + 1, y + 5), std::nullopt);
  EXPECT_EQ(SwatchAt(fresh, x + 12, y + 12), k);
}

TEST_F(SwatchTest, SwapMarkOutlinedOrFilled) {
  const int x = SwatchLeft(3);
  const int y = SwatchTop(0);
  const ColorValue mark = MakeColor(9, 9, 9);
  DrawSwapMark(pic9_, x, y, mark, /*outlined=*/true);
  EXPECT_EQ(PixelAt(pic9_, x + 2, y + 2), mark);
  EXPECT_EQ(PixelAt(pic9_, x + 6, y + 4), mark);
  EXPECT_NE(PixelAt(pic9_, x + 4, y + 4), mark);
  EXPECT_NE(PixelAt(pic9_, x + 7, y + 7), mark);
  DrawSwapMark(pic9_, x, y, mark, /*outlined=*/false);
  EXPECT_EQ(PixelAt(pic9_, x + 4, y + 4), mark);
  EXPECT_NE(PixelAt(pic9_, x + 7, y + 7), mark);
}

}  // namespace
}  // namespace tvcpix
