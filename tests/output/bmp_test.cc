// The BMP encoder: every pixel and row order as an independent reader sees them, rows padded
// with zeros, the header's sizes; nothing for a surface without pixels.
#include "output/bmp.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <random>
#include <tuple>

#include "tests/support/random_surface.h"

namespace tvcpix {
namespace {

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
