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

double TapeSeconds(const TimScreen& s, ScreenPacking packing, std::size_t* payload_bytes) {
  TvcProgramOptions options;
  options.packing = packing;
  const TvcProgramResult p =
      BuildTvcProgram(s.mode, s.codes, s.image.data(), s.image.size(), options);
  EXPECT_TRUE(p.ok) << p.message;
  *payload_bytes = p.payload.size();
  const WavResult wav = BuildTapeWav(p.payload, "PICTURE");
  EXPECT_TRUE(wav.ok) << wav.message;
  return wav.seconds;
}

class PhotoExport : public testing::TestWithParam<TvcMode> {};

// "Auto" takes the smallest program; on the bundled photos that is always the bit-packed one,
// smaller than the byte-packed one, and it saves at least a third of the tape time of the
// uncompressed program (measured 0.25 to 0.64).
TEST_P(PhotoExport, AutoPicksTheBitPackedProgramForPhotos) {
  for (const char* sample : kSamples) {
    const TimScreen& s = ConvertedSample(sample, GetParam());
    const TvcProgramResult automatic =
        BuildTvcProgram(s.mode, s.codes, s.image.data(), s.image.size());
    ASSERT_TRUE(automatic.ok);
    EXPECT_EQ(automatic.layout.packing, ScreenPacking::kBits) << sample;
    std::size_t copy_bytes = 0, packed_bytes = 0, bits_bytes = 0;
    const double copy_s = TapeSeconds(s, ScreenPacking::kCopy, &copy_bytes);
    TapeSeconds(s, ScreenPacking::kPacked, &packed_bytes);
    const double bits_s = TapeSeconds(s, ScreenPacking::kBits, &bits_bytes);
    EXPECT_EQ(automatic.payload.size(), bits_bytes);
    EXPECT_LT(bits_bytes, packed_bytes) << sample;
    EXPECT_LT(bits_s, copy_s * 0.67) << sample;
  }
}

INSTANTIATE_TEST_SUITE_P(EveryMode, PhotoExport,
                         testing::Values(TvcMode::kGraphics2, TvcMode::kGraphics4,
                                         TvcMode::kGraphics16),
                         [](const testing::TestParamInfo<TvcMode>& info) {
                           return std::string("Graphics") + ModeArg(info.param);
                         });

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
