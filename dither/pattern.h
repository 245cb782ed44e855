// "Pattern TVC": every pixel picks its pattern, the checkerboard phase picks A or B.
#ifndef TVCPIX_DITHER_PATTERN_H_
#define TVCPIX_DITHER_PATTERN_H_

#include "dither/pattern_set.h"
#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {

// The pattern pass; the palette holds the 120 match colours, flags say which are excluded.
void PatternDither(Surface& destination, const Surface& source, const Palette& palette,
                   const PatternFlags& flags, const PatternSet& patterns);

// Column 0 of the flags from a picture: entries nobody picks become excluded.
void AutoPalette(const Surface& surface, const Palette& palette, PatternFlags& flags);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PATTERN_H_
