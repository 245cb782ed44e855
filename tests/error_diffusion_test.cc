// Tests of the method catalogue and of the methods that search the palette per pixel (the eight
// error-diffusion kernels, the snap pass, "Treshold", "Treshold+Noise") against plain references.
#include "dither/error_diffusion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"
#include "dither/threshold.h"

namespace tvcpix {
namespace {

// ---- References, written out as plainly as possible, one byte at a time.

// The kernels as the table lists them: taps "dx:w" of the current row, then "|" and the next
// row down, and so on.
struct RefKernel {
  DitherMethod method;
  int divisor;
  const char* taps;
};

constexpr RefKernel kKernels[] = {
    {DitherMethod::kFloyd, 16, "+1:7 | -1:3 0:5 +1:1"},
    {DitherMethod::kAtkinson, 8, "+1:1 +2:1 | -1:1 0:1 +1:1 | 0:1"},
    {DitherMethod::kSierraLite, 4, "+1:2 | -1:1 0:1"},
    {DitherMethod::kBurkles, 32, "+1:8 +2:4 | -2:2 -1:4 0:8 +1:4 +2:2"},
    {DitherMethod::kSierra2Row, 16, "+1:4 +2:3 | -2:1 -1:2 0:3 +1:2 +2:1"},
    {DitherMethod::kSierra, 32, "+1:5 +2:3 | -2:2 -1:4 0:5 +1:4 +2:2 | -1:2 0:3 +1:2"},
    {DitherMethod::kStucky, 42, "+1:8 +2:4 | -2:2 -1:4 0:8 +1:4 +2:2 | -2:1 -1:2 0:4 +1:2 +2:1"},
    {DitherMethod::kJarvis, 48, "+1:7 +2:5 | -2:3 -1:5 0:7 +1:5 +2:3 | -2:1 -1:3 0:5 +1:3 +2:1"},
};

PaletteEntry RefNearest(const Palette& p, int r, int g, int b) {
  int best = 0;
  long best_d = -1;
  for (int i = 0; i < p.size(); ++i) {
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (best_d < 0 || d < best_d) best = i, best_d = d;
  }
  return p[best];
}

Surface RefSnap(const Surface& source, const Palette& palette) {
  Surface out = source;
  for (int y = 0; y < source.height(); ++y)
    for (int x = 0; x < source.width(); ++x) {
      const ColorValue c = PixelAt(source, x, y);
      out.SetPixel(x, y, ColorFromEntry(RefNearest(palette, RedOf(c), GreenOf(c), BlueOf(c))));
    }
  return out;
}

Surface RefDiffuse(const Surface& source, const RefKernel& k, const Palette& palette) {
  // Taps as flat offsets (dx + dy * r) with weights, from the text.
  std::vector<std::array<int, 3>> taps;  // dx, dy, w
  std::istringstream text(k.taps);
  int dy = 0;
  for (std::string t; text >> t;) {
    int dx = 0, w = 0;
    dy += t == "|";
    if (std::sscanf(t.c_str(), "%d:%d", &dx, &w) == 2) taps.push_back({dx, dy, w});
  }
  const bool atkinson = k.method == DitherMethod::kAtkinson;
  const int w = source.width(), h = source.height(), r = w + (4 - w % 4) % 4 + 8;
  std::vector<std::uint8_t> b(static_cast<std::size_t>(3 * r * (h + 8)), 0);
  const auto at = [&](int x, int y, int c) -> std::uint8_t& {
    return b[static_cast<std::size_t>(3 * (y * r + x) + c)];
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) at(4 + x / 3, 4 + y, x % 3) = source.row(y)[x];
  if (!atkinson)  // the four lines outside each edge copy it; corners stay black
    for (int d = 1; d <= 4; ++d)
      for (int c = 0; c < 3; ++c) {
        for (int x = 4; x < 4 + w; ++x) at(x, 4 - d, c) = at(x, 4, c);
        for (int x = 4; x < 4 + w; ++x) at(x, 3 + h + d, c) = at(x, 3 + h, c);
        for (int y = 4; y < 4 + h; ++y) at(4 - d, y, c) = at(4, y, c);
        for (int y = 4; y < 4 + h; ++y) at(3 + w + d, y, c) = at(3 + w, y, c);
      }
  const bool two_down = dy == 2 && !atkinson;
  for (int y = two_down ? 4 : 2; y <= (two_down ? h + 3 : h + 5); ++y)
    for (int x = 0; x < r; ++x) {
      const PaletteEntry q = RefNearest(palette, at(x, y, 2), at(x, y, 1), at(x, y, 0));
      const int target[3] = {q.blue, q.green, q.red};
      for (int c = 0; c < 3; ++c) {
        const int e = (at(x, y, c) - target[c]) / k.divisor;  // truncates toward zero
        at(x, y, c) = static_cast<std::uint8_t>(target[c]);
        for (const auto& [tx, ty, tw] : taps) {
          // A flat offset: a tap past the row's end lands at the next row's start.
          std::uint8_t& n = b[static_cast<std::size_t>(3 * (y * r + x + tx + ty * r) + c)];
          n = static_cast<std::uint8_t>(std::clamp(n + tw * e, 0, 255));
        }
      }
    }
  Surface out = source;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) out.row(y)[x] = at(4 + x / 3, 4 + y, x % 3);
  return out;
}

// The noisy channel: A*u + value in single precision, then minus A/2 in double, nearest with
// ties to even, clamped. Pixels in the wide buffer's order: bottom row first, each over
// W + pad + 8 pixels, the black filler drawing its three numbers too.
Surface RefTresholdNoise(const Surface& source, const Palette& palette, NoiseSource& noise) {
  const auto noisy = [&noise](int v) {
    const float moved = 30.0f * noise.Next() + static_cast<float>(v);
    return static_cast<int>(std::clamp(std::nearbyint(moved - 15.0), 0.0, 255.0));
  };
  Surface out = source;
  const int w = source.width(), h = source.height();
  for (int y = h - 1; y >= 0; --y)
    for (int x = 0; x < w + (4 - w % 4) % 4 + 8; ++x) {
      const ColorValue c = x < w ? PixelAt(source, x, y) : 0;
      const int r = noisy(RedOf(c)), g = noisy(GreenOf(c)), b = noisy(BlueOf(c));
      if (x < w) out.SetPixel(x, y, ColorFromEntry(RefNearest(palette, r, g, b)));
    }
  return out;
}

// ---- Pictures and palettes

// Random bytes, or smooth ramps with a little noise (closer to photographs, long runs of error).
Surface Picture(int w, int h, std::mt19937& rng, bool ramp = false) {
  Surface s("TVC", w, h, MakeColor(192, 192, 255));
  for (std::size_t i = 0; i < s.size_bytes(); ++i)
    s.data()[i] = static_cast<std::uint8_t>(ramp ? (i % 3 == 0   ? 98 + rng() % 61
                                                    : i % 3 == 1 ? i / 3 / w * 255 / h
                                                                 : i / 3 % w * 255 / w)
                                                 : rng());
  return s;
}

// The start tables, swatches without black (dark grey is what a swatch holds before any pick)
// and even reds, where every odd red lies halfway between two entries.
std::vector<Palette> TestPalettes() {
  std::vector<Palette> out(5);
  BuildPalette2(out[0]);
  BuildPalette4(out[1]);
  BuildPalette16(out[2]);
  const ColorValue swatches[4] = {MakeColor(64, 64, 64), MakeColor(255, 255, 0),
                                  MakeColor(0, 145, 145), MakeColor(255, 0, 255)};
  PaletteFromSwatches(out[3], swatches, 4);
  out[4].Resize(100);
  for (int i = 0; i < 100; ++i)
    out[4].Set(i, PaletteEntry{0, 0, static_cast<std::uint8_t>(2 * i), 0});
  return out;
}

// Odd widths and heights (the row wrap depends on the padded row), down to a single pixel.
constexpr int kSizes[][2] = {{157, 13}, {1, 1}, {5, 7}, {2, 3}, {9, 2}, {128, 24}};

// ---- Byte for byte against the references

TEST(ErrorDiffusionTest, EveryKernelMatchesTheReference) {
  std::mt19937 rng(100);
  for (const RefKernel& k : kKernels)
    for (const Palette& palette : TestPalettes())
      for (const auto& [w, h] : kSizes)
        for (int picture = 0; picture < 2; ++picture) {
          SCOPED_TRACE(testing::Message() << MethodCaption(k.method) << " " << palette.size()
                                          << " colours " << w << "x" << h << " #" << picture);
          const Surface source = Picture(w, h, rng, picture == 1);
          const Surface want = RefDiffuse(source, k, palette);
          Surface dest("dest", w, h, MakeColor(1, 2, 3));  // the source must stay as it was
          DiffuseError(dest, source, k.method, palette);
          ASSERT_EQ(dest, want);
          Surface in_place = source;  // as the pipeline calls it
          DiffuseError(in_place, in_place, k.method, palette);
          ASSERT_EQ(in_place, want);
        }
}

// "Treshold" and the snap pass are the same per-pixel replacement.
TEST(SnapAndTresholdTest, EveryPixelBecomesItsNearestColour) {
  std::mt19937 rng(77);
  for (const Palette& palette : TestPalettes())
    for (const auto& [w, h] : kSizes) {
      const Surface source = Picture(w, h, rng), want = RefSnap(source, palette);
      Surface snap = source, treshold("dest", w, h, 0);
      SnapToPalette(snap, snap, palette);
      Treshold(treshold, source, palette);
      ASSERT_EQ(snap, want) << palette.size() << " colours " << w << "x" << h;
      ASSERT_EQ(treshold, want) << palette.size() << " colours " << w << "x" << h;
    }
}

TEST(TresholdNoiseTest, MatchesTheReferenceAndContinuesTheSequence) {
  std::mt19937 rng(6);
  for (const Palette& palette : TestPalettes())
    for (const auto& [w, h] : kSizes) {
      const Surface source = Picture(w, h, rng);
      NoiseSource noise, ref_noise;
      for (int run = 0; run < 2; ++run) {  // the second run draws the following numbers
        const Surface want = RefTresholdNoise(source, palette, ref_noise);
        Surface dest = source;
        TresholdNoise(dest, dest, palette, 30, noise);
        ASSERT_EQ(dest, want) << palette.size() << " colours " << w << "x" << h << " run " << run;
      }
    }
}

TEST(TresholdNoiseTest, SameSequenceFromEveryStartWithinFifteen) {
  NoiseSource a, b;
  for (int i = 0; i < 10'000; ++i) ASSERT_EQ(a.Next(), b.Next()) << "draw " << i;
  // With a palette of every red, the result shows the noisy red itself: every value within 15
  // of the pixel's occurs, clamped to a byte.
  Palette reds;
  reds.Resize(256);
  for (int i = 0; i < 256; ++i) reds.Set(i, PaletteEntry{0, 0, static_cast<std::uint8_t>(i), 0});
  constexpr int kRanges[][3] = {{0, 0, 15}, {255, 240, 255}, {100, 85, 115}, {7, 0, 22}};
  for (const auto& [value, low, high] : kRanges) {
    Surface s("TVC16", 64, 64, MakeColor(value, 0, 0));
    TresholdNoise(s, s, reds, 30, a);
    std::set<ColorValue> seen;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) seen.insert(PixelAt(s, x, y));
    EXPECT_EQ(*seen.begin(), MakeColor(low, 0, 0)) << value;
    EXPECT_EQ(*seen.rbegin(), MakeColor(high, 0, 0)) << value;
    EXPECT_EQ(static_cast<int>(seen.size()), high - low + 1) << value;
  }
}

// ---- The catalogue

TEST(MethodCatalogueTest, Captions) {
  constexpr const char* kCaptions[] = {
      "Atkinson",  "Floyd",     "Treshold",    "Treshold+Noise", "Halftone 2x2", "Halftone 3x3",
      "Bayer 2x2", "Bayer 4x4", "Bayer 8x8",   "News 4x4",       "Sierra",       "Burkles",
      "Stucky",    "Jarvis",    "Sierra Lite", "Sierra2 Row",    "Pattern TVC"};
  for (int i = 1; i <= kMethodCount; ++i)
    EXPECT_STREQ(MethodCaption(static_cast<DitherMethod>(i)), kCaptions[i - 1]);
}

}  // namespace
}  // namespace tvcpix
