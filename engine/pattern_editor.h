// The pattern editor's swatch picture: geometry, the drawing looks and the hit test.
#ifndef TVCPIX_ENGINE_PATTERN_EDITOR_H_
#define TVCPIX_ENGINE_PATTERN_EDITOR_H_

#include <optional>
#include <string>

#include "core/color.h"
#include "core/surface.h"

namespace tvcpix {

constexpr ColorValue kSwatchBackground = MakeColor(31, 31, 31);

// Top-left corner of the swatch of pair (i, j): (20j + 8, 20i + 11).
constexpr int SwatchLeft(int j) { return 20 * j + 8; }
constexpr int SwatchTop(int i) { return 20 * i + 11; }

// The looks, for the swatch whose top-left corner is (x, y).
void DrawSwatchOn(Surface& pic9, int x, int y, ColorValue color);
void DrawSwatchOff(Surface& pic9, int x, int y, ColorValue color);
void DrawSwapMark(Surface& pic9, int x, int y, ColorValue color, bool outlined);

// The pattern under (x, y), or nothing for the background, a gap, positions outside the
// picture, and any row or column outside 0 <= i <= j <= 14.
std::optional<int> SwatchAt(const Surface& pic9, int x, int y);

// The two colours of pattern k in words, "dark red and red".
std::string PatternColorNames(int k);

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_PATTERN_EDITOR_H_
