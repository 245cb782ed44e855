// Reusing the last conversion's result never shows: a model that reuses and one that always
// converts stay identical through random sessions, noise sequence and tables included.
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/model.h"
#include "gtest/gtest.h"

namespace tvcpix {
namespace {

std::string Difference(const Model& a, const Model& b) {
  if (!(a.pic2() == b.pic2())) return "Pic2";
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16})
    if (!(a.preview(mode) == b.preview(mode))) return "preview";
  if (a.palette().entries() != b.palette().entries()) return "palette";
  if (a.pattern_flags().excluded != b.pattern_flags().excluded ||
      a.pattern_flags().swapped != b.pattern_flags().swapped ||
      a.pattern_set().columns != b.pattern_set().columns)
    return "pattern tables";
  if (a.result_colors_caption() != b.result_colors_caption()) return "colour count";
  return a.convert_count() != b.convert_count() ? "conversion count" : "";
}

TEST(ConvertReuseTest, ReusingModelMatchesAlwaysConvertingModel) {
  Model reusing, converting;
  converting.SetReuseConversions(false);
  std::mt19937 rng(77);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  // Small pictures of few colours, so that repeated conversions with equal inputs are common.
  auto picture = [&] {
    Surface p("Pic1", 1 + pick(300), 1 + pick(200), static_cast<ColorValue>(rng() & 0xFFFFFF));
    for (int i = pick(300); i > 0; --i)
      p.FillRect(pick(p.width()), pick(p.height()), pick(p.width()), pick(p.height()),
                 static_cast<ColorValue>(rng() & 0xFFFFFF));
    return p;
  };
  // Each operation with a random value v >= 0; converting is drawn twice as often.
  const std::function<void(Model&, int)> operations[] = {
      [](Model& m, int) { m.Convert(); },
      [](Model& m, int) { m.Convert(); },
      [](Model& m, int v) { m.MoveSlider(1 + v % 4, 40 + v % 21); },
      [](Model& m, int) { m.Set(); },
      [](Model& m, int v) { m.PickColor(v % 16); },
      [](Model& m, int v) { m.AssignColor4(v % 4); },
      [](Model& m, int v) { m.AssignColor2(v % 2); },
      [](Model& m, int v) { m.SelectMode(static_cast<TvcMode>(v % 3)); },
      [](Model& m, int v) { m.SelectMethod(static_cast<DitherMethod>(1 + v % kMethodCount)); },
      // The perceptual methods and their strength, and palettes applied as the window would.
      [](Model& m, int v) {
        m.SelectMethod(v % 2 ? DitherMethod::kPerceptual : DitherMethod::kScreen);
      },
      [](Model& m, int v) { m.SelectStrength(v % 3 == 0 ? 100 : v % 101); },
      [](Model& m, int v) {
        m.ApplyPalette(m.mode(), v % 2 ? std::vector<int>{0, 15, 9, 10}
                                       : std::vector<int>{v % 16, (v >> 4) % 16});
      },
      [](Model& m, int v) { m.ClickSwatch(1 + v % 2, v % 312, (v >> 9) % 312); },
      [](Model& m, int v) { v % 2 ? m.AllOn() : m.AllOff(); },
      [](Model& m, int v) { m.SetResize(v % 4 != 0); },
      [](Model& m, int v) {
        m.ProbeMove(v % 512, (v >> 9) % 480);
        m.ProbeClick(1 + v % 2);
      },
  };
  for (int step = 0; step < 1500; ++step) {
    if (pick(40) == 0) {
      const Surface p = picture();
      for (Model* m : {&reusing, &converting}) m->LoadSourcePicture(p);
    } else {
      const int op = pick(static_cast<int>(std::size(operations))), value = pick(1 << 30);
      for (Model* m : {&reusing, &converting}) operations[op](*m, value);
    }
    ASSERT_EQ(Difference(reusing, converting), "") << "after step " << step;
  }
}

}  // namespace
}  // namespace tvcpix
