// CountColors against a plain table of every colour.
#include "core/color_count.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "tests/support/random_surface.h"

namespace tvcpix {
namespace {

using test::RandomSurface;

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

}  // namespace
}  // namespace tvcpix
