// The seventeen dithering methods, numbered as the method options.
#ifndef TVCPIX_DITHER_METHOD_H_
#define TVCPIX_DITHER_METHOD_H_

#include <optional>
#include <string_view>

namespace tvcpix {

enum class DitherMethod : int {
  kAtkinson = 1,
  kFloyd = 2,
  kTreshold = 3,
  kTresholdNoise = 4,
  kHalftone2x2 = 5,
  kHalftone3x3 = 6,
  kBayer2x2 = 7,
  kBayer4x4 = 8,
  kBayer8x8 = 9,
  kNews4x4 = 10,
  kSierra = 11,
  kBurkles = 12,
  kStucky = 13,
  kJarvis = 14,
  kSierraLite = 15,
  kSierra2Row = 16,
  kPatternTvc = 17,
};

constexpr int kMethodCount = 17;

// The caption shown to the user ("Floyd", "Treshold+Noise", ...); index 1..17.
const char* MethodCaption(DitherMethod method);
// 1..17, a caption compared case-insensitively ignoring spaces and '+', or a usual spelling
// (threshold, burkes, stucki, ...).
std::optional<DitherMethod> ParseMethod(std::string_view text);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_METHOD_H_
