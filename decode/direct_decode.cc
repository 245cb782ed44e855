// Decoding the common JPEGs and BMPs without Qt, to exactly the pixels Qt's reader gives.
#include "decode/direct_decode.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "decode/picture_checks.h"

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace tvcpix {

namespace {

bool ReadAt(int fd, std::uint8_t* to, std::size_t n, long long at) {
  while (n > 0) {
    const ssize_t got = pread(fd, to, n, static_cast<off_t>(at));
    if (got <= 0) return false;
    to += got;
    n -= static_cast<std::size_t>(got);
    at += got;
  }
  return true;
}

std::uint32_t Get(const std::uint8_t* p, int n, bool big_endian) {
  std::uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[big_endian ? i : n - 1 - i];
  return v;
}

// The orientation an EXIF block asks for: 0 when it names none, 1..65535 the value it names,
// -1 when the block cannot be read with certainty.
int ExifOrientation(const std::uint8_t* data, std::size_t n) {
  if (n < 6 + 8) return -1;
  const std::uint8_t* tiff = data + 6;
  const std::size_t size = n - 6;
  bool big;
  if (tiff[0] == 'I' && tiff[1] == 'I') {
    big = false;
  } else if (tiff[0] == 'M' && tiff[1] == 'M') {
    big = true;
  } else {
    return -1;
  }
  if (Get(tiff + 2, 2, big) != 42) return -1;
  const std::size_t ifd = Get(tiff + 4, 4, big);
  if (ifd < 8 || ifd > size - 2) return -1;
  const std::size_t entries = Get(tiff + ifd, 2, big);
  if (entries > (size - ifd - 2) / 12) return -1;
  int orientation = 0;
  for (std::size_t i = 0; i < entries; ++i) {
    const std::uint8_t* e = tiff + ifd + 2 + 12 * i;
    if (Get(e, 2, big) != 0x0112) continue;
    if (orientation != 0 || Get(e + 2, 2, big) != 3 || Get(e + 4, 4, big) != 1) return -1;
    orientation = static_cast<int>(Get(e + 8, 2, big));
    if (orientation == 0) return -1;
  }
  return orientation;
}

// Whether the saved APP1 markers leave the picture as stored: no EXIF block, or exactly one
// that names orientation 1 or none.
bool StaysUpright(const jpeg_decompress_struct& info) {
  int exif_blocks = 0;
  for (jpeg_saved_marker_ptr m = info.marker_list; m != nullptr; m = m->next) {
    if (m->marker != JPEG_APP0 + 1 || m->data_length < 6 ||
        std::memcmp(m->data, "Exif\0\0", 6) != 0) {
      continue;
    }
    if (++exif_blocks > 1) return false;
    const int orientation = ExifOrientation(m->data, m->data_length);
    if (orientation != 0 && orientation != 1) return false;
  }
  return true;
}

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

// Errors and warnings alike end the direct decode; the fallback decides what they mean.
[[noreturn]] void Abandon(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) Abandon(info);
}
void Silent(j_common_ptr) {}

// The decode itself, with nothing here that a longjmp would have to destroy: the bytes and
// the pixel buffer belong to the caller.
bool DecodeJpegBytes(const PixelBytes& bytes, int fd, PixelBytes* pixels, int* width,
                     int* height) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.pub);
  errors.pub.error_exit = Abandon;
  errors.pub.emit_message = OnMessage;
  errors.pub.output_message = Silent;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  const bool colours_known = (info.jpeg_color_space == JCS_YCbCr && info.num_components == 3) ||
                             (info.jpeg_color_space == JCS_RGB && info.num_components == 3) ||
                             (info.jpeg_color_space == JCS_GRAYSCALE && info.num_components == 1);
  if (!colours_known || !DimensionProblem(info.image_width, info.image_height).empty() ||
      !StaysUpright(info) || !JpegRunsToEnd(fd, static_cast<long long>(bytes.size()))) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Blue, green, red: the surface's own byte order, written straight into its rows.
  info.out_color_space = JCS_EXT_BGR;
  jpeg_start_decompress(&info);
  const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
  pixels->resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[4];
    const JDIMENSION first = info.output_scanline;
    const JDIMENSION count = std::min<JDIMENSION>(4, info.output_height - first);
    for (JDIMENSION i = 0; i < count; ++i) rows[i] = pixels->data() + stride * (first + i);
    jpeg_read_scanlines(&info, rows, count);
  }
  jpeg_finish_decompress(&info);
  *width = static_cast<int>(info.output_width);
  *height = static_cast<int>(info.output_height);
  jpeg_destroy_decompress(&info);
  return true;
}

bool DecodeJpeg(int fd, long long size, Surface* picture) {
  PixelBytes bytes(static_cast<std::size_t>(size));
  if (!ReadAt(fd, bytes.data(), bytes.size(), 0)) return false;
  PixelBytes pixels;
  int width = 0, height = 0;
  if (!DecodeJpegBytes(bytes, fd, &pixels, &width, &height)) return false;
  Surface decoded("Pic1", 1, 1, MakeColor(128, 128, 128));
  decoded.Assign(width, height, std::move(pixels));
  *picture = std::move(decoded);
  return true;
}

// Uncompressed 24-bit rows are the surface's own bytes; only the row order and the padding to
// four bytes differ.
bool DecodeBmp(int fd, long long size, Surface* picture) {
  BmpHeader h;
  std::uint8_t head[28];
  if (!ReadBmpHeader(fd, &h) || !ReadAt(fd, head, sizeof(head), 0)) return false;
  const bool plain = (h.info_bytes == 40 || h.info_bytes == 108 || h.info_bytes == 124) &&
                     h.bits == 24 && h.compression == 0 && h.colors_used == 0 &&
                     head[26] == 1 && head[27] == 0;  // one plane
  if (!plain || h.header_bytes > size || h.offset < h.header_bytes ||
      !DimensionProblem(h.width, h.height).empty() || BmpBytesNeeded(h) > size) {
    return false;
  }
  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height < 0 ? -h.height : h.height);
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  const std::size_t row_bytes = (stride + 3) / 4 * 4;
  PixelBytes pixels(stride * static_cast<std::size_t>(height));
  const int chunk_rows = static_cast<int>(std::max<std::size_t>(1, (1 << 20) / row_bytes));
  PixelBytes chunk(row_bytes * static_cast<std::size_t>(chunk_rows));
  for (int first = 0; first < height; first += chunk_rows) {
    const int rows = std::min(chunk_rows, height - first);
    if (!ReadAt(fd, chunk.data(), row_bytes * static_cast<std::size_t>(rows),
                h.offset + static_cast<long long>(row_bytes) * first)) {
      return false;
    }
    for (int i = 0; i < rows; ++i) {
      const int stored = first + i;  // rows are stored bottom-up unless the height is negative
      const int y = h.height < 0 ? stored : height - 1 - stored;
      std::memcpy(pixels.data() + stride * static_cast<std::size_t>(y),
                  chunk.data() + row_bytes * static_cast<std::size_t>(i), stride);
    }
  }
  Surface decoded("Pic1", 1, 1, MakeColor(128, 128, 128));
  decoded.Assign(width, height, std::move(pixels));
  *picture = std::move(decoded);
  return true;
}

}  // namespace

bool DecodeDirect(int fd, long long size, Surface* picture) {
  std::uint8_t magic[3] = {};
  if (size < 3 || !ReadAt(fd, magic, sizeof(magic), 0)) return false;
  if (magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF) return DecodeJpeg(fd, size, picture);
  if (magic[0] == 'B' && magic[1] == 'M') return DecodeBmp(fd, size, picture);
  return false;
}

}  // namespace tvcpix
