// Tests of the brightness, gamma, colour and contrast filters.
#include "adjust/tone.h"

#include <gtest/gtest.h>

#include "core/color.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

enum Filter { kBrightness, kGamma, kColor, kContrast };

void Apply(int filter, Surface& s, int value) {
  if (filter == kBrightness) AdjustBrightness(s, s, value);
  if (filter == kGamma) AdjustGamma(s, s, static_cast<float>(value));
  if (filter == kColor) AdjustColor(s, s, value);
  if (filter == kContrast) AdjustContrast(s, s, value);
}

TEST(ToneTest, ChannelValues) {
  // {filter, slider, channel in, channel out}; ties go to even, factors are stored as floats
  // (brightness at 1 and 55 and contrast at 1 differ from the exact fraction), pivot 127.
  constexpr int kCases[][4] = {
      {kBrightness, 25, 25, 12}, {kBrightness, 25, 27, 14},    {kBrightness, 1, 75, 1},
      {kBrightness, 55, 15, 17}, {kBrightness, 100, 100, 200}, {kBrightness, 100, 200, 255},
      {kBrightness, 0, 255, 0},  {kGamma, 50, 64, 66},         {kGamma, 50, 128, 130},
      {kGamma, 50, 192, 193},    {kGamma, 50, 0, 0},           {kGamma, 50, 255, 255},
      {kGamma, 0, 128, 0},       {kGamma, 0, 200, 0},          {kGamma, 0, 230, 1},
      {kGamma, 0, 250, 95},      {kGamma, 0, 254, 210},        {kGamma, 0, 255, 255},
      {kGamma, 100, 1, 16},      {kGamma, 100, 64, 129},       {kGamma, 100, 128, 181},
      {kContrast, 100, 0, 0},    {kContrast, 100, 255, 255},   {kContrast, 100, 128, 129},
      {kContrast, 0, 0, 127},    {kContrast, 0, 255, 127},     {kContrast, 1, 2, 125}};
  for (const auto& [filter, value, in, out] : kCases) {
    // The value in all three channels of one pixel and alone in each channel of others.
    Surface s("Pic5", 4, 1, 0);
    s.SetPixel(0, 0, MakeColor(in, in, in));
    s.SetPixel(1, 0, MakeColor(in, 0, 0));
    s.SetPixel(2, 0, MakeColor(0, in, 0));
    s.SetPixel(3, 0, MakeColor(0, 0, in));
    Apply(filter, s, value);
    SCOPED_TRACE(testing::Message() << "filter " << filter << " at " << value << ": " << in);
    EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(out, out, out));
    EXPECT_EQ(RedOf(PixelAt(s, 1, 0)), out);
    EXPECT_EQ(GreenOf(PixelAt(s, 2, 0)), out);
    EXPECT_EQ(BlueOf(PixelAt(s, 3, 0)), out);
  }
  // The colour filter moves channels from the grey level m = nearest(sum / 3).
  constexpr int kColour[][7] = {{0, 255, 0, 0, 85, 85, 85},
                                {100, 200, 100, 0, 255, 100, 0},
                                {25, 10, 0, 0, 6, 2, 2},
                                {25, 11, 1, 0, 8, 2, 2},
                                {0, 2, 0, 0, 1, 1, 1}};  // m = 3, m = 4 (ties to even), m = 1
  for (const auto& [value, r, g, b, r2, g2, b2] : kColour) {
    Surface s("Pic5", 1, 1, MakeColor(r, g, b));
    AdjustColor(s, s, value);
    EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(r2, g2, b2))
        << value << ": " << r << "," << g << "," << b;
  }
}

// At 50 three of the filters leave every value, the last column of an odd width included;
// gamma does not. Each writes into a separate destination too, leaving the source alone.
TEST(ToneTest, MidpointIsTheIdentityExceptForGamma) {
  Surface source("Pic5", 255, 2, 0);
  for (int c = 0; c < 255; ++c) source.SetPixel(c, 1, MakeColor(c, 255 - c, c * 7 % 256));
  for (int filter : {kBrightness, kGamma, kColor, kContrast}) {
    Surface s = source;
    Apply(filter, s, 50);
    EXPECT_EQ(s == source, filter != kGamma) << filter;
  }
  Surface dest("Pic5", 256, 3, MakeColor(1, 2, 3));
  AdjustBrightness(dest, source, 100);
  EXPECT_EQ(PixelAt(dest, 254, 1), MakeColor(255, 2, 255));  // the last column too
  EXPECT_EQ(PixelAt(dest, 255, 1), MakeColor(1, 2, 3));
  EXPECT_EQ(PixelAt(dest, 0, 2), MakeColor(1, 2, 3));
}

}  // namespace
}  // namespace tvcpix
