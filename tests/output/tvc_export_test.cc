// Exporting screens for the TVC: load time of the bundled photos, the files written, refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "output/tape_audio.h"
#include "output/tvc_cassette.h"
#include "output/tvc_export.h"
#include "tests/output/tvc_screens.h"

namespace tvcpix::test {
namespace {

const char* const kSamples[] = {"astronaut_512x480.bmp", "chelsea_451x300.bmp",
                                "coffee_600x400.jpg",    "milla_211x242.bmp",
                                "parrot_495x498.jpg",    "rose_70x46.bmp"};

double TapeSeconds(const TimScreen& s, ScreenPacking packing, std::size_t* payload_bytes) {
  TvcProgramOptions options;
  options.packing = packing;
  const TvcProgramResult p = BuildTvcProgram(s.mode, s.codes, s.image.data(), s.image.size(), options);
  EXPECT_TRUE(p.ok) << p.message;
  *payload_bytes = p.payload.size();
  const WavResult wav = BuildTapeWav(p.payload, "PICTURE");
  EXPECT_TRUE(wav.ok) << wav.message;
  return wav.seconds;
}

// The table of the report: every bundled photo in every mode, default method.
TEST(TvcExportMeasure, DISABLED_PrintSizesAndTapeTimes) {
  std::printf("%-22s %4s %8s %8s %8s %8s %6s\n", "sample", "mode", "copy B", "packed B",
              "copy s", "packed s", "ratio");
  for (const char* sample : kSamples) {
    for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16}) {
      const TimScreen& s = ConvertedSample(sample, mode);
      std::size_t copy_bytes = 0, packed_bytes = 0;
      const double copy_s = TapeSeconds(s, ScreenPacking::kCopy, &copy_bytes);
      const double packed_s = TapeSeconds(s, ScreenPacking::kPacked, &packed_bytes);
      std::printf("%-22s %4s %8zu %8zu %8.1f %8.1f %6.2f\n", sample, ModeArg(mode), copy_bytes,
                  packed_bytes, copy_s, packed_s, packed_s / copy_s);
    }
  }
}

}  // namespace
}  // namespace tvcpix::test
