// Screen files, BMPs and the three-file save: TVC colour codes and the packed screen image
// against a plain reading, a malformed ".tim" refused with its reason and a FIFO at once, every
// pixel of the BMP encoder as an independent reader sees it; and the save with a palette that
// does not fit, unusable folders, a failure at each step of each file and odd things at the
// final names, where no file is ever lost or left half written.
#include "output/screen_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <QImage>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <tuple>

#include "output/bmp.h"
#include "output/file_write.h"
#include "output/save.h"
#include "output/screen_decode.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;
using test::ReadBytes;
namespace fs = std::filesystem;

TEST(ScreenFileTest, ColourCodesOfTheSixteenColourTableAndBack) {
  const std::uint8_t codes[16] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15,
                                  0x00, 0x41, 0x44, 0x45, 0x50, 0x51, 0x54, 0x55};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(TvcColorCode(Tvc16Color(i)), codes[i]) << i;
    EXPECT_EQ(ColorOfCode(codes[i]), Tvc16Color(i)) << i;
  }
  EXPECT_EQ(ColorFromEntry(ColorOfCode(0x40)), MakeColor(0, 0, 0));  // intensity alone: black
  for (std::uint8_t bad : {0x80, 0x20, 0x08, 0x02}) EXPECT_FALSE(IsTvcColorCode(bad));
}

// A plain per-pixel reading of the packing over random pictures and every palette size in every
// mode (only the low index bits are stored where the palette is larger); rows 240 to 255 stay zero.
class PackingTest : public testing::TestWithParam<std::tuple<TvcMode, int>> {};

TEST_P(PackingTest, MatchesAPlainReference) {
  const auto [mode, entries] = GetParam();
  std::mt19937 rng(7 + entries);
  const int levels[] = {0, 145, 255, 77};  // the intensity bit, and a level between
  const ModeInfo& info = InfoOf(mode);
  Palette p;
  p.Resize(entries);
  for (int i = 0; i < entries; ++i)
    p.Set(i, EntryFromColor(MakeColor(levels[rng() % 4], levels[rng() % 4], levels[rng() % 4])));
  Surface preview("preview", info.preview_width, 240, 0);
  for (int i = 0; i < info.preview_width * 240; ++i)  // palette colours and any colours
    preview.SetPixel(i % info.preview_width, i / info.preview_width,
                     rng() % 2 ? ColorFromEntry(p[static_cast<int>(rng() % entries)])
                               : static_cast<ColorValue>(rng() & 0xFFFFFF));
  const Bytes image = BuildScreenImage(preview, mode, p);
  const int per_byte = info.pixels_per_byte, colours = info.colours;
  for (int i = 0; i < 64 * 240; ++i) {
    int idx[8], want = 0;
    for (int j = 0; j < per_byte; ++j) {
      const ColorValue c = PixelAt(preview, i % 64 * per_byte + j, i / 64);
      idx[j] = NearestIndex(p, RedOf(c), GreenOf(c), BlueOf(c));
    }
    if (colours == 16) {  // intensity, green, red, blue bits of the left and right pixel
      const PaletteEntry l = p[idx[0]], r = p[idx[1]];
      for (int bit : {l.red == 255 || l.green == 255 || l.blue == 255,
                      r.red == 255 || r.green == 255 || r.blue == 255, l.green != 0, r.green != 0,
                      l.red != 0, r.red != 0, l.blue != 0, r.blue != 0})
        want = want * 2 + bit;
    }
    for (int j = 0; j < per_byte && colours == 4; ++j)
      want |= (idx[j] & 1) << (7 - j) | ((idx[j] >> 1) & 1) << (3 - j);
    for (int j = 0; j < per_byte && colours == 2; ++j) want = want * 2 + (idx[j] & 1);
    ASSERT_EQ(image[static_cast<std::size_t>(i)], want) << "byte " << i;
  }
  EXPECT_TRUE(std::all_of(image.begin() + 64 * 240, image.end(), [](int v) { return v == 0; }));
}

INSTANTIATE_TEST_SUITE_P(ModesAndPaletteSizes, PackingTest,
                         testing::Combine(testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                                          TvcMode::kGraphics16),
                                          testing::Values(2, 4, 16, 120)),
                         [](const testing::TestParamInfo<std::tuple<TvcMode, int>>& info) {
                           return test::ModeName(std::get<0>(info.param)) + "_Entries" +
                                  std::to_string(std::get<1>(info.param));
                         });

using ScreenReadTest = test::ScratchTest;

// A "TIM" header for "Graphics 4" with one byte set (size, letters, mode byte, a code with bits
// 7, 6 and 2 set): each refused with its reason.
TEST_F(ScreenReadTest, MalformedTimIsRefusedWithItsReason) {
  const std::tuple<std::size_t, int, std::size_t, const char*> cases[] = {
      {0, 'T', 16399, "16399 bytes"},
      {1, 'X', 16400, "\"TIM\""},
      {3, 7, 16400, "mode byte 7"},
      {7, 0xC4, 16400, "0xC4 at header byte 7"}};
  for (const auto& [at, value, size, reason] : cases) {
    test::Bytes tim = {'T', 'I', 'M', 1};
    tim.resize(size), tim[at] = static_cast<std::uint8_t>(value);
    DecodedScreen d;
    const Result r = DecodeTim(tim.data(), tim.size(), &d);
    EXPECT_TRUE(!r.ok && r.message.find(reason) != std::string::npos) << r.message;
  }
  ASSERT_EQ(mkfifo(Path("pipe.tim").c_str(), 0600), 0);
  DecodedScreen d;
  const Result r = ReadScreenFile(Path("pipe.tim"), TvcMode::kGraphics16, {}, &d);
  EXPECT_TRUE(!r.ok && r.message.rfind(Path("pipe.tim: "), 0) == 0) << r.message;
}

std::uint32_t Le32(const PixelBytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

TEST(BmpTest, QtReadsEveryPixelPaddingIsZeroAndNoPixelsGiveNothing) {
  std::mt19937 rng(5);
  for (int width = 1; width <= 6; ++width)
    for (int height = 1; height <= 3; ++height) {
      SCOPED_TRACE(testing::Message() << width << "x" << height);
      const Surface s = test::RandomSurface(width, height, rng);
      const PixelBytes file = EncodeBmp24Pixels(s);
      const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
      ASSERT_EQ(file.size(), kBmpHeaderBytes + row * height);
      EXPECT_EQ(std::tuple(Le32(file, 2), Le32(file, 10), Le32(file, 34)),
                std::tuple(file.size(), std::size_t{kBmpHeaderBytes}, row * height));
      const QImage image = QImage::fromData(file.data(), static_cast<int>(file.size()), "BMP");
      ASSERT_EQ(image.size(), QSize(width, height));
      for (int y = 0; y < height; ++y) {
        for (std::size_t i = static_cast<std::size_t>(width) * 3; i < row; ++i)
          EXPECT_EQ(file[kBmpHeaderBytes + row * y + i], 0) << "row " << y << " byte " << i;
        for (int x = 0; x < width; ++x) {
          const QRgb p = image.pixel(x, y);
          ASSERT_EQ(MakeColor(qRed(p), qGreen(p), qBlue(p)), PixelAt(s, x, y)) << x << "," << y;
        }
      }
    }
  EXPECT_TRUE(EncodeBmp24Pixels(Surface()).empty());
  EXPECT_TRUE(EncodeBmp24Pixels(Surface("empty", 0, 5, 0)).empty());
}

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
