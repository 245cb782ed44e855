// The model's saved ".bin" and ".tim" of every mode and method read back: the screen shows the
// matched palette entries, and enlarged it is the result view.
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

// What the screen shows for a colour: the colour of its code, in the TVC's levels.
ColorValue Shown(ColorValue c) {
  return ColorFromEntry(ColorOfCode(TvcColorCode(EntryFromColor(c))));
}

class RoundTripTest : public test::ScratchTest,
                      public testing::WithParamInterface<std::tuple<TvcMode, int>> {};

TEST_P(RoundTripTest, ScreenShowsTheMatchedEntries) {
  static const Surface picture = [] {
    Surface s;
    EXPECT_TRUE(DecodePictureFile(std::string(TVCPIX_SAMPLES_DIR) + "/parrot_495x498.jpg", &s).ok);
    return s;
  }();
  const auto [mode, method] = GetParam();
  Model model;
  model.SetMode(mode);
  model.SetMethod(static_cast<DitherMethod>(method));
  for (int i = 0; i < 4 && method % 3 == 0; ++i) {  // not TVC colours: the screen shows codes
    model.SetSwatch4(i, MakeColor(20 + 70 * i, 255 - 40 * i, 90 * i % 256));
    if (i < 2) model.SetSwatch2(i, MakeColor(30 + 200 * i, 30 + 98 * i, 30));
  }
  model.LoadSourcePicture(Surface(picture));
  ASSERT_TRUE(model.SaveAs(Path("shot")).ok);
  DecodedScreen tim, bin;
  ASSERT_TRUE(ReadScreenFile(Path("shot.tim"), mode, {}, &tim).ok);
  ASSERT_TRUE(ReadScreenFile(Path("shot.bin"), mode, tim.codes, &bin).ok);
  EXPECT_EQ(tim.mode, mode);
  EXPECT_TRUE(bin.screen == tim.screen);
  const Surface& preview = model.preview(mode);
  const Palette& palette = model.palette();
  const int colours = mode == TvcMode::kGraphics16 ? 0 : InfoOf(mode).colours, w = preview.width();
  for (int i = 0; i < colours; ++i) EXPECT_EQ(tim.codes[i], TvcColorCode(palette[i])) << i;
  ASSERT_EQ(tim.screen.width(), w);
  int mismatches = 0;
  for (int k = 0; k < w * 240; ++k) {
    // Every preview pixel holds a palette colour, so its entry's code is the preview's own.
    const ColorValue p = PixelAt(preview, k % w, k / w), got = PixelAt(tim.screen, k % w, k / w);
    const int i = NearestIndex(palette, RedOf(p), GreenOf(p), BlueOf(p));
    const auto code = colours == 0 ? TvcColorCode(palette[i]) : tim.codes[i & (colours - 1)];
    mismatches += got != ColorFromEntry(ColorOfCode(code)) || got != Shown(p);
  }
  EXPECT_EQ(mismatches, 0);
  // The enlarged screen is the result view, colour for colour in the TVC's levels.
  const Surface view = EnlargeScreen(tim.screen);
  ASSERT_EQ(model.pic2().width(), view.width());
  for (int i = 0; i < 512 * 480; ++i)
    mismatches += PixelAt(view, i % 512, i / 512) != Shown(PixelAt(model.pic2(), i % 512, i / 512));
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryModeAndMethod, RoundTripTest,
                         testing::Combine(testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                                          TvcMode::kGraphics16),
                                          testing::Range(1, kMethodCount + 1)),
                         test::ModeMethodName);

}  // namespace
}  // namespace tvcpix
