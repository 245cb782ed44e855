// The loader's BASIC lines and the ".cas" around them, byte for byte against the golden
// bytes (typed into the ROM's own tokenizer), and the inputs that are refused.
#include "output/tvc_cassette.h"

#include <gtest/gtest.h>

#include "output/basic_loader.h"
#include "output/tvc_program.h"
#include "tests/output/tvc_screens.h"

namespace tvcpix::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BasicLoader, FourColourLoaderIsTheGoldenProgram) {
  const Bytes expected = {
      0x06, 0x0A, 0x00, 0xEE, 0x34, 0xFF,                                // 10 GRAPHICS 4
      0x10, 0x14, 0x00, 0xD6, 0xBD, 0x30, 0xA4, 0x38, 0x30, 0xA4, 0x36,  // 20 SET PALETTE
      0x38, 0xA4, 0x38, 0x35, 0xFF,                                      //    0,80,68,85
      0x0F, 0x1E, 0x00, 0x58, 0x9A, 0x55, 0x53, 0x52, 0x96, 0x36, 0x39,  // 30 X=USR(6912)
      0x31, 0x32, 0x95, 0xFF,                                            //
      0x07, 0x28, 0x00, 0xEF, 0x34, 0x30, 0xFF,                          // 40 GOTO 40
      0x00};
  EXPECT_EQ(BuildLoaderBasic(TvcMode::kGraphics4, {0, 80, 68, 85}, 6912), expected);

  // The whole program starts with the same bytes: the routine sits at 6912.
  const ScreenBytes screen = MakeScreen(Pattern::kZeros);
  const TvcProgramResult p =
      BuildTvcProgram(TvcMode::kGraphics4, {0, 80, 68, 85}, screen.data(), screen.size());
  ASSERT_TRUE(p.ok);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), p.payload.begin()));
}

struct ModeLines {
  TvcMode mode;
  Bytes graphics_line;
  Bytes palette_line;  // empty: no SET PALETTE
};

class BasicLoaderModes : public testing::TestWithParam<ModeLines> {};

TEST_P(BasicLoaderModes, GraphicsAndPaletteLinesFollowTheMode) {
  const ModeLines& c = GetParam();
  const Bytes program = BuildLoaderBasic(c.mode, {0x41, 0x14, 0x05, 0x55}, 6912);
  Bytes expected = c.graphics_line;
  expected.insert(expected.end(), c.palette_line.begin(), c.palette_line.end());
  const Bytes tail = {0x0F, 0x1E, 0x00, 0x58, 0x9A, 0x55, 0x53, 0x52, 0x96, 0x36, 0x39, 0x31,
                      0x32, 0x95, 0xFF, 0x07, 0x28, 0x00, 0xEF, 0x34, 0x30, 0xFF, 0x00};
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(program, expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryMode, BasicLoaderModes,
    testing::Values(
        // 10 GRAPHICS 2 / 20 SET PALETTE 65,20
        ModeLines{TvcMode::kGraphics2,
                  {0x06, 0x0A, 0x00, 0xEE, 0x32, 0xFF},
                  {0x0B, 0x14, 0x00, 0xD6, 0xBD, 0x36, 0x35, 0xA4, 0x32, 0x30, 0xFF}},
        // 10 GRAPHICS 4 / 20 SET PALETTE 65,20,5,85
        ModeLines{TvcMode::kGraphics4,
                  {0x06, 0x0A, 0x00, 0xEE, 0x34, 0xFF},
                  {0x10, 0x14, 0x00, 0xD6, 0xBD, 0x36, 0x35, 0xA4, 0x32, 0x30, 0xA4, 0x35, 0xA4,
                   0x38, 0x35, 0xFF}},
        // 10 GRAPHICS 16, no palette
        ModeLines{TvcMode::kGraphics16, {0x07, 0x0A, 0x00, 0xEE, 0x31, 0x36, 0xFF}, {}}),
    [](const testing::TestParamInfo<ModeLines>& info) {
      return std::string("Graphics") + ModeArg(info.param.mode);
    });

// Header fields and record counts: records = (len + 144) / 128, last = (len + 144) mod 128.
class CasHeader : public testing::TestWithParam<std::size_t> {};

TEST_P(CasHeader, FieldsFollowThePayloadLength) {
  const std::size_t len = GetParam();
  Bytes payload(len);
  for (std::size_t i = 0; i < len; ++i) payload[i] = static_cast<std::uint8_t>(i * 13 + 7);
  const CasResult cas = BuildCasFile(payload);
  ASSERT_TRUE(cas.ok) << cas.message;
  ASSERT_EQ(cas.bytes.size(), len + 144);
  const Bytes& b = cas.bytes;
  EXPECT_EQ(b[0], 0x11);
  EXPECT_EQ(b[1], 0x00);
  EXPECT_EQ(b[2] | b[3] << 8, static_cast<int>((len + 144) / 128));
  EXPECT_EQ(b[4], (len + 144) % 128);
  for (std::size_t i = 5; i < 128; ++i) EXPECT_EQ(b[i], 0) << "at " << i;
  const Bytes program_header = {0x00,
                                0x01,
                                static_cast<std::uint8_t>(len & 0xFF),
                                static_cast<std::uint8_t>(len >> 8),
                                0xFF,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0};
  EXPECT_EQ(Bytes(b.begin() + 128, b.begin() + 144), program_header);
  EXPECT_EQ(Bytes(b.begin() + 144, b.end()), payload);
}

// 112 and 240: len + 144 a multiple of 128 (last record full, remainder byte 0); 65,280: the
// largest payload; 15,670: the loader with an uncompressed screen.
INSTANTIATE_TEST_SUITE_P(Lengths, CasHeader,
                         testing::Values(1, 112, 113, 240, 255, 256, 15670, 65280));

TEST(CasHeader, GoldenBytesOfASmallFile) {
  // 16 bytes: 160 bytes in all = one record of 128 and 32 more.
  const CasResult cas = BuildCasFile(Bytes(16, 0xAB));
  ASSERT_TRUE(cas.ok);
  EXPECT_EQ(Bytes(cas.bytes.begin(), cas.bytes.begin() + 5), (Bytes{0x11, 0x00, 0x01, 0x00, 0x20}));
  EXPECT_EQ(Bytes(cas.bytes.begin() + 128, cas.bytes.begin() + 133),
            (Bytes{0x00, 0x01, 0x10, 0x00, 0xFF}));
}

TEST(CasRefusals, EmptyAndOversizedPayloads) {
  const CasResult too_big = BuildCasFile(Bytes(65281, 0));
  EXPECT_FALSE(too_big.ok);
  EXPECT_TRUE(too_big.bytes.empty());
  EXPECT_EQ(too_big.message,
            "the program has 65281 bytes, a TVC tape file holds at most 65280 (255 sectors of "
            "256 bytes)");
  EXPECT_FALSE(BuildCasFile({}).ok);
}

struct BadInput {
  const char* name;
  TvcMode mode;
  PaletteCodes codes;
  std::size_t screen_bytes;
  const char* message;  // expected start of the message
};

class ProgramRefusals : public testing::TestWithParam<BadInput> {};

TEST_P(ProgramRefusals, AreRefusedWithTheReason) {
  const BadInput& c = GetParam();
  const ScreenBytes screen(c.screen_bytes, 0);
  const TvcProgramResult p = BuildTvcProgram(c.mode, c.codes, screen.data(), screen.size());
  EXPECT_FALSE(p.ok);
  EXPECT_TRUE(p.payload.empty());
  EXPECT_EQ(p.message.rfind(c.message, 0), 0u) << p.message;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ProgramRefusals,
    testing::Values(
        BadInput{"Bit7Code",
                 TvcMode::kGraphics4,
                 {0, 80, 68, 0x80},
                 16384,
                 "palette code 3 is 128, which is not a TVC colour code"},
        BadInput{"Bit1Code",
                 TvcMode::kGraphics2,
                 {0x02, 0x55, 0, 0},
                 16384,
                 "palette code 0 is 2, which is not a TVC colour code"},
        BadInput{"ShortImage",
                 TvcMode::kGraphics16,
                 {},
                 16383,
                 "the screen image has 16383 bytes, a TVC screen has 16384"},
        BadInput{"LongImage", TvcMode::kGraphics16, {}, 16400, "the screen image has 16400 bytes"}),
    [](const testing::TestParamInfo<BadInput>& info) { return std::string(info.param.name); });

TEST(ProgramInputs, CodesAModeDoesNotUseAreNotChecked) {
  const ScreenBytes screen = MakeScreen(Pattern::kZeros);
  // 16 colours read no palette; 2 colours read only the first two codes.
  EXPECT_TRUE(
      BuildTvcProgram(TvcMode::kGraphics16, {0xFF, 0xFF, 0xFF, 0xFF}, screen.data(), screen.size())
          .ok);
  EXPECT_TRUE(
      BuildTvcProgram(TvcMode::kGraphics2, {0x00, 0x55, 0xFF, 0xFF}, screen.data(), screen.size())
          .ok);
}

}  // namespace
}  // namespace tvcpix::test
