// Opening what the user points at: a ".tim" as the enlarged screen with the screen itself, any
// other file as its picture, and failures that leave the result untouched and name the file.
#include "engine/input_file.h"

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;

class InputFileTest : public test::ScratchTest {
 protected:
  // A saved "Graphics 4" screen of a picture: BASE.bmp, BASE.bin and BASE.tim.
  Model SaveScreen(const std::string& base) {
    Model model;
    model.SetMode(TvcMode::kGraphics4);
    model.SetSwatch4(2, ColorFromEntry(Tvc16Color(12)));
    Surface picture("Pic1", 60, 40, 0);
    for (int i = 0; i < 60 * 40; ++i)
      picture.SetPixel(i % 60, i / 60, MakeColor(i % 60 * 4, i / 60 * 6, i * 13 % 256));
    model.LoadSourcePicture(std::move(picture));
    EXPECT_TRUE(model.SaveAs(base).ok);
    return model;
  }
  // A result already holding something, to show a failure leaves it.
  static InputFile Filled() {
    InputFile f;
    f.picture = Surface("Pic1", 3, 2, MakeColor(1, 2, 3));
    f.screen = DecodedScreen{TvcMode::kGraphics2, {1, 4, 0, 0}, Surface("screen", 2, 2, 0), {}};
    return f;
  }
  static void ExpectFilled(const InputFile& f) {
    const InputFile want = Filled();
    EXPECT_TRUE(f.picture == want.picture && f.picture.name() == "Pic1");
    ASSERT_TRUE(f.screen.has_value());
    EXPECT_EQ(f.screen->mode, TvcMode::kGraphics2);
    EXPECT_EQ(f.screen->codes, want.screen->codes);
    EXPECT_TRUE(f.screen->screen == want.screen->screen);
  }
};

TEST_F(InputFileTest, TimOpensAsTheEnlargedScreen) {
  const Model model = SaveScreen(Path("shot"));
  // Upper case is a ".tim" too.
  std::filesystem::copy_file(Path("shot.tim"), Path("SHOT.TIM"));
  for (const char* name : {"shot.tim", "SHOT.TIM"}) {
    SCOPED_TRACE(name);
    InputFile opened = Filled();
    const Result r = OpenInputFile(Path(name), DecodeWithQt, &opened);
    ASSERT_TRUE(r.ok) << r.message;
    const Bytes tim = test::ReadBytes(Path(name));
    DecodedScreen want;
    ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &want).ok);
    ASSERT_TRUE(opened.screen.has_value());
    EXPECT_EQ(opened.screen->mode, TvcMode::kGraphics4);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(opened.screen->codes[static_cast<std::size_t>(i)], TvcColorCode(model.palette()[i]))
          << i;
    EXPECT_TRUE(opened.screen->screen == want.screen);
    EXPECT_EQ(std::pair(opened.picture.width(), opened.picture.height()), std::pair(512, 480));
    EXPECT_TRUE(opened.picture == EnlargeScreen(want.screen));
  }
}

TEST_F(InputFileTest, PictureOpensAsThePicture) {
  SaveScreen(Path("shot"));  // the result view as a BMP, and a ".bin" that is no ".tim"
  for (const char* name : {"shot.bmp", "shot.bin.bmp"}) {
    SCOPED_TRACE(name);
    if (std::string(name) != "shot.bmp") std::filesystem::copy_file(Path("shot.bmp"), Path(name));
    InputFile opened = Filled();
    ASSERT_TRUE(OpenInputFile(Path(name), DecodeWithQt, &opened).ok);
    Surface want;
    ASSERT_TRUE(DecodePictureFile(Path(name), &want).ok);
    EXPECT_TRUE(opened.picture == want);
    EXPECT_FALSE(opened.screen.has_value());
  }
}

// A missing file, a ".tim" one byte short, a ".tim" that is a picture, a damaged picture.
TEST_F(InputFileTest, FailuresLeaveTheResultAndNameTheFile) {
  SaveScreen(Path("shot"));
  Bytes tim = test::ReadBytes(Path("shot.tim"));
  tim.pop_back();
  test::WriteBytes(Path("short.tim"), tim);
  std::filesystem::copy_file(Path("shot.bmp"), Path("picture.tim"));
  test::WriteBytes(Path("broken.bmp"), Bytes{'B', 'M', 0, 1, 2});
  for (const char* name :
       {"missing.jpg", "missing.tim", "short.tim", "picture.tim", "broken.bmp"}) {
    SCOPED_TRACE(name);
    InputFile opened = Filled();
    const Result r = OpenInputFile(Path(name), DecodeWithQt, &opened);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind(Path(name) + ": ", 0), 0u) << r.message;
    ExpectFilled(opened);
  }
}

}  // namespace
}  // namespace tvcpix
