// The model object: window start and every handler's operation.
#include "engine/model.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "adjust/tone.h"
#include "core/color_count.h"
#include "core/tvc.h"
#include "engine/history.h"
#include "engine/pattern_editor.h"

namespace tvcpix {

namespace {
constexpr ColorValue kDarkGrey = MakeColor(64, 64, 64);
constexpr ColorValue kPreviewBackground = MakeColor(192, 192, 255);
constexpr ColorValue kWhite = MakeColor(255, 255, 255);
constexpr ColorValue kBlack = MakeColor(0, 0, 0);
constexpr const char* kToneNames[4] = {"Brightness", "Gamma", "Color", "Contrast"};
// Merge key of the strength slider's steps (the tone sliders use 1..4).
constexpr int kStrengthStep = 5;

std::string FileNameOf(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

// The same surface, or an unchanged copy shared with an earlier state.
std::shared_ptr<const Surface> Share(const Surface& now,
                                     const std::shared_ptr<const Surface>& earlier) {
  if (earlier && *earlier == now) return earlier;
  return std::make_shared<const Surface>(now);
}

void Put(Surface& into, const std::shared_ptr<const Surface>& stored) {
  if (!(into == *stored)) into = *stored;
}
}  // namespace

Model::Model()
    : pic1_(std::make_shared<const Surface>("Pic1", 96, 64, MakeColor(128, 128, 128))),
      pic5_("Pic5", kViewWidth, kViewHeight, kDarkGrey),
      pic2_("Pic2", kViewWidth, kViewHeight, kDarkGrey),
      tvc2_("TVC2", InfoOf(TvcMode::kGraphics2).preview_width, kScreenRows, kPreviewBackground),
      tvc4_("TVC4", InfoOf(TvcMode::kGraphics4).preview_width, kScreenRows, kPreviewBackground),
      tvc16_("TVC16", InfoOf(TvcMode::kGraphics16).preview_width, kScreenRows, kPreviewBackground),
      picz_("PicZ", 120, 120, kWhite),
      piczz_("PicZZ", 120, 120, kWhite),
      pic9_("Pic9", kSwatchPicSize, kSwatchPicSize, kSwatchBackground) {
  shapes_.fill(kDarkGrey);
  for (std::size_t i = 0; i < 2; ++i)
    label3_[i] = ColorFromEntry(Tvc16Color(kStartPalette2Indices[i]));
  for (std::size_t i = 0; i < 4; ++i)
    label2_[i] = ColorFromEntry(Tvc16Color(kStartPalette4Indices[i]));
  BuildPalette16(palette_);
  for (int i = 0; i < 16; ++i) label1_[static_cast<std::size_t>(i)] = ColorFromEntry(palette_[i]);
  FillPatternPairs();
  DrawAllSwatchesOn();
}

Model::~Model() = default;
Model::Model(Model&&) noexcept = default;
Model& Model::operator=(Model&&) noexcept = default;

const Surface& Model::preview(TvcMode mode) const {
  switch (mode) {
    case TvcMode::kGraphics2:
      return tvc2_;
    case TvcMode::kGraphics4:
      return tvc4_;
    case TvcMode::kGraphics16:
      break;
  }
  return tvc16_;
}

Surface& Model::MutablePreview(TvcMode mode) {
  return const_cast<Surface&>(static_cast<const Model*>(this)->preview(mode));
}

// ---- Conversion pipeline

void Model::Convert() {
  const StepScope step(*this, "Convert");
  timer_.Start();
  Surface& preview = MutablePreview(mode_);
  const ConversionInput input{&pic5_,        mode_,   method_, resize_,
                              auto_palette_, label2_, label3_, strength_};
  const ConversionTables tables{&palette_, &flags_, &patterns_, &noise_};
  if (reuse_conversions_ && cache_.Matches(input, tables)) {
    cache_.Restore(tables, preview);  // the same inputs give the same preview and tables
  } else {
    cache_.Convert(input, tables, preview);
  }
  ScaleSurface(pic2_, preview, resize_ ? pic2_.width() : preview.width(),
               resize_ ? pic2_.height() : preview.height(), 0);
  label7_ = std::to_string(CountColors(pic2_));
  label10_ = std::to_string(timer_.Elapsed());
  ++convert_count_;
}

// ---- Loading, "Set" and the sliders

const std::string& Model::source_colors_caption() const {
  if (label6_pending_) {
    label6_ = std::to_string(CountColors(*pic1_));
    label6_pending_ = false;
  }
  return label6_;
}

void Model::AssignPic1(std::shared_ptr<const Surface> picture) {
  source_colors_caption();  // the caption counts the picture that was loaded
  pic1_ = std::move(picture);
  scaled_source_valid_ = false;
}

const Surface& Model::ScaledSource() {
  if (!scaled_source_valid_ || !scaled_source_) {
    // The buffer is reused unless an undo step still holds the earlier scale.
    if (!scaled_source_ || scaled_source_.use_count() > 1)
      scaled_source_ =
          std::make_shared<Surface>("Pic5", pic5_.width(), pic5_.height(), pic5_.background());
    ScaleSurface(*scaled_source_, *pic1_, pic5_.width(), pic5_.height(), 1);
    scaled_source_valid_ = true;
  }
  return *scaled_source_;
}

void Model::LoadSourcePicture(Surface picture, const std::string& source_path) {
  const StepScope step(
      *this, "Load " + (source_path.empty() ? std::string("picture") : FileNameOf(source_path)));
  auto_palette_ = true;
  AssignSourcePicture(std::move(picture));
  source_path_ = source_path;
  AllOn();
  Convert();
  auto_palette_ = false;
  RedrawEditor();
}

void Model::AssignSourcePicture(Surface picture) {
  auto pic1 = std::make_shared<Surface>("Pic1", 0, 0, pic1_->background());
  pic1->AdoptPixels(std::move(picture));
  AssignSourcePicture(std::shared_ptr<const Surface>(std::move(pic1)));
}

void Model::AssignSourcePicture(std::shared_ptr<const Surface> picture) {
  label6_pending_ = false;  // the earlier picture's count is replaced unread
  AssignPic1(std::move(picture));
  for (int n = 1; n <= 4; ++n)
    if (slider(n) != 50) MoveSlider(n, 50);
  if (resize_) {
    std::copy_n(ScaledSource().data(), pic5_.size_bytes(), pic5_.data());
  } else {
    ScaleSurface(pic5_, *pic1_, pic1_->width(), pic1_->height(), 0);
  }
  label6_pending_ = true;
  loaded_ = pic1_;
  source_path_.clear();
  set_tones_.clear();
  live_tones_.clear();
  tone_states_.fill(ToneState::kUntouched);
  patterns_edited_ = false;
}

void Model::RunLoadConversions() {
  auto_palette_ = true;
  AllOn();
  Convert();
  auto_palette_ = false;
  RedrawEditor();
}

void Model::Set() {
  const StepScope step(*this, "Set");
  auto copy = std::make_shared<Surface>("Pic1", 0, 0, pic1_->background());
  copy->AdoptPixels(Surface(pic5_));
  AssignPic1(std::move(copy));
  set_tones_.insert(set_tones_.end(), live_tones_.begin(), live_tones_.end());
  live_tones_.clear();
  for (int n = 1; n <= 4; ++n) {
    ToneState& state = tone_states_[static_cast<std::size_t>(n - 1)];
    if (state != ToneState::kLive) continue;
    state = ToneState::kSet;
    if (combine_tones_) {
      // Combined sliders act on Pic1 each time; what is now part of it starts again at 50.
      sliders_[static_cast<std::size_t>(n - 1)] = 50;
      texts_[static_cast<std::size_t>(n - 1)] = "50";
      state = ToneState::kUntouched;
    }
  }
}

void Model::MoveSlider(int n, int value) {
  if (n < 1 || n > 4) return;
  value = std::clamp(value, 0, 100);
  const StepScope step(*this, std::string(kToneNames[n - 1]) + " " + std::to_string(value), n);
  sliders_[static_cast<std::size_t>(n - 1)] = value;
  texts_[static_cast<std::size_t>(n - 1)] = std::to_string(value);
  std::copy_n(ScaledSource().data(), pic5_.size_bytes(), pic5_.data());
  live_tones_.clear();
  if (!combine_tones_) {
    for (ToneState& state : tone_states_)
      if (state == ToneState::kLive) state = ToneState::kDiscarded;
    ApplyFilter(n);
    tone_states_[static_cast<std::size_t>(n - 1)] = ToneState::kLive;
    live_tones_.push_back({n, value});
  } else {
    tone_states_[static_cast<std::size_t>(n - 1)] = ToneState::kLive;
    for (int m = 1; m <= 4; ++m) {
      ToneState& state = tone_states_[static_cast<std::size_t>(m - 1)];
      if (state == ToneState::kSet) continue;  // already in Pic1
      if (slider(m) == 50) {
        if (state != ToneState::kUntouched) state = ToneState::kLive;
        continue;
      }
      ApplyFilter(m);
      state = ToneState::kLive;
      live_tones_.push_back({m, slider(m)});
    }
  }
  Convert();
}

std::vector<ToneStep> Model::ToneRecipe() const {
  std::vector<ToneStep> recipe;
  for (const auto* part : {&set_tones_, &live_tones_})
    for (const ToneStep& t : *part)
      if (t.slider == 2 || t.value != 50) recipe.push_back(t);
  return recipe;
}

void Model::ApplyFilter(int n) {
  const int v = slider(n);
  switch (n) {
    case 1:
      AdjustBrightness(pic5_, pic5_, v);
      break;
    case 2:
      AdjustGamma(pic5_, pic5_, static_cast<float>(v));
      break;
    case 3:
      AdjustColor(pic5_, pic5_, v);
      break;
    case 4:
      AdjustContrast(pic5_, pic5_, v);
      break;
  }
}

// ---- Swatches and options

void Model::PickColor(int index) {
  if (index < 0 || index >= 16) return;
  label4_ = label1_[static_cast<std::size_t>(index)];
}

void Model::AssignColor4(int index) {
  if (!frame4_enabled() || index < 0 || index >= 4) return;
  const StepScope step(*this, "4-colour swatch " + std::to_string(index + 1));
  label2_[static_cast<std::size_t>(index)] = label4_;
  Convert();
}

void Model::AssignColor2(int index) {
  if (!frame5_enabled() || index < 0 || index >= 2) return;
  const StepScope step(*this, "2-colour swatch " + std::to_string(index + 1));
  label3_[static_cast<std::size_t>(index)] = label4_;
  Convert();
}

void Model::SelectMethod(DitherMethod method) {
  const StepScope step(*this, MethodCaption(method));
  method_ = method;
  Convert();
}

void Model::SelectMode(TvcMode mode) {
  const StepScope step(*this, InfoOf(mode).caption);
  mode_ = mode;
  Convert();  // the swatch rows follow the mode afterwards (frame4_enabled/frame5_enabled)
}

// ---- Saving

Result Model::WriteOutputs() {
  return SaveAll(output_base_path_, pic2_, preview(mode_), mode_, palette_);
}

Result Model::Save(const std::string& program_folder) {
  output_base_path_ = program_folder + "/out24";
  return WriteOutputs();
}

Result Model::SaveAs(const std::string& base_path) {
  output_base_path_ = base_path;
  return WriteOutputs();
}

std::string Model::OutputBaseFor(const std::string& chosen) {
  if (chosen.size() <= 4) return chosen;
  std::string ext = chosen.substr(chosen.size() - 4);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool ours = ext == ".bmp" || ext == ".bin" || ext == ".tim";
  // "/x/.bmp" is a file name of its own, not a suffix.
  const char before = chosen[chosen.size() - 5];
  return ours && before != '/' ? chosen.substr(0, chosen.size() - 4) : chosen;
}

bool Model::IsSourceFile(const std::string& path) const {
  if (source_path_.empty()) return false;
  std::error_code ec;
  return std::filesystem::equivalent(source_path_, path, ec) && !ec;
}

std::string Model::OutputOverSource(const std::string& base_path) const {
  for (const char* ext : {".bmp", ".bin", ".tim"})
    if (IsSourceFile(base_path + ext)) return base_path + ext;
  return {};
}

// ---- Magnifier and probe

void Model::Magnify(Surface& view, const Surface& source, int sx, int sy) {
  view.Clear();  // parts of the block outside the source show the white background
  for (int j = 0; j < 5; ++j) {
    for (int i = 0; i < 5; ++i) {
      const int x = sx + i, y = sy + j;
      if (x < 0 || y < 0 || x >= source.width() || y >= source.height()) continue;
      view.FillRect(24 * i, 24 * j, 24 * i + 23, 24 * j + 23, PixelAt(source, x, y));
    }
  }
}

void Model::ProbeMove(int x, int y) {
  // A pointer far outside shows the same as one just outside; the clamp keeps x - 2 and the
  // block's last column in int range for any position.
  const int sx = std::clamp(x, -16, 1 << 24) - 2, sy = std::clamp(y, -16, 1 << 24) - 2;
  Magnify(picz_, pic5_, sx, sy);
  Magnify(piczz_, pic2_, sx, sy);
  picz_.DrawBox(48, 48, 70, 70, kWhite);
  picz_.DrawBox(47, 47, 71, 71, kBlack);
  piczz_.DrawBox(48, 48, 70, 70, kBlack);
  piczz_.DrawBox(47, 47, 71, 71, kWhite);
  if (x < 0 || y < 0 || x >= pic5_.width() || y >= pic5_.height()) return;
  const ColorValue c = PixelAt(pic5_, x, y);
  shapes_[0] = c;
  const int k = NearestIndexUnmarked(palette_, flags_, RedOf(c), GreenOf(c), BlueOf(c));
  label9_ = std::to_string(k);
  shapes_[1] = shapes_[4] = ColorFromEntry(patterns_.A(k));
  shapes_[2] = shapes_[3] = ColorFromEntry(patterns_.B(k));
}

void Model::ProbeClick(int button) {
  const int k = std::clamp(std::stoi(label9_), 0, kPatternCount - 1);
  const StepScope step(*this, "Pattern " + std::to_string(k) +
                                  (button == kLeftButton    ? " off"
                                   : button == kRightButton ? " swapped"
                                                            : " on"));
  patterns_edited_ = true;
  const std::size_t kk = static_cast<std::size_t>(k);
  if (button == kLeftButton) {
    if (flags_.excluded[kk] == 0) flags_.excluded[kk] = 1;
  } else {
    flags_.excluded[kk] = 0;
  }
  if (button == kRightButton) SwapPattern(patterns_, k);
  const bool swapped = flags_.swapped[kk] == 1;
  const ColorValue a = ColorFromEntry(patterns_.A(k)), b = ColorFromEntry(patterns_.B(k));
  shapes_[1] = shapes_[4] = swapped ? b : a;
  shapes_[2] = shapes_[3] = swapped ? a : b;
  RedrawEditor();
}

// ---- Pattern editor

void Model::FillPatternPairs() { tvcpix::FillPatternPairs(patterns_); }

void Model::DrawAllSwatchesOn() {
  for (int i = 0; i < 15; ++i)
    for (int j = i; j < 15; ++j)
      DrawSwatchOn(pic9_, SwatchLeft(j), SwatchTop(i),
                   ColorFromEntry(MatchColor(PatternIndex(i, j))));
}

void Model::RedrawEditor() {
  int count = 0;
  for (int i = 0; i < 15; ++i) {
    for (int j = i; j < 15; ++j) {
      const int k = PatternIndex(i, j);
      const ColorValue c = ColorFromEntry(MatchColor(k));
      if (flags_.excluded[static_cast<std::size_t>(k)] != 1) {
        DrawSwatchOn(pic9_, SwatchLeft(j), SwatchTop(i), c);
        ++count;
      } else {
        DrawSwatchOff(pic9_, SwatchLeft(j), SwatchTop(i), c);
      }
    }
  }
  editor_count_ = std::to_string(count);
  Convert();
}

void Model::AllOn() {
  const StepScope step(*this, "All On");
  if (step_depth_ == 1) patterns_edited_ = true;
  flags_.excluded.fill(0);
  flags_.swapped.fill(0);
  RedrawEditor();
}

void Model::AllOff() {
  const StepScope step(*this, "All Off");
  patterns_edited_ = true;
  flags_.excluded.fill(1);
  flags_.swapped.fill(0);
  RedrawEditor();
}

void Model::ClickSwatch(int button, int x, int y) {
  const std::optional<int> hit = SwatchAt(pic9_, x, y);
  if (!hit) return;
  const int k = *hit;
  const std::size_t kk = static_cast<std::size_t>(k);
  const StepScope step(*this, "Pattern " + std::to_string(k) +
                                  (button == kLeftButton    ? " switched"
                                   : button == kRightButton ? " swapped"
                                                            : " redrawn"));
  patterns_edited_ = true;
  int i = 0, j = 0;
  PatternPair(k, &i, &j);
  const int left = SwatchLeft(j), top = SwatchTop(i);
  const ColorValue c = ColorFromEntry(MatchColor(k));
  if (button == kLeftButton) {
    if (flags_.excluded[kk] == 1) {
      DrawSwatchOn(pic9_, left, top, c);
      flags_.excluded[kk] = 0;
    } else {
      DrawSwatchOff(pic9_, left, top, c);
      flags_.excluded[kk] = 1;
    }
  }
  if (button == kRightButton) {
    SwapPattern(patterns_, k);
    if (flags_.swapped[kk] == 0) {
      flags_.swapped[kk] = 1;
      DrawSwapMark(pic9_, left, top, c, /*outlined=*/true);
    } else {
      flags_.swapped[kk] = 0;
      DrawSwapMark(pic9_, left, top, c, /*outlined=*/false);
    }
  }
  if (flags_.swapped[kk] == 1) DrawSwapMark(pic9_, left, top, c, /*outlined=*/true);
  Convert();
}

// ---- Undo and redo

std::shared_ptr<const ModelState> Model::Capture(const ModelState* like) const {
  auto s = std::make_shared<ModelState>();
  s->pic1 = pic1_;
  s->scaled_source = scaled_source_valid_ ? scaled_source_ : nullptr;
  s->loaded = loaded_;
  const ModelState none;
  const ModelState& l = like != nullptr ? *like : none;
  s->pic5 = Share(pic5_, l.pic5);
  s->pic2 = Share(pic2_, l.pic2);
  s->tvc2 = Share(tvc2_, l.tvc2);
  s->tvc4 = Share(tvc4_, l.tvc4);
  s->tvc16 = Share(tvc16_, l.tvc16);
  s->picz = Share(picz_, l.picz);
  s->piczz = Share(piczz_, l.piczz);
  s->pic9 = Share(pic9_, l.pic9);
  s->palette = palette_;
  s->flags = flags_;
  s->patterns = patterns_;
  s->noise = noise_;
  s->mode = mode_;
  s->method = method_;
  s->resize = resize_;
  s->auto_palette = auto_palette_;
  s->label2 = label2_;
  s->label3 = label3_;
  s->label4 = label4_;
  s->sliders = sliders_;
  s->texts = texts_;
  s->label7 = label7_;
  s->label10 = label10_;
  s->editor_count = editor_count_;
  s->label9 = label9_;
  s->label6 = label6_;
  s->label6_pending = label6_pending_;
  s->shapes = shapes_;
  s->convert_count = convert_count_;
  s->source_path = source_path_;
  s->set_tones = set_tones_;
  s->live_tones = live_tones_;
  s->tone_states = tone_states_;
  s->patterns_edited = patterns_edited_;
  s->strength = strength_;
  return s;
}

void Model::Restore(const ModelState& s) {
  pic1_ = s.pic1;
  // Shared with the step, so never written (ScaledSource makes its own when it must change).
  scaled_source_ = std::const_pointer_cast<Surface>(s.scaled_source);
  scaled_source_valid_ = s.scaled_source != nullptr;
  loaded_ = s.loaded;
  // The surfaces keep their place (the windows draw from them); their pixels come back.
  Put(pic5_, s.pic5);
  Put(pic2_, s.pic2);
  Put(tvc2_, s.tvc2);
  Put(tvc4_, s.tvc4);
  Put(tvc16_, s.tvc16);
  Put(picz_, s.picz);
  Put(piczz_, s.piczz);
  Put(pic9_, s.pic9);
  palette_ = s.palette;
  flags_ = s.flags;
  patterns_ = s.patterns;
  noise_ = s.noise;
  mode_ = s.mode;
  method_ = s.method;
  resize_ = s.resize;
  auto_palette_ = s.auto_palette;
  label2_ = s.label2;
  label3_ = s.label3;
  label4_ = s.label4;
  sliders_ = s.sliders;
  texts_ = s.texts;
  label7_ = s.label7;
  label10_ = s.label10;
  editor_count_ = s.editor_count;
  label9_ = s.label9;
  label6_ = s.label6;
  label6_pending_ = s.label6_pending;
  shapes_ = s.shapes;
  convert_count_ = s.convert_count;
  source_path_ = s.source_path;
  set_tones_ = s.set_tones;
  live_tones_ = s.live_tones;
  tone_states_ = s.tone_states;
  patterns_edited_ = s.patterns_edited;
  strength_ = s.strength;
  cache_ = ConversionCache();  // the memo belongs to the state that was left
}

void Model::EnableHistory(bool on) {
  if (on && !history_) history_ = std::make_unique<History>();
  if (!on) history_.reset();
}

bool Model::CanUndo() const { return history_ && history_->CanUndo(); }
bool Model::CanRedo() const { return history_ && history_->CanRedo(); }
std::string Model::undo_name() const { return CanUndo() ? history_->undo_name() : ""; }
std::string Model::redo_name() const { return CanRedo() ? history_->redo_name() : ""; }
int Model::undo_count() const { return history_ ? history_->undo_count() : 0; }

bool Model::Undo() {
  if (!CanUndo()) return false;
  const std::shared_ptr<const ModelState> back = history_->Undo(Capture(history_->Newest()));
  Restore(*back);
  return true;
}

bool Model::Redo() {
  if (!CanRedo()) return false;
  const std::shared_ptr<const ModelState> forward = history_->Redo(Capture(history_->Newest()));
  Restore(*forward);
  return true;
}

std::size_t Model::history_bytes() const {
  if (!history_) return 0;
  std::vector<const Surface*> live = {pic1_.get(), loaded_.get(), scaled_source_.get()};
  return history_->Bytes(live);
}

// ---- Perceptual methods and the palette choice

void Model::SelectStrength(int value) {
  const int strength = std::clamp(value, 0, 100);
  const StepScope step(*this, "Strength " + std::to_string(strength), kStrengthStep);
  strength_ = strength;
  Convert();
}

std::vector<RankedPalette> Model::BestPalettes() const {
  const ConversionInput input{&pic5_,        mode_,   method_, resize_,
                              auto_palette_, label2_, label3_, strength_};
  // Copies, so the const model hands out no pointer to its own tables.
  Palette palette = palette_;
  PatternFlags flags = flags_;
  PatternSet patterns = patterns_;
  NoiseSource noise = noise_;
  return BestPalettesFor(input, {&palette, &flags, &patterns, &noise}, preview(mode_));
}

void Model::ApplyPalette(TvcMode mode, const std::vector<int>& indices) {
  const StepScope step(*this, "Best palette");
  if (mode == TvcMode::kGraphics4 && indices.size() == 4) label2_ = Swatches4(indices);
  if (mode == TvcMode::kGraphics2 && indices.size() == 2) label3_ = Swatches2(indices);
  Convert();
}

}  // namespace tvcpix
