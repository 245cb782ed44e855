// Exporting screens for the TVC: load time of the bundled photos, the files written, refusals.
#include "output/tvc_export.h"

#include <gtest/gtest.h>

#include <string>

#include "output/tape_audio.h"
#include "output/tvc_cassette.h"
#include "tests/output/tvc_screens.h"
#include "tests/support/tool_run.h"

namespace tvcpix::test {
namespace {

const char* const kSamples[] = {"astronaut_512x480.bmp", "chelsea_451x300.bmp",
                                "coffee_600x400.jpg",    "milla_211x242.bmp",
                                "parrot_495x498.jpg",    "rose_70x46.bmp"};

// "Auto" takes the smallest program; on the bundled photos that is always the bit-packed one,
// smaller than the byte-packed one, and it saves at least a third of the tape time of the
// uncompressed program (measured 0.25 to 0.64).
TEST(PhotoExport, AutoPicksTheBitPackedProgramForPhotos) {
  for (const TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16})
    for (const char* sample : kSamples) {
      const TimScreen& s = ConvertedSample(sample, mode);
      const TvcProgramResult automatic =
          BuildTvcProgram(s.mode, s.codes, s.image.data(), s.image.size());
      std::vector<std::uint8_t> payloads[3];
      for (const ScreenPacking packing :
           {ScreenPacking::kCopy, ScreenPacking::kPacked, ScreenPacking::kBits}) {
        TvcProgramOptions options;
        options.packing = packing;
        payloads[static_cast<int>(packing) - 1] =
            BuildTvcProgram(s.mode, s.codes, s.image.data(), s.image.size(), options).payload;
      }
      SCOPED_TRACE(std::string(sample) + " in Graphics " + ModeArg(mode));
      EXPECT_EQ(automatic.layout.packing, ScreenPacking::kBits);
      EXPECT_EQ(automatic.payload, payloads[2]);
      EXPECT_LT(payloads[2].size(), payloads[1].size());
      EXPECT_LT(BuildTapeWav(payloads[2], "PICTURE").seconds,
                BuildTapeWav(payloads[0], "PICTURE").seconds * 0.67);
    }
}

TEST(PackingChoice, NoiseFallsBackToTheCopyWithItsHiddenTail) {
  const ScreenBytes noise = MakeScreen(Pattern::kNoise);
  const TvcProgramResult p = BuildTvcProgram(TvcMode::kGraphics16, {}, noise.data(), noise.size());
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.layout.packing, ScreenPacking::kCopy);
  EXPECT_FALSE(p.layout.zero_tail);
  EXPECT_EQ(p.layout.data_bytes, 16384u);
  const ScreenBytes runs = MakeScreen(Pattern::kLongRuns);  // zero tail: 15,360 bytes sent
  TvcProgramOptions copy;
  copy.packing = ScreenPacking::kCopy;
  const TvcProgramResult q =
      BuildTvcProgram(TvcMode::kGraphics16, {}, runs.data(), runs.size(), copy);
  EXPECT_TRUE(q.layout.zero_tail);
  EXPECT_EQ(q.layout.data_bytes, 15360u);
}

using ExportFiles = ScratchTest;

TEST_F(ExportFiles, RefusedInputsAndUnwritableFolders) {
  const ScreenBytes image = MakeScreen(Pattern::kZeros);
  const TvcExportInput bad_codes{TvcMode::kGraphics4, {0, 80, 68, 0xAA}, &image};
  TvcExportStats untouched;
  untouched.file_bytes = 77;
  const Result r = WriteTvcCas(Path("x.cas"), bad_codes, &untouched);
  EXPECT_TRUE(!r.ok && r.errnum == 0 && untouched.file_bytes == 77u);
  EXPECT_NE(r.message.find("not a TVC colour code"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("x.cas")));
  EXPECT_FALSE(WriteTvcWav(Path("x.wav"), {TvcMode::kGraphics2, {}, nullptr}, "X").ok);

  const TvcExportInput good{TvcMode::kGraphics16, {}, &image};
  const Result missing = WriteTvcCas(Path("no/x.cas"), good);
  EXPECT_TRUE(!missing.ok && missing.errnum != 0 && !missing.message.empty());
}

}  // namespace
}  // namespace tvcpix::test
