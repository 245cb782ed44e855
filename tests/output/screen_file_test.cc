// Screen files and BMPs: TVC colour codes and the packed screen image against a plain reading,
// a malformed ".tim" refused with its reason and a FIFO at once, and every pixel of the BMP
// encoder as an independent reader sees it.
#include "output/screen_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>

#include "output/bmp.h"
#include "output/screen_decode.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

using test::Bytes;

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
  const struct {
    std::size_t at;
    int value;
    std::size_t size;
    const char* reason;
  } cases[] = {{0, 'T', 16399, "16399 bytes"},
               {1, 'X', 16400, "\"TIM\""},
               {3, 7, 16400, "mode byte 7"},
               {7, 0xC4, 16400, "0xC4 at header byte 7"}};
  for (const auto& c : cases) {
    test::Bytes tim = {'T', 'I', 'M', 1};
    tim.resize(c.size), tim[c.at] = static_cast<std::uint8_t>(c.value);
    DecodedScreen d;
    const Result r = DecodeTim(tim.data(), tim.size(), &d);
    EXPECT_TRUE(!r.ok && r.message.find(c.reason) != std::string::npos) << r.message;
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
      for (int y = 0; y < height; ++y)
        for (std::size_t i = static_cast<std::size_t>(width) * 3; i < row; ++i)
          EXPECT_EQ(file[kBmpHeaderBytes + row * y + i], 0) << "row " << y << " byte " << i;
      const QImage image = QImage::fromData(file.data(), static_cast<int>(file.size()), "BMP");
      ASSERT_EQ(image.size(), QSize(width, height));
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          const QRgb p = image.pixel(x, y);
          ASSERT_EQ(MakeColor(qRed(p), qGreen(p), qBlue(p)), PixelAt(s, x, y)) << x << "," << y;
        }
    }
  EXPECT_TRUE(EncodeBmp24Pixels(Surface()).empty());
  EXPECT_TRUE(EncodeBmp24Pixels(Surface("empty", 0, 5, 0)).empty());
}

}  // namespace
}  // namespace tvcpix
