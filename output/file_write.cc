// Writing a file atomically: a temporary file in the same folder, renamed into place when complete.
#include "output/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <mutex>
#include <string>
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

// The temporary files that exist right now. Creating one and renaming it happen under the
// lock, so AbandonWritesInProgress, which takes the lock for good, sees every one and no new
// one can appear or be renamed after it. Never destroyed: a signal may come during exit.
struct InProgress {
  std::mutex mutex;
  std::vector<std::string> temps;
};
InProgress& Writes() {
  static InProgress* const writes = new InProgress;
  return *writes;
}

// Called with the lock held.
void Forget(InProgress& w, const char* temp) {
  const auto it = std::find(w.temps.begin(), w.temps.end(), temp);
  if (it != w.temps.end()) w.temps.erase(it);
}

std::atomic<int> g_hold_from{0};
std::atomic<int> g_hold_fd{-1};
std::atomic<int> g_complete_temps{0};

void HoldIfAsked() {
  const int from = g_hold_from.load(std::memory_order_relaxed);
  if (from <= 0 || g_complete_temps.fetch_add(1) + 1 < from) return;
  const char byte = 'h';
  while (write(g_hold_fd.load(), &byte, 1) < 0 && errno == EINTR) {
  }
  for (;;) pause();
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

int AbandonWritesInProgress() {
  InProgress& w = Writes();
  w.mutex.lock();  // and never unlocked: no write creates or renames a file any more
  for (const std::string& temp : w.temps) unlink(temp.c_str());
  return static_cast<int>(w.temps.size());
}

void HoldWritesForTesting(int nth, int notify_fd) {
  g_hold_fd = notify_fd;
  g_complete_temps = 0;
  g_hold_from = nth;
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

  InProgress& writes = Writes();
  int fd = -1;
  {
    const std::lock_guard<std::mutex> lock(writes.mutex);
    fd = Injected(WriteStep::kCreate) ? -1 : mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return Failure(errno);
    writes.temps.emplace_back(temp.data());
  }
  const auto remove_temp = [&] {
    const std::lock_guard<std::mutex> lock(writes.mutex);
    unlink(temp.data());
    Forget(writes, temp.data());
  };

  auto fail_open = [&](int errnum) {
    close(fd);
    remove_temp();
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
    remove_temp();
    return Failure(close_errno);
  }

  HoldIfAsked();
  {
    const std::lock_guard<std::mutex> lock(writes.mutex);
    if (Injected(WriteStep::kRename) || rename(temp.data(), path.c_str()) != 0) {
      const int errnum = errno;
      unlink(temp.data());
      Forget(writes, temp.data());
      return Failure(errnum);
    }
    Forget(writes, temp.data());
  }
  if (sync_folder) SyncFolder(folder);
  return Result{};
}

}  // namespace tvcpix
