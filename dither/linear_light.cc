// The sRGB table and the linear palette.
#include "dither/linear_light.h"

namespace tvcpix {
namespace {

// x^(1/5) for x in (0, 1] by Newton's method: only +, *, / so the bits never depend on libm.
constexpr double FifthRoot(double x) {
  double r = 1.0;
  for (int i = 0; i < 200; ++i) {
    const double r4 = r * r * r * r;
    const double next = r - (r4 * r - x) / (5.0 * r4);
    if (next == r) break;
    r = next;
  }
  return r;
}

constexpr std::array<std::uint16_t, 256> MakeSrgbTable() {
  std::array<std::uint16_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    const double c = v / 255.0;
    double lin;
    if (c <= 0.04045) {
      lin = c / 12.92;
    } else {
      const double base = (c + 0.055) / 1.055;
      lin = base * base * FifthRoot(base * base);  // base^2.4 = base^2 * (base^2)^(1/5)
    }
    t[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(lin * kLinearOne + 0.5);
  }
  return t;
}

constexpr std::array<std::uint16_t, 256> kSrgbTable = MakeSrgbTable();

}  // namespace

const std::array<std::uint16_t, 256>& SrgbToLinearTable() { return kSrgbTable; }

std::uint8_t LinearToSrgb(int linear) {
  int lo = 0, hi = 255;
  while (lo < hi) {
    const int mid = (lo + hi) / 2;
    if (kSrgbTable[static_cast<std::size_t>(mid)] < linear) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return static_cast<std::uint8_t>(lo);
}

LinearPalette::LinearPalette(const Palette& palette, const ColorWeights& weights, bool linear)
    : weights_(weights), linear_(linear), entries_(palette.entries()) {
  for (const PaletteEntry& e : entries_) {
    const std::array<int, 3> c{Level(e.red), Level(e.green), Level(e.blue)};
    rgb_.push_back(c);
    luma_.push_back(Luminance(c[0], c[1], c[2]));
  }
}

}  // namespace tvcpix
