// The number of distinct colours on a surface (the colour-count captions).
#ifndef TVCPIX_CORE_COLOR_COUNT_H_
#define TVCPIX_CORE_COLOR_COUNT_H_

#include "core/surface.h"

namespace tvcpix {

// Number of distinct colours among the surface's pixels.
int CountColors(const Surface& surface);

}  // namespace tvcpix

#endif  // TVCPIX_CORE_COLOR_COUNT_H_
