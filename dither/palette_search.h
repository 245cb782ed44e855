// Choosing the 4 (Graphics 4) or 2 (Graphics 2) of the TVC's colours that suit a picture.
//
// The fifteen distinct colours of the 16-colour table (index 8 repeats black and is never
// chosen) give 1365 four-colour and 105 two-colour palettes. A cheap proxy ranks them all on
// a reduced picture: for every reduced pixel and every pair of colours, the cost of showing
// the pixel as a mix of the pair (the CIELAB colour of the mix's mean against the pixel's,
// and the mean lightness step of the mix's single pixels, as the metric sees light almost
// pixel by pixel) is computed once, and a palette costs the sum over pixels of its best pair. Only
// the best few by the proxy are converted with the caller's method and scored by a filtered error;
// the three best of those are returned.
#ifndef TVCPIX_DITHER_PALETTE_SEARCH_H_
#define TVCPIX_DITHER_PALETTE_SEARCH_H_

#include <functional>
#include <vector>

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {

// Converts the preview in place with the given palette (the swatch palette of the mode).
using PaletteConvert = std::function<void(Surface& preview, const Palette& palette)>;

struct RankedPalette {
  std::vector<int> indices;  // into the 16-colour table, ascending
  double error = 0;          // filtered error of the conversion (lower is better)
};

struct PaletteSearchOptions {
  // Palettes converted and scored after the proxy; 0: 16 in Graphics 4, 8 in Graphics 2
  // (whose previews are twice as big), which keeps a search of a 512 x 480 work picture
  // near 200 ms with the perceptual method.
  int finalists = 0;
  int keep = 3;  // palettes returned
  // Graphics 2: the two colours' CIELAB lightness must differ at least this much, so a
  // picture never comes out as two dull colours of nearly one brightness.
  double min_lightness_contrast = 40.0;
};

// The candidate palettes of a mode, each ascending, in lexicographic order; Graphics 2's
// without the pairs that fail the contrast guard.
std::vector<std::vector<int>> CandidatePalettes(TvcMode mode, double min_lightness_contrast);
// The palette of the given table indices.
Palette TvcPalette(const std::vector<int>& indices);

// The best palettes for the preview (Graphics 2 or 4, already scaled), best first; at most
// options.keep. Deterministic: ties go to the lexicographically smaller palette.
std::vector<RankedPalette> SearchPalettes(const Surface& preview, TvcMode mode,
                                          const PaletteConvert& convert,
                                          const PaletteSearchOptions& options = {});
// The same by converting and scoring every candidate: the reference the search is measured
// against (seconds, not milliseconds).
std::vector<RankedPalette> SearchPalettesExhaustive(const Surface& preview, TvcMode mode,
                                                    const PaletteConvert& convert,
                                                    const PaletteSearchOptions& options = {});

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_PALETTE_SEARCH_H_
