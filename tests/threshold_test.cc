// Tests of "Treshold", "Treshold+Noise" and the noise source.
#include "dither/threshold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

PaletteEntry RefNearest(const Palette& p, int r, int g, int b) {
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < p.size(); ++i) {
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (best_d < 0 || d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return p[best];
}

// The noisy channel: A*u + value in single precision (u is a single-precision draw), then
// minus A/2, nearest with ties to even, clamped to a byte.
int RefNoisy(int value, int amplitude, float u) {
  const float moved = static_cast<float>(amplitude) * u + static_cast<float>(value);
  const double n = std::nearbyint(static_cast<double>(moved) - amplitude / 2.0);
  return static_cast<int>(std::clamp(n, 0.0, 255.0));
}

// Walks the wide bottom-up buffer: picture bottom row first, every row over W + pad + 8 pixels,
// the filler pixels (black) drawing their three numbers too.
Surface RefTresholdNoise(const Surface& source, const Palette& palette, int amplitude,
                         NoiseSource& noise) {
  Surface out = source;
  const int w = source.width(), h = source.height();
  const int row_pixels = w + (4 - w % 4) % 4 + 8;
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    for (int x = 0; x < row_pixels; ++x) {
      const ColorValue c = x < w ? PixelAt(source, x, y) : 0;
      const int r = RefNoisy(RedOf(c), amplitude, noise.Next());
      const int g = RefNoisy(GreenOf(c), amplitude, noise.Next());
      const int b = RefNoisy(BlueOf(c), amplitude, noise.Next());
      if (x < w) out.SetPixel(x, y, ColorFromEntry(RefNearest(palette, r, g, b)));
    }
  }
  return out;
}

Surface NoisePicture(int w, int h, std::uint32_t seed) {
  Surface s("TVC", w, h, MakeColor(192, 192, 255));
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < s.size_bytes(); ++i) s.data()[i] = static_cast<std::uint8_t>(rng());
  return s;
}

std::vector<Palette> StandardPalettes() {
  std::vector<Palette> out(3);
  BuildPalette2(out[0]);
  BuildPalette4(out[1]);
  BuildPalette16(out[2]);
  return out;
}

constexpr std::array<std::array<int, 2>, 5> kSizes = {
    {{157, 13}, {1, 1}, {5, 7}, {2, 3}, {128, 24}}};

// A palette of pure reds (first..last, 0, 0): the nearest entry shows the noisy red itself.
Palette RedRamp(int first, int last) {
  Palette p;
  p.Resize(last - first + 1);
  for (int i = first; i <= last; ++i)
    p.Set(i - first, PaletteEntry{0, 0, static_cast<std::uint8_t>(i), 0});
  return p;
}

// ---- Treshold

TEST(TresholdTest, EveryPixelBecomesItsNearestColour) {
  for (const Palette& palette : StandardPalettes())
    for (const auto& size : kSizes) {
      const Surface source = NoisePicture(size[0], size[1], 5);
      Surface want = source;
      for (int y = 0; y < size[1]; ++y)
        for (int x = 0; x < size[0]; ++x) {
          const ColorValue c = PixelAt(source, x, y);
          want.SetPixel(x, y, ColorFromEntry(RefNearest(palette, RedOf(c), GreenOf(c), BlueOf(c))));
        }
      Surface dest("dest", size[0], size[1], 0);
      Treshold(dest, source, palette);
      ASSERT_EQ(dest, want);
      Surface in_place = source;
      Treshold(in_place, in_place, palette);
      ASSERT_EQ(in_place, want);
      // Only palette colours remain, so a second pass changes nothing.
      Treshold(in_place, in_place, palette);
      ASSERT_EQ(in_place, want);
    }
}

TEST(TresholdTest, GreyOf128IsWhiteAnd127Black) {
  Palette p;
  BuildPalette2(p);
  Surface s("TVC2", 2, 1, 0);
  s.SetPixel(0, 0, MakeColor(128, 128, 128));
  s.SetPixel(1, 0, MakeColor(127, 127, 127));
  Treshold(s, s, p);
  EXPECT_EQ(PixelAt(s, 0, 0), MakeColor(255, 255, 255));
  EXPECT_EQ(PixelAt(s, 1, 0), MakeColor(0, 0, 0));
}

// ---- The noise source

TEST(NoiseSourceTest, SameUniformSequenceFromEveryStart) {
  NoiseSource a, b;
  double sum = 0;
  int below_half = 0;
  const int n = 1'000'000;
  for (int i = 0; i < n; ++i) {
    const float u = a.Next();
    ASSERT_EQ(u, b.Next()) << "draw " << i;
    ASSERT_GE(u, 0.0f);
    ASSERT_LT(u, 1.0f);
    sum += u;
    below_half += u < 0.5f;
  }
  EXPECT_NEAR(sum / n, 0.5, 0.005);
  EXPECT_NEAR(static_cast<double>(below_half) / n, 0.5, 0.005);
}

// ---- Treshold+Noise

TEST(TresholdNoiseTest, MatchesTheReferenceAndContinuesTheSequence) {
  for (const Palette& palette : StandardPalettes())
    for (const auto& size : kSizes) {
      const Surface source = NoisePicture(size[0], size[1], 6);
      NoiseSource noise, ref_noise;
      for (int run = 0; run < 2; ++run) {
        const Surface want = RefTresholdNoise(source, palette, 30, ref_noise);
        Surface dest = source;
        TresholdNoise(dest, dest, palette, 30, noise);
        ASSERT_EQ(dest, want) << size[0] << "x" << size[1] << " run " << run;
      }
    }
}

TEST(TresholdNoiseTest, EveryPixelOfTheWideBufferDraws) {
  for (const auto& size : kSizes) {
    const int w = size[0], h = size[1];
    NoiseSource used, counted;
    Surface s = NoisePicture(w, h, 7);
    Palette p;
    BuildPalette16(p);
    TresholdNoise(s, s, p, 30, used);
    const long draws = 3L * (w + (4 - w % 4) % 4 + 8) * h;
    for (long i = 0; i < draws; ++i) counted.Next();
    for (int i = 0; i < 8; ++i) ASSERT_EQ(used.Next(), counted.Next()) << w << "x" << h;
  }
}

TEST(TresholdNoiseTest, SecondRunDrawsNewNumbersFirstRunIsTheSameEveryStart) {
  Surface grey("TVC16", 64, 64, 0);
  grey.Fill(MakeColor(100, 100, 100));
  const Palette ramp = RedRamp(70, 130);
  NoiseSource first_start, second_start;
  Surface a = grey, b = grey, c = grey;
  TresholdNoise(a, a, ramp, 30, first_start);
  TresholdNoise(b, b, ramp, 30, second_start);
  EXPECT_EQ(a, b);
  TresholdNoise(c, c, ramp, 30, first_start);
  EXPECT_NE(a, c);
}

struct RangeCase {
  int value, low, high;
};

std::ostream& operator<<(std::ostream& os, const RangeCase& c) { return os << "value " << c.value; }

class NoiseRangeTest : public ::testing::TestWithParam<RangeCase> {};

// With amplitude 30 the noisy value lies within 15 of the pixel's, clamped to a byte; every
// value of that range occurs.
TEST_P(NoiseRangeTest, StaysWithinFifteenClamped) {
  const RangeCase c = GetParam();
  Surface s("TVC16", 64, 64, 0);
  s.Fill(MakeColor(c.value, 0, 0));
  const Palette ramp = RedRamp(std::max(0, c.value - 40), std::min(255, c.value + 40));
  NoiseSource noise;
  TresholdNoise(s, s, ramp, 30, noise);
  std::set<int> seen;
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) {
      const ColorValue got = PixelAt(s, x, y);
      ASSERT_EQ(GreenOf(got) | BlueOf(got), 0);
      seen.insert(RedOf(got));
    }
  EXPECT_EQ(*seen.begin(), c.low);
  EXPECT_EQ(*seen.rbegin(), c.high);
  EXPECT_EQ(static_cast<int>(seen.size()), c.high - c.low + 1);
}

INSTANTIATE_TEST_SUITE_P(Values, NoiseRangeTest,
                         ::testing::Values(RangeCase{0, 0, 15}, RangeCase{255, 240, 255},
                                           RangeCase{100, 85, 115}, RangeCase{7, 0, 22}));

TEST(TresholdNoiseTest, EqualDistancesTakeTheLowerIndex) {
  // Reds 0, 2, 4, ...: every odd noisy red lies halfway between two entries.
  Palette even_reds;
  even_reds.Resize(100);
  for (int i = 0; i < 100; ++i)
    even_reds.Set(i, PaletteEntry{0, 0, static_cast<std::uint8_t>(2 * i), 0});
  Surface s("TVC", 33, 17, 0);
  std::mt19937 rng(8);
  for (int y = 0; y < 17; ++y)
    for (int x = 0; x < 33; ++x) s.SetPixel(x, y, MakeColor(static_cast<int>(rng() % 180), 0, 0));
  NoiseSource noise, ref_noise;
  const Surface want = RefTresholdNoise(s, even_reds, 30, ref_noise);
  TresholdNoise(s, s, even_reds, 30, noise);
  EXPECT_EQ(s, want);
}

}  // namespace
}  // namespace tvcpix
