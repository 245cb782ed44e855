// Decoding picture files into a Surface with Qt's image reader (the only place that does).
#ifndef TVCPIX_UI_PICTURE_FILE_H_
#define TVCPIX_UI_PICTURE_FILE_H_

#include <string>

#include "core/surface.h"

namespace tvcpix {

// Pictures larger than this are refused before any pixel memory is spent on them.
constexpr long long kMaxPicturePixels = 100'000'000;
// Files larger than this are refused unread: no picture within the pixel limit needs more.
constexpr long long kMaxPictureFileBytes = 1LL << 30;

struct DecodeResult {
  bool ok = false;
  std::string message;  // on failure: "<file>: <reason>"
};

// Decodes a JPEG, BMP or PNG file completely into *picture (named "Pic1"). Only regular files
// are opened (after following links). On failure *picture is left untouched.
DecodeResult DecodePictureFile(const std::string& path, Surface* picture);

}  // namespace tvcpix

#endif  // TVCPIX_UI_PICTURE_FILE_H_
