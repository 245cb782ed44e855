// Saved screens read back: the model's ".bin" and ".tim" of every mode and method show the
// matched palette entries and, enlarged, the result view; opening what the user points at, a
// ".tim" (any case) as the enlarged screen, any other file as its picture, and failures that
// leave the result untouched and name the file.
#include "engine/input_file.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;

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
                                          testing::Range(1, kAllMethodCount + 1)),
                         test::ModeMethodName);

// A result already holding something, to show a failure leaves it.
InputFile Filled() {
  InputFile f;
  f.picture = Surface("Pic1", 3, 2, MakeColor(1, 2, 3));
  f.screen = DecodedScreen{TvcMode::kGraphics2, {1, 4, 0, 0}, Surface("screen", 2, 2, 0), {}};
  return f;
}

using InputFileTest = test::ScratchTest;

// A saved "Graphics 4" screen of a picture, a non-TVC colour among its swatches; then a missing
// file, a ".tim" one byte short, a ".tim" that is a picture and a damaged picture.
TEST_F(InputFileTest, TimOpensAsTheEnlargedScreenPicturesAsThemselvesFailuresChangeNothing) {
  Model model;
  model.SetMode(TvcMode::kGraphics4);
  model.SetSwatch4(2, MakeColor(200, 30, 90));
  Surface picture("Pic1", 60, 40, 0);
  for (int i = 0; i < 60 * 40; ++i)
    picture.SetPixel(i % 60, i / 60, MakeColor(i % 60 * 4, i / 60 * 6, i * 13 % 256));
  model.LoadSourcePicture(std::move(picture));
  ASSERT_TRUE(model.SaveAs(Path("shot")).ok);
  std::filesystem::copy_file(Path("shot.tim"), Path("SHOT.TIM"));
  std::filesystem::copy_file(Path("shot.bmp"), Path("shot.bin.bmp"));
  for (const char* name : {"shot.tim", "SHOT.TIM", "shot.bmp", "shot.bin.bmp"}) {
    InputFile opened = Filled();
    ASSERT_TRUE(OpenInputFile(Path(name), DecodeWithQt, &opened).ok) << name;
    if (std::string(name).ends_with(".bmp")) {
      Surface want;
      ASSERT_TRUE(DecodePictureFile(Path(name), &want).ok);
      EXPECT_TRUE(opened.picture == want && !opened.screen.has_value()) << name;
      continue;
    }
    const Bytes tim = test::ReadBytes(Path(name));
    DecodedScreen want;
    ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &want).ok);
    ASSERT_TRUE(opened.screen.has_value());
    EXPECT_EQ(opened.screen->mode, TvcMode::kGraphics4);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(opened.screen->codes[static_cast<std::size_t>(i)],
                TvcColorCode(model.palette()[i]));
    EXPECT_TRUE(opened.screen->screen == want.screen);
    EXPECT_TRUE(opened.picture == EnlargeScreen(want.screen));  // 512 x 480
  }

  Bytes tim = test::ReadBytes(Path("shot.tim"));
  tim.pop_back();
  test::WriteBytes(Path("short.tim"), tim);
  std::filesystem::copy_file(Path("shot.bmp"), Path("picture.tim"));
  test::WriteBytes(Path("broken.bmp"), Bytes{'B', 'M', 0, 1, 2});
  const InputFile want = Filled();
  for (const char* name :
       {"missing.jpg", "missing.tim", "short.tim", "picture.tim", "broken.bmp"}) {
    InputFile opened = Filled();
    const Result r = OpenInputFile(Path(name), DecodeWithQt, &opened);
    EXPECT_TRUE(!r.ok && r.message.rfind(Path(name) + ": ", 0) == 0) << r.message;
    EXPECT_TRUE(opened.picture == want.picture && opened.picture.name() == "Pic1") << name;
    ASSERT_TRUE(opened.screen.has_value());
    EXPECT_TRUE(opened.screen->mode == TvcMode::kGraphics2 &&
                opened.screen->codes == want.screen->codes &&
                opened.screen->screen == want.screen->screen)
        << name;
  }
}

}  // namespace
}  // namespace tvcpix
