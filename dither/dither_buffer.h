// The dithering methods' working buffer: top-down, picture inside a black margin.
#ifndef TVCPIX_DITHER_DITHER_BUFFER_H_
#define TVCPIX_DITHER_DITHER_BUFFER_H_

#include <cstdint>
#include <vector>

#include "core/surface.h"

namespace tvcpix {

// Rows of R = W + p + 2m pixels (3 bytes each: blue, green, red), H + 2m rows, top row first;
// the picture sits at (m, m). Everything else starts black.
struct DitherBuffer {
  int width = 0;    // W
  int height = 0;   // H
  int margin = 0;   // m
  int row_pixels = 0;  // R
  int rows = 0;        // H + 2m
  std::vector<std::uint8_t> bytes;

  std::size_t stride() const { return static_cast<std::size_t>(row_pixels) * 3; }
  std::size_t Offset(int x, int y) const {
    return stride() * static_cast<std::size_t>(y) + static_cast<std::size_t>(x) * 3;
  }
  std::uint8_t* At(int x, int y) { return bytes.data() + Offset(x, y); }
};

// Steps 1-2 of the buffer life cycle: allocate (black) and copy the source in at (m, m).
DitherBuffer MakeDitherBuffer(const Surface& source, int margin);
// Writes the picture area back to the destination at (0, 0), clipped.
void WriteBack(const DitherBuffer& buffer, Surface& destination);
// Fills the four lines directly outside each edge with copies of the edge row or column.
void ReplicateEdges(DitherBuffer& buffer);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_DITHER_BUFFER_H_
