// An exact cache in front of the nearest-colour searches, for the per-pixel hot loops.
#ifndef TVCPIX_CORE_NEAREST_CACHE_H_
#define TVCPIX_CORE_NEAREST_CACHE_H_

#include <array>
#include <cstdint>
#include <vector>

#include "core/palette.h"

namespace tvcpix {

// Answers NearestIndex (or NearestIndexUnmarked, with flags) for one fixed palette and flag
// state. It copies what it needs, so a later palette change never leaks in; SharedMatcher
// keeps matchers alive across passes for as long as the palette and flags stay the same.
// Two exact shortcuts: a direct-mapped cache keyed by the full 24-bit colour, and, per cell of
// a 16x16x16 grid over colour space, the list of entries that can be nearest (or tie) for some
// colour of the cell, built on first use. Results always equal the plain search.
class NearestMatcher {
 public:
  // flags == nullptr: plain NearestIndex. Otherwise NearestIndexUnmarked with those flags.
  NearestMatcher(const Palette& palette, const PatternFlags* flags);
  // Starts over for another palette and flags, keeping the memory.
  void Reset(const Palette& palette, const PatternFlags* flags);

  int Index(int red, int green, int blue) {
    return IndexBgr(static_cast<std::uint32_t>(blue) | (static_cast<std::uint32_t>(green) << 8) |
                    (static_cast<std::uint32_t>(red) << 16));
  }
  // The same for a colour packed as a pixel's bytes: blue | green << 8 | red << 16.
  int IndexBgr(std::uint32_t key) {
    std::uint32_t& slot = slots_[Hash(key)];
    // Low byte 0xFF marks an empty slot: no palette has 256 entries.
    if ((slot >> 8) == key && (slot & 0xFF) != 0xFF) return static_cast<int>(slot & 0xFF);
    const int index = Search(static_cast<int>(key >> 16), static_cast<int>((key >> 8) & 0xFF),
                             static_cast<int>(key & 0xFF));
    slot = (key << 8) | static_cast<std::uint32_t>(index);
    return index;
  }
  const PaletteEntry& Color(int red, int green, int blue) {
    return entries_[static_cast<std::size_t>(Index(red, green, blue))];
  }

  // For colours that rarely repeat (noise): with a palette of a few colours and none skipped,
  // the plain search without the cache, else Color.
  const PaletteEntry& ColorOnce(int red, int green, int blue) {
    const int index = direct_ ? SearchAll(red, green, blue) : Index(red, green, blue);
    return entries_[static_cast<std::size_t>(index)];
  }
  const PaletteEntry& ColorBgrOnce(std::uint32_t key) {
    const int index =
        direct_ ? SearchAll(static_cast<int>(key >> 16), static_cast<int>((key >> 8) & 0xFF),
                            static_cast<int>(key & 0xFF))
                : IndexBgr(key);
    return entries_[static_cast<std::size_t>(index)];
  }

  // Whether this matcher answers exactly as one built from the palette and flags would.
  bool Serves(const Palette& palette, const PatternFlags* flags) const;

 private:
  static constexpr int kBits = 15;
  static constexpr int kDirectEntries = 4;
  static std::uint32_t Hash(std::uint32_t key) { return (key * 2654435761u) >> (32 - kBits); }
  int Search(int red, int green, int blue);
  // The plain search over a palette of a few entries: cheaper than any cache lookup.
  int SearchAll(int red, int green, int blue) const {
    const int n = static_cast<int>(entries_.size());
    if (n == 2) {
      // d0 - d1 is linear in the colour; entry 1 only when strictly nearer (ties keep 0).
      const PaletteEntry& a = entries_[0];
      const PaletteEntry& b = entries_[1];
      const int d0_minus_d1 =
          2 * (red * (b.red - a.red) + green * (b.green - a.green) + blue * (b.blue - a.blue)) +
          two_entry_bias_;
      return d0_minus_d1 > 0 ? 1 : 0;
    }
    int best = 999999999, best_index = 0;
    for (int i = 0; i < n; ++i) {
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
  void BuildCell(int cell);

  std::vector<PaletteEntry> entries_;
  int palette_size_ = 0;
  int two_entry_bias_ = 0;  // |e0|^2 - |e1|^2 of a two-entry palette
  bool direct_ = false;     // few entries and none skipped: a miss searches them all
  bool skips_ = false;      // excluded entries are skipped (only with a 120-entry palette)
  std::array<std::uint8_t, kPatternCount> skip_{};  // 1 for excluded entries
  std::vector<std::uint32_t> slots_;
  std::vector<std::int32_t> cell_first_;  // start of a cell's list in candidates_, -1 unbuilt
  std::vector<std::uint8_t> candidates_;  // per cell: count, then entry indices ascending
  std::vector<int> min_d_;                // scratch of BuildCell, one per entry
};

// A matcher for the palette and flags, kept per thread with its filled cache and cell lists
// while the palette's colours and (for a 120-entry palette) the excluded flags stay the same,
// so a conversion that runs again with the same palette starts warm. Every answer is still the
// plain search's. The reference is valid until the next call on the same thread.
NearestMatcher& SharedMatcher(const Palette& palette, const PatternFlags* flags);

}  // namespace tvcpix

#endif  // TVCPIX_CORE_NEAREST_CACHE_H_
