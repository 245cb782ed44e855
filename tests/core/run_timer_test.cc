// The run time caption: ticks to whole milliseconds, ties to even.
#include "core/run_timer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tvcpix {
namespace {

struct TimerCase {
  const char* name;
  std::int64_t ticks, ticks_per_second, milliseconds;
};

constexpr std::int64_t kNs = 1'000'000'000, kQpc = 10'000'000;

class RunTimerTest : public testing::TestWithParam<TimerCase> {};

TEST_P(RunTimerTest, RoundsToNearestMillisecondTiesToEven) {
  const TimerCase& c = GetParam();
  EXPECT_EQ(RunTimer::ToMilliseconds(c.ticks, c.ticks_per_second), c.milliseconds);
}

INSTANTIATE_TEST_SUITE_P(Ticks, RunTimerTest,
                         testing::Values(TimerCase{"HalfDownToEven", 2'500'000, kNs, 2},
                                         TimerCase{"HalfUpToEven", 3'500'000, kNs, 4},
                                         TimerCase{"HalfAtTenMegahertz", 35'000, kQpc, 4},
                                         TimerCase{"JustAboveHalf", 2'500'001, kNs, 3},
                                         TimerCase{"JustBelowHalf", 3'499'999, kNs, 3}),
                         [](const testing::TestParamInfo<TimerCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace tvcpix
