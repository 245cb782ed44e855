// The linear-light tables and the perceptual error diffusion: palette-only output, determinism,
// flat palette colours kept, plain nearest matching without error, mean light kept on ramps.
#include "dither/perceptual.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "dither/palette_search.h"
#include "tests/support/palettes.h"

namespace tvcpix {
namespace {

TEST(LinearLightTest, TableFollowsTheSrgbCurveAndInvertsExactly) {
  for (int v = 0; v < 256; ++v) {
    const double c = v / 255.0;
    const double expected = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    const auto u = static_cast<std::uint8_t>(v);
    EXPECT_NEAR(SrgbToLinear(u), expected * kLinearOne, 0.5001) << v;
    if (v > 0) {
      EXPECT_LT(SrgbToLinear(static_cast<std::uint8_t>(v - 1)), SrgbToLinear(u));
    }
    EXPECT_EQ(LinearToSrgb(SrgbToLinear(u)), v);
  }
  EXPECT_EQ(LinearToSrgb(-5), 0);
  EXPECT_EQ(LinearToSrgb(kLinearOne + 5), 255);
}

struct Case {
  std::string name;
  std::vector<int> palette;  // indices of the 16-colour table
  PerceptualOptions options;
};

PerceptualOptions With(bool serpentine, bool linear, int strength, bool encoded = false) {
  PerceptualOptions o;
  o.serpentine = serpentine, o.linear = linear, o.strength = strength, o.match_encoded = encoded;
  return o;
}

class PerceptualTest : public ::testing::TestWithParam<Case> {};

TEST_P(PerceptualTest, PaletteColoursOnlyRepeatableAndFlatColoursKept) {
  const Palette palette = TvcPalette(GetParam().palette);
  test::ExpectPaletteDither([&](Surface& s) { PerceptualDiffusion(s, palette, GetParam().options); },
                            palette);
}

// Columns of one grey each, 0..255 across; in linear light the mean light of each band of 16
// columns stays within 2 % of white of the source's. Known limit: palettes that reach grey only
// through chromatic mixes short of the full table (the start palette's blue and red) lose the
// green they cannot give to the clamp of the carried error and come out up to 5 % too light;
// an sRGB or weakened error keeps no light at all. Those cases are not held to it.
using RampTest = PerceptualTest;

TEST_P(RampTest, GreyRampKeepsItsMeanLight) {
  const Palette palette = TvcPalette(GetParam().palette);
  Surface s("P", 256, 64, 0);
  for (int i = 0; i < 256 * 64; ++i) s.SetPixel(i % 256, i / 256, MakeColor(i % 256, i % 256, i % 256));
  const Surface source = s;
  PerceptualDiffusion(s, palette, GetParam().options);
  const auto light = [](const std::uint8_t* p) {
    return Luminance(SrgbToLinear(p[2]), SrgbToLinear(p[1]), SrgbToLinear(p[0]));
  };
  for (int band = 0; band < 16; ++band) {
    double in = 0, out = 0;
    for (int i = 0; i < 16 * 64; ++i) {
      const int x = 16 * band + i % 16, y = i / 16;
      in += light(source.row(y) + 3 * x), out += light(s.row(y) + 3 * x);
    }
    EXPECT_NEAR(out / (16 * 64), in / (16 * 64), 0.02 * kLinearOne) << "band " << band;
  }
}

const std::vector<int> kAll16 = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const std::vector<Case> kKeepLight = {{"Two", {0, 15}, {}},
                                      {"TwoRaster", {0, 15}, With(false, true, 100)},
                                      {"FourGreys", {0, 7, 8, 15}, {}},
                                      {"Sixteen", kAll16, {}}};
std::string Name(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(KeepLight, PerceptualTest, ::testing::ValuesIn(kKeepLight), Name);
INSTANTIATE_TEST_SUITE_P(KeepLight, RampTest, ::testing::ValuesIn(kKeepLight), Name);
INSTANTIATE_TEST_SUITE_P(
    Others, PerceptualTest,
    ::testing::Values(Case{"Four", {0, 15, 9, 10}, {}}, Case{"FourDull", {0, 2, 4, 7}, {}},
                      Case{"FourEncodedMatch", {0, 15, 9, 10}, With(true, true, 100, true)},
                      Case{"SixteenSrgbHalfStrength", kAll16, With(true, false, 50)},
                      Case{"SixteenNoError", kAll16, With(true, true, 0)}),
    Name);

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

}  // namespace
}  // namespace tvcpix
