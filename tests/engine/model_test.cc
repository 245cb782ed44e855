// The model object: the conversion dispatch and the palette between runs, sliders, "Set" and
// loading, the editor's hit test; the perceptual methods' strength, BestPalettes that changes
// nothing and finds the colours of pictures made of them, and ApplyPalette as the swatch clicks
// would do it.
#include "engine/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/tone.h"
#include "dither/error_diffusion.h"
#include "dither/ordered.h"
#include "dither/pattern.h"
#include "dither/pattern_set.h"
#include "dither/threshold.h"
#include "engine/pattern_editor.h"
#include "tests/support/tool_run.h"

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
  EXPECT_EQ(std::pair(combined.pic5(), combined.pic2()),
            std::pair(stepwise.pic5(), stepwise.pic2()));
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

// A photo-like picture: smooth colour gradients and a few blocks.
Surface Photo(int w, int h, unsigned seed) {
  Surface s("Pic1", w, h, 0);
  std::mt19937 rng(seed);
  for (int i = 0; i < w * h; ++i)
    s.SetPixel(i % w, i / w,
               MakeColor(i % w * 255 / w, i / w * 255 / h, (i % w + i / w) * 127 / (w + h)));
  for (int i = 0; i < 6; ++i)
    s.FillRect(static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<ColorValue>(rng() & 0xFFFFFF));
  return s;
}

Model Loaded(TvcMode mode, DitherMethod method, const Surface& picture, int strength = -1) {
  Model m;
  m.SetMode(mode);
  m.SetMethod(method);
  if (strength >= 0) m.SetStrength(strength);
  m.LoadSourcePicture(Surface(picture));
  return m;
}

// The new methods follow the strength both ways in every mode; the faithful ones ignore it.
TEST(PerceptualModelTest, OnlyTheNewMethodsReadTheStrength) {
  const Surface photo = Photo(160, 120, 3);
  for (const DitherMethod method :
       {DitherMethod::kPerceptual, DitherMethod::kScreen, DitherMethod::kBest})
    for (const TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      Model m = Loaded(mode, method, photo, 100);
      const Surface full = m.pic2();
      m.SelectStrength(0);
      EXPECT_FALSE(m.pic2() == full) << MethodCaption(method) << static_cast<int>(mode);
      m.SelectStrength(100);
      EXPECT_TRUE(m.pic2() == full) << MethodCaption(method) << static_cast<int>(mode);
    }
  const Surface small = Photo(64, 48, 5);
  for (int k = 1; k <= kMethodCount; ++k) {
    const auto method = static_cast<DitherMethod>(k);
    if (method == DitherMethod::kTresholdNoise) continue;  // draws anew in every model
    EXPECT_TRUE(Loaded(TvcMode::kGraphics4, method, small).pic2() ==
                Loaded(TvcMode::kGraphics4, method, small, 17).pic2())
        << MethodCaption(method);
  }
}

// Pictures of flat fields of exactly some table colours: the best palette is those colours,
// whichever method it is ranked for (the colours listed in order).
TEST(BestPalettesTest, FindsTheColoursOfAPictureMadeOfThem) {
  const struct {
    TvcMode mode;
    DitherMethod method;
    std::vector<int> colours;
  } cases[] = {{TvcMode::kGraphics4, DitherMethod::kPatternTvc, {1, 4, 6, 14}},
               {TvcMode::kGraphics4, DitherMethod::kFloyd, {2, 6, 14, 15}},
               {TvcMode::kGraphics4, DitherMethod::kScreen, {7, 9, 10, 11}},
               {TvcMode::kGraphics2, DitherMethod::kPerceptual, {0, 13}}};
  for (const auto& c : cases) {
    Surface fields("Pic1", 96, 64, 0);
    const int n = static_cast<int>(c.colours.size());
    for (int i = 0; i < n; ++i)
      fields.FillRect(i * 96 / n, 0, (i + 1) * 96 / n - 1, 63,
                      ColorFromEntry(Tvc16Color(c.colours[static_cast<std::size_t>(i)])));
    const std::vector<RankedPalette> best = Loaded(c.mode, c.method, fields).BestPalettes();
    ASSERT_EQ(best.size(), 3u);
    EXPECT_EQ(best[0].indices, c.colours) << MethodCaption(c.method);
    EXPECT_TRUE(best[0].error <= best[1].error && best[1].error <= best[2].error);
  }
}

// BestPalettes is const and converts from copies: the model, its noise sequence included, goes
// on exactly as one that never asked. Graphics 16 has no palette to choose.
TEST(BestPalettesTest, AskingChangesNothingAndGraphics16HasNone) {
  const Surface photo = Photo(80, 60, 9);
  Model asked = Loaded(TvcMode::kGraphics4, DitherMethod::kTresholdNoise, photo),
        plain = Loaded(TvcMode::kGraphics4, DitherMethod::kTresholdNoise, photo);
  EXPECT_EQ(asked.BestPalettes().size(), 3u);
  for (Model* m : {&asked, &plain}) m->Convert();
  EXPECT_TRUE(asked.pic2() == plain.pic2());
  EXPECT_EQ(asked.convert_count(), plain.convert_count());
  asked.SelectMode(TvcMode::kGraphics16);
  EXPECT_TRUE(asked.BestPalettes().empty());
}

TEST(ApplyPaletteTest, SetsTheSwatchRowAndConvertsOnceAsClicksWould) {
  const Surface photo = Photo(80, 60, 4);
  Model applied = Loaded(TvcMode::kGraphics4, DitherMethod::kPerceptual, photo),
        clicked = Loaded(TvcMode::kGraphics4, DitherMethod::kPerceptual, photo);
  const std::vector<int> indices = {0, 5, 12, 14};
  const std::uint64_t before = applied.convert_count();
  applied.ApplyPalette(TvcMode::kGraphics4, indices);
  EXPECT_EQ(applied.convert_count(), before + 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(applied.label2(i), ColorFromEntry(Tvc16Color(indices[static_cast<std::size_t>(i)])));
    clicked.PickColor(indices[static_cast<std::size_t>(i)]);
    clicked.AssignColor4(i);
  }
  EXPECT_TRUE(applied.pic2() == clicked.pic2());
  EXPECT_EQ(applied.palette().entries(), clicked.palette().entries());
  applied.ApplyPalette(TvcMode::kGraphics2, {1, 14});
  EXPECT_EQ(std::pair(applied.label3(0), applied.label3(1)),
            std::pair(ColorFromEntry(Tvc16Color(1)), ColorFromEntry(Tvc16Color(14))));
}

}  // namespace
}  // namespace tvcpix
