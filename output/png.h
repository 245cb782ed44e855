// PNG files of a result picture.
#ifndef TVCPIX_OUTPUT_PNG_H_
#define TVCPIX_OUTPUT_PNG_H_

#include <cstdint>
#include <vector>

#include "core/surface.h"

namespace tvcpix {

// The surface as PNG file bytes, every pixel exact; empty when encoding failed.
std::vector<std::uint8_t> EncodePng(const Surface& surface);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_PNG_H_
