// The pattern editor's hit test.
#include "engine/pattern_editor.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

#include "dither/pattern_set.h"

namespace tvcpix {
namespace {

// The hit test reads the picture: once a click beside it or outside the triangle was taken for
// a swatch.
TEST(PatternEditorTest, HitTestFindsDrawnSwatchesOnly) {
  Surface pic9("Pic9", 312, 312, kSwatchBackground);
  DrawSwatchOn(pic9, SwatchLeft(3), SwatchTop(1), MakeColor(0, 0, 0));
  DrawSwatchOn(pic9, SwatchLeft(1), SwatchTop(3), MakeColor(9, 9, 9));  // below the diagonal
  EXPECT_EQ(SwatchAt(pic9, SwatchLeft(3) + 12, SwatchTop(1) + 12), PatternIndex(1, 3));
  for (const auto& [x, y] : {std::pair{-1, 15}, {400, 11}, {SwatchLeft(1) + 3, SwatchTop(3) + 3}})
    EXPECT_EQ(SwatchAt(pic9, x, y), std::nullopt) << x << "," << y;
}

}  // namespace
}  // namespace tvcpix
