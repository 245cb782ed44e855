// tvcpix-cli's exports and "view": the assembler and C sources hold the saved screen, the PNG
// the result view, and "view" shows the screen as saved.
#include <regex>

#include "tests/cli/cli_fixture.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::Picture;
using test::ReadBytes;
using test::ToolResult;

// The bytes of every hexadecimal item ("$3F" or "0x3F,") in the text.
Bytes HexItems(const std::string& text, const std::string& pattern) {
  Bytes bytes;
  const std::regex item(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), item), end; it != end; ++it)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi((*it)[1].str(), nullptr, 16)));
  return bytes;
}

class ExportTest : public test::CliTest, public testing::WithParamInterface<const char*> {};

TEST_P(ExportTest, ExportsAndViewsHoldTheSavedScreen) {
  const std::string mode = GetParam();
  test::WritePicture(Path("pic.bmp"), 150, 110, 3);
  ASSERT_EQ(
      Run("-m " + mode + " -d stucki -o D/s --asm D/s.asm --c-header D/s.h --png D/s.png D/pic.bmp")
          .code,
      0);
  const Bytes bin = ReadBytes(Path("s.bin")), tim = ReadBytes(Path("s.tim"));
  EXPECT_TRUE(HexItems(test::ReadText(Path("s.asm")), "(?:db |,)\\$([0-9A-F]{2})") == bin);
  EXPECT_TRUE(HexItems(test::ReadText(Path("s.h")), "0x([0-9A-F]{2}),") == bin);
  const Surface view = Picture(Path("s.png"));  // the result view, as the BMP holds it
  EXPECT_TRUE(view == Picture(Path("s.bmp")));
  DecodedScreen screen;
  ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &screen).ok);
  const ToolResult r = Run("view D/s.tim -o D/v.png");
  EXPECT_EQ(r.out, Path("v.png") + ": " + InfoOf(screen.mode).caption + ", " +
                       std::to_string(screen.screen.width()) + " x 240\n");
  EXPECT_TRUE(Picture(Path("v.png")) == screen.screen);
  ASSERT_EQ(Run("view --enlarged D/s.tim -o D/e.png").code, 0);
  EXPECT_TRUE(Picture(Path("e.png")) == view);  // start palettes hold only levels 0 and 255
  ASSERT_EQ(Run("view D/s.bin -o D/b.png --mode " + mode).code, 0);
  EXPECT_TRUE(ReadBytes(Path("b.png")) == ReadBytes(Path("v.png")));
}

INSTANTIATE_TEST_SUITE_P(Modes, ExportTest, testing::Values("2", "4", "16"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return "Graphics" + std::string(info.param);
                         });

}  // namespace
}  // namespace tvcpix
