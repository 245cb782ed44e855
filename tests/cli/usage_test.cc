// tvcpix-cli's usage errors: exit code 2, one line naming the tool and the reason where it
// matters, and nothing written.
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

struct UsageCase {
  const char* name;
  const char* line;       // "D/..." is a path in the scratch folder, '' an empty word
  const char* says = "";  // a part of the message
};
using UsageErrorTest = test::ScratchParamTest<UsageCase>;

TEST_P(UsageErrorTest, ExitsWithTwoAndWritesNothing) {
  test::WritePicture(Path("a.bmp"), 20, 20, 1);
  test::WriteBytes(Path("a.tim"), test::Bytes(16400, 0));
  const test::ToolResult r = RunLine(GetParam().line);
  EXPECT_EQ(r.code, kExitUsage);
  EXPECT_EQ(r.out + r.err.substr(0, 12), "tvcpix-cli: ");
  EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
  EXPECT_EQ(Listing(dir_.string()), (std::set<std::string>{"a.bmp", "a.tim"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(CommandLines, UsageErrorTest, testing::Values(
    UsageCase{"NoArguments", ""}, UsageCase{"NoInput", "-O D/o"}, UsageCase{"NoOutput", "D/a.bmp"},
    UsageCase{"BothOutputs", "-o D/x -O D/y D/a.bmp"},
    UsageCase{"OneBaseTwoInputs", "-o D/x D/a.bmp D/a.bmp"},
    UsageCase{"EmptyBase", "-o '' D/a.bmp"}, UsageCase{"UnknownOption", "-x -O D/o D/a.bmp"},
    UsageCase{"MissingValue", "-O D/o D/a.bmp --mode"}, UsageCase{"Mode8", "-O D/o -m 8 D/a.bmp"},
    UsageCase{"UnknownMethod", "-O D/o -d best D/a.bmp", "unknown dithering method"},
    UsageCase{"MethodPastTheLast", "-O D/o -d 20 D/a.bmp", "use 1..19"},
    UsageCase{"Palette4Index16", "-O D/o --palette4 0,1,2,16 D/a.bmp"},
    UsageCase{"Palette2Letters", "-O D/o --palette2 a,b D/a.bmp"},
    UsageCase{"AutoMisspelt", "-O D/o -m 4 --palette4 Auto D/a.bmp", "palette"},
    UsageCase{"Gamma101", "-O D/o --gamma 101 D/a.bmp"},
    UsageCase{"StrengthWithFloyd", "-O D/o -d floyd --strength 50 D/a.bmp",
              "applies only to the perceptual"},
    UsageCase{"StrengthWithTheDefault", "-O D/o --strength 50 D/a.bmp", "not to 'Pattern TVC'"},
    UsageCase{"StrengthOutOfRange", "-O D/o -d perceptual --strength 101 D/a.bmp",
              "invalid --strength"},
    UsageCase{"StrengthNotANumber", "-O D/o -d screen --strength x D/a.bmp", "invalid --strength"},
    UsageCase{"NoResizeWithValue", "-O D/o --no-resize=1 D/a.bmp"},
    UsageCase{"ZeroJobs", "-j 0 -O D/o D/a.bmp"},
    UsageCase{"ExportWithTwoInputs", "-o D/s --asm D/s.asm D/a.bmp D/a.bmp"},
    UsageCase{"TwoExportsOneFile", "-o D/s --png D/x --asm D/./x D/a.bmp"},
    UsageCase{"ViewWithoutOutput", "view D/a.tim"},
    UsageCase{"ViewTimWithMode", "view D/a.tim -m 4 -o D/x.png"},
    UsageCase{"ViewWithMethod", "view D/a.bin --dither floyd -o D/x.png"}),
    test::CaseName<UsageCase>);
// clang-format on

}  // namespace
}  // namespace tvcpix
