// The eight error-diffusion kernels against a plain reference, on every kind of palette.
#include "dither/error_diffusion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "dither/method.h"
#include "tests/dither/dither_reference.h"
#include "tests/support/palettes.h"

namespace tvcpix {
namespace {

using M = DitherMethod;
using test::RefBuffer;

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
  RefBuffer b = test::MakeBuffer(source, 4, !atkinson);
  for (int y = two_down ? 4 : 2; y <= (two_down ? b.h + 3 : b.h + 5); ++y)
    for (int x = 0; x < b.r; ++x) {
      const PaletteEntry q = test::RefNearest(palette, b.At(x, y, 2), b.At(x, y, 1), b.At(x, y, 0));
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
  const Palette palette = test::DitherPalettes()[static_cast<std::size_t>(palette_index)].palette;
  std::mt19937 rng(100 + 8 * palette_index + kernel);
  for (const auto& [w, h] : test::kSizes)
    for (const bool flat : {false, true}) {
      SCOPED_TRACE(testing::Message() << w << "x" << h << " flat " << flat);
      const Surface source = test::Picture(w, h, rng, flat), want = RefDiffuse(source, k, palette);
      Surface dest("dest", w, h, MakeColor(1, 2, 3)), in_place = source;  // source unchanged
      DiffuseError(dest, source, k.method, palette);
      DiffuseError(in_place, in_place, k.method, palette);  // as the pipeline calls it
      ASSERT_EQ(dest, want);
      ASSERT_EQ(in_place, want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    KernelsAndPalettes, ErrorDiffusionTest,
    testing::Combine(testing::Range(0, static_cast<int>(std::size(kKernels))),
                     testing::Range(0, 5)),
    [](const testing::TestParamInfo<std::tuple<int, int>>& info) {
      return std::string(kKernels[std::get<0>(info.param)].name) + "_" +
             test::DitherPalettes()[static_cast<std::size_t>(std::get<1>(info.param))].name;
    });

}  // namespace
}  // namespace tvcpix
