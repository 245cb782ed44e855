// Tests of reading screen files back: hand-made screens, enlargement and malformed files.
#include "output/screen_decode.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/palette.h"
#include "output/screen_file.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

ColorValue At(const Surface& s, int x, int y) { return PixelAt(s, x, y); }

ColorValue Rgb(int r, int g, int b) { return MakeColor(r, g, b); }

Bytes Tim(int mode_byte, PaletteCodes codes) {
  Bytes b(kTimFileBytes, 0);
  b[0] = 'T';
  b[1] = 'I';
  b[2] = 'M';
  b[3] = static_cast<std::uint8_t>(mode_byte);
  for (int i = 0; i < 4; ++i)
    b[static_cast<std::size_t>(4 + i)] = codes[static_cast<std::size_t>(i)];
  return b;
}

TEST(ColorOfCodeTest, EveryTableColourSurvivesItsCode) {
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(ColorOfCode(TvcColorCode(Tvc16Color(i))), Tvc16Color(i)) << "index " << i;
  }
  // Intensity without a colour bit is black, like the table's second black.
  EXPECT_EQ(ColorFromEntry(ColorOfCode(0x40)), Rgb(0, 0, 0));
  EXPECT_TRUE(IsTvcColorCode(0x55));
  for (std::uint8_t bad : {0x80, 0x20, 0x08, 0x02, 0xFF}) EXPECT_FALSE(IsTvcColorCode(bad));
}

TEST(DecodeScreenImageTest, SixteenColoursUnpackBothPixelsOfAByte) {
  Bytes image(kScreenBytes, 0);
  image[0] = 0x89;              // bright red left of dark blue
  image[64 * 239 + 63] = 0xFF;  // the last byte of the picture: two bright whites
  image[64 * 240] = 0xFF;       // rows 240..255 are not part of the picture
  const Surface s = DecodeScreenImage(image.data(), TvcMode::kGraphics16, {});
  ASSERT_EQ(s.width(), 128);
  ASSERT_EQ(s.height(), 240);
  EXPECT_EQ(At(s, 0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(At(s, 1, 0), Rgb(0, 0, 145));
  EXPECT_EQ(At(s, 2, 0), Rgb(0, 0, 0));
  EXPECT_EQ(At(s, 126, 239), Rgb(255, 255, 255));
  EXPECT_EQ(At(s, 127, 239), Rgb(255, 255, 255));
  EXPECT_EQ(At(s, 125, 239), Rgb(0, 0, 0));
  EXPECT_EQ(At(s, 0, 1), Rgb(0, 0, 0));
}

TEST(DecodeScreenImageTest, FourColoursTakeLowBitsFromTheHighNibble) {
  Bytes image(kScreenBytes, 0);
  image[64 * 5 + 2] = 0x53;  // indices 0, 1, 2, 3 at x = 8..11 of row 5
  const PaletteCodes codes{0x00, 0x55, 0x41, 0x04};
  const Surface s = DecodeScreenImage(image.data(), TvcMode::kGraphics4, codes);
  ASSERT_EQ(s.width(), 256);
  EXPECT_EQ(At(s, 8, 5), Rgb(0, 0, 0));
  EXPECT_EQ(At(s, 9, 5), Rgb(255, 255, 255));
  EXPECT_EQ(At(s, 10, 5), Rgb(0, 0, 255));
  EXPECT_EQ(At(s, 11, 5), Rgb(145, 0, 0));
  EXPECT_EQ(At(s, 12, 5), Rgb(0, 0, 0));
}

TEST(DecodeScreenImageTest, TwoColoursPutTheLeftmostPixelInBit7) {
  Bytes image(kScreenBytes, 0);
  image[64 * 100 + 63] = 0x81;
  const Surface s = DecodeScreenImage(image.data(), TvcMode::kGraphics2, {0x11, 0x54, 0, 0});
  ASSERT_EQ(s.width(), 512);
  const ColorValue zero = Rgb(0, 145, 145), one = Rgb(255, 255, 0);
  EXPECT_EQ(At(s, 504, 100), one);
  for (int x = 505; x < 511; ++x) EXPECT_EQ(At(s, x, 100), zero) << x;
  EXPECT_EQ(At(s, 511, 100), one);
  EXPECT_EQ(At(s, 503, 100), zero);
}

class EnlargeTest : public testing::TestWithParam<TvcMode> {};

TEST_P(EnlargeTest, EveryPixelBecomesABlockOfTheResultView) {
  const TvcMode mode = GetParam();
  Bytes image(kScreenBytes);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(i * 7 + i / 64);
  const Surface screen = DecodeScreenImage(image.data(), mode, {0x00, 0x55, 0x41, 0x44});
  const Surface view = EnlargeScreen(screen);
  ASSERT_EQ(view.width(), 512);
  ASSERT_EQ(view.height(), 480);
  const int sx = 512 / screen.width();
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 512; ++x) {
      ASSERT_EQ(At(view, x, y), At(screen, x / sx, y / 2)) << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllModes, EnlargeTest,
                         testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                         TvcMode::kGraphics16));

TEST(DecodeTimTest, HeaderGivesModeAndColours) {
  Bytes tim = Tim(1, {0x00, 0x55, 0x41, 0x44});
  tim[kTimHeaderBytes] = 0xFF;  // four pixels of index 3
  tim[14] = 0x99;               // reserved bytes are not read
  DecodedScreen d;
  ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &d).ok);
  EXPECT_EQ(d.mode, TvcMode::kGraphics4);
  EXPECT_EQ(d.codes, (PaletteCodes{0x00, 0x55, 0x41, 0x44}));
  EXPECT_EQ(At(d.screen, 3, 0), Rgb(255, 0, 0));
  EXPECT_EQ(At(d.screen, 4, 0), Rgb(0, 0, 0));
}

TEST(DecodeTimTest, WriterOutputReadsBackAsThePreview) {
  // A 2-colour preview in dark cyan and bright yellow, in a pattern that tells every position.
  Palette palette;
  palette.Resize(2);
  palette.Set(0, Tvc16Color(5));
  palette.Set(1, Tvc16Color(14));
  Surface preview("TVC2", 512, 240, 0);
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 512; ++x)
      preview.SetPixel(x, y, ColorFromEntry(palette[(x * 3 + y * y) % 7 < 3 ? 1 : 0]));
  const std::vector<std::uint8_t> image = BuildScreenImage(preview, TvcMode::kGraphics2, palette);
  const auto header = TimHeader(TvcMode::kGraphics2, palette);
  Bytes tim(header.begin(), header.end());
  tim.insert(tim.end(), image.begin(), image.end());
  DecodedScreen d;
  ASSERT_TRUE(DecodeTim(tim.data(), tim.size(), &d).ok);
  EXPECT_TRUE(d.screen == preview);
}

struct BadTim {
  const char* name;
  Bytes bytes;
  const char* reason;  // a part of the message
};

Bytes WithByte(Bytes b, std::size_t at, std::uint8_t value) {
  b[at] = value;
  return b;
}

Bytes Resized(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

class BadTimTest : public testing::TestWithParam<BadTim> {};

TEST_P(BadTimTest, IsRefusedWithItsReason) {
  const BadTim& c = GetParam();
  DecodedScreen d;
  d.mode = TvcMode::kGraphics2;
  const ScreenDecodeResult r = DecodeTim(c.bytes.data(), c.bytes.size(), &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
  EXPECT_EQ(d.mode, TvcMode::kGraphics2);  // nothing changed
  EXPECT_EQ(d.screen.width(), 0);
}

const Bytes kGoodTim4 = Tim(1, {0x00, 0x55, 0x41, 0x44});

INSTANTIATE_TEST_SUITE_P(
    Malformed, BadTimTest,
    testing::Values(BadTim{"Empty", Bytes{}, "0 bytes"},
                    BadTim{"OneShort", Resized(kGoodTim4, kTimFileBytes - 1), "16399 bytes"},
                    BadTim{"OneLong", Resized(kGoodTim4, kTimFileBytes + 1), "16401 bytes"},
                    BadTim{"BinSized", Resized(kGoodTim4, kScreenBytes), "16384 bytes"},
                    BadTim{"Magic", WithByte(kGoodTim4, 2, 'N'), "\"TIM\""},
                    BadTim{"LowerCaseMagic", WithByte(kGoodTim4, 0, 't'), "\"TIM\""},
                    BadTim{"Mode3", WithByte(kGoodTim4, 3, 3), "mode byte 3"},
                    BadTim{"Mode255", WithByte(kGoodTim4, 3, 255), "mode byte 255"},
                    BadTim{"CodeBit7", WithByte(kGoodTim4, 7, 0xC4), "0xC4 at header byte 7"},
                    BadTim{"CodeBit1", WithByte(kGoodTim4, 4, 0x02), "0x02 at header byte 4"},
                    BadTim{"TwoColourCode", WithByte(Tim(0, {0x55, 0x08, 0, 0}), 4, 0),
                           "0x08 at header byte 5"}),
    [](const testing::TestParamInfo<BadTim>& info) { return std::string(info.param.name); });

TEST(DecodeTimTest, CodesTheModeDoesNotUseAreNotChecked) {
  // 2 colours read bytes 4 and 5, 16 colours none of them.
  DecodedScreen d;
  const Bytes two = Tim(0, {0x55, 0x00, 0xFF, 0xFF});
  EXPECT_TRUE(DecodeTim(two.data(), two.size(), &d).ok);
  EXPECT_EQ(d.codes, (PaletteCodes{0x55, 0x00, 0x00, 0x00}));
  const Bytes sixteen = Tim(2, {0xFF, 0xAA, 0x80, 0x02});
  EXPECT_TRUE(DecodeTim(sixteen.data(), sixteen.size(), &d).ok);
}

TEST(DecodeBinTest, ModeAndCodesComeFromTheCaller) {
  Bytes bin(kScreenBytes, 0);
  bin[64] = 0x80;
  DecodedScreen d;
  ASSERT_TRUE(
      DecodeBin(bin.data(), bin.size(), TvcMode::kGraphics2, {0x04, 0x50, 0x55, 0x55}, &d).ok);
  EXPECT_EQ(d.codes, (PaletteCodes{0x04, 0x50, 0x00, 0x00}));
  EXPECT_EQ(At(d.screen, 0, 1), Rgb(0, 255, 0));
  EXPECT_EQ(At(d.screen, 1, 1), Rgb(145, 0, 0));

  const Bytes tim_sized(kTimFileBytes, 0);
  ScreenDecodeResult r =
      DecodeBin(tim_sized.data(), tim_sized.size(), TvcMode::kGraphics16, {}, &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find(".tim"), std::string::npos) << r.message;
  r = DecodeBin(bin.data(), bin.size(), TvcMode::kGraphics4, {0x00, 0x55, 0x20, 0x00}, &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("0x20"), std::string::npos) << r.message;
}

class ScreenFileReadTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() / ("tvcpix_decode_" + std::to_string(getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  fs::path dir_;
};

TEST_F(ScreenFileReadTest, ExtensionChoosesTheFormat) {
  Bytes tim = Tim(2, {});
  tim[kTimHeaderBytes] = 0x89;
  DecodedScreen d;
  ASSERT_TRUE(ReadScreenFile(Write("A.TIM", tim), TvcMode::kGraphics2, {}, &d).ok);
  EXPECT_EQ(d.mode, TvcMode::kGraphics16);
  EXPECT_EQ(At(d.screen, 0, 0), Rgb(255, 0, 0));

  const Bytes bin(tim.begin() + kTimHeaderBytes, tim.end());
  ASSERT_TRUE(ReadScreenFile(Write("a.bin", bin), TvcMode::kGraphics16, {}, &d).ok);
  EXPECT_EQ(At(d.screen, 1, 0), Rgb(0, 0, 145));
  // A .tim under another name is read as a .bin and refused for its size.
  const ScreenDecodeResult r = ReadScreenFile(Write("a.scr", tim), TvcMode::kGraphics16, {}, &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("16400 bytes"), std::string::npos) << r.message;
}

TEST_F(ScreenFileReadTest, UnusableFilesNameTheFileAndTheReason) {
  DecodedScreen d;
  const std::string missing = (dir_ / "missing.tim").string();
  ScreenDecodeResult r = ReadScreenFile(missing, TvcMode::kGraphics16, {}, &d);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind(missing + ": ", 0), 0u) << r.message;

  fs::create_directories(dir_ / "folder.tim");
  r = ReadScreenFile((dir_ / "folder.tim").string(), TvcMode::kGraphics16, {}, &d);
  EXPECT_FALSE(r.ok);

  const std::string fifo = (dir_ / "pipe.tim").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  r = ReadScreenFile(fifo, TvcMode::kGraphics16, {}, &d);  // must not hang
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("regular"), std::string::npos) << r.message;

  const std::string big = Write("big.bin", Bytes(100000, 0));
  r = ReadScreenFile(big, TvcMode::kGraphics16, {}, &d);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.message.find("100000 bytes"), std::string::npos) << r.message;
}

}  // namespace
}  // namespace tvcpix
