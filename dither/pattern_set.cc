// The chart colours, the numbering of the 120 patterns and their colour tables.
#include "dither/pattern_set.h"

#include <cstddef>
#include <cstdint>

#include "core/tvc.h"

namespace tvcpix {

PaletteEntry ChartColor(int n) {
  // Colours 8..14 are the bright ones; the second black of the TVC table has no chart colour.
  const bool bright = n >= 8;
  const int bits = bright ? n - 7 : n;
  const std::uint8_t level = bright ? kBrightLevel : kChartDarkLevel;
  PaletteEntry e;
  e.blue = (bits & kIndexBlue) ? level : 0;
  e.red = (bits & kIndexRed) ? level : 0;
  e.green = (bits & kIndexGreen) ? level : 0;
  return e;
}

void PatternPair(int k, int* i, int* j) {
  int row = 0;
  // Row r holds the 15 - r patterns from PatternIndex(r, r) on.
  while (row < 14 && k >= PatternIndex(row + 1, row + 1)) ++row;
  *i = row;
  *j = k - PatternIndex(row, 0);
}

PaletteEntry MatchColor(int k) {
  int i = 0;
  int j = 0;
  PatternPair(k, &i, &j);
  const PaletteEntry a = ChartColor(i);
  const PaletteEntry b = ChartColor(j);
  const auto mean = [](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>((x + y + 1) / 2);
  };
  return PaletteEntry{mean(a.blue, b.blue), mean(a.green, b.green), mean(a.red, b.red), 0};
}

void FillPatternPairs(PatternSet& set) {
  for (int i = 0; i <= 14; ++i) {
    for (int j = i; j <= 14; ++j) {
      const auto k = static_cast<std::size_t>(PatternIndex(i, j));
      set.columns[0][k] = ChartColor(j);
      set.columns[1][k] = ChartColor(i);
    }
  }
}

void SwapPattern(PatternSet& set, int k) {
  const auto n = static_cast<std::size_t>(k);
  set.columns[2][n] = set.columns[1][n];
  set.columns[1][n] = set.columns[0][n];
  set.columns[0][n] = set.columns[2][n];
}

void FillPatternPalette(Palette& palette) {
  palette.Resize(kPatternCount);
  for (int k = 0; k < kPatternCount; ++k) palette.Set(k, MatchColor(k));
}

}  // namespace tvcpix
