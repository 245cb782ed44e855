// libFuzzer target: any bytes as a picture file, through the opening checks, the direct
// decoders and Qt's reader. No conversion, so it runs thousands of inputs a second.
#include <cstdint>

#include "tests/fuzz/fuzz_common.h"

namespace {

// Larger pictures only make runs slow; the limit itself is checked by the tests.
constexpr long long kFuzzMaxPixels = 4'000'000;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qInstallMessageHandler(tvcpix::fuzz::Silent);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (tvcpix::fuzz::ClaimedPixels(data, size) > kFuzzMaxPixels) return 0;
  tvcpix::Surface picture;
  tvcpix::fuzz::DecodeAndCheck(data, size, &picture);
  return 0;
}
