// Writing the three output files (.bmp, .bin, .tim) from one base path.
#ifndef TVCPIX_OUTPUT_SAVE_H_
#define TVCPIX_OUTPUT_SAVE_H_

#include <string>
#include <vector>

#include "core/mode.h"
#include "core/palette.h"
#include "core/surface.h"
#include "core/result.h"

namespace tvcpix {

// Writes base + ".bmp" (the result view), then base + ".bin" and base + ".tim" for the mode.
// Each file is written to a temporary name in the same folder and renamed into place only when
// complete, so every final name holds either its complete old or complete new content.
Result SaveAll(const std::string& base, const Surface& result_view, const Surface& preview,
                   TvcMode mode, const Palette& palette);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SAVE_H_
