// Decoding picture files into a Surface with Qt's image reader (the only place that does).
#include "ui/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMessageLogContext>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>
#include <vector>

namespace tvcpix {

namespace {

// The widest pixel Qt decodes into (16-bit channels with alpha); the reader's allocation limit
// follows from it, so any picture within the pixel limit can be decoded.
constexpr long long kWidestPixelBytes = 8;
constexpr int kAllocationLimitMb =
    static_cast<int>((kMaxPicturePixels * kWidestPixelBytes + (1 << 20) - 1) >> 20);

DecodeResult Refuse(const std::string& path, const std::string& reason) {
  return DecodeResult{false, path + ": " + reason};
}

std::string SystemReason(int errnum) { return std::system_category().message(errnum); }

std::string ReaderReason(const QImageReader& reader) {
  if (reader.error() == QImageReader::UnknownError) return "damaged or truncated picture data";
  return reader.errorString().toStdString();
}

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

// Qt's JPEG reader fills a cut-off picture with grey and reports success, so the stream is
// walked to its end-of-image marker first. Segments are skipped by their length (an embedded
// thumbnail's marker does not count); in scan data, stuffed bytes and restart markers are
// passed over. Extra bytes after the marker are allowed, as cameras write them.
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

std::uint32_t Le(const std::uint8_t* p, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

struct BmpHeader {
  long long header_bytes = 0;  // file header and info header together
  long long width = 0;
  long long height = 0;  // negative for rows stored top-down
  long long bits = 0;
  long long offset = 0;
  std::uint32_t compression = 0;
};

// The fields of a BMP header (OS/2 and Windows forms); false when the file is too short.
bool ReadBmpHeader(int fd, BmpHeader* header) {
  std::uint8_t h[34] = {};
  const ssize_t n = pread(fd, h, sizeof(h), 0);
  header->header_bytes = 14 + std::max<long long>(Le(h + 14, 4), 12);
  if (n < 26) return false;
  header->offset = Le(h + 10, 4);
  if (Le(h + 14, 4) == 12) {
    header->width = Le(h + 18, 2);
    header->height = Le(h + 20, 2);
    header->bits = Le(h + 24, 2);
    return true;
  }
  if (n < static_cast<ssize_t>(sizeof(h))) return false;
  header->width = static_cast<std::int32_t>(Le(h + 18, 4));
  header->height = static_cast<std::int32_t>(Le(h + 22, 4));
  header->bits = Le(h + 28, 2);
  header->compression = Le(h + 30, 4);
  return true;
}

// The file size an uncompressed BMP needs; 0 when it cannot tell (run-length compressed data
// has no fixed size). Qt's BMP reader keeps whatever rows it got, so this catches truncation.
// The dimensions have passed the pixel limit, so nothing here overflows.
long long BmpBytesNeeded(const BmpHeader& h) {
  // BI_RGB, BI_BITFIELDS and BI_ALPHABITFIELDS store fixed-size rows.
  if (h.compression != 0 && h.compression != 3 && h.compression != 6) return 0;
  if (h.bits <= 0 || h.bits > 64) return 0;
  const long long row = (h.width * h.bits + 31) / 32 * 4;
  return h.offset + row * (h.height < 0 ? -h.height : h.height);
}

bool IsRunLength(const BmpHeader& h) { return h.compression == 1 || h.compression == 2; }

// Whether run-length data (RLE8 or RLE4) reaches its end-of-picture code, or closes its last
// row, before the file ends. Qt's reader keeps the rows it got and leaves the rest as whatever
// memory held.
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

// libjpeg reports picture data that ends early or cannot be decoded only as a warning, and Qt's
// reader then fills the rest with grey and reports success. Such warnings are caught while a
// JPEG is read on this thread; every other message goes on to the handler installed before.
thread_local std::string* jpeg_damage = nullptr;
QtMessageHandler next_handler = nullptr;

bool IsJpegDamage(const QString& text) {
  if (text.startsWith("Premature end of JPEG file")) return true;
  // Extra bytes before a marker are common in camera files and cost no pixel.
  return text.startsWith("Corrupt JPEG data") && !text.contains("extraneous bytes");
}

void CatchJpegDamage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (jpeg_damage != nullptr && context.category != nullptr &&
      std::strcmp(context.category, "qt.gui.imageio.jpeg") == 0 && IsJpegDamage(text)) {
    if (jpeg_damage->empty()) *jpeg_damage = text.toStdString();
    return;
  }
  if (next_handler != nullptr) next_handler(type, context, text);
}

class JpegDamageCatcher {
 public:
  JpegDamageCatcher() {
    // The handler is installed once and stays: installing and restoring it around each read
    // would let one thread's restore switch off the catching of a read on another thread.
    static std::once_flag installed;
    std::call_once(installed, [] { next_handler = qInstallMessageHandler(CatchJpegDamage); });
    jpeg_damage = &damage_;
  }
  ~JpegDamageCatcher() { jpeg_damage = nullptr; }
  JpegDamageCatcher(const JpegDamageCatcher&) = delete;
  JpegDamageCatcher& operator=(const JpegDamageCatcher&) = delete;

  const std::string& damage() const { return damage_; }

 private:
  std::string damage_;
};

// Why a picture of these dimensions is refused, or "" when it is fine. A negative height is
// how BMP marks rows stored top-down (and how Qt reports it).
std::string DimensionProblem(long long width, long long height) {
  const std::string text =
      std::to_string(width) + " x " + std::to_string(height < 0 ? -height : height) + " pixels";
  if (width <= 0 || height == 0) return "invalid picture size: " + text;
  if (width * (height < 0 ? -height : height) > kMaxPicturePixels) {
    return "picture too large: " + text + " (limit " + std::to_string(kMaxPicturePixels) + ")";
  }
  return "";
}

}  // namespace

DecodeResult DecodePictureFile(const std::string& path, Surface* picture) {
  // Anything but a regular file (a FIFO, a device, a folder) is refused before it is opened,
  // so opening or reading it can never block or have side effects.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec) return Refuse(path, SystemReason(ec.value()));
  if (status.type() != std::filesystem::file_type::regular) {
    return Refuse(path, "not a regular file");
  }

  // The file may have been swapped since; check again what was actually opened.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Refuse(path, SystemReason(errno));
  struct stat st;
  if (fstat(fd, &st) != 0) {
    const int errnum = errno;
    close(fd);
    return Refuse(path, SystemReason(errnum));
  }
  if (!S_ISREG(st.st_mode)) {
    close(fd);
    return Refuse(path, "not a regular file");
  }
  if (st.st_size == 0) {
    close(fd);
    return Refuse(path, "empty file");
  }
  // Reading a huge file (even only to look for a JPEG's end) would hang the program.
  if (st.st_size > kMaxPictureFileBytes) {
    close(fd);
    return Refuse(path, "file too large: " + std::to_string(st.st_size) + " bytes (limit " +
                            std::to_string(kMaxPictureFileBytes) + ")");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    close(fd);
    return Refuse(path, "cannot read the file: " + file.errorString().toStdString());
  }

  // The file's content, not its name, decides the format (a PNG named .jpg still loads).
  const QByteArray format = QImageReader::imageFormat(&file);
  if (format.isEmpty()) {
    QImageReader probe(&file);
    probe.canRead();
    return Refuse(path, "not a picture Qt can read: " + ReaderReason(probe));
  }
  if (format != "jpeg" && format != "bmp" && format != "png") {
    return Refuse(path, "unsupported picture format \"" + format.toStdString() +
                            "\" (JPEG, BMP or PNG expected)");
  }

  QImageReader reader(&file, format);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);  // EXIF orientation: a phone photo comes out upright
  reader.setAllocationLimit(kAllocationLimitMb);

  // The dimensions, before any pixel memory is spent (a decompression bomb stops here). Qt's
  // BMP reader rejects huge headers without saying why, so those are read here first.
  BmpHeader bmp;
  const bool is_bmp = format == "bmp" && ReadBmpHeader(fd, &bmp);
  if (format == "bmp" && (!is_bmp || bmp.header_bytes > st.st_size)) {
    return Refuse(path, "truncated BMP: " + std::to_string(st.st_size) +
                            " bytes, the header needs " + std::to_string(bmp.header_bytes));
  }
  if (is_bmp) {
    const std::string problem = DimensionProblem(bmp.width, bmp.height);
    if (!problem.empty()) return Refuse(path, problem);
  }
  const QSize size = reader.size();
  if (size.width() < 0) {  // Qt could not tell
    return Refuse(path, "not a picture Qt can read: " + ReaderReason(reader));
  }
  const std::string problem = DimensionProblem(size.width(), size.height());
  if (!problem.empty()) return Refuse(path, problem);

  if (format == "jpeg" && !JpegRunsToEnd(fd, st.st_size)) {
    return Refuse(path, "truncated JPEG: the picture data ends before its end marker");
  }
  if (is_bmp) {
    const long long needed = BmpBytesNeeded(bmp);
    if (needed > st.st_size) {
      return Refuse(path, "truncated BMP: " + std::to_string(st.st_size) +
                              " bytes, the header needs " + std::to_string(needed));
    }
    if (IsRunLength(bmp) && !RunLengthRunsToEnd(fd, st.st_size, bmp)) {
      return Refuse(path, "truncated BMP: the run-length data ends before the picture does");
    }
  }

  QImage image;
  const uchar* seeded = nullptr;
  // A picture that Qt decodes as RGB32 is decoded straight into the memory that becomes the
  // surface's pixels and is narrowed there to 3 bytes a pixel: no second picture-sized copy,
  // so loading a photograph needs a third less memory and one pass less over it.
  std::vector<std::uint8_t> pixels;
  if (is_bmp && IsRunLength(bmp)) {
    // Run-length data may skip pixels, which Qt leaves as it finds them: they start as palette
    // entry 0. Qt's reader decodes into an image of the right size and format it is given.
    image = QImage(size.width(), std::abs(size.height()), QImage::Format_Indexed8);
    image.fill(0);
    seeded = image.constBits();
  } else if (std::endian::native == std::endian::little &&
             reader.imageFormat() == QImage::Format_RGB32 && size.height() > 0) {
    pixels.resize(static_cast<std::size_t>(size.width()) * static_cast<std::size_t>(size.height()) *
                  4);
    image = QImage(pixels.data(), size.width(), size.height(),
                   static_cast<qsizetype>(size.width()) * 4, QImage::Format_RGB32);
  }
  std::string jpeg_damage_text;
  bool read_ok;
  if (format == "jpeg") {
    const JpegDamageCatcher catcher;
    read_ok = reader.read(&image);
    jpeg_damage_text = catcher.damage();
  } else {
    read_ok = reader.read(&image);
  }
  if (!read_ok || image.isNull()) {
    return Refuse(path, "not a picture Qt can read: " + ReaderReason(reader));
  }
  if (!jpeg_damage_text.empty()) return Refuse(path, "damaged JPEG: " + jpeg_damage_text);
  // Should a later Qt allocate afresh, the skipped pixels would be stray memory: refuse.
  if (seeded != nullptr && image.constBits() != seeded) {
    return Refuse(path, "run-length BMP: skipped pixels would be undefined");
  }
  const int width = image.width();
  const int height = image.height();
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (!pixels.empty() && image.constBits() == pixels.data() &&
      image.format() == QImage::Format_RGB32 && image.bytesPerLine() == width * 4) {
    // Each pixel's blue, green and red are its first 3 bytes in memory (QRgb 0xffRRGGBB on a
    // little-endian machine); pixel i moves down from byte 4i to 3i, never over a byte still
    // to be read, so the narrowing works in place.
    image = QImage();
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::uint8_t* p = pixels.data();
    // Whole 4-byte moves; the 4th byte lands where the next pixel goes, and the last one
    // inside the larger buffer.
    for (std::size_t i = 0; i < n; ++i) std::memmove(p + 3 * i, p + 4 * i, 4);
    pixels.resize(n * 3);
    Surface decoded("Pic1", 1, 1, MakeColor(128, 128, 128));
    decoded.Assign(width, height, std::move(pixels));
    *picture = std::move(decoded);
    return DecodeResult{true, ""};
  }
  pixels = std::vector<std::uint8_t>();  // Qt decoded elsewhere (turned, or another format)
  // RGB32 is what the JPEG and BMP readers give: taken straight, without a converted copy.
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_RGB888) {
    image = image.convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return Refuse(path, "out of memory converting the picture");
  }
  std::vector<std::uint8_t> bgr(stride * static_cast<std::size_t>(height));
  if (image.format() == QImage::Format_RGB32) {
    for (int y = 0; y < height; ++y) {
      const QRgb* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
      std::uint8_t* dst = bgr.data() + stride * static_cast<std::size_t>(y);
      for (int x = 0; x < width; ++x, dst += 3) {
        dst[0] = static_cast<std::uint8_t>(qBlue(src[x]));
        dst[1] = static_cast<std::uint8_t>(qGreen(src[x]));
        dst[2] = static_cast<std::uint8_t>(qRed(src[x]));
      }
    }
  } else {
    for (int y = 0; y < height; ++y) {
      const uchar* src = image.constScanLine(y);
      std::uint8_t* dst = bgr.data() + stride * static_cast<std::size_t>(y);
      for (std::size_t i = 0; i < stride; i += 3) {
        dst[i] = src[i + 2];
        dst[i + 1] = src[i + 1];
        dst[i + 2] = src[i];
      }
    }
  }

  Surface decoded("Pic1", 1, 1, MakeColor(128, 128, 128));
  decoded.Assign(width, height, std::move(bgr));
  *picture = std::move(decoded);
  return DecodeResult{true, ""};
}

}  // namespace tvcpix
