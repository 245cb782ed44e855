// Undo and redo: the model's state before each step that converts, kept as whole states
// that share every picture they have in common, so one step costs only what it changed.
#ifndef TVCPIX_ENGINE_HISTORY_H_
#define TVCPIX_ENGINE_HISTORY_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "dither/method.h"
#include "dither/noise_source.h"
#include "dither/pattern_set.h"
#include "engine/model.h"

namespace tvcpix {

// Everything a step can change. Pictures are shared and never written once stored.
struct ModelState {
  std::shared_ptr<const Surface> pic1, scaled_source, loaded;
  std::shared_ptr<const Surface> pic5, pic2, tvc2, tvc4, tvc16, picz, piczz, pic9;
  Palette palette;
  PatternFlags flags;
  PatternSet patterns;
  NoiseSource noise;  // "Treshold+Noise" goes on exactly where it was
  TvcMode mode = TvcMode::kGraphics16;
  DitherMethod method = DitherMethod::kPatternTvc;
  bool resize = true;
  bool auto_palette = false;
  std::array<ColorValue, 4> label2{};
  std::array<ColorValue, 2> label3{};
  ColorValue label4 = 0;
  std::array<int, 4> sliders{};
  std::array<std::string, 4> texts;
  std::string label7, label10, editor_count, label9, label6;
  bool label6_pending = false;
  std::array<ColorValue, 5> shapes{};
  std::uint64_t convert_count = 0;
  std::string source_path;
  std::vector<ToneStep> set_tones, live_tones;
  std::array<ToneState, 4> tone_states{};
  bool patterns_edited = false;
  int strength = kDefaultStrength;

  // The pictures this state holds, for the memory count.
  std::vector<const Surface*> Pictures() const;
};

// The two stacks. A step is dropped from the old end when there are more than kMaxSteps, or
// when the pictures held only by the history pass kMaxBytes (the newest step always stays).
class History {
 public:
  static constexpr std::size_t kMaxSteps = 100;
  static constexpr std::size_t kMaxBytes = std::size_t{192} << 20;

  struct Step {
    std::string name;
    std::shared_ptr<const ModelState> before;  // the state the step started from
    int merge_key = 0;
  };

  // A new step clears the redo stack. A step with the merge key of the newest step (not 0)
  // joins it instead: a slider dragged is one step, named by its last value.
  void Push(Step step);
  bool WouldMerge(int merge_key) const;
  void Rename(std::string name);

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  const std::string& undo_name() const { return undo_.back().name; }
  const std::string& redo_name() const { return redo_.back().name; }
  int undo_count() const { return static_cast<int>(undo_.size()); }

  // Moves the newest step to the other stack, which will restore `now` for it; returns the
  // state to put in place.
  std::shared_ptr<const ModelState> Undo(std::shared_ptr<const ModelState> now);
  std::shared_ptr<const ModelState> Redo(std::shared_ptr<const ModelState> now);

  // Bytes of the distinct pictures held, leaving out those in `exclude` (the live model's).
  std::size_t Bytes(const std::vector<const Surface*>& exclude) const;
  // The newest stored state, to share unchanged pictures with.
  const ModelState* Newest() const;

 private:
  void Trim();

  std::deque<Step> undo_, redo_;
  bool merge_open_ = false;  // the newest undo step may still take merges
};

// Records one step around a model operation: the state before it, pushed when the operation
// changed the model (converted, or replaced Pic1). Inner operations record nothing.
class StepScope {
 public:
  StepScope(Model& model, std::string name, int merge_key = 0);
  ~StepScope();
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

 private:
  Model& model_;
  std::string name_;
  int merge_key_;
  bool outer_ = false;
  bool merging_ = false;
  std::shared_ptr<const ModelState> before_;
  std::uint64_t converts_before_ = 0;
  const Surface* pic1_before_ = nullptr;
};

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_HISTORY_H_
