// The noise source draws exactly std::mt19937's sequence, however the draws are grouped.
#include "dither/noise_source.h"

#include <random>
#include <vector>

#include "gtest/gtest.h"

namespace tvcpix {
namespace {

TEST(NoiseSourceTest, SameSequenceAsTheStandardEngineInAnyGrouping) {
  std::mt19937 reference;  // default seed, as at every program start
  NoiseSource noise;
  std::mt19937 sizes(7);
  std::vector<float> block;
  // Groups of 1 to 2000 values cross the 624-word refills at every offset.
  for (int drawn = 0; drawn < 3'000'000;) {
    const std::size_t n = sizes() % 2000 + 1;
    block.resize(n);
    if (n % 3 == 0) {
      for (float& v : block) v = noise.Next();
    } else {
      noise.Next(block.data(), n);
    }
    for (std::size_t k = 0; k < n; ++k) {
      const float expected = static_cast<float>(reference() >> 8) * (1.0f / 16777216.0f);
      ASSERT_EQ(block[k], expected) << "value " << drawn + static_cast<int>(k);
    }
    drawn += static_cast<int>(n);
  }
}

}  // namespace
}  // namespace tvcpix
