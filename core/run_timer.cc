// The run timer and the distinct-colour count.
#include "core/run_timer.h"

#include <chrono>
#include <cmath>
#include <vector>

namespace tvcpix {

namespace {
std::int64_t Now() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void RunTimer::Start() {
  start_ = Now();
  frequency_ = 1'000'000'000;
}

std::int32_t RunTimer::Elapsed() const { return ToMilliseconds(Now() - start_, frequency_); }

std::int32_t RunTimer::ToMilliseconds(std::int64_t ticks, std::int64_t frequency) {
  const double ms = static_cast<double>(ticks) / static_cast<double>(frequency) * 1000.0;
  return static_cast<std::int32_t>(std::nearbyint(ms));  // default rounding: ties to even
}

int CountColors(const Surface& surface) {
  // One bit per possible colour: only first occurrences count.
  std::vector<std::uint64_t> seen(std::size_t{1} << 18, 0);
  int count = 0;
  const std::uint8_t* p = surface.data();
  const std::size_t n = surface.size_bytes();
  for (std::size_t i = 0; i < n; i += 3) {
    const std::uint32_t c = p[i] | (p[i + 1] << 8) | (static_cast<std::uint32_t>(p[i + 2]) << 16);
    std::uint64_t& word = seen[c >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (c & 63);
    if (!(word & bit)) {
      word |= bit;
      ++count;
    }
  }
  return count;
}

}  // namespace tvcpix
