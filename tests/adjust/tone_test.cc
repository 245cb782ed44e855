// The four tone filters: channel values against worked examples, the colour filter's grey
// level, and what the midpoint leaves unchanged.
#include "adjust/tone.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvcpix {
namespace {

enum Filter { kBrightness, kGamma, kColor, kContrast };

void Apply(Filter filter, Surface& s, int value) {
  if (filter == kBrightness) AdjustBrightness(s, s, value);
  if (filter == kGamma) AdjustGamma(s, s, static_cast<float>(value));
  if (filter == kColor) AdjustColor(s, s, value);
  if (filter == kContrast) AdjustContrast(s, s, value);
}

// Pairs of grey channel values in and out. Ties go to even, factors are stored as floats
// (brightness at 1 and 55 and contrast at 1 differ from the exact fraction), the contrast pivot
// is 127.
TEST(ToneTest, GreyLevelsMapAsWorkedOut) {
  // clang-format off
  const struct { Filter filter; int slider; std::vector<int> in_out; } cases[] = {
      {kBrightness, 25, {25, 12, 27, 14}}, {kBrightness, 1, {75, 1}}, {kBrightness, 55, {15, 17}},
      {kBrightness, 100, {100, 200, 200, 255}}, {kBrightness, 0, {255, 0}},
      {kGamma, 50, {64, 66, 128, 130, 192, 193, 0, 0, 255, 255}},
      {kGamma, 0, {128, 0, 200, 0, 230, 1, 250, 95, 254, 210, 255, 255}},
      {kGamma, 100, {1, 16, 64, 129, 128, 181}},
      {kContrast, 100, {0, 0, 255, 255, 128, 129}}, {kContrast, 0, {0, 127, 255, 127}},
      {kContrast, 1, {2, 125}}};
  // clang-format on
  for (const auto& [filter, slider, in_out] : cases)
    for (std::size_t i = 0; i < in_out.size(); i += 2) {
      Surface s("Pic5", 1, 1, MakeColor(in_out[i], in_out[i], in_out[i]));
      Apply(filter, s, slider);
      EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(in_out[i + 1], in_out[i + 1], in_out[i + 1]))
          << filter << " at " << slider << ": " << in_out[i];
    }
}

// The colour filter moves channels away from the grey level m = nearest(sum / 3): 85, 100, 3,
// 4 (a tie to even) and 1 below.
TEST(ToneTest, ColourChannelsMoveFromTheGreyLevel) {
  const int cases[][7] = {{0, 255, 0, 0, 85, 85, 85},
                          {100, 200, 100, 0, 255, 100, 0},
                          {25, 10, 0, 0, 6, 2, 2},
                          {25, 11, 1, 0, 8, 2, 2},
                          {0, 2, 0, 0, 1, 1, 1}};
  for (const auto& [value, r, g, b, r2, g2, b2] : cases) {
    Surface s("Pic5", 1, 1, MakeColor(r, g, b));
    AdjustColor(s, s, value);
    EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(r2, g2, b2)) << r << "," << g << "," << b;
  }
}

// At 50 three of the filters leave every value, gamma does not; the last column of an odd
// width is filtered too.
TEST(ToneTest, MidpointAndTheLastColumn) {
  Surface source("Pic5", 255, 2, 0);
  for (int c = 0; c < 255; ++c) source.SetPixel(c, 1, MakeColor(c, 255 - c, c * 7 % 256));
  for (const Filter f : {kBrightness, kGamma, kColor, kContrast}) {
    Surface s = source;
    Apply(f, s, 50);
    EXPECT_EQ(s == source, f != kGamma) << f;
  }
  Apply(kBrightness, source, 100);
  EXPECT_EQ(PixelAt(source, 254, 1), MakeColor(255, 2, 255));
}

}  // namespace
}  // namespace tvcpix
