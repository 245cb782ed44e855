// Screens for the TVC export tests: the bundled photos converted by the real tvcpix-cli with its
// default method (what a user exports), and hand-made adversarial images.
#ifndef TVCPIX_TESTS_OUTPUT_TVC_SCREENS_H_
#define TVCPIX_TESTS_OUTPUT_TVC_SCREENS_H_

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/mode.h"
#include "output/screen_decode.h"
#include "output/tvc_program.h"

namespace tvcpix::test {

using ScreenBytes = std::vector<std::uint8_t>;

inline const char* ModeArg(TvcMode mode) {
  return mode == TvcMode::kGraphics2 ? "2" : mode == TvcMode::kGraphics4 ? "4" : "16";
}

// The ".tim" that `tvcpix-cli -m MODE -o ... samples/<sample>` writes, converted once per run.
inline const TimScreen& ConvertedSample(const std::string& sample, TvcMode mode) {
  static std::map<std::string, TimScreen> cache;
  const std::string key = sample + "/" + ModeArg(mode);
  if (cache.count(key) != 0) return cache[key];
  namespace fs = std::filesystem;
  const fs::path base = fs::temp_directory_path() / ("tvcpix_tvc_" + std::to_string(getpid()));
  const std::string command = std::string("timeout -s KILL 60 " TVCPIX_CLI_PATH " -q -m ") +
                              ModeArg(mode) + " -o '" + base.string() + "' '" + TVCPIX_SAMPLES_DIR +
                              "/" + sample + "'";
  const int status = std::system(command.c_str());
  std::ifstream in(base.string() + ".tim", std::ios::binary);
  const std::vector<std::uint8_t> tim((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
  for (const char* ext : {".bmp", ".bin", ".tim"}) fs::remove(base.string() + ext);
  TimScreen& screen = cache[key];
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 ||
      !ScreenFromTim(tim.data(), tim.size(), &screen).ok)
    ADD_FAILURE() << "tvcpix-cli could not convert " << sample;
  return screen;
}

// Adversarial images: each stresses another part of the packer and the routine.
enum class Pattern { kZeros, kNoise, kLongRuns, kEveryByte, kHiddenTail, kFarRepeats };

inline std::string PatternName(Pattern p) {
  return std::array{"Zeros", "Noise", "LongRuns", "EveryByte", "HiddenTail", "FarRepeats"}
      [static_cast<std::size_t>(p)];
}

inline ScreenBytes MakeScreen(Pattern p) {
  ScreenBytes s(kScreenBytes, 0);
  std::mt19937 rng(1313);
  switch (p) {
    case Pattern::kZeros:
      break;
    case Pattern::kNoise:  // incompressible, hidden tail included
      for (auto& b : s) b = static_cast<std::uint8_t>(rng());
      break;
    case Pattern::kLongRuns:  // runs of 1..700 bytes, longer than one match
      for (std::size_t i = 0; i < s.size();) {
        const std::size_t run = 1 + rng() % 700;
        const auto value = static_cast<std::uint8_t>(rng());
        for (std::size_t k = 0; k < run && i < s.size(); ++k) s[i++] = value;
      }
      for (std::size_t i = 15360; i < s.size(); ++i) s[i] = 0;
      break;
    case Pattern::kEveryByte:  // 0..255 in order, then shuffled copies: every token byte value
      for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i);
      for (std::size_t i = 4096; i < s.size(); i += 256)
        std::shuffle(s.begin() + static_cast<std::ptrdiff_t>(i),
                     s.begin() + static_cast<std::ptrdiff_t>(i + 256), rng);
      break;
    case Pattern::kHiddenTail:  // blank picture but bytes in the never-shown last 1,024
      for (std::size_t i = 15360; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i * 7 + 1);
      break;
    case Pattern::kFarRepeats: {  // random rows repeated thousands of bytes later
      for (std::size_t i = 0; i < 4096; ++i) s[i] = static_cast<std::uint8_t>(rng());
      for (std::size_t i = 4096; i < s.size(); ++i)
        s[i] = (i / 64) % 3 == 0 ? static_cast<std::uint8_t>(rng()) : s[i - 2048 - (i / 512) * 3];
      break;
    }
  }
  return s;
}

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_OUTPUT_TVC_SCREENS_H_
