// "Treshold" and "Treshold+Noise".
#ifndef TVCPIX_DITHER_THRESHOLD_H_
#define TVCPIX_DITHER_THRESHOLD_H_

#include <cstdint>
#include <random>

#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {

void Treshold(Surface& destination, const Surface& source, const Palette& palette);

// The "Treshold+Noise" random source: uniform single-precision values in [0, 1), the same
// sequence from every start. mt19937 is fixed by the standard, so the sequence is the same on
// every library; 24 bits times 2^-24 can never reach 1.
class NoiseSource {
 public:
  float Next() { return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f); }

 private:
  std::mt19937 engine_;  // default seed 5489, never reseeded
};

void TresholdNoise(Surface& destination, const Surface& source, const Palette& palette,
                   std::uint8_t amplitude, NoiseSource& noise);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_THRESHOLD_H_
