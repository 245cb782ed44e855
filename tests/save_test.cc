// Tests of saving the three output files: their content, and that a failed save never leaves a
// truncated or destroyed file behind.
#include "output/save.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "output/bmp.h"
#include "output/file_write.h"
#include "output/screen_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

class SaveTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/tvcpix-save-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    BuildPalette16(palette_);
    result_view_ = Surface("Pic2", 512, 480, MakeColor(64, 64, 64));
    preview_ = Surface("TVC16", 128, 240, MakeColor(192, 192, 255));
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 128; ++x)
        preview_.SetPixel(x, y, ColorFromEntry(Tvc16Color((x + y) % 16)));
    }
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 512; ++x) result_view_.SetPixel(x, y, MakeColor(x, y, x ^ y));
    }
  }
  void TearDown() override {
    InjectWriteFaultForTesting(WriteStep::kNone, 0, 0);
    fs::remove_all(dir_);
  }

  SaveResult Save(const std::string& base) {
    return SaveAll(base, result_view_, preview_, TvcMode::kGraphics16, palette_);
  }
  // Earlier outputs with recognisable content.
  void WriteOldFiles(const std::string& base) {
    for (const char* ext : {".bmp", ".bin", ".tim"})
      WriteText(base + ext, std::string("old") + ext);
  }
  std::set<std::string> Listing(const std::string& folder) const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename());
    return names;
  }

  std::string dir_;
  Palette palette_;
  Surface result_view_;
  Surface preview_;
};

TEST_F(SaveTest, WritesTheThreeFilesInOrder) {
  const std::string base = dir_ + "/out24";
  const SaveResult r = Save(base);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(r.replaced, (std::vector<std::string>{base + ".bmp", base + ".bin", base + ".tim"}));
  EXPECT_EQ(ReadAll(base + ".bmp"), EncodeBmp24(result_view_));
  const Bytes bin = ReadAll(base + ".bin");
  EXPECT_EQ(bin, BuildScreenImage(preview_, TvcMode::kGraphics16, palette_));
  const Bytes tim = ReadAll(base + ".tim");
  ASSERT_EQ(tim.size(), 16400u);
  const auto header = TimHeader(TvcMode::kGraphics16, palette_);
  EXPECT_TRUE(std::equal(header.begin(), header.end(), tim.begin()));
  EXPECT_TRUE(std::equal(bin.begin(), bin.end(), tim.begin() + 16));
  EXPECT_EQ(Listing(dir_), (std::set<std::string>{"out24.bmp", "out24.bin", "out24.tim"}));
}

TEST_F(SaveTest, AllBlackPreviewGivesZeroFiles) {
  preview_.Fill(MakeColor(0, 0, 0));
  const std::string base = dir_ + "/black";
  ASSERT_TRUE(Save(base).ok);
  const Bytes bin = ReadAll(base + ".bin");
  EXPECT_EQ(bin, Bytes(16384, 0));
  Bytes tim_expected(16400, 0);
  tim_expected[0] = 0x54;
  tim_expected[1] = 0x49;
  tim_expected[2] = 0x4D;
  tim_expected[3] = 0x02;
  EXPECT_EQ(ReadAll(base + ".tim"), tim_expected);
}

TEST_F(SaveTest, BasePathIsUsedUnchanged) {
  const std::string base = dir_ + "/picture.bmp";
  ASSERT_TRUE(Save(base).ok);
  EXPECT_EQ(Listing(dir_),
            (std::set<std::string>{"picture.bmp.bmp", "picture.bmp.bin", "picture.bmp.tim"}));
}

TEST_F(SaveTest, SavingTwiceReplacesAllThreeAndKeepsPermissions) {
  const std::string base = dir_ + "/out24";
  WriteOldFiles(base);
  chmod((base + ".bin").c_str(), 0640);
  ASSERT_TRUE(Save(base).ok);
  preview_.Fill(MakeColor(255, 255, 255));
  result_view_.Fill(MakeColor(1, 2, 3));
  ASSERT_TRUE(Save(base).ok);
  EXPECT_EQ(ReadAll(base + ".bmp"), EncodeBmp24(result_view_));
  EXPECT_EQ(ReadAll(base + ".bin")[0], 0xFF);
  EXPECT_EQ(ReadAll(base + ".tim")[16], 0xFF);
  struct stat st;
  ASSERT_EQ(stat((base + ".bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Listing(dir_).size(), 3u);
}

struct MisfitCase {
  TvcMode mode;
  int entries;
};

class SaveMisfitTest : public SaveTest, public testing::WithParamInterface<MisfitCase> {};

// A palette that does not fit the mode is refused before any file is touched.
TEST_P(SaveMisfitTest, RefusedBeforeWriting) {
  const std::string base = dir_ + "/out24";
  WriteOldFiles(base);
  Palette p;
  p.Resize(GetParam().entries);
  const SaveResult r = SaveAll(base, result_view_, preview_, GetParam().mode, p);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errnum, SaveResult::kNoErrno);
  EXPECT_TRUE(r.replaced.empty());
  EXPECT_NE(r.message.find("no file was replaced"), std::string::npos) << r.message;
  EXPECT_EQ(ReadAll(base + ".bmp"), AsBytes("old.bmp"));
  EXPECT_EQ(ReadAll(base + ".bin"), AsBytes("old.bin"));
  EXPECT_EQ(ReadAll(base + ".tim"), AsBytes("old.tim"));
}

INSTANTIATE_TEST_SUITE_P(Palettes, SaveMisfitTest,
                         testing::Values(MisfitCase{TvcMode::kGraphics4, 2},
                                         MisfitCase{TvcMode::kGraphics4, 3},
                                         MisfitCase{TvcMode::kGraphics2, 0},
                                         MisfitCase{TvcMode::kGraphics2, 16},
                                         MisfitCase{TvcMode::kGraphics16, 4}));

// Folders that cannot take the files: the error number and the system's reason come back,
// naming the first file, and nothing is created.
TEST_F(SaveTest, UnusableFoldersFailOnTheFirstFile) {
  WriteText(dir_ + "/plain", "x");
  const struct {
    std::string base;
    int errnum;
  } cases[] = {
      {dir_ + "/missing/out24", ENOENT},
      {dir_ + "/plain/out24", ENOTDIR},  // a file where the folder should be
      {dir_ + "/" + std::string(300, 'n'), ENAMETOOLONG},
      {dir_ + "/" + std::string(252, 'n'), ENAMETOOLONG},  // 256 with ".bmp"
  };
  for (const auto& c : cases) {
    const SaveResult r = Save(c.base);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.errnum, c.errnum) << r.message;
    EXPECT_EQ(r.message.rfind(c.base + ".bmp: " + std::strerror(c.errnum), 0), 0u) << r.message;
    EXPECT_TRUE(r.replaced.empty());
    EXPECT_EQ(Listing(dir_), std::set<std::string>{"plain"});
  }
}

// A final name that only just fits leaves no room for the temporary suffix; the save must
// still work.
TEST_F(SaveTest, LongestNameThatFitsStillSaves) {
  const std::string base = dir_ + "/" + std::string(251, 'n');
  const SaveResult r = Save(base);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_EQ(ReadAll(base + ".tim").size(), 16400u);
  EXPECT_EQ(Listing(dir_).size(), 3u);
}

TEST_F(SaveTest, ReadOnlyFolderFails) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  const std::string folder = dir_ + "/ro";
  fs::create_directory(folder);
  chmod(folder.c_str(), 0555);
  const SaveResult r = Save(folder + "/out24");
  chmod(folder.c_str(), 0755);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errnum, EACCES);
  EXPECT_TRUE(Listing(folder).empty());
}

TEST_F(SaveTest, DirectoryAtAFinalNameStopsThereAndKeepsTheRest) {
  const std::string base = dir_ + "/out24";
  WriteOldFiles(base);
  fs::remove(base + ".bin");
  fs::create_directory(base + ".bin");
  const SaveResult r = Save(base);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errnum, EISDIR);
  EXPECT_EQ(r.replaced, std::vector<std::string>{base + ".bmp"});
  EXPECT_EQ(r.message,
            base + ".bin: " + std::strerror(EISDIR) + " (already replaced: " + base + ".bmp)");
  EXPECT_EQ(ReadAll(base + ".bmp"), EncodeBmp24(result_view_));
  EXPECT_TRUE(fs::is_directory(base + ".bin"));
  EXPECT_EQ(ReadAll(base + ".tim"), AsBytes("old.tim"));
  EXPECT_EQ(Listing(dir_), (std::set<std::string>{"out24.bmp", "out24.bin", "out24.tim"}));
}

struct FaultCase {
  WriteStep step;
  int nth;  // which call of the step fails: 1 = .bmp, 2 = .bin, 3 = .tim
  int errnum;
};

class SaveFaultTest : public SaveTest, public testing::WithParamInterface<FaultCase> {};

// A failing disk at any step of any file: files before it are new, the failing one and those
// after it keep their old content byte for byte, and no temporary file is left.
TEST_P(SaveFaultTest, FailedFileKeepsItsOldContent) {
  const FaultCase& c = GetParam();
  const std::string base = dir_ + "/out24";
  WriteOldFiles(base);
  InjectWriteFaultForTesting(c.step, c.nth, c.errnum);
  const SaveResult r = Save(base);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errnum, c.errnum);
  const std::string exts[] = {".bmp", ".bin", ".tim"};
  const std::string failed = base + exts[c.nth - 1];
  EXPECT_EQ(r.message.rfind(failed + ": " + std::strerror(c.errnum), 0), 0u) << r.message;
  ASSERT_EQ(r.replaced.size(), static_cast<std::size_t>(c.nth - 1));
  for (int i = 0; i < 3; ++i) {
    const std::string path = base + exts[i];
    if (i < c.nth - 1) {
      EXPECT_EQ(r.replaced[static_cast<std::size_t>(i)], path);
      EXPECT_NE(r.message.find(path), std::string::npos) << r.message;
      EXPECT_NE(ReadAll(path), AsBytes("old" + exts[i])) << path;
    } else {
      EXPECT_EQ(ReadAll(path), AsBytes("old" + exts[i])) << path;
    }
  }
  EXPECT_EQ(Listing(dir_), (std::set<std::string>{"out24.bmp", "out24.bin", "out24.tim"}));
}

INSTANTIATE_TEST_SUITE_P(Steps, SaveFaultTest,
                         testing::Values(FaultCase{WriteStep::kCreate, 1, EMFILE},
                                         FaultCase{WriteStep::kWrite, 1, ENOSPC},
                                         FaultCase{WriteStep::kWrite, 2, ENOSPC},
                                         FaultCase{WriteStep::kWrite, 3, EIO},
                                         FaultCase{WriteStep::kSync, 2, EIO},
                                         FaultCase{WriteStep::kClose, 3, EDQUOT},
                                         FaultCase{WriteStep::kRename, 3, EXDEV}));

// A real short write from the kernel: a file size limit cuts the BMP file off part way.
TEST_F(SaveTest, KernelRefusingToGrowTheFileKeepsTheOldOne) {
  const std::string base = dir_ + "/out24";
  WriteOldFiles(base);
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  struct rlimit small = old_limit;
  small.rlim_cur = 100000;  // the BMP needs 737,334 bytes
  const sighandler_t old_handler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult r = Save(base);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errnum, EFBIG) << r.message;
  EXPECT_EQ(ReadAll(base + ".bmp"), AsBytes("old.bmp"));
  EXPECT_EQ(Listing(dir_), (std::set<std::string>{"out24.bmp", "out24.bin", "out24.tim"}));
}

TEST(FileWriteTest, NewFileTakesTheUmask) {
  char name[] = "/tmp/tvcpix-write-XXXXXX";
  ASSERT_NE(mkdtemp(name), nullptr);
  const std::string path = std::string(name) + "/f";
  const mode_t old_mask = umask(027);
  const std::uint8_t data[] = {1, 2, 3};
  const WriteResult r = WriteFileAtomically(path, data, sizeof(data));
  umask(old_mask);
  ASSERT_TRUE(r.ok) << r.reason;
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadAll(path), Bytes({1, 2, 3}));
  fs::remove_all(name);
}

}  // namespace
}  // namespace tvcpix
