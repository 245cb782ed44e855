// Dispatch of the perceptual methods.
#include "dither/perceptual_methods.h"

#include <algorithm>

#include "dither/aspect_ordered.h"
#include "dither/filtered_search.h"
#include "dither/perceptual.h"

namespace tvcpix {

// "Screen" mixes in sRGB values and carries 60 % of each pick's error: both measured better
// than linear light and the full mix in every mode (docs/quality.md).
constexpr int kScreenStrength = 60;

int DefaultStrength(DitherMethod method, TvcMode mode) {
  if (method == DitherMethod::kScreen) return kScreenStrength;
  const PerceptualOptions o = PerceptualOptionsFor(mode);
  return o.luma_strength >= 0 ? o.luma_strength : o.strength;
}

void RunPerceptualMethod(DitherMethod method, TvcMode mode, int strength, const Palette& palette,
                         Surface& preview) {
  if (!IsPerceptualMethod(method) || palette.size() == 0) return;
  const int s =
      strength == kDefaultStrength ? DefaultStrength(method, mode) : std::clamp(strength, 0, 100);
  if (method == DitherMethod::kScreen) {
    AspectOrderedDither(preview, palette, PixelAspectOf(mode), kLumaWeighted, s,
                        /*linear=*/false);
    return;
  }
  PerceptualOptions options = PerceptualOptionsFor(mode);
  // Where the colour part always goes on in full, the strength is the light's share.
  if (options.luma_strength >= 0) {
    options.luma_strength = s;
  } else {
    options.strength = s;
  }
  if (method == DitherMethod::kPerceptual) {
    PerceptualDiffusion(preview, palette, options);
    return;
  }
  const Surface source = preview;
  PerceptualDiffusion(preview, palette, options);
  RefineByFilteredError(source, palette, PixelAspectOf(mode), preview);
}

}  // namespace tvcpix
