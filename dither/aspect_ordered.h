// "Screen": an ordered method for the TVC's non-square pixels. Each pixel's colour is split
// into a mix of palette colours in linear light (a plan of 16 picks whose mean approaches the
// colour); a void-and-cluster threshold tile, laid out for the pixel's displayed shape, picks
// one of them. No error travels between pixels, so a change stays local and the result is
// the same for a pixel wherever it sits in the picture, except for its place in the tile.
#ifndef TVCPIX_DITHER_ASPECT_ORDERED_H_
#define TVCPIX_DITHER_ASPECT_ORDERED_H_

#include <array>
#include <cstdint>

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/linear_light.h"

namespace tvcpix {

// How wide and how high one preview pixel shows on the 512 x 480 screen.
struct PixelAspect {
  int width = 1;
  int height = 1;
};
// Graphics 16: 4 x 2, Graphics 4: 2 x 2, Graphics 2: 1 x 2.
PixelAspect PixelAspectOf(TvcMode mode);

// The 16 x 16 threshold tile (ranks 0..255, row-major) for a pixel shape: one tile for square
// pixels, one for pixels twice as wide as high, and its transpose for twice as high.
std::array<std::uint8_t, 256> ThresholdTile(PixelAspect aspect);

// Dithers the preview in place to the palette's colours; every pixel becomes exactly one of
// the palette's entries. The palette needs at least one entry. Strength 0..100 is the share
// of each pick's error the next pick makes up: 0 shows the nearest colour, 100 the full mix.
// Plans are made per cell of a 32-level colour cube, so colours within one cell look alike.
// linear: mix in linear light (else in sRGB values, as the eye's lightness steps go).
void AspectOrderedDither(Surface& preview, const Palette& palette, PixelAspect aspect,
                         const ColorWeights& weights = kLumaWeighted, int strength = 100,
                         bool linear = true);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_ASPECT_ORDERED_H_
