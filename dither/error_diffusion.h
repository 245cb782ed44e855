// The eight error-diffusion methods, and the snap-to-palette post-pass.
#ifndef TVCPIX_DITHER_ERROR_DIFFUSION_H_
#define TVCPIX_DITHER_ERROR_DIFFUSION_H_

#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"

namespace tvcpix {

// True for the eight kernels (Atkinson, Floyd, Sierra, Burkles, Stucky, Jarvis, Sierra Lite,
// Sierra2 Row).
bool IsErrorDiffusion(DitherMethod method);
void DiffuseError(Surface& destination, const Surface& source, DitherMethod method,
                  const Palette& palette);
// Every pixel becomes its nearest palette colour.
void SnapToPalette(Surface& destination, const Surface& source, const Palette& palette);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_ERROR_DIFFUSION_H_
