// "Pattern TVC" pass and the Auto Palette narrowing of the pattern flags.
#include "dither/pattern.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/nearest_cache.h"

namespace tvcpix {

// The method's working buffer would hold edge copies in its margin, but every output pixel
// depends only on its own colour and on the parity of its position, and margin pixels are
// never written back. Working straight on the surfaces therefore gives the same bytes without
// the copies. Matching reads each pixel before the same pixel is written, so the destination
// may be the source.
void PatternDither(Surface& destination, const Surface& source, const Palette& palette,
                   const PatternFlags& flags, const PatternSet& patterns) {
  NearestMatcher& matcher = SharedMatcher(palette, &flags);
  const int width = std::min(source.width(), destination.width());
  const int height = std::min(source.height(), destination.height());
  const PaletteEntry* a = patterns.columns[0].data();
  const PaletteEntry* b = patterns.columns[1].data();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = source.row(y);
    std::uint8_t* out = destination.row(y);
    // A on even-even and odd-odd positions, B on the others.
    const PaletteEntry* phase[2] = {(y & 1) ? b : a, (y & 1) ? a : b};
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      const int k = matcher.Index(in[2], in[1], in[0]);
      const PaletteEntry& e = phase[x & 1][k];
      out[0] = e.blue;
      out[1] = e.green;
      out[2] = e.red;
    }
  }
}

void AutoPalette(const Surface& surface, const Palette& palette, PatternFlags& flags) {
  std::array<bool, kPatternCount> used{};
  {
    // The matcher copies the flags as they stand, before they are rewritten below.
    NearestMatcher& matcher = SharedMatcher(palette, &flags);
    const std::uint8_t* p = surface.data();
    const std::uint8_t* end = p + surface.size_bytes();
    for (; p != end; p += 3) {
      const int k = matcher.Index(p[2], p[1], p[0]);
      if (k < kPatternCount) used[static_cast<std::size_t>(k)] = true;
    }
  }
  for (std::size_t i = 0; i < used.size(); ++i) flags.excluded[i] = used[i] ? 0 : 1;
}

}  // namespace tvcpix
