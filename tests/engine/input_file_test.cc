// Opening what the user points at: a ".tim" (any case) as the enlarged screen with the screen
// itself, any other file as its picture, and failures that leave the result untouched and name
// the file.
#include "engine/input_file.h"

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;

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
