// tvcpix-cli's exports and "view" end to end: what they write is the saved screen.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "core/mode.h"
#include "core/surface.h"
#include "output/screen_decode.h"
#include "tests/tool_run.h"
#include "ui/picture_file.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::ReadText;
using test::ToolResult;
namespace fs = std::filesystem;

// The bytes of every "$XX" item on the "db" lines.
Bytes AssemblerBytes(const std::string& text) {
  Bytes bytes;
  std::istringstream in(text);
  std::string line;
  const std::regex item("\\$([0-9A-F]{2})");
  while (std::getline(in, line)) {
    if (line.rfind("  db ", 0) != 0) continue;
    for (std::sregex_iterator it(line.begin(), line.end(), item), end; it != end; ++it)
      bytes.push_back(static_cast<std::uint8_t>(std::stoi((*it)[1].str(), nullptr, 16)));
  }
  return bytes;
}

// The bytes of every "0xXX," item between the array's braces.
Bytes CArrayBytes(const std::string& text) {
  Bytes bytes;
  const std::size_t open = text.find('{'), close = text.find("};");
  if (open == std::string::npos || close == std::string::npos) return bytes;
  const std::string body = text.substr(open + 1, close - open - 1);
  const std::regex item("0x([0-9A-F]{2}),");
  for (std::sregex_iterator it(body.begin(), body.end(), item), end; it != end; ++it)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi((*it)[1].str(), nullptr, 16)));
  return bytes;
}

Surface Picture(const fs::path& path) {
  Surface s;
  const DecodeResult r = DecodePictureFile(path.string(), &s);
  EXPECT_TRUE(r.ok) << r.message;
  return s;
}

std::string HexCodes(const Bytes& tim, const char* prefix) {
  std::string text;
  for (std::size_t i = 4; i < 8; ++i) {
    char item[8];
    std::snprintf(item, sizeof item, " %s%02X", prefix, tim[i]);
    text += item;
  }
  return text;
}

class CliViewTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    dir_ = test::MakeScratchFolder("tvcpix_view_");
    ASSERT_FALSE(dir_.empty());
    test::WriteTestPicture(dir_ / "pic.bmp", 150, 110, 3);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  ToolResult Run(const std::vector<std::string>& args) { return test::RunTool(args, dir_); }

  fs::path dir_;
};

TEST_P(CliViewTest, ExportsAndViewsHoldTheSavedScreen) {
  const std::string mode = GetParam();
  ToolResult r = Run({"-m", mode, "-d", "stucki", "-o", Path("s"), "--asm", Path("s.asm"),
                      "--c-header", Path("s.h"), "--png", Path("s.png"), Path("pic.bmp")});
  ASSERT_EQ(r.code, 0) << r.err;
  const Bytes bin = ReadBytes(Path("s.bin"));
  const Bytes tim = ReadBytes(Path("s.tim"));
  ASSERT_EQ(bin.size(), 16384u);

  const std::string assembler = ReadText(Path("s.asm"));
  EXPECT_TRUE(AssemblerBytes(assembler) == bin);
  EXPECT_NE(assembler.find("; palette codes:" + HexCodes(tim, "$")), std::string::npos)
      << assembler.substr(0, 400);
  const std::string header = ReadText(Path("s.h"));
  EXPECT_TRUE(CArrayBytes(header) == bin);
  EXPECT_NE(header.find("palette codes:" + HexCodes(tim, "0x")), std::string::npos);
  // The PNG is the result view, pixel for pixel as the BMP.
  const Surface view = Picture(Path("s.png"));
  EXPECT_TRUE(view == Picture(Path("s.bmp")));

  // Read back: at TVC resolution, enlarged, and from the .bin with the same settings.
  DecodedScreen screen;
  ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &screen).ok);
  r = Run({"view", Path("s.tim"), "-o", Path("v.png")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, Path("v.png") + ": " + InfoOf(screen.mode).caption + ", " +
                       std::to_string(screen.screen.width()) + " x 240\n");
  EXPECT_TRUE(Picture(Path("v.png")) == screen.screen);
  r = Run({"view", "--enlarged", Path("s.tim"), "-o", Path("e.png")});
  ASSERT_EQ(r.code, 0) << r.err;
  // The start palettes hold only the levels 0 and 255, so the screen shows the result view.
  EXPECT_TRUE(Picture(Path("e.png")) == view);
  r = Run({"view", Path("s.bin"), "--mode", mode, "-o", Path("b.png")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(ReadBytes(Path("b.png")) == ReadBytes(Path("v.png")));
}

INSTANTIATE_TEST_SUITE_P(Modes, CliViewTest, testing::Values("2", "4", "16"));

class CliViewErrorTest : public CliViewTest {};

TEST_F(CliViewErrorTest, MalformedScreensAreRefusedAndNothingIsWritten) {
  Bytes tim(16400, 0);
  tim[0] = 'T';
  tim[1] = 'I';
  tim[2] = 'M';
  tim[3] = 2;
  test::WriteBytes(Path("short.tim"), Bytes(tim.begin(), tim.end() - 1));
  Bytes magic = tim;
  magic[1] = 'X';
  test::WriteBytes(Path("magic.tim"), magic);
  Bytes mode = tim;
  mode[3] = 7;
  test::WriteBytes(Path("mode.tim"), mode);
  const struct {
    const char* file;
    const char* reason;
  } cases[] = {{"short.tim", "16399 bytes"},
               {"magic.tim", "\"TIM\""},
               {"mode.tim", "mode byte 7"},
               {"missing.tim", "No such file"},
               {"pic.bmp", "16384"}};
  for (const auto& c : cases) {
    const ToolResult r = Run({"view", Path(c.file), "-o", Path("out.png")});
    EXPECT_EQ(r.code, 1) << c.file;
    EXPECT_EQ(r.err.rfind("tvcpix-cli: " + Path(c.file) + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(Path("out.png"))) << c.file;
  }
}

TEST_F(CliViewErrorTest, UsageErrors) {
  test::WriteBytes(Path("a.tim"), Bytes(16400, 0));
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"view", Path("a.tim")},        // no -o
           {"view", "-o", Path("x.png")},  // no FILE
           {"view", Path("a.tim"), Path("b.tim"), "-o", Path("x.png")},
           {"view", Path("a.tim"), "-m", "4", "-o", Path("x.png")},  // a .tim names its mode
           {"view", Path("a.bin"), "-m", "8", "-o", Path("x.png")},
           {"view", Path("a.bin"), "--palette4", "0,1,2", "-o", Path("x.png")},
           {"view", Path("a.bin"), "--dither", "floyd", "-o", Path("x.png")},
           {"-o", Path("s"), "--asm", Path("s.asm"), Path("pic.bmp"), Path("pic2.bmp")},
           {"-o", Path("s"), "--png", Path("s.bmp"), Path("pic.bmp")},
           {"-o", Path("s"), "--png", Path("x"), "--asm", Path("./x"), Path("pic.bmp")},
       }) {
    const ToolResult r = Run(args);
    EXPECT_EQ(r.code, 2) << args[1] << " " << args[2] << "\n" << r.err;
    EXPECT_FALSE(fs::exists(Path("x.png")));
  }
}

TEST_F(CliViewErrorTest, ExportsNeverReplaceTheInputAndReportFailedWrites) {
  const Bytes before = ReadBytes(Path("pic.bmp"));
  ToolResult r = Run({"-o", Path("s"), "--png", Path("pic.bmp"), Path("pic.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("would replace the input"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadBytes(Path("pic.bmp")) == before);
  EXPECT_FALSE(fs::exists(Path("s.bmp")));

  r = Run({"-o", Path("s"), "--asm", Path("no/folder/s.asm"), Path("pic.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(
      r.err.rfind(
          "tvcpix-cli: " + Path("pic.bmp") + ": cannot write " + Path("no/folder/s.asm") + ": ", 0),
      0u)
      << r.err;
}

// The options the help lists (long names) and, per option, whether an example line uses it.
TEST(CliDocsTest, HelpGivesAnExampleForEveryOptionAndTheManualListsThemAll) {
  const fs::path scratch = test::MakeScratchFolder("tvcpix_docs_");
  const ToolResult help = test::RunTool({"--help"}, scratch);
  fs::remove_all(scratch);
  ASSERT_EQ(help.code, 0);

  std::set<std::string> options;
  std::vector<std::string> examples;
  std::map<std::string, std::string> short_of;
  std::istringstream in(help.out);
  std::string line;
  const std::regex option_line("^ {2,6}(-([a-zA-Z]), )?(--[a-z0-9-]+)");
  const std::regex long_name("--[a-z0-9-]+");
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_search(line, m, option_line)) {
      // Option lines may name several options ("--brightness V, --gamma V, ...").
      for (std::sregex_iterator it(line.begin(), line.end(), long_name), end; it != end; ++it) {
        options.insert(it->str());
      }
      if (m[2].matched) short_of[m[3].str()] = "-" + m[2].str();
    }
    if (line.find_first_not_of(' ') >= 20 && line.find("tvcpix-cli ") != std::string::npos) {
      examples.push_back(line);
    }
  }
  EXPECT_GE(options.size(), 19u) << help.out;
  for (const std::string& option : options) {
    bool shown = false;
    for (const std::string& example : examples) {
      // A whole word of the example line, or the start of "--name=value".
      const auto uses = [&example](const std::string& spelling) {
        for (std::size_t at = example.find(spelling); at != std::string::npos;
             at = example.find(spelling, at + 1)) {
          const std::size_t after = at + spelling.size();
          if (at > 0 && example[at - 1] == ' ' &&
              (after == example.size() || example[after] == ' ' || example[after] == '=')) {
            return true;
          }
        }
        return false;
      };
      shown = shown || uses(option) || (short_of.count(option) && uses(short_of[option]));
    }
    EXPECT_TRUE(shown) << "no example uses " << option;
  }

  // The manual documents the same options, written with \- for each dash.
  std::string manual = ReadText(fs::path(TVCPIX_SAMPLES_DIR) / ".." / "docs" / "tvcpix-cli.1");
  ASSERT_FALSE(manual.empty());
  for (std::size_t at = manual.find("\\-"); at != std::string::npos; at = manual.find("\\-", at))
    manual.replace(at, 2, "-");
  std::set<std::string> documented;
  for (std::sregex_iterator it(manual.begin(), manual.end(), long_name), end; it != end; ++it)
    documented.insert(it->str());
  EXPECT_EQ(documented, options);
}

}  // namespace
}  // namespace tvcpix
