// Floyd-Steinberg weights on linear-light errors held in two integer rows.
#include "dither/perceptual.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace tvcpix {
namespace {

// A pixel plus its carried error stays inside this band, so a run of clipped highlights or
// shadows cannot build up an error that smears far across the picture.
constexpr int kLow = -kLinearOne / 4;
constexpr int kHigh = kLinearOne + kLinearOne / 4;

}  // namespace

PerceptualOptions PerceptualOptionsFor(TvcMode mode) {
  PerceptualOptions o;
  if (mode == TvcMode::kGraphics16) {
    o.match_encoded = true;
    o.strength = 100;
    o.luma_strength = 15;
  } else {
    o.linear = false;
    o.weights = kPlainRgb;
    o.strength = 60;
  }
  return o;
}

void PerceptualDiffusion(Surface& preview, const Palette& palette,
                         const PerceptualOptions& options) {
  if (palette.size() == 0) return;
  const LinearPalette lp(palette, options.weights, options.linear);
  const LinearPalette encoded(palette, options.weights, false);
  const bool match_encoded = options.match_encoded && options.linear;
  const int w = preview.width(), h = preview.height();
  const int strength = std::clamp(options.strength, 0, 100);
  const bool split = options.luma_strength >= 0 && options.luma_strength != strength;
  const int luma_strength = std::clamp(options.luma_strength, 0, 100);
  // Errors of this row and the next, three channels per pixel, one spare pixel at each end.
  std::vector<int> this_row(static_cast<std::size_t>(3 * (w + 2)), 0);
  std::vector<int> next_row(this_row.size(), 0);
  std::array<int, 256> level{};
  for (int v = 0; v < 256; ++v)
    level[static_cast<std::size_t>(v)] = lp.Level(static_cast<std::uint8_t>(v));

  for (int y = 0; y < h; ++y) {
    std::fill(next_row.begin(), next_row.end(), 0);
    const bool reverse = options.serpentine && (y & 1) != 0;
    const int step = reverse ? -1 : 1;
    std::uint8_t* row = preview.row(y);
    for (int i = 0; i < w; ++i) {
      const int x = reverse ? w - 1 - i : i;
      std::uint8_t* p = row + 3 * x;
      int* e = this_row.data() + 3 * (x + 1);
      const int r = std::clamp(level[p[2]] + e[0], kLow, kHigh);
      const int g = std::clamp(level[p[1]] + e[1], kLow, kHigh);
      const int b = std::clamp(level[p[0]] + e[2], kLow, kHigh);
      const int k = match_encoded ? encoded.Nearest(257 * LinearToSrgb(r), 257 * LinearToSrgb(g),
                                                    257 * LinearToSrgb(b))
                                  : lp.Nearest(r, g, b);
      const PaletteEntry& q = lp.entry(k);
      p[0] = q.blue;
      p[1] = q.green;
      p[2] = q.red;
      const std::array<int, 3>& c = lp.rgb(k);
      int err[3] = {(r - c[0]) * strength / 100, (g - c[1]) * strength / 100,
                    (b - c[2]) * strength / 100};
      if (split) {
        // The luminance part at its own share, the colour part (the rest) at strength.
        const int er = r - c[0], eg = g - c[1], eb = b - c[2];
        const int y = Luminance(er, eg, eb);
        const int dy = y * luma_strength / 100 - y * strength / 100;
        err[0] += dy;
        err[1] += dy;
        err[2] += dy;
      }
      int* ahead = this_row.data() + 3 * (x + 1 + step);
      int* below = next_row.data() + 3 * (x + 1);
      for (int ch = 0; ch < 3; ++ch) {
        // 7/16 ahead, 3/16 behind below, 5/16 below, the rest ahead below; the parts add up to
        // the whole error, so no light is lost to rounding.
        const int v = err[ch];
        const int a7 = v * 7 / 16, b3 = v * 3 / 16, b5 = v * 5 / 16;
        ahead[ch] += a7;
        below[ch - 3 * step] += b3;
        below[ch] += b5;
        below[ch + 3 * step] += v - a7 - b3 - b5;
      }
    }
    std::swap(this_row, next_row);
  }
}

}  // namespace tvcpix
