// The TVC screen image and its two files, ".bin" and ".tim".
#ifndef TVCPIX_OUTPUT_SCREEN_FILE_H_
#define TVCPIX_OUTPUT_SCREEN_FILE_H_

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "core/tvc.h"

namespace tvcpix {

constexpr int kTimHeaderBytes = 16;

std::uint8_t TvcColorCode(const PaletteEntry& entry);

// Whether the palette fits the mode's writer: 2 entries for "Graphics 2", 4 for "Graphics 4",
// 16 or 120 for "Graphics 16". On false, *reason says why.
bool PaletteFitsMode(const Palette& palette, TvcMode mode, std::string* reason);

// The 16,384-byte screen image of a preview (the mode's preview size is read from (0, 0)).
std::vector<std::uint8_t> BuildScreenImage(const Surface& preview, TvcMode mode,
                                           const Palette& palette);
// The 16-byte ".tim" header.
std::array<std::uint8_t, kTimHeaderBytes> TimHeader(TvcMode mode, const Palette& palette);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SCREEN_FILE_H_
