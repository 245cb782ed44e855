// tvcpix-cli's batches: several inputs at once write and print exactly what one at a time does.
#include <map>
#include <regex>

#include "tests/cli/cli_fixture.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::ToolResult;
using test::WritePicture;
namespace fs = std::filesystem;

struct BatchCase {
  const char* name;
  const char* settings;
};
using BatchTest = test::CliParamTest<BatchCase>;

// Good inputs, a copy, a broken one, a missing one and two sharing a base: parallel runs write
// and print exactly what a sequential run does, and the copy gives the same files as its original.
TEST_P(BatchTest, ParallelRunsEqualSequentialAndSingleRuns) {
  const std::string settings = GetParam().settings;
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

INSTANTIATE_TEST_SUITE_P(Settings, BatchTest,
                         testing::Values(BatchCase{"NoiseGraphics4", "-d Treshold+Noise -m 4"},
                                         BatchCase{"TonesPerceptual", "--gamma 40 --brightness 55 -d perceptual"}),
                         test::CaseName<BatchCase>);

}  // namespace
}  // namespace tvcpix
