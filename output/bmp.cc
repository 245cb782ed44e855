// Encoding a Surface as a 24-bit BMP file.
#include "output/bmp.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace tvcpix {

namespace {

void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

constexpr std::uint32_t kPixelsPerMetre = 3780;  // 96 dots per inch

}  // namespace

PixelBytes EncodeBmp24Pixels(const Surface& surface) {
  const int width = surface.width();
  const int height = surface.height();
  if (width <= 0 || height <= 0) return {};
  const std::uint64_t row_bytes = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t image_bytes = row_bytes * static_cast<std::uint64_t>(height);
  const std::uint64_t file_bytes = image_bytes + kBmpHeaderBytes;
  // Sizes are 32-bit fields; the width and height are signed.
  if (file_bytes > std::numeric_limits<std::uint32_t>::max()) return {};

  PixelBytes file(static_cast<std::size_t>(file_bytes));
  std::uint8_t* h = file.data();
  std::memset(h, 0, kBmpHeaderBytes);
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, static_cast<std::uint32_t>(file_bytes));
  Put32(h + 10, kBmpHeaderBytes);  // offset of the pixels
  Put32(h + 14, 40);               // BITMAPINFOHEADER size
  Put32(h + 18, static_cast<std::uint32_t>(width));
  Put32(h + 22, static_cast<std::uint32_t>(height));  // positive: bottom-up
  Put16(h + 26, 1);                                   // planes
  Put16(h + 28, 24);                                  // bits per pixel
  Put32(h + 30, 0);                                   // BI_RGB
  Put32(h + 34, static_cast<std::uint32_t>(image_bytes));
  Put32(h + 38, kPixelsPerMetre);
  Put32(h + 42, kPixelsPerMetre);
  // Colours used and important stay 0.

  // Surface rows are top-down BGR already; only the row order flips. Padding stays zero.
  const std::size_t src_bytes = surface.stride();
  std::uint8_t* out = file.data() + kBmpHeaderBytes;
  for (int y = height - 1; y >= 0; --y, out += row_bytes) {
    std::memcpy(out, surface.row(y), src_bytes);
    std::memset(out + src_bytes, 0, static_cast<std::size_t>(row_bytes) - src_bytes);
  }
  return file;
}

}  // namespace tvcpix
