// tvcpix-cli stopped by SIGINT or SIGTERM in the middle of a save, and a tvcpix-cli copied away
// from its Qt reader module: both run the real tool as a child process.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <cerrno>
#include <map>
#include <optional>

#include "cli/extras.h"
#include "output/png.h"
#include "tests/cli/cli_fixture.h"

extern char** environ;

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
namespace fs = std::filesystem;

// The tool's environment: this process's, less TVCPIX_QT_MODULE (which the test binary sets for
// its in-process runs), plus the given variables.
std::vector<std::string> ToolEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string_view(*e).starts_with("TVCPIX_QT_MODULE=")) continue;
    env.push_back(*e);
  }
  env.insert(env.end(), extra.begin(), extra.end());
  return env;
}

class StopTest : public test::ScratchTest {
 protected:
  struct Child {
    pid_t pid = -1;
    int held = -1;  // read end of the pipe the write hold reports on
  };

  // Starts program with SIGINT and SIGTERM at their defaults, whatever this process has, and
  // its output caught in the scratch folder. hold_from > 0 sets the write hold test hook.
  Child Start(const std::string& program, const std::vector<std::string>& args,
              std::vector<std::string> env, int hold_from = 0) {
    Child child;
    int fds[2] = {-1, -1};
    if (hold_from > 0) {
      EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
      child.held = fds[0];
      env.push_back("TVCPIX_TEST_HOLD_WRITE=" + std::to_string(hold_from) + " 3");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Path(".stdout").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, Path(".stderr").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (hold_from > 0) posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t set;
    sigemptyset(&set);
    posix_spawnattr_setsigmask(&attr, &set);
    sigaddset(&set, SIGINT), sigaddset(&set, SIGTERM);
    posix_spawnattr_setsigdefault(&attr, &set);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<std::string> argv_text = {program};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (std::string& a : argv_text) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr), envp.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&child.pid, program.c_str(), &actions, &attr, argv.data(), envp.data()),
              0);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (hold_from > 0) close(fds[1]);
    return child;
  }

  // Blocks until n writes of the child are held; false when it ended before.
  static bool WaitForHolds(const Child& child, int n) {
    for (int got = 0; got < n;) {
      char byte;
      const ssize_t r = read(child.held, &byte, 1);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      ++got;
    }
    return true;
  }

  // Waits for the child; one still running after 60 s is killed and fails the test.
  test::ToolResult Finish(Child& child) {
    int status = 0;
    for (int tenths = 0; waitpid(child.pid, &status, WNOHANG) == 0; ++tenths) {
      if (tenths == 600) {
        ADD_FAILURE() << "tvcpix-cli still runs; killed";
        kill(child.pid, SIGKILL);
      }
      usleep(100'000);
    }
    if (child.held >= 0) close(child.held);
    test::ToolResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                            test::ReadText(Path(".stdout")), test::ReadText(Path(".stderr"))};
    fs::remove(Path(".stdout")), fs::remove(Path(".stderr"));
    return result;
  }

  std::map<std::string, Bytes> Files(const std::string& folder) const {
    std::map<std::string, Bytes> files;
    for (const auto& e : fs::directory_iterator(folder)) files[e.path().filename()] = ReadBytes(e);
    return files;
  }
};

struct StopCase {
  const char* name;
  int signo;
  const char* options;  // before the inputs; "D" is the output folder
  int inputs;
  int hold_from;  // the write (counted from 1) from which every write holds
  int holds;      // writes held at once when the signal comes
};

class StopDuringSaveTest : public StopTest, public testing::WithParamInterface<StopCase> {};

// Every output path holds an older file first. Stopped while `holds` saves each have a complete
// temporary file, the tool removes them all and ends with 128 + the signal: the files renamed
// before are exactly those of an uninterrupted run, every other one is still the old file.
TEST_P(StopDuringSaveTest, RemovesTheTemporaryFilesAndKeepsWholeFiles) {
  const StopCase& c = GetParam();
  std::vector<std::string> inputs;
  for (int i = 0; i < c.inputs; ++i) {
    inputs.push_back(Path("in" + std::to_string(i) + ".bmp"));
    test::WritePicture(inputs.back(), 700 + 10 * i, 500, i);  // a sizable load and save
  }
  const auto args = [&](const std::string& folder) {
    std::vector<std::string> words;
    std::istringstream in(c.options);
    for (std::string w; in >> w;)
      words.push_back(w.starts_with("D") ? Path(folder + w.substr(1)) : w);
    words.insert(words.end(), inputs.begin(), inputs.end());
    return words;
  };
  fs::create_directories(Path("ref")), fs::create_directories(Path("out"));
  Child ref = Start(TVCPIX_CLI_PATH, args("ref"), ToolEnvironment({}));
  ASSERT_EQ(Finish(ref).code, 0);
  const std::map<std::string, Bytes> complete = Files(Path("ref"));
  ASSERT_GE(complete.size(), static_cast<std::size_t>(c.hold_from));
  std::map<std::string, Bytes> old;
  for (const auto& [name, bytes] : complete) {
    old[name] = Bytes(bytes.size() / 2 + 1, static_cast<std::uint8_t>(name.size()));
    test::WriteBytes(Path("out/" + name), old[name]);
  }

  Child run = Start(TVCPIX_CLI_PATH, args("out"), ToolEnvironment({}), c.hold_from);
  const bool held = WaitForHolds(run, c.holds);
  EXPECT_TRUE(held) << "tvcpix-cli ended before holding " << c.holds << " writes";
  std::size_t temps = 0;
  for (const auto& e : fs::directory_iterator(Path("out")))
    temps += e.path().filename().string().find(".tmp-") != std::string::npos;
  EXPECT_EQ(temps, static_cast<std::size_t>(c.holds));  // the saves were in progress
  if (held) kill(run.pid, c.signo);
  const test::ToolResult r = Finish(run);

  EXPECT_EQ(r.code, 128 + c.signo);
  const std::string plural = c.holds > 1 ? "s" : "";
  EXPECT_NE(r.err.find(std::string("tvcpix-cli: stopped by ") +
                       (c.signo == SIGINT ? "SIGINT" : "SIGTERM") + "; removed " +
                       std::to_string(c.holds) + " unfinished temporary file" + plural + "\n"),
            std::string::npos)
      << r.err;
  const std::map<std::string, Bytes> after = Files(Path("out"));
  EXPECT_EQ(after.size(), complete.size());  // no temporary file left
  int renamed = 0;
  for (const auto& [name, bytes] : after) {
    ASSERT_TRUE(complete.count(name)) << name;
    const bool is_new = bytes == complete.at(name);
    EXPECT_TRUE(is_new || bytes == old.at(name)) << name << " is damaged";
    renamed += is_new;
  }
  EXPECT_EQ(renamed, c.hold_from - 1);
}

// The first file of a save, an export after the three files, and three workers at once.
INSTANTIATE_TEST_SUITE_P(
    Saves, StopDuringSaveTest,
    testing::Values(StopCase{"BmpOfOneInput", SIGTERM, "-o D/one", 1, 1, 1},
                    StopCase{"PngExportAfterTheOthers", SIGINT,
                             "-o D/one --asm D/one.asm --png D/one.png", 1, 5, 1},
                    StopCase{"ThreeWorkersAtOnce", SIGTERM, "-j 3 -O D", 6, 4, 3}),
    [](const testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

// The tool alone in DIR/bin, as copied away from a build or an installation: a picture that
// needs Qt's reader fails naming the module and every place looked in, the other inputs still
// convert, and the module in DIR/lib/tvcpix (the installed layout) is found.
TEST_F(StopTest, ToolWithoutItsQtModuleSaysWhereItLooked) {
  fs::create_directories(Path("bin"));
  const std::string tool = Path("bin/tvcpix-cli");
  fs::copy_file(TVCPIX_CLI_PATH, tool);
  Surface picture("Pic1", 9, 7, MakeColor(200, 40, 90));
  test::WriteBytes(Path("a.png"), EncodePng(picture));
  test::WritePicture(Path("b.bmp"), 20, 10, 1);
  // A 32-bit BMP, which the direct decoder leaves to Qt's reader.
  const std::uint8_t header[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0,  54, 0, 0, 0, 40, 0,  0, 0, 2,
                                 0,   0,   0,  2, 0, 0, 0, 1, 0, 32, 0,  0, 0, 0, 0,  16, 0, 0, 0};
  Bytes bmp32(70, 0x80);  // sized first: growing it trips GCC 12's -Warray-bounds
  std::copy(std::begin(header), std::end(header), bmp32.begin());
  test::WriteBytes(Path("c.bmp"), bmp32);
  const std::string looked =
      Path("bin/libtvcpix_qtdecode.so") + ", " + Path("lib/tvcpix/libtvcpix_qtdecode.so");
  const auto missing = [&](const std::string& file, const std::string& what,
                           const std::string& places) {
    return "tvcpix-cli: " + Path(file) + ": cannot read " + what +
           ": the Qt reader module libtvcpix_qtdecode.so was not found (looked in " + places +
           ")\n";
  };
  struct Case {
    std::vector<std::string> args, env;
    std::string err;  // the first line
  };
  const Case cases[] = {// a BMP only Qt reads; a PNG beside one read directly; a named module
                        {{"-j", "1", "-O", Path("o"), Path("c.bmp"), Path("b.bmp")},
                         {},
                         missing("c.bmp", "this BMP picture", looked)},
                        {{"-j", "2", "-O", Path("o"), Path("b.bmp"), Path("a.png")},
                         {},
                         missing("a.png", "PNG pictures", looked)},
                        {{"-o", Path("o/a"), Path("a.png")},
                         {"TVCPIX_QT_MODULE=" + Path("none.so")},
                         missing("a.png", "PNG pictures", Path("none.so"))}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    Child child = Start(tool, c.args, ToolEnvironment(c.env));
    const test::ToolResult r = Finish(child);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), c.err);
    const bool bmp_too = c.args.size() > 3;  // the BMP the direct decoder reads converts
    EXPECT_EQ(r.out.rfind(Path("o/b") + ": ", 0) == 0, bmp_too) << r.out;
    fs::remove_all(Path("o"));
  }

  // Installed layout: the same result as the build tree's tool with the module beside it.
  std::map<std::string, std::pair<test::ToolResult, std::map<std::string, Bytes>>> runs;
  fs::create_directories(Path("lib/tvcpix"));
  fs::copy_file(TVCPIX_QT_MODULE_PATH, Path("lib/tvcpix/libtvcpix_qtdecode.so"));
  for (const std::string& program : {std::string(TVCPIX_CLI_PATH), tool}) {
    fs::create_directories(Path("o"));
    Child child = Start(program, {"-o", Path("o/a"), Path("a.png")}, ToolEnvironment({}));
    runs[program].first = Finish(child);
    EXPECT_EQ(runs[program].first.code, 0) << runs[program].first.err;
    runs[program].second = Files(Path("o"));
    fs::remove_all(Path("o"));
  }
  EXPECT_EQ(runs[tool].first.out, runs[TVCPIX_CLI_PATH].first.out);
  EXPECT_EQ(runs[tool].second.size(), 3u);
  EXPECT_TRUE(runs[tool].second == runs[TVCPIX_CLI_PATH].second);
}

}  // namespace
}  // namespace tvcpix
