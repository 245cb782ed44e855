// Checks on picture files that every decoder shares: size limits and truncated data.
#include "decode/picture_checks.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tvcpix {

namespace {

// Sequential bytes of an open file, read with pread so the descriptor's position (which the
// image reader uses) stays where it is.
class FileBytes {
 public:
  FileBytes(int fd, long long size) : fd_(fd), size_(size), buffer_(1 << 16) {}

  long long pos() const { return pos_; }
  // The next byte, or -1 at the end of the file (or on a read error).
  int Next() {
    if (pos_ >= start_ + length_ && !Fill()) return -1;
    return buffer_[static_cast<std::size_t>(pos_++ - start_)];
  }
  // Moves on by n bytes; false when that passes the end of the file.
  bool Skip(long long n) {
    pos_ += n;
    return pos_ <= size_;
  }
  // Moves on to the next 0xFF byte (a whole buffer at a time); false at the end of the file.
  bool SkipToFF() {
    for (;;) {
      if (pos_ >= start_ + length_ && !Fill()) return false;
      const std::uint8_t* from = buffer_.data() + (pos_ - start_);
      const void* ff = std::memchr(from, 0xFF, static_cast<std::size_t>(start_ + length_ - pos_));
      if (ff != nullptr) {
        pos_ += static_cast<const std::uint8_t*>(ff) - from;
        return true;
      }
      pos_ = start_ + length_;
    }
  }

 private:
  bool Fill() {
    if (pos_ >= size_) return false;
    const ssize_t n = pread(fd_, buffer_.data(), buffer_.size(), static_cast<off_t>(pos_));
    if (n <= 0) return false;
    start_ = pos_;
    length_ = n;
    return true;
  }

  int fd_;
  long long size_;
  std::vector<std::uint8_t> buffer_;
  long long pos_ = 0;
  long long start_ = 0;
  long long length_ = 0;
};

std::uint32_t Le(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

std::string DimensionProblem(long long width, long long height) {
  const std::string text =
      std::to_string(width) + " x " + std::to_string(height < 0 ? -height : height) + " pixels";
  if (width <= 0 || height == 0) return "invalid picture size: " + text;
  if (width * (height < 0 ? -height : height) > kMaxPicturePixels) {
    return "picture too large: " + text + " (limit " + std::to_string(kMaxPicturePixels) + ")";
  }
  return "";
}

bool JpegRunsToEnd(int fd, long long size) {
  FileBytes bytes(fd, size);
  if (bytes.Next() != 0xFF || bytes.Next() != 0xD8) return false;
  for (;;) {
    const int b = bytes.SkipToFF() ? bytes.Next() : -1;
    int marker;
    do {
      marker = bytes.Next();
    } while (marker == 0xFF);
    if (b < 0 || marker < 0) return false;
    if (marker == 0xD9) return true;
    // No length follows: stuffed zero, restart markers, TEM, a repeated SOI.
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;
    const int high = bytes.Next();
    const int low = bytes.Next();
    if (high < 0 || low < 0) return false;
    const int length = (high << 8) | low;
    if (length < 2 || !bytes.Skip(length - 2)) return false;
  }
}

bool ReadBmpHeader(int fd, BmpHeader* header) {
  std::uint8_t h[50] = {};
  const ssize_t n = pread(fd, h, sizeof(h), 0);
  header->header_bytes = 14 + std::max<long long>(Le(h + 14, 4), 12);
  if (n < 26) return false;
  header->offset = Le(h + 10, 4);
  header->info_bytes = Le(h + 14, 4);
  if (header->info_bytes == 12) {
    header->width = Le(h + 18, 2);
    header->height = Le(h + 20, 2);
    header->bits = Le(h + 24, 2);
    return true;
  }
  if (n < 34) return false;
  header->width = static_cast<std::int32_t>(Le(h + 18, 4));
  header->height = static_cast<std::int32_t>(Le(h + 22, 4));
  header->bits = Le(h + 28, 2);
  header->compression = Le(h + 30, 4);
  if (n >= 50) header->colors_used = Le(h + 46, 4);
  return true;
}

// Qt's BMP reader keeps whatever rows it got, so this is what catches truncation.
long long BmpBytesNeeded(const BmpHeader& h) {
  // BI_RGB, BI_BITFIELDS and BI_ALPHABITFIELDS store fixed-size rows.
  if (h.compression != 0 && h.compression != 3 && h.compression != 6) return 0;
  if (h.bits <= 0 || h.bits > 64) return 0;
  const long long row = (h.width * h.bits + 31) / 32 * 4;
  return h.offset + row * (h.height < 0 ? -h.height : h.height);
}

bool IsRunLength(const BmpHeader& h) { return h.compression == 1 || h.compression == 2; }

// Qt's reader keeps the rows it got and leaves the rest as whatever memory held.
bool RunLengthRunsToEnd(int fd, long long size, const BmpHeader& h) {
  FileBytes bytes(fd, size);
  if (!bytes.Skip(h.offset)) return false;
  const long long rows = h.height < 0 ? -h.height : h.height;
  long long row = 0;
  for (;;) {
    const int count = bytes.Next();
    const int code = bytes.Next();
    if (count < 0 || code < 0) return false;
    if (count > 0) continue;  // a run of one colour (or two alternating ones in RLE4)
    if (code == 0) {          // end of row
      if (++row >= rows) return true;
    } else if (code == 1) {  // end of picture
      return true;
    } else if (code == 2) {  // move right and down
      const int dx = bytes.Next();
      const int dy = bytes.Next();
      if (dx < 0 || dy < 0) return false;
      row += dy;
      if (row >= rows) return true;
    } else {  // `code` pixels stored as they are, padded to a 16-bit boundary
      const long long n = h.compression == 2 ? (code + 1) / 2 : code;
      if (!bytes.Skip(n + (n & 1))) return false;
    }
  }
}

}  // namespace tvcpix
