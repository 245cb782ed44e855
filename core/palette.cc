// The working palette, the fixed colour tables and the nearest-colour searches.
#include "core/palette.h"

#include "core/tvc.h"

namespace tvcpix {

void Palette::Resize(int n) {
  entries_.assign(static_cast<std::size_t>(n < 0 ? 0 : n), PaletteEntry{});
}

void Palette::Set(int i, const PaletteEntry& e) {
  PaletteEntry& slot = entries_[static_cast<std::size_t>(i)];
  slot = e;
  slot.reserved = 0;
}

PaletteEntry Tvc16Color(int index) {
  // Index 8 is a second black.
  const std::uint8_t level = (index & kIndexBright) ? kBrightLevel : kDarkLevel;
  PaletteEntry e;
  e.blue = (index & kIndexBlue) ? level : 0;
  e.red = (index & kIndexRed) ? level : 0;
  e.green = (index & kIndexGreen) ? level : 0;
  return e;
}

void BuildPalette16(Palette& palette) {
  palette.Resize(16);
  for (int i = 0; i < 16; ++i) palette.Set(i, Tvc16Color(i));
}

void PaletteFromSwatches(Palette& palette, const ColorValue* swatches, int n) {
  palette.Resize(n);
  for (int i = 0; i < n; ++i) palette.Set(i, EntryFromColor(swatches[i]));
}

namespace {

int Search(const Palette& palette, const PatternFlags* flags, int red, int green, int blue) {
  const bool skip = flags != nullptr && palette.size() == kPatternCount;
  int best = 999999999, best_index = 0;
  for (int i = 0; i < palette.size(); ++i) {
    if (skip && flags->excluded[static_cast<std::size_t>(i)] == 1) continue;
    const PaletteEntry& e = palette[i];
    const int dr = red - e.red, dg = green - e.green, db = blue - e.blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      best_index = i;
      if (d == 0) break;
    }
  }
  return best_index;
}

}  // namespace

int NearestIndex(const Palette& palette, int red, int green, int blue) {
  return Search(palette, nullptr, red, green, blue);
}

int NearestIndexUnmarked(const Palette& palette, const PatternFlags& flags, int red, int green,
                         int blue) {
  return Search(palette, &flags, red, green, blue);
}

}  // namespace tvcpix
