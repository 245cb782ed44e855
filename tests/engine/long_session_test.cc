// A long session of random user operations on the model: invariants after every step, the same
// results when replayed from the same seed, and no growth of memory.
#include <malloc.h>

#include <cstdlib>

#include "tests/support/tool_run.h"

namespace tvcpix {
namespace {

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
                               m.patterns_used_caption(), m.probe_caption()}) {
    if (c.empty() || c.find_first_not_of("0123456789") != std::string::npos) return "caption " + c;
  }
  return m.pic2().height() == 480 && m.preview(m.mode()).height() == 240 ? "" : "sizes";
}

// Runs a session from a fixed seed, checking the invariants after every step; returns a hash of
// what the user can see after each step, and notes the memory in use at two points.
std::vector<std::uint64_t> RunSession(const std::string& folder, int steps,
                                      std::vector<std::size_t>* memory) {
  std::mt19937_64 rng(20240611);  // the algorithm is fixed by the standard: the same everywhere
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
  Model m;
  // The mix of a real session: the mouse moves over the result view far more than anything else.
  const std::pair<int, std::function<void()>> operations[] = {
      {25,
       [&] {  // flat, or with a few thousand pixels of noise
         Surface p("Pic1", 1 + pick(700), 1 + pick(500), static_cast<ColorValue>(rng() >> 40));
         for (int i = pick(2) * 3000; i > 0; --i)
           p.SetPixel(pick(p.width()), pick(p.height()), rng() >> 40);
         m.LoadSourcePicture(std::move(p));
       }},
      {100, [&] { m.MoveSlider(pick(6), pick(121) - 10); }},  // 0 and 5 are no slider
      {15, [&] { m.Set(); }},
      {70, [&] { m.PickColor(pick(20) - 2); }},
      {60, [&] { pick(2) ? m.AssignColor4(pick(6) - 1) : m.AssignColor2(pick(4) - 1); }},
      {30, [&] { m.SelectMode(static_cast<TvcMode>(pick(3))); }},
      {45, [&] { m.SelectMethod(static_cast<DitherMethod>(1 + pick(kMethodCount))); }},
      {80, [&] { m.ClickSwatch(1 << pick(4), pick(400) - 40, pick(400) - 40); }},
      {12, [&] { pick(2) ? m.AllOn() : m.AllOff(); }},
      {450, [&] { m.ProbeMove(pick(700) - 100, pick(700) - 100); }},
      {60, [&] { m.ProbeClick(1 << pick(4)); }},
      {35, [&] { pick(4) ? m.Convert() : m.SetResize(pick(3) != 0); }},
      {18, [&] { EXPECT_TRUE((pick(3) ? m.SaveAs(folder + "/s") : m.Save(folder)).ok); }}};
  std::vector<std::uint64_t> hashes;
  hashes.reserve(static_cast<std::size_t>(steps));  // so keeping them costs no memory on the way
  for (int step = 0; step < steps; ++step) {
    int roll = pick(1000), op = 0;
    while (roll >= operations[op].first) roll -= operations[op++].first;
    operations[op].second();
    const std::string bad = Violation(m);
    EXPECT_EQ(bad, "") << "after step " << step << " (operation " << op << ")";
    if (!bad.empty()) break;
    std::uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a of the palette, flags, captions and now and
    auto add = [&h](const void* p, std::size_t n) {  // then (they cost) the pictures
      for (std::size_t i = 0; i < n; ++i)
        h = (h ^ static_cast<const std::uint8_t*>(p)[i]) * 0x100000001B3ull;
    };
    for (const Surface* s : {&m.pic1(), &m.pic2(), &m.preview(m.mode()), &m.piczz(), &m.pic9()})
      add(s->data(), step % 25 == 0 ? s->size_bytes() : 0);
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
  std::filesystem::create_directories(Path("a")), std::filesystem::create_directories(Path("b"));
  std::vector<std::size_t> memory, ignored;
  const std::vector<std::uint64_t> first = RunSession(Path("a"), steps, &memory);
  ASSERT_EQ(first.size(), static_cast<std::size_t>(steps));
  EXPECT_TRUE(RunSession(Path("b"), steps, &ignored) == first);  // the same at every step
  for (const char* name : {"/out24.bmp", "/out24.tim", "/s.bin"})
    EXPECT_TRUE(test::ReadBytes(Path("a") + name) == test::ReadBytes(Path("b") + name)) << name;
#if !defined(__SANITIZE_ADDRESS__)  // its allocator keeps freed memory aside; LeakSanitizer checks
  // Hundreds of steps between the two points: a leak of a few bytes a step shows.
  EXPECT_LE(memory.at(1), memory.at(0) + 4096) << "grew by " << memory[1] - memory[0] << " bytes";
#endif
}

}  // namespace
}  // namespace tvcpix
