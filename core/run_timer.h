// The run timer of a conversion and the distinct-colour count.
#ifndef TVCPIX_CORE_RUN_TIMER_H_
#define TVCPIX_CORE_RUN_TIMER_H_

#include <cstdint>

#include "core/surface.h"

namespace tvcpix {

class RunTimer {
 public:
  void Start();
  // Milliseconds since Start(), rounded to nearest with ties to even.
  std::int32_t Elapsed() const;
  // The rounding rule alone, for a count of ticks at a frequency (ticks per second).
  static std::int32_t ToMilliseconds(std::int64_t ticks, std::int64_t frequency);

 private:
  std::int64_t start_ = 0;
  std::int64_t frequency_ = 1;
};

// Number of distinct colours among the surface's pixels.
int CountColors(const Surface& surface);

}  // namespace tvcpix

#endif  // TVCPIX_CORE_RUN_TIMER_H_
