// The noise source draws exactly std::mt19937's sequence, however the draws are grouped.
#include "dither/noise_source.h"

#include <algorithm>
#include <random>
#include <vector>

#include "gtest/gtest.h"

namespace tvcpix {
namespace {

TEST(NoiseSourceTest, SameSequenceAsTheStandardEngineInAnyGrouping) {
  std::mt19937 reference, sizes(7);  // the default seed, as at every program start
  NoiseSource noise;
  // Groups of 1 to 2000 values, one at a time or in a block, cross the 624-word refills at
  // every offset.
  for (int drawn = 0; drawn < 3'000'000;) {
    std::vector<float> block(sizes() % 2000 + 1);
    if (block.size() % 3 == 0)
      std::generate(block.begin(), block.end(), [&noise] { return noise.Next(); });
    else
      noise.Next(block.data(), block.size());
    for (const float v : block)
      ASSERT_EQ(v, static_cast<float>(reference() >> 8) * (1.0f / 16777216.0f))
          << "block from " << drawn;
    drawn += static_cast<int>(block.size());
  }
}

}  // namespace
}  // namespace tvcpix
