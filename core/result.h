// The outcome of an operation that can fail (decoding, writing, saving, reading a screen back).
#ifndef TVCPIX_CORE_RESULT_H_
#define TVCPIX_CORE_RESULT_H_

#include <string>
#include <utility>

namespace tvcpix {

// On failure, message names the file and the reason, and errnum is the system's error number
// when the failure came from the system (0 otherwise). The windows show "Error #" with errnum,
// or with kNoErrno when there is none.
struct Result {
  static constexpr int kNoErrno = 1000;

  bool ok = true;
  int errnum = 0;
  std::string message;

  static Result Failure(std::string message, int errnum = 0) {
    return Result{false, errnum, std::move(message)};
  }
};

}  // namespace tvcpix

#endif  // TVCPIX_CORE_RESULT_H_
