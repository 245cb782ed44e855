// The conversion: the work picture scaled into the mode's preview and dithered against the
// mode's palette. Free functions over a plain input and the tables the conversion reads and
// writes, so the model, the benchmarks and the tests run the same steps.
#ifndef TVCPIX_ENGINE_CONVERSION_H_
#define TVCPIX_ENGINE_CONVERSION_H_

#include <array>
#include <cstdint>

#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/pixel_memory.h"
#include "core/surface.h"
#include "dither/method.h"
#include "dither/noise_source.h"
#include "dither/pattern_set.h"
#include "dither/perceptual_methods.h"

namespace tvcpix {

// Everything a conversion reads besides its tables.
struct ConversionInput {
  const Surface* work = nullptr;  // Pic5
  TvcMode mode = TvcMode::kGraphics16;
  DitherMethod method = DitherMethod::kPatternTvc;
  bool resize = true;                     // "Resize "
  bool auto_palette = false;              // "Auto Palette"
  std::array<ColorValue, 4> swatches4{};  // Label2
  std::array<ColorValue, 2> swatches2{};  // Label3
  // The perceptual methods' strength 0..100, or kDefaultStrength; the others ignore it.
  int strength = kDefaultStrength;
};

// The module-wide tables a conversion reads and leaves changed.
struct ConversionTables {
  Palette* palette = nullptr;
  PatternFlags* flags = nullptr;
  PatternSet* patterns = nullptr;
  NoiseSource* noise = nullptr;
};

// Scales the work picture into the preview, fills the palette for the mode and runs the
// method (with the snap pass where the method needs one).
void ConvertPreview(const ConversionInput& input, const ConversionTables& tables, Surface& preview);
// The work picture scaled into the preview as ConvertPreview scales it.
void ScalePreview(const ConversionInput& input, Surface& preview);
// ConvertPreview's steps after the scaling: the preview already holds the scaled picture.
void DitherPreview(const ConversionInput& input, const ConversionTables& tables, Surface& preview);

// The last conversion's input, the tables it started from and what it left. A conversion is a
// function of exactly these, except "Treshold+Noise", which draws from the generator and so is
// never remembered.
class ConversionCache {
 public:
  // Whether a conversion of this input from these tables would repeat the remembered one.
  bool Matches(const ConversionInput& input, const ConversionTables& tables) const;
  // Puts the remembered preview and tables in place.
  void Restore(const ConversionTables& tables, Surface& preview) const;
  // Runs the conversion and remembers it.
  void Convert(const ConversionInput& input, const ConversionTables& tables, Surface& preview);

 private:
  bool valid_ = false;
  TvcMode mode_ = TvcMode::kGraphics16;
  DitherMethod method_ = DitherMethod::kPatternTvc;
  bool resize_ = true;
  bool auto_palette_ = false;
  std::array<ColorValue, 4> swatches4_{};
  std::array<ColorValue, 2> swatches2_{};
  int strength_ = kDefaultStrength;
  PixelBytes work_;
  Palette palette_before_, palette_after_;
  PatternFlags flags_before_, flags_after_;
  PatternSet patterns_before_;
  PixelBytes preview_;
};

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_CONVERSION_H_
