// The "Treshold+Noise" random source: the standard mt19937 sequence, drawn a block at a time.
#ifndef TVCPIX_DITHER_NOISE_SOURCE_H_
#define TVCPIX_DITHER_NOISE_SOURCE_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tvcpix {

// Uniform single-precision values in [0, 1), the same sequence from every start: the
// numbers of std::mt19937 with its default seed 5489 (fixed by the standard, so the same on
// every machine), 24 bits of each times 2^-24, which can never reach 1. The generator is
// written out here so a whole row of numbers comes from one branch-free pass over its state,
// instead of a call and a refill test per number.
class NoiseSource {
 public:
  NoiseSource();

  float Next() {
    float value;
    Next(&value, 1);
    return value;
  }
  // The next n values, in order: the same as n calls of Next().
  void Next(float* out, std::size_t n);

 private:
  static constexpr int kStateSize = 624;
  void Refill();

  std::array<std::uint32_t, kStateSize> state_;
  int used_ = kStateSize;  // the state is refilled before its first use, as the standard's is
};

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_NOISE_SOURCE_H_
