// libFuzzer target: small pictures (at most 64 x 64 pixels) through the whole load sequence and
// conversions of the model, in the mode, method and settings the input chooses. The decoders
// have their own target (fuzz_decode); a small picture keeps each run here short.
#include <cstdint>
#include <utility>

#include "core/mode.h"
#include "engine/model.h"
#include "core/palette.h"
#include "dither/method.h"
#include "tests/fuzz/fuzz_common.h"

namespace {

using tvcpix::DitherMethod;
using tvcpix::TvcMode;
using tvcpix::fuzz::Check;

constexpr int kFuzzMaxSide = 64;

void CheckModel(const tvcpix::Model& m) {
  const int n = m.palette().size();
  Check(n == 2 || n == 4 || n == 16 || n == tvcpix::kPatternCount, "palette size");
  for (int k = 0; k < tvcpix::kPatternCount; ++k) {
    const auto e = m.pattern_flags().excluded[static_cast<std::size_t>(k)];
    const auto s = m.pattern_flags().swapped[static_cast<std::size_t>(k)];
    Check((e == 0 || e == 1) && (s == 0 || s == 1), "pattern flags");
  }
  Check(m.pic5().width() == 512 && m.pic5().height() == 480, "Pic5 size");
  Check(m.pic2().width() == 512 && m.pic2().height() == 480, "Pic2 size");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  qInstallMessageHandler(tvcpix::fuzz::Silent);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (tvcpix::fuzz::ClaimedPixels(data, size) > kFuzzMaxSide * kFuzzMaxSide) return 0;
  tvcpix::Surface picture;
  if (!tvcpix::fuzz::DecodeAndCheck(data, size, &picture).ok) return 0;
  if (picture.width() > kFuzzMaxSide || picture.height() > kFuzzMaxSide) return 0;

  // Two mode and method combinations, chosen by the input: the load sequence in the first,
  // then a conversion in the second.
  const std::uint8_t a = size > 0 ? data[size - 1] : 0;
  const std::uint8_t b = size > 1 ? data[size / 2] : 0;
  tvcpix::Model model;
  model.SetMode(static_cast<TvcMode>(a % 3));
  model.SetMethod(static_cast<DitherMethod>(1 + (a / 3) % tvcpix::kMethodCount));
  model.SetResize((b & 0x80) == 0);
  model.LoadSourcePicture(std::move(picture));
  CheckModel(model);
  model.SetMethod(static_cast<DitherMethod>(1 + b % tvcpix::kMethodCount));
  model.SelectMode(static_cast<TvcMode>((a + 1 + b / 128) % 3));
  CheckModel(model);
  model.ProbeMove(b * 2, a * 2);
  CheckModel(model);
  return 0;
}
