// Tests of the brightness, gamma, colour and contrast filters.
#include "adjust/tone.h"

#include <gtest/gtest.h>

#include <ostream>

#include "core/color.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

enum class Filter { kBrightness, kGamma, kColor, kContrast };

void Apply(Filter filter, Surface& destination, const Surface& source, int value) {
  switch (filter) {
    case Filter::kBrightness:
      AdjustBrightness(destination, source, value);
      break;
    case Filter::kGamma:
      AdjustGamma(destination, source, static_cast<float>(value));
      break;
    case Filter::kColor:
      AdjustColor(destination, source, value);
      break;
    case Filter::kContrast:
      AdjustContrast(destination, source, value);
      break;
  }
}

// One channel value in, one out, for the filters that map each channel alone. The value goes
// into all three channels of one pixel and into a single channel of two others.
struct ChannelCase {
  Filter filter;
  int value;
  int in;
  int out;
};

std::ostream& operator<<(std::ostream& os, const ChannelCase& c) {
  static const char* const kNames[] = {"brightness", "gamma", "color", "contrast"};
  return os << kNames[static_cast<int>(c.filter)] << " v=" << c.value << " " << c.in << "->"
            << c.out;
}

class ChannelMapTest : public testing::TestWithParam<ChannelCase> {};

TEST_P(ChannelMapTest, MapsChannel) {
  const ChannelCase& c = GetParam();
  Surface s("Pic5", 3, 1, MakeColor(64, 64, 64));
  s.SetPixel(0, 0, MakeColor(c.in, c.in, c.in));
  s.SetPixel(1, 0, MakeColor(0, c.in, 0));
  s.SetPixel(2, 0, MakeColor(0, 0, c.in));
  Apply(c.filter, s, s, c.value);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(c.out, c.out, c.out));
  EXPECT_EQ(GreenOf(PixelAt(s, 1, 0)), c.out);
  EXPECT_EQ(BlueOf(PixelAt(s, 2, 0)), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Brightness, ChannelMapTest,
    testing::Values(ChannelCase{Filter::kBrightness, 25, 25, 12},  // 12.5 ties to even
                    ChannelCase{Filter::kBrightness, 25, 27, 14},  // 13.5 ties to even
                    ChannelCase{Filter::kBrightness, 1, 75, 1},    // stored factor < 0.02
                    ChannelCase{Filter::kBrightness, 55, 15, 17},  // stored factor > 1.1
                    ChannelCase{Filter::kBrightness, 100, 100, 200},
                    ChannelCase{Filter::kBrightness, 100, 200, 255},
                    ChannelCase{Filter::kBrightness, 0, 255, 0}));

INSTANTIATE_TEST_SUITE_P(
    Gamma, ChannelMapTest,
    testing::Values(
        ChannelCase{Filter::kGamma, 50, 64, 66}, ChannelCase{Filter::kGamma, 50, 128, 130},
        ChannelCase{Filter::kGamma, 50, 192, 193}, ChannelCase{Filter::kGamma, 50, 0, 0},
        ChannelCase{Filter::kGamma, 50, 255, 255}, ChannelCase{Filter::kGamma, 0, 128, 0},
        ChannelCase{Filter::kGamma, 0, 200, 0}, ChannelCase{Filter::kGamma, 0, 230, 1},
        ChannelCase{Filter::kGamma, 0, 250, 95}, ChannelCase{Filter::kGamma, 0, 254, 210},
        ChannelCase{Filter::kGamma, 0, 255, 255}, ChannelCase{Filter::kGamma, 100, 1, 16},
        ChannelCase{Filter::kGamma, 100, 64, 129}, ChannelCase{Filter::kGamma, 100, 128, 181}));

INSTANTIATE_TEST_SUITE_P(
    Contrast, ChannelMapTest,
    testing::Values(ChannelCase{Filter::kContrast, 100, 0, 0},
                    ChannelCase{Filter::kContrast, 100, 255, 255},
                    ChannelCase{Filter::kContrast, 100, 128, 129},  // pivot 127, not 128
                    ChannelCase{Filter::kContrast, 0, 0, 127},
                    ChannelCase{Filter::kContrast, 0, 255, 127},
                    ChannelCase{Filter::kContrast, 1, 2, 125}));  // the exact 1/50 gives 124

struct PixelCase {
  int value;
  ColorValue in;
  ColorValue out;
};

class ColorFilterTest : public testing::TestWithParam<PixelCase> {};

TEST_P(ColorFilterTest, MovesChannelsFromGreyLevel) {
  const PixelCase& c = GetParam();
  Surface s("Pic5", 1, 1, 0);
  s.Fill(c.in);
  AdjustColor(s, s, c.value);
  EXPECT_EQ(PixelAt(s, 0, 0), c.out);
}

INSTANTIATE_TEST_SUITE_P(Examples, ColorFilterTest,
                         testing::Values(PixelCase{0, MakeColor(255, 0, 0), MakeColor(85, 85, 85)},
                                         PixelCase{100, MakeColor(200, 100, 0),
                                                   MakeColor(255, 100, 0)},
                                         // m = 3 (odd): 6.5 -> 6 and 1.5 -> 2.
                                         PixelCase{25, MakeColor(10, 0, 0), MakeColor(6, 2, 2)},
                                         // m = 4 (even): 7.5 -> 8 and 2.5 -> 2.
                                         PixelCase{25, MakeColor(11, 1, 0), MakeColor(8, 2, 2)},
                                         // m = nearest(2/3) = 1.
                                         PixelCase{0, MakeColor(2, 0, 0), MakeColor(1, 1, 1)}));

// At 50 three of the filters are the identity for every channel value; gamma is not.
TEST(ToneTest, MidpointLeavesEveryValueExceptUnderGamma) {
  Surface source("Pic5", 256, 1, 0);
  for (int c = 0; c < 256; ++c) source.SetPixel(c, 0, MakeColor(c, 255 - c, (c * 7) % 256));
  for (Filter f : {Filter::kBrightness, Filter::kColor, Filter::kContrast}) {
    Surface s = source;
    Apply(f, s, s, 50);
    EXPECT_TRUE(s == source) << static_cast<int>(f);
  }
  Surface g = source;
  Apply(Filter::kGamma, g, g, 50);
  EXPECT_FALSE(g == source);
}

// The last column of an odd width is filtered too, and a smaller destination is clipped
// while pixels outside the written area keep their colours.
TEST(ToneTest, WritesPictureAreaOnlyClipped) {
  Surface source("Pic1", 5, 3, 0);
  source.Fill(MakeColor(100, 100, 100));
  Surface same = source;
  AdjustBrightness(same, same, 100);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(PixelAt(same, 4, y), MakeColor(200, 200, 200));

  const ColorValue keep = MakeColor(1, 2, 3);
  Surface wide("Pic5", 7, 2, keep);
  AdjustBrightness(wide, source, 100);
  EXPECT_EQ(PixelAt(wide, 4, 1), MakeColor(200, 200, 200));
  EXPECT_EQ(PixelAt(wide, 5, 0), keep);
  EXPECT_EQ(PixelAt(wide, 6, 1), keep);
  EXPECT_EQ(PixelAt(source, 0, 0), MakeColor(100, 100, 100));  // the source is untouched
}

}  // namespace
}  // namespace tvcpix
