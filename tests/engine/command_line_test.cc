// The command line copied from the window: run, it writes the files a save writes, byte for
// byte; where no command can, none is offered and the reason is given.
#include "engine/command_line.h"

#include <cstdlib>
#include <functional>
#include <string>

#include "engine/input_file.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::ReadBytes;

struct Session {
  const char* name;
  const char* picture;
  bool combine;
  std::function<void(Model&)> steps;  // after the load
};

Model* Loaded(Model& model, const std::string& path, bool combine) {
  InputFile opened;
  EXPECT_TRUE(OpenInputFile(path, DecodeWithQt, &opened).ok);
  model.SetCombineTones(combine);
  model.LoadSourcePicture(std::move(opened.picture), path);
  return &model;
}

class CommandLineTest : public test::ScratchTest, public testing::WithParamInterface<Session> {};

TEST_P(CommandLineTest, CopiedCommandWritesTheSavedFiles) {
  const Session& s = GetParam();
  const std::string input = Path(std::string("in put's ") + s.picture);  // blanks and a quote
  test::WriteBytes(input, ReadBytes(std::string(TVCPIX_SAMPLES_DIR) + "/" + s.picture));
  Model model;
  Loaded(model, input, s.combine);
  s.steps(model);
  ASSERT_TRUE(model.SaveAs(Path("saved")).ok);
  const CommandLine line = BuildCommandLine(model, Path("copied"), TVCPIX_CLI_PATH);
  ASSERT_TRUE(line.ok) << line.reason;
  ASSERT_EQ(std::system((line.command + " >/dev/null").c_str()), 0) << line.command;
  for (const char* ext : {".bmp", ".bin", ".tim"})
    EXPECT_EQ(ReadBytes(Path("copied") + ext), ReadBytes(Path("saved") + ext)) << line.command;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Sessions, CommandLineTest, testing::Values(
    Session{"Plain", "rose_70x46.bmp", false, [](Model&) {}},
    Session{"Graphics4FloydPalette", "chelsea_451x300.bmp", false, [](Model& m) {
      m.SelectMode(TvcMode::kGraphics4), m.SelectMethod(DitherMethod::kFloyd);
      m.PickColor(12), m.AssignColor4(1), m.PickColor(3), m.AssignColor4(3); }},
    Session{"Graphics2Palette", "milla_211x242.bmp", false, [](Model& m) {
      m.SelectMode(TvcMode::kGraphics2), m.SelectMethod(DitherMethod::kSierraLite);
      m.PickColor(1), m.AssignColor2(0); }},
    // The first Brightness is discarded by the next move, Color by the first Contrast.
    Session{"TonesSetThenLive", "coffee_600x400.jpg", false, [](Model& m) {
      m.SelectMode(TvcMode::kGraphics4), m.SelectMethod(DitherMethod::kAtkinson);
      m.MoveSlider(1, 30), m.MoveSlider(1, 62), m.Set(), m.MoveSlider(3, 70);
      m.MoveSlider(4, 58), m.MoveSlider(2, 47), m.MoveSlider(4, 41); }},
    Session{"CombinedTones", "parrot_495x498.jpg", true, [](Model& m) {
      m.SelectMethod(DitherMethod::kBayer4x4);
      m.MoveSlider(4, 60), m.MoveSlider(1, 55), m.MoveSlider(2, 52); }},
    Session{"PerceptualBestPalette", "parrot_495x498.jpg", false, [](Model& m) {
      m.SelectMode(TvcMode::kGraphics4), m.SelectMethod(DitherMethod::kPerceptual);
      m.SelectStrength(80), m.ApplyPalette(TvcMode::kGraphics4, m.BestPalettes()[1].indices); }}),
    [](const testing::TestParamInfo<Session>& info) { return std::string(info.param.name); });
// clang-format on

struct Refusal {
  const char* name;
  std::function<void(Model&)> steps;
  const char* reason;  // a word the reason must hold
};

class RefusalTest : public test::ScratchTest, public testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, NoCommandWhereNoneReproduces) {
  Model model;
  Loaded(model, std::string(TVCPIX_SAMPLES_DIR) + "/rose_70x46.bmp", false);
  GetParam().steps(model);
  const CommandLine line = BuildCommandLine(model, Path("copied"));
  EXPECT_FALSE(line.ok) << line.command;
  EXPECT_NE(line.reason.find(GetParam().reason), std::string::npos) << line.reason;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Refusals, RefusalTest, testing::Values(
    Refusal{"PatternEdit", [](Model& m) { m.ClickSwatch(kLeftButton, 9, 12); }, "patterns"},
    Refusal{"ResultViewClick", [](Model& m) { m.ProbeClick(kRightButton); }, "patterns"},
    Refusal{"AllOff", [](Model& m) { m.AllOff(); }, "patterns"},
    Refusal{"ToneOrder", [](Model& m) { m.MoveSlider(3, 60), m.Set(), m.MoveSlider(1, 60); },
    "order"},
    Refusal{"SameToneTwice", [](Model& m) { m.MoveSlider(1, 60), m.Set(), m.MoveSlider(1, 40); },
    "order"},
    Refusal{"NoiseMovedOn", [](Model& m) {
      m.SelectMethod(DitherMethod::kTresholdNoise),
      m.SelectMethod(DitherMethod::kTresholdNoise); }, "random"},
    // The patterns of "Pattern TVC" were chosen for the picture before the slider moved.
    Refusal{"PatternsChosenBeforeTones", [](Model& m) { m.MoveSlider(1, 70); }, "chosen"},
    Refusal{"NotAFile", [](Model& m) { m.LoadSourcePicture(Surface(m.pic1())); }, "file"}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });
// clang-format on

TEST(ShellQuoteTest, QuotesOnlyWhatNeedsIt) {
  for (const auto& [raw, quoted] : {std::pair("/a/b-c_d.jpg", "/a/b-c_d.jpg"),
                                    {"a b", "'a b'"},
                                    {"it's", "'it'\\''s'"},
                                    {"", "''"},
                                    {"$HOME", "'$HOME'"}})
    EXPECT_EQ(ShellQuote(raw), quoted);
}

}  // namespace
}  // namespace tvcpix
