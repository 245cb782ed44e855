// The byte and bit packers: every image decodes back exactly, the formats' limits are used, and
// malformed streams are refused by the reference decoders (the Z80 ones run in z80_show_test.cc);
// the packing the export chooses for photos and noise, and the export's files and refusals.
#include "output/screen_pack.h"

#include <gtest/gtest.h>

#include <string>

#include "output/screen_bitpack.h"
#include "output/tape_audio.h"
#include "output/tvc_cassette.h"
#include "output/tvc_export.h"
#include "tests/output/tvc_screens.h"
#include "tests/support/tool_run.h"

namespace tvcpix::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

class PackRoundTrip : public testing::TestWithParam<Pattern> {};

// Both packers decode back exactly, the same bytes on every call; never more than one token
// byte per 128 literals (bytes) or the image, its tables and a ninth for the literal flags
// (bits); a bit stream a byte short is refused rather than read past its end. Rows repeated
// thousands of bytes back pack small only through far distances (80h | hi, lo).
TEST_P(PackRoundTrip, DecodesToTheImage) {
  const ScreenBytes image = MakeScreen(GetParam());
  const Bytes packed = PackScreen(image.data(), image.size()),
              bits = PackScreenBits(image.data(), image.size());
  Bytes back, back_bits;
  ASSERT_TRUE(UnpackScreen(packed.data(), packed.size(), image.size(), &back));
  ASSERT_TRUE(UnpackScreenBits(bits.data(), bits.size(), image.size(), &back_bits));
  EXPECT_EQ(back, image);
  EXPECT_EQ(back_bits, image);
  EXPECT_EQ(PackScreen(image.data(), image.size()), packed);
  EXPECT_EQ(PackScreenBits(image.data(), image.size()), bits);
  EXPECT_LE(packed.size(), image.size() + (image.size() + 127) / 128);
  EXPECT_LE(bits.size(), image.size() * 9 / 8 + kBitPackHeaderBytes + 64);
  EXPECT_FALSE(UnpackScreenBits(bits.data(), bits.size() - 1, image.size(), &back));
  EXPECT_TRUE(GetParam() != Pattern::kFarRepeats || packed.size() < image.size() * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(Images, PackRoundTrip,
                         testing::Values(Pattern::kZeros, Pattern::kNoise, Pattern::kLongRuns,
                                         Pattern::kEveryByte, Pattern::kHiddenTail,
                                         Pattern::kFarRepeats),
                         [](const testing::TestParamInfo<Pattern>& info) {
                           return PatternName(info.param);
                         });

TEST(PackFormat, LongestMatches) {
  // 16,384 zeros: one literal, then the fewest matches at distance 1 that cover 16,383 bytes:
  // 126 of 130 (token FF) and one of 3 (token 80), each followed by distance 00.
  const Bytes zeros(16384, 0);
  const Bytes packed = PackScreen(zeros.data(), zeros.size());
  ASSERT_EQ(packed.size(), 2u + 2 * 127);
  EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 2), (Bytes{0x00, 0x00}));
  int longest = 0;
  for (std::size_t i = 2; i < packed.size(); i += 2) {
    EXPECT_EQ(packed[i + 1], 0x00);
    longest += packed[i] == 0xFF;
  }
  EXPECT_EQ(longest, 126);
}

TEST(PackFormat, MalformedStreamsAreRefused) {
  Bytes out;
  // Nothing; a literal run cut short; a match before any output, without its distance, with a
  // far distance without its low byte, of distance 2 with one byte written, of 130 bytes where
  // 8 remain; 9 bytes, then one left over.
  // clang-format off
  const std::vector<Bytes> bad = {{}, {0x02, 0x11, 0x22}, {0x80, 0x00}, {0x00, 0x11, 0x80},
      {0x00, 0x11, 0x80, 0x85}, {0x00, 0x11, 0x80, 0x01}, {0x00, 0x11, 0xFF, 0x00},
      {0x00, 0x11, 0x85, 0x00, 0x00}};
  // clang-format on
  for (const Bytes& b : bad) EXPECT_FALSE(UnpackScreen(b.data(), b.size(), 9, &out));
  const Bytes extra = {0x00, 0x11, 0x85, 0x00, 0x00};
  EXPECT_TRUE(UnpackScreen(extra.data(), 4, 9, &out));
  EXPECT_EQ(out, Bytes(9, 0x11));
}

TEST(BitPackFormat, RowRepeatsUseTheShortDistances) {
  // Two random rows repeated down the screen: one literal run of 128 bytes, then one match two
  // rows up ("1", "1", index 3 = "11") covering everything else.
  ScreenBytes noise = MakeScreen(Pattern::kNoise);
  Bytes rows(16384);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = noise[i % 128];
  const Bytes packed = PackScreenBits(rows.data(), rows.size());
  Bytes back;
  ASSERT_TRUE(UnpackScreenBits(packed.data(), packed.size(), rows.size(), &back));
  EXPECT_EQ(back, rows);
  EXPECT_LT(packed.size(), kBitPackHeaderBytes + 128 + 64);
  EXPECT_EQ(packed[0] | packed[1] << 8, kBitPackDistances[0]);
  EXPECT_EQ(packed[6] | packed[7] << 8, 128);
}

TEST(BitPackFormat, MalformedStreamsAreRefused) {
  Bytes header(kBitPackHeaderBytes, 0);
  header[0] = 1;  // short distances 1, 0, 0, 0
  header[2 * kBitPackShortDistances] = 0x77;
  // gamma(1) = "1", literal "1" + index 0000 = 0x77; then "0" = a repeat before any match, or
  // "1" new match, "1" short, index 01 = distance 0, gamma(1); or index 00 = distance 1,
  // gamma(1) = length 2, "0" then a run of one table byte: 4 bytes, where 2 are too few for the
  // match and a spare byte is left over.
  const struct {
    Bytes tail;
    std::size_t size;
    bool ok;
  } cases[] = {{{0b11000000, 0b01000000}, 4, false},
               {{0b11000011, 0b01100000}, 4, false},
               {{0b11000011, 0b00101100, 0}, 4, true},
               {{0b11000011, 0b00101100, 0}, 2, false},
               {{0b11000011, 0b00101100, 0, 0}, 4, false}};
  Bytes out;
  for (const auto& [tail, size, ok] : cases) {
    Bytes b = header;
    b.insert(b.end(), tail.begin(), tail.end());
    EXPECT_EQ(UnpackScreenBits(b.data(), b.size(), size, &out), ok) << b.size() << " " << size;
    EXPECT_TRUE(!ok || out == Bytes(4, 0x77));
  }
  EXPECT_FALSE(UnpackScreenBits(header.data(), 5, 4, &out));  // tables cut short
}

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

// (An unwritable folder: tvc_program_export_test.cc, through the tool.)
TEST_F(ExportFiles, RefusedInputs) {
  const ScreenBytes image = MakeScreen(Pattern::kZeros);
  const TvcExportInput bad_codes{TvcMode::kGraphics4, {0, 80, 68, 0xAA}, &image};
  TvcExportStats untouched;
  untouched.file_bytes = 77;
  const Result r = WriteTvcCas(Path("x.cas"), bad_codes, &untouched);
  EXPECT_TRUE(!r.ok && r.errnum == 0 && untouched.file_bytes == 77u);
  EXPECT_NE(r.message.find("not a TVC colour code"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("x.cas")));
  EXPECT_FALSE(WriteTvcWav(Path("x.wav"), {TvcMode::kGraphics2, {}, nullptr}, "X").ok);
}

}  // namespace
}  // namespace tvcpix::test
