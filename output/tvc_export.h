// Exporting a screen for the TVC: the ".cas" an emulator loads with LOAD and the ".wav" a real
// TVC loads from its cassette input. Both run the same program (tvc_program.h): the picture's
// mode and palette are set, the screen image is written to video RAM exactly, and it stays on
// the screen (BASIC loops on "40 GOTO 40").
#ifndef TVCPIX_OUTPUT_TVC_EXPORT_H_
#define TVCPIX_OUTPUT_TVC_EXPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/mode.h"
#include "core/result.h"
#include "output/screen_decode.h"
#include "output/tape_audio.h"
#include "output/tvc_program.h"

namespace tvcpix {

// What an export wrote, for the CLI's line and the window's message.
struct TvcExportStats {
  TvcProgramLayout layout;  // what the program holds
  std::size_t payload_bytes = 0;
  std::size_t file_bytes = 0;
  double tape_seconds = 0;  // the program's playing time on tape (default tape audio)
};

// What a ".tim" holds: the mode, its palette codes (2 or 4 used) and the 16,384-byte image.
// For the model: image = BuildScreenImage(preview, mode, palette) and codes = bytes 4..7 of
// TimHeader(mode, palette); for a ".tim" file: ScreenFromTim.
struct TvcExportInput {
  TvcMode mode = TvcMode::kGraphics16;
  PaletteCodes codes{};
  const std::vector<std::uint8_t>* image = nullptr;
};

// Builds the program and writes it as a ".cas" to path (atomically: a temporary file renamed
// into place when complete). Nothing is written when the input is refused. On failure the
// message is the reason without the file name, so the CLI prints "tvcpix-cli: <file>:
// <message>"; errnum is the system's error number for a failed write, 0 for a refused input.
// When stats is given it receives what was written (on success only).
Result WriteTvcCas(const std::string& path, const TvcExportInput& input,
                   TvcExportStats* stats = nullptr, const TvcProgramOptions& options = {});

// The same program as tape audio; tape_name is the name LOAD "name" finds (made a tape name by
// TapeName; the CLI passes the output file's stem).
Result WriteTvcWav(const std::string& path, const TvcExportInput& input,
                   const std::string& tape_name, TvcExportStats* stats = nullptr,
                   const WavOptions& wav = {}, const TvcProgramOptions& options = {});

// The palette codes of a ".tim" header (its bytes 4..7).
PaletteCodes PaletteCodesOfTimHeader(const std::uint8_t* header);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_TVC_EXPORT_H_
