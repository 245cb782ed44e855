// Writing a file atomically: a temporary file in the same folder, renamed into place when complete.
#include "output/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <system_error>
#include <vector>

namespace tvcpix {

namespace {

struct Fault {
  WriteStep step = WriteStep::kNone;
  int remaining = 0;
  int errnum = 0;
};
Fault g_fault;

// True (with errno set) when the test hook says this call of the step fails.
bool Injected(WriteStep step) {
  if (g_fault.step != step) return false;
  if (--g_fault.remaining > 0) return false;
  g_fault.step = WriteStep::kNone;
  errno = g_fault.errnum;
  return true;
}

Result Failure(int errnum) {
  return Result::Failure(std::system_category().message(errnum), errnum);
}

// The longest file name the folder takes; 255 when the folder cannot tell (or does not exist,
// in which case creating the file reports the real error).
std::size_t NameMax(const std::string& folder) {
  const long n = pathconf(folder.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<std::size_t>(n) : 255;
}

mode_t NewFileMode() {
  // The umask can only be read by setting it; put it straight back.
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Flushes the rename itself to the disk; a failure here loses nothing already in place.
void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

void InjectWriteFaultForTesting(WriteStep step, int nth, int errnum) {
  g_fault = Fault{step, nth, errnum};
}

void SyncFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  SyncFolder(slash == std::string::npos ? "." : path.substr(0, slash + 1));
}

Result WriteFileAtomically(const std::string& path, const std::uint8_t* data,
                                std::size_t size, bool sync_folder) {
  const std::size_t slash = path.rfind('/');
  const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string folder = prefix.empty() ? "." : prefix;
  if (name.empty()) return Failure(EISDIR);

  const std::size_t name_max = NameMax(folder);
  if (name.size() > name_max) return Failure(ENAMETOOLONG);

  mode_t mode = NewFileMode();
  struct stat old_file;
  if (stat(path.c_str(), &old_file) == 0) {
    // rename would refuse too, but only after the whole file was written.
    if (S_ISDIR(old_file.st_mode)) return Failure(EISDIR);
    if (S_ISREG(old_file.st_mode)) mode = old_file.st_mode & 07777;
  }

  // A hidden name beside the final one; the final name is cut short (at a character boundary)
  // where the suffixes would make it too long for the folder.
  static constexpr char kSuffix[] = ".tmp-XXXXXX";
  const std::size_t extra = 1 + sizeof(kSuffix) - 1;
  std::size_t keep = name.size();
  if (keep + extra > name_max) {
    keep = name_max > extra ? name_max - extra : 0;
    while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80) --keep;
  }
  const std::string temp_template = prefix + "." + name.substr(0, keep) + kSuffix;
  std::vector<char> temp(temp_template.begin(), temp_template.end());
  temp.push_back('\0');

  const int fd = Injected(WriteStep::kCreate) ? -1 : mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return Failure(errno);

  auto fail_open = [&](int errnum) {
    close(fd);
    unlink(temp.data());
    return Failure(errnum);
  };

  fchmod(fd, mode);  // permissions only; the content is what must not fail silently
  const std::uint8_t* p = data;
  std::size_t left = size;
  while (left > 0) {
    const std::size_t chunk = std::min<std::size_t>(left, std::size_t{1} << 30);
    const ssize_t n = Injected(WriteStep::kWrite) ? -1 : write(fd, p, chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail_open(errno);
    }
    if (n == 0) return fail_open(ENOSPC);
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (Injected(WriteStep::kSync) || fsync(fd) != 0) return fail_open(errno);

  // close releases the descriptor even when it reports an error (a full disk on some file
  // systems shows up only here).
  int close_rc = close(fd);
  int close_errno = errno;
  if (Injected(WriteStep::kClose)) {
    close_rc = -1;
    close_errno = errno;
  }
  if (close_rc != 0) {
    unlink(temp.data());
    return Failure(close_errno);
  }

  if (Injected(WriteStep::kRename) || rename(temp.data(), path.c_str()) != 0) {
    const int errnum = errno;
    unlink(temp.data());
    return Failure(errnum);
  }
  if (sync_folder) SyncFolder(folder);
  return Result{};
}

}  // namespace tvcpix
