// Test helpers: scratch folders, file bytes and running the real tvcpix-cli; and the engine and
// file code the tests of whole pictures and files use.
#ifndef TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_
#define TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/model.h"  // with the colour, mode, palette, surface and method types
#include "output/bmp.h"
#include "output/screen_decode.h"  // with the screen file writers
#include "qtdecode/picture_file.h"
#include "tests/support/case_names.h"

namespace tvcpix::test {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes ReadBytes(const fs::path& path) {
  const std::string text = ReadText(path);
  return Bytes(text.begin(), text.end());
}

inline void WriteBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

// The BMP file the program writes for a picture.
inline Bytes BmpBytes(const Surface& picture) {
  const PixelBytes file = EncodeBmp24Pixels(picture);
  return Bytes(file.begin(), file.end());
}

struct ToolResult {
  int code = -1;
  std::string out, err;
};

// A fixture with a scratch folder of its own, and the real tool run with stdout and stderr
// caught in files there (a run that blocks is killed after 60 s, and fails the test).
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

  // The tool (another copy of it if given) with the args, after `env` words ("VAR=value",
  // "-u VAR") that change its environment.
  ToolResult Run(const std::vector<std::string>& args, const std::string& tool = TVCPIX_CLI_PATH,
                 const std::string& env = "") {
    std::string command = "timeout -s KILL 60 env " + env + " '" + tool + "'";
    for (std::string a : args) {
      for (std::size_t at = 0; (at = a.find('\'', at)) != std::string::npos; at += 4)
        a.replace(at, 1, "'\\''");
      command += " '" + a + "'";
    }
    const fs::path out = dir_ / ".stdout", err = dir_ / ".stderr";
    const int status =
        std::system((command + " >'" + out.string() + "' 2>'" + err.string() + "'").c_str());
    ToolResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
    EXPECT_LT(result.code, 124) << "tvcpix-cli blocked or crashed";
    fs::remove(out), fs::remove(err);
    return result;
  }

  fs::path dir_;
};

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_
