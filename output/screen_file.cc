// The TVC screen image, packed from a preview, and the ".tim" header.
#include "output/screen_file.h"

#include <algorithm>
#include <cstddef>

#include "core/nearest_cache.h"

namespace tvcpix {

namespace {


}  // namespace

std::uint8_t TvcColorCode(const PaletteEntry& entry) {
  std::uint8_t code = 0;
  if (entry.red == kBrightLevel || entry.green == kBrightLevel || entry.blue == kBrightLevel)
    code |= kCodeIntensity;
  if (entry.green != 0) code |= kCodeGreen;
  if (entry.red != 0) code |= kCodeRed;
  if (entry.blue != 0) code |= kCodeBlue;
  return code;
}

bool PaletteFitsMode(const Palette& palette, TvcMode mode, std::string* reason) {
  const int n = palette.size();
  bool fits = false;
  const char* wanted = "";
  switch (mode) {
    case TvcMode::kGraphics2:
      fits = n == 2;
      wanted = "2";
      break;
    case TvcMode::kGraphics4:
      fits = n == 4;
      wanted = "4";
      break;
    case TvcMode::kGraphics16:
      fits = n == 16 || n == kPatternCount;
      wanted = "16 or 120";
      break;
  }
  if (!fits && reason != nullptr) {
    *reason = "the palette has " + std::to_string(n) + " entries, \"" + InfoOf(mode).caption +
              "\" needs " + wanted;
  }
  return fits;
}

std::vector<std::uint8_t> BuildScreenImage(const Surface& preview, TvcMode mode,
                                           const Palette& palette) {
  std::vector<std::uint8_t> image(kScreenBytes, 0);
  // Nothing to match against: callers refuse such a palette, keep the image blank.
  if (palette.size() == 0) return image;

  const ModeInfo& info = InfoOf(mode);
  const int per_byte = info.pixels_per_byte;
  const int row_pixels = info.preview_width;
  const int rows = std::min(kScreenRows, info.preview_height);
  NearestMatcher& matcher = SharedMatcher(palette, nullptr);
  std::vector<std::uint8_t> codes(static_cast<std::size_t>(palette.size()));
  for (int i = 0; i < palette.size(); ++i)
    codes[static_cast<std::size_t>(i)] = TvcColorCode(palette[i]);

  // A preview smaller than the mode's size reads as its background beyond its edges.
  const ColorValue bg = preview.background();
  const int bg_index = matcher.Index(RedOf(bg), GreenOf(bg), BlueOf(bg));
  const int inside_x = std::min(row_pixels, preview.width());

  std::vector<int> indices(static_cast<std::size_t>(row_pixels));
  for (int y = 0; y < rows; ++y) {
    int x = 0;
    if (y < preview.height()) {
      const std::uint8_t* p = preview.row(y);
      for (; x < inside_x; ++x, p += 3) {
        indices[static_cast<std::size_t>(x)] = matcher.Index(p[2], p[1], p[0]);
      }
    }
    for (; x < row_pixels; ++x) indices[static_cast<std::size_t>(x)] = bg_index;

    std::uint8_t* out = image.data() + static_cast<std::size_t>(y) * kScreenRowBytes;
    const int* idx = indices.data();
    const int bytes = row_pixels / per_byte;
    switch (mode) {
      case TvcMode::kGraphics16:
        for (int b = 0; b < bytes; ++b, idx += 2) {
          out[b] = static_cast<std::uint8_t>((codes[static_cast<std::size_t>(idx[0])] << 1) |
                                             codes[static_cast<std::size_t>(idx[1])]);
        }
        break;
      case TvcMode::kGraphics4:
        // Low index bits in the high nibble, high bits in the low nibble.
        for (int b = 0; b < bytes; ++b, idx += 4) {
          int byte = 0;
          for (int j = 0; j < 4; ++j) {
            byte |= (idx[j] & 1) << (7 - j);
            byte |= ((idx[j] >> 1) & 1) << (3 - j);
          }
          out[b] = static_cast<std::uint8_t>(byte);
        }
        break;
      case TvcMode::kGraphics2:
        for (int b = 0; b < bytes; ++b, idx += 8) {
          int byte = 0;
          for (int j = 0; j < 8; ++j) byte |= (idx[j] & 1) << (7 - j);
          out[b] = static_cast<std::uint8_t>(byte);
        }
        break;
    }
  }
  return image;
}

std::array<std::uint8_t, kTimHeaderBytes> TimHeader(TvcMode mode, const Palette& palette) {
  std::array<std::uint8_t, kTimHeaderBytes> header{};
  header[0] = 'T';
  header[1] = 'I';
  header[2] = 'M';
  header[3] = static_cast<std::uint8_t>(InfoOf(mode).mode_byte);
  int codes = 0;
  if (mode == TvcMode::kGraphics4) codes = 4;
  if (mode == TvcMode::kGraphics2) codes = 2;
  // Entries the palette lacks stay zero rather than being read past its end.
  codes = std::min(codes, palette.size());
  for (int i = 0; i < codes; ++i)
    header[static_cast<std::size_t>(4 + i)] = TvcColorCode(palette[i]);
  return header;
}

}  // namespace tvcpix
