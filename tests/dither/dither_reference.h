// Plain references for the dithering tests: the nearest colour, the working buffer with its
// margins, test pictures and sizes.
#ifndef TVCPIX_TESTS_DITHER_DITHER_REFERENCE_H_
#define TVCPIX_TESTS_DITHER_DITHER_REFERENCE_H_

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix::test {

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

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_DITHER_DITHER_REFERENCE_H_
