// The perceptual methods: the linear-light tables, the perceptual error diffusion, "Screen"
// (the ordered method laid out for the TVC's pixel shapes), their entry point and the search on
// the filtered error: palette colours only, determinism, flat palette colours kept, mean light
// kept, the strength, and the search never worse than the diffusion it starts from.
#include "dither/perceptual.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "core/color_count.h"
#include "dither/aspect_ordered.h"
#include "dither/filtered_error.h"
#include "dither/filtered_search.h"
#include "dither/linear_light.h"
#include "dither/palette_search.h"
#include "dither/perceptual_methods.h"

namespace tvcpix {
namespace {

// The same bytes on every run of a random picture, only palette colours, and a flat palette
// colour left as it is (odd sizes, so partial tiles and rows are met).
void ExpectPaletteDither(const std::function<void(Surface&)>& dither, const Palette& p) {
  std::mt19937 rng(7);
  Surface a("P", 61, 37, 0);
  for (std::size_t i = 0; i < a.size_bytes(); ++i) a.data()[i] = static_cast<std::uint8_t>(rng());
  Surface b = a;
  dither(a), dither(b);
  EXPECT_TRUE(a == b) << "not repeatable";
  for (int i = 0; i < a.width() * a.height(); ++i) {
    const ColorValue c = PixelAt(a, i % a.width(), i / a.width());
    ASSERT_TRUE(std::any_of(p.entries().begin(), p.entries().end(),
                            [c](const PaletteEntry& e) { return ColorFromEntry(e) == c; }))
        << "pixel " << i << " is no palette colour";
  }
  for (const PaletteEntry& e : p.entries()) {
    Surface s("P", 33, 17, ColorFromEntry(e));
    const Surface before = s;
    dither(s);
    EXPECT_TRUE(s == before) << "flat " << ColorFromEntry(e) << " changed";
  }
}

// Columns of one grey each, black to white across.
Surface GreyRamp(int w, int h) {
  Surface s("P", w, h, 0);
  for (int i = 0; i < w * h; ++i) {
    const int v = i % w * 256 / w;
    s.SetPixel(i % w, i / w, MakeColor(v, v, v));
  }
  return s;
}

// The mean light of columns x0 to x1 - 1 as a share of white: in linear light, or of the sRGB
// values.
double MeanLight(const Surface& s, int x0, int x1, bool linear = true) {
  double sum = 0;
  for (int i = 0; i < s.height() * (x1 - x0); ++i) {
    const ColorValue v = PixelAt(s, x0 + i % (x1 - x0), i / (x1 - x0));
    sum += linear ? Luminance(SrgbToLinear(RedOf(v)), SrgbToLinear(GreenOf(v)),
                              SrgbToLinear(BlueOf(v))) /
                        double{kLinearOne}
                  : (RedOf(v) + GreenOf(v) + BlueOf(v)) / (3 * 255.0);
  }
  return sum / (s.height() * (x1 - x0));
}

const std::vector<int> kAll16 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

TEST(LinearLightTest, TableFollowsTheSrgbCurveAndInvertsExactly) {
  for (int v = 0; v < 256; ++v) {
    const double c = v / 255.0;
    const double expected = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    const auto u = static_cast<std::uint8_t>(v);
    EXPECT_NEAR(SrgbToLinear(u), expected * kLinearOne, 0.5001) << v;
    EXPECT_TRUE(v == 0 || SrgbToLinear(static_cast<std::uint8_t>(v - 1)) < SrgbToLinear(u)) << v;
    EXPECT_EQ(LinearToSrgb(SrgbToLinear(u)), v);
  }
  EXPECT_EQ(LinearToSrgb(-5), 0);
  EXPECT_EQ(LinearToSrgb(kLinearOne + 5), 255);
}

struct Case {
  std::string name;
  std::vector<int> palette;  // indices of the 16-colour table
  PerceptualOptions options;
  bool keeps_light = false;  // held to the grey ramp's mean light
};

PerceptualOptions With(bool serpentine, bool linear, int strength, bool encoded = false) {
  PerceptualOptions o;
  o.serpentine = serpentine, o.linear = linear, o.strength = strength, o.match_encoded = encoded;
  return o;
}

class PerceptualTest : public ::testing::TestWithParam<Case> {};

// Columns of one grey each, 0..255 across; in linear light the mean light of each band of 16
// columns stays within 2 % of white of the source's. Known limit: palettes that reach grey only
// through chromatic mixes short of the full table (the start palette's blue and red) lose the
// green they cannot give to the clamp of the carried error and come out up to 5 % too light;
// an sRGB or weakened error keeps no light at all. Those cases are not held to it.
TEST_P(PerceptualTest, PaletteColoursOnlyRepeatableFlatColoursAndMeanLightKept) {
  const Palette palette = TvcPalette(GetParam().palette);
  ExpectPaletteDither([&](Surface& s) { PerceptualDiffusion(s, palette, GetParam().options); },
                      palette);
  if (!GetParam().keeps_light) return;
  const Surface source = GreyRamp(256, 64);
  Surface s = source;
  PerceptualDiffusion(s, palette, GetParam().options);
  for (int x0 = 0; x0 < 256; x0 += 16)
    EXPECT_NEAR(MeanLight(s, x0, x0 + 16), MeanLight(source, x0, x0 + 16), 0.02) << "x " << x0;
}

template <typename C>
std::string Name(const ::testing::TestParamInfo<C>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Palettes, PerceptualTest,
    ::testing::Values(Case{"Two", {0, 15}, {}, true},
                      Case{"TwoRaster", {0, 15}, With(false, true, 100), true},
                      Case{"FourGreys", {0, 7, 8, 15}, {}, true}, Case{"Sixteen", kAll16, {}, true},
                      Case{"Four", {0, 15, 9, 10}, {}}, Case{"FourDull", {0, 2, 4, 7}, {}},
                      Case{"FourEncodedMatch", {0, 15, 9, 10}, With(true, true, 100, true)},
                      Case{"SixteenSrgbHalfStrength", kAll16, With(true, false, 50)}),
    Name<Case>);

// (Which also makes it palette colours only, repeatable and flat colours kept.)
TEST(PerceptualEdgeTest, NoErrorMeansPlainNearestMatch) {
  const Palette palette = TvcPalette(kAll16);
  Surface s("P", 20, 10, 0);
  std::mt19937 rng(3);
  for (std::size_t i = 0; i < s.size_bytes(); ++i) s.data()[i] = static_cast<std::uint8_t>(rng());
  const Surface source = s;
  PerceptualDiffusion(s, palette, With(false, true, 0));
  const LinearPalette lp(palette, kLumaWeighted);
  for (int i = 0; i < 200; ++i) {
    const std::uint8_t* p = source.row(i / 20) + 3 * (i % 20);
    const int k = lp.Nearest(SrgbToLinear(p[2]), SrgbToLinear(p[1]), SrgbToLinear(p[0]));
    EXPECT_EQ(ColorFromEntry(lp.entry(k)), PixelAt(s, i % 20, i / 20)) << i;
  }
}

// Every tile ranks each of its 256 cells once; tall pixels use the wide tile transposed.
TEST(ThresholdTileTest, RanksEveryCellOnceAndTallIsWideTransposed) {
  for (const TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    const auto tile = ThresholdTile(PixelAspectOf(mode));
    std::vector<int> seen(tile.begin(), tile.end()), all(256);
    std::sort(seen.begin(), seen.end());
    std::iota(all.begin(), all.end(), 0);
    EXPECT_EQ(seen, all) << static_cast<int>(mode);
  }
  const auto wide = ThresholdTile({4, 2}), tall = ThresholdTile({1, 2});
  for (int i = 0; i < 256; ++i) EXPECT_EQ(tall[i], wide[16 * (i % 16) + i / 16]) << i;
  EXPECT_NE(ThresholdTile({2, 2}), wide);
}

struct AspectCase {
  std::string name;
  TvcMode mode;
  std::vector<int> palette;
  bool keeps_light = true;  // held to a flat grey's mean light
};

class AspectOrderedTest : public ::testing::TestWithParam<AspectCase> {};

// A flat grey between black and white, over whole tiles: the mix of 16 picks puts the mean
// light within half a pick (1/32 of white) of the grey's, plus the step to the plan cache's
// level (at most four bytes away). Known limit: the start palette reaches grey only through
// blue and red besides black and white, and its picks come out up to 5 % of white too light
// (the green no pick can give is clamped away), so it is not held to this.
TEST_P(AspectOrderedTest, PaletteColoursOnlyRepeatableFlatColoursAndMeanLightKept) {
  const Palette palette = TvcPalette(GetParam().palette);
  const PixelAspect aspect = PixelAspectOf(GetParam().mode);
  ExpectPaletteDither([&](Surface& s) { AspectOrderedDither(s, palette, aspect); }, palette);
  for (int v = 0; v < 256 && GetParam().keeps_light; v += 15) {
    Surface s("P", 32, 32, MakeColor(v, v, v));
    AspectOrderedDither(s, palette, aspect);
    const auto level = [](int x) { return SrgbToLinear(static_cast<std::uint8_t>(x)); };
    const int cell_step = level(std::min(v + 4, 255)) - level(std::max(v - 4, 0));
    EXPECT_NEAR(MeanLight(s, 0, 32) * kLinearOne, level(v), kLinearOne / 32.0 + cell_step / 2.0 + 1)
        << "grey " << v;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AspectOrderedTest,
    ::testing::Values(AspectCase{"Graphics2", TvcMode::kGraphics2, {0, 15}},
                      AspectCase{"Graphics4Greys", TvcMode::kGraphics4, {0, 7, 8, 15}},
                      AspectCase{"Graphics16", TvcMode::kGraphics16, kAll16},
                      AspectCase{"Graphics4", TvcMode::kGraphics4, {0, 15, 9, 10}, false}),
    Name<AspectCase>);

// A colourful picture: hue across, brightness down.
Surface Colourful(int w, int h) {
  Surface s("P", w, h, 0);
  for (int i = 0; i < w * h; ++i) {
    const int x = i % w, y = i / w;
    s.SetPixel(x, y, MakeColor(x * 255 / w, (255 - x * 255 / w) * y / h, (x * 7 + y * 13) & 255));
  }
  return s;
}

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
  ExpectPaletteDither(
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
  const Surface source = GreyRamp(128, 32);
  Surface s = source;
  RunPerceptualMethod(c.method, c.mode, kDefaultStrength, TvcPalette(c.palette), s);
  for (int x0 = 0; x0 < 128; x0 += 16)
    EXPECT_NEAR(MeanLight(s, x0, x0 + 16, c.linear), MeanLight(source, x0, x0 + 16, c.linear),
                c.tolerance)
        << x0;
}

INSTANTIATE_TEST_SUITE_P(
    Methods, PerceptualMethodTest,
    ::testing::Values(
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics16, kAll16, true, 0.16},
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics4, {0, 15, 9, 10}, false, 0.16},
        MethodCase{DitherMethod::kPerceptual, TvcMode::kGraphics2, {0, 15}, false, 0.16},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics16, kAll16, false, 0.05},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics4, {0, 7, 8, 15}, false, 0.05},
        MethodCase{DitherMethod::kScreen, TvcMode::kGraphics2, {0, 15}, false, 0.05},
        // Best gives up the sparse dots near black and white (the metric sees them more
        // than the light they lose), so its end bands miss by up to a fifth.
        MethodCase{DitherMethod::kBest, TvcMode::kGraphics16, kAll16, true, 0.2},
        MethodCase{DitherMethod::kBest, TvcMode::kGraphics2, {0, 15}, false, 0.2}),
    CaseName);

// The search only takes toggles that lower its own estimate, and that estimate follows the
// filtered error closely enough that the meter never sees the result worse than its start.
// No passes leave the start; a start of another size is left alone.
TEST(FilteredSearchTest, NeverWorseThanTheDiffusionItStartsFrom) {
  const Surface source = Colourful(96, 64);
  for (const auto& [mode, indices] : {std::pair(TvcMode::kGraphics16, kAll16),
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
    EXPECT_EQ(std::pair(CountColors(flat), CountColors(mixed)), std::pair(1, 2))
        << MethodCaption(m);
  }
}

}  // namespace
}  // namespace tvcpix
