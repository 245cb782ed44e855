// tvcpix-cli end to end: usage errors, the files it writes against the model, tones and the noise
// sequence, failures per input, exports and "view", and batches equal to single runs.
#include "cli/cli.h"

#include <map>
#include <sstream>

#include "core/color_count.h"
#include "core/run_timer.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::ToolResult;
namespace fs = std::filesystem;

class CliTest : public test::ScratchTest {
 protected:
  // The words of a line; "D/..." is a path in the scratch folder, '' an empty word.
  std::vector<std::string> Words(const std::string& line) const {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
      words.push_back(w == "''" ? "" : w.rfind("D/", 0) == 0 ? Path(w.substr(2)) : w);
    return words;
  }
  ToolResult Run(const std::string& line) { return ScratchTest::Run(Words(line)); }
};

// A colourful test picture; seed varies it.
void WritePicture(const std::string& path, int width, int height, int seed) {
  Surface s("Pic1", width, height, 0);
  for (int i = 0; i < width * height; ++i) {
    const int x = i % width, y = i / width;
    s.SetPixel(x, y,
               MakeColor(x * 255 / width, (x * 37 + y * 11 + seed * 53) & 255,
                         (y * 255 / height ^ seed) & 255));
  }
  test::WriteBytes(path, test::BmpBytes(s));
}

CliOptions Parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tvcpix-cli"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CliOptions options;
  std::string error;
  EXPECT_TRUE(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &options, &error))
      << error;
  return options;
}

Surface Picture(const std::string& path) {
  Surface s;
  const Result r = DecodePictureFile(path, &s);
  EXPECT_TRUE(r.ok) << r.message;
  return s;
}

// The window's load sequence on the same picture and settings, in this process.
Model Reference(const std::string& input, const CliOptions& o) {
  Model model;
  model.SetMode(o.mode);
  model.SetMethod(o.method);
  model.SetResize(o.resize);
  for (int i = 0; i < 4; ++i) model.SetSwatch4(i, ColorFromEntry(Tvc16Color(o.palette4[i])));
  for (int i = 0; i < 2; ++i) model.SetSwatch2(i, ColorFromEntry(Tvc16Color(o.palette2[i])));
  model.LoadSourcePicture(Picture(input));
  return model;
}

// ---------------------------------------------------------------- the command line

TEST_F(CliTest, UsageErrorsExitWithTwoAndWriteNothing) {
  WritePicture(Path("a.bmp"), 20, 20, 1);
  test::WriteBytes(Path("a.tim"), Bytes(16400, 0));
  const std::string lines =  // one line each, split at '|'
      "|-O D/o|D/a.bmp|-o D/x -O D/y D/a.bmp|-o D/x D/a.bmp D/a.bmp|-o '' D/a.bmp|-x -O D/o "
      "D/a.bmp|"
      "-O D/o D/a.bmp --mode|-O D/o -m 8 D/a.bmp|-O D/o -d no D/a.bmp|-O D/o --palette4 0,1,2,16 "
      "D/a.bmp|-O D/o --palette2 a,b D/a.bmp|-O D/o --gamma 101 D/a.bmp|-O D/o --no-resize=1 "
      "D/a.bmp|-j 0 -O D/o D/a.bmp|-o D/s --asm D/s.asm D/a.bmp D/a.bmp|-o D/s --png D/x --asm "
      "D/./x D/a.bmp|view D/a.tim|view D/a.tim -m 4 -o D/x.png|view D/a.bin --dither floyd -o "
      "D/x.png";
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line, '|');) {
    const ToolResult r = Run(line);
    EXPECT_EQ(r.code, kExitUsage) << line;
    EXPECT_EQ(r.out + r.err.substr(0, 12), "tvcpix-cli: ") << line;
    EXPECT_EQ(Listing(dir_.string()), (std::set<std::string>{"a.bmp", "a.tim"})) << line;
  }
}

// ---------------------------------------------------------------- conversions

TEST_F(CliTest, WritesTheModelsResultInEveryMode) {
  WritePicture(Path("in.bmp"), 70, 46, 3);
  for (const char* settings :
       {"-m 16", "-d bayer4x4 --no-resize", "-m4 -d STUCKI --palette4 1,14,8,6",
        "--mode=2 -d atkinson --palette2=9,14"}) {
    SCOPED_TRACE(settings);
    std::vector<std::string> args = Words(settings + std::string(" -o D/out D/in.bmp"));
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
  const CliOptions o = Parse(Words("--palette4 1,14,8,6 --palette2=9,14 -O D/o a"));
  EXPECT_EQ(std::pair(o.palette4, o.palette2),
            std::pair(std::array{1, 14, 8, 6}, std::array{9, 14}));
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

// Never over its input, into a missing folder or past a failed write: the input fails, naming
// the file and reason (and what was already replaced), and the next input still converts.
TEST_F(CliTest, FailedInputsNameTheFileAndTheReason) {
  WritePicture(Path("self.bmp"), 32, 32, 1);
  WritePicture(Path("next.bmp"), 32, 32, 2);
  const Bytes before = ReadBytes(Path("self.bmp"));
  fs::create_directories(Path("out/self.bin"));  // a folder where the .bin belongs
  const std::string self = "tvcpix-cli: " + Path("self.bmp") + ": ";
  const std::pair<const char*, std::string> cases[] = {
      {"-O D/. D/self.bmp", ""},
      {"-o D/s --png D/self.bmp D/self.bmp", "would replace the input"},
      {"-o D/no/such/base D/self.bmp", ""},
      {"-o D/s --asm D/no/s.asm D/self.bmp", "cannot write " + Path("no/s.asm") + ": "},
      {"-j 1 -O D/out D/self.bmp D/next.bmp", Path("out/self.bin: ") + std::strerror(EISDIR) +
                                                  " (already replaced: " + Path("out/self.bmp") +
                                                  ")\n"}};
  for (const auto& [line, reason] : cases) {
    const ToolResult r = Run(line);
    EXPECT_EQ(r.code, 1) << line;
    EXPECT_TRUE(r.err.rfind(self, 0) == 0 && r.err.find(reason) != std::string::npos) << r.err;
    const bool next = std::string(line).find("next") != std::string::npos;
    EXPECT_EQ(r.out.substr(0, r.out.find(':')), next ? Path("out/next") : "") << line;
  }
  EXPECT_TRUE(ReadBytes(Path("self.bmp")) == before);
  EXPECT_EQ(Listing(Path("out")),
            (std::set<std::string>{"self.bmp", "self.bin", "next.bmp", "next.bin", "next.tim"}));
}

// ---------------------------------------------------------------- exports and "view"

// The bytes of every hexadecimal item ("$3F" or "0x3F,") in the text.
Bytes HexItems(const std::string& text, const std::string& pattern) {
  Bytes bytes;
  const std::regex item(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), item), end; it != end; ++it)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi((*it)[1].str(), nullptr, 16)));
  return bytes;
}

TEST_F(CliTest, ExportsAndViewsHoldTheSavedScreen) {
  WritePicture(Path("pic.bmp"), 150, 110, 3);
  for (const std::string mode : {"2", "4", "16"}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(Run("-m " + mode +
                  " -d stucki -o D/s --asm D/s.asm --c-header D/s.h --png D/s.png D/pic.bmp")
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
}

// ---------------------------------------------------------------- batches

// Good inputs, a copy, a broken one, a missing one and two sharing a base: parallel runs write
// and print exactly what a sequential run does, and the copy gives the same files as its original.
TEST_F(CliTest, BatchRunsEqualSequentialAndSingleRuns) {
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
  for (const std::string settings : {"-d Treshold+Noise -m 4", "--gamma 40 --brightness 55"}) {
    SCOPED_TRACE(settings);
    std::map<std::string, std::map<std::string, Bytes>> files;
    std::map<std::string, ToolResult> runs;
    for (const char* jobs : {"1", "3"}) {
      ToolResult& r = runs[jobs] = Run(settings + " -j " + jobs + inputs);
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

}  // namespace
}  // namespace tvcpix
