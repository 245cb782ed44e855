// Loading a picture file: the shared opening checks, then the direct decoders, then a fallback.
#ifndef TVCPIX_DECODE_PICTURE_LOAD_H_
#define TVCPIX_DECODE_PICTURE_LOAD_H_

#include <string>

#include "core/surface.h"
#include "decode/picture_checks.h"
#include "core/result.h"

namespace tvcpix {

// A decoder for whatever the direct decoders decline. It gets the checked, open file (a
// regular file of 1..kMaxPictureFileBytes bytes, read position at its start), must not close
// it, and leaves *picture untouched on failure.
using FallbackDecoder = Result (*)(const std::string& path, int fd, long long size,
                                         Surface* picture);

// Decodes a picture file completely into *picture (named "Pic1"). Only regular files are
// opened (after following links); common JPEGs and BMPs are decoded directly, the rest by
// fallback. On failure *picture is left untouched and the message names the file and reason.
Result LoadPictureFile(const std::string& path, Surface* picture, FallbackDecoder fallback);

}  // namespace tvcpix

#endif  // TVCPIX_DECODE_PICTURE_LOAD_H_
