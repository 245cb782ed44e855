// Drawing the pattern swatches and finding the pattern under a point of the swatch picture.
#include "engine/pattern_editor.h"

#include "dither/pattern_set.h"

namespace tvcpix {
namespace {

constexpr int kSwatchLast = 12;  // a swatch spans 13 x 13 pixels, corners included
constexpr ColorValue kWhite = MakeColor(255, 255, 255);

}  // namespace

void DrawSwatchOn(Surface& pic9, int x, int y, ColorValue color) {
  pic9.FillRect(x, y, x + kSwatchLast, y + kSwatchLast, color);
}

void DrawSwatchOff(Surface& pic9, int x, int y, ColorValue color) {
  // The ring between the outline and the inner square keeps whatever it showed before.
  pic9.DrawBox(x, y, x + kSwatchLast, y + kSwatchLast, kWhite);
  pic9.FillRect(x + 2, y + 2, x + 10, y + 10, color);
}

void DrawSwapMark(Surface& pic9, int x, int y, ColorValue color, bool outlined) {
  if (outlined) {
    pic9.DrawBox(x + 2, y + 2, x + 6, y + 6, color);
  } else {
    pic9.FillRect(x + 2, y + 2, x + 6, y + 6, color);
  }
}

std::optional<int> SwatchAt(const Surface& pic9, int x, int y) {
  // Outside the picture counts as background, whatever background the surface was given.
  if (x < 0 || y < 0 || x >= pic9.width() || y >= pic9.height()) return std::nullopt;
  if (PixelAt(pic9, x, y) == kSwatchBackground) return std::nullopt;
  // Integer division truncates toward zero, as the editor always did; any pixel left of or
  // above the first swatch therefore still maps to row or column 0.
  const int j = (x - SwatchLeft(0)) / 20;
  const int i = (y - SwatchTop(0)) / 20;
  if (i < 0 || j > 14 || i > j) return std::nullopt;
  return PatternIndex(i, j);
}

std::string PatternColorNames(int k) {
  static constexpr const char* kNames[15] = {
      "black", "dark blue", "dark red", "dark magenta", "dark green", "dark cyan",
      "dark yellow", "grey", "blue", "red", "magenta", "green", "cyan", "yellow", "white"};
  int i = 0, j = 0;
  PatternPair(k, &i, &j);
  if (i == j) return std::string(kNames[i]) + " alone";
  return std::string(kNames[i]) + " and " + kNames[j];
}

}  // namespace tvcpix
