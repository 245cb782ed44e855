// The run timer.
#include "core/run_timer.h"

#include <chrono>
#include <cmath>

namespace tvcpix {

namespace {
std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void RunTimer::Start() { start_ = Now(); }

std::int32_t RunTimer::Elapsed() const { return ToMilliseconds(Now() - start_, kTicksPerSecond); }

std::int32_t RunTimer::ToMilliseconds(std::int64_t ticks, std::int64_t frequency) {
  const double ms = static_cast<double>(ticks) / static_cast<double>(frequency) * 1000.0;
  return static_cast<std::int32_t>(std::nearbyint(ms));  // default rounding: ties to even
}

}  // namespace tvcpix
