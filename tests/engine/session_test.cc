// Long random sessions on the model. Undo and redo: every undo gives back exactly the state
// before the undone step, as a model that never took that step has it, run-time caption and
// random sequence included. Reuse of the last conversion's result never shows: a model reusing
// it and one always converting stay identical and save the same files; the invariants hold
// after every step and memory does not grow.
#include <malloc.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/history.h"
#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

std::size_t HashOf(const Surface& s) {
  return std::hash<std::string_view>()(
      std::string_view(reinterpret_cast<const char*>(s.data()), s.size_bytes()));
}

// Everything a window shows or a save writes, except the run time, which depends on the clock.
std::string Observable(const Model& m) {
  std::string out;
  for (const Surface* s : {&m.pic1(), &m.pic5(), &m.pic2(), &m.tvc2(), &m.tvc4(), &m.tvc16(),
                           &m.picz(), &m.piczz(), &m.pic9()})
    out += std::to_string(s->width()) + "x" + std::to_string(HashOf(*s)) + " ";
  for (const PaletteEntry& e : m.palette().entries())
    out += std::to_string(ColorFromEntry(e)) + ",";
  for (int k = 0; k < kPatternCount; ++k)
    out += std::to_string(m.pattern_flags().excluded[k] + 2 * m.pattern_flags().swapped[k]) +
           std::to_string(ColorFromEntry(m.pattern_set().A(k)));
  std::vector<long long> values = {int(m.mode()), int(m.method()), m.strength(), m.label4()};
  for (int i = 0; i < 6; ++i) values.push_back(i < 4 ? m.label2(i) : m.label3(i - 4));
  for (int n = 1; n <= 5; ++n) values.push_back(m.shape(n));
  for (int n = 1; n <= 4; ++n) {
    values.push_back(m.slider(n)), values.push_back(int(m.tone_state(n)));
    out += " slider text " + m.slider_text(n);
  }
  for (const long long v : values) out += " " + std::to_string(v);
  return out + " captions " + m.source_colors_caption() + " " + m.result_colors_caption() + " " +
         m.probe_caption() + " " + m.patterns_used_caption() + " " +
         std::to_string(m.convert_count()) + " " + m.source_path();
}
// And with the run time, for a state the model itself had before.
std::string Exact(const Model& m) { return Observable(m) + " ms " + m.run_time_caption(); }

Surface Picture(std::mt19937& rng, int w, int h) {
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  Surface p("Pic1", w, h, static_cast<ColorValue>(rng() & 0xFFFFFF));
  for (int i = 40 + pick(200); i > 0; --i)
    p.FillRect(pick(w), pick(h), pick(w), pick(h), static_cast<ColorValue>(rng() & 0xFFFFFF));
  return p;
}

using Op = std::function<void(Model&)>;

// A random step a user could take; each converts or is "Set". *before gets what the user does
// first without converting (a colour pick, a pointer move), which is no step of its own.
Op RandomOp(std::mt19937& rng, Op* before) {
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const int v = pick(1 << 30);
  // clang-format off
  switch (pick(17)) {
    case 0: case 1: return [v](Model& m) { m.MoveSlider(1 + v % 4, (v >> 3) % 101); };
    case 2: return [](Model& m) { m.Set(); };
    case 3: *before = [v](Model& m) { m.PickColor(v % 16); };
            return [v](Model& m) { m.AssignColor4((v >> 4) % 4); };
    case 4: *before = [v](Model& m) { m.PickColor(v % 16); };
            return [v](Model& m) { m.AssignColor2((v >> 4) % 2); };
    case 5: return [v](Model& m) { m.SelectMode(static_cast<TvcMode>(v % 3)); };
    // "Treshold+Noise" drawn often, so the generator's state matters.
    case 6: return [v](Model& m) {
      m.SelectMethod(static_cast<DitherMethod>(v % 3 ? 4 : 1 + v % kAllMethodCount)); };
    case 7: return [v](Model& m) { m.ClickSwatch(1 + v % 2, v % 312, (v >> 9) % 312); };
    case 8: return [v](Model& m) { v % 2 ? m.AllOn() : m.AllOff(); };
    case 9: *before = [v](Model& m) { m.ProbeMove(v % 512, (v >> 9) % 480); };
            return [v](Model& m) { m.ProbeClick(1 << ((v >> 20) % 3)); };
    case 10: {
      std::mt19937 local(static_cast<unsigned>(v));
      const Surface p = Picture(local, 1 + v % 700, 1 + (v >> 10) % 500);
      return [p, v](Model& m) { m.LoadSourcePicture(p,
      "/pictures/" + std::to_string(v) + ".bmp"); };
    }
    case 11: return [v](Model& m) { m.SelectStrength(v % 101); };
    case 12: return [v](Model& m) {
      m.ApplyPalette(v % 2 ? TvcMode::kGraphics4 : TvcMode::kGraphics2,
                     v % 2 ? std::vector<int>{v % 16, (v >> 4) % 16, (v >> 8) % 16, 3}
                           : std::vector<int>{v % 16, (v >> 4) % 16}); };
    case 13: *before = [v](Model& m) { m.ProbeMove(v % 700 - 100, (v >> 9) % 700 - 100); };
             return [](Model& m) { m.Convert(); };
    case 14: *before = [v](Model& m) { m.PickColor(v % 16); };
             return [](Model& m) { m.Convert(); };
    case 15: *before = [v](Model& m) { m.ProbeMove(v % 512, (v >> 9) % 480); };
             return [v](Model& m) { m.SelectMode(static_cast<TvcMode>(v % 3)); };
    default: return [v](Model& m) { m.MoveSlider(1 + v % 2, 40 + v % 20); };
  }
  // clang-format on
}

class UndoSessionTest : public testing::TestWithParam<bool> {};

// Random sessions with random undos and redos. After each undo the model equals a model that
// only took the steps still done, and exactly (run time too) what it was before that step.
TEST_P(UndoSessionTest, UndoEqualsNeverHavingTakenTheStep) {
  const bool combine = GetParam();
  std::mt19937 rng(combine ? 31 : 17);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int session = 0; session < 4; ++session) {
    Model model;
    model.EnableHistory(true);
    model.SetCombineTones(combine);
    std::vector<Op> prelude;                    // what came before the first step
    std::vector<std::vector<Op>> done, undone;  // steps as the history groups them
    std::vector<std::string> exact_after = {Exact(model)}, exact_redo;
    auto replay = [&] {
      auto fresh = std::make_unique<Model>();
      fresh->SetCombineTones(combine);
      for (const Op& op : prelude) op(*fresh);
      for (const auto& group : done)
        for (const Op& op : group) op(*fresh);
      return fresh;
    };
    for (int event = 0; event < 45; ++event) {
      const int roll = pick(10);
      if (roll < 7 || done.empty()) {
        Op first = [](Model&) {};
        const Op op = RandomOp(rng, &first);
        // Not a step: it belongs to the state the previous step left.
        first(model);
        (done.empty() ? prelude : done.back()).push_back(first);
        exact_after.back() = Exact(model);
        const int before = model.undo_count();
        op(model);
        if (model.undo_count() > before) {
          done.push_back({op});
          exact_after.push_back(Exact(model));
          undone.clear(), exact_redo.clear();
        } else {  // a slider step joined the one before, or nothing changed
          (done.empty() ? prelude : done.back()).push_back(op);
          exact_after.back() = Exact(model);
        }
        continue;
      }
      if (roll < 9) {
        ASSERT_TRUE(model.Undo());
        undone.push_back(done.back());
        done.pop_back();
        exact_redo.push_back(exact_after.back());
        exact_after.pop_back();
        SCOPED_TRACE(testing::Message() << "session " << session << " event " << event);
        ASSERT_EQ(Exact(model), exact_after.back());
        ASSERT_EQ(Observable(model), Observable(*replay()));
      } else if (!undone.empty()) {
        ASSERT_TRUE(model.Redo());
        done.push_back(undone.back());
        undone.pop_back();
        exact_after.push_back(exact_redo.back());
        exact_redo.pop_back();
        ASSERT_EQ(Exact(model), exact_after.back()) << "session " << session << " event " << event;
      }
      ASSERT_EQ(model.CanRedo(), !undone.empty());
    }
    // The whole way back is the window start, and as many steps forward the end again.
    const std::string end = Exact(model);
    int steps = 0;
    while (model.Undo()) ++steps;
    EXPECT_EQ(Exact(model), exact_after.front());
    while (steps-- > 0) ASSERT_TRUE(model.Redo());
    EXPECT_EQ(Exact(model), end);
  }
}

INSTANTIATE_TEST_SUITE_P(OneSliderAndCombined, UndoSessionTest, testing::Bool());

TEST(HistoryTest, StepsAreNamedAndADragIsOneStep) {
  Model model;
  model.EnableHistory(true);
  EXPECT_FALSE(model.CanUndo());
  model.LoadSourcePicture(Surface("x", 40, 30, MakeColor(200, 100, 50)), "/a/astro.jpg");
  EXPECT_EQ(model.undo_name(), "Load astro.jpg");
  for (int v = 51; v <= 60; ++v) model.MoveSlider(1, v);
  EXPECT_EQ(model.undo_count(), 2);
  EXPECT_EQ(model.undo_name(), "Brightness 60");
  model.MoveSlider(2, 45);
  model.SelectMode(TvcMode::kGraphics4);
  model.SelectMethod(DitherMethod::kFloyd);
  model.Set();
  model.SelectStrength(30);
  model.SelectStrength(40);
  model.ApplyPalette(TvcMode::kGraphics4, {0, 1, 2, 3});
  for (const std::string name : {"Best palette", "Strength 40", "Set", "Floyd", "Graphics 4",
                                 "Gamma 45", "Brightness 60", "Load astro.jpg"}) {
    EXPECT_EQ(model.undo_name(), name);
    ASSERT_TRUE(model.Undo());
    EXPECT_EQ(model.redo_name(), name);
  }
  EXPECT_FALSE(model.CanUndo());
  // A pick alone converts nothing and is no step; a click beside the swatches neither.
  model.Redo();
  model.PickColor(3);
  model.ClickSwatch(kLeftButton, 1, 1);
  EXPECT_EQ(model.undo_count(), 1);
  // After an undo the next move of the same slider is a step of its own.
  model.MoveSlider(3, 70);
  model.Undo();
  model.MoveSlider(3, 71);
  model.MoveSlider(3, 72);
  EXPECT_EQ(model.undo_count(), 2);
  EXPECT_FALSE(model.CanRedo());
}

// A 20-megapixel source is shared by every step, never copied, and the history stays bounded.
TEST(HistoryTest, MemoryIsBoundedAndTheSourceShared) {
  Model model;
  model.EnableHistory(true);
  std::mt19937 rng(5);
  model.LoadSourcePicture(Picture(rng, 5472, 3648), "/big.jpg");
  const Surface* source = &model.pic1();
  for (int step = 0; step < 150; ++step)  // sliders alternating, so no two steps merge
    step % 3 == 2 ? model.SelectMode(static_cast<TvcMode>(step / 3 % 3))
                  : model.MoveSlider(1 + step % 2, 30 + step % 40);
  EXPECT_EQ(&model.pic1(), source);
  // The step limit or the byte limit (which counts the shared source once) ends it.
  EXPECT_GE(model.undo_count(), 60);
  EXPECT_LE(model.undo_count(), static_cast<int>(History::kMaxSteps));
  const std::size_t bytes = model.history_bytes();
  EXPECT_LE(bytes, History::kMaxBytes);
  // Per step at most the work picture, the result view and one preview changed.
  EXPECT_LE(bytes, History::kMaxSteps * (2 * 512 * 480 * 3 + 512 * 240 * 3) + (4u << 20));
  while (model.Undo()) EXPECT_EQ(&model.pic1(), source);
}

TEST(SavePathTest, TypedSuffixesAreTakenOff) {
  for (const auto& [typed, base] : {std::pair("/p/astro.BMP", "/p/astro"),
                                    {"/p/astro.Tim", "/p/astro"},
                                    {"/p/astro.bin", "/p/astro"},
                                    {"/p/astro.png", "/p/astro.png"},
                                    {"/p/.bmp", "/p/.bmp"},
                                    {"/p/a.bmp.bmp", "/p/a.bmp"},
                                    {"x.bmpx", "x.bmpx"}})
    EXPECT_EQ(Model::OutputBaseFor(typed), base) << typed;
}

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
      {60, [](Model& m,
              int v) { v % 2 ? m.AssignColor4(v / 2 % 6 - 1) : m.AssignColor2(v / 2 % 4 - 1); }},
      {30, [](Model& m, int v) { m.SelectMode(static_cast<TvcMode>(v % 3)); }},
      {45,
       // Not "Best": it is "Perceptual" refined, with the same inputs and twenty times its time.
       [](Model& m, int v) {
         m.SelectMethod(static_cast<DitherMethod>(1 + v % (kAllMethodCount - 1)));
       }},
      {15, [](Model& m, int v) { m.SelectStrength(v % 3 == 0 ? 100 : v % 101); }},
      {15,
       [](Model& m, int v) {
         m.ApplyPalette(m.mode(), v % 2 ? std::vector<int>{0, 15, 9, 10}
                                        : std::vector<int>{v / 2 % 16, v / 32 % 16});
       }},
      {80,
       [](Model& m, int v) { m.ClickSwatch(1 << v % 4, v / 4 % 400 - 40, v / 2048 % 400 - 40); }},
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
        ASSERT_TRUE(test::ReadBytes(Path("a") + name + ext) ==
                    test::ReadBytes(Path("b") + name + ext));
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
  // Hundreds of steps between the two points: a leaked picture, table or buffer (hundreds of
  // bytes at the least) shows; strings and vectors reaching a new high-water mark (a few KB in
  // all) do not count. LeakSanitizer checks for exact leaks.
  EXPECT_LE(memory.at(1), memory.at(0) + 16384) << "grew by " << memory[1] - memory[0] << " bytes";
#endif
}

}  // namespace
}  // namespace tvcpix
