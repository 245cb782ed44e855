// The palette search through the engine's conversion.
#include "engine/palette_choice.h"

#include <algorithm>

namespace tvcpix {

std::array<ColorValue, 4> Swatches4(const std::vector<int>& indices) {
  std::array<ColorValue, 4> out{};
  for (std::size_t i = 0; i < out.size() && i < indices.size(); ++i)
    out[i] = ColorFromEntry(Tvc16Color(indices[i]));
  return out;
}

std::array<ColorValue, 2> Swatches2(const std::vector<int>& indices) {
  std::array<ColorValue, 2> out{};
  for (std::size_t i = 0; i < out.size() && i < indices.size(); ++i)
    out[i] = ColorFromEntry(Tvc16Color(indices[i]));
  return out;
}

std::vector<RankedPalette> BestPalettesFor(const ConversionInput& input,
                                           const ConversionTables& tables,
                                           const Surface& current_preview, int keep) {
  if (input.mode == TvcMode::kGraphics16 || input.work == nullptr) return {};
  Surface preview = current_preview;
  ScalePreview(input, preview);
  const PaletteConvert convert = [&input, &tables](Surface& s, const Palette& p) {
    ConversionInput in = input;
    // "Best" is "Perceptual" refined pixel by pixel: the refinement follows the palette but
    // would make each candidate's conversion twenty times slower.
    if (in.method == DitherMethod::kBest) in.method = DitherMethod::kPerceptual;
    std::vector<int> indices;
    for (int i = 0; i < p.size(); ++i) {
      for (int k = 0; k < 16; ++k) {
        if (Tvc16Color(k) == p[i]) {
          indices.push_back(k);
          break;
        }
      }
    }
    if (in.mode == TvcMode::kGraphics4) in.swatches4 = Swatches4(indices);
    if (in.mode == TvcMode::kGraphics2) in.swatches2 = Swatches2(indices);
    Palette palette = *tables.palette;
    PatternFlags flags = *tables.flags;
    PatternSet patterns = *tables.patterns;
    NoiseSource noise = *tables.noise;
    DitherPreview(in, {&palette, &flags, &patterns, &noise}, s);
  };
  PaletteSearchOptions options;
  options.keep = keep;
  return SearchPalettes(preview, input.mode, convert, options);
}

}  // namespace tvcpix
