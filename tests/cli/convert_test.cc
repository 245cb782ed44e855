// tvcpix-cli's conversions: the files it writes against the window's result, tones and the
// noise sequence, a saved screen opened again, and failures per input.
#include <cerrno>
#include <cstring>

#include "engine/input_file.h"
#include "tests/cli/cli_fixture.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::CliParamTest;
using test::CliTest;
using test::Parse;
using test::ReadBytes;
using test::Reference;
using test::ToolResult;
using test::WritePicture;
namespace fs = std::filesystem;

// The spellings of the settings, and the start palettes without palette options.
TEST_F(CliTest, SettingsAreParsedInEverySpelling) {
  const struct {
    const char* line;
    TvcMode mode;
    DitherMethod method;
    std::array<int, 4> palette4;
    std::array<int, 2> palette2;
    bool resize;
  } cases[] = {{"-m 16 -d bayer4x4 --no-resize", TvcMode::kGraphics16, DitherMethod::kBayer4x4,
                kStartPalette4Indices, kStartPalette2Indices, false},
               {"-m4 -d STUCKI --palette4 1,14,8,6",
                TvcMode::kGraphics4,
                DitherMethod::kStucky,
                {1, 14, 8, 6},
                kStartPalette2Indices,
                true},
               {"--mode=2 --dither=atkinson --palette2=9,14",
                TvcMode::kGraphics2,
                DitherMethod::kAtkinson,
                kStartPalette4Indices,
                {9, 14},
                true}};
  for (const auto& c : cases) {
    const CliOptions o = Parse(Words(std::string(c.line) + " -O D/o a"));
    EXPECT_EQ(std::tuple(o.mode, o.method, o.palette4, o.palette2, o.resize),
              std::tuple(c.mode, c.method, c.palette4, c.palette2, c.resize))
        << c.line;
  }
}

// The three files and the line are the window's for the same picture and settings.
TEST_F(CliTest, WritesTheModelsResult) {
  WritePicture(Path("in.bmp"), 70, 46, 3);
  const std::vector<std::string> args =
      Words("-m4 -d stucki --palette4 1,14,8,6 --no-resize -o D/out D/in.bmp");
  const ToolResult r = ScratchTest::Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  Model ref = Reference(Path("in.bmp"), Parse(args));
  EXPECT_EQ(r.out + r.err, Path("out") + ": " + ref.result_colors_caption() + " colours\n");
  ASSERT_TRUE(ref.SaveAs(Path("ref")).ok);
  for (const char* ext : {".bmp", ".bin", ".tim"})
    EXPECT_TRUE(ReadBytes(Path("out") + ext) == ReadBytes(Path("ref") + ext)) << ext;
}

// "Treshold+Noise" draws anew in every conversion, so the result shows how many came before it:
// as in the window, a load (three conversions) and two slider moves, brightness before gamma
// whatever the order given, each with "Set" on the last one's result; the fifth is saved.
TEST_F(CliTest, ToneConversionsAdvanceTheNoiseSequence) {
  WritePicture(Path("noise.bmp"), 64, 48, 9);
  const std::vector<std::string> args =
      Words("-d tresholdnoise --gamma 45 --brightness 60 -q -o D/n D/noise.bmp");
  const ToolResult r = ScratchTest::Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");  // -q
  Model ref = Reference(Path("noise.bmp"), Parse(args));
  ref.MoveSlider(1, 60);
  ref.Set();
  ref.MoveSlider(2, 45);
  EXPECT_TRUE(ReadBytes(Path("n.bmp")) == test::BmpBytes(ref.pic2()));
}

// A saved screen given as the input comes back through the window's path: opened as the
// enlarged screen, loaded into a fresh model and saved.
TEST_F(CliTest, SavedScreenConvertsAgainAsTheWindowLoadsIt) {
  WritePicture(Path("in.bmp"), 90, 60, 4);
  ASSERT_EQ(Run("-m 4 -d floyd -o D/out D/in.bmp").code, 0);
  const ToolResult r = Run("D/out.tim -o D/again");
  ASSERT_EQ(r.code, 0) << r.err;
  InputFile opened;
  ASSERT_TRUE(OpenInputFile(Path("out.tim"), DecodeWithQt, &opened).ok);
  Model model;
  model.LoadSourcePicture(std::move(opened.picture));
  ASSERT_TRUE(model.SaveAs(Path("window")).ok);
  EXPECT_EQ(r.out, Path("again") + ": " + model.result_colors_caption() + " colours\n");
  for (const char* ext : {".bmp", ".bin", ".tim"})
    EXPECT_TRUE(ReadBytes(Path("again") + ext) == ReadBytes(Path("window") + ext)) << ext;
}

struct FailureCase {
  const char* name;
  const char* line;
  std::string reason;  // found after "tvcpix-cli: <self.bmp>: "; "D/" is the scratch folder
};
using FailedInputTest = CliParamTest<FailureCase>;

// Never over its input, into a missing folder or past a failed write: the input fails, naming
// the file and reason (and what was already replaced), the input stays, and the next input
// still converts.
TEST_P(FailedInputTest, NamesTheFileAndTheReason) {
  const auto& [name, line, reason] = GetParam();
  WritePicture(Path("self.bmp"), 32, 32, 1);
  WritePicture(Path("next.bmp"), 32, 32, 2);
  const Bytes before = ReadBytes(Path("self.bmp"));
  fs::create_directories(Path("out/self.bin"));  // a folder where the .bin belongs
  const ToolResult r = Run(line);
  EXPECT_EQ(r.code, 1);
  const std::string self = "tvcpix-cli: " + Path("self.bmp") + ": ";
  std::string why = reason;  // "D/" again the scratch folder
  for (std::size_t at = 0; (at = why.find("D/", at)) != std::string::npos;)
    why.replace(at, 2, dir_.string() + "/"), at += dir_.string().size() + 1;
  EXPECT_TRUE(r.err.rfind(self, 0) == 0 && r.err.find(why) != std::string::npos) << r.err;
  const bool next = std::string(line).find("next") != std::string::npos;
  EXPECT_EQ(r.out.substr(0, r.out.find(':')), next ? Path("out/next") : "");
  EXPECT_TRUE(ReadBytes(Path("self.bmp")) == before);
  if (next) {
    EXPECT_EQ(Listing(Path("out")),
              (std::set<std::string>{"self.bmp", "self.bin", "next.bmp", "next.bin", "next.tim"}));
  }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Inputs, FailedInputTest, testing::Values(
    FailureCase{"OutputsIntoTheInputsFolder", "-O D/. D/self.bmp", ""},
    FailureCase{"PngWouldReplaceTheInput", "-o D/s --png D/self.bmp D/self.bmp",
    "would replace the input"},
    FailureCase{"MissingOutputFolder", "-o D/no/such/base D/self.bmp", ""},
    FailureCase{"AsmIntoMissingFolder", "-o D/s --asm D/no/s.asm D/self.bmp",
    "cannot write D/no/s.asm: "},
    FailureCase{"FolderAtBinNextStillConverts", "-j 1 -O D/out D/self.bmp D/next.bmp",
                "D/out/self.bin: " + std::string(std::strerror(EISDIR)) +
                    " (already replaced: D/out/self.bmp)\n"}),
    test::CaseName<FailureCase>);
// clang-format on

}  // namespace
}  // namespace tvcpix
