// The model object: window start and every handler's operation.
#include "engine/model.h"

#include <algorithm>
#include <string>
#include <utility>

#include "adjust/tone.h"
#include "core/color_count.h"
#include "core/tvc.h"
#include "engine/pattern_editor.h"

namespace tvcpix {

namespace {
constexpr ColorValue kDarkGrey = MakeColor(64, 64, 64);
constexpr ColorValue kPreviewBackground = MakeColor(192, 192, 255);
constexpr ColorValue kWhite = MakeColor(255, 255, 255);
constexpr ColorValue kBlack = MakeColor(0, 0, 0);
}  // namespace

Model::Model()
    : pic1_("Pic1", 96, 64, MakeColor(128, 128, 128)),
      pic5_("Pic5", kViewWidth, kViewHeight, kDarkGrey),
      pic2_("Pic2", kViewWidth, kViewHeight, kDarkGrey),
      tvc2_("TVC2", InfoOf(TvcMode::kGraphics2).preview_width, kScreenRows, kPreviewBackground),
      tvc4_("TVC4", InfoOf(TvcMode::kGraphics4).preview_width, kScreenRows, kPreviewBackground),
      tvc16_("TVC16", InfoOf(TvcMode::kGraphics16).preview_width, kScreenRows, kPreviewBackground),
      picz_("PicZ", 120, 120, kWhite),
      piczz_("PicZZ", 120, 120, kWhite),
      pic9_("Pic9", kSwatchPicSize, kSwatchPicSize, kSwatchBackground) {
  shapes_.fill(kDarkGrey);
  BuildPalette2(palette_);
  for (int i = 0; i < 2; ++i) label3_[static_cast<std::size_t>(i)] = ColorFromEntry(palette_[i]);
  BuildPalette4(palette_);
  for (int i = 0; i < 4; ++i) label2_[static_cast<std::size_t>(i)] = ColorFromEntry(palette_[i]);
  BuildPalette16(palette_);
  for (int i = 0; i < 16; ++i) label1_[static_cast<std::size_t>(i)] = ColorFromEntry(palette_[i]);
  FillPatternPairs();
  DrawAllSwatchesOn();
}

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
    label6_ = std::to_string(CountColors(pic1_));
    label6_pending_ = false;
  }
  return label6_;
}

void Model::AssignPic1(Surface picture) {
  source_colors_caption();  // the caption counts the picture that was loaded
  pic1_.AdoptPixels(std::move(picture));
  scaled_source_valid_ = false;
}

const Surface& Model::ScaledSource() {
  if (!scaled_source_valid_) {
    scaled_source_ = Surface("Pic5", pic5_.width(), pic5_.height(), pic5_.background());
    ScaleSurface(scaled_source_, pic1_, pic5_.width(), pic5_.height(), 1);
    scaled_source_valid_ = true;
  }
  return scaled_source_;
}

void Model::LoadSourcePicture(Surface picture) {
  auto_palette_ = true;
  AssignSourcePicture(std::move(picture));
  AllOn();
  Convert();
  auto_palette_ = false;
  RedrawEditor();
}

void Model::AssignSourcePicture(Surface picture) {
  label6_pending_ = false;  // the earlier picture's count is replaced unread
  AssignPic1(std::move(picture));
  for (int n = 1; n <= 4; ++n)
    if (slider(n) != 50) MoveSlider(n, 50);
  if (resize_) {
    std::copy_n(ScaledSource().data(), pic5_.size_bytes(), pic5_.data());
  } else {
    ScaleSurface(pic5_, pic1_, pic1_.width(), pic1_.height(), 0);
  }
  label6_pending_ = true;
}

void Model::RunLoadConversions() {
  auto_palette_ = true;
  AllOn();
  Convert();
  auto_palette_ = false;
  RedrawEditor();
}

void Model::Set() {
  Surface copy = pic5_;
  AssignPic1(std::move(copy));
}

void Model::MoveSlider(int n, int value) {
  if (n < 1 || n > 4) return;
  value = std::clamp(value, 0, 100);
  sliders_[static_cast<std::size_t>(n - 1)] = value;
  texts_[static_cast<std::size_t>(n - 1)] = std::to_string(value);
  std::copy_n(ScaledSource().data(), pic5_.size_bytes(), pic5_.data());
  ApplyFilter(n);
  Convert();
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
  label2_[static_cast<std::size_t>(index)] = label4_;
  Convert();
}

void Model::AssignColor2(int index) {
  if (!frame5_enabled() || index < 0 || index >= 2) return;
  label3_[static_cast<std::size_t>(index)] = label4_;
  Convert();
}

void Model::SelectMethod(DitherMethod method) {
  method_ = method;
  Convert();
}

void Model::SelectMode(TvcMode mode) {
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
  flags_.excluded.fill(0);
  flags_.swapped.fill(0);
  RedrawEditor();
}

void Model::AllOff() {
  flags_.excluded.fill(1);
  flags_.swapped.fill(0);
  RedrawEditor();
}

void Model::ClickSwatch(int button, int x, int y) {
  const std::optional<int> hit = SwatchAt(pic9_, x, y);
  if (!hit) return;
  const int k = *hit;
  const std::size_t kk = static_cast<std::size_t>(k);
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

// ---- Perceptual methods and the palette choice

void Model::SelectStrength(int value) {
  strength_ = std::clamp(value, 0, 100);
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
  if (mode == TvcMode::kGraphics4 && indices.size() == 4) label2_ = Swatches4(indices);
  if (mode == TvcMode::kGraphics2 && indices.size() == 2) label3_ = Swatches2(indices);
  Convert();
}

}  // namespace tvcpix
