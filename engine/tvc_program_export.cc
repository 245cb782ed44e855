// Exporting the current result as a program the TVC loads and runs.
#include "engine/tvc_program_export.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <filesystem>
#include <vector>

#include "output/screen_file.h"

namespace tvcpix {

TvcExportFormat TvcExportFormatOf(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (ext == ".cas") return TvcExportFormat::kCas;
  if (ext == ".wav") return TvcExportFormat::kWav;
  return TvcExportFormat::kUnknown;
}

Result ExportScreenForTvc(const TvcExportInput& screen, const std::string& path,
                          TvcExportStats* stats) {
  switch (TvcExportFormatOf(path)) {
    case TvcExportFormat::kCas:
      return WriteTvcCas(path, screen, stats);
    case TvcExportFormat::kWav:
      return WriteTvcWav(path, screen, std::filesystem::path(path).stem().string(), stats);
    case TvcExportFormat::kUnknown:
      break;
  }
  return Result::Failure(
      "a TVC program is written as .cas (for an emulator) or .wav (tape "
      "audio for a real TVC); the file name ends in neither");
}

Result ResultScreenForTvc(const Model& model, std::vector<std::uint8_t>* image,
                          TvcExportInput* input) {
  if (model.convert_count() == 0) return Result::Failure("no picture has been converted yet");
  const TvcMode mode = model.mode();
  std::string reason;
  if (!PaletteFitsMode(model.palette(), mode, &reason)) return Result::Failure(reason);
  *image = BuildScreenImage(model.preview(mode), mode, model.palette());
  const auto header = TimHeader(mode, model.palette());
  *input = {mode, PaletteCodesOfTimHeader(header.data()), image};
  return {};
}

Result ExportResultForTvc(const Model& model, const std::string& path, TvcExportStats* stats) {
  std::vector<std::uint8_t> image;
  TvcExportInput screen;
  const Result made = ResultScreenForTvc(model, &image, &screen);
  if (!made.ok) return made;
  return ExportScreenForTvc(screen, path, stats);
}

std::string DescribeTvcExport(TvcMode mode, const TvcExportStats& stats) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", stats.tape_seconds);
  return std::string(InfoOf(mode).caption) + ", " +
         (stats.layout.packing == ScreenPacking::kCopy ? "unpacked " : "packed ") +
         std::to_string(stats.payload_bytes) + " bytes, tape " + seconds + " s";
}

Result Model::ExportForTvc(const std::string& path, std::string* summary) const {
  TvcExportStats stats;
  Result written = ExportResultForTvc(*this, path, &stats);
  if (!written.ok) {
    written.message = path + ": " + written.message;
    return written;
  }
  if (summary != nullptr) *summary = DescribeTvcExport(mode_, stats);
  return written;
}

}  // namespace tvcpix
