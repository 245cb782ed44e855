// Test helpers: scratch folders, file bytes and running the real tvcpix-cli.
#ifndef TVCPIX_TESTS_TOOL_RUN_H_
#define TVCPIX_TESTS_TOOL_RUN_H_

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace tvcpix::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string ReadText(const fs::path& path) {
  const Bytes bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

struct ToolResult {
  int code = -1;
  std::string out, err;
};

// A fixture with a scratch folder of its own, and the real tool run with stdout and stderr
// caught in files there (a run that blocks is killed after 60 s).
class ScratchTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tvcpix_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::set<std::string> Listing(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
    return names;
  }

  ToolResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), TVCPIX_CLI_PATH);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ToolResult result;
    pid_t pid = 0;
    int status = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
      for (int ms = 0; waitpid(pid, &status, WNOHANG) == 0; ms += 2) {
        if (ms == 60000) kill(pid, SIGKILL);
        usleep(2000);
      }
      result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_NE(result.code, -1) << "tvcpix-cli blocked or crashed";
    result.out = ReadText(out), result.err = ReadText(err);
    fs::remove(out), fs::remove(err);
    return result;
  }

  fs::path dir_;
};

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_TOOL_RUN_H_
