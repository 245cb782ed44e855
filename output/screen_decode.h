// Reading ".tim" and ".bin" screen files back into pictures, as the TVC would show them.
#ifndef TVCPIX_OUTPUT_SCREEN_DECODE_H_
#define TVCPIX_OUTPUT_SCREEN_DECODE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/color.h"
#include "core/mode.h"
#include "core/result.h"
#include "core/surface.h"
#include "core/tvc.h"
#include "output/screen_file.h"

namespace tvcpix {

constexpr int kTimFileBytes = kTimHeaderBytes + kScreenBytes;

// The four palette codes of a ".tim" header (2 colours use the first two, 16 colours none).
using PaletteCodes = std::array<std::uint8_t, 4>;

// The colour a code shows: each set colour bit gives 255 with the intensity bit, 145 without;
// intensity alone is black. Bits outside the colour code are ignored.
PaletteEntry ColorOfCode(std::uint8_t code);

// A decoded screen: its mode, the palette codes in force and the picture at TVC resolution
// (512, 256 or 128 x 240 pixels).
struct DecodedScreen {
  TvcMode mode = TvcMode::kGraphics16;
  PaletteCodes codes{};
  Surface screen;
};

// The picture of a 16,384-byte screen image (image must hold kScreenBytes bytes). For 2 and 4
// colours the codes give the colour of each index; for 16 colours they are not read.
Surface DecodeScreenImage(const std::uint8_t* image, TvcMode mode, const PaletteCodes& codes);

// The screen as the result view shows it: 512 x 480, each TVC pixel repeated 1 x 2 (2 colours),
// 2 x 2 (4 colours) or 4 x 2 (16 colours).
Surface EnlargeScreen(const Surface& screen);

// A ".tim" file's bytes: size, "TIM", mode byte and the codes the mode uses are checked.
Result DecodeTim(const std::uint8_t* data, std::size_t size, DecodedScreen* out);
// A ".bin" file's bytes, whose mode and (for 2 and 4 colours) codes come from the caller.
Result DecodeBin(const std::uint8_t* data, std::size_t size, TvcMode mode,
                 const PaletteCodes& codes, DecodedScreen* out);

// Whether a file name is read as a ".tim" (by its extension, case-insensitively).
bool IsTimName(const std::string& path);

// Reads and decodes a screen file: ".tim" by its header, anything else as a ".bin" with the
// given mode and codes. Only regular files are read. On failure the message names the file.
Result ReadScreenFile(const std::string& path, TvcMode bin_mode, const PaletteCodes& bin_codes,
                      DecodedScreen* out);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SCREEN_DECODE_H_
