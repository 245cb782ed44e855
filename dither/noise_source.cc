// The "Treshold+Noise" random source: the standard mt19937 sequence, drawn a block at a time.
#include "dither/noise_source.h"

#include <algorithm>

namespace tvcpix {

namespace {
constexpr std::uint32_t kMatrix = 0x9908B0DFu;
constexpr int kShift = 397;  // the partner word of each step
constexpr std::uint32_t kUpper = 0x80000000u, kLower = 0x7FFFFFFFu;

inline std::uint32_t Step(std::uint32_t word, std::uint32_t next, std::uint32_t partner) {
  const std::uint32_t y = (word & kUpper) | (next & kLower);
  return partner ^ (y >> 1) ^ ((0u - (y & 1u)) & kMatrix);
}
}  // namespace

NoiseSource::NoiseSource() {
  state_[0] = 5489u;
  for (int i = 1; i < kStateSize; ++i) {
    const std::uint32_t prev = state_[static_cast<std::size_t>(i - 1)];
    state_[static_cast<std::size_t>(i)] = 1812433253u * (prev ^ (prev >> 30)) + static_cast<std::uint32_t>(i);
  }
}

void NoiseSource::Refill() {
  std::uint32_t* s = state_.data();
  constexpr int kSplit = kStateSize - kShift;
  for (int i = 0; i < kSplit; ++i) s[i] = Step(s[i], s[i + 1], s[i + kShift]);
  for (int i = kSplit; i < kStateSize - 1; ++i) s[i] = Step(s[i], s[i + 1], s[i - kSplit]);
  s[kStateSize - 1] = Step(s[kStateSize - 1], s[0], s[kShift - 1]);
  used_ = 0;
}

void NoiseSource::Next(float* out, std::size_t n) {
  while (n > 0) {
    if (used_ == kStateSize) Refill();
    const std::size_t take = std::min<std::size_t>(n, static_cast<std::size_t>(kStateSize - used_));
    const std::uint32_t* s = state_.data() + used_;
    for (std::size_t k = 0; k < take; ++k) {
      std::uint32_t y = s[k];
      y ^= y >> 11;
      y ^= (y << 7) & 0x9D2C5680u;
      y ^= (y << 15) & 0xEFC60000u;
      y ^= y >> 18;
      out[k] = static_cast<float>(y >> 8) * (1.0f / 16777216.0f);
    }
    used_ += static_cast<int>(take);
    out += take;
    n -= take;
  }
}

}  // namespace tvcpix
