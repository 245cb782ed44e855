// The nearest-colour searches, the matcher and the shared matcher against a straight scan, on
// random palettes with entries and flags changing between passes.
#include "core/nearest_cache.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

namespace tvcpix {
namespace {

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

}  // namespace
}  // namespace tvcpix
