// The perceptual methods and the palette choice through the model: repeatable results, the
// strength read only by the new methods, BestPalettes that changes nothing and finds the
// colours of pictures made of them, and ApplyPalette as the swatch clicks would do it.
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
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      s.SetPixel(x, y, MakeColor(x * 255 / w, y * 255 / h, (x + y) * 127 / (w + h)));
  for (int i = 0; i < 6; ++i)
    s.FillRect(static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<int>(rng() % w), static_cast<int>(rng() % h),
               static_cast<ColorValue>(rng() & 0xFFFFFF));
  return s;
}

// Flat fields of the given table colours side by side.
Surface Fields(int w, int h, const std::vector<int>& colours) {
  Surface s("Pic1", w, h, 0);
  const int n = static_cast<int>(colours.size());
  for (int i = 0; i < n; ++i)
    s.FillRect(i * w / n, 0, (i + 1) * w / n - 1, h - 1,
               ColorFromEntry(Tvc16Color(colours[static_cast<std::size_t>(i)])));
  return s;
}

struct ModelCase {
  DitherMethod method;
  TvcMode mode;
};

std::string ModelCaseName(const ::testing::TestParamInfo<ModelCase>& info) {
  return std::string(MethodCaption(info.param.method)) +
         (info.param.mode == TvcMode::kGraphics2   ? "G2"
          : info.param.mode == TvcMode::kGraphics4 ? "G4"
                                                   : "G16");
}

class PerceptualModelTest : public ::testing::TestWithParam<ModelCase> {
 protected:
  Model Loaded(int strength = kDefaultStrength) {
    Model m;
    m.SetMode(GetParam().mode);
    m.SetMethod(GetParam().method);
    m.SetStrength(strength);
    m.LoadSourcePicture(Photo(160, 120, 3));
    return m;
  }
};

TEST_P(PerceptualModelTest, TwoModelsGiveTheSameBytesAndOnlyPaletteColours) {
  const Model a = Loaded(), b = Loaded();
  EXPECT_TRUE(a.pic2() == b.pic2());
  EXPECT_TRUE(a.preview(GetParam().mode) == b.preview(GetParam().mode));
  const int limit = GetParam().mode == TvcMode::kGraphics2   ? 2
                    : GetParam().mode == TvcMode::kGraphics4 ? 4
                                                             : 15;
  EXPECT_LE(std::stoi(a.result_colors_caption()), limit);
}

TEST_P(PerceptualModelTest, StrengthChangesTheResultAndTheReuseFollowsIt) {
  Model m = Loaded(100);
  const Surface full = m.pic2();
  m.SelectStrength(0);
  EXPECT_FALSE(m.pic2() == full);
  m.SelectStrength(100);
  EXPECT_TRUE(m.pic2() == full);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, PerceptualModelTest,
    ::testing::Values(ModelCase{DitherMethod::kPerceptual, TvcMode::kGraphics16},
                      ModelCase{DitherMethod::kPerceptual, TvcMode::kGraphics4},
                      ModelCase{DitherMethod::kPerceptual, TvcMode::kGraphics2},
                      ModelCase{DitherMethod::kScreen, TvcMode::kGraphics16},
                      ModelCase{DitherMethod::kScreen, TvcMode::kGraphics4},
                      ModelCase{DitherMethod::kScreen, TvcMode::kGraphics2}),
    ModelCaseName);

TEST(PerceptualModelEdgeTest, FaithfulMethodsIgnoreTheStrength) {
  for (int k = 1; k <= kMethodCount; ++k) {
    if (static_cast<DitherMethod>(k) == DitherMethod::kTresholdNoise) continue;
    Model a, b;
    for (Model* m : {&a, &b}) {
      m->SetMode(TvcMode::kGraphics4);
      m->SetMethod(static_cast<DitherMethod>(k));
    }
    b.SetStrength(17);
    a.LoadSourcePicture(Photo(64, 48, 5));
    b.LoadSourcePicture(Photo(64, 48, 5));
    EXPECT_TRUE(a.pic2() == b.pic2()) << MethodCaption(static_cast<DitherMethod>(k));
  }
}

// Pictures made of exactly some table colours: the best palette is those colours.
struct FieldCase {
  std::string name;
  TvcMode mode;
  DitherMethod method;
  std::vector<int> colours;
};

class BestPalettesTest : public ::testing::TestWithParam<FieldCase> {};

TEST_P(BestPalettesTest, FindsTheColoursOfAPictureMadeOfThem) {
  const FieldCase& c = GetParam();
  Model m;
  m.SetMode(c.mode);
  m.SetMethod(c.method);
  m.LoadSourcePicture(Fields(96, 64, c.colours));
  const std::vector<RankedPalette> best = m.BestPalettes();
  ASSERT_EQ(best.size(), 3u);
  std::vector<int> want = c.colours;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(best[0].indices, want);
  EXPECT_LE(best[0].error, best[1].error);
  EXPECT_LE(best[1].error, best[2].error);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, BestPalettesTest,
    ::testing::Values(
        FieldCase{"G4PatternTvc", TvcMode::kGraphics4, DitherMethod::kPatternTvc, {1, 4, 6, 14}},
        FieldCase{"G4Floyd", TvcMode::kGraphics4, DitherMethod::kFloyd, {2, 6, 14, 15}},
        FieldCase{"G4Perceptual", TvcMode::kGraphics4, DitherMethod::kPerceptual, {0, 3, 5, 12}},
        FieldCase{"G4Screen", TvcMode::kGraphics4, DitherMethod::kScreen, {7, 9, 10, 11}},
        FieldCase{"G2PatternTvc", TvcMode::kGraphics2, DitherMethod::kPatternTvc, {1, 14}},
        FieldCase{"G2Perceptual", TvcMode::kGraphics2, DitherMethod::kPerceptual, {0, 13}}),
    [](const ::testing::TestParamInfo<FieldCase>& info) { return info.param.name; });

// BestPalettes is const and converts from copies: the model, its noise sequence included,
// goes on exactly as one that never asked.
TEST(BestPalettesEdgeTest, AskingChangesNothingAndGraphics16HasNone) {
  Model asked, plain;
  for (Model* m : {&asked, &plain}) {
    m->SetMode(TvcMode::kGraphics4);
    m->SetMethod(DitherMethod::kTresholdNoise);
    m->LoadSourcePicture(Photo(80, 60, 9));
  }
  EXPECT_EQ(asked.BestPalettes().size(), 3u);
  for (Model* m : {&asked, &plain}) m->Convert();
  EXPECT_TRUE(asked.pic2() == plain.pic2());
  EXPECT_EQ(asked.convert_count(), plain.convert_count());
  asked.SelectMode(TvcMode::kGraphics16);
  EXPECT_TRUE(asked.BestPalettes().empty());
}

TEST(ApplyPaletteTest, SetsTheSwatchRowAndConvertsOnceAsClicksWould) {
  Model applied, clicked;
  for (Model* m : {&applied, &clicked}) {
    m->SetMode(TvcMode::kGraphics4);
    m->SetMethod(DitherMethod::kPerceptual);
    m->LoadSourcePicture(Photo(80, 60, 4));
  }
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
  EXPECT_EQ(applied.label3(0), ColorFromEntry(Tvc16Color(1)));
  EXPECT_EQ(applied.label3(1), ColorFromEntry(Tvc16Color(14)));
}

}  // namespace
}  // namespace tvcpix
