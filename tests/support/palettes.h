// Test palettes: the sets the dithering tests run over,
// and what every dithering to a palette must hold.
#ifndef TVCPIX_TESTS_SUPPORT_PALETTES_H_
#define TVCPIX_TESTS_SUPPORT_PALETTES_H_

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "core/palette.h"
#include "core/surface.h"
#include "dither/palette_search.h"

namespace tvcpix::test {

// The palettes a conversion uses: the start tables, swatches without black (dark grey is what a
// swatch holds before any pick) and even reds, where every odd red lies halfway between two
// entries.
struct NamedPalette {
  const char* name;
  Palette palette;
};

inline std::vector<NamedPalette> DitherPalettes() {
  std::vector<NamedPalette> out = {{"Start2", TvcPalette({0, 15})},
                                   {"Start4", TvcPalette({0, 15, 9, 10})},
                                   {"Table16", TvcPalette({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11,
                                                           12, 13, 14, 15})},
                                   {"Swatches4", {}},
                                   {"EvenReds100", {}}};
  const ColorValue swatches[4] = {MakeColor(64, 64, 64), MakeColor(255, 255, 0),
                                  MakeColor(0, 145, 145), MakeColor(255, 0, 255)};
  PaletteFromSwatches(out[3].palette, swatches, 4);
  out[4].palette.Resize(100);
  for (int i = 0; i < 100; ++i) out[4].palette.Set(i, {0, 0, static_cast<std::uint8_t>(2 * i), 0});
  return out;
}

// The same bytes on every run of a random picture, only palette colours, and a flat palette
// colour left as it is (odd sizes, so partial tiles and rows are met).
inline void ExpectPaletteDither(const std::function<void(Surface&)>& dither, const Palette& p) {
  std::mt19937 rng(7);
  Surface a("P", 61, 37, 0);
  for (std::size_t i = 0; i < a.size_bytes(); ++i) a.data()[i] = static_cast<std::uint8_t>(rng());
  Surface b = a;
  dither(a), dither(b);
  EXPECT_TRUE(a == b) << "not repeatable";
  for (int i = 0; i < a.width() * a.height(); ++i) {
    const ColorValue c = PixelAt(a, i % a.width(), i / a.width());
    ASSERT_TRUE(std::any_of(p.entries().begin(), p.entries().end(),
                            [c](const PaletteEntry& e) { return ColorFromEntry(e) == c; }))
        << "pixel " << i << " is no palette colour";
  }
  for (const PaletteEntry& e : p.entries()) {
    Surface s("P", 33, 17, ColorFromEntry(e));
    const Surface before = s;
    dither(s);
    EXPECT_TRUE(s == before) << "flat " << ColorFromEntry(e) << " changed";
  }
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_PALETTES_H_
