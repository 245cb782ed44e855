// Tests of the 24-bit BMP encoder: header fields, row padding and an exact round trip.
#include "output/bmp.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "core/color.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& f, int at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) |
         (static_cast<std::uint32_t>(f[at + 3]) << 24);
}
int Le16(const std::vector<std::uint8_t>& f, int at) { return f[at] | (f[at + 1] << 8); }

Surface RandomSurface(int width, int height, unsigned seed) {
  std::mt19937 rng(seed);
  Surface s("Pic2", width, height, MakeColor(64, 64, 64));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      s.SetPixel(x, y,
                 MakeColor(static_cast<int>(rng() % 256), static_cast<int>(rng() % 256),
                           static_cast<int>(rng() % 256)));
    }
  }
  return s;
}

class BmpSizeTest : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(BmpSizeTest, HeaderAndRowsFollowTheFormat) {
  const auto [width, height] = GetParam();
  const Surface s = RandomSurface(width, height, 1);
  const std::vector<std::uint8_t> f = EncodeBmp24(s);
  const int row = (width * 3 + 3) / 4 * 4;
  ASSERT_EQ(f.size(), static_cast<std::size_t>(54 + row * height));
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(Le32(f, 2), f.size());
  EXPECT_EQ(Le32(f, 6), 0u);
  EXPECT_EQ(Le32(f, 10), 54u);
  EXPECT_EQ(Le32(f, 14), 40u);
  EXPECT_EQ(static_cast<int>(Le32(f, 18)), width);
  EXPECT_EQ(static_cast<int>(Le32(f, 22)), height);  // positive: bottom-up
  EXPECT_EQ(Le16(f, 26), 1);
  EXPECT_EQ(Le16(f, 28), 24);
  EXPECT_EQ(Le32(f, 30), 0u);
  EXPECT_EQ(Le32(f, 34), static_cast<std::uint32_t>(row * height));
  EXPECT_EQ(Le32(f, 46), 0u);

  // File row r holds picture row height-1-r as blue, green, red; padding bytes are zero.
  for (int r = 0; r < height; ++r) {
    const std::uint8_t* line = f.data() + 54 + r * row;
    for (int x = 0; x < width; ++x) {
      const ColorValue c = PixelAt(s, x, height - 1 - r);
      ASSERT_EQ(line[3 * x], BlueOf(c));
      ASSERT_EQ(line[3 * x + 1], GreenOf(c));
      ASSERT_EQ(line[3 * x + 2], RedOf(c));
    }
    for (int i = width * 3; i < row; ++i) ASSERT_EQ(line[i], 0) << "row " << r;
  }
}

// An independent reader gets back every pixel exactly.
TEST_P(BmpSizeTest, QtReadsBackEveryPixel) {
  const auto [width, height] = GetParam();
  const Surface s = RandomSurface(width, height, 2);
  const std::vector<std::uint8_t> f = EncodeBmp24(s);
  QImage image;
  ASSERT_TRUE(image.loadFromData(
      QByteArray(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size())),
      "BMP"));
  ASSERT_EQ(image.width(), width);
  ASSERT_EQ(image.height(), height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const ColorValue c = PixelAt(s, x, y);
      const QRgb q = image.pixel(x, y);
      ASSERT_EQ(qRed(q), RedOf(c)) << x << "," << y;
      ASSERT_EQ(qGreen(q), GreenOf(c)) << x << "," << y;
      ASSERT_EQ(qBlue(q), BlueOf(c)) << x << "," << y;
    }
  }
}

// Every padding length (widths 1 to 4) and the 512 x 480 result view.
INSTANTIATE_TEST_SUITE_P(Sizes, BmpSizeTest,
                         testing::Values(std::pair{1, 1}, std::pair{2, 3}, std::pair{3, 2},
                                         std::pair{4, 1}, std::pair{510, 7}, std::pair{512, 480}));

TEST(BmpTest, SurfaceWithoutPixelsGivesNothing) { EXPECT_TRUE(EncodeBmp24(Surface()).empty()); }

}  // namespace
}  // namespace tvcpix
