// Tests of the eight error-diffusion kernels and the snap pass against a plain reference.
#include "dither/error_diffusion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {
namespace {

// ---- Reference: the algorithm written out as plainly as possible, one byte at a time.

struct RefTap {
  int dx, dy, w;
};

struct RefKernel {
  DitherMethod method;
  int divisor;
  bool two_rows_down;  // visits rows 4..H+3 instead of 2..H+5
  bool edge_fill;
  std::vector<RefTap> taps;
};

const std::vector<RefKernel>& RefKernels() {
  static const std::vector<RefKernel> kernels = {
      {DitherMethod::kFloyd, 16, false, true, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}},
      {DitherMethod::kAtkinson,
       8,
       false,
       false,
       {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}},
      {DitherMethod::kSierraLite, 4, false, true, {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}}},
      {DitherMethod::kBurkles,
       32,
       false,
       true,
       {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}},
      {DitherMethod::kSierra2Row,
       16,
       false,
       true,
       {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}}},
      {DitherMethod::kSierra,
       32,
       true,
       true,
       {{1, 0, 5},
        {2, 0, 3},
        {-2, 1, 2},
        {-1, 1, 4},
        {0, 1, 5},
        {1, 1, 4},
        {2, 1, 2},
        {-1, 2, 2},
        {0, 2, 3},
        {1, 2, 2}}},
      {DitherMethod::kStucky,
       42,
       true,
       true,
       {{1, 0, 8},
        {2, 0, 4},
        {-2, 1, 2},
        {-1, 1, 4},
        {0, 1, 8},
        {1, 1, 4},
        {2, 1, 2},
        {-2, 2, 1},
        {-1, 2, 2},
        {0, 2, 4},
        {1, 2, 2},
        {2, 2, 1}}},
      {DitherMethod::kJarvis,
       48,
       true,
       true,
       {{1, 0, 7},
        {2, 0, 5},
        {-2, 1, 3},
        {-1, 1, 5},
        {0, 1, 7},
        {1, 1, 5},
        {2, 1, 3},
        {-2, 2, 1},
        {-1, 2, 3},
        {0, 2, 5},
        {1, 2, 3},
        {2, 2, 1}}},
  };
  return kernels;
}

const RefKernel& RefKernelOf(DitherMethod method) {
  for (const RefKernel& k : RefKernels())
    if (k.method == method) return k;
  ADD_FAILURE() << "no kernel";
  return RefKernels()[0];
}

// First index with the smallest squared distance.
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

struct RefBuffer {
  int w, h, m, r;
  std::vector<std::uint8_t> bytes;  // rows of r pixels, top row first, blue-green-red
  std::uint8_t& At(int x, int y, int c) {
    return bytes[static_cast<std::size_t>(3 * (y * r + x) + c)];
  }
};

RefBuffer RefMakeBuffer(const Surface& s, int m) {
  RefBuffer b;
  b.w = s.width();
  b.h = s.height();
  b.m = m;
  const int pad = (4 - b.w % 4) % 4;
  b.r = b.w + pad + 2 * m;
  b.bytes.assign(static_cast<std::size_t>(3 * b.r * (b.h + 2 * m)), 0);
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x) {
      const ColorValue c = PixelAt(s, x, y);
      b.At(m + x, m + y, 0) = BlueOf(c);
      b.At(m + x, m + y, 1) = GreenOf(c);
      b.At(m + x, m + y, 2) = RedOf(c);
    }
  return b;
}

void RefReplicateEdges(RefBuffer& b) {
  const int m = b.m;
  for (int k = 1; k <= 4; ++k)
    for (int x = m; x < m + b.w; ++x)
      for (int c = 0; c < 3; ++c) {
        b.At(x, m - k, c) = b.At(x, m, c);
        b.At(x, m + b.h - 1 + k, c) = b.At(x, m + b.h - 1, c);
      }
  for (int k = 1; k <= 4; ++k)
    for (int y = m; y < m + b.h; ++y)
      for (int c = 0; c < 3; ++c) {
        b.At(m - k, y, c) = b.At(m, y, c);
        b.At(m + b.w - 1 + k, y, c) = b.At(m + b.w - 1, y, c);
      }
}

Surface RefWriteBack(RefBuffer& b, const Surface& like) {
  Surface out = like;
  for (int y = 0; y < b.h; ++y)
    for (int x = 0; x < b.w; ++x)
      out.SetPixel(x, y,
                   MakeColor(b.At(b.m + x, b.m + y, 2), b.At(b.m + x, b.m + y, 1),
                             b.At(b.m + x, b.m + y, 0)));
  return out;
}

Surface RefDiffuse(const Surface& source, DitherMethod method, const Palette& palette) {
  const RefKernel& k = RefKernelOf(method);
  RefBuffer b = RefMakeBuffer(source, 4);
  if (k.edge_fill) RefReplicateEdges(b);
  const int first = k.two_rows_down ? 4 : 2;
  const int last = k.two_rows_down ? b.h + 3 : b.h + 5;
  for (int y = first; y <= last; ++y) {
    for (int x = 0; x < b.r; ++x) {
      // Flat position; a tap's neighbour is found by flat offset, so it may wrap a row.
      const int flat = y * b.r + x;
      const PaletteEntry q = RefNearest(palette, b.At(x, y, 2), b.At(x, y, 1), b.At(x, y, 0));
      const int target[3] = {q.blue, q.green, q.red};
      for (int c = 0; c < 3; ++c) {
        const int old_value = b.At(x, y, c);
        const int e = (old_value - target[c]) / k.divisor;  // C++ truncates toward zero
        b.At(x, y, c) = static_cast<std::uint8_t>(target[c]);
        for (const RefTap& t : k.taps) {
          std::uint8_t& n = b.bytes[static_cast<std::size_t>(3 * (flat + t.dx + t.dy * b.r) + c)];
          int v = n + t.w * e;
          if (v < 0) v = 0;
          if (v > 255) v = 255;
          n = static_cast<std::uint8_t>(v);
        }
      }
    }
  }
  return RefWriteBack(b, source);
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

// ---- Pictures and palettes

Surface NoisePicture(int w, int h, std::uint32_t seed) {
  Surface s("TVC", w, h, MakeColor(192, 192, 255));
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < s.size_bytes(); ++i) s.data()[i] = static_cast<std::uint8_t>(rng());
  return s;
}

// Smooth ramps with a little noise: closer to real pictures, long runs of error.
Surface RampPicture(int w, int h, std::uint32_t seed) {
  Surface s("TVC", w, h, MakeColor(192, 192, 255));
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int r = (x * 255) / std::max(1, w - 1), g = (y * 255) / std::max(1, h - 1);
      const int b = std::clamp(128 + static_cast<int>(rng() % 61) - 30, 0, 255);
      s.SetPixel(x, y, MakeColor(r, g, b));
    }
  return s;
}

enum class PaletteKind { kTwo, kFour, kSixteen, kSwatchesWithoutBlack };

Palette MakePalette(PaletteKind kind) {
  Palette p;
  switch (kind) {
    case PaletteKind::kTwo:
      BuildPalette2(p);
      break;
    case PaletteKind::kFour:
      BuildPalette4(p);
      break;
    case PaletteKind::kSixteen:
      BuildPalette16(p);
      break;
    case PaletteKind::kSwatchesWithoutBlack: {
      // Dark grey is what a swatch holds before any colour is picked.
      const ColorValue swatches[4] = {MakeColor(64, 64, 64), MakeColor(255, 255, 0),
                                      MakeColor(0, 145, 145), MakeColor(255, 0, 255)};
      PaletteFromSwatches(p, swatches, 4);
      break;
    }
  }
  return p;
}

constexpr DitherMethod kDiffusionMethods[] = {DitherMethod::kAtkinson,   DitherMethod::kFloyd,
                                              DitherMethod::kSierra,     DitherMethod::kBurkles,
                                              DitherMethod::kStucky,     DitherMethod::kJarvis,
                                              DitherMethod::kSierraLite, DitherMethod::kSierra2Row};

std::string Name(DitherMethod m) {
  std::string s;
  for (const char* p = MethodCaption(m); *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) s += *p;
  return s;
}

// ---- Byte-for-byte against the reference

class DiffusionMatchesReferenceTest
    : public ::testing::TestWithParam<std::tuple<DitherMethod, PaletteKind>> {};

TEST_P(DiffusionMatchesReferenceTest, OddSizesAndRandomPictures) {
  const auto [method, kind] = GetParam();
  const Palette palette = MakePalette(kind);
  const std::array<std::array<int, 2>, 7> sizes = {
      {{157, 13}, {1, 1}, {5, 7}, {2, 3}, {4, 4}, {9, 2}, {128, 24}}};
  std::uint32_t seed = 100;
  for (const auto& size : sizes) {
    for (int picture = 0; picture < 2; ++picture) {
      const Surface source = picture == 0 ? NoisePicture(size[0], size[1], ++seed)
                                          : RampPicture(size[0], size[1], ++seed);
      const Surface want = RefDiffuse(source, method, palette);
      // Separate destination: the source must stay as it was.
      Surface dest("dest", size[0], size[1], MakeColor(1, 2, 3));
      DiffuseError(dest, source, method, palette);
      ASSERT_EQ(dest, want) << size[0] << "x" << size[1] << " picture " << picture;
      // In place, as the pipeline calls it.
      Surface in_place = source;
      DiffuseError(in_place, in_place, method, palette);
      ASSERT_EQ(in_place, want) << size[0] << "x" << size[1] << " in place";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, DiffusionMatchesReferenceTest,
    ::testing::Combine(::testing::ValuesIn(kDiffusionMethods),
                       ::testing::Values(PaletteKind::kTwo, PaletteKind::kFour,
                                         PaletteKind::kSixteen,
                                         PaletteKind::kSwatchesWithoutBlack)),
    [](const ::testing::TestParamInfo<std::tuple<DitherMethod, PaletteKind>>& info) {
      return Name(std::get<0>(info.param)) + "_" +
             std::to_string(static_cast<int>(std::get<1>(info.param)));
    });

// ---- Properties named for the kernels

class DiffusionKernelTest : public ::testing::TestWithParam<DitherMethod> {};

TEST_P(DiffusionKernelTest, PaletteColourPictureIsUnchangedWhenBlackIsInThePalette) {
  std::mt19937 rng(9);
  for (PaletteKind kind : {PaletteKind::kTwo, PaletteKind::kFour, PaletteKind::kSixteen}) {
    const Palette palette = MakePalette(kind);
    Surface picture("TVC", 37, 11, 0);
    for (int y = 0; y < 11; ++y)
      for (int x = 0; x < 37; ++x)
        picture.SetPixel(x, y,
                         ColorFromEntry(palette[static_cast<int>(rng() % 16) % palette.size()]));
    Surface result = picture;
    DiffuseError(result, result, GetParam(), palette);
    EXPECT_EQ(result, picture) << "palette of " << palette.size();
  }
}

TEST_P(DiffusionKernelTest, DifferencesBelowTheDivisorDiffuseNothing) {
  const int divisor = RefKernelOf(GetParam()).divisor;
  // Every channel of a pixel then lies less than the divisor from its nearest colour.
  const int spread = static_cast<int>(std::floor((divisor - 1) / std::sqrt(3.0)));
  const Palette palette = MakePalette(PaletteKind::kSixteen);
  std::mt19937 rng(10);
  Surface picture("TVC", 41, 9, 0);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 41; ++x) {
      const PaletteEntry e = palette[static_cast<int>(rng() % 16)];
      const auto jitter = [&](int v) {
        return std::clamp(v + static_cast<int>(rng() % (2 * spread + 1)) - spread, 0, 255);
      };
      picture.SetPixel(x, y, MakeColor(jitter(e.red), jitter(e.green), jitter(e.blue)));
    }
  Surface diffused = picture;
  DiffuseError(diffused, diffused, GetParam(), palette);
  EXPECT_EQ(diffused, RefSnap(picture, palette));
  EXPECT_NE(diffused, picture);
}

INSTANTIATE_TEST_SUITE_P(Kernels, DiffusionKernelTest, ::testing::ValuesIn(kDiffusionMethods),
                         [](const ::testing::TestParamInfo<DitherMethod>& info) {
                           return Name(info.param);
                         });

TEST(AtkinsonTest, BlackMarginsPushErrorOnlyWhenThePaletteLacksBlack) {
  Surface white("TVC", 12, 6, 0);
  white.Fill(MakeColor(255, 255, 255));
  const PaletteEntry grey{128, 128, 128, 0}, whole_white{255, 255, 255, 0};

  // Black margins become grey and push (0 - 128) / 8 = -16 per tap: the top-left pixel gets
  // 2 taps from its own row, 3 from the row above and 1 from two rows above, 255 - 96 = 159,
  // which is nearer grey.
  Palette no_black;
  no_black.Resize(2);
  no_black.Set(0, whole_white);
  no_black.Set(1, grey);
  Surface result = white;
  DiffuseError(result, result, DitherMethod::kAtkinson, no_black);
  EXPECT_EQ(PixelAt(result, 0, 0), MakeColor(128, 128, 128));
  EXPECT_EQ(result, RefDiffuse(white, DitherMethod::kAtkinson, no_black));

  Palette with_black;
  with_black.Resize(3);
  with_black.Set(0, whole_white);
  with_black.Set(1, grey);
  with_black.Set(2, PaletteEntry{0, 0, 0, 0});
  result = white;
  DiffuseError(result, result, DitherMethod::kAtkinson, with_black);
  EXPECT_EQ(result, white);
}

TEST(DiffusionCatalogueTest, OnlyTheEightKernelsDiffuse) {
  for (int i = 1; i <= kMethodCount; ++i) {
    const DitherMethod m = static_cast<DitherMethod>(i);
    const bool want = i == 1 || i == 2 || (i >= 11 && i <= 16);
    EXPECT_EQ(IsErrorDiffusion(m), want) << MethodCaption(m);
  }
}

// ---- SnapToPalette

TEST(SnapToPaletteTest, EveryPixelBecomesItsNearestColour) {
  for (PaletteKind kind : {PaletteKind::kTwo, PaletteKind::kFour, PaletteKind::kSixteen,
                           PaletteKind::kSwatchesWithoutBlack}) {
    const Palette palette = MakePalette(kind);
    for (const auto& size : std::array<std::array<int, 2>, 3>{{{157, 13}, {1, 1}, {5, 7}}}) {
      const Surface source = NoisePicture(size[0], size[1], 77);
      Surface result = source;
      SnapToPalette(result, result, palette);
      ASSERT_EQ(result, RefSnap(source, palette));
      // Already snapped pictures stay as they are.
      Surface again = result;
      SnapToPalette(again, again, palette);
      ASSERT_EQ(again, result);
    }
  }
}

TEST(SnapToPaletteTest, WritesThePictureAreaClippedToTheDestination) {
  const Palette palette = MakePalette(PaletteKind::kSixteen);
  const Surface source = NoisePicture(20, 10, 78);
  const Surface snapped = RefSnap(source, palette);
  Surface larger = NoisePicture(30, 12, 79);
  const Surface before = larger;
  SnapToPalette(larger, source, palette);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 30; ++x)
      ASSERT_EQ(PixelAt(larger, x, y),
                x < 20 && y < 10 ? PixelAt(snapped, x, y) : PixelAt(before, x, y));
  Surface smaller("small", 7, 4, 0);
  SnapToPalette(smaller, source, palette);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(PixelAt(smaller, x, y), PixelAt(snapped, x, y));
}

}  // namespace
}  // namespace tvcpix
