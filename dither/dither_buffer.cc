// The dithering methods' working buffer and its edge fill.
#include "dither/dither_buffer.h"

#include <algorithm>
#include <cstring>

namespace tvcpix {

DitherBuffer MakeDitherBuffer(const Surface& source, int margin) {
  DitherBuffer b;
  b.width = source.width();
  b.height = source.height();
  b.margin = margin;
  b.row_pixels = b.width + PadFor(b.width) + 2 * margin;
  b.rows = b.height + 2 * margin;
  b.bytes.assign(b.stride() * static_cast<std::size_t>(b.rows), 0);
  for (int y = 0; y < b.height; ++y)
    std::memcpy(b.At(margin, margin + y), source.row(y), source.stride());
  return b;
}

void WriteBack(const DitherBuffer& buffer, Surface& destination) {
  const int w = std::min(buffer.width, destination.width());
  const int h = std::min(buffer.height, destination.height());
  for (int y = 0; y < h; ++y)
    std::memcpy(destination.row(y),
                buffer.bytes.data() + buffer.Offset(buffer.margin, buffer.margin + y),
                static_cast<std::size_t>(w) * 3);
}

void ReplicateEdges(DitherBuffer& b) {
  const int m = b.margin, w = b.width, h = b.height;
  if (w <= 0 || h <= 0) return;
  const std::size_t row_bytes = static_cast<std::size_t>(w) * 3;
  for (int k = 1; k <= 4; ++k) {
    std::memcpy(b.At(m, m - k), b.At(m, m), row_bytes);
    std::memcpy(b.At(m, m + h - 1 + k), b.At(m, m + h - 1), row_bytes);
  }
  for (int y = m; y < m + h; ++y) {
    for (int k = 1; k <= 4; ++k) {
      std::memcpy(b.At(m - k, y), b.At(m, y), 3);
      std::memcpy(b.At(m + w - 1 + k, y), b.At(m + w - 1, y), 3);
    }
  }
}

}  // namespace tvcpix
