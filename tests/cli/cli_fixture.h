// The fixture of the tvcpix-cli tests: command lines written as one string, test pictures, and
// the window's load sequence as the reference of a conversion.
#ifndef TVCPIX_TESTS_CLI_CLI_FIXTURE_H_
#define TVCPIX_TESTS_CLI_CLI_FIXTURE_H_

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "tests/support/tool_run.h"

namespace tvcpix::test {

class CliTest : public test::ScratchTest {
 protected:
  // The words of a line; "D/..." is a path in the scratch folder, '' an empty word.
  std::vector<std::string> Words(const std::string& line) const {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string w; in >> w;)
      words.push_back(w == "''" ? "" : w.rfind("D/", 0) == 0 ? Path(w.substr(2)) : w);
    return words;
  }
  ToolResult Run(const std::string& line) { return ScratchTest::Run(Words(line)); }
};

template <typename Param>
class CliParamTest : public CliTest, public testing::WithParamInterface<Param> {};

// The name of a case whose parameter has a name field.
template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

// A colourful test picture; seed varies it.
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

inline CliOptions Parse(const std::vector<std::string>& args) {
  std::vector<const char*> argv = {"tvcpix-cli"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  CliOptions options;
  std::string error;
  EXPECT_TRUE(ParseCliOptions(static_cast<int>(argv.size()), argv.data(), &options, &error))
      << error;
  return options;
}

inline Surface Picture(const std::string& path) {
  Surface s;
  const Result r = DecodePictureFile(path, &s);
  EXPECT_TRUE(r.ok) << r.message;
  return s;
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

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_CLI_CLI_FIXTURE_H_
