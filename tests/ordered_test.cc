// Tests of the Bayer screens and the block halftones against a plain reference and the
// thresholds' edge values.
#include "dither/ordered.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {
namespace {

using M = DitherMethod;

// The reference: the margin buffer and the passes written out plainly, one channel at a time.
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
  const int m = method == M::kNews4x4 ? 8 : 4, w = source.width(), h = source.height();
  const int r = w + (4 - w % 4) % 4 + 2 * m;
  std::vector<int> b(static_cast<std::size_t>(3 * r * (h + 2 * m)), 0);
  const auto at = [&](int x, int y, int c) -> int& {
    return b[static_cast<std::size_t>(3 * (y * r + x) + c)];
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x) at(m + x / 3, m + y, x % 3) = source.row(y)[x];
  const bool bayer = method == M::kBayer2x2 || method == M::kBayer4x4 || method == M::kBayer8x8;
  if (!bayer)  // the four lines outside each edge copy it
    for (int d = 1; d <= 4; ++d)
      for (int c = 0; c < 3; ++c) {
        for (int x = m; x < m + w; ++x) at(x, m - d, c) = at(x, m, c);
        for (int x = m; x < m + w; ++x) at(x, m + h - 1 + d, c) = at(x, m + h - 1, c);
        for (int y = m; y < m + h; ++y) at(m - d, y, c) = at(m, y, c);
        for (int y = m; y < m + h; ++y) at(m + w - 1 + d, y, c) = at(m + w - 1, y, c);
      }
  const auto lit = [](bool on) { return on ? 255 : 0; };
  if (method == M::kBayer2x2) {  // phases run on across rows and are shared by the channels
    int row = 0, col = 0;
    for (int y = 4; y <= h + 4; ++y, row = (row + 1) % 2)
      for (int x = 4; x <= w + 4; ++x, col = (col + 1) % 2)
        for (int c = 0; c < 3; ++c) at(x, y, c) = lit(at(x, y, c) > kBayer2[2 * row + col]);
  } else if (bayer) {  // one pass per channel from the buffer's corner, phases restarting
    const int n = method == M::kBayer4x4 ? 4 : 8;
    for (int c = 0; c < 3; ++c) {
      int row = 0, col = 0;
      for (int y = 0; y <= h + 3; ++y, row = (row + 1) % n)
        for (int x = 0; x <= w + 3; ++x, col = (col + 1) % n) {
          const int v = n == 4 ? at(x, y, c) : static_cast<int>(std::nearbyint(at(x, y, c) / 4.0));
          at(x, y, c) = lit(v >= (n == 4 ? kBayer4 : kBayer8)[n * row + col]);
        }
    }
  } else {
    const int n = method == M::kHalftone2x2 ? 2 : method == M::kHalftone3x3 ? 3 : 4;
    for (int y0 = m; y0 <= h + m; y0 += n)
      for (int x0 = m; x0 <= w + m; x0 += n)
        for (int c = 0; c < 3; ++c) {
          int s = 0;
          for (int k = 0; k < n * n; ++k) s += at(x0 + k % n, y0 + k / n, c);
          for (int k = 0; k < n * n; ++k) {    // cell k: column k % n, row k / n
            const int rank2[] = {1, 4, 3, 2};  // top-left, top-right, bottom-left, bottom-right
            at(x0 + k % n, y0 + k / n, c) = lit(n == 2   ? s > 204 * rank2[k]
                                                : n == 3 ? s > 229 * kRank3[k]
                                                         : s / 512 > kNews[k] * 0.5);
          }
        }
  }
  Surface out = source;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 3 * w; ++x)
      out.row(y)[x] = static_cast<std::uint8_t>(at(m + x / 3, m + y, x % 3));
  return out;
}

constexpr M kMethods[] = {M::kHalftone2x2, M::kHalftone3x3, M::kBayer2x2,
                          M::kBayer4x4,    M::kBayer8x8,    M::kNews4x4};

TEST(OrderedDitherTest, EveryMethodMatchesTheReference) {
  std::mt19937 rng(12345);
  for (const M method : kMethods)
    for (const auto& [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{5, 7}, std::pair{2, 3},
                               std::pair{128, 24}, std::pair{10, 9}})
      for (int picture = 0; picture < 3; ++picture) {
        // Random bytes, and flat grey pictures, where whole blocks sit on a threshold.
        Surface source("TVC16", w, h, 0);
        const int grey = static_cast<int>(rng() % 256);
        for (std::size_t i = 0; i < source.size_bytes(); ++i)
          source.data()[i] = static_cast<std::uint8_t>(picture == 0 ? rng() : grey + i % 3);
        const Surface want = RefOrdered(source, method);
        Surface dest("TVC4", w, h, 0), in_place = source;
        OrderedDither(dest, source, method);
        OrderedDither(in_place, in_place, method);
        ASSERT_EQ(dest, want) << MethodCaption(method) << " " << w << "x" << h;
        ASSERT_EQ(in_place, want) << MethodCaption(method) << " " << w << "x" << h;
      }
}

// A uniform grey picture and the pixels that light, row by row ('#' white, '.' black).
std::string Lit(M method, int w, int h, int grey) {
  Surface s("TVC16", w, h, 0);
  s.Fill(MakeColor(grey, grey, grey));
  OrderedDither(s, s, method);
  std::string out;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x)
      out += PixelAt(s, x, y) == MakeColor(255, 255, 255) ? '#' : PixelAt(s, x, y) ? '?' : '.';
    out += y + 1 < h ? "/" : "";
  }
  return out;
}

TEST(OrderedDitherTest, ThresholdsAtTheirEdges) {
  struct Case {
    M method;
    int w, h, grey;
    const char* lit;
  };
  const Case kCases[] = {
      // The 0 cell of Bayer 8x8 lights on black; the visited margin moves it to (4, 4).
      {M::kBayer8x8, 9, 5, 0, "........./........./........./........./....#...."},
      // The cells of values 15 and 14 in every News block never light; level 2 lights 0, 2, 3.
      {M::kNews4x4, 8, 4, 255, "###.###./########/########/###.###."},
      {M::kNews4x4, 4, 4, 64, "..../.##./..#./...."},
      // Bayer 2x2 is strict, its column phase running on over W + 1 columns per row; Bayer 4x4
      // is not strict.
      {M::kBayer2x2, 3, 2, 63, ".../.#."},
      {M::kBayer2x2, 4, 2, 64, "#.#./#.#."},
      {M::kBayer4x4, 4, 4, 32, "#.../..../..#./...."},
      // Halftones: grey 128 sums to 512 in 2 x 2; 229 * 9 = 2061 lights eight cells of 3 x 3.
      {M::kHalftone2x2, 4, 2, 128, "#.#./.#.#"},
      {M::kHalftone3x3, 3, 3, 229, "###/##./###"},
  };
  for (const Case& c : kCases)
    EXPECT_EQ(Lit(c.method, c.w, c.h, c.grey), c.lit) << MethodCaption(c.method) << " " << c.grey;
  // Bayer 8x8 compares v / 4 rounded to even: on 16 x 16 every threshold occurs four times.
  constexpr int kQuarters[][2] = {{2, 0}, {6, 2}, {10, 2}, {250, 62}, {251, 63}};
  for (const auto& [v, quarter] : kQuarters) {
    const std::string lit = Lit(M::kBayer8x8, 16, 16, v);
    EXPECT_EQ(std::count(lit.begin(), lit.end(), '#'), 4 * (quarter + 1)) << v;
  }
}

}  // namespace
}  // namespace tvcpix
