// tvcpix-cli end to end: option parsing, exit codes, and the three files it writes.
#include "cli/cli.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/model.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"
#include "dither/method.h"
#include "gtest/gtest.h"
#include "output/screen_file.h"
#include "ui/picture_file.h"

extern char** environ;

namespace tvcpix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xFF;
}

std::uint32_t Get(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[at + static_cast<std::size_t>(i)];
  return v;
}

// A 24-bit bottom-up BMP of a deterministic colourful picture; seed varies the content.
void WritePicture(const fs::path& path, int width, int height, int seed) {
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  Bytes b(54 + row * static_cast<std::size_t>(height), 0);
  b[0] = 'B';
  b[1] = 'M';
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  Put(b, 10, 54, 4);
  Put(b, 14, 40, 4);
  Put(b, 18, static_cast<std::uint32_t>(width), 4);
  Put(b, 22, static_cast<std::uint32_t>(height), 4);
  Put(b, 26, 1, 2);
  Put(b, 28, 24, 2);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.data() + 54 + row * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      p[3 * x + 0] = static_cast<std::uint8_t>(x * 255 / width);
      p[3 * x + 1] = static_cast<std::uint8_t>((x * 37 + y * 11 + seed * 53) % 256);
      p[3 * x + 2] = static_cast<std::uint8_t>((y * 255 / height) ^ seed);
    }
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// An uncompressed 24-bit BMP as top-down BGR rows without padding; empty when it is not one.
struct Bmp {
  int width = 0;
  int height = 0;
  Bytes bgr;
};

Bmp ReadBmp24(const fs::path& path) {
  const Bytes b = ReadBytes(path);
  Bmp bmp;
  if (b.size() < 54 || b[0] != 'B' || b[1] != 'M' || Get(b, 28, 2) != 24 || Get(b, 30, 4) != 0) {
    return bmp;
  }
  const int width = static_cast<int>(Get(b, 18, 4));
  const int raw_height = static_cast<std::int32_t>(Get(b, 22, 4));
  const int height = raw_height < 0 ? -raw_height : raw_height;
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  const std::size_t offset = Get(b, 10, 4);
  if (b.size() < offset + row * static_cast<std::size_t>(height)) return bmp;
  bmp.width = width;
  bmp.height = height;
  for (int y = 0; y < height; ++y) {
    const int stored = raw_height < 0 ? y : height - 1 - y;
    const auto* p = b.data() + offset + row * static_cast<std::size_t>(stored);
    bmp.bgr.insert(bmp.bgr.end(), p, p + 3 * width);
  }
  return bmp;
}

Bytes SurfaceBytes(const Surface& s) { return Bytes(s.data(), s.data() + s.size_bytes()); }

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tvcpix_cli_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the real tool with stdout and stderr caught in files.
  ToolResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TVCPIX_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      int status = 0;
      waitpid(pid, &status, 0);
      result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = ReadText(out);
    result.err = ReadText(err);
    return result;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

// ---- Command line

std::string UsageError(std::vector<std::string> args) {
  args.insert(args.begin(), "tvcpix-cli");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int code = RunCli(static_cast<int>(argv.size()), argv.data(), out, err);
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(out.str(), "");
  return err.str();
}

struct BadLine {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const BadLine& line, std::ostream* os) { *os << line.name; }

class UsageErrorTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(UsageErrorTest, ExitsWithTwoAndSaysWhy) {
  const std::string err = UsageError(GetParam().args);
  EXPECT_EQ(err.rfind("tvcpix-cli: ", 0), 0u) << err;
  EXPECT_NE(err.find("--help"), std::string::npos) << err;
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, UsageErrorTest,
    ::testing::Values(BadLine{"Nothing", {}}, BadLine{"NoInput", {"-O", "out"}},
                      BadLine{"NoOutput", {"a.bmp"}},
                      BadLine{"BothOutputs", {"-o", "x", "-O", "y", "a.bmp"}},
                      BadLine{"BaseForTwoInputs", {"-o", "x", "a.bmp", "b.bmp"}},
                      BadLine{"EmptyBase", {"-o", "", "a.bmp"}},
                      BadLine{"UnknownLong", {"--frobnicate", "-O", "o", "a.bmp"}},
                      BadLine{"UnknownShort", {"-x", "-O", "o", "a.bmp"}},
                      BadLine{"MissingValue", {"-O", "o", "a.bmp", "--mode"}},
                      BadLine{"Mode8", {"-O", "o", "-m", "8", "a.bmp"}},
                      BadLine{"Method0", {"-O", "o", "-d", "0", "a.bmp"}},
                      BadLine{"Method18", {"-O", "o", "-d", "18", "a.bmp"}},
                      BadLine{"MethodName", {"-O", "o", "-d", "nosuch", "a.bmp"}},
                      BadLine{"Palette4Short", {"-O", "o", "--palette4", "0,1,2", "a.bmp"}},
                      BadLine{"Palette4Index16", {"-O", "o", "--palette4", "0,1,2,16", "a.bmp"}},
                      BadLine{"Palette4Trailing", {"-O", "o", "--palette4", "0,1,2,3,", "a.bmp"}},
                      BadLine{"Palette2Letters", {"-O", "o", "--palette2", "a,b", "a.bmp"}},
                      BadLine{"Tone101", {"-O", "o", "--brightness", "101", "a.bmp"}},
                      BadLine{"ToneNegative", {"-O", "o", "--gamma", "-1", "a.bmp"}},
                      BadLine{"ToneJunk", {"-O", "o", "--contrast", "5x", "a.bmp"}},
                      BadLine{"FlagWithValue", {"-O", "o", "--no-resize=1", "a.bmp"}}),
    [](const ::testing::TestParamInfo<BadLine>& info) { return std::string(info.param.name); });

CliOptions Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "tvcpix-cli");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  CliOptions options;
  std::string error;
  EXPECT_TRUE(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &options, &error))
      << error;
  return options;
}

struct MethodName {
  const char* text;
  DitherMethod method;
};

void PrintTo(const MethodName& name, std::ostream* os) { *os << '"' << name.text << '"'; }

class MethodNameTest : public ::testing::TestWithParam<MethodName> {};

TEST_P(MethodNameTest, SelectsTheMethod) {
  EXPECT_EQ(Parse({"-d", GetParam().text, "-O", "o", "a.bmp"}).method, GetParam().method);
}

INSTANTIATE_TEST_SUITE_P(
    Names, MethodNameTest,
    ::testing::Values(MethodName{"floyd", DitherMethod::kFloyd},
                      MethodName{"Sierra Lite", DitherMethod::kSierraLite},
                      MethodName{"SIERRALITE", DitherMethod::kSierraLite},
                      MethodName{"tresholdnoise", DitherMethod::kTresholdNoise},
                      MethodName{"Treshold+Noise", DitherMethod::kTresholdNoise},
                      MethodName{"patterntvc", DitherMethod::kPatternTvc},
                      MethodName{"bayer4x4", DitherMethod::kBayer4x4},
                      MethodName{"threshold", DitherMethod::kTreshold},
                      MethodName{"burkes", DitherMethod::kBurkles},
                      MethodName{"stucki", DitherMethod::kStucky},
                      MethodName{"sierra2row", DitherMethod::kSierra2Row},
                      MethodName{"1", DitherMethod::kAtkinson},
                      MethodName{"10", DitherMethod::kNews4x4},
                      MethodName{"17", DitherMethod::kPatternTvc}),
    [](const ::testing::TestParamInfo<MethodName>& info) {
      std::string name;
      for (const char* p = info.param.text; *p != 0; ++p) {
        if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
      }
      return name;
    });

TEST(CliOptionsTest, EveryNumberSelectsItsMethod) {
  for (int m = 1; m <= kMethodCount; ++m) {
    EXPECT_EQ(Parse({"--dither", std::to_string(m), "-O", "o", "a.bmp"}).method,
              static_cast<DitherMethod>(m));
  }
}

TEST(CliOptionsTest, DefaultsAndSpellings) {
  const CliOptions d = Parse({"-O", "o", "a.bmp"});
  EXPECT_EQ(d.mode, TvcMode::kGraphics16);
  EXPECT_EQ(d.method, DitherMethod::kPatternTvc);
  EXPECT_EQ(d.palette4, (std::array<int, 4>{0, 15, 9, 10}));
  EXPECT_EQ(d.palette2, (std::array<int, 2>{0, 15}));
  for (const auto& tone : d.tones) EXPECT_FALSE(tone.has_value());
  EXPECT_TRUE(d.resize);
  EXPECT_FALSE(d.quiet);

  const CliOptions o = Parse({"--mode=4", "-qd", "floyd", "--gamma", "50", "--no-resize",
                              "--palette2=3,12", "-O", "o", "--", "-odd.bmp", "b.bmp"});
  EXPECT_EQ(o.mode, TvcMode::kGraphics4);
  EXPECT_EQ(o.method, DitherMethod::kFloyd);
  EXPECT_TRUE(o.quiet);
  EXPECT_FALSE(o.resize);
  EXPECT_EQ(o.tones[1], 50);  // a given 50 is still applied
  EXPECT_FALSE(o.tones[0].has_value());
  EXPECT_EQ(o.palette2, (std::array<int, 2>{3, 12}));
  EXPECT_EQ(o.inputs, (std::vector<std::string>{"-odd.bmp", "b.bmp"}));
  EXPECT_EQ(Parse({"-m2", "-o", "x", "a.bmp"}).mode, TvcMode::kGraphics2);
}

TEST(CliOptionsTest, OutputBaseUnderDirDropsOnlyTheLastExtension) {
  const CliOptions o = Parse({"-O", "out", "x/a.jpg", "y/b.tar.bmp", "noext"});
  EXPECT_EQ(OutputBases(o), (std::vector<std::string>{"out/a", "out/b.tar", "out/noext"}));
}

TEST_F(CliTest, HelpAndVersion) {
  const ToolResult version = Run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "tvcpix-cli 1.03\n");
  const ToolResult help = Run({"-h"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--output-dir"), std::string::npos);
  EXPECT_EQ(help.err, "");
}

// ---- Conversions

// The window's load sequence on the same picture and settings, in this process.
Model Reference(const std::string& input, TvcMode mode, DitherMethod method, bool resize,
                std::array<int, 4> palette4, std::array<int, 2> palette2) {
  Surface picture;
  EXPECT_TRUE(DecodePictureFile(input, &picture).ok);
  Model model;
  model.SetMode(mode);
  model.SetMethod(method);
  model.SetResize(resize);
  for (int i = 0; i < 4; ++i) model.SetSwatch4(i, ColorFromEntry(Tvc16Color(palette4[i])));
  for (int i = 0; i < 2; ++i) model.SetSwatch2(i, ColorFromEntry(Tvc16Color(palette2[i])));
  model.LoadSourcePicture(std::move(picture));
  return model;
}

struct FilesCase {
  TvcMode mode;
  std::string mode_arg;
  std::string method;
  std::vector<std::string> extra;
  std::array<int, 4> palette4 = {0, 15, 9, 10};
  std::array<int, 2> palette2 = {0, 15};
  bool resize = true;
};

std::string CaseName(const FilesCase& c) {
  std::string name = "G" + c.mode_arg + "_";
  for (char ch : c.method) {
    if (std::isalnum(static_cast<unsigned char>(ch))) name += ch;
  }
  if (!c.resize) name += "_NoResize";
  if (!c.extra.empty() && c.resize) name += "_OwnPalette";
  return name;
}

void PrintTo(const FilesCase& c, std::ostream* os) { *os << CaseName(c); }

class CliFilesTest : public CliTest, public ::testing::WithParamInterface<FilesCase> {};

TEST_P(CliFilesTest, WritesTheModelsResult) {
  const FilesCase& c = GetParam();
  const std::string input = Path("in.bmp");
  WritePicture(input, 70, 46, 3);
  const std::string base = Path("result");
  std::vector<std::string> args = {"-m", c.mode_arg, "-d", c.method, "-o", base, input};
  args.insert(args.begin(), c.extra.begin(), c.extra.end());
  const ToolResult r = Run(args);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");

  const Model ref =
      Reference(input, c.mode, *ParseMethod(c.method), c.resize, c.palette4, c.palette2);
  EXPECT_EQ(r.out, base + ": " + std::to_string(CountColors(ref.pic2())) + " colours\n");

  const Bmp bmp = ReadBmp24(base + ".bmp");
  ASSERT_EQ(bmp.width, 512);
  ASSERT_EQ(bmp.height, 480);
  EXPECT_TRUE(bmp.bgr == SurfaceBytes(ref.pic2()));

  const Bytes bin = ReadBytes(base + ".bin");
  const Bytes tim = ReadBytes(base + ".tim");
  ASSERT_EQ(bin.size(), 16384u);
  ASSERT_EQ(tim.size(), 16400u);
  EXPECT_TRUE(bin == BuildScreenImage(ref.preview(c.mode), c.mode, ref.palette()));
  EXPECT_EQ(std::string(tim.begin(), tim.begin() + 3), "TIM");
  EXPECT_EQ(tim[3], InfoOf(c.mode).mode_byte);
  EXPECT_TRUE(std::equal(bin.begin(), bin.end(), tim.begin() + 16));
  EXPECT_TRUE(std::all_of(tim.begin() + 8, tim.begin() + 16, [](auto b) { return b == 0; }));

  // In the 2- and 4-colour modes the header carries the chosen colours, and the picture uses
  // nothing else.
  std::vector<int> chosen;
  if (c.mode == TvcMode::kGraphics4) chosen.assign(c.palette4.begin(), c.palette4.end());
  if (c.mode == TvcMode::kGraphics2) chosen.assign(c.palette2.begin(), c.palette2.end());
  std::set<ColorValue> allowed;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::uint8_t code = i < chosen.size() ? TvcColorCode(Tvc16Color(chosen[i])) : 0;
    EXPECT_EQ(tim[4 + i], code) << "palette code " << i;
    if (i < chosen.size()) allowed.insert(ColorFromEntry(Tvc16Color(chosen[i])));
  }
  if (!chosen.empty() && c.resize) {
    for (std::size_t p = 0; p < bmp.bgr.size(); p += 3) {
      ASSERT_EQ(allowed.count(MakeColor(bmp.bgr[p + 2], bmp.bgr[p + 1], bmp.bgr[p])), 1u) << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CliFilesTest,
    ::testing::Values(
        FilesCase{TvcMode::kGraphics16, "16", "patterntvc", {}},
        FilesCase{TvcMode::kGraphics16,
                  "16",
                  "Bayer 4x4",
                  {"--no-resize"},
                  {0, 15, 9, 10},
                  {0, 15},
                  false},
        FilesCase{TvcMode::kGraphics4, "4", "floyd", {}},
        FilesCase{TvcMode::kGraphics4, "4", "stucki", {"--palette4", "1,14,8,6"}, {1, 14, 8, 6}},
        FilesCase{
            TvcMode::kGraphics2, "2", "atkinson", {"--palette2=9,14"}, {0, 15, 9, 10}, {9, 14}},
        FilesCase{TvcMode::kGraphics2, "2", "Pattern TVC", {}}),
    [](const ::testing::TestParamInfo<FilesCase>& info) { return CaseName(info.param); });

TEST_F(CliTest, ToneOptionsChainLikeSliderMovesWithSet) {
  const std::string input = Path("tones.bmp");
  WritePicture(input, 90, 60, 5);
  const ToolResult r = Run({"-m", "4", "-d", "floyd", "--contrast", "70", "--brightness", "40",
                            "-q", "-o", Path("t"), input});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, "");  // -q

  // Brightness before contrast whatever the order on the command line, each on the last.
  Surface picture;
  ASSERT_TRUE(DecodePictureFile(input, &picture).ok);
  Model ref;
  ref.SetMode(TvcMode::kGraphics4);
  ref.SetMethod(DitherMethod::kFloyd);
  ref.LoadSourcePicture(std::move(picture));
  ref.MoveSlider(1, 40);
  ref.Set();
  ref.MoveSlider(4, 70);
  ref.Set();
  ref.RunLoadConversions();
  EXPECT_TRUE(ReadBmp24(Path("t.bmp")).bgr == SurfaceBytes(ref.pic2()));
}

// "Treshold+Noise" draws anew in every conversion, so the result shows how many conversions
// came before it: each tone's own, then the load's three, the last of which is saved.
TEST_F(CliTest, ToneConversionsAdvanceTheNoiseSequence) {
  const std::string input = Path("noise.bmp");
  WritePicture(input, 64, 48, 9);
  const ToolResult r =
      Run({"-d", "tresholdnoise", "--brightness", "60", "--gamma", "45", "-o", Path("n"), input});
  ASSERT_EQ(r.code, 0) << r.err;

  // In the window: a load (three conversions) and then the two slider moves; the second move's
  // conversion is the fifth, on the fully adjusted picture, as the tool's last one.
  Surface picture;
  ASSERT_TRUE(DecodePictureFile(input, &picture).ok);
  Model ref;
  ref.SetMethod(DitherMethod::kTresholdNoise);
  ref.LoadSourcePicture(std::move(picture));
  ref.MoveSlider(1, 60);
  ref.Set();
  ref.MoveSlider(2, 45);
  EXPECT_TRUE(ReadBmp24(Path("n.bmp")).bgr == SurfaceBytes(ref.pic2()));
}

TEST_F(CliTest, SameInputGivesTheSameFilesEveryRun) {
  // Two copies in one run each start the noise sequence anew; a second run repeats the first.
  WritePicture(Path("a.bmp"), 64, 48, 1);
  fs::copy_file(Path("a.bmp"), Path("b.bmp"));
  for (const char* out : {"run1", "run2"}) {
    const ToolResult r =
        Run({"-d", "Treshold+Noise", "-O", Path(out), Path("a.bmp"), Path("b.bmp")});
    ASSERT_EQ(r.code, 0) << r.err;
  }
  for (const char* ext : {".bmp", ".bin", ".tim"}) {
    const Bytes first = ReadBytes(Path(std::string("run1/a") + ext));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == ReadBytes(Path(std::string("run1/b") + ext))) << ext;
    EXPECT_TRUE(first == ReadBytes(Path(std::string("run2/a") + ext))) << ext;
  }
}

TEST_F(CliTest, OneBadInputFailsTheRunButNotTheOthers) {
  WritePicture(Path("good1.bmp"), 40, 30, 1);
  WritePicture(Path("good2.bmp"), 30, 40, 2);
  std::ofstream(Path("text.bmp")) << "not a picture";
  const ToolResult r = Run({"-m", "2", "-O", Path("out"), Path("good1.bmp"), Path("missing.bmp"),
                            Path("text.bmp"), Path("good2.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("tvcpix-cli: " + Path("missing.bmp") + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tvcpix-cli: " + Path("text.bmp") + ": "), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find(Path("out/good1") + ": "), 0u) << r.out;
  EXPECT_NE(r.out.find(Path("out/good2") + ": "), std::string::npos) << r.out;
  for (const char* name : {"good1", "good2"}) {
    EXPECT_EQ(fs::file_size(Path("out/") + name + ".tim"), 16400u);
  }
  EXPECT_FALSE(fs::exists(Path("out/missing.bmp")));
  EXPECT_FALSE(fs::exists(Path("out/text.bin")));
}

TEST_F(CliTest, InputsSharingAnOutputBaseAreRefused) {
  fs::create_directories(Path("x"));
  fs::create_directories(Path("y"));
  WritePicture(Path("x/pic.bmp"), 32, 32, 1);
  WritePicture(Path("y/pic.bmp"), 32, 32, 2);
  WritePicture(Path("other.bmp"), 32, 32, 3);
  const ToolResult r =
      Run({"-O", Path("out"), Path("x/pic.bmp"), Path("other.bmp"), Path("y/pic.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("tvcpix-cli: " + Path("x/pic.bmp") + ": "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("tvcpix-cli: " + Path("y/pic.bmp") + ": "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("out/pic.bmp")));
  EXPECT_TRUE(fs::exists(Path("out/other.tim")));
}

TEST_F(CliTest, NeverWritesOverItsInputOrIntoAMissingFolder) {
  WritePicture(Path("self.bmp"), 32, 32, 1);
  const Bytes before = ReadBytes(Path("self.bmp"));
  ToolResult r = Run({"-O", dir_.string(), Path("self.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err.rfind("tvcpix-cli: " + Path("self.bmp") + ": ", 0), 0u) << r.err;
  EXPECT_TRUE(ReadBytes(Path("self.bmp")) == before);

  r = Run({"-q", "-o", Path("no/such/folder/base"), Path("self.bmp")});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err.rfind("tvcpix-cli: " + Path("self.bmp") + ": ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace tvcpix
