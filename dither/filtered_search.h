// "Best": a direct binary search on the eye-filtered error. Starting from a dithered result,
// each pixel in turn takes the palette colour that lowers the filtered difference to the
// source the most (toggles only), pass after pass, until a pass changes nothing or the passes
// run out. The error lives in the opponent planes of S-CIELAB, each filtered by its pair of
// Gaussians laid out for the displayed pixel shape, weighted per pixel by the slope of CIELAB
// lightness at the source's luminance (so a step in the dark counts more). The squared
// filtered error is kept as its correlation with the filter, so a toggle is judged from one
// value per plane and applied by adding one small window.
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
