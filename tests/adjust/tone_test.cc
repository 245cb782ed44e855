// The four tone filters: channel values against worked examples, the colour filter's grey
// level, and what the midpoint leaves unchanged.
#include "adjust/tone.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tvcpix {
namespace {

enum Filter { kBrightness, kGamma, kColor, kContrast };

const char* FilterName(Filter f) {
  static const char* const kNames[] = {"Brightness", "Gamma", "Color", "Contrast"};
  return kNames[f];
}

void Apply(Filter filter, Surface& s, int value) {
  if (filter == kBrightness) AdjustBrightness(s, s, value);
  if (filter == kGamma) AdjustGamma(s, s, static_cast<float>(value));
  if (filter == kColor) AdjustColor(s, s, value);
  if (filter == kContrast) AdjustContrast(s, s, value);
}

// A filter at a slider value and pairs of grey channel values in and out.
struct ChannelCase {
  Filter filter;
  int slider;
  std::vector<int> in_out;
};

class ToneChannelTest : public testing::TestWithParam<ChannelCase> {};

// Ties go to even, factors are stored as floats (brightness at 1 and 55 and contrast at 1
// differ from the exact fraction), the contrast pivot is 127.
TEST_P(ToneChannelTest, GreyLevelsMapAsWorkedOut) {
  const ChannelCase& c = GetParam();
  for (std::size_t i = 0; i < c.in_out.size(); i += 2) {
    const int in = c.in_out[i], out = c.in_out[i + 1];
    Surface s("Pic5", 1, 1, MakeColor(in, in, in));
    Apply(c.filter, s, c.slider);
    EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(out, out, out)) << in;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Filters, ToneChannelTest,
    testing::Values(ChannelCase{kBrightness, 25, {25, 12, 27, 14}},
                    ChannelCase{kBrightness, 1, {75, 1}}, ChannelCase{kBrightness, 55, {15, 17}},
                    ChannelCase{kBrightness, 100, {100, 200, 200, 255}},
                    ChannelCase{kBrightness, 0, {255, 0}},
                    ChannelCase{kGamma, 50, {64, 66, 128, 130, 192, 193, 0, 0, 255, 255}},
                    ChannelCase{kGamma, 0, {128, 0, 200, 0, 230, 1, 250, 95, 254, 210, 255, 255}},
                    ChannelCase{kGamma, 100, {1, 16, 64, 129, 128, 181}},
                    ChannelCase{kContrast, 100, {0, 0, 255, 255, 128, 129}},
                    ChannelCase{kContrast, 0, {0, 127, 255, 127}},
                    ChannelCase{kContrast, 1, {2, 125}}),
    [](const testing::TestParamInfo<ChannelCase>& info) {
      return FilterName(info.param.filter) + std::to_string(info.param.slider);
    });

// The colour filter moves channels away from the grey level m = nearest(sum / 3).
struct ColourCase {
  const char* name;
  int value, r, g, b, r2, g2, b2;
};

class ColourFilterTest : public testing::TestWithParam<ColourCase> {};

TEST_P(ColourFilterTest, ChannelsMoveFromTheGreyLevel) {
  const ColourCase& c = GetParam();
  Surface s("Pic5", 1, 1, MakeColor(c.r, c.g, c.b));
  AdjustColor(s, s, c.value);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(c.r2, c.g2, c.b2));
}

INSTANTIATE_TEST_SUITE_P(GreyLevels, ColourFilterTest,
                         testing::Values(ColourCase{"Grey85", 0, 255, 0, 0, 85, 85, 85},
                                         ColourCase{"Grey100", 100, 200, 100, 0, 255, 100, 0},
                                         ColourCase{"Grey3", 25, 10, 0, 0, 6, 2, 2},
                                         ColourCase{"Grey4TieToEven", 25, 11, 1, 0, 8, 2, 2},
                                         ColourCase{"Grey1", 0, 2, 0, 0, 1, 1, 1}),
                         [](const testing::TestParamInfo<ColourCase>& info) {
                           return std::string(info.param.name);
                         });

class ToneMidpointTest : public testing::TestWithParam<Filter> {};

// At 50 three of the filters leave every value, gamma does not.
TEST_P(ToneMidpointTest, OnlyGammaChangesThePictureAtFifty) {
  Surface source("Pic5", 255, 2, 0);
  for (int c = 0; c < 255; ++c) source.SetPixel(c, 1, MakeColor(c, 255 - c, c * 7 % 256));
  Surface s = source;
  Apply(GetParam(), s, 50);
  EXPECT_EQ(s == source, GetParam() != kGamma);
}

INSTANTIATE_TEST_SUITE_P(Filters, ToneMidpointTest,
                         testing::Values(kBrightness, kGamma, kColor, kContrast),
                         [](const testing::TestParamInfo<Filter>& info) {
                           return std::string(FilterName(info.param));
                         });

// The last column of an odd width is filtered too.
TEST(ToneTest, LastColumnOfAnOddWidthIsFiltered) {
  Surface s("Pic5", 255, 2, 0);
  for (int c = 0; c < 255; ++c) s.SetPixel(c, 1, MakeColor(c, 255 - c, c * 7 % 256));
  Apply(kBrightness, s, 100);
  EXPECT_EQ(PixelAt(s, 254, 1), MakeColor(255, 2, 255));
}

}  // namespace
}  // namespace tvcpix
