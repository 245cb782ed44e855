// Checks on picture files that every decoder shares: size limits and truncated data.
#ifndef TVCPIX_DECODE_PICTURE_CHECKS_H_
#define TVCPIX_DECODE_PICTURE_CHECKS_H_

#include <cstdint>
#include <string>

namespace tvcpix {

// Pictures larger than this are refused before any pixel memory is spent on them.
constexpr long long kMaxPicturePixels = 100'000'000;
// Files larger than this are refused unread: no picture within the pixel limit needs more.
constexpr long long kMaxPictureFileBytes = 1LL << 30;

// Why a picture of these dimensions is refused, or "" when it is fine. A negative height is
// how BMP marks rows stored top-down.
std::string DimensionProblem(long long width, long long height);

// Whether a JPEG stream reaches its end-of-image marker before the file ends. Segments are
// skipped by their length (an embedded thumbnail's marker does not count); in scan data,
// stuffed bytes and restart markers are passed over. Reads with pread: the descriptor's
// position stays where it is.
bool JpegRunsToEnd(int fd, long long size);

struct BmpHeader {
  long long header_bytes = 0;  // file header and info header together
  long long info_bytes = 0;    // the info header's own size field
  long long width = 0;
  long long height = 0;  // negative for rows stored top-down
  long long bits = 0;
  long long offset = 0;
  std::uint32_t compression = 0;
  std::uint32_t colors_used = 0;
};

// The fields of a BMP header (OS/2 and Windows forms); false when the file is too short.
bool ReadBmpHeader(int fd, BmpHeader* header);

// The file size an uncompressed BMP needs; 0 when it cannot tell (run-length compressed data
// has no fixed size). The dimensions must have passed DimensionProblem.
long long BmpBytesNeeded(const BmpHeader& h);

bool IsRunLength(const BmpHeader& h);

// Whether run-length data (RLE8 or RLE4) reaches its end-of-picture code, or closes its last
// row, before the file ends.
bool RunLengthRunsToEnd(int fd, long long size, const BmpHeader& h);

}  // namespace tvcpix

#endif  // TVCPIX_DECODE_PICTURE_CHECKS_H_
