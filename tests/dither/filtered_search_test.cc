// The perceptual methods' entry point and the search on the filtered error: palette colours
// only, flat colours kept, the mean of a ramp, the strength, and the search never worse than
// the diffusion it starts from by the filtered error it follows.
#include "dither/filtered_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/color_count.h"
#include "dither/filtered_error.h"
#include "dither/linear_light.h"
#include "dither/palette_search.h"
#include "dither/perceptual_methods.h"
#include "tests/support/palettes.h"

namespace tvcpix {
namespace {

// A colourful picture: hue across, brightness down.
Surface Colourful(int w, int h) {
  Surface s("P", w, h, 0);
  for (int i = 0; i < w * h; ++i) {
    const int x = i % w, y = i / w;
    s.SetPixel(x, y, MakeColor(x * 255 / w, (255 - x * 255 / w) * y / h, (x * 7 + y * 13) & 255));
  }
  return s;
}

const std::vector<int> kTable = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

struct MethodCase {
  DitherMethod method;
  TvcMode mode;
  std::vector<int> palette;  // indices of the 16-colour table
  bool linear;               // the ramp's mean taken in linear light (else in sRGB values)
  double tolerance;          // largest difference of a ramp band's mean from the source's
};

std::string CaseName(const ::testing::TestParamInfo<MethodCase>& info) {
  return MethodCaption(info.param.method) + std::string("G") +
         std::to_string(InfoOf(info.param.mode).colours);
}

class PerceptualMethodTest : public ::testing::TestWithParam<MethodCase> {};

TEST_P(PerceptualMethodTest, PaletteColoursOnlyRepeatableAndFlatColoursKept) {
  const MethodCase& c = GetParam();
  const Palette palette = TvcPalette(c.palette);
  test::ExpectPaletteDither(
      [&](Surface& s) { RunPerceptualMethod(c.method, c.mode, kDefaultStrength, palette, s); },
      palette);
}

// A grey ramp left to right; each eighth of it keeps its mean within the case's tolerance,
// measured where the method carries its error: in linear light for the diffusion of Graphics
// 16, in sRGB values for that of Graphics 2 and 4 and for "Screen". Those pass on only 60 % of
// the error, so near black and white the mix thins out (a band at 18 % grey comes out near
// 3 %); Graphics 16 passes on only 15 % of the error's light, so its greys stay near the
// table's three grey levels (up to 15 % of white off); "Screen" plans whole tiles.
TEST_P(PerceptualMethodTest, GreyRampKeepsItsMeanPerBand) {
  const MethodCase& c = GetParam();
  const int w = 128, h = 32;
  Surface s("P", w, h, 0);
  for (int i = 0; i < w * h; ++i) s.SetPixel(i % w, i / w, MakeColor(2 * (i % w), 2 * (i % w), 2 * (i % w)));
  const Surface source = s;
  RunPerceptualMethod(c.method, c.mode, kDefaultStrength, TvcPalette(c.palette), s);
  const auto mean = [&c](const Surface& p, int x0, int x1) {
    double sum = 0;
    for (int i = 0; i < h * (x1 - x0); ++i) {
      const ColorValue v = PixelAt(p, x0 + i % (x1 - x0), i / (x1 - x0));
      sum += c.linear ? Luminance(SrgbToLinear(RedOf(v)), SrgbToLinear(GreenOf(v)),
                                  SrgbToLinear(BlueOf(v))) / double{kLinearOne}
                      : (RedOf(v) + GreenOf(v) + BlueOf(v)) / (3 * 255.0);
    }
    return sum / (h * (x1 - x0));
  };
  for (int x0 = 0; x0 < w; x0 += w / 8)
    EXPECT_NEAR(mean(s, x0, x0 + w / 8), mean(source, x0, x0 + w / 8), c.tolerance) << x0;
}

INSTANTIATE_TEST_SUITE_P(
    Methods, PerceptualMethodTest,
    ::testing::Values(
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics16, kTable, true, 0.16},
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics4, {0, 15, 9, 10}, false, 0.16},
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics2, {0, 15}, false, 0.16},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics16, kTable, false, 0.05},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics4, {0, 7, 8, 15}, false, 0.05},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics2, {0, 15}, false, 0.05}),
    CaseName);

// The search only takes toggles that lower its own estimate, and that estimate follows the
// filtered error closely enough that the meter never sees the result worse than its start.
// No passes leave the start; a start of another size is left alone.
TEST(FilteredSearchTest, NeverWorseThanTheDiffusionItStartsFrom) {
  const Surface source = Colourful(96, 64);
  for (const auto& [mode, indices] : {std::pair(TvcMode::kGraphics16, kTable),
                                      {TvcMode::kGraphics4, {0, 15, 9, 10}},
                                      {TvcMode::kGraphics2, {0, 15}}}) {
    const Palette palette = TvcPalette(indices);
    Surface start = source;
    RunPerceptualMethod(DitherMethod::kPerceptual, mode, kDefaultStrength, palette, start);
    Surface best = start, unmoved = start, other("P", 10, 10, 0);
    RefineByFilteredError(source, palette, PixelAspectOf(mode), best);
    const FilteredErrorMeter meter(source, PixelAspectOf(mode));
    EXPECT_LT(meter.Measure(best), meter.Measure(start)) << static_cast<int>(mode);
    RefineByFilteredError(source, palette, PixelAspectOf(mode), unmoved, 0);
    RefineByFilteredError(source, palette, PixelAspectOf(mode), other);
    EXPECT_TRUE(unmoved == start && other == Surface("P", 10, 10, 0));
  }
}

// Strength 0 passes no error on: a flat grey keeps one (the nearest) colour; 100 mixes two.
TEST(PerceptualStrengthTest, ZeroKeepsFlatGreyAndFullStrengthMixesIt) {
  const Palette palette = TvcPalette({0, 15});
  for (DitherMethod m : {DitherMethod::kPerceptual, DitherMethod::kScreen}) {
    Surface flat("P", 32, 32, MakeColor(100, 100, 100)), mixed = flat;
    RunPerceptualMethod(m, TvcMode::kGraphics2, 0, palette, flat);
    RunPerceptualMethod(m, TvcMode::kGraphics2, 100, palette, mixed);
    EXPECT_EQ(std::pair(CountColors(flat), CountColors(mixed)), std::pair(1, 2)) << MethodCaption(m);
  }
}

}  // namespace
}  // namespace tvcpix
