// Decoding picture files into a Surface with Qt's image reader (the only place that does).
#include "ui/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <cerrno>
#include <cstring>
#include <filesystem>
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

std::string SizeText(const QSize& size) {
  return std::to_string(size.width()) + " x " + std::to_string(size.height()) + " pixels";
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
    return Refuse(path, "not a picture Qt can read: " + probe.errorString().toStdString());
  }
  if (format != "jpeg" && format != "bmp" && format != "png") {
    return Refuse(path, "unsupported picture format \"" + format.toStdString() +
                            "\" (JPEG, BMP or PNG expected)");
  }

  QImageReader reader(&file, format);
  reader.setDecideFormatFromContent(true);
  reader.setAutoTransform(true);  // EXIF orientation: a phone photo comes out upright
  reader.setAllocationLimit(kAllocationLimitMb);

  // The header's size, before any pixel memory is spent (a decompression bomb stops here).
  const QSize size = reader.size();
  if (!size.isValid()) {
    return Refuse(path, "not a picture Qt can read: " + reader.errorString().toStdString());
  }
  if (size.width() <= 0 || size.height() <= 0) {
    return Refuse(path, "invalid picture size: " + SizeText(size));
  }
  if (static_cast<long long>(size.width()) * size.height() > kMaxPicturePixels) {
    return Refuse(path, "picture too large: " + SizeText(size) + " (limit " +
                            std::to_string(kMaxPicturePixels) + ")");
  }

  QImage image;
  if (!reader.read(&image) || image.isNull()) {
    return Refuse(path, "not a picture Qt can read: " + reader.errorString().toStdString());
  }
  if (image.format() != QImage::Format_RGB888) {
    image = image.convertToFormat(QImage::Format_RGB888);
    if (image.isNull()) return Refuse(path, "out of memory converting the picture");
  }

  const int width = image.width();
  const int height = image.height();
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> bgr(stride * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    const uchar* src = image.constScanLine(y);
    std::uint8_t* dst = bgr.data() + stride * static_cast<std::size_t>(y);
    for (std::size_t i = 0; i < stride; i += 3) {
      dst[i] = src[i + 2];
      dst[i + 1] = src[i + 1];
      dst[i + 2] = src[i];
    }
  }

  Surface decoded("Pic1", 1, 1, MakeColor(128, 128, 128));
  decoded.Assign(width, height, std::move(bgr));
  *picture = std::move(decoded);
  return DecodeResult{true, ""};
}

}  // namespace tvcpix
