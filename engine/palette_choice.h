// The best swatch palettes (Graphics 4 and 2) for the work picture and the selected method:
// the palette search of dither/palette_search.h run with the conversion itself.
#ifndef TVCPIX_ENGINE_PALETTE_CHOICE_H_
#define TVCPIX_ENGINE_PALETTE_CHOICE_H_

#include <array>
#include <vector>

#include "core/color.h"
#include "dither/palette_search.h"
#include "engine/conversion.h"

namespace tvcpix {

// The best palettes for the input's mode and method, best first (at most keep; none in
// Graphics 16). Each candidate is converted from copies of the tables as they are, so the
// tables, the noise sequence and every earlier result stay untouched. current_preview is the
// mode's preview surface (its size, and its border when "Resize " is off).
std::vector<RankedPalette> BestPalettesFor(const ConversionInput& input,
                                           const ConversionTables& tables,
                                           const Surface& current_preview, int keep = 3);

// The swatch colours of a palette given as indices of the 16-colour table.
std::array<ColorValue, 4> Swatches4(const std::vector<int>& indices);
std::array<ColorValue, 2> Swatches2(const std::vector<int>& indices);

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_PALETTE_CHOICE_H_
