// Undo and redo on the model: every undo gives back exactly the state before the undone step,
// as a model that never took that step has it, run-time caption and random sequence included.
#include "engine/history.h"

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/model.h"
#include "gtest/gtest.h"

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
  for (const PaletteEntry& e : m.palette().entries()) out += std::to_string(ColorFromEntry(e)) + ",";
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
  switch (pick(14)) {
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
  for (const auto& [typed, base] : {std::pair("/p/astro.BMP", "/p/astro"), {"/p/astro.Tim", "/p/astro"},
                                    {"/p/astro.bin", "/p/astro"}, {"/p/astro.png", "/p/astro.png"},
                                    {"/p/.bmp", "/p/.bmp"}, {"/p/a.bmp.bmp", "/p/a.bmp"},
                                    {"x.bmpx", "x.bmpx"}})
    EXPECT_EQ(Model::OutputBaseFor(typed), base) << typed;
}

}  // namespace
}  // namespace tvcpix
