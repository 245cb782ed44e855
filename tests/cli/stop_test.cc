// tvcpix-cli stopped by SIGINT or SIGTERM in the middle of a save, and a tvcpix-cli copied away
// from its Qt reader module: both run the real tool as a child process.
#include <fcntl.h>
#include <signal.h>

#include <cerrno>
#include <map>

#include "output/png.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
using CliTest = test::ScratchTest;
namespace fs = std::filesystem;

std::map<std::string, Bytes> Files(const std::string& folder) {
  std::map<std::string, Bytes> files;
  for (const auto& e : fs::directory_iterator(folder)) files[e.path().filename()] = ReadBytes(e);
  return files;
}

struct StopCase {
  const char* name;
  int signo;
  const char* options;  // before the inputs; "D/" is the output folder
  int inputs;
  int hold_from;  // the write (counted from 1) from which every write holds
  int holds;      // writes held at once when the signal comes
};

using StopDuringSaveTest = test::ScratchParamTest<StopCase>;

// Every output path holds an older file first. Stopped while `holds` saves each have a complete
// temporary file, the tool removes them all and ends with 128 + the signal: the files renamed
// before are exactly those of an uninterrupted run, every other one is still the old file.
TEST_P(StopDuringSaveTest, RemovesTheTemporaryFilesAndKeepsWholeFiles) {
  const StopCase& c = GetParam();
  std::string inputs;
  for (int i = 0; i < c.inputs; ++i) {
    inputs += " D/in" + std::to_string(i) + ".bmp";
    test::WritePicture(Path("in" + std::to_string(i) + ".bmp"), 700 + 10 * i, 500, i);  // sizable
  }
  const auto args = [&](const std::string& folder) {
    return Words(std::regex_replace(c.options, std::regex("D/"), "D/" + folder + "/") + inputs);
  };
  fs::create_directories(Path("ref")), fs::create_directories(Path("out"));
  ASSERT_EQ(Run(args("ref")).code, 0);
  const std::map<std::string, Bytes> complete = Files(Path("ref"));
  ASSERT_GE(complete.size(), static_cast<std::size_t>(c.hold_from));
  std::map<std::string, Bytes> old;
  for (const auto& [name, bytes] : complete) {
    old[name] = Bytes(bytes.size() / 2 + 1, static_cast<std::uint8_t>(name.size()));
    test::WriteBytes(Path("out/" + name), old[name]);
  }

  // The tool with SIGINT and SIGTERM at their defaults and unblocked, whatever this process
  // has, its output caught in the scratch folder, and from write hold_from on every write held
  // and reported on fd 3, read here through `held`.
  int fds[2] = {-1, -1};
  ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
  std::vector<std::string> words = args("out");
  words.insert(words.begin(), TVCPIX_CLI_PATH);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const std::string out = Path(".stdout"), err = Path(".stderr");
  setenv("TVCPIX_TEST_HOLD_WRITE", (std::to_string(c.hold_from) + " 3").c_str(), 1);
  const pid_t pid = fork();  // the child makes only async-signal-safe calls before exec
  if (pid == 0) {
    dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
    dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
    dup2(fds[1], 3);
    signal(SIGINT, SIG_DFL), signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  unsetenv("TVCPIX_TEST_HOLD_WRITE");
  ASSERT_GT(pid, 0);
  close(fds[1]);
  const int held = fds[0];
  int got = 0;  // the holds reported before the signal
  for (char byte; got < c.holds;) {
    const ssize_t r = read(held, &byte, 1);
    if (r > 0) ++got;
    if (r == 0 || (r < 0 && errno != EINTR)) break;
  }
  EXPECT_EQ(got, c.holds) << "tvcpix-cli ended before holding " << c.holds << " writes";
  std::size_t temps = 0;
  for (const auto& e : fs::directory_iterator(Path("out")))
    temps += e.path().filename().string().find(".tmp-") != std::string::npos;
  EXPECT_EQ(temps, static_cast<std::size_t>(c.holds));  // the saves were in progress
  if (got == c.holds) kill(pid, c.signo);
  int status = 0;  // a child still running after 60 s is killed and fails the test
  for (int tenths = 0; waitpid(pid, &status, WNOHANG) == 0; ++tenths, usleep(100'000))
    if (tenths == 600) kill(pid, SIGKILL), ADD_FAILURE() << "tvcpix-cli still runs; killed";
  close(held);
  const test::ToolResult r = {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                              test::ReadText(Path(".stdout")), test::ReadText(Path(".stderr"))};

  EXPECT_EQ(r.code, 128 + c.signo);
  const std::string stopped = std::string("tvcpix-cli: stopped by ") +
                              (c.signo == SIGINT ? "SIGINT" : "SIGTERM") + "; removed " +
                              std::to_string(c.holds) + " unfinished temporary file" +
                              (c.holds > 1 ? "s\n" : "\n");
  EXPECT_NE(r.err.find(stopped), std::string::npos) << r.err;
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
                    StopCase{"ThreeWorkersAtOnce", SIGTERM, "-j 3 -O D/", 6, 4, 3}),
    test::CaseName<StopCase>);

// The tool alone in DIR/bin, as copied away from a build or an installation: a picture that
// needs Qt's reader fails naming the module and every place looked in, the other inputs still
// convert, and the module in DIR/lib/tvcpix (the installed layout) is found.
TEST_F(CliTest, ToolWithoutItsQtModuleSaysWhereItLooked) {
  fs::create_directories(Path("bin"));
  const std::string tool = Path("bin/tvcpix-cli"), unset = "-u TVCPIX_QT_MODULE";
  fs::copy_file(TVCPIX_CLI_PATH, tool);
  test::WriteBytes(Path("a.png"), EncodePng(Surface("Pic1", 9, 7, MakeColor(200, 40, 90))));
  test::WritePicture(Path("b.bmp"), 20, 10, 1);
  // A 32-bit BMP, which the direct decoder leaves to Qt's reader.
  const std::uint8_t header[] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0,  54, 0, 0, 0, 40, 0,  0, 0, 2,
                                 0,   0,   0,  2, 0, 0, 0, 1, 0, 32, 0,  0, 0, 0, 0,  16, 0, 0, 0};
  Bytes bmp32(70, 0x80);  // sized first: growing it trips GCC 12's -Warray-bounds
  std::copy(std::begin(header), std::end(header), bmp32.begin());
  test::WriteBytes(Path("c.bmp"), bmp32);
  const std::string looked =
      Path("bin/libtvcpix_qtdecode.so") + ", " + Path("lib/tvcpix/libtvcpix_qtdecode.so");
  const auto missing = [&](const char* file, const std::string& what, const std::string& places) {
    return "tvcpix-cli: " + Path(file) + ": cannot read " + what +
           ": the Qt reader module libtvcpix_qtdecode.so was not found (looked in " + places +
           ")\n";
  };
  // A BMP only Qt reads and a PNG, each beside a BMP read directly; a module named.
  for (const auto& [line, env, err] :
       {std::tuple("-j 1 -O D/o D/c.bmp D/b.bmp", unset,
                   missing("c.bmp", "this BMP picture", looked)),
        {"-j 2 -O D/o D/b.bmp D/a.png", unset, missing("a.png", "PNG pictures", looked)},
        {"-o D/o/a D/a.png", "TVCPIX_QT_MODULE=" + Path("none.so"),
         missing("a.png", "PNG pictures", Path("none.so"))}}) {
    const test::ToolResult r = Run(Words(line), tool, env);
    EXPECT_EQ(r.code, 1) << line;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), err);
    const bool bmp_too = std::string(line).find("b.bmp") != std::string::npos;  // read directly
    EXPECT_EQ(r.out.rfind(Path("o/b") + ": ", 0) == 0, bmp_too) << r.out;
    fs::remove_all(Path("o"));
  }
  // Installed layout: the same result as the build tree's tool with the module beside it.
  fs::create_directories(Path("lib/tvcpix"));
  fs::copy_file(TVCPIX_QT_MODULE_PATH, Path("lib/tvcpix/libtvcpix_qtdecode.so"));
  std::map<std::string, std::string> out;
  std::map<std::string, std::map<std::string, Bytes>> files;
  for (const std::string& program : {std::string(TVCPIX_CLI_PATH), tool}) {
    fs::create_directories(Path("o"));
    const test::ToolResult r = Run(Words("-o D/o/a D/a.png"), program, unset);
    EXPECT_EQ(r.code, 0) << r.err;
    out[program] = r.out, files[program] = Files(Path("o"));
    fs::remove_all(Path("o"));
  }
  EXPECT_EQ(out[tool], out[TVCPIX_CLI_PATH]);
  EXPECT_EQ(files[tool].size(), 3u);
  EXPECT_TRUE(files[tool] == files[TVCPIX_CLI_PATH]);
}

}  // namespace
}  // namespace tvcpix
