// Tests of the model object: window start, the conversion dispatch, loading, sliders, swatches,
// the magnifier and probe, and saving.
#include "core/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "adjust/pattern_set.h"
#include "adjust/tone.h"
#include "core/run_timer.h"
#include "dither/error_diffusion.h"
#include "dither/ordered.h"
#include "dither/pattern.h"
#include "dither/threshold.h"

namespace tvcpix {
namespace {

constexpr ColorValue kDarkGrey = MakeColor(64, 64, 64);
constexpr ColorValue kWhite = MakeColor(255, 255, 255);
constexpr ColorValue kBlack = MakeColor(0, 0, 0);

// Ramps in all three channels with a little noise, and a pure blue patch in the top-left corner.
Surface Picture(int w, int h, std::uint32_t seed) {
  Surface s("picture", w, h, 0);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (x < w / 4 && y < h / 4) {
        s.SetPixel(x, y, MakeColor(0, 0, 255));
        continue;
      }
      const auto jitter = [&](int v) {
        return std::clamp(v + static_cast<int>(rng() % 21) - 10, 0, 255);
      };
      s.SetPixel(x, y,
                 MakeColor(jitter(x * 255 / (w - 1)), jitter(y * 255 / (h - 1)),
                           jitter(((x + 2 * y) * 3) % 256)));
    }
  return s;
}

bool Digits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllPixels(const Surface& s, ColorValue c) {
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x)
      if (PixelAt(s, x, y) != c) return false;
  return true;
}

std::set<ColorValue> ColoursOf(const Surface& s) {
  std::set<ColorValue> out;
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) out.insert(PixelAt(s, x, y));
  return out;
}

Surface ScaledInto(const Surface& source, int w, int h, int smooth) {
  Surface out("scaled", w, h, 0);
  ScaleSurface(out, source, w, h, smooth);
  return out;
}

// The swatch palette of a 2- or 4-colour mode, as the model's swatches hold it now.
Palette SwatchPalette(const Model& m, TvcMode mode) {
  Palette p;
  if (mode == TvcMode::kGraphics2) {
    const ColorValue s[2] = {m.label3(0), m.label3(1)};
    PaletteFromSwatches(p, s, 2);
  } else {
    const ColorValue s[4] = {m.label2(0), m.label2(1), m.label2(2), m.label2(3)};
    PaletteFromSwatches(p, s, 4);
  }
  return p;
}

// The preview one conversion makes from the model's work picture, step by step from the
// dispatch table. Noise is drawn from `noise`.
Surface ExpectedPreview(const Model& m, TvcMode mode, DitherMethod method, NoiseSource& noise) {
  const ModeInfo& info = InfoOf(mode);
  Surface preview = ScaledInto(m.pic5(), info.preview_width, info.preview_height, 1);
  const bool g16 = mode == TvcMode::kGraphics16;
  Palette palette;
  if (g16) {
    BuildPalette16(palette);
  } else {
    palette = SwatchPalette(m, mode);
  }
  const int index = static_cast<int>(method);
  if (IsErrorDiffusion(method)) {
    DiffuseError(preview, preview, method, palette);
    if (!g16 && index >= 11) SnapToPalette(preview, preview, palette);
  } else if (method == DitherMethod::kTreshold) {
    Treshold(preview, preview, palette);
  } else if (method == DitherMethod::kTresholdNoise) {
    TresholdNoise(preview, preview, palette, 30, noise);
  } else if (index >= 5 && index <= 10) {
    OrderedDither(preview, preview, method);
    if (!g16) SnapToPalette(preview, preview, palette);
  } else {
    Palette patterns;
    FillPatternPalette(patterns);
    PatternDither(preview, preview, patterns, m.pattern_flags(), m.pattern_set());
    if (!g16) SnapToPalette(preview, preview, palette);
  }
  return preview;
}

std::string ModeName(TvcMode mode) { return "G" + std::to_string(InfoOf(mode).colours); }

std::string MethodName(DitherMethod m) {
  std::string s;
  for (const char* p = MethodCaption(m); *p; ++p)
    if (std::isalnum(static_cast<unsigned char>(*p))) s += *p;
  return s;
}

// ---- Window start

TEST(ModelStartTest, WindowStartState) {
  const Model m;
  Palette p16, p4, p2;
  BuildPalette16(p16);
  BuildPalette4(p4);
  BuildPalette2(p2);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(m.label1(i), ColorFromEntry(p16[i])) << i;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.label2(i), ColorFromEntry(p4[i])) << i;
  for (int i = 0; i < 2; ++i) EXPECT_EQ(m.label3(i), ColorFromEntry(p2[i])) << i;
  EXPECT_EQ(m.label4(), kDarkGrey);
  EXPECT_EQ(m.palette().entries(), p16.entries());
  for (int k = 0; k < kPatternCount; ++k) {
    EXPECT_EQ(m.pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
    EXPECT_EQ(m.pattern_flags().swapped[static_cast<std::size_t>(k)], 0);
  }
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(m.slider(n), 50);
    EXPECT_EQ(m.slider_text(n), "50");
  }
  EXPECT_EQ(m.source_colors_caption(), "0");
  EXPECT_EQ(m.result_colors_caption(), "0");
  EXPECT_EQ(m.run_time_caption(), "0");
  EXPECT_EQ(m.probe_caption(), "0");
  EXPECT_EQ(m.output_base_path(), "Label12");
  EXPECT_EQ(m.convert_count(), 0u);
  EXPECT_EQ(m.mode(), TvcMode::kGraphics16);
  EXPECT_EQ(m.method(), DitherMethod::kPatternTvc);
  EXPECT_TRUE(m.resize());
  EXPECT_FALSE(m.auto_palette());
  EXPECT_FALSE(m.frame4_enabled());
  EXPECT_FALSE(m.frame5_enabled());

  EXPECT_EQ(m.pic1().width(), 96);
  EXPECT_EQ(m.pic1().height(), 64);
  EXPECT_TRUE(AllPixels(m.pic1(), MakeColor(128, 128, 128)));
  for (const Surface* s : {&m.pic5(), &m.pic2()}) {
    EXPECT_EQ(s->width(), 512);
    EXPECT_EQ(s->height(), 480);
    EXPECT_TRUE(AllPixels(*s, kDarkGrey)) << s->name();
  }
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    const Surface& preview = m.preview(mode);
    EXPECT_EQ(preview.width(), InfoOf(mode).preview_width);
    EXPECT_EQ(preview.height(), 240);
    EXPECT_TRUE(AllPixels(preview, MakeColor(192, 192, 255))) << preview.name();
  }
  EXPECT_TRUE(AllPixels(m.picz(), kWhite));
  EXPECT_TRUE(AllPixels(m.piczz(), kWhite));
}

// ---- Convert: the dispatch table, mode by method

class ConvertDispatchTest : public ::testing::TestWithParam<std::tuple<TvcMode, int>> {};

TEST_P(ConvertDispatchTest, LoadConvertsByTheDispatchTable) {
  const TvcMode mode = std::get<0>(GetParam());
  const DitherMethod method = static_cast<DitherMethod>(std::get<1>(GetParam()));
  const int index = static_cast<int>(method);
  const bool g16 = mode == TvcMode::kGraphics16;
  Model m;
  m.SetMode(mode);
  m.SetMethod(method);
  m.LoadSourcePicture(Picture(200, 150, 1));
  EXPECT_EQ(m.convert_count(), 3u);  // "All On", the automatic conversion and the redraw
  EXPECT_FALSE(m.auto_palette());

  const Surface& preview = m.preview(mode);
  const ModeInfo& info = InfoOf(mode);

  // The pattern flags: narrowed only for "Pattern TVC" in "Graphics 16", from the scaled
  // preview with every pattern switched on.
  std::array<int, kPatternCount> want_excluded{};
  if (g16 && method == DitherMethod::kPatternTvc) {
    Palette patterns;
    FillPatternPalette(patterns);
    const Surface scaled = ScaledInto(m.pic5(), info.preview_width, info.preview_height, 1);
    want_excluded.fill(1);
    const PatternFlags none;
    for (int y = 0; y < scaled.height(); ++y)
      for (int x = 0; x < scaled.width(); ++x) {
        const ColorValue c = PixelAt(scaled, x, y);
        want_excluded[static_cast<std::size_t>(
            NearestIndexUnmarked(patterns, none, RedOf(c), GreenOf(c), BlueOf(c)))] = 0;
      }
  }
  int switched_on = 0;
  for (int k = 0; k < kPatternCount; ++k) {
    ASSERT_EQ(m.pattern_flags().excluded[static_cast<std::size_t>(k)],
              want_excluded[static_cast<std::size_t>(k)])
        << "pattern " << k;
    switched_on += want_excluded[static_cast<std::size_t>(k)] == 0;
  }
  EXPECT_EQ(m.patterns_used_caption(), std::to_string(switched_on));
  if (g16 && method == DitherMethod::kPatternTvc) {
    EXPECT_LT(switched_on, kPatternCount);
  }

  // The preview, step by step. The noise source has served two conversions before this one.
  NoiseSource noise;
  Surface expected;
  for (int run = 0; run < 3; ++run) expected = ExpectedPreview(m, mode, method, noise);
  ASSERT_EQ(preview, expected);

  // Colours the mode and method allow.
  const std::set<ColorValue> colours = ColoursOf(preview);
  std::set<ColorValue> allowed;
  if (!g16) {
    const Palette swatches = SwatchPalette(m, mode);
    for (int i = 0; i < swatches.size(); ++i) allowed.insert(ColorFromEntry(swatches[i]));
  } else if (index >= 5 && index <= 10) {
    for (int i = 0; i < 8; ++i)
      allowed.insert(MakeColor(i & 1 ? 255 : 0, i & 2 ? 255 : 0, i & 4 ? 255 : 0));
  } else if (method == DitherMethod::kPatternTvc) {
    for (int k = 0; k < kPatternCount; ++k) {
      allowed.insert(ColorFromEntry(m.pattern_set().A(k)));
      allowed.insert(ColorFromEntry(m.pattern_set().B(k)));
    }
  } else {
    for (int i = 0; i < 16; ++i) allowed.insert(ColorFromEntry(Tvc16Color(i)));
  }
  for (ColorValue c : colours) EXPECT_TRUE(allowed.count(c)) << std::hex << c;
  EXPECT_GT(colours.size(), 1u);

  // The palette as the run left it.
  if (!g16) {
    EXPECT_EQ(m.palette().entries(), SwatchPalette(m, mode).entries());
  } else if (method == DitherMethod::kPatternTvc) {
    ASSERT_EQ(m.palette().size(), kPatternCount);
    for (int k = 0; k < kPatternCount; ++k) EXPECT_EQ(m.palette()[k], MatchColor(k));
  } else {
    Palette p16;
    BuildPalette16(p16);
    EXPECT_EQ(m.palette().entries(), p16.entries());
  }

  // The result view: every preview pixel a block, and the colour count of the whole view.
  const int bw = 512 / info.preview_width, bh = 2;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(m.pic2(), x, y), PixelAt(preview, x / bw, y / bh)) << x << "," << y;
  EXPECT_EQ(m.result_colors_caption(), std::to_string(colours.size()));
  EXPECT_EQ(m.result_colors_caption(), std::to_string(CountColors(m.pic2())));
  EXPECT_TRUE(Digits(m.run_time_caption()));
}

INSTANTIATE_TEST_SUITE_P(ModesAndMethods, ConvertDispatchTest,
                         ::testing::Combine(::testing::Values(TvcMode::kGraphics2,
                                                              TvcMode::kGraphics4,
                                                              TvcMode::kGraphics16),
                                            ::testing::Range(1, kMethodCount + 1)),
                         [](const ::testing::TestParamInfo<std::tuple<TvcMode, int>>& info) {
                           return ModeName(std::get<0>(info.param)) + "_" +
                                  MethodName(static_cast<DitherMethod>(std::get<1>(info.param)));
                         });

// ---- Convert: the palette between runs

TEST(ConvertPaletteTest, PatternPaletteIsBuiltOnceInGraphics16AndEveryTimeElsewhere) {
  Model m;
  m.LoadSourcePicture(Picture(120, 90, 2));  // "Graphics 16", "Pattern TVC"
  ASSERT_EQ(m.palette().size(), kPatternCount);
  const std::uint64_t built = m.palette().version();
  m.Convert();
  m.Convert();
  EXPECT_EQ(m.palette().version(), built);

  // "Graphics 4": rebuilt for the pass and left holding the swatch colours.
  m.SelectMode(TvcMode::kGraphics4);
  EXPECT_EQ(m.palette().entries(), SwatchPalette(m, TvcMode::kGraphics4).entries());
  const std::uint64_t g4 = m.palette().version();
  m.Convert();
  EXPECT_NE(m.palette().version(), g4);
  EXPECT_EQ(m.palette().size(), 4);

  // Back in "Graphics 16" the 4-entry palette cannot be reused.
  m.SelectMode(TvcMode::kGraphics16);
  ASSERT_EQ(m.palette().size(), kPatternCount);
  for (int k = 0; k < kPatternCount; ++k) ASSERT_EQ(m.palette()[k], MatchColor(k));

  // Any other method in "Graphics 16" rebuilds the 16-colour table first.
  m.SelectMethod(DitherMethod::kAtkinson);
  Palette p16;
  BuildPalette16(p16);
  EXPECT_EQ(m.palette().entries(), p16.entries());
  std::set<ColorValue> tvc;
  for (int i = 0; i < 16; ++i) tvc.insert(ColorFromEntry(p16[i]));
  for (ColorValue c : ColoursOf(m.tvc16())) EXPECT_TRUE(tvc.count(c)) << std::hex << c;
}

TEST(ConvertPaletteTest, AutoPaletteIsOffOutsideTheLoad) {
  Model m;
  m.LoadSourcePicture(Picture(120, 90, 3));
  const PatternFlags narrowed = m.pattern_flags();
  // "All On" converts without narrowing: the flags stay all switched on.
  m.AllOn();
  for (int k = 0; k < kPatternCount; ++k)
    EXPECT_EQ(m.pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
  EXPECT_EQ(m.patterns_used_caption(), "120");
  int off = 0;
  for (int v : narrowed.excluded) off += v;
  EXPECT_GT(off, 0);
}

TEST(ConvertResizeTest, ResizeOffCopiesUnscaledAndKeepsTheRestOfTheResultView) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  m.LoadSourcePicture(Picture(300, 200, 4));
  const Surface view_before = m.pic2();
  m.SetResize(false);
  m.Convert();

  Surface corner("corner", 128, 240, 0);
  ScaleSurface(corner, m.pic5(), 512, 480, 0);  // clipped: the top-left 128 x 240, unscaled
  Palette p16;
  BuildPalette16(p16);
  Treshold(corner, corner, p16);
  EXPECT_EQ(m.tvc16(), corner);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(m.pic2(), x, y),
                x < 128 && y < 240 ? PixelAt(corner, x, y) : PixelAt(view_before, x, y));
  EXPECT_EQ(m.result_colors_caption(), std::to_string(CountColors(m.pic2())));
}

// ---- Loading and "Set"

TEST(ModelLoadTest, SlidersReturnToFiftyRunningOnlyThoseThatMove) {
  Model m;
  m.SetMethod(DitherMethod::kFloyd);
  m.LoadSourcePicture(Picture(64, 48, 5));
  EXPECT_EQ(m.convert_count(), 3u);
  m.MoveSlider(2, 70);
  m.MoveSlider(4, 10);
  EXPECT_EQ(m.convert_count(), 5u);

  const Surface picture = Picture(90, 70, 6);
  m.LoadSourcePicture(picture);
  EXPECT_EQ(m.convert_count(), 5u + 2u + 3u);
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(m.slider(n), 50);
    EXPECT_EQ(m.slider_text(n), "50");
  }
  // The handling of "Gamma" at 50 changes a picture, but the load's own copy replaces it.
  EXPECT_EQ(m.pic5(), ScaledInto(picture, 512, 480, 1));
  EXPECT_EQ(m.pic1(), picture);
  EXPECT_FALSE(m.auto_palette());

  m.LoadSourcePicture(picture);  // everything at 50 already: no slider runs
  EXPECT_EQ(m.convert_count(), 10u + 3u);
}

TEST(ModelLoadTest, SourceColourCountIsOfThePictureAtItsOwnSize) {
  Surface two("picture", 70, 46, 0);
  for (int y = 0; y < 46; ++y)
    for (int x = 0; x < 70; ++x)
      two.SetPixel(x, y, (x / 3 + y / 2) % 2 ? MakeColor(250, 10, 10) : MakeColor(10, 10, 250));
  Model m;
  m.LoadSourcePicture(two);
  EXPECT_EQ(m.source_colors_caption(), "2");
  EXPECT_GT(CountColors(m.pic5()), 2);  // the smooth stretch mixes them
}

TEST(ModelLoadTest, ResizeOffCopiesThePictureUnscaled) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  m.LoadSourcePicture(Picture(512, 480, 7));
  const Surface before = m.pic5();
  m.SetResize(false);
  const Surface wide = Picture(640, 400, 8);
  m.LoadSourcePicture(wide);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(m.pic5(), x, y), y < 400 ? PixelAt(wide, x, y) : PixelAt(before, x, y));
  // A slider always scales the whole picture smoothly to full size.
  m.MoveSlider(1, 50);
  Surface want = ScaledInto(wide, 512, 480, 1);
  AdjustBrightness(want, want, 50);
  EXPECT_EQ(m.pic5(), want);
}

TEST(ModelLoadTest, SetCommitsTheWorkPictureWithoutConverting) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  m.LoadSourcePicture(Picture(100, 80, 9));
  m.MoveSlider(1, 80);
  const std::uint64_t count = m.convert_count();
  m.Set();
  EXPECT_EQ(m.convert_count(), count);
  EXPECT_EQ(m.pic1(), m.pic5());
  EXPECT_EQ(m.pic1().width(), 512);
  EXPECT_EQ(m.pic1().height(), 480);
  const Surface committed = m.pic1();
  m.Set();
  EXPECT_EQ(m.pic1(), committed);
  EXPECT_EQ(m.slider(1), 80);
}

// ---- Sliders

TEST(ModelSliderTest, EachMoveStartsAfreshFromTheSourcePicture) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  const Surface picture = Picture(150, 110, 10);
  m.LoadSourcePicture(picture);
  const Surface base = ScaledInto(picture, 512, 480, 1);
  const std::uint64_t count = m.convert_count();

  m.MoveSlider(1, 80);
  EXPECT_EQ(m.slider_text(1), "80");
  Surface want = base;
  AdjustBrightness(want, want, 80);
  EXPECT_EQ(m.pic5(), want);
  EXPECT_EQ(m.convert_count(), count + 1);

  // "Color" shows on the unbrightened picture; "Brightness" keeps its position.
  m.MoveSlider(3, 20);
  want = base;
  AdjustColor(want, want, 20);
  EXPECT_EQ(m.pic5(), want);
  EXPECT_EQ(m.slider(1), 80);
  EXPECT_EQ(m.slider_text(3), "20");

  // A preview follows every move.
  Palette p16;
  BuildPalette16(p16);
  Surface preview = ScaledInto(want, 128, 240, 1);
  Treshold(preview, preview, p16);
  EXPECT_EQ(m.tvc16(), preview);

  // After "Set" further moves act on the committed picture.
  m.Set();
  const Surface committed = m.pic5();
  m.MoveSlider(4, 73);
  EXPECT_EQ(m.slider_text(4), "73");
  want = committed;
  AdjustContrast(want, want, 73);
  EXPECT_EQ(m.pic5(), want);
  m.MoveSlider(2, 30);
  want = committed;
  AdjustGamma(want, want, 30.0f);
  EXPECT_EQ(m.pic5(), want);
  m.MoveSlider(1, 60);
  want = committed;
  AdjustBrightness(want, want, 60);
  EXPECT_EQ(m.pic5(), want);

  // A new picture replaces the committed one.
  const Surface other = Picture(64, 64, 11);
  m.LoadSourcePicture(other);
  m.MoveSlider(2, 90);
  want = ScaledInto(other, 512, 480, 1);
  AdjustGamma(want, want, 90.0f);
  EXPECT_EQ(m.pic5(), want);
}

// ---- Swatches and options

TEST(ModelSwatchTest, PickingAColourOnlyChangesTheCurrentColour) {
  Model m;
  m.SetMethod(DitherMethod::kFloyd);
  m.LoadSourcePicture(Picture(100, 100, 12));
  const Surface preview = m.tvc16(), view = m.pic2();
  const std::uint64_t count = m.convert_count();
  m.PickColor(10);
  EXPECT_EQ(m.label4(), m.label1(10));
  EXPECT_EQ(m.convert_count(), count);
  EXPECT_EQ(m.tvc16(), preview);
  EXPECT_EQ(m.pic2(), view);

  // In "Graphics 16" neither palette row reacts.
  m.AssignColor4(2);
  m.AssignColor2(1);
  EXPECT_EQ(m.label2(2), MakeColor(0, 0, 255));
  EXPECT_EQ(m.label3(1), kWhite);
  EXPECT_EQ(m.convert_count(), count);
}

TEST(ModelSwatchTest, AssigningInGraphics4ConvertsWithTheNewEntry) {
  Model m;
  m.SetMethod(DitherMethod::kTreshold);
  m.LoadSourcePicture(Picture(100, 100, 13));
  m.SelectMode(TvcMode::kGraphics4);
  EXPECT_TRUE(m.frame4_enabled());
  EXPECT_FALSE(m.frame5_enabled());
  const ColorValue blue = MakeColor(0, 0, 255), red = MakeColor(255, 0, 0);
  ASSERT_TRUE(ColoursOf(m.tvc4()).count(blue));  // the blue patch

  m.PickColor(10);  // red
  const std::uint64_t count = m.convert_count();
  m.AssignColor4(2);
  EXPECT_EQ(m.convert_count(), count + 1);
  EXPECT_EQ(m.label2(2), red);
  EXPECT_EQ(m.palette().size(), 4);
  EXPECT_EQ(m.palette()[2], EntryFromColor(red));
  const std::set<ColorValue> colours = ColoursOf(m.tvc4());
  EXPECT_FALSE(colours.count(blue));
  EXPECT_TRUE(colours.count(red));
  for (ColorValue c : colours) EXPECT_TRUE(c == kBlack || c == kWhite || c == red);

  // The 2-colour row stays locked until its mode is selected; then the 4-colour row locks.
  m.AssignColor2(0);
  EXPECT_EQ(m.label3(0), kBlack);
  m.SelectMode(TvcMode::kGraphics2);
  EXPECT_TRUE(m.frame5_enabled());
  EXPECT_FALSE(m.frame4_enabled());
  EXPECT_EQ(m.palette().size(), 2);
  m.AssignColor4(0);
  EXPECT_EQ(m.label2(0), kBlack);
  m.AssignColor2(0);
  EXPECT_EQ(m.label3(0), red);
  EXPECT_EQ(m.palette()[0], EntryFromColor(red));
  for (ColorValue c : ColoursOf(m.tvc2())) EXPECT_TRUE(c == red || c == kWhite);
  m.SelectMode(TvcMode::kGraphics16);
  EXPECT_FALSE(m.frame4_enabled());
  EXPECT_FALSE(m.frame5_enabled());
}

TEST(ModelSwatchTest, PositionClickedBeforeAnyPickTakesDarkGrey) {
  Model m;
  m.SelectMode(TvcMode::kGraphics4);
  m.AssignColor4(0);
  EXPECT_EQ(m.label2(0), kDarkGrey);
  EXPECT_EQ(m.palette()[0], EntryFromColor(kDarkGrey));
}

// ---- Magnifier and probe

// True when (x, y) of a magnifier lies on one of the two frames round the centre block.
bool OnFrame(int x, int y) {
  for (int r : {47, 48}) {
    const int lo = r, hi = 118 - r;
    const bool on_x_line = (x == lo || x == hi) && y >= lo && y <= hi;
    const bool on_y_line = (y == lo || y == hi) && x >= lo && x <= hi;
    if (on_x_line || on_y_line) return true;
  }
  return false;
}

void ExpectFrames(const Surface& view, ColorValue inner, ColorValue outer) {
  for (int k = 47; k <= 71; ++k) {
    EXPECT_EQ(PixelAt(view, k, 47), outer);
    EXPECT_EQ(PixelAt(view, k, 71), outer);
    EXPECT_EQ(PixelAt(view, 47, k), outer);
    EXPECT_EQ(PixelAt(view, 71, k), outer);
  }
  for (int k = 48; k <= 70; ++k) {
    EXPECT_EQ(PixelAt(view, k, 48), inner);
    EXPECT_EQ(PixelAt(view, k, 70), inner);
    EXPECT_EQ(PixelAt(view, 48, k), inner);
    EXPECT_EQ(PixelAt(view, 70, k), inner);
  }
}

// Every magnifier pixel off the frames shows the source pixel of its 24 x 24 block, or white
// for the part of the 5 x 5 block outside the source.
void ExpectMagnified(const Surface& view, const Surface& source, int x, int y) {
  for (int v = 0; v < 120; ++v)
    for (int u = 0; u < 120; ++u) {
      if (OnFrame(u, v)) continue;
      const int sx = x - 2 + u / 24, sy = y - 2 + v / 24;
      const bool inside = sx >= 0 && sy >= 0 && sx < source.width() && sy < source.height();
      ASSERT_EQ(PixelAt(view, u, v), inside ? PixelAt(source, sx, sy) : kWhite)
          << "(" << u << "," << v << ") for pointer " << x << "," << y;
    }
}

class ProbeMoveTest : public ::testing::TestWithParam<std::array<int, 2>> {};

TEST_P(ProbeMoveTest, MagnifiesBothViewsAndProbesTheSource) {
  const auto [x, y] = GetParam();
  Model m;
  m.LoadSourcePicture(Picture(160, 120, 14));
  m.ProbeMove(x, y);
  ExpectMagnified(m.picz(), m.pic5(), x, y);
  ExpectMagnified(m.piczz(), m.pic2(), x, y);
  ExpectFrames(m.picz(), kWhite, kBlack);
  ExpectFrames(m.piczz(), kBlack, kWhite);
  // The pixel under the pointer fills the centre block.
  EXPECT_EQ(PixelAt(m.picz(), 60, 60), PixelAt(m.pic5(), x, y));
  EXPECT_EQ(PixelAt(m.piczz(), 55, 66), PixelAt(m.pic2(), x, y));

  const ColorValue c = PixelAt(m.pic5(), x, y);
  const int k =
      NearestIndexUnmarked(m.palette(), m.pattern_flags(), RedOf(c), GreenOf(c), BlueOf(c));
  EXPECT_EQ(m.shape(1), c);
  EXPECT_EQ(m.probe_caption(), std::to_string(k));
  EXPECT_EQ(m.shape(2), ColorFromEntry(m.pattern_set().A(k)));
  EXPECT_EQ(m.shape(5), ColorFromEntry(m.pattern_set().A(k)));
  EXPECT_EQ(m.shape(3), ColorFromEntry(m.pattern_set().B(k)));
  EXPECT_EQ(m.shape(4), ColorFromEntry(m.pattern_set().B(k)));
}

INSTANTIATE_TEST_SUITE_P(Positions, ProbeMoveTest,
                         ::testing::Values(std::array<int, 2>{100, 50}, std::array<int, 2>{0, 0},
                                           std::array<int, 2>{1, 478}, std::array<int, 2>{511, 479},
                                           std::array<int, 2>{510, 2}));

TEST(ProbeTest, OutsideTheWorkPictureOnlyTheMagnifiersChange) {
  Model m;
  m.LoadSourcePicture(Picture(160, 120, 15));
  m.ProbeMove(10, 10);
  const std::string caption = m.probe_caption();
  std::array<ColorValue, 5> shapes;
  for (int n = 1; n <= 5; ++n) shapes[static_cast<std::size_t>(n - 1)] = m.shape(n);

  const std::array<std::array<int, 2>, 8> far = {{{600, 10},
                                                  {-1, 5},
                                                  {512, 480},
                                                  {-3, -3},
                                                  {1'000'000, -1'000'000},
                                                  {-1'000'000'000, 1'000'000'000},
                                                  {INT_MAX, INT_MAX},
                                                  {INT_MIN, INT_MIN}}};
  for (const auto& p : far) {
    m.ProbeMove(p[0], p[1]);
    EXPECT_EQ(m.probe_caption(), caption);
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(m.shape(n), shapes[static_cast<std::size_t>(n - 1)]);
    ExpectFrames(m.picz(), kWhite, kBlack);
    ExpectFrames(m.piczz(), kBlack, kWhite);
  }
  m.ProbeMove(600, 10);
  ExpectMagnified(m.picz(), m.pic5(), 600, 10);  // all white but the frames
}

TEST(ProbeTest, BlackIsAColourNotAFailedRead) {
  Surface black("picture", 40, 40, 0);
  black.Fill(kBlack);
  Model m;
  m.LoadSourcePicture(black);
  m.ProbeMove(7, 7);
  EXPECT_EQ(m.shape(1), kBlack);
  EXPECT_EQ(m.probe_caption(),
            std::to_string(NearestIndexUnmarked(m.palette(), m.pattern_flags(), 0, 0, 0)));
}

TEST(ProbeClickTest, BeforeAnyMoveClicksActOnPatternZero) {
  Model m;
  const std::uint64_t count = m.convert_count();
  m.ProbeClick(kLeftButton);
  EXPECT_EQ(m.pattern_flags().excluded[0], 1);
  EXPECT_EQ(m.convert_count(), count + 1);
  EXPECT_EQ(m.patterns_used_caption(), "119");
  m.ProbeClick(kLeftButton);  // stays off
  EXPECT_EQ(m.pattern_flags().excluded[0], 1);
  m.ProbeClick(kMiddleButton);
  EXPECT_EQ(m.pattern_flags().excluded[0], 0);
  EXPECT_EQ(m.patterns_used_caption(), "120");
  m.ProbeClick(kLeftButton);
  m.ProbeClick(kRightButton);
  EXPECT_EQ(m.pattern_flags().excluded[0], 0);
  EXPECT_EQ(m.convert_count(), count + 5);
  for (int k = 1; k < kPatternCount; ++k)
    EXPECT_EQ(m.pattern_flags().excluded[static_cast<std::size_t>(k)], 0);
}

TEST(ProbeClickTest, RightClickSwitchesOnAndSwapsMiddleOnlySwitchesOn) {
  Model m;
  m.LoadSourcePicture(Picture(160, 120, 18));
  m.AllOn();
  // A probed pattern with two different colours, so that a swap shows.
  int k = -1;
  for (int x = 5; x < 512 && k < 0; x += 17) {
    m.ProbeMove(x, 300);
    const int probed = std::stoi(m.probe_caption());
    if (m.pattern_set().A(probed) != m.pattern_set().B(probed)) k = probed;
  }
  ASSERT_GE(k, 0);
  const std::size_t kk = static_cast<std::size_t>(k);
  const PaletteEntry a = m.pattern_set().A(k), b = m.pattern_set().B(k);

  m.ProbeClick(kLeftButton);
  EXPECT_EQ(m.pattern_flags().excluded[kk], 1);
  m.ProbeClick(kMiddleButton);
  EXPECT_EQ(m.pattern_flags().excluded[kk], 0);
  EXPECT_EQ(m.pattern_set().A(k), a);
  EXPECT_EQ(m.pattern_set().B(k), b);

  m.ProbeClick(kLeftButton);
  m.ProbeClick(kRightButton);
  EXPECT_EQ(m.pattern_flags().excluded[kk], 0);
  EXPECT_EQ(m.pattern_flags().swapped[kk], 0);  // the probe does not mark swaps
  EXPECT_EQ(m.pattern_set().A(k), b);
  EXPECT_EQ(m.pattern_set().B(k), a);
  EXPECT_EQ(m.shape(2), ColorFromEntry(b));
  EXPECT_EQ(m.shape(5), ColorFromEntry(b));
  EXPECT_EQ(m.shape(3), ColorFromEntry(a));
  EXPECT_EQ(m.shape(4), ColorFromEntry(a));
  // The conversion that ends the click uses the swapped colours.
  Surface preview = ScaledInto(m.pic5(), 128, 240, 1);
  Palette patterns;
  FillPatternPalette(patterns);
  PatternDither(preview, preview, patterns, m.pattern_flags(), m.pattern_set());
  EXPECT_EQ(m.tvc16(), preview);

  m.ProbeClick(kRightButton);
  EXPECT_EQ(m.pattern_set().A(k), a);
  EXPECT_EQ(m.pattern_set().B(k), b);
}

TEST(ProbeClickTest, SwitchedOffPatternIsSkippedByTheNextProbe) {
  Model m;
  m.LoadSourcePicture(Picture(160, 120, 16));
  m.AllOn();
  ASSERT_EQ(m.palette().size(), kPatternCount);
  m.ProbeMove(300, 200);
  const int k = std::stoi(m.probe_caption());
  m.ProbeClick(kLeftButton);
  EXPECT_EQ(m.pattern_flags().excluded[static_cast<std::size_t>(k)], 1);
  m.ProbeMove(300, 200);
  const ColorValue c = PixelAt(m.pic5(), 300, 200);
  const int next = std::stoi(m.probe_caption());
  EXPECT_NE(next, k);
  EXPECT_EQ(next,
            NearestIndexUnmarked(m.palette(), m.pattern_flags(), RedOf(c), GreenOf(c), BlueOf(c)));
}

// ---- Saving

class ScopedTempDir {
 public:
  ScopedTempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("tvcpix_model_test_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~ScopedTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void ExpectThreeFiles(const std::string& base, TvcMode mode) {
  const std::vector<std::uint8_t> bmp = ReadAll(base + ".bmp");
  const std::vector<std::uint8_t> bin = ReadAll(base + ".bin");
  const std::vector<std::uint8_t> tim = ReadAll(base + ".tim");
  EXPECT_EQ(bmp.size(), 54u + 512u * 480u * 3u);
  ASSERT_EQ(bin.size(), 16384u);
  ASSERT_EQ(tim.size(), 16400u);
  EXPECT_EQ(tim[0], 'T');
  EXPECT_EQ(tim[1], 'I');
  EXPECT_EQ(tim[2], 'M');
  EXPECT_EQ(tim[3], InfoOf(mode).mode_byte);
  EXPECT_TRUE(std::equal(bin.begin(), bin.end(), tim.begin() + 16));
}

class ModelSaveTest : public ::testing::TestWithParam<TvcMode> {};

TEST_P(ModelSaveTest, SaveAndSaveAsWriteThreeFiles) {
  const TvcMode mode = GetParam();
  ScopedTempDir dir;
  Model m;
  m.SetMode(mode);
  m.LoadSourcePicture(Picture(100, 90, 17));

  const std::string chosen = (dir.path() / "chosen").string();
  const SaveResult as = m.SaveAs(chosen);
  ASSERT_TRUE(as.ok) << as.message;
  EXPECT_EQ(m.output_base_path(), chosen);
  ExpectThreeFiles(chosen, mode);

  const SaveResult plain = m.Save(dir.path().string());
  ASSERT_TRUE(plain.ok) << plain.message;
  const std::string out24 = (dir.path() / "out24").string();
  EXPECT_EQ(m.output_base_path(), out24);
  ExpectThreeFiles(out24, mode);
  EXPECT_EQ(ReadAll(out24 + ".bin"), ReadAll(chosen + ".bin"));
}

INSTANTIATE_TEST_SUITE_P(Modes, ModelSaveTest,
                         ::testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                           TvcMode::kGraphics16),
                         [](const ::testing::TestParamInfo<TvcMode>& info) {
                           return ModeName(info.param);
                         });

}  // namespace
}  // namespace tvcpix
