// tvcpix-cli over many inputs: parallel conversions, output in input order, progress, summary.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/extras.h"
#include "cli/qt_fallback.h"

namespace tvcpix {
namespace {

namespace fs = std::filesystem;

// What one input printed, kept until every input before it has been printed.
struct InputResult {
  std::string out;
  std::string err;
  bool ok = false;
};

InputResult ConvertBuffered(const CliOptions& options, const std::string& input,
                            const std::string& base, const std::string& shared_with) {
  std::ostringstream out, err;
  InputResult result;
  if (!shared_with.empty()) {
    err << kCliName << ": " << input << ": the output base " << base << " is also that of "
        << shared_with << "; not converted\n";
  } else {
    try {
      result.ok = ConvertInput(options, input, base, out, err);
    } catch (const std::exception& e) {
      // Out of memory on a huge picture must not take the remaining inputs down with it.
      err << kCliName << ": " << input << ": " << e.what() << "\n";
    } catch (...) {
      err << kCliName << ": " << input << ": conversion failed\n";
    }
  }
  result.out = out.str();
  result.err = err.str();
  return result;
}

class Progress {
 public:
  Progress(std::ostream& err, bool on, std::size_t total) : err_(err), on_(on), total_(total) {}

  void Show(std::size_t done) {
    if (!on_) return;
    err_ << "\r\033[K" << kCliName << ": " << done << " of " << total_ << " pictures done"
         << std::flush;
    shown_ = true;
  }
  void Clear() {
    if (!shown_) return;
    err_ << "\r\033[K" << std::flush;
    shown_ = false;
  }

 private:
  std::ostream& err_;
  bool on_;
  std::size_t total_;
  bool shown_ = false;
};

}  // namespace

bool RunBatch(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress) {
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string>& inputs = options.inputs;
  const std::size_t n = inputs.size();
  const std::vector<std::string> bases = OutputBases(options);

  // Inputs that would write the same files are all refused: converting one of them would
  // silently lose the other's result.
  std::map<std::string, std::vector<std::size_t>> users;
  for (std::size_t i = 0; i < n; ++i) {
    users[fs::path(bases[i]).lexically_normal().string()].push_back(i);
  }
  std::vector<std::string> shared_with(n);
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<std::size_t>& sharing = users[fs::path(bases[i]).lexically_normal().string()];
    if (sharing.size() > 1) shared_with[i] = inputs[sharing[0] == i ? sharing[1] : sharing[0]];
  }

  std::size_t jobs = options.jobs > 0 ? static_cast<std::size_t>(options.jobs)
                                      : std::max(1u, std::thread::hardware_concurrency());
  jobs = std::min(jobs, n);

  std::vector<InputResult> results(n);
  std::vector<bool> done(n, false);
  std::size_t finished = 0;
  std::mutex mutex;
  std::condition_variable changed;
  std::atomic<std::size_t> next{0};

  auto work = [&] {
    for (std::size_t i = next++; i < n; i = next++) {
      InputResult result = ConvertBuffered(options, inputs[i], bases[i], shared_with[i]);
      const std::lock_guard<std::mutex> lock(mutex);
      results[i] = std::move(result);
      done[i] = true;
      ++finished;
      changed.notify_all();
    }
  };
  // One job runs here, without a thread, in input order. With workers, this thread also
  // starts Qt's reader for them should one of their pictures need it.
  std::vector<std::thread> workers;
  if (jobs > 1) {
    SetQtModuleWaker([&] {
      const std::lock_guard<std::mutex> lock(mutex);
      changed.notify_all();
    });
    for (std::size_t t = 0; t < jobs; ++t) {
      try {
        workers.emplace_back(work);
      } catch (const std::system_error&) {
        break;  // no more threads to be had: those started share the inputs
      }
    }
    if (workers.empty()) jobs = 1;
  }

  Progress bar(err, progress && n > 1, n);
  std::size_t converted = 0;
  for (std::size_t i = 0; i < n; ++i) {
    InputResult result;
    if (jobs > 1) {
      std::unique_lock<std::mutex> lock(mutex);
      std::size_t shown = finished;
      bar.Show(shown);
      while (!done[i]) {
        changed.wait(lock, [&] { return done[i] || finished != shown || QtModuleRequested(); });
        if (QtModuleRequested()) {
          lock.unlock();
          StartQtModule();
          lock.lock();
        }
        shown = finished;
        bar.Show(shown);
      }
      result = std::move(results[i]);
    } else {
      bar.Show(i);
      result = ConvertBuffered(options, inputs[i], bases[i], shared_with[i]);
    }
    bar.Clear();
    out << result.out << std::flush;
    err << result.err << std::flush;
    if (result.ok) ++converted;
  }
  for (std::thread& t : workers) t.join();
  SetQtModuleWaker(nullptr);

  if (n > 1 && !options.quiet) {
    const std::size_t threads = std::max<std::size_t>(workers.size(), 1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.2f", seconds);
    err << kCliName << ": " << converted << " converted, " << n - converted << " failed in " << time
        << " s (" << threads << (threads > 1 ? " threads" : " thread") << ")\n";
  }
  return converted == n;
}

}  // namespace tvcpix
