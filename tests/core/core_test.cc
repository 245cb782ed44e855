// The core: the colour tables and palettes from swatches, the nearest-colour searches and
// matchers against a straight scan, ScaleSurface against its definition, CountColors against a
// plain table, and the run time caption.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "core/color_count.h"
#include "core/nearest_cache.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::RandomSurface;

TEST(PaletteTest, SixteenColourTableAndSwatchPalettes) {
  Palette p;
  BuildPalette16(p);
  ASSERT_EQ(p.size(), 16);
  for (int i = 0; i < 16; ++i) {  // blue bit 0, red 1, green 2, at 145, or 255 with bit 3
    const int on = i & 8 ? 255 : 145;
    EXPECT_EQ(p[i], EntryFromColor(MakeColor(i & 2 ? on : 0, i & 4 ? on : 0, i & 1 ? on : 0)));
  }
  Palette swatch_palette;
  const ColorValue swatch = MakeColor(10, 20, 30);
  PaletteFromSwatches(swatch_palette, &swatch, 1);
  EXPECT_EQ(swatch_palette.entries(), (std::vector<PaletteEntry>{{30, 20, 10, 0}}));
}

// Straight scan: the smallest squared distance, the first index holding it; 0 if all skipped.
int BruteNearest(const Palette& p, const PatternFlags* flags, int r, int g, int b) {
  int best = 0;
  long best_d = LONG_MAX;
  for (int i = 0; i < p.size(); ++i) {
    const long d = (r - p[i].red) * (r - p[i].red) + (g - p[i].green) * (g - p[i].green) +
                   (b - p[i].blue) * (b - p[i].blue);
    if (d < best_d && !(flags && p.size() == kPatternCount && flags->excluded[i] == 1))
      best = i, best_d = d;
  }
  return best;
}

// One matcher built per pass and the shared one kept between passes, going back and forth
// between palettes of every size, so a stale shared matcher would answer for the wrong palette
// or flags. Coarse levels make equal distances and repeated colours common, fine ones rare.
TEST(NearestSearchTest, SearchesAndMatchersEqualTheStraightScan) {
  std::mt19937 rng(77);
  PatternFlags flags;
  Palette palettes[5];
  for (int i = 0; i < 5; ++i) {
    const auto level = [&] {
      return static_cast<std::uint8_t>(i != 2 && i != 4 ? rng() % 6 * 51 : rng());
    };
    palettes[i].Resize(std::vector{2, 4, 16, 120, 120}[i]);
    for (int k = 0; k < palettes[i].size(); ++k) palettes[i].Set(k, {level(), level(), level(), 0});
  }
  for (int round = 0; round < 50; ++round) {
    Palette& p = palettes[round % 5];
    const int n = p.size();
    if (round % 3 == 0) p.Set(static_cast<int>(rng() % n), PaletteEntry{0, 51, 255, 0});
    const int flag_mode = round % 3;  // none, random, all excluded (or none)
    if (round % 2 == 0)
      for (int k = 0; k < kPatternCount; ++k)
        flags.excluded[static_cast<std::size_t>(k)] =
            flag_mode == 2 ? round % 4 / 2 : static_cast<int>(rng() % 3 == 0);
    const PatternFlags* f = flag_mode == 0 ? nullptr : &flags;
    SCOPED_TRACE(round);
    NearestMatcher own(p, f);
    NearestMatcher& shared = SharedMatcher(p, f);
    for (int k = 0; k < 6000; ++k) {
      // Palette colours (an exact match stops the search), repeated and random colours.
      const PaletteEntry e =
          k % 3 == 0 ? p[static_cast<int>(rng() % n)]
                     : EntryFromColor((k % 3 == 1 ? k % 1500 * 2654435761u : rng()) & 0xFFFFFF);
      const int r = e.red, g = e.green, b = e.blue, want = BruteNearest(p, f, r, g, b);
      ASSERT_EQ(f ? NearestIndexUnmarked(p, flags, r, g, b) : NearestIndex(p, r, g, b), want);
      const std::uint32_t bgr = static_cast<std::uint32_t>(b | g << 8 | r << 16);
      ASSERT_EQ(std::tuple(own.Index(r, g, b), own.Color(r, g, b), shared.Index(r, g, b),
                           shared.ColorOnce(r, g, b), shared.ColorBgrOnce(bgr)),
                std::tuple(want, p[want], want, p[want], p[want]));
    }
  }
}

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

TEST(CountColorsTest, DistinctColoursOverEveryPixel) {
  std::mt19937 rng(21);
  // In a row, so marks left behind would spoil the next count; over a megapixel, photo path.
  for (const auto& [w, h] : {std::pair{1, 1}, {1, 9}, {7, 3}, {512, 480}, {1100, 1000}, {3, 1}})
    for (const bool runs : {false, true}) {
      const Surface s = RandomSurface(w, h, rng, runs);
      std::vector<bool> seen(1 << 24);
      for (std::size_t i = 0; i < s.size_bytes(); i += 3)
        seen[s.data()[i] | (s.data()[i + 1] << 8) | (s.data()[i + 2] << 16)] = true;
      EXPECT_EQ(CountColors(s), std::count(seen.begin(), seen.end(), true)) << w << "x" << h;
    }
}

TEST(RunTimerTest, RoundsToNearestMillisecondTiesToEven) {
  constexpr std::int64_t kNs = 1'000'000'000, kQpc = 10'000'000;  // clock and Windows ticks
  const std::int64_t cases[][3] = {{2'500'000, kNs, 2},
                                   {3'500'000, kNs, 4},
                                   {35'000, kQpc, 4},
                                   {2'500'001, kNs, 3},
                                   {3'499'999, kNs, 3}};
  for (const auto& [ticks, per_second, ms] : cases)
    EXPECT_EQ(RunTimer::ToMilliseconds(ticks, per_second), ms) << ticks << "/" << per_second;
}

}  // namespace
}  // namespace tvcpix
