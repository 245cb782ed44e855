// The working palette, the built-in colour tables, the pattern flags and the nearest-colour
// searches.
#ifndef TVCPIX_CORE_PALETTE_H_
#define TVCPIX_CORE_PALETTE_H_

#include <array>
#include <cstdint>
#include <vector>

#include "core/color.h"

namespace tvcpix {

constexpr int kPatternCount = 120;

// Two columns per pattern-palette entry: excluded (switched off) and swapped.
struct PatternFlags {
  std::array<std::int32_t, kPatternCount> excluded{};
  std::array<std::int32_t, kPatternCount> swapped{};
};

// The working palette: 2, 4, 16 or 120 entries.
class Palette {
 public:
  int size() const { return static_cast<int>(entries_.size()); }
  const PaletteEntry& operator[](int i) const { return entries_[static_cast<std::size_t>(i)]; }
  const std::vector<PaletteEntry>& entries() const { return entries_; }

  // Resizing always clears: every entry becomes black.
  void Resize(int n);
  void Set(int i, const PaletteEntry& e);

 private:
  std::vector<PaletteEntry> entries_;
};

// The fixed tables.
PaletteEntry Tvc16Color(int index);  // the 16-colour table, levels 0/145/255
void BuildPalette16(Palette& palette);
// The swatches at program start, as indices into the 16-colour table: black, white, blue, red
// for 4 colours; black, white for 2.
inline constexpr std::array<int, 4> kStartPalette4Indices = {0, 15, 9, 10};
inline constexpr std::array<int, 2> kStartPalette2Indices = {0, 15};
// Entry i from swatch colour i (n entries).
void PaletteFromSwatches(Palette& palette, const ColorValue* swatches, int n);

// Unweighted squared distance, lowest index on ties, stop at an exact match.
int NearestIndex(const Palette& palette, int red, int green, int blue);
// As NearestIndex but skips excluded entries while the palette has exactly 120 entries;
// 0 when every entry is skipped.
int NearestIndexUnmarked(const Palette& palette, const PatternFlags& flags, int red, int green,
                         int blue);

}  // namespace tvcpix

#endif  // TVCPIX_CORE_PALETTE_H_
