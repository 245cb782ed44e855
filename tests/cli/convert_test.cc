// tvcpix-cli's conversions: the settings in every spelling and the usage errors, the files it
// writes against the window's result, tones and the noise sequence, a saved screen opened again,
// the perceptual methods' names and "auto" palettes, the exports and "view", batches that write
// and print exactly what one input at a time does, and failures per input.
#include <cerrno>
#include <cstring>
#include <map>
#include <regex>

#include "engine/input_file.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::Parse;
using test::ReadBytes;
using test::Reference;
using test::ToolResult;
using test::WritePicture;
namespace fs = std::filesystem;
using test::Picture;

using CliTest = test::ScratchTest;

// The spellings of the settings, the start palettes without palette options, the perceptual
// methods' names and numbers, and the help that lists them.
TEST_F(CliTest, SettingsAreParsedInEverySpelling) {
  using M = DitherMethod;
  const auto p4 = kStartPalette4Indices;
  const auto p2 = kStartPalette2Indices;
  // clang-format off
  const std::tuple<const char*, TvcMode, M, std::array<int, 4>, std::array<int, 2>, bool> cases[] = {
      {"-m 16 -d bayer4x4 --no-resize", TvcMode::kGraphics16, M::kBayer4x4, p4, p2, false},
      {"-m4 -d STUCKI --palette4 1,14,8,6", TvcMode::kGraphics4, M::kStucky, {1, 14, 8, 6}, p2, true},
      {"--mode=2 --dither=atkinson --palette2=9,14", TvcMode::kGraphics2, M::kAtkinson, p4, {9, 14},
       true}};
  // clang-format on
  for (const auto& [line, mode, method, palette4, palette2, resize] : cases) {
    const CliOptions o = Parse(Words(std::string(line) + " -O D/o a"));
    EXPECT_EQ(std::tuple(o.mode, o.method, o.palette4, o.palette2, o.resize),
              std::tuple(mode, method, palette4, palette2, resize))
        << line;
  }
  for (const auto& [names, method] : {std::pair("perceptual 18", M::kPerceptual),
                                      {"Screen 19 aspect", M::kScreen},
                                      {"best 20", M::kBest}})
    for (const std::string& name : Words(names)) EXPECT_EQ(ParseMethod(name), method) << name;
  const ToolResult help = RunLine("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* line : {"18 perceptual", "19 screen", "20 best", "--strength N"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
}

// The three files and the line are the window's for the same picture and settings; the saved
// screen given as the input comes back through the window's path: opened as the enlarged
// screen, loaded into a fresh model and saved.
TEST_F(CliTest, WritesTheModelsResultAndConvertsItAgain) {
  WritePicture(Path("in.bmp"), 70, 46, 3);
  const auto same_files = [&](const std::string& a, const std::string& b) {
    for (const char* ext : {".bmp", ".bin", ".tim"})
      EXPECT_TRUE(ReadBytes(Path(a) + ext) == ReadBytes(Path(b) + ext)) << a << ext;
  };
  const std::vector<std::string> args =
      Words("-m4 -d stucki --palette4 1,14,8,6 --no-resize -o D/out D/in.bmp");
  const ToolResult r = Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  Model ref = Reference(Path("in.bmp"), Parse(args));
  EXPECT_EQ(r.out + r.err, Path("out") + ": " + ref.result_colors_caption() + " colours\n");
  ASSERT_TRUE(ref.SaveAs(Path("ref")).ok);
  same_files("out", "ref");
  const ToolResult again = RunLine("D/out.tim -o D/again");
  ASSERT_EQ(again.code, 0) << again.err;
  InputFile opened;
  ASSERT_TRUE(OpenInputFile(Path("out.tim"), DecodeWithQt, &opened).ok);
  Model model;
  model.LoadSourcePicture(std::move(opened.picture));
  ASSERT_TRUE(model.SaveAs(Path("window")).ok);
  EXPECT_EQ(again.out, Path("again") + ": " + model.result_colors_caption() + " colours\n");
  same_files("again", "window");
}

// "Treshold+Noise" draws anew in every conversion, so the result shows how many came before it:
// as in the window, a load (three conversions) and two slider moves, brightness before gamma
// whatever the order given, each with "Set" on the last one's result; the fifth is saved.
TEST_F(CliTest, ToneConversionsAdvanceTheNoiseSequence) {
  WritePicture(Path("noise.bmp"), 64, 48, 9);
  const std::vector<std::string> args =
      Words("-d tresholdnoise --gamma 45 --brightness 60 -q -o D/n D/noise.bmp");
  const ToolResult r = Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");  // -q
  Model ref = Reference(Path("noise.bmp"), Parse(args));
  ref.MoveSlider(1, 60);
  ref.Set();
  ref.MoveSlider(2, 45);
  EXPECT_TRUE(ReadBytes(Path("n.bmp")) == test::BmpBytes(ref.pic2()));
}

// Never over its input, into a missing folder or past a failed write: the input fails, naming
// the file and reason (and what was already replaced), the input stays, and the next input
// still converts.
TEST_F(CliTest, FailedInputNamesTheFileAndTheReason) {
  // The line, and the reason found after "tvcpix-cli: <self.bmp>: "; "D/" the scratch folder.
  const std::pair<const char*, std::string> cases[] = {
      {"-O D/. D/self.bmp", ""},
      {"-o D/s --png D/self.bmp D/self.bmp", "would replace the input"},
      {"-o D/no/such/base D/self.bmp", ""},
      {"-o D/s --asm D/no/s.asm D/self.bmp", "cannot write D/no/s.asm: "},
      {"-j 1 -O D/out D/self.bmp D/next.bmp",
       "D/out/self.bin: " + std::string(std::strerror(EISDIR)) +
           " (already replaced: D/out/self.bmp)\n"}};
  for (const auto& [line, reason] : cases) {
    fs::remove_all(dir_);
    fs::create_directories(Path("out/self.bin"));  // a folder where the .bin belongs
    WritePicture(Path("self.bmp"), 32, 32, 1);
    WritePicture(Path("next.bmp"), 32, 32, 2);
    const Bytes before = ReadBytes(Path("self.bmp"));
    const ToolResult r = RunLine(line);
    EXPECT_EQ(r.code, 1) << line;
    const std::string self = "tvcpix-cli: " + Path("self.bmp") + ": ";
    const std::string why = std::regex_replace(reason, std::regex("D/"), dir_.string() + "/");
    EXPECT_TRUE(r.err.rfind(self, 0) == 0 && r.err.find(why) != std::string::npos) << r.err;
    const bool next = std::string(line).find("next") != std::string::npos;
    EXPECT_EQ(r.out.substr(0, r.out.find(':')), next ? Path("out/next") : "") << line;
    EXPECT_TRUE(ReadBytes(Path("self.bmp")) == before) << line;
    const std::set<std::string> out = {"self.bmp", "self.bin", "next.bmp", "next.bin", "next.tim"};
    EXPECT_EQ(Listing(Path("out")), next ? out : std::set<std::string>{"self.bin"}) << line;
  }
}

// The palette found is printed; given by hand, it writes the same files and the same line
// (without the palette, which only "auto" names).
TEST_F(CliTest, AutoPaletteIsNamedOnTheLineAndHeldByTheFiles) {
  test::WritePicture(Path("in.bmp"), 120, 90, 5);
  for (const std::string option : {"-m 4 --palette4", "-m 2 --palette2"}) {
    const ToolResult r = RunLine(option + " auto -d perceptual -o D/a D/in.bmp");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string prefix = Path("a") + ": ";
    const std::size_t at = r.out.find(", palette ");
    ASSERT_TRUE(r.out.rfind(prefix, 0) == 0 && at != std::string::npos) << r.out;
    const std::string indices = r.out.substr(at + 10, r.out.size() - at - 11);
    const ToolResult manual = RunLine(option + " " + indices + " -d perceptual -o D/m D/in.bmp");
    ASSERT_EQ(manual.code, 0) << manual.err;
    EXPECT_EQ(manual.out,
              Path("m") + ": " + r.out.substr(prefix.size(), at - prefix.size()) + "\n");
    for (const char* ext : {".bmp", ".bin", ".tim"})
      EXPECT_EQ(ReadBytes(Path("a") + ext), ReadBytes(Path("m") + ext)) << ext;
  }
}

// The bytes of every hexadecimal item ("$3F" or "0x3F,") in the text.
Bytes HexItems(const std::string& text, const std::string& pattern) {
  Bytes bytes;
  const std::regex item(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), item), end; it != end; ++it)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi((*it)[1].str(), nullptr, 16)));
  return bytes;
}

TEST_F(CliTest, ExportsAndViewsHoldTheSavedScreen) {
  test::WritePicture(Path("pic.bmp"), 150, 110, 3);
  for (const std::string mode : {"2", "4", "16"}) {
    SCOPED_TRACE("Graphics " + mode);
    const std::string exports = " -d stucki -o D/s --asm D/s.asm --c-header D/s.h --png D/s.png";
    ASSERT_EQ(RunLine("-m " + mode + exports + " D/pic.bmp").code, 0);
    const Bytes bin = ReadBytes(Path("s.bin")), tim = ReadBytes(Path("s.tim"));
    EXPECT_TRUE(HexItems(test::ReadText(Path("s.asm")), "(?:db |,)\\$([0-9A-F]{2})") == bin);
    EXPECT_TRUE(HexItems(test::ReadText(Path("s.h")), "0x([0-9A-F]{2}),") == bin);
    const Surface view = Picture(Path("s.png"));  // the result view, as the BMP holds it
    EXPECT_TRUE(view == Picture(Path("s.bmp")));
    DecodedScreen screen;
    ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &screen).ok);
    const ToolResult r = RunLine("view D/s.tim -o D/v.png");
    EXPECT_EQ(r.out, Path("v.png") + ": " + InfoOf(screen.mode).caption + ", " +
                         std::to_string(screen.screen.width()) + " x 240\n");
    EXPECT_TRUE(Picture(Path("v.png")) == screen.screen);
    ASSERT_EQ(RunLine("view --enlarged D/s.tim -o D/e.png").code, 0);
    EXPECT_TRUE(Picture(Path("e.png")) == view);  // start palettes hold only levels 0 and 255
    ASSERT_EQ(RunLine("view D/s.bin -o D/b.png --mode " + mode).code, 0);
    EXPECT_TRUE(ReadBytes(Path("b.png")) == ReadBytes(Path("v.png")));
  }
}

// Good inputs, a copy, a broken one, a missing one and two sharing a base: parallel runs write
// and print exactly what a sequential run does, and the copy gives the same files as its original.
TEST_F(CliTest, ParallelRunsEqualSequentialAndSingleRuns) {
  fs::create_directories(Path("x")), fs::create_directories(Path("y"));
  for (int i = 0; i < 4; ++i)
    WritePicture(Path("p" + std::to_string(i) + ".bmp"), 40 + 23 * i, 90 - 11 * i, i);
  fs::copy_file(Path("p0.bmp"), Path("copy.bmp"));
  fs::copy_file(std::string(TVCPIX_SAMPLES_DIR) + "/coffee_600x400.jpg", Path("coffee.jpg"));
  test::WriteBytes(Path("bad.bmp"), Bytes{'B', 'M', 0, 1, 2});
  WritePicture(Path("x/same.bmp"), 30, 30, 7);
  WritePicture(Path("y/same.bmp"), 30, 30, 8);
  const std::string inputs =
      " -O D/out D/p0.bmp D/x/same.bmp D/coffee.jpg D/p1.bmp D/bad.bmp D/p2.bmp D/missing.bmp "
      "D/copy.bmp D/y/same.bmp D/p3.bmp";
  const std::regex summary("tvcpix-cli: 6 converted, 4 failed in [0-9.]+ s \\((\\d) threads?\\)\n");
  for (const std::string settings :
       {"-d Treshold+Noise -m 4", "--gamma 40 --brightness 55 -d perceptual"}) {
    SCOPED_TRACE(settings);
    std::map<std::string, std::map<std::string, Bytes>> files;
    std::map<std::string, ToolResult> runs;
    for (const char* jobs : {"1", "3"}) {
      ToolResult& r = runs[jobs] = RunLine(settings + " -j " + jobs + inputs);
      EXPECT_EQ(r.code, 1);
      std::smatch m;
      EXPECT_TRUE(std::regex_search(r.err, m, summary) && m[1] == jobs) << r.err;
      r.err = std::regex_replace(r.err, summary, "");
      for (const auto& e : fs::directory_iterator(Path("out")))
        files[jobs][e.path().filename()] = ReadBytes(e.path());
      fs::remove_all(Path("out"));
    }
    EXPECT_EQ(runs["3"].out, runs["1"].out);
    EXPECT_EQ(runs["3"].err, runs["1"].err);  // no progress into a file either
    EXPECT_TRUE(files["3"] == files["1"]);
    EXPECT_EQ(files["1"].size(), 18u);  // six pictures, three files each
    EXPECT_TRUE(files["1"]["copy.bmp"] == files["1"]["p0.bmp"]);
    const std::regex line_base("[^\n]*/([^/\n:]+): [^\n]*\n");  // one line per input, in order
    EXPECT_EQ(std::regex_replace(runs["1"].out, line_base, "$1 "), "p0 coffee p1 p2 copy p3 ");
    for (const char* failed : {"x/same.bmp", "bad.bmp", "missing.bmp", "y/same.bmp"})
      EXPECT_NE(runs["1"].err.find("tvcpix-cli: " + Path(failed) + ": "), std::string::npos)
          << failed;
  }
}

// Exit code 2, a message naming the fault where one is given, and nothing written.
TEST_F(CliTest, UsageErrorsExitWithTwoAndWriteNothing) {
  test::WritePicture(Path("a.bmp"), 20, 20, 1);
  test::WriteBytes(Path("a.tim"), test::Bytes(16400, 0));
  // The command line ("D/..." a path in the scratch folder, '' an empty word), a part of the
  // message.
  // clang-format off
  const std::pair<const char*, const char*> cases[] = {
      {"", ""}, {"-O D/o", ""}, {"D/a.bmp", ""}, {"-o D/x -O D/y D/a.bmp", ""},
      {"-o D/x D/a.bmp D/a.bmp", ""}, {"-o '' D/a.bmp", ""}, {"-x -O D/o D/a.bmp", ""},
      {"-O D/o D/a.bmp --mode", ""}, {"-O D/o -m 8 D/a.bmp", ""},
      {"-O D/o -d finest D/a.bmp", "unknown dithering method"},
      {"-O D/o -d 21 D/a.bmp", "use 1..20"}, {"-O D/o --palette4 0,1,2,16 D/a.bmp", ""},
      {"-O D/o --palette2 a,b D/a.bmp", ""}, {"-O D/o -m 4 --palette4 Auto D/a.bmp", "palette"},
      {"-O D/o --gamma 101 D/a.bmp", ""},
      {"-O D/o -d floyd --strength 50 D/a.bmp", "applies only to the perceptual"},
      {"-O D/o --strength 50 D/a.bmp", "not to 'Pattern TVC'"},
      {"-O D/o -d perceptual --strength 101 D/a.bmp", "invalid --strength"},
      {"-O D/o -d screen --strength x D/a.bmp", "invalid --strength"},
      {"-O D/o --no-resize=1 D/a.bmp", ""}, {"-j 0 -O D/o D/a.bmp", ""},
      {"-o D/s --asm D/s.asm D/a.bmp D/a.bmp", ""}, {"-o D/s --png D/x --asm D/./x D/a.bmp", ""},
      {"view D/a.tim", ""}, {"view D/a.tim -m 4 -o D/x.png", ""},
      {"view D/a.bin --dither floyd -o D/x.png", ""}};
  // clang-format on
  for (const auto& [line, says] : cases) {
    const test::ToolResult r = RunLine(line);
    EXPECT_EQ(r.code, kExitUsage) << line;
    EXPECT_EQ(r.out + r.err.substr(0, 12), "tvcpix-cli: ") << line;
    EXPECT_NE(r.err.find(says), std::string::npos) << line << ": " << r.err;
    EXPECT_EQ(Listing(dir_.string()), (std::set<std::string>{"a.bmp", "a.tim"})) << line;
  }
}

}  // namespace
}  // namespace tvcpix
