// tvcpix-cli's conversions: the files it writes against the window's result, tones and the
// noise sequence, a saved screen opened again, and failures per input.
#include <cerrno>
#include <cstring>

#include "core/color_count.h"
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

struct SettingsCase {
  const char* name;
  const char* settings;
};
using ConvertTest = CliParamTest<SettingsCase>;

// The three files and the line are the window's for the same picture and settings.
TEST_P(ConvertTest, WritesTheModelsResult) {
  WritePicture(Path("in.bmp"), 70, 46, 3);
  std::vector<std::string> args = Words(GetParam().settings + std::string(" -o D/out D/in.bmp"));
  const ToolResult r = ScratchTest::Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const CliOptions o = Parse(args);
  const Model ref = Reference(Path("in.bmp"), o);
  EXPECT_EQ(r.out, Path("out") + ": " + std::to_string(CountColors(ref.pic2())) + " colours\n");
  EXPECT_TRUE(ReadBytes(Path("out.bmp")) == test::BmpBytes(ref.pic2()));
  const Bytes bin = BuildScreenImage(ref.preview(o.mode), o.mode, ref.palette());
  const auto header = TimHeader(o.mode, ref.palette());
  Bytes tim(header.begin(), header.end());
  tim.insert(tim.end(), bin.begin(), bin.end());
  EXPECT_TRUE(ReadBytes(Path("out.bin")) == bin);
  EXPECT_TRUE(ReadBytes(Path("out.tim")) == tim);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Settings, ConvertTest, testing::Values(
    SettingsCase{"Graphics16", "-m 16"},
    SettingsCase{"Bayer4x4NoResize", "-d bayer4x4 --no-resize"},
    SettingsCase{"Graphics4StuckiPalette", "-m4 -d STUCKI --palette4 1,14,8,6"},
    SettingsCase{"Graphics2AtkinsonPalette", "--mode=2 -d atkinson --palette2=9,14"}),
    test::CaseName<SettingsCase>);
// clang-format on

TEST_F(CliTest, PaletteOptionsGiveTheIndicesAndDefaultToTheStartPalettes) {
  const CliOptions o = Parse(Words("--palette4 1,14,8,6 --palette2=9,14 -O D/o a"));
  EXPECT_EQ(std::pair(o.palette4, o.palette2),
            std::pair(std::array{1, 14, 8, 6}, std::array{9, 14}));
  const CliOptions d = Parse(Words("-O D/o a"));
  EXPECT_EQ(std::pair(d.palette4, d.palette2),
            std::pair(kStartPalette4Indices, kStartPalette2Indices));
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
