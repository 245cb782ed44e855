// Decoding picture files with Qt's image reader: every format and form the direct decoders leave.
#include "qtdecode/picture_file.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QMessageLogContext>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

namespace tvcpix {

namespace {

// The widest pixel Qt decodes into (16-bit channels with alpha); the reader's allocation limit
// follows from it, so any picture within the pixel limit can be decoded.
constexpr long long kWidestPixelBytes = 8;
constexpr int kAllocationLimitMb =
    static_cast<int>((kMaxPicturePixels * kWidestPixelBytes + (1 << 20) - 1) >> 20);

Result Refuse(const std::string& path, const std::string& reason) {
  return Result::Failure(path + ": " + reason);
}

std::string ReaderReason(const QImageReader& reader) {
  if (reader.error() == QImageReader::UnknownError) return "damaged or truncated picture data";
  return reader.errorString().toStdString();
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

}  // namespace

Result DecodeWithQt(const std::string& path, int fd, long long file_size, Surface* picture) {
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
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
  if (format == "bmp" && (!is_bmp || bmp.header_bytes > file_size)) {
    return Refuse(path, "truncated BMP: " + std::to_string(file_size) +
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

  if (format == "jpeg" && !JpegRunsToEnd(fd, file_size)) {
    return Refuse(path, "truncated JPEG: the picture data ends before its end marker");
  }
  if (is_bmp) {
    const long long needed = BmpBytesNeeded(bmp);
    if (needed > file_size) {
      return Refuse(path, "truncated BMP: " + std::to_string(file_size) +
                              " bytes, the header needs " + std::to_string(needed));
    }
    if (IsRunLength(bmp) && !RunLengthRunsToEnd(fd, file_size, bmp)) {
      return Refuse(path, "truncated BMP: the run-length data ends before the picture does");
    }
  }

  QImage image;
  const uchar* seeded = nullptr;
  // A picture that Qt decodes as RGB32 is decoded straight into the memory that becomes the
  // surface's pixels and is narrowed there to 3 bytes a pixel: no second picture-sized copy,
  // so loading a photograph needs a third less memory and one pass less over it.
  PixelBytes pixels;
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
    return {};
  }
  pixels = PixelBytes();  // Qt decoded elsewhere (turned, or another format)
  // RGB32 is what the JPEG and BMP readers give: taken straight, without a converted copy.
  if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_RGB888) {
    image = image.convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return Refuse(path, "out of memory converting the picture");
  }
  PixelBytes bgr(stride * static_cast<std::size_t>(height));
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
  return {};
}

Result DecodePictureFile(const std::string& path, Surface* picture) {
  return LoadPictureFile(path, picture, DecodeWithQt);
}

}  // namespace tvcpix
