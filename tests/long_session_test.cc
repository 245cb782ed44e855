// A long session of random user operations on the model: invariants after every step, the same
// results when replayed from the same seed, and no growth of memory.
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/model.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"
#include "dither/method.h"
#include "gtest/gtest.h"
#include "output/save.h"

#if defined(__SANITIZE_ADDRESS__)
#define TVCPIX_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TVCPIX_ASAN 1
#endif
#endif

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

// Steps in a session, and how many of them are replayed: TVCPIX_LONG_SESSION_STEPS when set.
// An unoptimised build takes longer for each step, and the sanitizers' much longer, so those
// run fewer steps and replay only the first thousand.
int StepCount() {
  if (const char* env = std::getenv("TVCPIX_LONG_SESSION_STEPS")) {
    const int n = std::atoi(env);
    if (n > 0) return n;
  }
#if defined(TVCPIX_ASAN)
  return 2000;
#elif defined(NDEBUG) && defined(__OPTIMIZE__)
  return 10000;
#else
  return 3000;
#endif
}

int ReplayCount() {
#if defined(NDEBUG) && defined(__OPTIMIZE__) && !defined(TVCPIX_ASAN)
  return StepCount();
#else
  return 1000;
#endif
}

// 64-bit FNV-1a over bytes, eight at a time where it can.
class Hasher {
 public:
  void Add(const void* data, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < n; ++i) h_ = (h_ ^ p[i]) * 0x100000001B3ull;
  }
  void AddWords(const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, p + i, 8);
      h_ = (h_ ^ w) * 0x100000001B3ull;
      h_ ^= h_ >> 29;
    }
    Add(p + i, n - i);
  }
  void Add(const std::string& s) {
    Add(s.data(), s.size());
    Add(s.size());
  }
  template <typename T>
  void Add(const T& v) {
    Add(&v, sizeof(v));
  }
  void Add(const Surface& s) {
    Add(s.width());
    Add(s.height());
    AddWords(s.data(), s.size_bytes());
  }
  std::uint64_t value() const { return h_; }

 private:
  std::uint64_t h_ = 0xCBF29CE484222325ull;
};

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
}

bool IsNumber(const std::string& s) {
  if (s.empty()) return false;
  std::size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
  }
  return true;
}

std::size_t InUseBytes() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// One user at the controls: each Step is one random operation, drawn from a fixed seed.
class Session {
 public:
  Session(std::uint64_t seed, std::string folder) : rng_(seed), folder_(std::move(folder)) {}

  const Model& model() const { return model_; }
  const std::string& last() const { return last_; }
  // Whether the last conversion ran with "Resize " on, so it filled the whole result view.
  bool result_view_whole() const { return result_view_whole_; }

  // The mix follows a real session: the mouse moves over the result view far more often than
  // anything is clicked.
  void Step() {
    const std::uint64_t converts = model_.convert_count();
    StepOnce();
    if (model_.convert_count() != converts) result_view_whole_ = model_.resize();
  }

 private:
  void StepOnce() {
    const int roll = Pick(1000);
    if (roll < 25) {
      Load();
    } else if (roll < 125) {
      const int n = Pick(5);  // 0 and 5 are no slider: ignored
      const int v = Pick(121) - 10;
      Do("MoveSlider " + std::to_string(n) + " " + std::to_string(v),
         [&] { model_.MoveSlider(n, v); });
    } else if (roll < 140) {
      Do("Set", [&] { model_.Set(); });
    } else if (roll < 210) {
      const int i = Pick(20) - 2;
      Do("PickColor " + std::to_string(i), [&] { model_.PickColor(i); });
    } else if (roll < 245) {
      const int i = Pick(6) - 1;
      Do("AssignColor4 " + std::to_string(i), [&] { model_.AssignColor4(i); });
    } else if (roll < 270) {
      const int i = Pick(4) - 1;
      Do("AssignColor2 " + std::to_string(i), [&] { model_.AssignColor2(i); });
    } else if (roll < 300) {
      const auto mode = static_cast<TvcMode>(Pick(3));
      Do("SelectMode " + std::to_string(static_cast<int>(mode)), [&] { model_.SelectMode(mode); });
    } else if (roll < 345) {
      const auto method = static_cast<DitherMethod>(1 + Pick(kMethodCount));
      Do("SelectMethod " + std::to_string(static_cast<int>(method)),
         [&] { model_.SelectMethod(method); });
    } else if (roll < 425) {
      static constexpr int kButtons[] = {kLeftButton, kRightButton, kMiddleButton, 0, 3};
      const int button = kButtons[Pick(5)];
      const int x = Pick(400) - 40, y = Pick(400) - 40;
      Do("ClickSwatch " + std::to_string(button) + " " + std::to_string(x) + "," +
             std::to_string(y),
         [&] { model_.ClickSwatch(button, x, y); });
    } else if (roll < 437) {
      if (Pick(2) == 0) {
        Do("AllOn", [&] { model_.AllOn(); });
      } else {
        Do("AllOff", [&] { model_.AllOff(); });
      }
    } else if (roll < 887) {
      // Mostly over the view, sometimes far outside it.
      const bool far = Pick(5) == 0;
      const int x = far ? Pick(6000) - 3000 : Pick(512);
      const int y = far ? Pick(6000) - 3000 : Pick(480);
      Do("ProbeMove " + std::to_string(x) + "," + std::to_string(y),
         [&] { model_.ProbeMove(x, y); });
    } else if (roll < 947) {
      static constexpr int kButtons[] = {kLeftButton, kRightButton, kMiddleButton};
      const int button = kButtons[Pick(3)];
      Do("ProbeClick " + std::to_string(button), [&] { model_.ProbeClick(button); });
    } else if (roll < 972) {
      Do("Convert", [&] { model_.Convert(); });
    } else if (roll < 982) {
      const bool on = Pick(3) != 0;
      Do(std::string("SetResize ") + (on ? "on" : "off"), [&] { model_.SetResize(on); });
    } else {
      Save();
    }
  }

 public:
  // Everything the user can see or get out of the program, except the run time.
  std::uint64_t Hash(bool with_pictures) const {
    Hasher h;
    if (with_pictures) {
      for (const Surface* s :
           {&model_.pic1(), &model_.pic5(), &model_.pic2(), &model_.tvc2(), &model_.tvc4(),
            &model_.tvc16(), &model_.picz(), &model_.piczz(), &model_.pic9()}) {
        h.Add(*s);
      }
    }
    for (int i = 0; i < model_.palette().size(); ++i) h.Add(model_.palette()[i]);
    h.Add(model_.pattern_flags().excluded);
    h.Add(model_.pattern_flags().swapped);
    for (int k = 0; k < kPatternCount; ++k) {
      h.Add(model_.pattern_set().A(k));
      h.Add(model_.pattern_set().B(k));
    }
    h.Add(model_.mode());
    h.Add(model_.method());
    h.Add(model_.resize());
    h.Add(model_.auto_palette());
    for (int i = 0; i < 16; ++i) h.Add(model_.label1(i));
    for (int i = 0; i < 4; ++i) h.Add(model_.label2(i));
    for (int i = 0; i < 2; ++i) h.Add(model_.label3(i));
    h.Add(model_.label4());
    for (int n = 1; n <= 5; ++n) h.Add(model_.shape(n));
    for (int n = 1; n <= 4; ++n) h.Add(model_.slider_text(n));
    h.Add(model_.source_colors_caption());
    h.Add(model_.result_colors_caption());
    h.Add(model_.patterns_used_caption());
    h.Add(model_.probe_caption());
    h.Add(model_.convert_count());
    h.Add(saved_);
    return h.value();
  }

  // Brings the picture and the tables to a fixed shape, so memory can be compared.
  void Normalise() {
    Surface picture("Pic1", 64, 48, 0);
    picture.Fill(MakeColor(90, 140, 30));
    model_.LoadSourcePicture(std::move(picture));
    model_.SelectMode(TvcMode::kGraphics16);
    model_.SelectMethod(DitherMethod::kPatternTvc);
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }

  template <typename F>
  void Do(std::string name, F f) {
    last_ = std::move(name);
    f();
  }

  void Load() {
    static constexpr std::pair<int, int> kSizes[] = {{1, 1},    {2, 3},    {7, 5},     {64, 48},
                                                     {300, 20}, {20, 300}, {512, 480}, {640, 400},
                                                     {1000, 1}, {3, 900}};
    const auto [w, h] = kSizes[Pick(static_cast<int>(std::size(kSizes)))];
    const int kind = Pick(3);
    Surface picture("Pic1", w, h, 0);
    const ColorValue flat[4] = {MakeColor(Pick(256), Pick(256), Pick(256)),
                                MakeColor(Pick(256), Pick(256), Pick(256)), MakeColor(0, 0, 0),
                                MakeColor(255, 255, 255)};
    for (int y = 0; y < h; ++y) {
      std::uint8_t* row = picture.row(y);
      for (int x = 0; x < w; ++x) {
        ColorValue c;
        if (kind == 0) {
          c = static_cast<ColorValue>(rng_() & 0xFFFFFF);
        } else if (kind == 1) {
          c = MakeColor(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), (x + y) & 255);
        } else {
          c = flat[(x * 4 / w + 2 * (y * 2 / h)) % 4];
        }
        row[3 * x] = BlueOf(c);
        row[3 * x + 1] = GreenOf(c);
        row[3 * x + 2] = RedOf(c);
      }
    }
    Do("Load " + std::to_string(w) + "x" + std::to_string(h) + " kind " + std::to_string(kind),
       [&] { model_.LoadSourcePicture(std::move(picture)); });
  }

  void Save() {
    const bool plain = Pick(3) == 0;
    const std::string base = plain ? folder_ + "/out24" : folder_ + "/s" + std::to_string(Pick(3));
    SaveResult r;
    Do(plain ? "Save" : "SaveAs " + fs::path(base).filename().string(),
       [&] { r = plain ? model_.Save(folder_) : model_.SaveAs(base); });
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(model_.output_base_path(), base);
    const std::size_t sizes[] = {54 + 512 * 480 * 3, 16384, 16400};
    int i = 0;
    Hasher h;
    h.Add(saved_);
    for (const char* ext : {".bmp", ".bin", ".tim"}) {
      const std::vector<std::uint8_t> bytes = ReadFile(base + ext);
      EXPECT_EQ(bytes.size(), sizes[i++]) << base << ext;
      h.AddWords(bytes.data(), bytes.size());
    }
    saved_ = h.value();
  }

  std::mt19937_64 rng_;  // the algorithm is fixed by the standard: the same everywhere
  std::string folder_;
  Model model_;
  std::string last_ = "start";
  std::uint64_t saved_ = 0;  // hash of every saved file so far
  bool result_view_whole_ = true;
};

// The palette the selected mode and method leave after a conversion.
int ExpectedPaletteSize(const Model& m) {
  switch (m.mode()) {
    case TvcMode::kGraphics2:
      return 2;
    case TvcMode::kGraphics4:
      return 4;
    case TvcMode::kGraphics16:
      break;
  }
  return m.method() == DitherMethod::kPatternTvc ? kPatternCount : 16;
}

// What must hold after any operation. Returns the first violation, or "".
std::string Violation(const Model& m, bool check_pixels, bool result_view_whole) {
  const int size = m.palette().size();
  if (size != 2 && size != 4 && size != 16 && size != kPatternCount) {
    return "palette size " + std::to_string(size);
  }
  if (m.convert_count() > 0 && size != ExpectedPaletteSize(m)) {
    return "palette size " + std::to_string(size) + " after a conversion in mode " +
           std::to_string(static_cast<int>(m.mode())) + " method " +
           std::to_string(static_cast<int>(m.method()));
  }
  for (int k = 0; k < kPatternCount; ++k) {
    const auto e = m.pattern_flags().excluded[static_cast<std::size_t>(k)];
    const auto s = m.pattern_flags().swapped[static_cast<std::size_t>(k)];
    if ((e != 0 && e != 1) || (s != 0 && s != 1)) return "flags of pattern " + std::to_string(k);
  }
  for (const std::string* caption :
       {&m.source_colors_caption(), &m.result_colors_caption(), &m.run_time_caption(),
        &m.patterns_used_caption(), &m.probe_caption()}) {
    if (!IsNumber(*caption)) return "caption '" + *caption + "'";
  }
  const int probe = std::stoi(m.probe_caption());
  if (probe < 0 || probe >= kPatternCount) return "probe caption " + m.probe_caption();
  for (int n = 1; n <= 4; ++n) {
    if (m.slider(n) < 0 || m.slider(n) > 100 || m.slider_text(n) != std::to_string(m.slider(n))) {
      return "slider " + std::to_string(n) + " at " + std::to_string(m.slider(n)) + " shows '" +
             m.slider_text(n) + "'";
    }
  }
  struct Expect {
    const Surface* s;
    int w, h;
  };
  for (const Expect& e :
       {Expect{&m.pic5(), 512, 480}, Expect{&m.pic2(), 512, 480}, Expect{&m.tvc2(), 512, 240},
        Expect{&m.tvc4(), 256, 240}, Expect{&m.tvc16(), 128, 240}, Expect{&m.picz(), 120, 120},
        Expect{&m.piczz(), 120, 120}}) {
    if (e.s->width() != e.w || e.s->height() != e.h || e.s->size_bytes() != e.s->stride() * e.h) {
      return e.s->name() + " is " + std::to_string(e.s->width()) + "x" +
             std::to_string(e.s->height());
    }
  }
  if (m.pic1().width() <= 0 || m.pic1().size_bytes() != m.pic1().stride() * m.pic1().height()) {
    return "Pic1 storage";
  }
  // A 2- or 4-colour screen can only show its palette's colours.
  if (check_pixels && m.convert_count() > 0 && m.mode() != TvcMode::kGraphics16) {
    std::set<ColorValue> allowed;
    for (int i = 0; i < size; ++i) allowed.insert(ColorFromEntry(m.palette()[i]));
    const Surface& preview = m.preview(m.mode());
    for (int y = 0; y < preview.height(); ++y) {
      for (int x = 0; x < preview.width(); ++x) {
        if (!allowed.count(PixelAt(preview, x, y))) {
          return "preview pixel " + std::to_string(x) + "," + std::to_string(y) +
                 " is not a palette colour";
        }
      }
    }
    // With "Resize " off the result view keeps what earlier conversions left beside the copy.
    if (result_view_whole && std::stoi(m.result_colors_caption()) > size) {
      return "result colours " + m.result_colors_caption();
    }
  }
  return "";
}

class LongSessionTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/tvcpix-session-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    fs::create_directory(dir_ + "/a");
    fs::create_directory(dir_ + "/b");
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string dir_;
};

constexpr std::uint64_t kSeed = 20240611;
// Hashing every surface costs more than most steps; every 25th step (the last of each thousand
// among them) hashes them all.
constexpr int kPictureHashEvery = 25;
constexpr std::size_t kOperationKinds = 17;

// What a run of the session gave: a hash after every step, the memory at each checkpoint, and
// the kinds of operation it did. The vectors are reserved up front, so keeping them costs no
// memory between the checkpoints.
struct SessionRecord {
  std::vector<std::uint64_t> hashes;
  std::vector<std::size_t> memory;
  std::set<std::string> kinds;
};

// Runs the session, checking the invariants after every step, and against `expected` (a
// record of an earlier run from the same seed) when given. At each checkpoint the picture and
// tables are brought to one shape and the memory in use is noted.
SessionRecord RunSession(const std::string& folder, int steps, const std::vector<int>& checkpoints,
                         const SessionRecord* expected = nullptr) {
  SessionRecord run;
  run.hashes.reserve(static_cast<std::size_t>(steps));
  run.memory.reserve(checkpoints.size());
  Session session(kSeed, folder);
  for (int i = 0; i < steps; ++i) {
    session.Step();
    if (run.kinds.size() < kOperationKinds) {
      run.kinds.insert(session.last().substr(0, session.last().find(' ')));
    }
    const std::string bad = Violation(session.model(), i % 10 == 0, session.result_view_whole());
    EXPECT_EQ(bad, "") << "after step " << i << " (" << session.last() << ")";
    if (!bad.empty()) break;
    if (std::find(checkpoints.begin(), checkpoints.end(), i) != checkpoints.end()) {
      session.Normalise();
      run.memory.push_back(InUseBytes());
    }
    Hasher h;
    h.Add(session.last());
    h.Add(session.Hash((i + 1) % kPictureHashEvery == 0));
    run.hashes.push_back(h.value());
    if (expected != nullptr && run.hashes.back() != expected->hashes[static_cast<std::size_t>(i)]) {
      ADD_FAILURE() << "replay differs after step " << i << " (" << session.last() << ")";
      break;
    }
  }
  return run;
}

TEST_F(LongSessionTest, InvariantsHoldReplayMatchesAndMemoryStays) {
  const int steps = StepCount();
  const std::vector<int> checkpoints = {steps / 4, steps - 1};
  const SessionRecord first = RunSession(dir_ + "/a", steps, checkpoints);
  ASSERT_EQ(first.hashes.size(), static_cast<std::size_t>(steps));
  // The session really did every kind of thing a user does.
  EXPECT_EQ(first.kinds.size(), kOperationKinds);

  // The same seed again: the same steps, pictures, tables, captions and saved files.
  const int replayed = std::min(steps, ReplayCount());
  const SessionRecord second = RunSession(dir_ + "/b", replayed, checkpoints, &first);
  ASSERT_EQ(second.hashes.size(), static_cast<std::size_t>(replayed));
  if (replayed == steps) {
    for (const auto& e : fs::directory_iterator(dir_ + "/a")) {
      const std::string name = e.path().filename();
      EXPECT_EQ(ReadFile(e.path()), ReadFile(dir_ + "/b/" + name)) << name;
    }
  }

  // Between the checkpoints, thousands of steps: a leak of even a few bytes a step shows.
#ifndef TVCPIX_ASAN  // its allocator keeps freed memory aside; LeakSanitizer checks leaks there
  ASSERT_EQ(first.memory.size(), 2u);
  const std::size_t slack = 4096;  // capacities of a few strings differ from step to step
  EXPECT_LE(first.memory[1], first.memory[0] + slack)
      << "grew by " << (first.memory[1] - first.memory[0]) << " bytes over "
      << (checkpoints[1] - checkpoints[0]) << " steps";
#endif
}

}  // namespace
}  // namespace tvcpix
