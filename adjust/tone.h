// The four tone filters of the sliders.
#ifndef TVCPIX_ADJUST_TONE_H_
#define TVCPIX_ADJUST_TONE_H_

#include "core/surface.h"

namespace tvcpix {

void AdjustBrightness(Surface& destination, const Surface& source, int value);
void AdjustGamma(Surface& destination, const Surface& source, float value);
void AdjustColor(Surface& destination, const Surface& source, int value);
void AdjustContrast(Surface& destination, const Surface& source, int value);

}  // namespace tvcpix

#endif  // TVCPIX_ADJUST_TONE_H_
