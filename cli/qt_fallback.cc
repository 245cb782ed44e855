// Qt's picture reader for tvcpix-cli, loaded from its module only when a file needs it.
#include "cli/qt_fallback.h"

#include <dlfcn.h>

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
  return {(dir / kModuleName).string(), (dir / ".." / "lib" / "tvcpix" / kModuleName).string()};
}

// Loads and starts the module; returns the reason when it cannot.
std::string Load(DecodeFunction* decode) {
  std::string tried;
  for (const std::string& path : ModuleCandidates()) {
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
  return tried;
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
  const std::string failure = Load(&decode);
  const std::lock_guard<std::mutex> lock(b.mutex);
  b.decode = decode;
  b.failure = failure;
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
