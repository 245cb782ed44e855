// "Treshold", "Treshold+Noise" and the snap pass against a plain reference.
#include "dither/threshold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "dither/error_diffusion.h"
#include "tests/dither/dither_reference.h"
#include "tests/support/palettes.h"

namespace tvcpix {
namespace {

// The noisy channel: A*u + value as float, minus A/2 as double, nearest (ties to even), clamped;
// bottom row first, each of W + pad + 8 pixels, the black filler drawing too. A = 0: "Treshold".
Surface RefTreshold(const Surface& source, const Palette& palette, NoiseSource& noise, int a) {
  const auto noisy = [&noise, a](int v) {
    const float moved = static_cast<float>(a) * noise.Next() + static_cast<float>(v);
    return static_cast<int>(std::clamp(std::nearbyint(moved - a / 2.0), 0.0, 255.0));
  };
  Surface out = source;
  const int w = source.width(), h = source.height();
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w + (4 - w % 4) % 4 + 8; ++x) {
      const ColorValue c = x < w ? PixelAt(source, x, y) : 0;
      const int r = noisy(RedOf(c)), g = noisy(GreenOf(c)), b = noisy(BlueOf(c));
      if (x < w) out.SetPixel(x, y, ColorFromEntry(test::RefNearest(palette, r, g, b)));
    }
  return out;
}

class ThresholdTest : public testing::TestWithParam<int> {};

// The snap pass and "Treshold" are the same per-pixel replacement; "Treshold+Noise" goes on with
// the sequence from one run to the next.
TEST_P(ThresholdTest, SnapTresholdAndNoiseMatchTheReference) {
  const Palette palette = test::DitherPalettes()[static_cast<std::size_t>(GetParam())].palette;
  std::mt19937 rng(6 + GetParam());
  for (const auto& [w, h] : test::kSizes) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    NoiseSource none, noise, ref_noise;
    const Surface source = test::Picture(w, h, rng), want = RefTreshold(source, palette, none, 0);
    Surface snap = source, treshold("dest", w, h, 0);
    SnapToPalette(snap, snap, palette);
    Treshold(treshold, source, palette);
    ASSERT_EQ(snap, want);
    ASSERT_EQ(treshold, want);
    for (int run = 0; run < 2; ++run) {
      Surface dest = source;
      TresholdNoise(dest, dest, palette, 30, noise);
      ASSERT_EQ(dest, RefTreshold(source, palette, ref_noise, 30)) << "run " << run;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Palettes, ThresholdTest, testing::Range(0, 5),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::string(
                               test::DitherPalettes()[static_cast<std::size_t>(info.param)].name);
                         });

}  // namespace
}  // namespace tvcpix
