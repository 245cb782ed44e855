// ScaleSurface against its definition: area averages and replication, clipping to the
// destination, equal sizes copying, and scaling a surface onto itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "core/surface.h"
#include "tests/support/random_surface.h"

namespace tvcpix {
namespace {

using test::RandomSurface;

// Scaling from the definition. Smooth 1: destination pixel (dx, dy) covers the source area
// [dx*sw, (dx+1)*sw) x [dy*sh, (dy+1)*sh) in units of 1/width, 1/height of a source pixel; the
// covered sum over sw*sh units, halves rounded up. Otherwise the source pixel the corner is on.
std::vector<std::uint8_t> Reference(const Surface& src, int width, int height, int smooth) {
  const std::int64_t sw = src.width(), sh = src.height();
  const auto overlap = [](std::int64_t a0, std::int64_t a1, std::int64_t b0, std::int64_t b1) {
    return std::max<std::int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
  };
  std::vector<std::uint8_t> out;
  for (int dy = 0; dy < height; ++dy)
    for (int dx = 0; dx < width; ++dx)
      for (int c = 0; c < 3; ++c) {
        std::uint64_t sum = 0;
        for (std::int64_t sy = dy * sh / height; sy < sh && sy * height < (dy + 1) * sh; ++sy)
          for (std::int64_t sx = dx * sw / width; sx < sw && sx * width < (dx + 1) * sw; ++sx)
            sum += src.row(static_cast<int>(sy))[3 * sx + c] *
                   static_cast<std::uint64_t>(
                       overlap(dx * sw, (dx + 1) * sw, sx * width, (sx + 1) * width) *
                       overlap(dy * sh, (dy + 1) * sh, sy * height, (sy + 1) * height));
        out.push_back(smooth == 1
                          ? static_cast<std::uint8_t>((sum + sw * sh / 2) / (sw * sh))
                          : src.row(static_cast<int>(dy * sh / height))[3 * (dx * sw / width) + c]);
      }
  return out;
}

// Scales `src` into `dest` and checks: the reference inside the clipped rectangle (at equal
// sizes a plain copy, whatever smooth says), the old pixels elsewhere.
void ExpectScale(Surface dest, const Surface& src, int width, int height, int smooth) {
  const Surface before = dest;
  ScaleSurface(dest, src, width, height, smooth);
  const std::vector<std::uint8_t> want = Reference(src, width, height, smooth);
  for (int y = 0; y < dest.height(); ++y)
    for (int x = 0; x < dest.width(); ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(dest.row(y)[3 * x + c],
                  x < width && y < height ? want[3 * (static_cast<std::size_t>(y) * width + x) + c]
                                          : before.row(y)[3 * x + c])
            << x << "," << y << " of " << width << "x" << height << " smooth " << smooth;
}

TEST(ScaleSurfaceTest, RandomSizesMatchTheDefinition) {
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    const bool whole = round % 2 == 0;  // whole-number ratios: block means, replication
    const int smooth = std::vector<int>{1, 1, 0, 2, -1}[round % 5];
    const auto n = [&rng](int k) { return 1 + static_cast<int>(rng() % static_cast<unsigned>(k)); };
    // Up to the previews' sizes now and then, as the work picture is scaled into them.
    int width = n(whole ? round % 30 ? 9 : 128 : 23), height = n(whole ? round % 30 ? 9 : 240 : 23);
    int sw = whole ? width * n(6) : n(23), sh = whole ? height * n(6) : n(23);
    if (whole && rng() % 2 == 0) std::swap(width, sw), std::swap(height, sh);  // enlarge
    const Surface src = RandomSurface(sw, sh, rng);
    // Destinations smaller than, equal to and larger than the rectangle.
    ExpectScale(RandomSurface(std::max(1, width + n(5) - 3), std::max(1, height + n(5) - 3), rng),
                src, width, height, smooth);
    ExpectScale(RandomSurface(sw, sh, rng), src, sw, sh, smooth);  // equal sizes copy
    // Onto itself: every pixel comes from the original, not a half-written copy.
    Surface self = src, want = src;
    ScaleSurface(self, self, width, height, smooth);
    ScaleSurface(want, src, width, height, smooth);
    ASSERT_EQ(self, want);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tvcpix
