// The colour tables and palettes from swatches (the searches: nearest_cache_test.cc).
#include "core/palette.h"

#include <gtest/gtest.h>

#include <vector>

namespace tvcpix {
namespace {

TEST(PaletteTest, SixteenColourTableAndSwatchPalettes) {
  Palette p;
  BuildPalette16(p);
  ASSERT_EQ(p.size(), 16);
  for (int i = 0; i < 16; ++i) {  // blue bit 0, red 1, green 2, at 145, or 255 with bit 3
    const int on = i & 8 ? 255 : 145;
    EXPECT_EQ(p[i], EntryFromColor(MakeColor(i & 2 ? on : 0, i & 4 ? on : 0, i & 1 ? on : 0)));
  }
  Palette swatch_palette;
  const ColorValue swatch = MakeColor(10, 20, 30);
  PaletteFromSwatches(swatch_palette, &swatch, 1);
  EXPECT_EQ(swatch_palette.entries(), (std::vector<PaletteEntry>{{30, 20, 10, 0}}));
}

}  // namespace
}  // namespace tvcpix
