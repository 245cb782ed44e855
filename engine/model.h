// The model object: every piece of state the windows show, and one operation per handler.
// The windows and the command-line tool only forward events to it and draw what it holds.
#ifndef TVCPIX_ENGINE_MODEL_H_
#define TVCPIX_ENGINE_MODEL_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/color.h"
#include "core/mode.h"
#include "core/palette.h"
#include "core/run_timer.h"
#include "core/surface.h"
#include "dither/method.h"
#include "dither/noise_source.h"
#include "dither/pattern_set.h"
#include "engine/conversion.h"
#include "engine/palette_choice.h"
#include "output/save.h"

namespace tvcpix {

class History;
struct ModelState;

// One tone filter as it acts on the picture: slider n (1..4) at a value.
struct ToneStep {
  int slider = 0;
  int value = 50;
  friend bool operator==(const ToneStep&, const ToneStep&) = default;
};

// What a tone slider's value does to the picture now.
enum class ToneState {
  kUntouched,  // not moved since the picture was loaded
  kLive,       // its filter is in the work picture
  kSet,        // its filter went into the source picture by "Set"
  kDiscarded,  // moving another slider rebuilt the work picture without it
};

// Mouse buttons as the handlers number them.
enum MouseButton : int { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

class Model {
 public:
  static constexpr int kSwatchPicSize = 312;  // visible part of the editor's swatch picture

  // Window start: swatches filled, palette left holding the 16-colour table, all pattern flags
  // 0, pattern pairs filled and every swatch drawn on; no conversion.
  Model();
  ~Model();
  Model(Model&&) noexcept;
  Model& operator=(Model&&) noexcept;

  // ---- Surfaces
  const Surface& pic1() const { return *pic1_; }
  const Surface& pic5() const { return pic5_; }
  const Surface& pic2() const { return pic2_; }
  const Surface& tvc2() const { return tvc2_; }
  const Surface& tvc4() const { return tvc4_; }
  const Surface& tvc16() const { return tvc16_; }
  const Surface& preview(TvcMode mode) const;
  const Surface& picz() const { return picz_; }
  const Surface& piczz() const { return piczz_; }
  const Surface& pic9() const { return pic9_; }  // the pattern editor's swatch picture

  // ---- Tables
  const Palette& palette() const { return palette_; }
  const PatternFlags& pattern_flags() const { return flags_; }
  const PatternSet& pattern_set() const { return patterns_; }

  // ---- Settings and captions
  TvcMode mode() const { return mode_; }
  DitherMethod method() const { return method_; }
  bool resize() const { return resize_; }                                          // "Resize "
  bool auto_palette() const { return auto_palette_; }                              // "Auto Palette"
  ColorValue label1(int i) const { return label1_[static_cast<std::size_t>(i)]; }  // 0..15
  ColorValue label2(int i) const { return label2_[static_cast<std::size_t>(i)]; }  // 0..3
  ColorValue label3(int i) const { return label3_[static_cast<std::size_t>(i)]; }  // 0..1
  ColorValue label4() const { return label4_; }
  // The swatch rows follow the selected mode (Frame4: 4 colours, Frame5: 2 colours).
  bool frame4_enabled() const { return mode_ == TvcMode::kGraphics4; }
  bool frame5_enabled() const { return mode_ == TvcMode::kGraphics2; }
  int slider(int n) const { return sliders_[static_cast<std::size_t>(n - 1)]; }  // n = 1..4
  const std::string& slider_text(int n) const { return texts_[static_cast<std::size_t>(n - 1)]; }
  // Form1 Label6: the colours of Pic1 as loaded. Counted when first asked for (or before Pic1
  // changes), so a caller that never shows it (the command-line tool) never pays for it.
  const std::string& source_colors_caption() const;
  const std::string& result_colors_caption() const { return label7_; }        // Form1 Label7
  const std::string& run_time_caption() const { return label10_; }            // Form1 Label10
  const std::string& patterns_used_caption() const { return editor_count_; }  // Form2 Label7
  const std::string& probe_caption() const { return label9_; }                // Label9
  ColorValue shape(int n) const { return shapes_[static_cast<std::size_t>(n - 1)]; }  // 1..5
  const std::string& output_base_path() const { return output_base_path_; }           // Label12
  std::uint64_t convert_count() const { return convert_count_; }
  // Whether a conversion whose inputs equal the previous one's reuses its result (on by
  // default; the result is the same either way, tests compare the two).
  void SetReuseConversions(bool on) { reuse_conversions_ = on; }
  // The perceptual methods' strength 0..100, or kDefaultStrength (each method's own).
  int strength() const { return strength_; }

  // ---- Where the picture came from and what the sliders did to it
  // The file the picture was loaded from; empty when it did not come from a file.
  const std::string& source_path() const { return source_path_; }
  // The picture as loaded, shared with Pic1 until "Set" replaces Pic1.
  const std::shared_ptr<const Surface>& loaded_picture() const { return loaded_; }
  const std::shared_ptr<const Surface>& shared_pic1() const { return pic1_; }
  ToneState tone_state(int n) const { return tone_states_[static_cast<std::size_t>(n - 1)]; }
  // The filters that made the work picture from the loaded one, in order: those "Set" made
  // permanent, then those acting on the work picture now. Filters that change nothing (any
  // slider but Gamma at 50) are left out.
  std::vector<ToneStep> ToneRecipe() const;
  // Whether a pattern was switched or swapped by hand since the picture was loaded.
  bool patterns_edited() const { return patterns_edited_; }

  // ---- Combined tone sliders (off: one slider acts at a time, as designed)
  // On: every slider not at 50 (and not already made permanent by "Set") acts on Pic1 at each
  // move, in the order brightness, gamma, color, contrast; "Set" then returns them to 50.
  bool combine_tones() const { return combine_tones_; }
  void SetCombineTones(bool on) { combine_tones_ = on; }

  // ---- Undo and redo of every operation that converts (off unless enabled)
  void EnableHistory(bool on);
  bool history_enabled() const { return history_ != nullptr; }
  bool CanUndo() const;
  bool CanRedo() const;
  std::string undo_name() const;  // "Brightness 60"; empty when there is nothing to undo
  std::string redo_name() const;
  bool Undo();
  bool Redo();
  int undo_count() const;
  // Bytes of pixels the history holds that the model itself does not hold now.
  std::size_t history_bytes() const;

  // ---- Form1 handlers
  // File2_Click after the file was decoded: the load sequence with "Auto Palette".
  void LoadSourcePicture(Surface picture, const std::string& source_path = {});
  void Convert();                                  // Command1_Click
  void Set();                                      // Command6_Click "Set"
  void MoveSlider(int n, int value);               // HScrollN_Scroll / HScrollN_Change, n = 1..4
  void PickColor(int index);                       // Label1_Click
  void AssignColor4(int index);                    // Label2_Click (only while Frame4 is enabled)
  void AssignColor2(int index);                    // Label3_Click (only while Frame5 is enabled)
  void SelectMethod(DitherMethod method);          // Option1_Click
  void SelectMode(TvcMode mode);                   // Option2_Click
  Result Save(const std::string& program_folder);  // Command3_Click "Save"
  Result SaveAs(const std::string& base_path);     // Command7_Click "Save As", after dialog
  // The base path for a name typed in the "Save As" dialog: a typed ".bmp", ".bin" or ".tim"
  // (any case) is taken off, since the three suffixes are added to the base.
  static std::string OutputBaseFor(const std::string& chosen);
  // The file among base + ".bmp", ".bin", ".tim" that is the loaded picture's file, if any.
  std::string OutputOverSource(const std::string& base_path) const;
  // Whether path names the loaded picture's file.
  bool IsSourceFile(const std::string& path) const;
  // "Export for TVC": the current result as a cassette (.cas) or tape audio (.wav) file, by
  // the path's suffix. On success *summary (optional) says what was written.
  Result ExportForTvc(const std::string& path, std::string* summary = nullptr) const;
  void ProbeMove(int x, int y);    // Pic2_MouseMove, x/y in Pic2 pixels
  void ProbeClick(int button);     // Pic2_MouseDown
  void SelectStrength(int value);  // the perceptual methods' strength, 0..100

  // ---- Form2 (pattern editor) procedures
  void FillPatternPairs();                     // Command3_Click
  void DrawAllSwatchesOn();                    // Command4_Click
  void RedrawEditor();                         // Command9_Click: redraw, count, convert
  void AllOn();                                // Command6_Click "All On"
  void AllOff();                               // Command7_Click "All Off"
  void ClickSwatch(int button, int x, int y);  // Pic9_MouseDown, x/y in Pic9 pixels

  // ---- Direct settings, for the command-line tool (no conversion runs)
  void SetResize(bool on) { resize_ = on; }
  void SetMode(TvcMode mode) { mode_ = mode; }
  void SetMethod(DitherMethod method) { method_ = method; }
  void SetSwatch4(int i, ColorValue c) { label2_[static_cast<std::size_t>(i)] = c; }
  void SetSwatch2(int i, ColorValue c) { label3_[static_cast<std::size_t>(i)] = c; }
  void SetStrength(int value) { strength_ = value; }  // 0..100 or kDefaultStrength
  // The load without its conversions: Pic1, sliders back to 50, Pic5 by the "Resize " rule.
  // The command-line tool applies its tone options after it, then RunLoadConversions.
  void AssignSourcePicture(Surface picture);
  void AssignSourcePicture(std::shared_ptr<const Surface> picture);
  // The conversions that end a load (steps 1 and 6-9): "Auto Palette" on, "All On", Convert,
  // "Auto Palette" off, RedrawEditor. The command-line tool runs them after its tone options.
  void RunLoadConversions();

  // ---- Palette choice (Graphics 4 and 2)
  // The three best swatch palettes for the work picture with the selected mode and method,
  // best first (indices of the 16-colour table, ascending; empty in Graphics 16). Changes
  // nothing: no table, noise value or caption moves.
  std::vector<RankedPalette> BestPalettes() const;
  // Sets the mode's swatch row (Label2 for Graphics 4, Label3 for Graphics 2) to the table
  // colours of the indices, as clicks on the swatches would, and converts once.
  void ApplyPalette(TvcMode mode, const std::vector<int>& indices);

 private:
  friend class StepScope;

  Surface& MutablePreview(TvcMode mode);
  void ApplyFilter(int n);
  void AssignPic1(std::shared_ptr<const Surface> picture);
  std::shared_ptr<const ModelState> Capture(const ModelState* like) const;
  void Restore(const ModelState& state);
  // Pic1 scaled smooth to Pic5's size. Pic1 changes only by a load or "Set", so the scale is
  // made once per change and copied on every slider move.
  const Surface& ScaledSource();
  void Magnify(Surface& view, const Surface& source, int sx, int sy);
  Result WriteOutputs();

  // Pic1 and its scale are replaced whole, never written, so undo steps share them.
  std::shared_ptr<const Surface> pic1_, loaded_;
  std::shared_ptr<Surface> scaled_source_;  // written only while no undo step shares it
  Surface pic5_, pic2_, tvc2_, tvc4_, tvc16_, picz_, piczz_, pic9_;
  bool scaled_source_valid_ = false;
  Palette palette_;
  PatternFlags flags_;
  PatternSet patterns_;
  NoiseSource noise_;
  RunTimer timer_;

  TvcMode mode_ = TvcMode::kGraphics16;
  DitherMethod method_ = DitherMethod::kPatternTvc;
  bool resize_ = true;
  bool auto_palette_ = false;
  std::array<ColorValue, 16> label1_{};
  std::array<ColorValue, 4> label2_{};
  std::array<ColorValue, 2> label3_{};
  ColorValue label4_ = MakeColor(64, 64, 64);
  std::array<int, 4> sliders_{50, 50, 50, 50};
  std::array<std::string, 4> texts_{"50", "50", "50", "50"};
  std::string label7_ = "0", label10_ = "0", editor_count_ = "0", label9_ = "0";
  mutable std::string label6_ = "0";
  mutable bool label6_pending_ = false;
  std::array<ColorValue, 5> shapes_{};
  std::string output_base_path_ = "Label12";
  std::uint64_t convert_count_ = 0;
  bool reuse_conversions_ = true;
  ConversionCache cache_;

  std::string source_path_;
  std::vector<ToneStep> set_tones_, live_tones_;
  std::array<ToneState, 4> tone_states_{};
  bool patterns_edited_ = false;
  bool combine_tones_ = false;
  std::unique_ptr<History> history_;
  int step_depth_ = 0;
  int strength_ = kDefaultStrength;
};

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_MODEL_H_
