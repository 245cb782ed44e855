// Readable names of parameterised cases: "Graphics4", "Graphics16_PatternTVC".
#ifndef TVCPIX_TESTS_SUPPORT_CASE_NAMES_H_
#define TVCPIX_TESTS_SUPPORT_CASE_NAMES_H_

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <tuple>

#include "core/mode.h"
#include "dither/method.h"

namespace tvcpix::test {

inline std::string ModeName(TvcMode mode) {
  return "Graphics" + std::to_string(InfoOf(mode).colours);
}

// The method's caption with only its letters and digits: "TresholdNoise", "Bayer4x4".
inline std::string MethodName(int method) {
  std::string name;
  for (const char c : std::string(MethodCaption(static_cast<DitherMethod>(method))))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
}

inline std::string ModeMethodName(const testing::TestParamInfo<std::tuple<TvcMode, int>>& info) {
  return ModeName(std::get<0>(info.param)) + "_" + MethodName(std::get<1>(info.param));
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_SUPPORT_CASE_NAMES_H_
