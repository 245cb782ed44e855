// Method captions and parsing of method names.
#include "dither/method.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace tvcpix {

namespace {
constexpr const char* kCaptions[kAllMethodCount + 1] = {"",
                                                        "Atkinson",
                                                        "Floyd",
                                                        "Treshold",
                                                        "Treshold+Noise",
                                                        "Halftone 2x2",
                                                        "Halftone 3x3",
                                                        "Bayer 2x2",
                                                        "Bayer 4x4",
                                                        "Bayer 8x8",
                                                        "News 4x4",
                                                        "Sierra",
                                                        "Burkles",
                                                        "Stucky",
                                                        "Jarvis",
                                                        "Sierra Lite",
                                                        "Sierra2 Row",
                                                        "Pattern TVC",
                                                        "Perceptual",
                                                        "Screen",
                                                        "Best"};
constexpr const char* kSummaries[kPerceptualMethodCount] = {
    "error diffusion in linear light, tuned per mode",
    "ordered mix of the nearest colours, for the pixel shape",
    "perceptual refined by a search on the eye-filtered error (slow)"};

// Lower case, spaces and '+' dropped.
std::string Fold(std::string_view text) {
  std::string out;
  for (char ch : text) {
    if (ch == ' ' || ch == '+') continue;
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  }
  return out;
}
}  // namespace

const char* MethodCaption(DitherMethod method) {
  const int i = static_cast<int>(method);
  return (i >= 1 && i <= kAllMethodCount) ? kCaptions[i] : "";
}

const char* MethodSummary(DitherMethod method) {
  return IsPerceptualMethod(method) ? kSummaries[static_cast<int>(method) - kFirstPerceptualMethod]
                                    : "";
}

std::optional<DitherMethod> ParseMethod(std::string_view text) {
  if (!text.empty() && text.size() <= 2 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int n = std::stoi(std::string(text));
    if (n >= 1 && n <= kAllMethodCount) return static_cast<DitherMethod>(n);
    return std::nullopt;
  }
  const std::string folded = Fold(text);
  if (folded.empty()) return std::nullopt;
  for (int i = 1; i <= kAllMethodCount; ++i)
    if (Fold(kCaptions[i]) == folded) return static_cast<DitherMethod>(i);
  // The usual spellings of the misspelt captions.
  static constexpr struct {
    const char* alias;
    DitherMethod method;
  } kAliases[] = {{"threshold", DitherMethod::kTreshold},
                  {"thresholdnoise", DitherMethod::kTresholdNoise},
                  {"burkes", DitherMethod::kBurkles},
                  {"stucki", DitherMethod::kStucky},
                  {"floydsteinberg", DitherMethod::kFloyd},
                  {"sierra2", DitherMethod::kSierra2Row},
                  {"sierratworow", DitherMethod::kSierra2Row},
                  {"pattern", DitherMethod::kPatternTvc},
                  {"aspect", DitherMethod::kScreen}};
  for (const auto& a : kAliases)
    if (folded == a.alias) return a.method;
  return std::nullopt;
}

}  // namespace tvcpix
