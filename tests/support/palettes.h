// Test palettes: the start palettes from their indices, and the sets the dithering and search
// tests run over.
#ifndef TVCPIX_TESTS_SUPPORT_PALETTES_H_
#define TVCPIX_TESTS_SUPPORT_PALETTES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/palette.h"

namespace tvcpix::test {

// A palette of 16-colour table entries, as the start swatches are given.
template <std::size_t N>
Palette PaletteOfIndices(const std::array<int, N>& indices) {
  Palette p;
  p.Resize(static_cast<int>(N));
  for (std::size_t i = 0; i < N; ++i) p.Set(static_cast<int>(i), Tvc16Color(indices[i]));
  return p;
}

inline Palette Table16() {
  Palette p;
  BuildPalette16(p);
  return p;
}

// The palettes a conversion uses: the start tables, swatches without black (dark grey is what a
// swatch holds before any pick) and even reds, where every odd red lies halfway between two
// entries.
struct NamedPalette {
  const char* name;
  Palette palette;
};

inline std::vector<NamedPalette> DitherPalettes() {
  std::vector<NamedPalette> out = {{"Start2", PaletteOfIndices(kStartPalette2Indices)},
                                   {"Start4", PaletteOfIndices(kStartPalette4Indices)},
                                   {"Table16", Table16()},
                                   {"Swatches4", {}},
                                   {"EvenReds100", {}}};
  const ColorValue swatches[4] = {MakeColor(64, 64, 64), MakeColor(255, 255, 0),
                                  MakeColor(0, 145, 145), MakeColor(255, 0, 255)};
  PaletteFromSwatches(out[3].palette, swatches, 4);
  out[4].palette.Resize(100);
  for (int i = 0; i < 100; ++i) out[4].palette.Set(i, {0, 0, static_cast<std::uint8_t>(2 * i), 0});
  return out;
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_PALETTES_H_
