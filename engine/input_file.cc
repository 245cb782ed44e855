// Opening a picture or a saved screen.
#include "engine/input_file.h"

#include <utility>

namespace tvcpix {

Result OpenInputFile(const std::string& path, FallbackDecoder fallback, InputFile* out) {
  InputFile opened;
  if (IsTimName(path)) {
    DecodedScreen screen;
    const Result read =
        ReadScreenFile(path, TvcMode::kGraphics16, PaletteCodes{}, &screen);
    if (!read.ok) return read;
    opened.picture = EnlargeScreen(screen.screen);
    opened.screen = std::move(screen);
  } else {
    const Result decoded = LoadPictureFile(path, &opened.picture, fallback);
    if (!decoded.ok) return decoded;
  }
  *out = std::move(opened);
  return {};
}

}  // namespace tvcpix
