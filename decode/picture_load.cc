// Loading a picture file: the shared opening checks, then the direct decoders, then a fallback.
#include "decode/picture_load.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "decode/direct_decode.h"

namespace tvcpix {

namespace {

Result Refuse(const std::string& path, const std::string& reason) {
  return Result::Failure(path + ": " + reason);
}

std::string SystemReason(int errnum) { return std::system_category().message(errnum); }

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() { close(fd_); }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

}  // namespace

Result LoadPictureFile(const std::string& path, Surface* picture,
                             FallbackDecoder fallback) {
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
  const FdCloser closer(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) return Refuse(path, SystemReason(errno));
  if (!S_ISREG(st.st_mode)) return Refuse(path, "not a regular file");
  if (st.st_size == 0) return Refuse(path, "empty file");
  // Reading a huge file (even only to look for a JPEG's end) would hang the program.
  if (st.st_size > kMaxPictureFileBytes) {
    return Refuse(path, "file too large: " + std::to_string(st.st_size) + " bytes (limit " +
                            std::to_string(kMaxPictureFileBytes) + ")");
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  if (DecodeDirect(fd, st.st_size, picture)) return {};
  return fallback(path, fd, st.st_size, picture);
}

}  // namespace tvcpix
