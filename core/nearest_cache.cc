// The cached nearest-colour search.
#include "core/nearest_cache.h"

namespace tvcpix {

NearestMatcher::NearestMatcher(const Palette& palette, const PatternFlags* flags)
    : entries_(palette.entries()), slots_(std::size_t{1} << kBits, 0xFFFFFFFFu) {
  if (flags != nullptr && palette.size() == kPatternCount) {
    skip_.resize(kPatternCount);
    for (int i = 0; i < kPatternCount; ++i)
      skip_[static_cast<std::size_t>(i)] = flags->excluded[static_cast<std::size_t>(i)] == 1;
  }
  // An empty palette answers index 0 with black rather than reading past the end.
  if (entries_.empty()) entries_.push_back(PaletteEntry{});
}

int NearestMatcher::Search(int red, int green, int blue) const {
  int best = 999999999, best_index = 0;
  const int n = static_cast<int>(entries_.size());
  const std::uint8_t* skip = skip_.empty() ? nullptr : skip_.data();
  for (int i = 0; i < n; ++i) {
    if (skip != nullptr && skip[i]) continue;
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
