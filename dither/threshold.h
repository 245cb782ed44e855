// "Treshold" and "Treshold+Noise".
#ifndef TVCPIX_DITHER_THRESHOLD_H_
#define TVCPIX_DITHER_THRESHOLD_H_

#include <cstdint>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/noise_source.h"

namespace tvcpix {

void Treshold(Surface& destination, const Surface& source, const Palette& palette);

void TresholdNoise(Surface& destination, const Surface& source, const Palette& palette,
                   std::uint8_t amplitude, NoiseSource& noise);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_THRESHOLD_H_
