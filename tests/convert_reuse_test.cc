// Reusing the last conversion's result never shows: a model that reuses and one that always
// converts stay identical through random sessions, noise sequence and tables included.
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "core/model.h"
#include "gtest/gtest.h"

namespace tvcpix {
namespace {

std::string Difference(const Model& a, const Model& b) {
  if (!(a.pic2() == b.pic2())) return "Pic2";
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16})
    if (!(a.preview(mode) == b.preview(mode))) return "preview";
  if (a.palette().entries() != b.palette().entries()) return "palette";
  if (a.pattern_flags().excluded != b.pattern_flags().excluded ||
      a.pattern_flags().swapped != b.pattern_flags().swapped)
    return "flags";
  if (a.pattern_set().columns != b.pattern_set().columns) return "pattern set";
  if (a.result_colors_caption() != b.result_colors_caption()) return "colour count";
  if (a.convert_count() != b.convert_count()) return "conversion count";
  return "";
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
  const std::function<void(Model&, std::uint32_t)> operations[] = {
      [&](Model& m, std::uint32_t) { m.Convert(); },
      [&](Model& m, std::uint32_t) { m.Convert(); },
      [&](Model& m, std::uint32_t v) { m.MoveSlider(1 + static_cast<int>(v % 4), 40 + static_cast<int>(v % 21)); },
      [&](Model& m, std::uint32_t) { m.Set(); },
      [&](Model& m, std::uint32_t v) { m.PickColor(static_cast<int>(v % 16)); },
      [&](Model& m, std::uint32_t v) { m.AssignColor4(static_cast<int>(v % 4)); },
      [&](Model& m, std::uint32_t v) { m.AssignColor2(static_cast<int>(v % 2)); },
      [&](Model& m, std::uint32_t v) { m.SelectMode(static_cast<TvcMode>(v % 3)); },
      [&](Model& m, std::uint32_t v) {
        m.SelectMethod(static_cast<DitherMethod>(1 + static_cast<int>(v % kMethodCount)));
      },
      [&](Model& m, std::uint32_t v) {
        m.ClickSwatch(1 + static_cast<int>(v % 2), static_cast<int>(v % 312),
                      static_cast<int>((v >> 9) % 312));
      },
      [&](Model& m, std::uint32_t v) { v % 2 ? m.AllOn() : m.AllOff(); },
      [&](Model& m, std::uint32_t v) { m.SetResize(v % 4 != 0); },
      [&](Model& m, std::uint32_t v) {
        m.ProbeMove(static_cast<int>(v % 512), static_cast<int>((v >> 9) % 480));
        m.ProbeClick(1 + static_cast<int>(v % 2));
      },
  };
  for (int step = 0; step < 1500; ++step) {
    if (pick(40) == 0) {
      const Surface p = picture();
      reusing.LoadSourcePicture(p);
      converting.LoadSourcePicture(p);
    } else {
      const int op = pick(static_cast<int>(std::size(operations)));
      const std::uint32_t value = rng();
      operations[op](reusing, value);
      operations[op](converting, value);
    }
    const std::string difference = Difference(reusing, converting);
    ASSERT_EQ(difference, "") << "after step " << step;
  }
}

}  // namespace
}  // namespace tvcpix
