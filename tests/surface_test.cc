// Tests of surfaces, the bottom-up pixel buffer, scaling, the colour count and the run timer.
#include "core/surface.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <ostream>
#include <random>
#include <tuple>
#include <vector>

#include "core/run_timer.h"

namespace tvcpix {
namespace {

Surface RandomSurface(int width, int height, std::uint32_t seed) {
  Surface s("test", width, height, MakeColor(1, 2, 3));
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < s.size_bytes(); ++i) s.data()[i] = static_cast<std::uint8_t>(rng());
  return s;
}

// Pixel (x, y) of a surface as {blue, green, red}.
std::array<int, 3> Bgr(const Surface& s, int x, int y) {
  const ColorValue c = PixelAt(s, x, y);
  return {BlueOf(c), GreenOf(c), RedOf(c)};
}

// ---- PixelBuffer layout

struct LayoutCase {
  int width;
  bool wide;
  int row_pixels;
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) {
  return os << "W" << c.width << (c.wide ? "_wide" : "");
}

class PixelBufferLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(PixelBufferLayoutTest, RowsAreBottomUpWithBlackFiller) {
  const LayoutCase c = GetParam();
  const int height = 5;
  const Surface s = RandomSurface(c.width, height, 7);
  const PixelBuffer b = ReadSurface(s, c.wide);
  ASSERT_EQ(b.row_pixels, c.row_pixels);
  ASSERT_EQ(b.bytes.size(), static_cast<std::size_t>(3 * c.row_pixels * height));
  for (int row = 0; row < height; ++row) {
    for (int x = 0; x < c.row_pixels; ++x) {
      const std::uint8_t* p = &b.bytes[static_cast<std::size_t>(3 * (c.row_pixels * row + x))];
      if (x >= c.width) {
        EXPECT_EQ(p[0] | p[1] | p[2], 0) << "filler at row " << row << " x " << x;
        continue;
      }
      // Buffer row 0 holds the picture's bottom row.
      const std::array<int, 3> want = Bgr(s, x, height - 1 - row);
      EXPECT_EQ(p[0], want[0]);
      EXPECT_EQ(p[1], want[1]);
      EXPECT_EQ(p[2], want[2]);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Widths, PixelBufferLayoutTest,
                         ::testing::Values(LayoutCase{512, false, 512}, LayoutCase{512, true, 520},
                                           LayoutCase{510, false, 512}, LayoutCase{510, true, 520},
                                           LayoutCase{1, false, 4}, LayoutCase{1, true, 12},
                                           LayoutCase{157, false, 160},
                                           LayoutCase{157, true, 168}));

TEST(PixelBufferTest, FirstBytesAreBottomLeftPixel) {
  Surface s("test", 3, 2, 0);
  s.SetPixel(0, 1, MakeColor(10, 20, 30));  // bottom-left: red 10, green 20, blue 30
  const PixelBuffer b = ReadSurface(s, false);
  EXPECT_EQ(b.bytes[0], 30);
  EXPECT_EQ(b.bytes[1], 20);
  EXPECT_EQ(b.bytes[2], 10);
}

TEST(PixelBufferTest, WriteDropsFillerAndKeepsTheRestOfTheSurface) {
  const Surface original = RandomSurface(510, 4, 11);
  PixelBuffer b = ReadSurface(original, true);
  for (std::uint8_t& byte : b.bytes) byte = static_cast<std::uint8_t>(255 - byte);
  Surface back = original;
  WriteSurface(b, back);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 510; ++x) {
      const ColorValue o = PixelAt(original, x, y), n = PixelAt(back, x, y);
      ASSERT_EQ(n, MakeColor(255 - RedOf(o), 255 - GreenOf(o), 255 - BlueOf(o)));
    }

  // Into a smaller surface: clipped. Into a larger one: the rest keeps its colours.
  Surface small("small", 7, 3, 0);
  WriteSurface(ReadSurface(original, false), small);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(PixelAt(small, x, y), PixelAt(original, x, y));
  Surface large = RandomSurface(600, 9, 12);
  const Surface large_before = large;
  WriteSurface(ReadSurface(original, false), large);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 600; ++x) {
      const bool inside = x < 510 && y < 4;
      ASSERT_EQ(PixelAt(large, x, y),
                inside ? PixelAt(original, x, y) : PixelAt(large_before, x, y));
    }
}

TEST(PixelAtTest, RedIsTheLowByte) {
  Surface s("test", 4, 4, 0);
  s.SetPixel(2, 3, MakeColor(200, 100, 50));
  const ColorValue c = PixelAt(s, 2, 3);
  EXPECT_EQ(c, 200u | (100u << 8) | (50u << 16));
  EXPECT_EQ(s.row(3)[6], 50);  // stored blue first
}

// ---- ScaleSurface

// Mean of a block of source pixels, per channel, as an exact fraction numerator.
std::array<int, 3> BlockSum(const Surface& s, int x0, int y0, int bw, int bh) {
  std::array<int, 3> sum{};
  for (int y = y0; y < y0 + bh; ++y)
    for (int x = x0; x < x0 + bw; ++x) {
      const std::array<int, 3> p = Bgr(s, x, y);
      for (int c = 0; c < 3; ++c) sum[c] += p[c];
    }
  return sum;
}

class WholeRatioReductionTest : public ::testing::TestWithParam<std::tuple<int, int>> {};

// The work picture into each preview: plain means of 1x2, 2x2 and 4x2 blocks.
TEST_P(WholeRatioReductionTest, AveragesWholeBlocks) {
  const auto [width, height] = GetParam();
  const int bw = 512 / width, bh = 480 / height;
  const Surface work = RandomSurface(512, 480, 21);
  Surface preview("preview", width, height, MakeColor(192, 192, 255));
  ScaleSurface(preview, work, width, height, 1);
  const int n = bw * bh;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::array<int, 3> sum = BlockSum(work, x * bw, y * bh, bw, bh);
      const std::array<int, 3> got = Bgr(preview, x, y);
      // The rounding of a mean is free; it must lie between floor and ceiling.
      for (int c = 0; c < 3; ++c) {
        ASSERT_GE(got[c], sum[c] / n) << x << "," << y;
        ASSERT_LE(got[c], (sum[c] + n - 1) / n) << x << "," << y;
      }
    }

  // Where every block mean is whole (pairs of base + d and base - d), it is exactly that mean.
  Surface even("even", 512, 480, 0);
  std::mt19937 rng(5);
  std::vector<std::array<int, 3>> bases;
  for (int y = 0; y < 480; y += bh)
    for (int x = 0; x < 512; x += bw) {
      std::array<int, 3> base{}, d{};
      for (int k = 0; k < n; ++k) {
        if (k % 2 == 0)
          for (int c = 0; c < 3; ++c) {
            if (k == 0) base[c] = 40 + static_cast<int>(rng() % 176);
            d[c] = static_cast<int>(rng() % 41);
          }
        const int sign = k % 2 == 0 ? 1 : -1;
        even.SetPixel(
            x + k % bw, y + k / bw,
            MakeColor(base[2] + sign * d[2], base[1] + sign * d[1], base[0] + sign * d[0]));
      }
      bases.push_back(base);
    }
  ScaleSurface(preview, even, width, height, 1);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      ASSERT_EQ(Bgr(preview, x, y), bases[static_cast<std::size_t>(y * width + x)])
          << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Previews, WholeRatioReductionTest,
                         ::testing::Values(std::make_tuple(512, 240), std::make_tuple(256, 240),
                                           std::make_tuple(128, 240)));

class WholeRatioEnlargementTest : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

// Previews into the result view replicate; a whole-ratio smooth enlargement does the same.
TEST_P(WholeRatioEnlargementTest, ReplicatesEveryPixelAsABlock) {
  const auto [width, height, smooth] = GetParam();
  const Surface preview = RandomSurface(width, height, 31);
  Surface view("Pic2", 512, 480, MakeColor(64, 64, 64));
  ScaleSurface(view, preview, 512, 480, smooth);
  const int bw = 512 / width, bh = 480 / height;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(view, x, y), PixelAt(preview, x / bw, y / bh)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Previews, WholeRatioEnlargementTest,
                         ::testing::Values(std::make_tuple(512, 240, 0),
                                           std::make_tuple(256, 240, 0),
                                           std::make_tuple(128, 240, 0),
                                           std::make_tuple(128, 240, 2),
                                           std::make_tuple(64, 48, 1)));

TEST(ScaleSurfaceTest, EqualSizesCopyWhateverSmoothSays) {
  const Surface source = RandomSurface(37, 23, 41);
  for (int smooth : {0, 1, 2, -1}) {
    Surface dest("dest", 37, 23, 0);
    ScaleSurface(dest, source, 37, 23, smooth);
    EXPECT_EQ(dest, source) << "smooth " << smooth;
  }
  Surface self = source;
  ScaleSurface(self, self, 37, 23, 1);
  EXPECT_EQ(self, source);
}

TEST(ScaleSurfaceTest, RectangleIsClippedAndTheRestKept) {
  // A 640 x 400 picture copied unscaled into the work picture: columns from 512 on are cut,
  // rows 400 to 479 keep what they held.
  const Surface picture = RandomSurface(640, 400, 51);
  Surface work = RandomSurface(512, 480, 52);
  const Surface before = work;
  ScaleSurface(work, picture, 640, 400, 0);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(work, x, y), y < 400 ? PixelAt(picture, x, y) : PixelAt(before, x, y));

  // A stretched rectangle larger than the destination: the visible part of the enlargement.
  const Surface small = RandomSurface(4, 4, 53);
  Surface dest = RandomSurface(6, 5, 54);
  ScaleSurface(dest, small, 8, 8, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(PixelAt(dest, x, y), PixelAt(small, x / 2, y / 2));

  // A smaller rectangle leaves everything outside it alone.
  Surface view = RandomSurface(512, 480, 55);
  const Surface view_before = view;
  const Surface preview = RandomSurface(128, 240, 56);
  ScaleSurface(view, preview, 128, 240, 0);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x)
      ASSERT_EQ(PixelAt(view, x, y),
                x < 128 && y < 240 ? PixelAt(preview, x, y) : PixelAt(view_before, x, y));
}

TEST(ScaleSurfaceTest, OntoItselfReadsTheWholeOriginal) {
  const Surface original = RandomSurface(16, 12, 61);
  // Reducing in place: the top-left quarter becomes the 2 x 2 means, the rest stays.
  Surface s = original;
  ScaleSurface(s, s, 8, 6, 1);
  Surface expect = original;
  Surface reduced("reduced", 8, 6, 0);
  ScaleSurface(reduced, original, 8, 6, 1);
  WriteSurface(ReadSurface(reduced, false), expect);
  EXPECT_EQ(s, expect);

  // Enlarging in place: every visible pixel comes from the original, not a half-written copy.
  Surface t = original;
  ScaleSurface(t, t, 32, 24, 0);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 16; ++x) ASSERT_EQ(PixelAt(t, x, y), PixelAt(original, x / 2, y / 2));
}

TEST(ScaleSurfaceTest, SmoothResultsStayWithinTheSourceRange) {
  // Uneven ratios: the weights are free, but an average of one colour is that colour and an
  // average never leaves the range of its inputs.
  Surface flat("flat", 640, 400, 0);
  flat.Fill(MakeColor(17, 130, 250));
  Surface work("Pic5", 512, 480, 0);
  ScaleSurface(work, flat, 512, 480, 1);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x) ASSERT_EQ(PixelAt(work, x, y), MakeColor(17, 130, 250));

  Surface stripes("stripes", 70, 46, 0);
  for (int y = 0; y < 46; ++y)
    for (int x = 0; x < 70; ++x)
      stripes.SetPixel(x, y, (x + y) % 2 ? MakeColor(40, 40, 40) : MakeColor(200, 200, 200));
  ScaleSurface(work, stripes, 512, 480, 1);
  bool mixed = false;
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x) {
      const ColorValue c = PixelAt(work, x, y);
      ASSERT_GE(RedOf(c), 40);
      ASSERT_LE(RedOf(c), 200);
      mixed |= RedOf(c) != 40 && RedOf(c) != 200;
    }
  EXPECT_TRUE(mixed) << "an uneven enlargement should blend neighbouring pixels";
}

// ---- CountColors and the run timer

TEST(CountColorsTest, CountsDistinctColoursOverEveryPixel) {
  Surface s("Pic2", 512, 480, 0);
  s.Fill(MakeColor(64, 64, 64));
  EXPECT_EQ(CountColors(s), 1);
  s.SetPixel(511, 479, MakeColor(64, 64, 65));  // the last pixel counts
  s.SetPixel(0, 0, MakeColor(65, 64, 64));
  s.SetPixel(1, 0, MakeColor(65, 64, 64));
  EXPECT_EQ(CountColors(s), 3);

  // Channels are told apart: swapping red and blue is a new colour.
  s.SetPixel(5, 5, MakeColor(1, 0, 2));
  s.SetPixel(6, 5, MakeColor(2, 0, 1));
  EXPECT_EQ(CountColors(s), 5);

  // Every one of the 245760 pixels distinct.
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 512; ++x) s.SetPixel(x, y, static_cast<ColorValue>(y * 512 + x) * 61);
  EXPECT_EQ(CountColors(s), 512 * 480);
}

TEST(RunTimerTest, RoundsToNearestMillisecondTiesToEven) {
  const std::int64_t ns = 1'000'000'000, qpc = 10'000'000;
  EXPECT_EQ(RunTimer::ToMilliseconds(2'500'000, ns), 2);
  EXPECT_EQ(RunTimer::ToMilliseconds(3'500'000, ns), 4);
  EXPECT_EQ(RunTimer::ToMilliseconds(25'000, qpc), 2);
  EXPECT_EQ(RunTimer::ToMilliseconds(35'000, qpc), 4);
  EXPECT_EQ(RunTimer::ToMilliseconds(500'000, ns), 0);
  EXPECT_EQ(RunTimer::ToMilliseconds(1'500'000, ns), 2);
  EXPECT_EQ(RunTimer::ToMilliseconds(2'500'001, ns), 3);
  EXPECT_EQ(RunTimer::ToMilliseconds(3'499'999, ns), 3);
  EXPECT_EQ(RunTimer::ToMilliseconds(0, qpc), 0);

  RunTimer timer;
  timer.Start();
  EXPECT_GE(timer.Elapsed(), 0);
}

}  // namespace
}  // namespace tvcpix
