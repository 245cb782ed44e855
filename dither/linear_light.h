// Linear-light colour for the perceptual methods: sRGB bytes to 16-bit linear values through a
// table built from plain arithmetic (no libm, so every machine gets the same bits), luminance,
// and the luminance-weighted distance used to match a colour to a palette.
#ifndef TVCPIX_DITHER_LINEAR_LIGHT_H_
#define TVCPIX_DITHER_LINEAR_LIGHT_H_

#include <array>
#include <cstdint>
#include <vector>

#include "core/palette.h"

namespace tvcpix {

// Full scale of a linear value.
constexpr int kLinearOne = 65535;

// sRGB byte -> linear value 0..kLinearOne, rounded.
const std::array<std::uint16_t, 256>& SrgbToLinearTable();
inline int SrgbToLinear(std::uint8_t v) { return SrgbToLinearTable()[v]; }
// The smallest byte whose linear value is at least the given one (binary search).
std::uint8_t LinearToSrgb(int linear);

// Rec. 709 luminance of linear red, green, blue, in the same scale.
inline int Luminance(int r, int g, int b) {
  return static_cast<int>((2126LL * r + 7152LL * g + 722LL * b) / 10000);
}

// How a colour distance weighs its parts: each channel's squared difference times its weight,
// plus the squared luminance difference times `luma`. All weights are small integers.
struct ColorWeights {
  int red = 1, green = 1, blue = 1;
  int luma = 0;
};
// The default weighting: the luminance difference counts twice over the channels' (more
// picks chromatic colours for greys and measured worse).
constexpr ColorWeights kLumaWeighted{1, 1, 1, 2};
constexpr ColorWeights kPlainRgb{1, 1, 1, 0};

// One palette in linear light, with the distance of the perceptual methods. Colours outside
// 0..kLinearOne (a pixel plus a carried error) are allowed.
class LinearPalette {
 public:
  LinearPalette(const Palette& palette, const ColorWeights& weights, bool linear = true);

  int size() const { return static_cast<int>(entries_.size()); }
  const PaletteEntry& entry(int i) const { return entries_[static_cast<std::size_t>(i)]; }
  // The colour of entry i in the working scale (linear, or the bytes times 257).
  const std::array<int, 3>& rgb(int i) const { return rgb_[static_cast<std::size_t>(i)]; }
  int luminance(int i) const { return luma_[static_cast<std::size_t>(i)]; }
  // A byte in the working scale.
  int Level(std::uint8_t v) const { return linear_ ? SrgbToLinear(v) : v * 257; }

  std::int64_t Distance(int i, int r, int g, int b) const {
    const std::array<int, 3>& c = rgb(i);
    const std::int64_t dr = r - c[0], dg = g - c[1], db = b - c[2];
    const std::int64_t dy = (2126 * dr + 7152 * dg + 722 * db) / 10000;
    return weights_.red * dr * dr + weights_.green * dg * dg + weights_.blue * db * db +
           weights_.luma * dy * dy;
  }
  // Lowest index on ties.
  int Nearest(int r, int g, int b) const {
    int best = 0;
    std::int64_t best_d = Distance(0, r, g, b);
    for (int i = 1; i < size(); ++i) {
      const std::int64_t d = Distance(i, r, g, b);
      if (d < best_d) {
        best_d = d;
        best = i;
      }
    }
    return best;
  }

 private:
  ColorWeights weights_;
  bool linear_;
  std::vector<PaletteEntry> entries_;
  std::vector<std::array<int, 3>> rgb_;
  std::vector<int> luma_;
};

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_LINEAR_LIGHT_H_
