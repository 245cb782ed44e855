// Colour values as the controls hold them, and the palette entry format.
#ifndef TVCPIX_CORE_COLOR_H_
#define TVCPIX_CORE_COLOR_H_

#include <cstdint>

namespace tvcpix {

// Red in the low byte, green in byte 1, blue in byte 2, high byte 0.
using ColorValue = std::uint32_t;

constexpr ColorValue MakeColor(int red, int green, int blue) {
  return static_cast<ColorValue>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr std::uint8_t RedOf(ColorValue c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(ColorValue c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(ColorValue c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// One palette colour, laid out like a buffer pixel so its first three bytes copy straight in.
struct PaletteEntry {
  std::uint8_t blue = 0;
  std::uint8_t green = 0;
  std::uint8_t red = 0;
  std::uint8_t reserved = 0;

  friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

constexpr PaletteEntry EntryFromColor(ColorValue c) {
  return PaletteEntry{BlueOf(c), GreenOf(c), RedOf(c), 0};
}
constexpr ColorValue ColorFromEntry(const PaletteEntry& e) {
  return MakeColor(e.red, e.green, e.blue);
}

}  // namespace tvcpix

#endif  // TVCPIX_CORE_COLOR_H_
