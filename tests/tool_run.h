// Test helpers: running the real tvcpix-cli, and files for it to read.
#ifndef TVCPIX_TESTS_TOOL_RUN_H_
#define TVCPIX_TESTS_TOOL_RUN_H_

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
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
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// A 24-bit BMP of a deterministic colourful picture; seed varies the content.
inline void WriteTestPicture(const fs::path& path, int width, int height, int seed) {
  const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  Bytes b(54 + row * static_cast<std::size_t>(height), 0);
  auto put = [&b](std::size_t at, std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + static_cast<std::size_t>(i)] = (v >> (8 * i)) & 0xFF;
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, static_cast<std::uint32_t>(b.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<std::uint32_t>(width), 4);
  put(22, static_cast<std::uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* p = b.data() + 54 + row * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      p[3 * x + 0] = static_cast<std::uint8_t>(x * 255 / width);
      p[3 * x + 1] = static_cast<std::uint8_t>((x * 37 + y * 11 + seed * 53) % 256);
      p[3 * x + 2] = static_cast<std::uint8_t>((y * 255 / height) ^ (seed * 29));
    }
  }
  WriteBytes(path, b);
}

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs the real tool; stdout and stderr are caught in files in scratch (stderr in the file
// err_path instead when that is given, for a terminal device).
inline ToolResult RunTool(std::vector<std::string> args, const fs::path& scratch,
                          const std::string& err_path = {}) {
  args.insert(args.begin(), TVCPIX_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (err_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_RDWR | O_NOCTTY, 0);
  }
  ToolResult result;
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  result.out = ReadText(out);
  if (err_path.empty()) result.err = ReadText(err);
  return result;
}

// A fresh folder under the system's temporary folder.
inline fs::path MakeScratchFolder(const char* prefix) {
  std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  if (mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_TOOL_RUN_H_
