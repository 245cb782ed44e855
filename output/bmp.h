// Encoding a Surface as a 24-bit BMP file.
#ifndef TVCPIX_OUTPUT_BMP_H_
#define TVCPIX_OUTPUT_BMP_H_

#include "core/surface.h"

namespace tvcpix {

constexpr int kBmpHeaderBytes = 54;  // BITMAPFILEHEADER + BITMAPINFOHEADER

// The complete file in picture memory (no zero fill, huge pages), for writing out at once:
// BITMAPFILEHEADER, BITMAPINFOHEADER (24 bits per pixel, no compression), then the rows
// bottom-up, each padded to a multiple of 4 bytes. Every pixel is kept exactly. Empty for a
// surface without pixels or one too large for the format.
PixelBytes EncodeBmp24Pixels(const Surface& surface);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_BMP_H_
