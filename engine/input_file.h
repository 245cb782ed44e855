// Opening what the user points at: a saved screen (".tim") comes in as the result view showed
// it, anything else as a picture. The window and tvcpix-cli both open files this way.
#ifndef TVCPIX_ENGINE_INPUT_FILE_H_
#define TVCPIX_ENGINE_INPUT_FILE_H_

#include <optional>
#include <string>

#include "core/surface.h"
#include "decode/picture_load.h"
#include "output/screen_decode.h"

namespace tvcpix {

struct InputFile {
  Surface picture;                      // what the model loads as Pic1
  std::optional<DecodedScreen> screen;  // the screen itself, when the file was one
};

// A ".tim" is read as a screen and enlarged to 512 x 480 in the TVC's own colours; any other
// file is decoded as a picture (the direct decoders, then fallback). On failure *out is left
// untouched and the message names the file and the reason.
Result OpenInputFile(const std::string& path, FallbackDecoder fallback, InputFile* out);

}  // namespace tvcpix

#endif  // TVCPIX_ENGINE_INPUT_FILE_H_
