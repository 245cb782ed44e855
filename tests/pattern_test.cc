// Tests of the "Pattern TVC" pass and of Auto Palette.
#include "dither/pattern.h"

#include <gtest/gtest.h>

#include <vector>

#include "adjust/pattern_set.h"
#include "core/color.h"
#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

ColorValue Color(const PaletteEntry& e) { return ColorFromEntry(e); }

std::vector<int> Enabled(const PatternFlags& flags) {
  std::vector<int> on;
  for (int k = 0; k < kPatternCount; ++k) {
    if (flags.excluded[static_cast<std::size_t>(k)] == 0) on.push_back(k);
  }
  return on;
}

class PatternTest : public testing::Test {
 protected:
  PatternTest() {
    FillPatternPalette(palette_);
    FillPatternPairs(patterns_);
  }

  Surface Uniform(int width, int height, ColorValue color) const {
    Surface s("TVC16", width, height, MakeColor(192, 192, 255));
    s.Fill(color);
    return s;
  }

  // Every pixel must be A(k) on even x + y and B(k) on odd.
  void ExpectCheckerboard(const Surface& s, int k) const {
    for (int y = 0; y < s.height(); ++y) {
      for (int x = 0; x < s.width(); ++x) {
        const PaletteEntry& e = (x + y) % 2 == 0 ? patterns_.A(k) : patterns_.B(k);
        EXPECT_EQ(PixelAt(s, x, y), Color(e)) << x << "," << y;
      }
    }
  }

  Palette palette_;
  PatternFlags flags_;
  PatternSet patterns_;
};

// (128, 0, 128) is the match colour of pattern 10 (black, magenta) and of pattern 93 (blue,
// red); the lower index wins.
constexpr ColorValue kPurple = MakeColor(128, 0, 128);

TEST_F(PatternTest, UniformMatchColourGivesCheckerboardFromTopLeft) {
  ASSERT_EQ(Color(MatchColor(10)), kPurple);
  ASSERT_EQ(Color(MatchColor(93)), kPurple);
  Surface s = Uniform(5, 3, kPurple);  // odd width: the last column still keeps its phase
  PatternDither(s, s, palette_, flags_, patterns_);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(255, 0, 255));
  EXPECT_EQ(PixelAt(s, 1, 0), MakeColor(0, 0, 0));
  ExpectCheckerboard(s, 10);
}

TEST_F(PatternTest, ExcludedPatternIsNeverChosen) {
  flags_.excluded[10] = 1;
  Surface s = Uniform(4, 4, kPurple);
  PatternDither(s, s, palette_, flags_, patterns_);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(255, 0, 0));  // A(93): red
  EXPECT_EQ(PixelAt(s, 1, 0), MakeColor(0, 0, 255));  // B(93): blue
  ExpectCheckerboard(s, 93);
}

TEST_F(PatternTest, EveryPatternSwitchedOffFallsBackToPatternZero) {
  for (auto& f : flags_.excluded) f = 1;
  Surface s = Uniform(3, 3, MakeColor(255, 255, 255));
  PatternDither(s, s, palette_, flags_, patterns_);
  ExpectCheckerboard(s, 0);  // black on black
  EXPECT_EQ(PixelAt(s, 2, 2), MakeColor(0, 0, 0));
}

TEST_F(PatternTest, SwappedPatternSwapsThePhases) {
  SwapPattern(patterns_, 10);
  Surface s = Uniform(4, 2, kPurple);
  PatternDither(s, s, palette_, flags_, patterns_);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(0, 0, 0));
  EXPECT_EQ(PixelAt(s, 1, 0), MakeColor(255, 0, 255));
  EXPECT_EQ(PixelAt(s, 0, 1), MakeColor(255, 0, 255));
}

// Each pixel picks its own pattern from its own colour; the phase is the pixel's position.
TEST_F(PatternTest, EveryPixelChoosesItsOwnPattern) {
  const int dark_blue = PatternIndex(0, 1);  // black + (0, 0, 147): match (0, 0, 74)
  const int red_white = PatternIndex(9, 14);
  Surface s = Uniform(2, 2, Color(MatchColor(dark_blue)));
  s.SetPixel(1, 0, Color(MatchColor(red_white)));
  s.SetPixel(0, 1, Color(MatchColor(red_white)));
  PatternDither(s, s, palette_, flags_, patterns_);
  EXPECT_EQ(PixelAt(s, 0, 0), Color(patterns_.A(dark_blue)));
  EXPECT_EQ(PixelAt(s, 1, 0), Color(patterns_.B(red_white)));
  EXPECT_EQ(PixelAt(s, 0, 1), Color(patterns_.B(red_white)));
  EXPECT_EQ(PixelAt(s, 1, 1), Color(patterns_.A(dark_blue)));
}

TEST_F(PatternTest, WritesIntoTopLeftOfAnotherDestination) {
  const Surface source = Uniform(3, 1, kPurple);
  const ColorValue keep = MakeColor(192, 192, 255);
  Surface destination("TVC16", 4, 2, keep);
  PatternDither(destination, source, palette_, flags_, patterns_);
  EXPECT_EQ(PixelAt(destination, 2, 0), MakeColor(255, 0, 255));
  EXPECT_EQ(PixelAt(destination, 3, 0), keep);
  EXPECT_EQ(PixelAt(destination, 0, 1), keep);
  EXPECT_EQ(PixelAt(source, 0, 0), kPurple);
}

// ---- Auto Palette

TEST_F(PatternTest, AutoPaletteKeepsOnlyTheNearestOfASingleColour) {
  AutoPalette(Uniform(7, 5, kPurple), palette_, flags_);
  EXPECT_EQ(Enabled(flags_), std::vector<int>{10});
  // Run again with pattern 10 the only one left: the colour still picks it.
  AutoPalette(Uniform(7, 5, kPurple), palette_, flags_);
  EXPECT_EQ(Enabled(flags_), std::vector<int>{10});
}

TEST_F(PatternTest, AutoPaletteOnlyNarrows) {
  // Pattern 10 is off: the purple pixels now choose 93. Pattern 10 stays off although its
  // match colour occurs in the picture.
  flags_.excluded[10] = 1;
  Surface s = Uniform(4, 4, kPurple);
  s.SetPixel(3, 3, Color(MatchColor(1)));
  AutoPalette(s, palette_, flags_);
  EXPECT_EQ(Enabled(flags_), (std::vector<int>{1, 93}));
}

TEST_F(PatternTest, AutoPaletteWithEverythingOffLeavesPatternZero) {
  for (auto& f : flags_.excluded) f = 1;
  Surface s = Uniform(3, 2, MakeColor(255, 255, 255));
  s.SetPixel(0, 0, kPurple);
  AutoPalette(s, palette_, flags_);
  EXPECT_EQ(Enabled(flags_), std::vector<int>{0});
}

TEST_F(PatternTest, AutoPaletteIgnoresFlagsUnlessThePaletteHas120Entries) {
  // With the 16-colour table every pixel maps by plain nearest colour, flags or not.
  Palette tvc16;
  BuildPalette16(tvc16);
  for (auto& f : flags_.excluded) f = 1;
  Surface s = Uniform(2, 1, MakeColor(0, 0, 255));  // index 9
  s.SetPixel(1, 0, MakeColor(145, 145, 145));       // index 7
  AutoPalette(s, tvc16, flags_);
  EXPECT_EQ(Enabled(flags_), (std::vector<int>{7, 9}));
}

}  // namespace
}  // namespace tvcpix
