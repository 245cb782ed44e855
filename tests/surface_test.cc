// Tests of surfaces, the bottom-up pixel buffer, scaling, the colour count and the run timer.
#include "core/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "core/run_timer.h"

namespace tvcpix {
namespace {

// Random pixels; with `runs`, pixels repeating the one before and rows repeating the one
// above, so the colour count's shortcuts are both taken and missed.
Surface RandomSurface(int width, int height, std::mt19937& rng, bool runs = false) {
  Surface s("test", width, height, MakeColor(9, 8, 7));
  for (std::size_t i = 0; i < s.size_bytes(); ++i) {
    const std::size_t from = !runs ? 0 : i / s.stride() % 3 == 1 ? s.stride() : i / 3 % 3 ? 3 : 0;
    s.data()[i] = from && i >= from ? s.data()[i - from] : static_cast<std::uint8_t>(rng());
  }
  return s;
}

TEST(PixelBufferTest, BottomUpRowsPaddedWithBlackFiller) {
  std::mt19937 rng(7);
  // {width, wide, row pixels}
  constexpr int kLayouts[][3] = {{512, 0, 512}, {512, 1, 520}, {510, 0, 512}, {510, 1, 520},
                                 {1, 0, 4},     {1, 1, 12},    {157, 0, 160}, {157, 1, 168}};
  for (const auto& [w, wide, row] : kLayouts) {
    SCOPED_TRACE(testing::Message() << w << (wide ? " wide" : ""));
    const Surface s = RandomSurface(w, 5, rng);
    const PixelBuffer b = ReadSurface(s, wide);
    ASSERT_EQ(b.row_pixels, row);
    ASSERT_EQ(b.bytes.size(), static_cast<std::size_t>(3 * row * 5));
    for (int r = 0; r < 5; ++r)
      for (int x = 0; x < row; ++x)
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(b.bytes[static_cast<std::size_t>(3 * (row * r + x) + c)],
                    x < w ? s.row(4 - r)[3 * x + c] : 0);
    Surface back = RandomSurface(w, 5, rng);  // written back: the filler dropped
    WriteSurface(b, back);
    EXPECT_EQ(back, s);
  }
}

// Area average from the definition: destination pixel (dx, dy) covers the source area
// [dx*sw, (dx+1)*sw) x [dy*sh, (dy+1)*sh) in units of 1/width, 1/height of a source pixel;
// the covered sum over sw*sh units, halves rounded up.
std::vector<std::uint8_t> ReferenceAverage(const Surface& src, int width, int height) {
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
        out.push_back(static_cast<std::uint8_t>((sum + sw * sh / 2) / (sw * sh)));
      }
  return out;
}

std::vector<std::uint8_t> ReferenceReplicate(const Surface& src, int width, int height) {
  std::vector<std::uint8_t> out;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        out.push_back(src.row(y * src.height() / height)[3 * (x * src.width() / width) + c]);
  return out;
}

// Scales `src` into `dest` and checks: the reference inside the clipped rectangle (a plain copy
// at equal sizes, whatever smooth says), the old pixels elsewhere.
void ExpectScale(Surface dest, const Surface& src, int width, int height, int smooth) {
  const Surface before = dest;
  ScaleSurface(dest, src, width, height, smooth);
  const bool same = width == src.width() && height == src.height();
  const std::vector<std::uint8_t> want =
      same          ? std::vector<std::uint8_t>(src.data(), src.data() + src.size_bytes())
      : smooth == 1 ? ReferenceAverage(src, width, height)
                    : ReferenceReplicate(src, width, height);
  for (int y = 0; y < dest.height(); ++y)
    for (int x = 0; x < dest.width(); ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(dest.row(y)[3 * x + c],
                  x < width && y < height ? want[3 * (static_cast<std::size_t>(y) * width + x) + c]
                                          : before.row(y)[3 * x + c])
            << x << "," << y << " of " << src.width() << "x" << src.height() << " to " << width
            << "x" << height << " smooth " << smooth;
}

TEST(ScaleSurfaceTest, RandomSizesMatchTheDefinition) {
  std::mt19937 rng(3);
  for (int round = 0; round < 300; ++round) {
    const bool whole = round % 2 == 0;  // whole-number ratios: block means, replication
    const int smooth = std::vector<int>{1, 1, 0, 2, -1}[round % 5];
    // Up to the previews' sizes now and then, as the work picture is scaled into them.
    int width = 1 + static_cast<int>(rng() % (whole ? round % 30 ? 9 : 128 : 23));
    int height = 1 + static_cast<int>(rng() % (whole ? round % 30 ? 9 : 240 : 23));
    int sw = whole ? width * (1 + static_cast<int>(rng() % 6)) : 1 + static_cast<int>(rng() % 23);
    int sh = whole ? height * (1 + static_cast<int>(rng() % 6)) : 1 + static_cast<int>(rng() % 23);
    if (whole && rng() % 2 == 0) std::swap(width, sw), std::swap(height, sh);  // enlarge
    const Surface src = RandomSurface(sw, sh, rng);
    // Destinations smaller than, equal to and larger than the rectangle.
    ExpectScale(RandomSurface(std::max(1, width + static_cast<int>(rng() % 5) - 2),
                              std::max(1, height + static_cast<int>(rng() % 5) - 2), rng),
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

TEST(CountColorsTest, DistinctColoursOverEveryPixel) {
  std::mt19937 rng(21);
  // One after another, so a count that left marks behind would spoil the next; the one over a
  // million pixels takes the photograph path.
  for (const auto& [w, h] : {std::pair{1, 1}, std::pair{1, 9}, std::pair{7, 3}, std::pair{512, 480},
                             std::pair{1100, 1000}, std::pair{3, 1}})
    for (const bool runs : {false, true}) {
      const Surface s = RandomSurface(w, h, rng, runs);
      std::vector<bool> seen(1 << 24);
      int want = 0;
      for (std::size_t i = 0; i < s.size_bytes(); i += 3) {
        const int key = s.data()[i] | (s.data()[i + 1] << 8) | (s.data()[i + 2] << 16);
        want += !seen[key];
        seen[key] = true;
      }
      EXPECT_EQ(CountColors(s), want) << w << "x" << h;
    }
}

TEST(RunTimerTest, RoundsToNearestMillisecondTiesToEven) {
  constexpr std::int64_t ns = 1'000'000'000, qpc = 10'000'000;
  // {ticks, ticks per second, milliseconds}
  constexpr std::int64_t kCases[][3] = {{2'500'000, ns, 2}, {3'500'000, ns, 4}, {25'000, qpc, 2},
                                        {35'000, qpc, 4},   {500'000, ns, 0},   {1'500'000, ns, 2},
                                        {2'500'001, ns, 3}, {3'499'999, ns, 3}};
  for (const auto& [ticks, freq, ms] : kCases)
    EXPECT_EQ(RunTimer::ToMilliseconds(ticks, freq), ms) << ticks << "/" << freq;
}

}  // namespace
}  // namespace tvcpix
