// Qt's picture reader for tvcpix-cli, loaded from its module only when a file needs it.
#include "cli/qt_fallback.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tvcpix {
namespace {

constexpr char kModuleName[] = "libtvcpix_qtdecode.so";

using StartFunction = void (*)();
using DecodeFunction = void (*)(const std::string*, int, long long, Surface*, Result*);

enum class State { kIdle, kRequested, kReady, kFailed };

struct Bridge {
  std::mutex mutex;
  std::condition_variable settled;
  State state = State::kIdle;
  std::string failure;
  std::vector<std::string> missing;  // every place looked in, when the module is in none
  DecodeFunction decode = nullptr;
  std::function<void()> waker;
};

Bridge& TheBridge() {
  static Bridge bridge;
  return bridge;
}

// Static initialisation runs on the main thread.
const std::thread::id kMainThread = std::this_thread::get_id();

// Beside the program (a build tree), or in lib/tvcpix next to its bin folder (installed);
// TVCPIX_QT_MODULE names it outright.
std::vector<std::string> ModuleCandidates() {
  if (const char* named = std::getenv("TVCPIX_QT_MODULE"); named != nullptr && *named != '\0') {
    return {named};
  }
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return {kModuleName};
  const std::filesystem::path dir = program.parent_path();
  return {(dir / kModuleName).string(),
          (dir / ".." / "lib" / "tvcpix" / kModuleName).lexically_normal().string()};
}

// Loads and starts the module; returns the reason when it cannot. When no place looked in
// holds a file of that name, *missing lists them all.
std::string Load(DecodeFunction* decode, std::vector<std::string>* missing) {
  std::string tried;
  bool all_missing = true;
  const std::vector<std::string> candidates = ModuleCandidates();
  for (const std::string& path : candidates) {
    // A bare name is looked for by the loader's own search; only a path can be checked here.
    std::error_code ec;
    if (path.find('/') == std::string::npos || std::filesystem::exists(path, ec) || ec) {
      all_missing = false;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      tried += (tried.empty() ? "" : "; ") + std::string(why != nullptr ? why : path);
      continue;
    }
    auto start = reinterpret_cast<StartFunction>(dlsym(handle, "TvcpixQtStart"));
    *decode = reinterpret_cast<DecodeFunction>(dlsym(handle, "TvcpixQtDecode"));
    if (start == nullptr || *decode == nullptr) return path + " is not tvcpix's Qt reader module";
    start();
    return "";
  }
  if (all_missing) *missing = candidates;
  return tried;
}

// The picture format the file's first bytes announce, for saying what cannot be read.
std::string FormatName(int fd) {
  unsigned char head[12] = {};
  const ssize_t n = pread(fd, head, sizeof head, 0);
  const auto starts = [&](const char* magic, std::size_t size, std::size_t at = 0) {
    return n >= static_cast<ssize_t>(at + size) &&
           std::equal(head + at, head + at + size, reinterpret_cast<const unsigned char*>(magic));
  };
  if (starts("\x89PNG", 4)) return "PNG pictures";
  if (starts("GIF8", 4)) return "GIF pictures";
  if (starts("\xFF\xD8", 2)) return "this JPEG picture";
  if (starts("BM", 2)) return "this BMP picture";
  if (starts("II*\0", 4) || starts("MM\0*", 4)) return "TIFF pictures";
  if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return "WebP pictures";
  return "this picture";
}

}  // namespace

void StartQtModule() {
  Bridge& b = TheBridge();
  static std::mutex loading;  // one load, however many threads come here first
  const std::lock_guard<std::mutex> one_at_a_time(loading);
  {
    const std::lock_guard<std::mutex> lock(b.mutex);
    if (b.state == State::kReady || b.state == State::kFailed) return;
  }
  DecodeFunction decode = nullptr;
  std::vector<std::string> missing;
  const std::string failure = Load(&decode, &missing);
  const std::lock_guard<std::mutex> lock(b.mutex);
  b.decode = decode;
  b.failure = failure;
  b.missing = std::move(missing);
  b.state = failure.empty() ? State::kReady : State::kFailed;
  b.settled.notify_all();
}

void SetQtModuleWaker(std::function<void()> waker) {
  Bridge& b = TheBridge();
  const std::lock_guard<std::mutex> lock(b.mutex);
  b.waker = std::move(waker);
}

bool QtModuleRequested() {
  Bridge& b = TheBridge();
  const std::lock_guard<std::mutex> lock(b.mutex);
  return b.state == State::kRequested;
}

Result DecodeWithQtModule(const std::string& path, int fd, long long size,
                                Surface* picture) {
  Bridge& b = TheBridge();
  if (std::this_thread::get_id() != kMainThread) {
    std::function<void()> waker;
    {
      const std::lock_guard<std::mutex> lock(b.mutex);
      if (b.state == State::kIdle && b.waker) {
        b.state = State::kRequested;
        waker = b.waker;
      }
    }
    if (waker) waker();
    std::unique_lock<std::mutex> lock(b.mutex);
    b.settled.wait(lock, [&] { return b.state != State::kRequested; });
  }
  StartQtModule();  // returns at once when it is already settled
  DecodeFunction decode;
  {
    const std::lock_guard<std::mutex> lock(b.mutex);
    if (b.state == State::kFailed && !b.missing.empty()) {
      std::string looked;
      for (const std::string& place : b.missing) looked += (looked.empty() ? "" : ", ") + place;
      return Result::Failure(path + ": cannot read " + FormatName(fd) + ": the Qt reader module " +
                             kModuleName + " was not found (looked in " + looked + ")");
    }
    if (b.state == State::kFailed) {
      return Result::Failure(path + ": this picture needs Qt's image reader, which could "
                             "not be loaded (" + b.failure + ")");
    }
    decode = b.decode;
  }
  Result result;
  decode(&path, fd, size, picture, &result);
  return result;
}


}  // namespace tvcpix
