// Ending tvcpix-cli on SIGINT or SIGTERM without leaving partial files behind.
//
// The signals are blocked everywhere and taken by one thread with sigwait, rather than by a
// handler: the thread may then take the lock of the file writes, which a handler could not, so
// no temporary file is created or renamed between its cleanup and the end of the process.
#include "cli/interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>
#include <thread>

#include "cli/cli.h"
#include "output/file_write.h"

namespace tvcpix {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

const char* SignalName(int signo) { return signo == SIGINT ? "SIGINT" : "SIGTERM"; }

[[noreturn]] void WaitAndEnd(sigset_t set) {
  int signo = 0;
  while (sigwait(&set, &signo) != 0) {
  }
  const int removed = AbandonWritesInProgress();
  std::string line = isatty(STDERR_FILENO) == 1 ? "\r\033[K" : "";  // over a progress line
  line += std::string(kCliName) + ": stopped by " + SignalName(signo);
  if (removed > 0) {
    line += "; removed " + std::to_string(removed) + " unfinished temporary file" +
            (removed > 1 ? "s" : "");
  }
  line += "\n";
  for (std::size_t done = 0; done < line.size();) {
    const ssize_t n = write(STDERR_FILENO, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  _exit(128 + signo);
}

}  // namespace

void EndCleanlyOnSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int signo : kSignals) {
    struct sigaction current;
    if (sigaction(signo, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaddset(&set, signo);
  }
  sigset_t before;
  if (pthread_sigmask(SIG_BLOCK, &set, &before) != 0) return;
  try {
    std::thread(WaitAndEnd, set).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the signals end the process as they would have without this.
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
  }
}

void HoldWritesFromEnvironment() {
  const char* hold = std::getenv("TVCPIX_TEST_HOLD_WRITE");
  if (hold == nullptr) return;
  char* end = nullptr;
  const long nth = std::strtol(hold, &end, 10);
  const long fd = std::strtol(end, &end, 10);
  if (*end != '\0' || nth <= 0 || nth > 1'000'000 || fd < 0 || fd > 1'000'000) return;
  HoldWritesForTesting(static_cast<int>(nth), static_cast<int>(fd));
}

}  // namespace tvcpix
