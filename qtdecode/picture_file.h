// Decoding picture files: the direct decoders first, then Qt's image reader for the rest.
#ifndef TVCPIX_QTDECODE_PICTURE_FILE_H_
#define TVCPIX_QTDECODE_PICTURE_FILE_H_

#include <string>

#include "core/surface.h"
#include "decode/picture_load.h"

namespace tvcpix {

// Decodes a JPEG, BMP or PNG file completely into *picture (named "Pic1"). Only regular files
// are opened (after following links). On failure *picture is left untouched.
Result DecodePictureFile(const std::string& path, Surface* picture);

// The Qt reader as the fallback of LoadPictureFile (see FallbackDecoder).
Result DecodeWithQt(const std::string& path, int fd, long long size, Surface* picture);

}  // namespace tvcpix

#endif  // TVCPIX_QTDECODE_PICTURE_FILE_H_
