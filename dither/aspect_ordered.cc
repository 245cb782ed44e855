// Mix plans of 16 picks per colour, cached by colour, and the threshold tiles.
#include "dither/aspect_ordered.h"

#include <algorithm>
#include <vector>

namespace tvcpix {

extern const std::array<std::uint8_t, 256> kSquareRanks;
extern const std::array<std::uint8_t, 256> kWideRanks;

namespace {

constexpr int kPicks = 16;
// The plan cache: 32 levels a channel, each cell planned for its level. The levels are evenly
// spread bytes with 145 among them, so the TVC's own levels 0, 145 and 255 are planned
// exactly (a flat palette colour stays itself); a colour is at most four steps from its level.
constexpr int kCellBits = 5;
constexpr int kLevels = 1 << kCellBits;
constexpr int kCells = 1 << (3 * kCellBits);

struct CellTable {
  std::array<std::uint8_t, kLevels> level{};
  std::array<std::uint8_t, 256> cell{};
};

constexpr CellTable MakeCellTable() {
  CellTable t;
  for (int i = 0; i < kLevels; ++i)
    t.level[static_cast<std::size_t>(i)] =
        static_cast<std::uint8_t>((i * 255 + (kLevels - 1) / 2) / (kLevels - 1));
  t.level[18] = 145;  // 148 would be the evenly spread level
  for (int v = 0; v < 256; ++v) {
    int best = 0;
    for (int i = 1; i < kLevels; ++i) {
      const int d = v - t.level[static_cast<std::size_t>(i)];
      const int e = v - t.level[static_cast<std::size_t>(best)];
      if (d * d < e * e) best = i;
    }
    t.cell[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(best);
  }
  return t;
}

constexpr CellTable kCellTable = MakeCellTable();

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
                         const ColorWeights& weights, int strength, bool linear) {
  if (palette.size() == 0) return;
  const LinearPalette lp(palette, weights, linear);
  strength = std::clamp(strength, 0, 100);
  // The tile's ranks as plan positions, one row of 16 per tile row.
  std::array<std::uint8_t, 256> pick{};
  const std::array<std::uint8_t, 256> tile = ThresholdTile(aspect);
  for (std::size_t i = 0; i < tile.size(); ++i)
    pick[i] = static_cast<std::uint8_t>(tile[i] * kPicks / 256);
  // Plans by cell: slot[cell] is 1 + the plan's place in plans, 0 while unplanned. Photos use
  // a few thousand cells, so the plans themselves are kept densely.
  std::vector<std::uint32_t> slot(kCells, 0);
  std::vector<Plan> plans;
  plans.reserve(4096);
  for (int y = 0; y < preview.height(); ++y) {
    std::uint8_t* p = preview.row(y);
    const std::uint8_t* row_picks = pick.data() + 16 * (y & 15);
    for (int x = 0; x < preview.width(); ++x, p += 3) {
      const int cr = kCellTable.cell[p[2]], cg = kCellTable.cell[p[1]], cb = kCellTable.cell[p[0]];
      const int cell = (cr << (2 * kCellBits)) | (cg << kCellBits) | cb;
      std::uint32_t& at = slot[static_cast<std::size_t>(cell)];
      if (at == 0) {
        const auto level = [&lp](int c) {
          return lp.Level(kCellTable.level[static_cast<std::size_t>(c)]);
        };
        plans.push_back(MakePlan(lp, level(cr), level(cg), level(cb), strength));
        at = static_cast<std::uint32_t>(plans.size());
      }
      const Plan& plan = plans[at - 1];
      const PaletteEntry& q = lp.entry(plan[row_picks[x & 15]]);
      p[0] = q.blue;
      p[1] = q.green;
      p[2] = q.red;
    }
  }
}

}  // namespace tvcpix
