// The screen image as source text: assembler "db" lines and a C array.
#ifndef TVCPIX_OUTPUT_SOURCE_EXPORT_H_
#define TVCPIX_OUTPUT_SOURCE_EXPORT_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/mode.h"
#include "output/screen_decode.h"

namespace tvcpix {

// What the comment header of an export names: the mode and the ".tim" header's palette codes.
struct ScreenSourceInfo {
  TvcMode mode = TvcMode::kGraphics16;
  PaletteCodes codes{};
  std::string name;  // label or array name; made a valid identifier by SourceIdentifier
};

// An identifier made from a file name: its stem, every character other than a letter, a digit
// or '_' replaced by '_', a leading digit prefixed with '_'; "screen" when nothing is left.
std::string SourceIdentifier(const std::string& path);

// Z80 assembler source: a ';' comment header, the label (the identifier of info.name, with
// "_screen" added when it would read as a register or condition), then 1,024 lines of
// "  db $XX,$XX,..." with 16 bytes each (the "$" hexadecimal form most Z80 assemblers read).
// image holds the kScreenBytes bytes of the screen image.
std::string AssemblerSource(const std::vector<std::uint8_t>& image, const ScreenSourceInfo& info);

// A C header: the same header as a comment, an include guard and
// "const unsigned char NAME[16384] = { 0xXX, ... };" with 16 bytes a line (NAME as the label,
// with "_screen" added to a C or C++ keyword).
std::string CHeaderSource(const std::vector<std::uint8_t>& image, const ScreenSourceInfo& info);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SOURCE_EXPORT_H_
