// The perceptual methods (numbered after the seventeen) as one entry point for the
// conversion: each method's options for a mode and a user's strength.
#ifndef TVCPIX_DITHER_PERCEPTUAL_METHODS_H_
#define TVCPIX_DITHER_PERCEPTUAL_METHODS_H_

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {

// A strength that leaves each method its measured default for the mode.
constexpr int kDefaultStrength = -1;

// The strength (share of the error passed on, 0..100) a method uses in a mode when the user
// gives none. In Graphics 16 the diffusion always passes on the error's colour part in full
// and the strength is the share of its luminance part; elsewhere it is the share of all of it.
int DefaultStrength(DitherMethod method, TvcMode mode);

// Runs a perceptual method on the mode's preview in place against the mode's palette (the
// 16-colour table, or the swatches in Graphics 4 and 2); afterwards every pixel is exactly one
// of the palette's colours. strength: 0..100, or kDefaultStrength. Does nothing for the
// seventeen original methods.
void RunPerceptualMethod(DitherMethod method, TvcMode mode, int strength, const Palette& palette,
                         Surface& preview);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PERCEPTUAL_METHODS_H_
