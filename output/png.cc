// PNG files of a result: a palette image when it has at most 256 colours (every screen has),
// 24-bit otherwise. Rows are stored unfiltered and deflated at the strongest level.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "output/png.h"

namespace tvcpix {
namespace {

void PutBe32(std::vector<std::uint8_t>* out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<std::uint8_t>(v >> shift));
}

void PutChunk(std::vector<std::uint8_t>* out, std::string_view type,
              const std::vector<std::uint8_t>& data) {
  PutBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out->size();
  out->insert(out->end(), type.begin(), type.end());
  out->insert(out->end(), data.begin(), data.end());
  const uLong crc = crc32(0L, out->data() + start, static_cast<uInt>(out->size() - start));
  PutBe32(out, static_cast<std::uint32_t>(crc));
}

}  // namespace

std::vector<std::uint8_t> EncodePng(const Surface& surface) {
  const int w = surface.width(), h = surface.height();
  if (w <= 0 || h <= 0) return {};
  std::unordered_map<std::uint32_t, std::uint8_t> index_of;
  std::vector<std::uint8_t> palette;  // red, green, blue per entry
  for (int y = 0; y < h && index_of.size() <= 256; ++y) {
    const std::uint8_t* p = surface.row(y);
    for (int x = 0; x < w && index_of.size() <= 256; ++x, p += 3) {
      const std::uint32_t c = p[2] << 16 | p[1] << 8 | p[0];
      if (index_of.emplace(c, static_cast<std::uint8_t>(index_of.size())).second) {
        palette.insert(palette.end(), {p[2], p[1], p[0]});
      }
    }
  }
  const bool indexed = index_of.size() <= 256;
  const std::size_t row_bytes = static_cast<std::size_t>(w) * (indexed ? 1 : 3);
  std::vector<std::uint8_t> raw;
  raw.reserve((row_bytes + 1) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);  // filter type: none
    const std::uint8_t* p = surface.row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      if (indexed) {
        raw.push_back(index_of.find(p[2] << 16 | p[1] << 8 | p[0])->second);
      } else {
        raw.insert(raw.end(), {p[2], p[1], p[0]});
      }
    }
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packed_size);
  if (compress2(packed.data(), &packed_size, raw.data(), static_cast<uLong>(raw.size()),
                Z_BEST_COMPRESSION) != Z_OK) {
    return {};
  }
  packed.resize(packed_size);

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBe32(&header, static_cast<std::uint32_t>(w));
  PutBe32(&header, static_cast<std::uint32_t>(h));
  header.insert(header.end(), {8, static_cast<std::uint8_t>(indexed ? 3 : 2), 0, 0, 0});
  PutChunk(&png, "IHDR", header);
  if (indexed) PutChunk(&png, "PLTE", palette);
  PutChunk(&png, "IDAT", packed);
  PutChunk(&png, "IEND", {});
  return png;
}

}  // namespace tvcpix
