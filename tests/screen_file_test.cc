// Tests of the TVC colour codes, the packed screen image and the ".tim" header.
#include "output/screen_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"

namespace tvcpix {
namespace {

Surface Preview(TvcMode mode, ColorValue fill) {
  const ModeInfo& info = InfoOf(mode);
  Surface s("preview", info.preview_width, info.preview_height, MakeColor(192, 192, 255));
  s.Fill(fill);
  return s;
}

Palette Palette16() {
  Palette p;
  BuildPalette16(p);
  return p;
}

Palette PaletteOf(const std::vector<ColorValue>& colors) {
  Palette p;
  p.Resize(static_cast<int>(colors.size()));
  for (int i = 0; i < p.size(); ++i) p.Set(i, EntryFromColor(colors[static_cast<std::size_t>(i)]));
  return p;
}

TEST(TvcColorCodeTest, SixteenColourTableGivesTheTvcCodes) {
  const std::uint8_t expected[16] = {0x00, 0x01, 0x04, 0x05, 0x10, 0x11, 0x14, 0x15,
                                     0x00, 0x41, 0x44, 0x45, 0x50, 0x51, 0x54, 0x55};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(TvcColorCode(Tvc16Color(i)), expected[i]) << "index " << i;
}

struct FitCase {
  TvcMode mode;
  int entries;
  bool fits;
};

class PaletteFitsModeTest : public testing::TestWithParam<FitCase> {};

TEST_P(PaletteFitsModeTest, OnlyTheModesOwnSizesFit) {
  Palette p;
  p.Resize(GetParam().entries);
  std::string reason;
  EXPECT_EQ(PaletteFitsMode(p, GetParam().mode, &reason), GetParam().fits);
  if (!GetParam().fits) {
    EXPECT_NE(reason.find(std::to_string(GetParam().entries) + " entries"), std::string::npos)
        << reason;
    EXPECT_NE(reason.find(InfoOf(GetParam().mode).caption), std::string::npos) << reason;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PaletteFitsModeTest,
    testing::Values(FitCase{TvcMode::kGraphics2, 2, true}, FitCase{TvcMode::kGraphics2, 0, false},
                    FitCase{TvcMode::kGraphics2, 1, false}, FitCase{TvcMode::kGraphics2, 4, false},
                    FitCase{TvcMode::kGraphics4, 4, true}, FitCase{TvcMode::kGraphics4, 2, false},
                    FitCase{TvcMode::kGraphics4, 16, false},
                    FitCase{TvcMode::kGraphics16, 16, true},
                    FitCase{TvcMode::kGraphics16, 120, true},
                    FitCase{TvcMode::kGraphics16, 4, false},
                    FitCase{TvcMode::kGraphics16, 17, false}));

TEST(BuildScreenImageTest, SixteenColoursPackTwoCodesPerByte) {
  Surface preview = Preview(TvcMode::kGraphics16, MakeColor(0, 0, 0));
  preview.SetPixel(0, 0, MakeColor(255, 0, 0));
  preview.SetPixel(1, 0, MakeColor(0, 0, 145));
  // The last pixel pair of the last picture row: white left of black.
  preview.SetPixel(126, 239, MakeColor(255, 255, 255));
  const std::vector<std::uint8_t> image =
      BuildScreenImage(preview, TvcMode::kGraphics16, Palette16());
  ASSERT_EQ(image.size(), static_cast<std::size_t>(kScreenBytes));
  EXPECT_EQ(image[0], 0x89);
  EXPECT_EQ(image[64 * 239 + 63], 0xAA);
  int nonzero = 0;
  for (std::uint8_t b : image) nonzero += b != 0;
  EXPECT_EQ(nonzero, 2);
}

TEST(BuildScreenImageTest, FourColoursSplitTheIndexBitsIntoTheNibbles) {
  Palette p;
  BuildPalette4(p);  // black, white, blue, red
  Surface preview = Preview(TvcMode::kGraphics4, MakeColor(255, 0, 0));
  preview.SetPixel(0, 0, MakeColor(0, 0, 0));
  preview.SetPixel(1, 0, MakeColor(255, 255, 255));
  preview.SetPixel(2, 0, MakeColor(0, 0, 255));
  const std::vector<std::uint8_t> image = BuildScreenImage(preview, TvcMode::kGraphics4, p);
  EXPECT_EQ(image[0], 0x53);
  EXPECT_EQ(image[1], 0xFF);
  EXPECT_EQ(image[64 * 240 - 1], 0xFF);
}

TEST(BuildScreenImageTest, TwoColoursPutTheLeftmostPixelInTheTopBit) {
  Palette p;
  BuildPalette2(p);
  Surface preview = Preview(TvcMode::kGraphics2, MakeColor(0, 0, 0));
  preview.SetPixel(0, 5, MakeColor(200, 200, 200));  // nearer white
  preview.SetPixel(7, 5, MakeColor(255, 255, 255));
  preview.SetPixel(511, 5, MakeColor(128, 128, 128));  // white by a hair
  const std::vector<std::uint8_t> image = BuildScreenImage(preview, TvcMode::kGraphics2, p);
  EXPECT_EQ(image[64 * 5], 0x81);
  EXPECT_EQ(image[64 * 5 + 63], 0x01);
}

TEST(BuildScreenImageTest, DuplicateColoursTakeTheLowerIndex) {
  // Red twice: red and every colour nearest to it get index 0.
  const Palette p = PaletteOf(
      {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(255, 255, 255), MakeColor(0, 0, 0)});
  Surface preview = Preview(TvcMode::kGraphics4, MakeColor(255, 0, 0));
  preview.SetPixel(1, 0, MakeColor(255, 255, 255));
  preview.SetPixel(2, 0, MakeColor(0, 0, 0));
  preview.SetPixel(3, 0, MakeColor(250, 5, 5));
  const std::vector<std::uint8_t> image = BuildScreenImage(preview, TvcMode::kGraphics4, p);
  // Indices 0, 2, 3, 0: low bits 0 0 1 0 -> 0x20, high bits 0 1 1 0 -> 0x06.
  EXPECT_EQ(image[0], 0x26);
  EXPECT_EQ(image[1], 0x00);
}

// Whatever the picture, rows 240 to 255 stay zero; white fills every picture byte.
TEST(BuildScreenImageTest, AllWhiteFillsThePictureRowsOnly) {
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    Palette p;
    if (mode == TvcMode::kGraphics2) p = PaletteOf({MakeColor(0, 0, 0), MakeColor(255, 255, 255)});
    if (mode == TvcMode::kGraphics4) {
      p = PaletteOf(
          {MakeColor(0, 0, 0), MakeColor(0, 0, 0), MakeColor(0, 0, 0), MakeColor(255, 255, 255)});
    }
    if (mode == TvcMode::kGraphics16) p = Palette16();
    const std::vector<std::uint8_t> image =
        BuildScreenImage(Preview(mode, MakeColor(255, 255, 255)), mode, p);
    for (int i = 0; i < kScreenBytes; ++i) {
      ASSERT_EQ(image[static_cast<std::size_t>(i)], i < 15360 ? 0xFF : 0x00)
          << InfoOf(mode).caption << " byte " << i;
    }
  }
}

// An independent, bit-by-bit reading of the packing, over random pictures and every palette
// size in every mode (only the low index bits are stored where the palette is larger).
TEST(BuildScreenImageTest, MatchesAPlainPerPixelReference) {
  std::mt19937 rng(7);
  auto byte = [&] { return static_cast<int>(rng() % 256); };
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
    for (int entries : {2, 4, 16, 120}) {
      Palette p;
      p.Resize(entries);
      for (int i = 0; i < entries; ++i) {
        // Levels that exercise the intensity bit and channels strictly between 0 and 255.
        const int levels[] = {0, 145, 255, 77};
        p.Set(i,
              EntryFromColor(MakeColor(levels[rng() % 4], levels[rng() % 4], levels[rng() % 4])));
      }
      const ModeInfo& info = InfoOf(mode);
      Surface preview = Preview(mode, 0);
      for (int y = 0; y < info.preview_height; ++y) {
        for (int x = 0; x < info.preview_width; ++x) {
          // Half exact palette colours, half anything.
          const ColorValue c = rng() % 2 ? ColorFromEntry(p[static_cast<int>(rng() % entries)])
                                         : MakeColor(byte(), byte(), byte());
          preview.SetPixel(x, y, c);
        }
      }
      const std::vector<std::uint8_t> image = BuildScreenImage(preview, mode, p);
      const int per_byte = info.pixels_per_byte;
      for (int y = 0; y < 240; ++y) {
        for (int b = 0; b < 64; ++b) {
          int idx[8];
          for (int j = 0; j < per_byte; ++j) {
            const ColorValue c = PixelAt(preview, b * per_byte + j, y);
            idx[j] = NearestIndex(p, RedOf(c), GreenOf(c), BlueOf(c));
          }
          int want = 0;
          if (mode == TvcMode::kGraphics16) {
            const PaletteEntry& l = p[idx[0]];
            const PaletteEntry& r = p[idx[1]];
            auto any255 = [](const PaletteEntry& e) {
              return e.red == 255 || e.green == 255 || e.blue == 255;
            };
            const bool bits[8] = {any255(l),  any255(r),  l.green != 0, r.green != 0,
                                  l.red != 0, r.red != 0, l.blue != 0,  r.blue != 0};
            for (int k = 0; k < 8; ++k) want = want * 2 + bits[k];
          } else if (mode == TvcMode::kGraphics4) {
            want = ((idx[0] & 1) << 7) | ((idx[1] & 1) << 6) | ((idx[2] & 1) << 5) |
                   ((idx[3] & 1) << 4) | ((idx[0] & 2) << 2) | ((idx[1] & 2) << 1) | (idx[2] & 2) |
                   ((idx[3] & 2) >> 1);
          } else {
            for (int j = 0; j < 8; ++j) want = want * 2 + (idx[j] & 1);
          }
          ASSERT_EQ(image[static_cast<std::size_t>(64 * y + b)], want)
              << info.caption << " entries " << entries << " row " << y << " byte " << b;
        }
      }
    }
  }
}

struct HeaderCase {
  TvcMode mode;
  std::vector<ColorValue> colors;  // empty: the 16-colour table
  std::uint8_t expected[8];
};

class TimHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(TimHeaderTest, LettersModeByteCodesAndZeros) {
  const HeaderCase& c = GetParam();
  const Palette p = c.colors.empty() ? Palette16() : PaletteOf(c.colors);
  const auto header = TimHeader(c.mode, p);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(header[static_cast<std::size_t>(i)], c.expected[i]) << i;
  for (int i = 8; i < kTimHeaderBytes; ++i) EXPECT_EQ(header[static_cast<std::size_t>(i)], 0) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, TimHeaderTest,
    testing::Values(HeaderCase{TvcMode::kGraphics4,
                               {MakeColor(0, 0, 0), MakeColor(255, 255, 255), MakeColor(0, 0, 255),
                                MakeColor(255, 0, 0)},
                               {0x54, 0x49, 0x4D, 0x01, 0x00, 0x55, 0x41, 0x44}},
                    HeaderCase{TvcMode::kGraphics2,
                               {MakeColor(0, 0, 0), MakeColor(255, 255, 255)},
                               {0x54, 0x49, 0x4D, 0x00, 0x00, 0x55, 0x00, 0x00}},
                    HeaderCase{TvcMode::kGraphics2,
                               {MakeColor(145, 0, 145), MakeColor(0, 255, 0)},
                               {0x54, 0x49, 0x4D, 0x00, 0x05, 0x50, 0x00, 0x00}},
                    HeaderCase{TvcMode::kGraphics16, {}, {0x54, 0x49, 0x4D, 0x02, 0, 0, 0, 0}}));

}  // namespace
}  // namespace tvcpix
