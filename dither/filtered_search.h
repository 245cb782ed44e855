// "Best": a direct binary search on the eye-filtered error. Starting from a dithered result,
// each pixel in turn takes the palette colour that lowers the filtered difference to the
// source the most (toggles only), pass after pass, until a pass changes nothing or the passes
// run out. The error lives in the opponent planes of S-CIELAB computed from encoded values,
// each filtered by its Gaussians laid out for the displayed pixel shape (a block of equal
// screen pixels, so the narrow Gaussians blur across its edges as on the screen), and costs
// its linearised CIELAB length. The gradient of the squared filtered error is kept per plane,
// so a toggle is judged from three values and applied by adding nine small windows.
#ifndef TVCPIX_DITHER_FILTERED_SEARCH_H_
#define TVCPIX_DITHER_FILTERED_SEARCH_H_

#include "core/palette.h"
#include "core/surface.h"
#include "dither/aspect_ordered.h"

namespace tvcpix {

constexpr int kRefinePasses = 6;

// Refines result (the same size as source, every pixel a colour of the palette; a pixel of
// another colour counts as the nearest entry) in place. Deterministic: plain arithmetic in a
// fixed order.
void RefineByFilteredError(const Surface& source, const Palette& palette, PixelAspect aspect,
                           Surface& result, int passes = kRefinePasses);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_FILTERED_SEARCH_H_
