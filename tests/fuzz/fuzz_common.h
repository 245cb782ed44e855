// Shared by the libFuzzer targets: checks that record a crash, the input as a file, the size a
// picture claims, the checks of every decode and a quiet Qt.
#ifndef TVCPIX_TESTS_FUZZ_FUZZ_COMMON_H_
#define TVCPIX_TESTS_FUZZ_FUZZ_COMMON_H_

#include <sys/mman.h>
#include <unistd.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QMessageLogContext>
#include <QSize>
#include <QString>
#include <QtGlobal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/surface.h"
#include "qtdecode/picture_file.h"

namespace tvcpix::fuzz {

// A failed check: libFuzzer records the input as a crash.
inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "check failed: %s\n", what);
    std::abort();
  }
}

// The input as a file: an in-memory file, named by its /proc/self/fd path. A file on the disk
// would cost a flush to the disk on each rewrite, more than decoding a small picture.
inline const std::string& WriteInput(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("tvcpix-fuzz-input", MFD_CLOEXEC);
  static const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<std::size_t>(n);
  }
  return path;
}

// The number of pixels Qt reads from the header, or -1 when it cannot tell.
inline long long ClaimedPixels(const std::uint8_t* data, std::size_t size) {
  QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  const QSize claimed = reader.size();
  return claimed.isValid() ? static_cast<long long>(claimed.width()) * claimed.height() : -1;
}

// Decodes the bytes as a picture file and checks what any decode must hold: a refusal names the
// file and a reason and leaves the picture as it was; a success gives a sane picture.
inline Result DecodeAndCheck(const std::uint8_t* data, std::size_t size, Surface* picture) {
  const std::string& path = WriteInput(data, size);
  *picture = Surface("Pic1", 3, 2, MakeColor(1, 2, 3));
  const Surface before = *picture;
  const Result r = DecodePictureFile(path, picture);
  if (!r.ok) {
    Check(r.message.rfind(path + ": ", 0) == 0 && r.message.size() > path.size() + 2,
          "refusal names the file and a reason");
    Check(*picture == before, "a refused file leaves the picture untouched");
    return r;
  }
  Check(r.message.empty(), "no message on success");
  Check(picture->width() > 0 && picture->height() > 0, "decoded size");
  Check(static_cast<long long>(picture->width()) * picture->height() <= kMaxPicturePixels,
        "decoded within the pixel limit");
  Check(picture->size_bytes() == picture->stride() * static_cast<std::size_t>(picture->height()),
        "decoded storage");
  return r;
}

// Qt's readers warn about every damaged input; printing thousands of lines only slows the run.
// (The decoder still sees the warnings it acts on: its own handler sits in front of this one.)
inline void Silent(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace tvcpix::fuzz

#endif  // TVCPIX_TESTS_FUZZ_FUZZ_COMMON_H_
