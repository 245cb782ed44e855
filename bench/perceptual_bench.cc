// Benchmarks of the perceptual methods and the palette search: "Perceptual" and "Screen" on
// each mode's preview of the 512 x 480 sample photograph, the whole conversion of the work
// picture with each new method (scaling included), the palette search (Graphics 4 and 2, with
// the perceptual method and with plain Floyd) and the model's BestPalettes with each method.
#include <benchmark/benchmark.h>

#include "core/mode.h"
#include "core/surface.h"
#include "dither/aspect_ordered.h"
#include "dither/error_diffusion.h"
#include "dither/palette_search.h"
#include "dither/perceptual.h"
#include "engine/model.h"
#include "qtdecode/picture_file.h"

namespace tvcpix {
namespace {

// The mode's preview of the sample's work picture, as the engine scales it.
Surface PreviewOf(TvcMode mode) {
  Surface photo;
  if (!DecodePictureFile(TVCPIX_SAMPLES_DIR "/astronaut_512x480.bmp", &photo).ok) {
    photo = Surface("Pic1", 512, 480, 0);
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 512; ++x) photo.SetPixel(x, y, MakeColor(x / 2, y / 2, (x + y) / 4));
  }
  Model model;
  model.AssignSourcePicture(photo);
  const ModeInfo& info = InfoOf(mode);
  Surface preview("TVC", info.preview_width, info.preview_height, 0);
  ScaleSurface(preview, model.pic5(), info.preview_width, info.preview_height, 1);
  return preview;
}

Palette StartPalette(TvcMode mode) {
  if (mode == TvcMode::kGraphics2) return TvcPalette({0, 15});
  if (mode == TvcMode::kGraphics4) return TvcPalette({0, 15, 9, 10});
  return TvcPalette({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
}

void BM_Perceptual(benchmark::State& state, TvcMode mode) {
  const Surface preview = PreviewOf(mode);
  const Palette palette = StartPalette(mode);
  const PerceptualOptions options = PerceptualOptionsFor(mode);
  Surface work = preview;
  for (auto _ : state) {
    std::copy_n(preview.data(), preview.size_bytes(), work.data());
    PerceptualDiffusion(work, palette, options);
    benchmark::DoNotOptimize(work.data());
  }
}

void BM_Screen(benchmark::State& state, TvcMode mode) {
  const Surface preview = PreviewOf(mode);
  const Palette palette = StartPalette(mode);
  Surface work = preview;
  for (auto _ : state) {
    std::copy_n(preview.data(), preview.size_bytes(), work.data());
    AspectOrderedDither(work, palette, PixelAspectOf(mode));
    benchmark::DoNotOptimize(work.data());
  }
}

void BM_PaletteSearch(benchmark::State& state, TvcMode mode, bool floyd) {
  const Surface preview = PreviewOf(mode);
  const PaletteConvert convert = floyd ? PaletteConvert([](Surface& s, const Palette& p) {
    DiffuseError(s, s, DitherMethod::kFloyd, p);
  })
                                       : PaletteConvert([mode](Surface& s, const Palette& p) {
                                           PerceptualDiffusion(s, p, PerceptualOptionsFor(mode));
                                         });
  for (auto _ : state) benchmark::DoNotOptimize(SearchPalettes(preview, mode, convert));
}

bool LoadSample(benchmark::State& state, Surface* photo) {
  if (DecodePictureFile(TVCPIX_SAMPLES_DIR "/astronaut_512x480.bmp", photo).ok) return true;
  state.SkipWithError("no sample");
  return false;
}

// The engine's conversion of the 512 x 480 work picture, as a method change runs it.
void BM_Convert(benchmark::State& state, TvcMode mode, DitherMethod method) {
  Surface photo;
  if (!LoadSample(state, &photo)) return;
  Model model;
  model.SetMode(mode);
  model.LoadSourcePicture(photo);
  model.SetReuseConversions(false);
  model.SelectMethod(method);
  for (auto _ : state) {
    model.Convert();
    benchmark::DoNotOptimize(model.pic2().data());
  }
}

// Model::BestPalettes on the sample with the given method (Graphics 4 and 2).
void BM_BestPalettes(benchmark::State& state, TvcMode mode, DitherMethod method) {
  Surface photo;
  if (!LoadSample(state, &photo)) return;
  Model model;
  model.SetMode(mode);
  model.SetMethod(method);
  model.LoadSourcePicture(photo);
  for (auto _ : state) benchmark::DoNotOptimize(model.BestPalettes());
}

#define TVCPIX_CONVERT_CASES(method, name)                                      \
  BENCHMARK_CAPTURE(BM_Convert, name##Graphics16, TvcMode::kGraphics16, method) \
      ->Unit(benchmark::kMillisecond);                                          \
  BENCHMARK_CAPTURE(BM_Convert, name##Graphics4, TvcMode::kGraphics4, method)   \
      ->Unit(benchmark::kMillisecond);                                          \
  BENCHMARK_CAPTURE(BM_Convert, name##Graphics2, TvcMode::kGraphics2, method)   \
      ->Unit(benchmark::kMillisecond)
TVCPIX_CONVERT_CASES(DitherMethod::kPerceptual, Perceptual);
TVCPIX_CONVERT_CASES(DitherMethod::kScreen, Screen);
TVCPIX_CONVERT_CASES(DitherMethod::kBest, Best);
TVCPIX_CONVERT_CASES(DitherMethod::kFloyd, Floyd);
#define TVCPIX_PALETTE_CASES(method, name)                                         \
  BENCHMARK_CAPTURE(BM_BestPalettes, name##Graphics4, TvcMode::kGraphics4, method) \
      ->Unit(benchmark::kMillisecond);                                             \
  BENCHMARK_CAPTURE(BM_BestPalettes, name##Graphics2, TvcMode::kGraphics2, method) \
      ->Unit(benchmark::kMillisecond)
TVCPIX_PALETTE_CASES(DitherMethod::kPatternTvc, PatternTvc);
TVCPIX_PALETTE_CASES(DitherMethod::kFloyd, Floyd);
TVCPIX_PALETTE_CASES(DitherMethod::kPerceptual, Perceptual);
TVCPIX_PALETTE_CASES(DitherMethod::kScreen, Screen);

BENCHMARK_CAPTURE(BM_Perceptual, Graphics16, TvcMode::kGraphics16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Perceptual, Graphics4, TvcMode::kGraphics4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Perceptual, Graphics2, TvcMode::kGraphics2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Screen, Graphics16, TvcMode::kGraphics16)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Screen, Graphics4, TvcMode::kGraphics4)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Screen, Graphics2, TvcMode::kGraphics2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaletteSearch, Graphics4Perceptual, TvcMode::kGraphics4, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaletteSearch, Graphics4Floyd, TvcMode::kGraphics4, true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaletteSearch, Graphics2Perceptual, TvcMode::kGraphics2, false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PaletteSearch, Graphics2Floyd, TvcMode::kGraphics2, true)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tvcpix

BENCHMARK_MAIN();
