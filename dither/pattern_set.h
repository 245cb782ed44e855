// The 120 two-colour patterns: chart colours, match colours and the A/B colour table.
#ifndef TVCPIX_DITHER_PATTERN_SET_H_
#define TVCPIX_DITHER_PATTERN_SET_H_

#include <array>

#include "core/color.h"
#include "core/palette.h"

namespace tvcpix {

// Column 0 colour A, column 1 colour B, column 2 the scratch slot used while swapping.
struct PatternSet {
  std::array<std::array<PaletteEntry, kPatternCount>, 3> columns{};

  const PaletteEntry& A(int k) const { return columns[0][static_cast<std::size_t>(k)]; }
  const PaletteEntry& B(int k) const { return columns[1][static_cast<std::size_t>(k)]; }
};

// Chart colour n (0..14): the TVC colours without the second black, half level 147.
PaletteEntry ChartColor(int n);
// Pattern number of the chart pair (i, j), 0 <= i <= j <= 14.
constexpr int PatternIndex(int i, int j) { return i * (29 - i) / 2 + j; }
// The chart pair of pattern k.
void PatternPair(int k, int* i, int* j);
// Match colour M(k): per channel (a + b + 1) / 2 of the pair's chart colours.
PaletteEntry MatchColor(int k);

// Fills columns 0 and 1: A(k) = chart colour j, B(k) = chart colour i.
void FillPatternPairs(PatternSet& set);
// Swaps A and B of pattern k through the scratch slot.
void SwapPattern(PatternSet& set, int k);
// Resizes the palette to 120 entries and sets entry k = M(k).
void FillPatternPalette(Palette& palette);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PATTERN_SET_H_
