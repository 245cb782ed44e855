// The original dithering methods against plain references, byte for byte: the eight
// error-diffusion kernels on every kind of palette, the Bayer screens and block halftones,
// "Treshold", "Treshold+Noise" and the snap pass, the 120 patterns and "Pattern TVC" with
// Auto Palette; and the noise source, which draws exactly std::mt19937's sequence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/error_diffusion.h"
#include "dither/method.h"
#include "dither/noise_source.h"
#include "dither/ordered.h"
#include "dither/palette_search.h"
#include "dither/pattern.h"
#include "dither/pattern_set.h"
#include "dither/threshold.h"

namespace tvcpix {
namespace {

// The palettes a conversion uses: the start tables, swatches without black (dark grey is what a
// swatch holds before any pick) and even reds, where every odd red lies halfway between two
// entries.
const std::vector<int> kAllSixteen = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
struct NamedPalette {
  const char* name;
  Palette palette;
};

std::vector<NamedPalette> DitherPalettes() {
  const ColorValue picks[4] = {MakeColor(64, 64, 64), MakeColor(255, 255, 0),
                               MakeColor(0, 145, 145), MakeColor(255, 0, 255)};
  Palette swatches, reds;
  PaletteFromSwatches(swatches, picks, 4);
  reds.Resize(100);
  for (int i = 0; i < 100; ++i) reds.Set(i, {0, 0, static_cast<std::uint8_t>(2 * i), 0});
  return {{"Start2", TvcPalette({0, 15})},
          {"Start4", TvcPalette({0, 15, 9, 10})},
          {"Table16", TvcPalette(kAllSixteen)},
          {"Swatches4", swatches},
          {"EvenReds100", reds}};
}
std::string PaletteName(int i) { return DitherPalettes()[static_cast<std::size_t>(i)].name; }

using M = DitherMethod;

inline PaletteEntry RefNearest(const Palette& p, int r, int g, int b) {
  const auto d = [&](int i) {
    return (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
           (b - p[i].blue) * (b - p[i].blue);
  };
  int best = 0;
  for (int i = 1; i < p.size(); ++i) best = d(i) < d(best) ? i : best;
  return p[best];
}

// The working buffer: the picture at (m, m) in rows of W + pad + 2m pixels, all else black;
// with `edges`, each of the four lines outside each edge copies it.
struct RefBuffer {
  int m, w, h, r;
  std::vector<int> bytes;
  int& At(int x, int y, int c) { return bytes[static_cast<std::size_t>(3 * (y * r + x) + c)]; }
  int& Flat(int pixel, int c) { return bytes[static_cast<std::size_t>(3 * pixel + c)]; }
  Surface Picture(Surface out) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < 3 * w; ++x)
        out.row(y)[x] = static_cast<std::uint8_t>(At(m + x / 3, m + y, x % 3));
    return out;
  }
};

inline RefBuffer MakeBuffer(const Surface& source, int m, bool edges) {
  const int w = source.width(), h = source.height(), r = w + (4 - w % 4) % 4 + 2 * m;
  RefBuffer b{m, w, h, r, std::vector<int>(static_cast<std::size_t>(3 * r * (h + 2 * m)), 0)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) b.At(m + x / 3, m + y, x % 3) = source.row(y)[x];
  for (int y = m - 4; edges && y < m + h + 4; ++y)  // the corners stay black
    for (int x = m - 4; x < m + w + 4; ++x)
      for (int c = 0; c < 3 && (x >= m && x < m + w) != (y >= m && y < m + h); ++c)
        b.At(x, y, c) = b.At(std::clamp(x, m, m + w - 1), std::clamp(y, m, m + h - 1), c);
  return b;
}

// Random bytes, or a flat grey (long runs of error; whole blocks on one threshold).
inline Surface Picture(int w, int h, std::mt19937& rng, bool flat = false) {
  Surface s("TVC", w, h, MakeColor(192, 192, 255));
  const auto grey = static_cast<std::uint8_t>(rng());
  for (std::size_t i = 0; i < s.size_bytes(); ++i)
    s.data()[i] = static_cast<std::uint8_t>(flat ? grey + i % 3 : rng());
  return s;
}

// Odd widths and heights (the row wrap depends on the padded row), down to a single pixel.
inline constexpr int kSizes[][2] = {{157, 13}, {1, 1}, {5, 7}, {2, 3}, {9, 2}, {128, 24}};

// Into another surface and in place (as the pipeline calls it): the reference's pixels both ways.
template <typename Run>
void ExpectBothWays(const Surface& source, const Surface& want, Run run) {
  Surface dest("dest", source.width(), source.height(), MakeColor(1, 2, 3)), in_place = source;
  run(dest, source), run(in_place, in_place);
  ASSERT_EQ(dest, want);
  ASSERT_EQ(in_place, want);
}

// The kernels as the table lists them: weights for dx = -2..2 on the current row and the two
// below.
constexpr struct RefKernel {
  const char* name;
  M method;
  int divisor, w[3][5];
} kKernels[] = {
    {"Floyd", M::kFloyd, 16, {{0, 0, 0, 7, 0}, {0, 3, 5, 1, 0}}},
    {"Atkinson", M::kAtkinson, 8, {{0, 0, 0, 1, 1}, {0, 1, 1, 1, 0}, {0, 0, 1, 0, 0}}},
    {"SierraLite", M::kSierraLite, 4, {{0, 0, 0, 2, 0}, {0, 1, 1, 0, 0}}},
    {"Burkles", M::kBurkles, 32, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}}},
    {"Sierra2Row", M::kSierra2Row, 16, {{0, 0, 0, 4, 3}, {1, 2, 3, 2, 1}}},
    {"Sierra", M::kSierra, 32, {{0, 0, 0, 5, 3}, {2, 4, 5, 4, 2}, {0, 2, 3, 2, 0}}},
    {"Stucky", M::kStucky, 42, {{0, 0, 0, 8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}},
    {"Jarvis", M::kJarvis, 48, {{0, 0, 0, 7, 5}, {3, 5, 7, 5, 3}, {1, 3, 5, 3, 1}}},
};

Surface RefDiffuse(const Surface& source, const RefKernel& k, const Palette& palette) {
  const bool atkinson = k.method == M::kAtkinson, two_down = k.w[2][2] && !atkinson;
  RefBuffer b = MakeBuffer(source, 4, !atkinson);
  for (int y = two_down ? 4 : 2; y <= (two_down ? b.h + 3 : b.h + 5); ++y)
    for (int x = 0; x < b.r; ++x) {
      const PaletteEntry q = RefNearest(palette, b.At(x, y, 2), b.At(x, y, 1), b.At(x, y, 0));
      const int target[3] = {q.blue, q.green, q.red};
      for (int c = 0; c < 3; ++c) {
        const int e = (b.At(x, y, c) - target[c]) / k.divisor;  // truncates toward zero
        b.At(x, y, c) = target[c];
        // Flat offsets: a tap past the row's end lands at the next row's start.
        for (int t = 0; t < 15; ++t)  // row t / 5 down, column t % 5 - 2
          if (const int w = k.w[t / 5][t % 5], at = (y + t / 5) * b.r + x + t % 5 - 2; w != 0)
            b.Flat(at, c) = std::clamp(b.Flat(at, c) + w * e, 0, 255);
      }
    }
  return b.Picture(source);
}

class ErrorDiffusionTest : public testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ErrorDiffusionTest, MatchesTheReference) {
  const auto [kernel, palette_index] = GetParam();
  const RefKernel& k = kKernels[kernel];
  const Palette palette = DitherPalettes()[static_cast<std::size_t>(palette_index)].palette;
  std::mt19937 rng(100 + 8 * palette_index + kernel);
  for (const auto& [w, h] : kSizes)
    for (const bool flat : {false, true}) {
      SCOPED_TRACE(testing::Message() << w << "x" << h << " flat " << flat);
      const Surface source = Picture(w, h, rng, flat);
      ExpectBothWays(source, RefDiffuse(source, k, palette),
                     [&](Surface& d, const Surface& s) { DiffuseError(d, s, k.method, palette); });
    }
}

INSTANTIATE_TEST_SUITE_P(KernelsAndPalettes, ErrorDiffusionTest,
                         testing::Combine(testing::Range(0, static_cast<int>(std::size(kKernels))),
                                          testing::Range(0, 5)),
                         [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
                           return kKernels[std::get<0>(info.param)].name +
                                  ("_" + PaletteName(std::get<1>(info.param)));
                         });

// The ordered passes written out plainly, one channel at a time.
Surface RefOrdered(const Surface& source, M method) {
  constexpr int kBayer2[] = {63, 127, 191, 0};
  constexpr int kBayer4[] = {32, 159, 64, 191, 255, 96,  223, 128,
                             48, 175, 16, 143, 207, 112, 239, 80};
  constexpr int kBayer8[] = {0,  32, 8,  40, 2,  34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26,
                             12, 44, 4,  36, 14, 46, 6,  38, 60, 28, 52, 20, 62, 30, 54, 22,
                             3,  35, 11, 43, 1,  33, 9,  41, 51, 19, 59, 27, 49, 17, 57, 25,
                             15, 47, 7,  39, 13, 45, 5,  37, 63, 31, 55, 23, 61, 29, 53, 21};
  constexpr int kNews[] = {12, 4, 11, 15, 5, 0, 3, 10, 6, 5, 2, 9, 13, 7, 8, 14};
  constexpr int kRank3[] = {5, 1, 6, 7, 2, 9, 4, 3, 8};
  const bool bayer = method == M::kBayer2x2 || method == M::kBayer4x4 || method == M::kBayer8x8;
  RefBuffer b = MakeBuffer(source, method == M::kNews4x4 ? 8 : 4, !bayer);
  const int m = b.m, w = b.w, h = b.h;
  const auto lit = [](bool on) { return on ? 255 : 0; };
  if (method == M::kBayer2x2) {  // phases run on across rows and are shared by the channels
    int row = 0, col = 0;
    for (int y = 4; y <= h + 4; ++y, row = (row + 1) % 2)
      for (int x = 4; x <= w + 4; ++x, col = (col + 1) % 2)
        for (int c = 0; c < 3; ++c) b.At(x, y, c) = lit(b.At(x, y, c) > kBayer2[2 * row + col]);
  } else if (bayer) {  // one pass per channel from the buffer's corner, phases restarting
    const int n = method == M::kBayer4x4 ? 4 : 8;
    for (int c = 0; c < 3; ++c) {
      int row = 0, col = 0;
      for (int y = 0; y <= h + 3; ++y, row = (row + 1) % n)
        for (int x = 0; x <= w + 3; ++x, col = (col + 1) % n) {
          const int v =
              n == 4 ? b.At(x, y, c) : static_cast<int>(std::nearbyint(b.At(x, y, c) / 4.0));
          b.At(x, y, c) = lit(v >= (n == 4 ? kBayer4 : kBayer8)[n * row + col]);
        }
    }
  } else {
    const int n = method == M::kHalftone2x2 ? 2 : method == M::kHalftone3x3 ? 3 : 4;
    for (int y0 = m; y0 <= h + m; y0 += n)
      for (int x0 = m; x0 <= w + m; x0 += n)
        for (int c = 0; c < 3; ++c) {
          int s = 0;
          for (int k = 0; k < n * n; ++k) s += b.At(x0 + k % n, y0 + k / n, c);
          for (int k = 0; k < n * n; ++k) {    // cell k: column k % n, row k / n
            const int rank2[] = {1, 4, 3, 2};  // top-left, top-right, bottom-left, bottom-right
            b.At(x0 + k % n, y0 + k / n, c) = lit(n == 2   ? s > 204 * rank2[k]
                                                  : n == 3 ? s > 229 * kRank3[k]
                                                           : s / 512 > kNews[k] * 0.5);
          }
        }
  }
  return b.Picture(source);
}

class OrderedDitherTest : public testing::TestWithParam<M> {};

TEST_P(OrderedDitherTest, MatchesTheReference) {
  const M method = GetParam();
  std::mt19937 rng(12345 + static_cast<int>(method));
  for (const auto& [w, h] : kSizes)
    for (const bool flat : {false, true, true}) {
      SCOPED_TRACE(testing::Message() << w << "x" << h << " flat " << flat);
      const Surface source = Picture(w, h, rng, flat);
      ExpectBothWays(source, RefOrdered(source, method),
                     [&](Surface& d, const Surface& s) { OrderedDither(d, s, method); });
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, OrderedDitherTest,
                         testing::Values(M::kHalftone2x2, M::kHalftone3x3, M::kBayer2x2,
                                         M::kBayer4x4, M::kBayer8x8, M::kNews4x4),
                         [](const testing::TestParamInfo<M>& info) {
                           std::string name = MethodCaption(info.param);  // "Bayer 4x4"
                           name.erase(name.find(' '), 1);
                           return name;
                         });

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
      if (x < w) out.SetPixel(x, y, ColorFromEntry(RefNearest(palette, r, g, b)));
    }
  return out;
}

class ThresholdTest : public testing::TestWithParam<int> {};

// The snap pass and "Treshold" are the same per-pixel replacement; "Treshold+Noise" goes on with
// the sequence from one run to the next.
TEST_P(ThresholdTest, SnapTresholdAndNoiseMatchTheReference) {
  const Palette palette = DitherPalettes()[static_cast<std::size_t>(GetParam())].palette;
  std::mt19937 rng(6 + GetParam());
  for (const auto& [w, h] : kSizes) {
    SCOPED_TRACE(testing::Message() << w << "x" << h);
    NoiseSource none, noise, ref_noise;
    const Surface source = Picture(w, h, rng), want = RefTreshold(source, palette, none, 0);
    ExpectBothWays(source, want,
                   [&](Surface& d, const Surface& s) { SnapToPalette(d, s, palette); });
    ExpectBothWays(source, want, [&](Surface& d, const Surface& s) { Treshold(d, s, palette); });
    for (int run = 0; run < 2; ++run) {
      Surface dest = source;
      TresholdNoise(dest, dest, palette, 30, noise);
      ASSERT_EQ(dest, RefTreshold(source, palette, ref_noise, 30)) << "run " << run;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Palettes, ThresholdTest, testing::Range(0, 5),
                         [](const testing::TestParamInfo<int>& info) {
                           return PaletteName(info.param);
                         });

ColorValue Color(const PaletteEntry& e) { return ColorFromEntry(e); }

TEST(PatternSetTest, NumberingMatchColoursPairsAndSwaps) {
  int k = 0;
  for (int i = 0; i <= 14; ++i)
    for (int j = i; j <= 14; ++j) ASSERT_EQ(PatternIndex(i, j), k++);
  // Chart levels 147 and 255; per channel (a + b + 1) / 2: 74, 128 and 201 for mixed levels.
  EXPECT_EQ(Color(MatchColor(1)), MakeColor(0, 0, 74));
  EXPECT_EQ(Color(MatchColor(93)), MakeColor(128, 0, 128));
  EXPECT_EQ(Color(MatchColor(PatternIndex(7, 14))), MakeColor(201, 201, 201));
  Palette palette;
  FillPatternPalette(palette);
  ASSERT_EQ(palette.size(), k);
  for (int p = 0; p < k; ++p) EXPECT_EQ(palette[p], MatchColor(p)) << p;
  // A is the later chart colour; a swap goes through the scratch slot.
  PatternSet set;
  FillPatternPairs(set);
  EXPECT_EQ(std::pair(Color(set.A(1)), Color(set.B(1))), std::pair(MakeColor(0, 0, 147), 0u));
  SwapPattern(set, 93);
  EXPECT_EQ(std::pair(Color(set.A(93)), Color(set.B(93))),
            std::pair(MakeColor(0, 0, 255), MakeColor(255, 0, 0)));
}

// Each pixel takes the nearest switched-on pattern of its own colour, A on even x + y, B on odd.
TEST(PatternPassTest, MatchesTheReferenceAndAutoPaletteOnlyNarrows) {
  std::mt19937 rng(4);
  Palette palette;
  FillPatternPalette(palette);
  PatternFlags flags;
  PatternSet patterns;
  FillPatternPairs(patterns);
  for (const auto& [w, h] : {std::pair{37, 11}, {1, 1}, {5, 3}, {128, 24}})
    for (int round = 0; round < 3; ++round) {
      // Match colours (ties between patterns) mixed with random ones; some patterns switched off
      // or swapped; in round 2 everything off, which leaves pattern 0.
      for (auto& off : flags.excluded) off = round == 2 || (round == 1 && rng() % 3 == 0);
      if (round == 1) SwapPattern(patterns, static_cast<int>(rng() % kPatternCount));
      Surface source("TVC16", w, h, 0), want = source;
      for (int i = 0; i < w * h; ++i) {
        const ColorValue c =
            rng() % 2 ? Color(MatchColor(static_cast<int>(rng() % 120))) : rng() & 0xFFFFFF;
        const int k = NearestIndexUnmarked(palette, flags, RedOf(c), GreenOf(c), BlueOf(c));
        source.SetPixel(i % w, i / w, c);
        want.SetPixel(i % w, i / w, Color((i % w + i / w) % 2 ? patterns.B(k) : patterns.A(k)));
      }
      PatternDither(source, source, palette, flags, patterns);
      ASSERT_EQ(source, want) << w << "x" << h << " round " << round;
    }
  // Auto Palette only narrows. (128, 0, 128) is the match colour of pattern 10 (black, magenta)
  // and of 93 (blue, red).
  Surface s("TVC16", 7, 5, MakeColor(128, 0, 128));
  const auto on = [&] {
    AutoPalette(s, palette, flags);
    std::vector<int> out;
    for (int k = 0; k < kPatternCount; ++k)
      if (flags.excluded[static_cast<std::size_t>(k)] == 0) out.push_back(k);
    return out;
  };
  flags.excluded.fill(0);
  EXPECT_EQ(on(), std::vector<int>{10});
  flags.excluded.fill(0);
  flags.excluded[10] = 1;  // stays off although its colour occurs; purple now chooses 93
  s.SetPixel(3, 3, Color(MatchColor(1)));
  EXPECT_EQ(on(), (std::vector<int>{1, 93}));
  flags.excluded.fill(1);
  EXPECT_EQ(on(), std::vector<int>{0});
}

TEST(NoiseSourceTest, SameSequenceAsTheStandardEngineInAnyGrouping) {
  std::mt19937 reference, sizes(7);  // the default seed, as at every program start
  NoiseSource noise;
  // Groups of 1 to 2000 values, one at a time or in a block, cross the 624-word refills at
  // every offset.
  for (int drawn = 0; drawn < 3'000'000;) {
    std::vector<float> block(sizes() % 2000 + 1);
    if (block.size() % 3 == 0)
      std::generate(block.begin(), block.end(), [&noise] { return noise.Next(); });
    else
      noise.Next(block.data(), block.size());
    for (const float v : block)
      ASSERT_EQ(v, static_cast<float>(reference() >> 8) * (1.0f / 16777216.0f))
          << "block from " << drawn;
    drawn += static_cast<int>(block.size());
  }
}

}  // namespace
}  // namespace tvcpix
