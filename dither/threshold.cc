// "Treshold" (plain nearest colour) and "Treshold+Noise".
#include "dither/threshold.h"

#include <algorithm>

#include "core/nearest_cache.h"
#include "dither/error_diffusion.h"

namespace tvcpix {

void Treshold(Surface& destination, const Surface& source, const Palette& palette) {
  // Plain nearest colour per pixel is exactly the snap pass: each pixel depends on itself alone
  // and filler pixels of the wide buffer never reach the destination.
  SnapToPalette(destination, source, palette);
}

namespace {

// Nearest whole number, ties to even, for |x| < 2^51: adding 1.5 * 2^52 leaves no fraction
// bits, so the sum is rounded in the default mode (which nothing changes), and subtracting it
// again is exact. The same as std::nearbyint without a library call per channel.
inline double NearestEven(double x) {
  constexpr double kShift = 6755399441055744.0;  // 1.5 * 2^52
  return (x + kShift) - kShift;
}

// One noisy channel: A*u in single precision plus the value, then minus A/2, nearest with ties
// to even, clamped.
inline int NoisyChannel(int value, std::uint8_t amplitude, float u) {
  const float moved = static_cast<float>(amplitude) * u + static_cast<float>(value);
  const double n = NearestEven(static_cast<double>(moved) - amplitude / 2.0);
  return n < 0 ? 0 : (n > 255 ? 255 : static_cast<int>(n));
}

}  // namespace

void TresholdNoise(Surface& destination, const Surface& source, const Palette& palette,
                   std::uint8_t amplitude, NoiseSource& noise) {
  NearestMatcher& matcher = SharedMatcher(palette, nullptr);
  const int w = source.width(), h = source.height();
  // The wide buffer's row: the picture, its pad and 8 more filler pixels. Every one of them
  // draws three numbers, so the sequence position after a run depends on the buffer's shape.
  const int row_pixels = w + PadFor(w) + 8;
  std::vector<std::uint8_t> out(source.size_bytes());
  std::vector<float> draws(static_cast<std::size_t>(row_pixels) * 3);
  for (int y = h - 1; y >= 0; --y) {  // bottom row first, as the buffer is stored
    const std::uint8_t* s = source.row(y);
    std::uint8_t* d = out.data() + source.stride() * static_cast<std::size_t>(y);
    // The row's numbers in drawing order: red, green, blue of each pixel, filler included
    // (filler results never reach the surface).
    noise.Next(draws.data(), draws.size());
    const float* u = draws.data();
    for (int x = 0; x < w; ++x, u += 3) {
      const PaletteEntry& q = matcher.ColorOnce(NoisyChannel(s[3 * x + 2], amplitude, u[0]),
                                                NoisyChannel(s[3 * x + 1], amplitude, u[1]),
                                                NoisyChannel(s[3 * x], amplitude, u[2]));
      d[3 * x] = q.blue;
      d[3 * x + 1] = q.green;
      d[3 * x + 2] = q.red;
    }
  }
  const int cw = std::min(w, destination.width()), ch = std::min(h, destination.height());
  for (int y = 0; y < ch; ++y)
    std::copy_n(out.data() + source.stride() * static_cast<std::size_t>(y),
                static_cast<std::size_t>(cw) * 3, destination.row(y));
}

}  // namespace tvcpix
