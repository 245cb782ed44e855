// Exporting the current result as a program the TVC loads and runs: the window's "Export for
// TVC..." and tvcpix-cli's --cas and --wav. Qt-free.
#ifndef TVCPIX_ENGINE_TVC_PROGRAM_EXPORT_H_
#define TVCPIX_ENGINE_TVC_PROGRAM_EXPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"
#include "engine/model.h"
#include "output/tvc_export.h"

namespace tvcpix {

enum class TvcExportFormat { kUnknown, kCas, kWav };

// ".cas" or ".wav", compared case-insensitively; anything else is kUnknown.
TvcExportFormat TvcExportFormatOf(const std::string& path);

// Writes the screen as the program in the format path's suffix names, atomically; a ".wav"
// gets the path's stem as its tape name. Refuses any other suffix. On failure the message is
// the reason without the file name; stats (optional) receives what was written.
Result ExportScreenForTvc(const TvcExportInput& screen, const std::string& path,
                          TvcExportStats* stats = nullptr);

// The model's current result as an export's input: its mode, its palette's colour codes (the
// .tim header's) and into *image the screen image its Save writes; input points to *image.
// Refuses when no picture has been converted yet or the palette does not fit the mode.
Result ResultScreenForTvc(const Model& model, std::vector<std::uint8_t>* image,
                          TvcExportInput* input);

// The same for the model's current result: its mode, its palette's colour codes and the
// screen image its Save writes. Refuses when no picture has been converted yet.
Result ExportResultForTvc(const Model& model, const std::string& path,
                          TvcExportStats* stats = nullptr);

// "Graphics 4, packed 7174 bytes, tape 37.1 s": what an export wrote, for a line or a status.
std::string DescribeTvcExport(TvcMode mode, const TvcExportStats& stats);

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_TVC_PROGRAM_EXPORT_H_
