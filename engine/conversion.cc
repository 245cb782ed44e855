// The conversion pipeline and the memo of its last run.
#include "engine/conversion.h"

#include <algorithm>

#include "dither/error_diffusion.h"
#include "dither/ordered.h"
#include "dither/pattern.h"
#include "dither/threshold.h"

namespace tvcpix {

namespace {

constexpr std::uint8_t kNoiseAmplitude = 30;

bool SamePalette(const Palette& a, const Palette& b) { return a.entries() == b.entries(); }

void SwatchPalette(const ConversionInput& in, Palette& palette) {
  if (in.mode == TvcMode::kGraphics2) PaletteFromSwatches(palette, in.swatches2.data(), 2);
  if (in.mode == TvcMode::kGraphics4) PaletteFromSwatches(palette, in.swatches4.data(), 4);
}

void RunMethod(const ConversionInput& in, const ConversionTables& t, Surface& preview) {
  const DitherMethod method = in.method;
  Palette& palette = *t.palette;
  const bool snap_mode = in.mode != TvcMode::kGraphics16;
  const int index = static_cast<int>(method);
  if (IsErrorDiffusion(method)) {
    DiffuseError(preview, preview, method, palette);
    // Atkinson and Floyd produce palette colours already; the later kernels are snapped.
    if (snap_mode && index >= 11) SnapToPalette(preview, preview, palette);
  } else if (method == DitherMethod::kTreshold) {
    Treshold(preview, preview, palette);
  } else if (method == DitherMethod::kTresholdNoise) {
    TresholdNoise(preview, preview, palette, kNoiseAmplitude, *t.noise);
  } else if (IsOrdered(method)) {
    OrderedDither(preview, preview, method);
    if (snap_mode) SnapToPalette(preview, preview, palette);
  } else if (IsPerceptualMethod(method)) {
    // Every output is a palette colour already, so no snap pass.
    RunPerceptualMethod(method, in.mode, in.strength, palette, preview);
  } else if (method == DitherMethod::kPatternTvc) {
    if (snap_mode) {
      FillPatternPalette(palette);
      PatternDither(preview, preview, palette, *t.flags, *t.patterns);
      SwatchPalette(in, palette);
      SnapToPalette(preview, preview, palette);
    } else {
      if (palette.size() != kPatternCount) FillPatternPalette(palette);
      if (in.auto_palette) AutoPalette(preview, palette, *t.flags);
      PatternDither(preview, preview, palette, *t.flags, *t.patterns);
    }
  }
}

}  // namespace

void ConvertPreview(const ConversionInput& in, const ConversionTables& t, Surface& preview) {
  if (in.mode == TvcMode::kGraphics16 && in.method != DitherMethod::kPatternTvc)
    BuildPalette16(*t.palette);
  ScalePreview(in, preview);
  SwatchPalette(in, *t.palette);
  RunMethod(in, t, preview);
}

void ScalePreview(const ConversionInput& in, Surface& preview) {
  const Surface& work = *in.work;
  ScaleSurface(preview, work, in.resize ? preview.width() : work.width(),
               in.resize ? preview.height() : work.height(), 1);
}

void DitherPreview(const ConversionInput& in, const ConversionTables& t, Surface& preview) {
  if (in.mode == TvcMode::kGraphics16 && in.method != DitherMethod::kPatternTvc)
    BuildPalette16(*t.palette);
  SwatchPalette(in, *t.palette);
  RunMethod(in, t, preview);
}

bool ConversionCache::Matches(const ConversionInput& in, const ConversionTables& t) const {
  // "Auto Palette" is read only by "Pattern TVC" in "Graphics 16".
  const bool pattern16 = in.mode == TvcMode::kGraphics16 && in.method == DitherMethod::kPatternTvc;
  const Surface& work = *in.work;
  return valid_ && in.method != DitherMethod::kTresholdNoise && mode_ == in.mode &&
         method_ == in.method && resize_ == in.resize &&
         (!pattern16 || auto_palette_ == in.auto_palette) && swatches4_ == in.swatches4 &&
         swatches2_ == in.swatches2 && strength_ == in.strength &&
         SamePalette(palette_before_, *t.palette) && flags_before_.excluded == t.flags->excluded &&
         flags_before_.swapped == t.flags->swapped &&
         patterns_before_.columns == t.patterns->columns && work_.size() == work.size_bytes() &&
         std::equal(work_.begin(), work_.end(), work.data());
}

void ConversionCache::Restore(const ConversionTables& t, Surface& preview) const {
  std::copy(preview_.begin(), preview_.end(), preview.data());
  if (!SamePalette(*t.palette, palette_after_)) *t.palette = palette_after_;
  *t.flags = flags_after_;
}

void ConversionCache::Convert(const ConversionInput& in, const ConversionTables& t,
                              Surface& preview) {
  const Palette palette_before = *t.palette;
  const PatternFlags flags_before = *t.flags;
  const PatternSet patterns_before = *t.patterns;
  ConvertPreview(in, t, preview);
  valid_ = in.method != DitherMethod::kTresholdNoise;
  if (!valid_) return;
  mode_ = in.mode;
  method_ = in.method;
  resize_ = in.resize;
  auto_palette_ = in.auto_palette;
  swatches4_ = in.swatches4;
  swatches2_ = in.swatches2;
  strength_ = in.strength;
  work_.assign(in.work->data(), in.work->data() + in.work->size_bytes());
  palette_before_ = palette_before;
  palette_after_ = *t.palette;
  flags_before_ = flags_before;
  flags_after_ = *t.flags;
  patterns_before_ = patterns_before;
  preview_.assign(preview.data(), preview.data() + preview.size_bytes());
}

}  // namespace tvcpix
