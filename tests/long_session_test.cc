// A long session of random user operations on the model: invariants after every step, the same
// results when replayed from the same seed, and no growth of memory.
#include <malloc.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "core/color.h"
#include "core/model.h"
#include "core/palette.h"
#include "dither/method.h"
#include "tests/tool_run.h"

namespace tvcpix {
namespace {

// What must hold after any operation: the first violation, or "".
std::string Violation(const Model& m, bool whole_view) {
  const int size = m.palette().size(), two_or_four = m.mode() == TvcMode::kGraphics2 ? 2 : 4;
  const int want = m.mode() != TvcMode::kGraphics16          ? two_or_four
                   : m.method() == DitherMethod::kPatternTvc ? kPatternCount
                                                             : 16;
  if ((size != 2 && size != 4 && size != 16 && size != kPatternCount) ||
      (m.convert_count() > 0 && size != want))
    return "palette size " + std::to_string(size);
  for (int k = 0; k < kPatternCount; ++k) {
    if (static_cast<std::uint32_t>(m.pattern_flags().excluded[k] | m.pattern_flags().swapped[k]) >
        1)
      return "flags";
  }
  for (const std::string& c :
       {m.source_colors_caption(), m.result_colors_caption(), m.run_time_caption(),
        m.patterns_used_caption(), m.probe_caption()}) {
    if (c.empty() || c.find_first_not_of("0123456789") != std::string::npos) return "caption " + c;
  }
  if (m.pic2().height() != 480 || m.preview(m.mode()).height() != 240) return "sizes";
  if (m.convert_count() == 0 || m.mode() == TvcMode::kGraphics16) return "";
  // A 2- or 4-colour screen shows only its palette's colours; so does the result view, unless
  // "Resize " was off and it keeps what earlier conversions left beside the copy.
  std::set<ColorValue> allowed;
  for (int i = 0; i < size; ++i) allowed.insert(ColorFromEntry(m.palette()[i]));
  const Surface& preview = m.preview(m.mode());
  for (int i = 0; i < preview.width() * 240; i += 7) {
    if (!allowed.count(PixelAt(preview, i % preview.width(), i / preview.width())))
      return "preview";
  }
  return whole_view && std::stoi(m.result_colors_caption()) > size ? "result colours" : "";
}

// Runs a session from a fixed seed, checking the invariants after every step; returns a hash of
// everything the user can see or save after each step, and the memory in use at two points.
std::vector<std::uint64_t> RunSession(const std::string& folder, int steps,
                                      std::vector<std::size_t>* memory) {
  std::mt19937_64 rng(20240611);  // the algorithm is fixed by the standard: the same everywhere
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  auto button = [&pick] {
    return std::array{kLeftButton + 0, kRightButton + 0, kMiddleButton + 0, 0}[pick(4)];
  };
  Model m;
  bool whole_view = true;
  // The mix of a real session: the mouse moves over the result view far more than anything else.
  const std::pair<int, std::function<void()>> operations[] = {
      {25,
       [&] {
         Surface p("Pic1", 1 + pick(700), 1 + pick(500), static_cast<ColorValue>(rng() & 0xFFFFFF));
         for (int i = pick(2) * 2000; i > 0; --i)
           p.SetPixel(pick(p.width()), pick(p.height()), rng() & 0xFFFFFF);
         m.LoadSourcePicture(std::move(p));
       }},
      {100, [&] { m.MoveSlider(pick(6), pick(121) - 10); }},  // 0 and 5 are no slider
      {15, [&] { m.Set(); }},
      {70, [&] { m.PickColor(pick(20) - 2); }},
      {35, [&] { m.AssignColor4(pick(6) - 1); }},
      {25, [&] { m.AssignColor2(pick(4) - 1); }},
      {30, [&] { m.SelectMode(static_cast<TvcMode>(pick(3))); }},
      {45, [&] { m.SelectMethod(static_cast<DitherMethod>(1 + pick(kMethodCount))); }},
      {80, [&] { m.ClickSwatch(button(), pick(400) - 40, pick(400) - 40); }},
      {12, [&] { pick(2) ? m.AllOn() : m.AllOff(); }},
      {450,
       [&] {
         pick(5) ? m.ProbeMove(pick(512), pick(480))
                 : m.ProbeMove(pick(6000) - 3000, pick(6000) - 3000);
       }},
      {60, [&] { m.ProbeClick(button()); }},
      {25, [&] { m.Convert(); }},
      {10, [&] { m.SetResize(pick(3) != 0); }},
      {18, [&] {
         EXPECT_TRUE(
             (pick(3) ? m.SaveAs(folder + "/s" + std::to_string(pick(3))) : m.Save(folder)).ok);
       }}};
  std::vector<std::uint64_t> hashes;
  hashes.reserve(static_cast<std::size_t>(steps));  // so keeping them costs no memory on the way
  for (int step = 0; step < steps; ++step) {
    const std::uint64_t converts = m.convert_count();
    int roll = pick(1000), op = 0;
    while (roll >= operations[op].first) roll -= operations[op++].first;
    operations[op].second();
    if (m.convert_count() != converts) whole_view = m.resize();
    const std::string bad = Violation(m, whole_view);
    EXPECT_EQ(bad, "") << "after step " << step << " (operation " << op << ")";
    if (!bad.empty()) break;
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    auto add = [&h](const void* p, std::size_t n) {
      for (std::size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<const std::uint8_t*>(p)[i]) * 0x100000001B3ull;
    };
    for (const Surface* s : {&m.pic1(), &m.pic2(), &m.preview(m.mode()), &m.piczz(), &m.pic9()}) {
      if (step % 25 == 0) add(s->data(), s->size_bytes());  // pictures now and then: they cost
    }
    for (int i = 0; i < m.palette().size(); ++i) add(&m.palette()[i], sizeof(PaletteEntry));
    add(&m.pattern_flags(), sizeof(m.pattern_flags()));
    for (const std::string& c : {m.result_colors_caption(), m.probe_caption()})
      add(c.data(), c.size() + 1);
    hashes.push_back(h ^ static_cast<std::uint64_t>(op));
    if (step == steps / 4 || step == steps - 1) {  // the same small picture, then the memory in use
      m.LoadSourcePicture(Surface("Pic1", 64, 48, MakeColor(90, 140, 30)));
      memory->push_back(mallinfo2().uordblks + mallinfo2().hblkhd);
    }
  }
  return hashes;
}

// TVCPIX_LONG_SESSION_STEPS sets the steps (10000 makes a thorough run).
class LongSessionTest : public test::ScratchTest {};

TEST_F(LongSessionTest, InvariantsHoldReplayMatchesAndMemoryStays) {
  const char* env = std::getenv("TVCPIX_LONG_SESSION_STEPS");
  const int steps = env != nullptr && std::atoi(env) > 0 ? std::atoi(env) : 1000;
  const std::string a = Path("a"), b = Path("b");
  std::filesystem::create_directories(a), std::filesystem::create_directories(b);
  std::vector<std::size_t> memory, ignored;
  const std::vector<std::uint64_t> first = RunSession(a, steps, &memory);
  ASSERT_EQ(first.size(), static_cast<std::size_t>(steps));
  EXPECT_TRUE(RunSession(b, steps, &ignored) == first);  // replay: the same at every step
  for (const char* name : {"/out24.bmp", "/s0.tim", "/s1.bin", "/s2.bmp"})
    EXPECT_TRUE(test::ReadBytes(a + name) == test::ReadBytes(b + name)) << name;
#if !defined(__SANITIZE_ADDRESS__)  // its allocator keeps freed memory aside; LeakSanitizer checks
  // Hundreds of steps between the two points: a leak of a few bytes a step shows.
  EXPECT_LE(memory.at(1), memory.at(0) + 4096) << "grew by " << memory[1] - memory[0] << " bytes";
#endif
}

}  // namespace
}  // namespace tvcpix
