// Screen files: TVC colour codes and the packed screen image against a plain reading.
#include "output/screen_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <tuple>

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

}  // namespace
}  // namespace tvcpix
