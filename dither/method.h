// The seventeen dithering methods, numbered as the method options, and the perceptual methods
// numbered after them.
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
  kPerceptual = 18,  // error diffusion in linear light, interactive
  kScreen = 19,      // ordered mixing for the pixel's shape, interactive
  kBest = 20,        // Perceptual refined by a search on the filtered error, slow
};

// The seventeen original methods, 1..17.
constexpr int kMethodCount = 17;
// The perceptual methods, numbered kMethodCount + 1 onwards, which a window lists apart.
constexpr int kPerceptualMethodCount = 3;
constexpr int kFirstPerceptualMethod = kMethodCount + 1;
constexpr int kAllMethodCount = kMethodCount + kPerceptualMethodCount;
constexpr bool IsPerceptualMethod(DitherMethod method) {
  return static_cast<int>(method) >= kFirstPerceptualMethod &&
         static_cast<int>(method) <= kAllMethodCount;
}

// The caption shown to the user ("Floyd", "Treshold+Noise", "Perceptual", ...); 1..20.
const char* MethodCaption(DitherMethod method);
// A one-line description of a perceptual method (empty for the others).
const char* MethodSummary(DitherMethod method);
// 1..20, a caption compared case-insensitively ignoring spaces and '+', or a usual spelling
// (threshold, burkes, stucki, aspect, ...).
std::optional<DitherMethod> ParseMethod(std::string_view text);

}  // namespace tvcpix

#endif  // TVCPIX_DITHER_METHOD_H_
