// Random test pictures.
#ifndef TVCPIX_TESTS_SUPPORT_RANDOM_SURFACE_H_
#define TVCPIX_TESTS_SUPPORT_RANDOM_SURFACE_H_

#include <cstdint>
#include <random>

#include "core/surface.h"

namespace tvcpix::test {

// Random pixels; with `runs`, pixels repeating the one before and rows repeating the one
// above, so the colour count's shortcuts are both taken and missed.
inline Surface RandomSurface(int width, int height, std::mt19937& rng, bool runs = false) {
  Surface s("test", width, height, MakeColor(9, 8, 7));
  for (std::size_t i = 0; i < s.size_bytes(); ++i) {
    const std::size_t from = !runs ? 0 : i / s.stride() % 3 == 1 ? s.stride() : i / 3 % 3 ? 3 : 0;
    s.data()[i] = from && i >= from ? s.data()[i - from] : static_cast<std::uint8_t>(rng());
  }
  return s;
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_RANDOM_SURFACE_H_
