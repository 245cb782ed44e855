// Decoding the common JPEGs and BMPs without Qt, to exactly the pixels Qt's reader gives.
#ifndef TVCPIX_DECODE_DIRECT_DECODE_H_
#define TVCPIX_DECODE_DIRECT_DECODE_H_

#include "core/surface.h"

namespace tvcpix {

// Decodes an open regular file of `size` bytes into *picture (named "Pic1") when it is a
// baseline or progressive JPEG in YCbCr, RGB or grey with no EXIF turn, or an uncompressed
// 24-bit BMP, and every check passes. Returns false, with *picture untouched, for anything
// else or anything doubtful (damage, warnings, limits), which is left to the fallback decoder
// so that its pixels and messages stay those of the one general reader. Reads with pread: the
// descriptor's position stays where it is.
bool DecodeDirect(int fd, long long size, Surface* picture);

}  // namespace tvcpix

#endif  // TVCPIX_DECODE_DIRECT_DECODE_H_
