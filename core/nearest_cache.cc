// The cached nearest-colour search.
#include "core/nearest_cache.h"

#include <algorithm>
#include <array>
#include <memory>

namespace tvcpix {

namespace {
constexpr int kCellShift = 4;  // cells of 16 levels per channel
constexpr int kCellsPerAxis = 256 >> kCellShift;
}  // namespace

NearestMatcher::NearestMatcher(const Palette& palette, const PatternFlags* flags)
    : slots_(std::size_t{1} << kBits), cell_first_(kCellsPerAxis * kCellsPerAxis * kCellsPerAxis) {
  // Room for every cell's list of a full pattern palette, so that reuse never allocates.
  entries_.reserve(kPatternCount);
  min_d_.reserve(kPatternCount);
  candidates_.reserve(cell_first_.size() * (kPatternCount + 1));
  Reset(palette, flags);
}

void NearestMatcher::Reset(const Palette& palette, const PatternFlags* flags) {
  entries_.assign(palette.entries().begin(), palette.entries().end());
  palette_size_ = palette.size();
  skips_ = flags != nullptr && palette.size() == kPatternCount;
  skip_.fill(0);
  if (skips_) {
    for (int i = 0; i < kPatternCount; ++i)
      skip_[static_cast<std::size_t>(i)] = flags->excluded[static_cast<std::size_t>(i)] == 1;
  }
  // An empty palette answers index 0 with black rather than reading past the end.
  if (entries_.empty()) entries_.push_back(PaletteEntry{});
  direct_ = !skips_ && entries_.size() <= kDirectEntries;
  if (entries_.size() == 2) {
    const auto norm = [](const PaletteEntry& e) {
      return e.red * e.red + e.green * e.green + e.blue * e.blue;
    };
    two_entry_bias_ = norm(entries_[0]) - norm(entries_[1]);
  }
  min_d_.resize(entries_.size());
  std::fill(slots_.begin(), slots_.end(), 0xFFFFFFFFu);
  std::fill(cell_first_.begin(), cell_first_.end(), -1);
  candidates_.clear();
}

bool NearestMatcher::Serves(const Palette& palette, const PatternFlags* flags) const {
  if (palette.size() != palette_size_) return false;
  for (int i = 0; i < palette_size_; ++i)
    if (!(palette[i] == entries_[static_cast<std::size_t>(i)])) return false;
  const bool skips = flags != nullptr && palette.size() == kPatternCount;
  if (skips != skips_) return false;
  if (skips) {
    for (std::size_t i = 0; i < skip_.size(); ++i)
      if ((flags->excluded[i] == 1) != (skip_[i] != 0)) return false;
  }
  return true;
}

NearestMatcher& SharedMatcher(const Palette& palette, const PatternFlags* flags) {
  // Most recently used first. A conversion needs at most two (the pattern palette and the
  // mode's palette for the snap); the rest covers switching back and forth between modes.
  // A replaced matcher is reset in place, so the memory held stays the same.
  thread_local std::array<std::unique_ptr<NearestMatcher>, 4> cache;
  for (std::size_t i = 0; i < cache.size(); ++i) {
    if (cache[i] && cache[i]->Serves(palette, flags)) {
      std::rotate(cache.begin(), cache.begin() + static_cast<std::ptrdiff_t>(i),
                  cache.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      return *cache[0];
    }
  }
  std::rotate(cache.begin(), cache.end() - 1, cache.end());
  if (cache[0]) {
    cache[0]->Reset(palette, flags);
  } else {
    cache[0] = std::make_unique<NearestMatcher>(palette, flags);
  }
  return *cache[0];
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
  int* min_d = min_d_.data();
  int bound = 0x7FFFFFFF;
  for (int i = 0; i < n; ++i) {
    if (skips_ && skip_[static_cast<std::size_t>(i)]) continue;
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
    min_d[i] = dmin;
    bound = std::min(bound, dmax);
  }
  const std::size_t start = candidates_.size();
  candidates_.push_back(0);
  for (int i = 0; i < n; ++i) {
    if (skips_ && skip_[static_cast<std::size_t>(i)]) continue;
    if (min_d[i] > bound) continue;
    candidates_.push_back(static_cast<std::uint8_t>(i));
    ++candidates_[start];
  }
  cell_first_[static_cast<std::size_t>(cell)] = static_cast<std::int32_t>(start);
}

int NearestMatcher::Search(int red, int green, int blue) {
  if (direct_) return SearchAll(red, green, blue);
  const int cell = (red >> kCellShift) | ((green >> kCellShift) << 4) | ((blue >> kCellShift) << 8);
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
