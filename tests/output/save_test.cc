// The three-file save: a palette that does not fit, unusable folders, a failure at each step of
// each file, and odd things at the final names; no file is ever lost or left half written.
#include "output/save.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "output/file_write.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
namespace fs = std::filesystem;

class SaveTest : public test::ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    base_ = Path("out24.x");  // an extension in the base stays
    BuildPalette16(p_);
  }
  void TearDown() override {
    InjectWriteFaultForTesting(WriteStep::kNone, 0, 0);
    ScratchTest::TearDown();
  }
  Result Save(const std::string& base, TvcMode mode = TvcMode::kGraphics16) {
    return SaveAll(base, Surface("Pic2", 512, 480, 9), Surface("TVC16", 128, 240, 255), mode, p_);
  }
  void WriteOldFiles() {  // earlier outputs with recognisable content
    for (const char* ext : kExts) test::WriteBytes(base_ + ext, Old(ext));
  }
  static Bytes Old(const std::string& ext) { return Bytes(ext.begin(), ext.end()); }

  static constexpr const char* kExts[] = {".bmp", ".bin", ".tim"};
  Palette p_;
  std::string base_;
};

// A palette that does not fit the mode is refused before any file is touched.
TEST_F(SaveTest, MisfitPaletteIsRefusedBeforeWriting) {
  WriteOldFiles();
  for (const auto& [mode, entries] : {std::pair(TvcMode::kGraphics4, 3),
                                      {TvcMode::kGraphics2, 0},
                                      {TvcMode::kGraphics2, 16},
                                      {TvcMode::kGraphics16, 17}}) {
    p_.Resize(entries);
    const Result r = Save(base_, mode);
    EXPECT_EQ(r.errnum, Result::kNoErrno);
    EXPECT_NE(r.message.find(std::to_string(entries) + " entries"), std::string::npos) << r.message;
    EXPECT_NE(r.message.find("no file was replaced"), std::string::npos) << r.message;
    for (const char* ext : kExts) EXPECT_EQ(ReadBytes(base_ + ext), Old(ext)) << ext;
  }
}

// Folders that cannot take the files: the error number and the system's reason, naming the
// first file, and nothing written. A name that only just fits leaves no room for a temporary
// suffix, and still saves.
TEST_F(SaveTest, UnusableFoldersFailOnTheFirstFile) {
  for (const auto& [name, errnum] :
       {std::pair(std::string("missing/out24"), ENOENT), {std::string(252, 'n'), ENAMETOOLONG}}) {
    const std::string base = Path(name);
    const Result r = Save(base);
    EXPECT_EQ(r.message.rfind(base + ".bmp: " + std::strerror(errnum), 0), 0u) << r.message;
    EXPECT_EQ(r.errnum, errnum);
    EXPECT_TRUE(Listing(dir_.string()).empty());
  }
  ASSERT_TRUE(Save(Path(std::string(251, 'n'))).ok);
}

struct FailureCase {
  const char* name;
  WriteStep step;
  int nth;  // 1 .bmp, 2 .bin, 3 .tim
  int errnum;
};
class FailedWriteTest : public SaveTest, public testing::WithParamInterface<FailureCase> {};

// A failing disk at any step of any file, a folder at a final name, or the kernel refusing to
// grow a file: files before it are new, the failing one and those after keep their old content,
// the message names the file, the reason and what was replaced, and no temporary file is left.
TEST_P(FailedWriteTest, FailedFileKeepsItsOldContent) {
  const auto [name, step, nth, errnum] = GetParam();
  WriteOldFiles();
  rlimit limit;
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small = {100000, limit.rlim_max};  // the BMP needs 737,334 bytes
  if (errnum == EISDIR) fs::remove(base_ + ".bin"), fs::create_directory(base_ + ".bin");
  if (errnum == EFBIG) signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, &small);
  InjectWriteFaultForTesting(step, nth, errnum);
  const Result r = Save(base_);
  InjectWriteFaultForTesting(WriteStep::kNone, 0, 0);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::string message = base_ + kExts[nth - 1] + ": " + std::strerror(errnum);
  for (int i = 0; i < nth - 1; ++i)
    message += (i ? ", " : " (already replaced: ") + base_ + kExts[i];
  EXPECT_EQ(r.message, message + (nth > 1 ? ")" : " (no file was replaced)"));
  EXPECT_EQ(r.errnum, errnum);
  for (int i = 0; i < 3; ++i) {
    if (errnum == EISDIR && i == 1) continue;
    EXPECT_EQ(ReadBytes(base_ + kExts[i]) == Old(kExts[i]), i >= nth - 1) << kExts[i];
  }
  EXPECT_EQ(Listing(dir_.string()),
            (std::set<std::string>{"out24.x.bmp", "out24.x.bin", "out24.x.tim"}));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Steps, FailedWriteTest, testing::Values(
    FailureCase{"CreateFailsOnBmp", WriteStep::kCreate, 1, EMFILE},
    FailureCase{"WriteFailsOnBin", WriteStep::kWrite, 2, ENOSPC},
    FailureCase{"SyncFailsOnBin", WriteStep::kSync, 2, EIO},
    FailureCase{"CloseFailsOnTim", WriteStep::kClose, 3, EDQUOT},
    FailureCase{"RenameFailsOnTim", WriteStep::kRename, 3, EXDEV},
    FailureCase{"FolderAtBin", WriteStep::kNone, 2, EISDIR},
    FailureCase{"FileSizeLimitOnBmp", WriteStep::kNone, 1, EFBIG}),
    test::CaseName<FailureCase>);
// clang-format on

// A FIFO, a link to another file and a link to /dev/full at the final names: the save neither
// blocks nor writes through the links; each name ends up a complete regular file.
TEST_F(SaveTest, OddThingsAtTheFinalNamesAreReplaced) {
  test::WriteBytes(Path("victim"), {'k'});
  fs::create_symlink(Path("victim"), base_ + ".bmp");
  ASSERT_EQ(mkfifo((base_ + ".bin").c_str(), 0600), 0);
  fs::create_symlink("/dev/full", base_ + ".tim");
  const Result r = Save(base_);  // a blocking open would hang here
  EXPECT_TRUE(r.ok) << r.message;
  EXPECT_EQ(ReadBytes(Path("victim")), Bytes{'k'});
  const std::uintmax_t sizes[] = {54 + 512 * 480 * 3, 16384, 16400};
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(base_ + kExts[i]))) << kExts[i];
    EXPECT_EQ(fs::file_size(base_ + kExts[i]), sizes[i]) << kExts[i];
  }
}

}  // namespace
}  // namespace tvcpix
