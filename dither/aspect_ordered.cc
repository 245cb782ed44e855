// Mix plans of 16 picks per colour, cached by colour, and the threshold tiles.
#include "dither/aspect_ordered.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace tvcpix {

extern const std::array<std::uint8_t, 256> kSquareRanks;
extern const std::array<std::uint8_t, 256> kWideRanks;

namespace {

constexpr int kPicks = 16;

using Plan = std::array<std::uint8_t, kPicks>;

// Picks the palette colour nearest to the colour plus the error of the picks so far, 16
// times, then orders the picks from dark to light, so that low thresholds take dark picks
// and the tile spreads each colour of the mix evenly.
Plan MakePlan(const LinearPalette& lp, int r, int g, int b) {
  Plan plan{};
  int er = 0, eg = 0, eb = 0;
  for (int i = 0; i < kPicks; ++i) {
    const int k = lp.Nearest(std::clamp(r + er, -kLinearOne / 4, kLinearOne + kLinearOne / 4),
                             std::clamp(g + eg, -kLinearOne / 4, kLinearOne + kLinearOne / 4),
                             std::clamp(b + eb, -kLinearOne / 4, kLinearOne + kLinearOne / 4));
    plan[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k);
    const std::array<int, 3>& c = lp.rgb(k);
    er += r - c[0];
    eg += g - c[1];
    eb += b - c[2];
  }
  std::stable_sort(plan.begin(), plan.end(), [&lp](std::uint8_t a, std::uint8_t b) {
    return lp.luminance(a) < lp.luminance(b);
  });
  return plan;
}

}  // namespace

PixelAspect PixelAspectOf(TvcMode mode) {
  switch (mode) {
    case TvcMode::kGraphics2:
      return {1, 2};
    case TvcMode::kGraphics4:
      return {2, 2};
    case TvcMode::kGraphics16:
      break;
  }
  return {4, 2};
}

std::array<std::uint8_t, 256> ThresholdTile(PixelAspect aspect) {
  if (aspect.width == aspect.height) return kSquareRanks;
  if (aspect.width > aspect.height) return kWideRanks;
  std::array<std::uint8_t, 256> tall{};
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x)
      tall[static_cast<std::size_t>(16 * y + x)] = kWideRanks[static_cast<std::size_t>(16 * x + y)];
  return tall;
}

void AspectOrderedDither(Surface& preview, const Palette& palette, PixelAspect aspect,
                         const ColorWeights& weights) {
  if (palette.size() == 0) return;
  const LinearPalette lp(palette, weights);
  const std::array<std::uint8_t, 256> tile = ThresholdTile(aspect);
  // Photos repeat colours often enough at preview size that a plan is worth keeping.
  std::unordered_map<std::uint32_t, Plan> plans;
  plans.reserve(static_cast<std::size_t>(preview.width()) * 2);
  for (int y = 0; y < preview.height(); ++y) {
    std::uint8_t* p = preview.row(y);
    const std::uint8_t* ranks = tile.data() + 16 * (y & 15);
    for (int x = 0; x < preview.width(); ++x, p += 3) {
      const std::uint32_t key = p[0] | (p[1] << 8) | (p[2] << 16);
      auto it = plans.find(key);
      if (it == plans.end()) {
        it = plans
                 .emplace(key,
                          MakePlan(lp, SrgbToLinear(p[2]), SrgbToLinear(p[1]), SrgbToLinear(p[0])))
                 .first;
      }
      const int pick = ranks[x & 15] * kPicks / 256;
      const PaletteEntry& q = lp.entry(it->second[static_cast<std::size_t>(pick)]);
      p[0] = q.blue;
      p[1] = q.green;
      p[2] = q.red;
    }
  }
}

}  // namespace tvcpix
