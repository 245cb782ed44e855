// Test helpers: scratch folders, file bytes, test pictures, readable case names and running the
// real tvcpix-cli, with the window's load sequence as the reference of its conversions.
#ifndef TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_
#define TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/cli.h"
#include "engine/model.h"  // with the colour, mode, palette, surface and method types
#include "output/bmp.h"
#include "output/screen_decode.h"  // with the screen file writers
#include "qtdecode/picture_file.h"

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

// Random pixels; with `runs`, pixels repeating the one before and rows repeating the one
// above, so the colour count's shortcuts are both taken and missed.
inline Surface RandomSurface(int width, int height, std::mt19937& rng, bool runs = false) {
  Surface s("test", width, height, MakeColor(9, 8, 7));
  for (std::size_t i = 0; i < s.size_bytes(); ++i) {
    const std::size_t from = !runs ? 0 : i / s.stride() % 3 == 1 ? s.stride() : i / 3 % 3 ? 3 : 0;
    s.data()[i] = from && i >= from ? s.data()[i - from] : static_cast<std::uint8_t>(rng());
  }
  return s;
}

// A colourful test picture as a BMP file; seed varies it.
inline void WritePicture(const std::string& path, int width, int height, int seed) {
  Surface s("Pic1", width, height, 0);
  for (int i = 0; i < width * height; ++i) {
    const int x = i % width, y = i / width;
    s.SetPixel(x, y,
               MakeColor(x * 255 / width, (x * 37 + y * 11 + seed * 53) & 255,
                         (y * 255 / height ^ seed) & 255));
  }
  WriteBytes(path, BmpBytes(s));
}

inline Surface Picture(const std::string& path) {
  Surface s;
  const Result r = DecodePictureFile(path, &s);
  EXPECT_TRUE(r.ok) << r.message;
  return s;
}

// Readable names of parameterised cases: "Graphics4", "Graphics16_PatternTVC", or the name
// field of a case that has one.
inline std::string ModeName(TvcMode mode) {
  return "Graphics" + std::to_string(InfoOf(mode).colours);
}
inline std::string ModeMethodName(const testing::TestParamInfo<std::tuple<TvcMode, int>>& info) {
  std::string name = ModeName(std::get<0>(info.param)) + "_";
  for (const char c :
       std::string(MethodCaption(static_cast<DitherMethod>(std::get<1>(info.param)))))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

inline CliOptions Parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tvcpix-cli"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CliOptions options;
  std::string error;
  EXPECT_TRUE(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &options, &error))
      << error;
  return options;
}

// The window's load sequence on the same picture and settings, in this process.
inline Model Reference(const std::string& input, const CliOptions& o) {
  Model model;
  model.SetMode(o.mode);
  model.SetMethod(o.method);
  model.SetResize(o.resize);
  for (int i = 0; i < 4; ++i) model.SetSwatch4(i, ColorFromEntry(Tvc16Color(o.palette4[i])));
  for (int i = 0; i < 2; ++i) model.SetSwatch2(i, ColorFromEntry(Tvc16Color(o.palette2[i])));
  model.LoadSourcePicture(Picture(input));
  return model;
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
  // The words of a line; "D/..." is a path in the scratch folder, '' an empty word.
  std::vector<std::string> Words(const std::string& line) const {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
      words.push_back(w == "''" ? "" : w.rfind("D/", 0) == 0 ? Path(w.substr(2)) : w);
    return words;
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
  ToolResult RunLine(const std::string& line) { return Run(Words(line)); }

  fs::path dir_;
};

template <typename Param>
class ScratchParamTest : public ScratchTest, public testing::WithParamInterface<Param> {};

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_TOOL_RUN_H_
