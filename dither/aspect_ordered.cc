// Mix plans of 16 picks per colour, cached by colour, and the threshold tiles.
#include "dither/aspect_ordered.h"

#include <algorithm>
#include <vector>

namespace tvcpix {

extern const std::array<std::uint8_t, 256> kSquareRanks;
extern const std::array<std::uint8_t, 256> kWideRanks;

namespace {

constexpr int kPicks = 16;
// The plan cache: 32 levels a channel (the byte's top five bits), each cell planned for its
// centre. A 1/16 mix step is coarser than a cell, so the cells cost no visible precision.
constexpr int kCellBits = 5;
constexpr int kCells = 1 << (3 * kCellBits);

using Plan = std::array<std::uint8_t, kPicks>;

// Picks the palette colour nearest to the colour plus the carried share of the error of the
// picks so far, 16 times, then orders the picks from dark to light, so that low thresholds
// take dark picks and the tile spreads each colour of the mix evenly.
Plan MakePlan(const LinearPalette& lp, int r, int g, int b, int strength) {
  Plan plan{};
  int er = 0, eg = 0, eb = 0;
  for (int i = 0; i < kPicks; ++i) {
    const int k = lp.Nearest(std::clamp(r + er, -kLinearOne / 4, kLinearOne + kLinearOne / 4),
                             std::clamp(g + eg, -kLinearOne / 4, kLinearOne + kLinearOne / 4),
                             std::clamp(b + eb, -kLinearOne / 4, kLinearOne + kLinearOne / 4));
    plan[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k);
    const std::array<int, 3>& c = lp.rgb(k);
    er += (r - c[0]) * strength / 100;
    eg += (g - c[1]) * strength / 100;
    eb += (b - c[2]) * strength / 100;
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
                         const ColorWeights& weights, int strength) {
  if (palette.size() == 0) return;
  const LinearPalette lp(palette, weights);
  strength = std::clamp(strength, 0, 100);
  // The tile's ranks as plan positions, one row of 16 per tile row.
  std::array<std::uint8_t, 256> pick{};
  const std::array<std::uint8_t, 256> tile = ThresholdTile(aspect);
  for (std::size_t i = 0; i < tile.size(); ++i)
    pick[i] = static_cast<std::uint8_t>(tile[i] * kPicks / 256);
  std::vector<Plan> plans(kCells);
  std::vector<std::uint8_t> planned(kCells, 0);
  constexpr int kShift = 8 - kCellBits;
  for (int y = 0; y < preview.height(); ++y) {
    std::uint8_t* p = preview.row(y);
    const std::uint8_t* row_picks = pick.data() + 16 * (y & 15);
    for (int x = 0; x < preview.width(); ++x, p += 3) {
      const int cell = ((p[2] >> kShift) << (2 * kCellBits)) | ((p[1] >> kShift) << kCellBits) |
                       (p[0] >> kShift);
      Plan& plan = plans[static_cast<std::size_t>(cell)];
      if (!planned[static_cast<std::size_t>(cell)]) {
        const auto centre = [](int v) {
          return SrgbToLinear(static_cast<std::uint8_t>((v << kShift) | (1 << (kShift - 1))));
        };
        plan = MakePlan(lp, centre(p[2] >> kShift), centre(p[1] >> kShift),
                        centre(p[0] >> kShift), strength);
        planned[static_cast<std::size_t>(cell)] = 1;
      }
      const PaletteEntry& q = lp.entry(plan[row_picks[x & 15]]);
      p[0] = q.blue;
      p[1] = q.green;
      p[2] = q.red;
    }
  }
}

}  // namespace tvcpix
