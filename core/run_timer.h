// The run timer of a conversion.
#ifndef TVCPIX_CORE_RUN_TIMER_H_
#define TVCPIX_CORE_RUN_TIMER_H_

#include <cstdint>

namespace tvcpix {

class RunTimer {
 public:
  void Start();
  // Milliseconds since Start(), rounded to nearest with ties to even.
  std::int32_t Elapsed() const;
  // The rounding rule alone, for a count of ticks at a frequency (ticks per second).
  static std::int32_t ToMilliseconds(std::int64_t ticks, std::int64_t frequency);

 private:
  static constexpr std::int64_t kTicksPerSecond = 1'000'000'000;  // steady_clock in ns
  std::int64_t start_ = 0;
};

}  // namespace tvcpix

#endif  // TVCPIX_CORE_RUN_TIMER_H_
