// Tests of the model object: the conversion dispatch and the palette between runs, swatches,
// loading, sliders and "Set", the pattern editor's operations and the probe.
#include "engine/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
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

namespace tvcpix {
namespace {

constexpr ColorValue kBlack = MakeColor(0, 0, 0), kRed = MakeColor(255, 0, 0);

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
                                          testing::Range(1, kMethodCount + 1)));

TEST(ModelTest, PatternPaletteIsBuiltOnceInGraphics16AndEveryTimeElsewhere) {
  Model m;  // window start: the 16 colours, no conversion yet
  EXPECT_EQ(m.palette().entries(), Built(BuildPalette16).entries());
  m.LoadSourcePicture(Picture(120, 90, 2));  // "Graphics 16", "Pattern TVC"
  const std::uint64_t built = m.palette().version();
  m.Convert();
  EXPECT_EQ(m.palette().version(), built);
  m.SelectMode(TvcMode::kGraphics4);  // rebuilt for every pass, left holding the swatches
  const std::uint64_t g4 = m.palette().version();
  m.PickColor(10);    // red: only the current colour changes
  m.AssignColor2(0);  // the 2-colour row is locked in "Graphics 4"
  m.AssignColor4(2);  // converts
  EXPECT_NE(m.palette().version(), g4);
  EXPECT_EQ(std::pair(m.label3(0), m.palette()[2]), std::pair(kBlack, EntryFromColor(kRed)));
  EXPECT_TRUE(ColoursOf(m.tvc4()).count(kRed));
  m.SelectMode(TvcMode::kGraphics16);  // the 4 entries cannot be reused
  EXPECT_EQ(m.palette().entries(), Built(FillPatternPalette).entries());
  m.SelectMethod(DitherMethod::kAtkinson);  // the 16 colours first
  EXPECT_EQ(m.palette().entries(), Built(BuildPalette16).entries());
  EXPECT_EQ(m.convert_count(), 3u + 5u);
}

TEST(ModelTest, LoadSlidersAndSet) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  const Surface picture = Picture(150, 110, 10), base = Scaled(picture, 512, 480);
  m.LoadSourcePicture(picture);
  EXPECT_EQ(m.pic1(), picture);
  // Each move starts afresh from the source picture and converts once.
  m.MoveSlider(1, 80);
  m.MoveSlider(3, 20);
  Surface want = base;
  AdjustColor(want, want, 20);
  EXPECT_EQ(m.pic5(), want);
  EXPECT_EQ(std::tuple(m.slider(1), m.slider_text(1), m.slider_text(3)),
            std::tuple(80, "80", "20"));
  EXPECT_EQ(m.convert_count(), 3u + 2u);
  // "Set" commits the work picture without converting; later moves act on top of it.
  m.Set();
  EXPECT_EQ(std::pair(m.pic1(), m.convert_count()), std::pair(want, std::uint64_t{5}));
  m.MoveSlider(2, 30);
  AdjustGamma(want, want, 30.0f);
  EXPECT_EQ(m.pic5(), want);
  // A load puts the moved sliders back to 50, each running once, then converts three times;
  // the load's own copy replaces what they made.
  m.LoadSourcePicture(picture);
  EXPECT_EQ(m.convert_count(), 6u + 3u + 3u);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(m.slider_text(n), "50");
  EXPECT_EQ(m.pic5(), base);
}

TEST(ModelTest, EditorOperationsAndProbe) {
  Model m;
  m.LoadSourcePicture(Picture(160, 120, 18));
  const std::uint64_t count = m.convert_count();
  m.AllOff();
  EXPECT_EQ(m.patterns_used_caption(), "0");
  m.AllOn();  // no narrowing outside a load
  // Left clicks switch a pattern off and on; the count waits for the next redraw.
  const int k = PatternIndex(2, 9), x = SwatchLeft(9) + 6, y = SwatchTop(2) + 6;
  m.ClickSwatch(kLeftButton, x, y);
  EXPECT_EQ(std::pair(m.pattern_flags().excluded[k], m.patterns_used_caption()),
            std::pair(1, std::string("120")));
  m.ClickSwatch(kLeftButton, SwatchLeft(9), SwatchTop(2));  // on the white outline
  EXPECT_EQ(m.pattern_flags().excluded[k], 0);
  // Right clicks swap A and B and toggle the mark; two restore both. Gaps do nothing.
  const PatternSet start = m.pattern_set();
  m.ClickSwatch(kRightButton, x, y);
  EXPECT_EQ(std::tuple(m.pattern_set().A(k), m.pattern_set().B(k), m.pattern_flags().swapped[k]),
            std::tuple(start.B(k), start.A(k), 1));
  m.ClickSwatch(kRightButton, x, y);
  EXPECT_EQ(std::tuple(m.pattern_set().A(k), m.pattern_flags().swapped[k]),
            std::tuple(start.A(k), 0));
  m.ClickSwatch(kLeftButton, SwatchLeft(9) + 15, y);  // a gap
  EXPECT_EQ(m.convert_count(), count + 6);
  // Pointer positions far outside the result view once overflowed.
  m.ProbeMove(10, 10);
  const std::tuple probe(m.probe_caption(), m.shape(1), m.shape(2));
  for (const int far : {600, -1, INT_MAX, INT_MIN}) {
    m.ProbeMove(far, far);
    EXPECT_EQ(std::tuple(m.probe_caption(), m.shape(1), m.shape(2)), probe) << far;
  }
}

}  // namespace
}  // namespace tvcpix
