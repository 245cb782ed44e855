// The cached nearest-colour search.
#include "core/nearest_cache.h"

#include <algorithm>

namespace tvcpix {

namespace {
constexpr int kCellShift = 4;  // cells of 16 levels per channel
constexpr int kCellsPerAxis = 256 >> kCellShift;
}  // namespace

NearestMatcher::NearestMatcher(const Palette& palette, const PatternFlags* flags)
    : entries_(palette.entries()),
      slots_(std::size_t{1} << kBits, 0xFFFFFFFFu),
      cell_first_(kCellsPerAxis * kCellsPerAxis * kCellsPerAxis, -1) {
  if (flags != nullptr && palette.size() == kPatternCount) {
    skip_.resize(kPatternCount);
    for (int i = 0; i < kPatternCount; ++i)
      skip_[static_cast<std::size_t>(i)] = flags->excluded[static_cast<std::size_t>(i)] == 1;
  }
  // An empty palette answers index 0 with black rather than reading past the end.
  if (entries_.empty()) entries_.push_back(PaletteEntry{});
}

// An entry belongs to a cell's list unless, for every colour of the cell, some entry is
// strictly nearer: its least distance to the cell exceeds the smallest greatest distance of
// any entry. Lists keep index order, so the first minimum found is the lowest index.
void NearestMatcher::BuildCell(int cell) {
  const int lo[3] = {(cell & (kCellsPerAxis - 1)) << kCellShift,
                     ((cell >> 4) & (kCellsPerAxis - 1)) << kCellShift,
                     ((cell >> 8) & (kCellsPerAxis - 1)) << kCellShift};  // red, green, blue
  const int hi[3] = {lo[0] + (1 << kCellShift) - 1, lo[1] + (1 << kCellShift) - 1,
                     lo[2] + (1 << kCellShift) - 1};
  const int n = static_cast<int>(entries_.size());
  std::vector<int> min_d(static_cast<std::size_t>(n));
  int bound = 0x7FFFFFFF;
  for (int i = 0; i < n; ++i) {
    if (!skip_.empty() && skip_[static_cast<std::size_t>(i)]) continue;
    const PaletteEntry& e = entries_[static_cast<std::size_t>(i)];
    const int v[3] = {e.red, e.green, e.blue};
    int dmin = 0, dmax = 0;
    for (int c = 0; c < 3; ++c) {
      const int below = lo[c] - v[c], above = v[c] - hi[c];
      const int near = below > 0 ? below : (above > 0 ? above : 0);
      const int far = std::max(v[c] - lo[c], hi[c] - v[c]);
      dmin += near * near;
      dmax += far * far;
    }
    min_d[static_cast<std::size_t>(i)] = dmin;
    bound = std::min(bound, dmax);
  }
  const std::size_t start = candidates_.size();
  candidates_.push_back(0);
  for (int i = 0; i < n; ++i) {
    if (!skip_.empty() && skip_[static_cast<std::size_t>(i)]) continue;
    if (min_d[static_cast<std::size_t>(i)] > bound) continue;
    candidates_.push_back(static_cast<std::uint8_t>(i));
    ++candidates_[start];
  }
  cell_first_[static_cast<std::size_t>(cell)] = static_cast<std::int32_t>(start);
}

int NearestMatcher::Search(int red, int green, int blue) {
  const int cell = (red >> kCellShift) | ((green >> kCellShift) << 4) |
                   ((blue >> kCellShift) << 8);
  if (cell_first_[static_cast<std::size_t>(cell)] < 0) BuildCell(cell);
  const std::uint8_t* list = candidates_.data() + cell_first_[static_cast<std::size_t>(cell)];
  const int count = list[0];
  int best = 999999999, best_index = 0;  // every entry excluded: index 0
  for (int k = 1; k <= count; ++k) {
    const int i = list[k];
    const PaletteEntry& e = entries_[static_cast<std::size_t>(i)];
    const int dr = red - e.red, dg = green - e.green, db = blue - e.blue;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      best_index = i;
      if (d == 0) break;
    }
  }
  return best_index;
}

}  // namespace tvcpix
