// tvcpix-cli with the perceptual methods: the names it accepts, the strength refused with
// the original methods, "auto" palettes named on the printed line and held by the .tim, and
// the same bytes on every run.
#include <sstream>

#include "cli/cli.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::ReadBytes;
using test::ToolResult;

class PerceptualCliTest : public test::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    Surface s("Pic1", 120, 90, 0);
    for (int y = 0; y < 90; ++y)
      for (int x = 0; x < 120; ++x)
        s.SetPixel(x, y, MakeColor(x * 2, (y * 255) / 90, x < 60 ? 40 : 200));
    test::WriteBytes(Path("in.bmp"), test::BmpBytes(s));
  }
  ToolResult RunLine(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;) words.push_back(w.rfind("D/", 0) == 0 ? Path(w.substr(2)) : w);
    return Run(words);
  }
};

struct Refusal {
  std::string name, line, message;
};

class CliRefusalTest : public PerceptualCliTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CliRefusalTest, ExitsWithTwoAndSaysWhy) {
  const ToolResult r = RunLine(GetParam().line + " -o D/out D/in.bmp");
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_NE(r.err.find(GetParam().message), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(Path("out.bmp")));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CliRefusalTest,
    ::testing::Values(
        Refusal{"StrengthWithFloyd", "-d floyd --strength 50", "applies only to the perceptual"},
        Refusal{"StrengthWithTheDefault", "--strength 50", "not to 'Pattern TVC'"},
        Refusal{"StrengthOutOfRange", "-d perceptual --strength 101", "invalid --strength"},
        Refusal{"StrengthNotANumber", "-d screen --strength x", "invalid --strength"},
        Refusal{"MethodPastTheLast", "-d 21", "use 1..20"},
        Refusal{"NoSuchPerceptualMethod", "-d finest", "unknown dithering method"},
        Refusal{"AutoMisspelt", "-m 4 --palette4 Auto", "palette"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(PerceptualCliTest, NamesAndNumbersOfTheNewMethods) {
  for (const auto& [text, method] :
       std::vector<std::pair<std::string, DitherMethod>>{{"perceptual", DitherMethod::kPerceptual},
                                                         {"18", DitherMethod::kPerceptual},
                                                         {"Screen", DitherMethod::kScreen},
                                                         {"19", DitherMethod::kScreen},
                                                         {"aspect", DitherMethod::kScreen},
                                                         {"best", DitherMethod::kBest},
                                                         {"20", DitherMethod::kBest}}) {
    EXPECT_EQ(ParseMethod(text), method) << text;
  }
  const ToolResult help = RunLine("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* line : {"18 perceptual", "19 screen", "20 best", "--strength N"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
}

TEST_F(PerceptualCliTest, AutoPaletteIsNamedOnTheLineAndHeldByTheTim) {
  for (const std::string mode : {"4", "2"}) {
    const std::string option = mode == "4" ? "--palette4" : "--palette2";
    const ToolResult r =
        RunLine("-m " + mode + " -d perceptual " + option + " auto -o D/a D/in.bmp");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string prefix = Path("a") + ": ";
    ASSERT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
    const std::size_t at = r.out.find(", palette ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string indices = r.out.substr(at + 10, r.out.size() - at - 11);
    // The same conversion with the printed palette given by hand writes the same files.
    const ToolResult manual =
        RunLine("-m " + mode + " -d perceptual " + option + " " + indices + " -o D/m D/in.bmp");
    ASSERT_EQ(manual.code, 0) << manual.err;
    const std::string colours = r.out.substr(prefix.size(), at - prefix.size());
    EXPECT_EQ(manual.out, Path("m") + ": " + colours + "\n");
    EXPECT_EQ(ReadBytes(Path("a.tim")), ReadBytes(Path("m.tim")));
    EXPECT_EQ(ReadBytes(Path("a.bmp")), ReadBytes(Path("m.bmp")));
  }
}

TEST_F(PerceptualCliTest, SameBytesEveryRunAndInABatch) {
  for (const std::string method : {"perceptual", "screen"}) {
    ASSERT_EQ(RunLine("-m 16 -d " + method + " -o D/x D/in.bmp").code, 0);
    ASSERT_EQ(RunLine("-m 16 -d " + method + " -j 2 -O D/batch D/in.bmp").code, 0);
    EXPECT_EQ(ReadBytes(Path("x.bin")), ReadBytes(Path("batch/in.bin"))) << method;
    EXPECT_EQ(ReadBytes(Path("x.bmp")), ReadBytes(Path("batch/in.bmp"))) << method;
  }
  const ToolResult plain = RunLine("-m 4 -d perceptual --strength 40 -o D/p D/in.bmp");
  EXPECT_EQ(plain.code, 0);
  EXPECT_EQ(plain.out.find("palette"), std::string::npos) << plain.out;
}

}  // namespace
}  // namespace tvcpix
