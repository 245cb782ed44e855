// "Perceptual": error diffusion that carries the error in linear light and matches each pixel
// to the palette with a luminance-weighted distance, optionally in serpentine order.
#ifndef TVCPIX_DITHER_PERCEPTUAL_H_
#define TVCPIX_DITHER_PERCEPTUAL_H_

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/linear_light.h"

namespace tvcpix {

struct PerceptualOptions {
  int strength = 100;  // share of the error passed on, 0..100
  // Share of the error's luminance part passed on, 0..100, or -1 for `strength`; the rest of
  // the error (its colour part) goes on at `strength`. The metric sees single pixels' light
  // but only blurred colour, so colour is worth carrying further than light.
  int luma_strength = -1;
  bool serpentine = true;  // odd rows right to left
  bool linear = true;      // error in linear light (false: in sRGB bytes)
  ColorWeights weights = kLumaWeighted;
  // Match in sRGB-encoded values (the carried error stays linear): a step in the dark counts
  // as much as one in the light, as the eye sees it.
  bool match_encoded = false;
};

// The options measured best on the bundled photos (S-CIELAB, bench/quality): Graphics 16
// carries the error in linear light, matches in encoded values, passes on all of the error's
// colour part but only 15 % of its luminance part (the metric sees each pixel's light but
// only blurred colour); with the 2 and 4 colours the picks in linear light lean too far to
// the dark colour and measured worse, so those modes carry sRGB errors with the plain
// distance and pass on 60 %.
PerceptualOptions PerceptualOptionsFor(TvcMode mode);

// Dithers the preview in place (top-down BGR, any size) to the palette's colours: afterwards
// every pixel is exactly one of the palette's entries. The palette needs at least one entry.
void PerceptualDiffusion(Surface& preview, const Palette& palette,
                         const PerceptualOptions& options = {});

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PERCEPTUAL_H_
