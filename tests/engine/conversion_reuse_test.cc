// A long session of random user operations, values out of range included, on two models: one
// reusing the last conversion's result and one always converting. They stay identical (noise
// sequence and tables included) and save the same files; the invariants hold after every step
// and memory does not grow.
#include <malloc.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

std::string Difference(const Model& a, const Model& b) {
  if (!(a.pic2() == b.pic2())) return "Pic2";
  for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16})
    if (!(a.preview(mode) == b.preview(mode))) return "preview";
  if (!(a.piczz() == b.piczz() && a.pic9() == b.pic9())) return "magnifier or editor";
  if (a.palette().entries() != b.palette().entries()) return "palette";
  if (a.pattern_flags().excluded != b.pattern_flags().excluded ||
      a.pattern_flags().swapped != b.pattern_flags().swapped ||
      a.pattern_set().columns != b.pattern_set().columns)
    return "pattern tables";
  if (a.result_colors_caption() != b.result_colors_caption() ||
      a.probe_caption() != b.probe_caption())
    return "captions";
  return a.convert_count() != b.convert_count() ? "conversion count" : "";
}

// What must hold after any operation: the first violation, or "".
std::string Violation(const Model& m) {
  const int size = m.palette().size(), two_or_four = m.mode() == TvcMode::kGraphics2 ? 2 : 4;
  const int want = m.mode() != TvcMode::kGraphics16          ? two_or_four
                   : m.method() == DitherMethod::kPatternTvc ? kPatternCount
                                                             : 16;
  if ((size != 2 && size != 4 && size != 16 && size != kPatternCount) ||
      (m.convert_count() > 0 && size != want))
    return "palette size";
  for (int k = 0; k < kPatternCount; ++k)
    if ((m.pattern_flags().excluded[k] | m.pattern_flags().swapped[k]) & ~1) return "flags";
  for (const std::string& c : {m.source_colors_caption(), m.result_colors_caption(),
                               m.patterns_used_caption(), m.probe_caption()})
    if (c.empty() || c.find_first_not_of("0123456789") != std::string::npos) return "caption " + c;
  return m.pic2().height() == 480 && m.preview(m.mode()).height() == 240 ? "" : "sizes";
}

using LongSessionTest = test::ScratchTest;

// TVCPIX_LONG_SESSION_STEPS sets the steps.
TEST_F(LongSessionTest, ReuseNeverShowsInvariantsHoldAndMemoryStays) {
  const char* env = std::getenv("TVCPIX_LONG_SESSION_STEPS");
  const int steps = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 1500;
  std::filesystem::create_directories(Path("a")), std::filesystem::create_directories(Path("b"));
  Model reusing, converting;
  converting.SetReuseConversions(false);
  std::mt19937_64 rng(20240611);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  // Small pictures of few colours, so that repeated conversions with equal inputs are common.
  auto picture = [&] {
    Surface p("Pic1", 1 + pick(300), 1 + pick(200), static_cast<ColorValue>(rng() & 0xFFFFFF));
    for (int i = pick(2) * pick(300); i > 0; --i)
      p.FillRect(pick(p.width()), pick(p.height()), pick(p.width()), pick(p.height()),
                 static_cast<ColorValue>(rng() & 0xFFFFFF));
    return p;
  };
  // The mix of a real session, the pointer over the result view far more than anything else;
  // each operation takes a random v >= 0, drawn once for both models.
  using Op = std::function<void(Model&, int)>;
  const std::pair<int, Op> operations[] = {
      {100, [](Model& m, int v) { m.MoveSlider(v % 6, v / 8 % 121 - 10); }},  // 0, 5: none
      {15, [](Model& m, int) { m.Set(); }},
      {70, [](Model& m, int v) { m.PickColor(v % 20 - 2); }},
      {60, [](Model& m, int v) { v % 2 ? m.AssignColor4(v / 2 % 6 - 1) : m.AssignColor2(v / 2 % 4 - 1); }},
      {30, [](Model& m, int v) { m.SelectMode(static_cast<TvcMode>(v % 3)); }},
      {45, [](Model& m, int v) { m.SelectMethod(static_cast<DitherMethod>(1 + v % kAllMethodCount)); }},
      {15, [](Model& m, int v) { m.SelectStrength(v % 3 == 0 ? 100 : v % 101); }},
      {15, [](Model& m, int v) {
         m.ApplyPalette(m.mode(), v % 2 ? std::vector<int>{0, 15, 9, 10}
                                        : std::vector<int>{v / 2 % 16, v / 32 % 16});
       }},
      {80, [](Model& m, int v) { m.ClickSwatch(1 << v % 4, v / 4 % 400 - 40, v / 2048 % 400 - 40); }},
      {12, [](Model& m, int v) { v % 2 ? m.AllOn() : m.AllOff(); }},
      {450, [](Model& m, int v) { m.ProbeMove(v % 700 - 100, v / 1024 % 700 - 100); }},
      {60, [](Model& m, int v) { m.ProbeClick(1 << v % 4); }},
      {80, [](Model& m, int v) { v % 4 ? m.Convert() : m.SetResize(v % 3 != 0); }}};
  std::vector<std::size_t> memory;
  for (int step = 0; step < steps; ++step) {
    const int roll = pick(1000 + 25 + 18), value = pick(1 << 30);
    if (roll >= 1000 + 25) {  // both save, in their own folders
      const std::string name = value % 3 ? "/s" : "/out24";
      for (const auto& [m, folder] : {std::pair(&reusing, Path("a")), {&converting, Path("b")}})
        ASSERT_TRUE((value % 3 ? m->SaveAs(folder + name) : m->Save(folder)).ok);
      for (const char* ext : {".bmp", ".bin", ".tim"})
        ASSERT_TRUE(test::ReadBytes(Path("a") + name + ext) == test::ReadBytes(Path("b") + name + ext));
    } else if (roll >= 1000) {
      const Surface p = picture();
      for (Model* m : {&reusing, &converting}) m->LoadSourcePicture(p);
    } else {
      int op = 0, r = roll;
      while (r >= operations[op].first) r -= operations[op++].first;
      for (Model* m : {&reusing, &converting}) operations[op].second(*m, value);
    }
    ASSERT_EQ(Difference(reusing, converting), "") << "after step " << step;
    ASSERT_EQ(Violation(reusing), "") << "after step " << step;
    if (step == steps / 2 || step == steps - 1) {  // the same state, then the memory in use
      for (Model* m : {&reusing, &converting}) {
        m->SetResize(true), m->SelectMode(TvcMode::kGraphics16);
        m->SelectMethod(DitherMethod::kPatternTvc), m->AllOn();
        m->LoadSourcePicture(Surface("Pic1", 64, 48, MakeColor(90, 140, 30)));
      }
      memory.push_back(mallinfo2().uordblks + mallinfo2().hblkhd);
    }
  }
#if !defined(__SANITIZE_ADDRESS__)  // its allocator keeps freed memory aside; LeakSanitizer checks
  // Hundreds of steps between the two points: a leak of a few bytes a step shows.
  EXPECT_LE(memory.at(1), memory.at(0) + 4096) << "grew by " << memory[1] - memory[0] << " bytes";
#endif
}

}  // namespace
}  // namespace tvcpix
