// Tests of the model object: the conversion dispatch and the palette between runs, swatches,
// loading, sliders and "Set", the pattern editor's operations and the probe.
#include "engine/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "adjust/tone.h"
#include "dither/error_diffusion.h"
#include "dither/ordered.h"
#include "dither/pattern.h"
#include "dither/pattern_set.h"
#include "dither/threshold.h"
#include "engine/pattern_editor.h"
#include "tests/support/case_names.h"

namespace tvcpix {
namespace {

// Ramps in all three channels with a little noise.
Surface Picture(int w, int h, std::uint32_t seed) {
  Surface s("picture", w, h, 0);
  for (int i = 0; i < w * h; ++i)
    s.SetPixel(i % w, i / w, MakeColor(i % w * 250 / w + seed % 6, i / w * 250 / h, i * 7 % 256));
  return s;
}

std::set<ColorValue> ColoursOf(const Surface& s) {
  std::set<ColorValue> out;
  for (int i = 0; i < s.width() * s.height(); ++i)
    out.insert(PixelAt(s, i % s.width(), i / s.width()));
  return out;
}

Surface Scaled(const Surface& source, int w, int h, int smooth = 1) {
  Surface out("scaled", w, h, 0);
  ScaleSurface(out, source, w, h, smooth);
  return out;
}

// BuildPalette16 or FillPatternPalette's table.
Palette Built(void (*build)(Palette&)) {
  Palette p;
  build(p);
  return p;
}

Palette SwatchPalette(const Model& m, TvcMode mode) {
  const bool two = mode == TvcMode::kGraphics2;
  const ColorValue s[4] = {two ? m.label3(0) : m.label2(0), two ? m.label3(1) : m.label2(1),
                           m.label2(2), m.label2(3)};
  Palette p;
  PaletteFromSwatches(p, s, two ? 2 : 4);
  return p;
}

// The preview one conversion makes from the work picture, step by step by the dispatch table.
Surface ExpectedPreview(const Model& m, TvcMode mode, int index, NoiseSource& noise) {
  const bool g16 = mode == TvcMode::kGraphics16;
  const DitherMethod method = static_cast<DitherMethod>(index);
  Surface preview = Scaled(m.pic5(), InfoOf(mode).preview_width, 240);
  const Palette palette = g16 ? Built(BuildPalette16) : SwatchPalette(m, mode);
  if (index <= 2 || (index >= 11 && index <= 16)) DiffuseError(preview, preview, method, palette);
  if (index == 3) Treshold(preview, preview, palette);
  if (index == 4) TresholdNoise(preview, preview, palette, 30, noise);
  if (index >= 5 && index <= 10) OrderedDither(preview, preview, method);
  if (index == 17)
    PatternDither(preview, preview, Built(FillPatternPalette), m.pattern_flags(), m.pattern_set());
  if (!g16 && index >= 5) SnapToPalette(preview, preview, palette);
  return preview;
}

class ConvertDispatchTest : public testing::TestWithParam<std::tuple<TvcMode, int>> {};

TEST_P(ConvertDispatchTest, LoadConvertsByTheDispatchTable) {
  const auto [mode, index] = GetParam();
  const DitherMethod method = static_cast<DitherMethod>(index);
  const bool g16 = mode == TvcMode::kGraphics16, pattern = method == DitherMethod::kPatternTvc;
  Model m;
  m.SetMode(mode);
  m.SetMethod(method);
  m.LoadSourcePicture(Picture(200, 150, 1));
  EXPECT_EQ(m.convert_count(), 3u);  // "All On", the automatic conversion and the redraw
  EXPECT_FALSE(m.auto_palette());
  // Flags narrowed only for "Pattern TVC" in "Graphics 16", from the scaled preview.
  PatternFlags want;
  const Palette patterns = Built(FillPatternPalette);
  if (g16 && pattern) {
    want.excluded.fill(1);
    for (const ColorValue c : ColoursOf(Scaled(m.pic5(), 128, 240)))
      want.excluded[static_cast<std::size_t>(
          NearestIndexUnmarked(patterns, PatternFlags(), RedOf(c), GreenOf(c), BlueOf(c)))] = 0;
  }
  ASSERT_EQ(m.pattern_flags().excluded, want.excluded);
  EXPECT_EQ(m.patterns_used_caption(),
            std::to_string(std::count(want.excluded.begin(), want.excluded.end(), 0)));
  // The preview of the third conversion; the noise source has served two before it.
  NoiseSource noise;
  for (int run = 0; run < 2; ++run) ExpectedPreview(m, mode, index, noise);
  const Surface& preview = m.preview(mode);
  ASSERT_EQ(preview, ExpectedPreview(m, mode, index, noise));
  const Palette left = !g16 ? SwatchPalette(m, mode) : pattern ? patterns : Built(BuildPalette16);
  EXPECT_EQ(m.palette().entries(), left.entries());  // as the run left it
  // The result view: every preview pixel a block, and the colour count of the whole view.
  EXPECT_EQ(m.pic2(), Scaled(preview, 512, 480, 0));
  EXPECT_EQ(m.result_colors_caption(), std::to_string(ColoursOf(preview).size()));
}

INSTANTIATE_TEST_SUITE_P(ModesAndMethods, ConvertDispatchTest,
                         testing::Combine(testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                                          TvcMode::kGraphics16),
                                          testing::Range(1, kMethodCount + 1)),
                         test::ModeMethodName);

// Each slider move starts afresh from the source and converts once; a move of another slider
// discards the last one's effect unless the sliders are combined; "Set" commits the work
// picture without converting, later moves act on top of it; a load puts the sliders back.
TEST(ModelTest, SlidersSetAndLoad) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  const Surface picture = Picture(150, 110, 10), base = Scaled(picture, 512, 480);
  m.LoadSourcePicture(picture);
  EXPECT_EQ(m.pic1(), picture);
  m.MoveSlider(1, 80);
  EXPECT_EQ(m.tone_state(1), ToneState::kLive);
  m.MoveSlider(3, 20);
  Surface want = base;
  AdjustColor(want, want, 20);
  EXPECT_EQ(m.pic5(), want);
  EXPECT_EQ(std::tuple(m.slider(1), m.slider_text(1), m.slider_text(3), m.tone_state(1)),
            std::tuple(80, "80", "20", ToneState::kDiscarded));
  EXPECT_EQ(m.ToneRecipe(), (std::vector<ToneStep>{{3, 20}}));
  EXPECT_EQ(m.convert_count(), 3u + 2u);
  m.Set();
  EXPECT_EQ(std::tuple(m.pic1(), m.convert_count(), m.tone_state(3)),
            std::tuple(want, std::uint64_t{5}, ToneState::kSet));
  m.MoveSlider(2, 30);
  AdjustGamma(want, want, 30.0f);
  EXPECT_EQ(m.pic5(), want);
  EXPECT_EQ(m.tone_state(3), ToneState::kSet);
  EXPECT_EQ(m.ToneRecipe(), (std::vector<ToneStep>{{3, 20}, {2, 30}}));
  // A load puts the moved sliders back to 50, each running once, then converts three times;
  // the load's own copy replaces what they made.
  m.LoadSourcePicture(picture);
  EXPECT_EQ(m.convert_count(), 6u + 3u + 3u);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(m.slider_text(n), "50");
  EXPECT_EQ(m.pic5(), base);

  // Combined: every slider not at 50 acts, in order, on Pic1: as each moved and "Set" alone.
  // "Set" makes them permanent and returns them to 50; the picture stays as it is.
  Model combined, stepwise;
  combined.SetCombineTones(true);
  for (Model* c : {&combined, &stepwise}) c->LoadSourcePicture(picture);
  for (const auto& [n, v] : {std::pair(3, 20), {1, 70}, {4, 65}}) combined.MoveSlider(n, v);
  for (const auto& [n, v] : {std::pair(1, 70), {3, 20}, {4, 65}})
    stepwise.MoveSlider(n, v), stepwise.Set();
  EXPECT_EQ(std::pair(combined.pic5(), combined.pic2()), std::pair(stepwise.pic5(), stepwise.pic2()));
  EXPECT_EQ(combined.ToneRecipe(), (std::vector<ToneStep>{{1, 70}, {3, 20}, {4, 65}}));
  for (int n : {1, 3, 4}) EXPECT_EQ(combined.tone_state(n), ToneState::kLive);
  const Surface before = combined.pic5();
  combined.Set();
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(combined.slider_text(n), "50");
  EXPECT_EQ(combined.pic5(), before);
  combined.MoveSlider(2, 55), stepwise.MoveSlider(2, 55);
  EXPECT_EQ(combined.pic5(), stepwise.pic5());
}

// The hit test reads the picture, within the triangle's geometry: once a click beside it or
// below the diagonal was taken for a swatch.
TEST(PatternEditorTest, HitTestFindsDrawnSwatchesOnly) {
  Surface pic9("Pic9", 312, 312, kSwatchBackground);
  DrawSwatchOn(pic9, SwatchLeft(3), SwatchTop(1), MakeColor(0, 0, 0));
  DrawSwatchOn(pic9, SwatchLeft(1), SwatchTop(3), MakeColor(9, 9, 9));  // below the diagonal
  EXPECT_EQ(SwatchAt(pic9, SwatchLeft(3) + 12, SwatchTop(1) + 12), PatternIndex(1, 3));
  for (const auto& [x, y] : {std::pair{-1, 15}, {400, 11}, {SwatchLeft(1) + 3, SwatchTop(3) + 3}})
    EXPECT_EQ(SwatchAt(pic9, x, y), std::nullopt) << x << "," << y;
}

}  // namespace
}  // namespace tvcpix
