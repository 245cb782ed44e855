// The Bayer screens and the block halftones against plain references.
#include "dither/ordered.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "dither/method.h"
#include "tests/dither/dither_reference.h"

namespace tvcpix {
namespace {

using M = DitherMethod;
using test::RefBuffer;

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
  RefBuffer b = test::MakeBuffer(source, method == M::kNews4x4 ? 8 : 4, !bayer);
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

struct OrderedCase {
  const char* name;
  M method;
};

class OrderedDitherTest : public testing::TestWithParam<OrderedCase> {};

TEST_P(OrderedDitherTest, MatchesTheReference) {
  const M method = GetParam().method;
  std::mt19937 rng(12345 + static_cast<int>(method));
  for (const auto& [w, h] : test::kSizes)
    for (const bool flat : {false, true, true}) {
      SCOPED_TRACE(testing::Message() << w << "x" << h << " flat " << flat);
      const Surface source = test::Picture(w, h, rng, flat), want = RefOrdered(source, method);
      Surface dest("TVC4", w, h, 0), in_place = source;
      OrderedDither(dest, source, method);
      OrderedDither(in_place, in_place, method);
      ASSERT_EQ(dest, want);
      ASSERT_EQ(in_place, want);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Methods, OrderedDitherTest,
    testing::Values(OrderedCase{"Halftone2x2", M::kHalftone2x2},
                    OrderedCase{"Halftone3x3", M::kHalftone3x3},
                    OrderedCase{"Bayer2x2", M::kBayer2x2}, OrderedCase{"Bayer4x4", M::kBayer4x4},
                    OrderedCase{"Bayer8x8", M::kBayer8x8}, OrderedCase{"News4x4", M::kNews4x4}),
    [](const testing::TestParamInfo<OrderedCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tvcpix
