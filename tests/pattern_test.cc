// Tests of the adjustments: the pattern tables, the "Pattern TVC" pass against a plain reference,
// Auto Palette, the pattern editor's hit test, and the four tone filters.
#include "dither/pattern.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <utility>
#include <vector>

#include "adjust/tone.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/pattern_set.h"
#include "engine/pattern_editor.h"

namespace tvcpix {
namespace {

ColorValue Color(const PaletteEntry& e) { return ColorFromEntry(e); }

TEST(PatternSetTest, NumberingMatchColoursPairsAndHitTest) {
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

  // A is the later chart colour; a swap goes through the scratch slot.
  PatternSet set;
  FillPatternPairs(set);
  EXPECT_EQ(std::pair(Color(set.A(1)), Color(set.B(1))), std::pair(MakeColor(0, 0, 147), 0u));
  SwapPattern(set, 93);
  EXPECT_EQ(std::pair(Color(set.A(93)), Color(set.B(93))),
            std::pair(MakeColor(0, 0, 255), MakeColor(255, 0, 0)));

  // The editor's hit test reads the picture: once a click beside it or outside the triangle was
  // taken for a swatch.
  Surface pic9("Pic9", 312, 312, kSwatchBackground);
  DrawSwatchOn(pic9, SwatchLeft(3), SwatchTop(1), MakeColor(0, 0, 0));
  DrawSwatchOn(pic9, SwatchLeft(1), SwatchTop(3), MakeColor(9, 9, 9));  // below the diagonal
  EXPECT_EQ(SwatchAt(pic9, SwatchLeft(3) + 12, SwatchTop(1) + 12), PatternIndex(1, 3));
  for (const auto& [x, y] : {std::pair{-1, 15}, {400, 11}, {SwatchLeft(1) + 3, SwatchTop(3) + 3}})
    EXPECT_EQ(SwatchAt(pic9, x, y), std::nullopt) << x << "," << y;
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

// ---- Tone filters

enum Filter { kBrightness, kGamma, kColor, kContrast };

void Apply(int filter, Surface& s, int value) {
  if (filter == kBrightness) AdjustBrightness(s, s, value);
  if (filter == kGamma) AdjustGamma(s, s, static_cast<float>(value));
  if (filter == kColor) AdjustColor(s, s, value);
  if (filter == kContrast) AdjustContrast(s, s, value);
}

TEST(ToneTest, ChannelValuesAndMidpoint) {
  // {filter, slider, then pairs of channel in and out}; ties go to even, factors are stored as
  // floats (brightness at 1 and 55 and contrast at 1 differ from the exact fraction), pivot 127.
  // clang-format off
  const std::vector<std::vector<int>> kRows = {
      {kBrightness, 25, 25, 12, 27, 14}, {kBrightness, 1, 75, 1}, {kBrightness, 55, 15, 17},
      {kBrightness, 100, 100, 200, 200, 255}, {kBrightness, 0, 255, 0},
      {kGamma, 50, 64, 66, 128, 130, 192, 193, 0, 0, 255, 255},
      {kGamma, 0, 128, 0, 200, 0, 230, 1, 250, 95, 254, 210, 255, 255},
      {kGamma, 100, 1, 16, 64, 129, 128, 181}, {kContrast, 100, 0, 0, 255, 255, 128, 129},
      {kContrast, 0, 0, 127, 255, 127}, {kContrast, 1, 2, 125}};
  for (const std::vector<int>& row : kRows)
    for (std::size_t i = 2; i < row.size(); i += 2) {
      Surface s("Pic5", 1, 1, MakeColor(row[i], row[i], row[i]));
      Apply(row[0], s, row[1]);
      EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(row[i + 1], row[i + 1], row[i + 1]))
          << row[0] << " at " << row[1] << ": " << row[i];
    }
  // The colour filter moves channels from the grey level m = nearest(sum / 3): m = 85, 100, 3,
  // 4 (ties to even) and 1.
  constexpr int kColour[][7] = {{0, 255, 0, 0, 85, 85, 85}, {100, 200, 100, 0, 255, 100, 0},
      {25, 10, 0, 0, 6, 2, 2}, {25, 11, 1, 0, 8, 2, 2}, {0, 2, 0, 0, 1, 1, 1}};
  // clang-format on
  for (const auto& [value, r, g, b, r2, g2, b2] : kColour) {
    Surface s("Pic5", 1, 1, MakeColor(r, g, b));
    AdjustColor(s, s, value);
    EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(r2, g2, b2))
        << value << ": " << r << "," << g << "," << b;
  }
  // At 50 three of the filters leave every value, gamma does not; the last column of an odd
  // width is filtered too.
  Surface source("Pic5", 255, 2, 0);
  for (int c = 0; c < 255; ++c) source.SetPixel(c, 1, MakeColor(c, 255 - c, c * 7 % 256));
  for (int filter : {kBrightness, kGamma, kColor, kContrast}) {
    Surface s = source;
    Apply(filter, s, 50);
    EXPECT_EQ(s == source, filter != kGamma) << filter;
  }
  Apply(kBrightness, source, 100);
  EXPECT_EQ(PixelAt(source, 254, 1), MakeColor(255, 2, 255));
}

}  // namespace
}  // namespace tvcpix
