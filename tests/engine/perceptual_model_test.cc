// The perceptual methods and the palette choice through the model: the strength read only by
// the new methods, BestPalettes that changes nothing and finds the colours of pictures made of
// them, and ApplyPalette as the swatch clicks would do it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/model.h"

namespace tvcpix {
namespace {

// A photo-like picture: smooth colour gradients and a few blocks.
Surface Photo(int w, int h, unsigned seed) {
  Surface s("Pic1", w, h, 0);
  std::mt19937 rng(seed);
  for (int i = 0; i < w * h; ++i)
    s.SetPixel(i % w, i / w, MakeColor(i % w * 255 / w, i / w * 255 / h, (i % w + i / w) * 127 / (w + h)));
  for (int i = 0; i < 6; ++i)
    s.FillRect(static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<ColorValue>(rng() & 0xFFFFFF));
  return s;
}

Model Loaded(TvcMode mode, DitherMethod method, const Surface& picture, int strength = -1) {
  Model m;
  m.SetMode(mode);
  m.SetMethod(method);
  if (strength >= 0) m.SetStrength(strength);
  m.LoadSourcePicture(Surface(picture));
  return m;
}

// The new methods follow the strength both ways in every mode; the faithful ones ignore it.
TEST(PerceptualModelTest, OnlyTheNewMethodsReadTheStrength) {
  const Surface photo = Photo(160, 120, 3);
  for (const DitherMethod method : {DitherMethod::kPerceptual, DitherMethod::kScreen})
    for (const TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      Model m = Loaded(mode, method, photo, 100);
      const Surface full = m.pic2();
      m.SelectStrength(0);
      EXPECT_FALSE(m.pic2() == full) << MethodCaption(method) << static_cast<int>(mode);
      m.SelectStrength(100);
      EXPECT_TRUE(m.pic2() == full) << MethodCaption(method) << static_cast<int>(mode);
    }
  const Surface small = Photo(64, 48, 5);
  for (int k = 1; k <= kMethodCount; ++k) {
    const auto method = static_cast<DitherMethod>(k);
    if (method == DitherMethod::kTresholdNoise) continue;  // draws anew in every model
    EXPECT_TRUE(Loaded(TvcMode::kGraphics4, method, small).pic2() ==
                Loaded(TvcMode::kGraphics4, method, small, 17).pic2())
        << MethodCaption(method);
  }
}

// Pictures of flat fields of exactly some table colours: the best palette is those colours,
// whichever method it is ranked for (the colours listed in order).
TEST(BestPalettesTest, FindsTheColoursOfAPictureMadeOfThem) {
  const struct {
    TvcMode mode;
    DitherMethod method;
    std::vector<int> colours;
  } cases[] = {{TvcMode::kGraphics4, DitherMethod::kPatternTvc, {1, 4, 6, 14}},
               {TvcMode::kGraphics4, DitherMethod::kFloyd, {2, 6, 14, 15}},
               {TvcMode::kGraphics4, DitherMethod::kScreen, {7, 9, 10, 11}},
               {TvcMode::kGraphics2, DitherMethod::kPerceptual, {0, 13}}};
  for (const auto& c : cases) {
    Surface fields("Pic1", 96, 64, 0);
    const int n = static_cast<int>(c.colours.size());
    for (int i = 0; i < n; ++i)
      fields.FillRect(i * 96 / n, 0, (i + 1) * 96 / n - 1, 63,
                      ColorFromEntry(Tvc16Color(c.colours[static_cast<std::size_t>(i)])));
    const std::vector<RankedPalette> best = Loaded(c.mode, c.method, fields).BestPalettes();
    ASSERT_EQ(best.size(), 3u);
    EXPECT_EQ(best[0].indices, c.colours) << MethodCaption(c.method);
    EXPECT_TRUE(best[0].error <= best[1].error && best[1].error <= best[2].error);
  }
}

// BestPalettes is const and converts from copies: the model, its noise sequence included, goes
// on exactly as one that never asked. Graphics 16 has no palette to choose.
TEST(BestPalettesTest, AskingChangesNothingAndGraphics16HasNone) {
  const Surface photo = Photo(80, 60, 9);
  Model asked = Loaded(TvcMode::kGraphics4, DitherMethod::kTresholdNoise, photo),
        plain = Loaded(TvcMode::kGraphics4, DitherMethod::kTresholdNoise, photo);
  EXPECT_EQ(asked.BestPalettes().size(), 3u);
  for (Model* m : {&asked, &plain}) m->Convert();
  EXPECT_TRUE(asked.pic2() == plain.pic2());
  EXPECT_EQ(asked.convert_count(), plain.convert_count());
  asked.SelectMode(TvcMode::kGraphics16);
  EXPECT_TRUE(asked.BestPalettes().empty());
}

TEST(ApplyPaletteTest, SetsTheSwatchRowAndConvertsOnceAsClicksWould) {
  const Surface photo = Photo(80, 60, 4);
  Model applied = Loaded(TvcMode::kGraphics4, DitherMethod::kPerceptual, photo),
        clicked = Loaded(TvcMode::kGraphics4, DitherMethod::kPerceptual, photo);
  const std::vector<int> indices = {0, 5, 12, 14};
  const std::uint64_t before = applied.convert_count();
  applied.ApplyPalette(TvcMode::kGraphics4, indices);
  EXPECT_EQ(applied.convert_count(), before + 1);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(applied.label2(i), ColorFromEntry(Tvc16Color(indices[static_cast<std::size_t>(i)])));
    clicked.PickColor(indices[static_cast<std::size_t>(i)]);
    clicked.AssignColor4(i);
  }
  EXPECT_TRUE(applied.pic2() == clicked.pic2());
  EXPECT_EQ(applied.palette().entries(), clicked.palette().entries());
  applied.ApplyPalette(TvcMode::kGraphics2, {1, 14});
  EXPECT_EQ(std::pair(applied.label3(0), applied.label3(1)),
            std::pair(ColorFromEntry(Tvc16Color(1)), ColorFromEntry(Tvc16Color(14))));
}

}  // namespace
}  // namespace tvcpix
