// The run time caption: ticks to whole milliseconds, ties to even.
#include "core/run_timer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tvcpix {
namespace {

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
