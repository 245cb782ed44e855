// tvcpix-cli batches: parallel runs write and print exactly what sequential runs do.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>

#include <cerrno>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
using test::ToolResult;
namespace fs = std::filesystem;

// Every regular file under a folder, by its path relative to the folder.
std::map<std::string, Bytes> Tree(const fs::path& root) {
  std::map<std::string, Bytes> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), root).string()] = ReadBytes(entry);
  }
  return files;
}

// stderr without the summary line, which tells the time and the thread count.
std::string WithoutSummary(const std::string& err, std::string* summary) {
  std::istringstream in(err);
  std::string line, kept;
  while (std::getline(in, line)) {
    if (std::regex_match(line, std::regex("tvcpix-cli: \\d+ converted, \\d+ failed in [0-9.]+ s "
                                          "\\(\\d+ threads?\\)"))) {
      *summary = line;
    } else {
      kept += line + "\n";
    }
  }
  return kept;
}

class BatchTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeScratchFolder("tvcpix_batch_");
    ASSERT_FALSE(dir_.empty());
    fs::create_directories(dir_ / "in" / "x");
    fs::create_directories(dir_ / "in" / "y");
    for (int i = 0; i < 5; ++i) {
      test::WriteTestPicture(dir_ / "in" / ("p" + std::to_string(i) + ".bmp"), 40 + 23 * i,
                             90 - 11 * i, i);
    }
    fs::copy_file(std::string(TVCPIX_SAMPLES_DIR) + "/coffee_600x400.jpg",
                  dir_ / "in" / "coffee.jpg");
    test::WriteBytes(dir_ / "in" / "bad.bmp", Bytes{'B', 'M', 0, 1, 2});
    test::WriteTestPicture(dir_ / "in" / "x" / "same.bmp", 30, 30, 7);
    test::WriteTestPicture(dir_ / "in" / "y" / "same.bmp", 30, 30, 8);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The inputs in a fixed order: good ones, a broken one, a missing one, two sharing a base.
  std::vector<std::string> Inputs() const {
    std::vector<std::string> inputs;
    for (const char* name : {"p0.bmp", "x/same.bmp", "coffee.jpg", "p1.bmp", "bad.bmp", "p2.bmp",
                             "missing.bmp", "p3.bmp", "y/same.bmp", "p4.bmp"}) {
      inputs.push_back((dir_ / "in" / name).string());
    }
    return inputs;
  }

  ToolResult Run(std::vector<std::string> options, const std::string& out_dir) {
    options.push_back("-O");
    options.push_back((dir_ / out_dir).string());
    for (const std::string& input : Inputs()) options.push_back(input);
    return test::RunTool(options, dir_);
  }

  fs::path dir_;
};

TEST_F(BatchTest, ParallelRunWritesAndPrintsWhatASequentialRunDoes) {
  const std::vector<std::vector<std::string>> settings = {
      {"-d", "tresholdnoise", "-m", "4"},
      {"--gamma", "40", "--brightness", "55"},  // Pattern TVC, the tones on a scratch model
  };
  for (const std::vector<std::string>& s : settings) {
    SCOPED_TRACE(s[1]);
    std::vector<std::string> sequential_args = s, parallel_args = s;
    sequential_args.insert(sequential_args.end(), {"-j", "1"});
    parallel_args.insert(parallel_args.end(), {"-j", "3"});
    // Both runs write to the same folder name, since the printed lines hold it.
    const ToolResult sequential = Run(sequential_args, "out");
    fs::rename(dir_ / "out", dir_ / "seq");
    const ToolResult parallel = Run(parallel_args, "out");
    fs::rename(dir_ / "out", dir_ / "par");

    EXPECT_EQ(sequential.code, 1);  // bad, missing and the two sharing a base failed
    EXPECT_EQ(parallel.code, sequential.code);
    EXPECT_EQ(parallel.out, sequential.out);
    std::string sequential_summary, parallel_summary;
    EXPECT_EQ(WithoutSummary(parallel.err, &parallel_summary),
              WithoutSummary(sequential.err, &sequential_summary));
    EXPECT_EQ(sequential_summary.rfind("tvcpix-cli: 6 converted, 4 failed in ", 0), 0u)
        << sequential.err;
    EXPECT_NE(sequential_summary.find("(1 thread)"), std::string::npos) << sequential_summary;
    EXPECT_NE(parallel_summary.find("(3 threads)"), std::string::npos) << parallel_summary;
    EXPECT_EQ(parallel.err.find('\r'), std::string::npos);  // no progress into a file

    const std::map<std::string, Bytes> seq_files = Tree(dir_ / "seq");
    const std::map<std::string, Bytes> par_files = Tree(dir_ / "par");
    EXPECT_EQ(seq_files.size(), 18u);  // six pictures, three files each
    ASSERT_EQ(par_files.size(), seq_files.size());
    for (const auto& [name, bytes] : seq_files) {
      ASSERT_TRUE(par_files.count(name)) << name;
      EXPECT_TRUE(par_files.at(name) == bytes) << name;
    }
    fs::remove_all(dir_ / "seq");
    fs::remove_all(dir_ / "par");
  }
}

TEST_F(BatchTest, ProgressShowsOnlyOnATerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const std::string a = (dir_ / "in/p0.bmp").string(), b = (dir_ / "in/p1.bmp").string();
  const ToolResult r =
      test::RunTool({"-j", "2", "-O", (dir_ / "tty").string(), a, b}, dir_, terminal);
  EXPECT_EQ(r.code, 0);
  std::string seen;
  char buffer[4096];
  pollfd pfd{master, POLLIN, 0};
  while (poll(&pfd, 1, 200) > 0) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<std::size_t>(n));
  }
  close(master);
  EXPECT_NE(seen.find(" of 2 pictures done"), std::string::npos) << seen;
  EXPECT_NE(seen.find("2 converted, 0 failed"), std::string::npos) << seen;

  // -q: neither progress nor summary.
  const ToolResult quiet = Run({"-q", "-m", "2"}, "quiet");
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err.find(" failed in "), std::string::npos) << quiet.err;
}

TEST_F(BatchTest, JobCountsAreChecked) {
  for (const char* jobs : {"0", "-1", "x", "257"}) {
    const ToolResult r = test::RunTool({"-j", jobs, "-O", "out", "a.bmp"}, dir_);
    EXPECT_EQ(r.code, 2) << jobs;
    EXPECT_NE(r.err.find("--jobs"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace tvcpix
