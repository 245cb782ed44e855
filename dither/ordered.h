// The ordered and halftone methods: three Bayer screens, two block halftones, "News 4x4".
#ifndef TVCPIX_DITHER_ORDERED_H_
#define TVCPIX_DITHER_ORDERED_H_

#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {

// True for methods 5..10.
bool IsOrdered(DitherMethod method);
// Runs one of methods 5..10; every channel of the result is 0 or 255.
void OrderedDither(Surface& destination, const Surface& source, DitherMethod method);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_ORDERED_H_
