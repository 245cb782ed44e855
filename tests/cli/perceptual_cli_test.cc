// tvcpix-cli with the perceptual methods: their names and numbers, and "auto" palettes named on
// the printed line and held by the files (the refusals are in usage_test.cc).
#include "tests/cli/cli_fixture.h"

namespace tvcpix {
namespace {

using test::CliTest;
using test::ReadBytes;
using test::ToolResult;

TEST_F(CliTest, NamesAndNumbersOfTheNewMethodsAndTheirHelp) {
  for (const auto& [text, method] :
       std::vector<std::pair<std::string, DitherMethod>>{{"perceptual", DitherMethod::kPerceptual},
                                                         {"18", DitherMethod::kPerceptual},
                                                         {"Screen", DitherMethod::kScreen},
                                                         {"19", DitherMethod::kScreen},
                                                         {"aspect", DitherMethod::kScreen}})
    EXPECT_EQ(ParseMethod(text), method) << text;
  const ToolResult help = Run("--help");
  EXPECT_EQ(help.code, 0);
  for (const char* line : {"18 perceptual", "19 screen", "--strength N"})
    EXPECT_NE(help.out.find(line), std::string::npos) << line;
}

// The palette found is printed; given by hand, it writes the same files and the same line
// (without the palette, which only "auto" names).
TEST_F(CliTest, AutoPaletteIsNamedOnTheLineAndHeldByTheFiles) {
  test::WritePicture(Path("in.bmp"), 120, 90, 5);
  for (const std::string option : {"-m 4 --palette4", "-m 2 --palette2"}) {
    const ToolResult r = Run(option + " auto -d perceptual -o D/a D/in.bmp");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string prefix = Path("a") + ": ";
    const std::size_t at = r.out.find(", palette ");
    ASSERT_TRUE(r.out.rfind(prefix, 0) == 0 && at != std::string::npos) << r.out;
    const std::string indices = r.out.substr(at + 10, r.out.size() - at - 11);
    const ToolResult manual = Run(option + " " + indices + " -d perceptual -o D/m D/in.bmp");
    ASSERT_EQ(manual.code, 0) << manual.err;
    EXPECT_EQ(manual.out, Path("m") + ": " + r.out.substr(prefix.size(), at - prefix.size()) + "\n");
    for (const char* ext : {".bmp", ".bin", ".tim"})
      EXPECT_EQ(ReadBytes(Path("a") + ext), ReadBytes(Path("m") + ext)) << ext;
  }
}

}  // namespace
}  // namespace tvcpix
