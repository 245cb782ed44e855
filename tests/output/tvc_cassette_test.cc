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

// clang-format off
const Bytes kUsrAndLoop = {
    0x0F, 0x1E, 0x00, 0x58, 0x9A, 0x55, 0x53, 0x52, 0x96, 0x36, 0x39, 0x31, 0x32, 0x95, 0xFF,
    0x07, 0x28, 0x00, 0xEF, 0x34, 0x30, 0xFF, 0x00};  // 30 X=USR(6912) / 40 GOTO 40
const struct {
  TvcMode mode;
  PaletteCodes codes;
  Bytes lines;  // 10 GRAPHICS n, 20 SET PALETTE ... (none in 16 colours)
} kLoaders[] = {
    {TvcMode::kGraphics2, {65, 20, 0xFF, 0xFF}, {0x06, 0x0A, 0x00, 0xEE, 0x32, 0xFF,
                                            0x0B, 0x14, 0x00, 0xD6, 0xBD, 0x36, 0x35, 0xA4, 0x32,
                                            0x30, 0xFF}},
    {TvcMode::kGraphics4, {0, 80, 68, 85}, {0x06, 0x0A, 0x00, 0xEE, 0x34, 0xFF,
                                            0x10, 0x14, 0x00, 0xD6, 0xBD, 0x30, 0xA4, 0x38, 0x30,
                                            0xA4, 0x36,
                                            0x38, 0xA4, 0x38, 0x35, 0xFF}},
    {TvcMode::kGraphics16, {0xFF, 0xFF, 0xFF, 0xFF}, {0x07, 0x0A, 0x00, 0xEE, 0x31, 0x36, 0xFF}}};
// clang-format on

// Every mode's loader is the golden program; the whole program starts with it (the routine at
// 6912), and codes a mode does not use are not checked.
TEST(BasicLoader, EveryModeIsTheGoldenProgram) {
  const ScreenBytes screen = MakeScreen(Pattern::kZeros);
  for (const auto& [mode, codes, lines] : kLoaders) {
    Bytes expected = lines;
    expected.insert(expected.end(), kUsrAndLoop.begin(), kUsrAndLoop.end());
    EXPECT_EQ(BuildLoaderBasic(mode, codes, 6912), expected);
    const TvcProgramResult p = BuildTvcProgram(mode, codes, screen.data(), screen.size());
    ASSERT_TRUE(p.ok) << p.message;
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), p.payload.begin()));
  }
}

// Header fields and record counts: records = (len + 144) / 128, last = (len + 144) mod 128.
// 112: a multiple of 128 in all (last record full, remainder byte 0); 65,280: the largest.
TEST(CasHeader, FieldsFollowThePayloadLength) {
  for (const std::size_t len : {1, 112, 255, 65280}) {
    Bytes payload(len);
    for (std::size_t i = 0; i < len; ++i) payload[i] = static_cast<std::uint8_t>(i * 13 + 7);
    const CasResult cas = BuildCasFile(payload);
    ASSERT_TRUE(cas.ok) << cas.message;
    const Bytes& b = cas.bytes;
    ASSERT_EQ(b.size(), len + 144);
    Bytes header(144, 0);
    header[0] = 0x11, header[2] = (len + 144) / 128 & 0xFF, header[3] = (len + 144) / 128 >> 8;
    header[4] = (len + 144) % 128;
    header[129] = 0x01, header[130] = len & 0xFF, header[131] = len >> 8, header[132] = 0xFF;
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 144), header) << len;
    EXPECT_EQ(Bytes(b.begin() + 144, b.end()), payload);
  }
  // 16 bytes: 160 bytes in all = one record of 128 and 32 more.
  const CasResult cas = BuildCasFile(Bytes(16, 0xAB));
  ASSERT_TRUE(cas.ok);
  EXPECT_EQ(Bytes(cas.bytes.begin(), cas.bytes.begin() + 5), (Bytes{0x11, 0x00, 0x01, 0x00, 0x20}));
  EXPECT_EQ(Bytes(cas.bytes.begin() + 128, cas.bytes.begin() + 133),
            (Bytes{0x00, 0x01, 0x10, 0x00, 0xFF}));
}

TEST(Refusals, EmptyAndOversizedPayloadsBadCodesAndImages) {
  const CasResult too_big = BuildCasFile(Bytes(65281, 0));
  EXPECT_TRUE(!too_big.ok && too_big.bytes.empty());
  EXPECT_EQ(too_big.message,
            "the program has 65281 bytes, a TVC tape file holds at most 65280 (255 sectors of "
            "256 bytes)");
  EXPECT_FALSE(BuildCasFile({}).ok);
  // clang-format off
  const struct { TvcMode mode; PaletteCodes codes; std::size_t screen_bytes; const char* message; }
      bad[] = {
          {TvcMode::kGraphics4, {0, 80, 68, 0x80},
          16384, "palette code 3 is 128, which is not a TVC colour code"},
          {TvcMode::kGraphics2, {0x02, 0x55, 0, 0},
          16384, "palette code 0 is 2, which is not a TVC colour code"},
          {TvcMode::kGraphics16, {},
          16383, "the screen image has 16383 bytes, a TVC screen has 16384"},
          {TvcMode::kGraphics16, {}, 16400, "the screen image has 16400 bytes"}};
  // clang-format on
  for (const auto& [mode, codes, size, message] : bad) {
    const ScreenBytes screen(size, 0);
    const TvcProgramResult p = BuildTvcProgram(mode, codes, screen.data(), screen.size());
    EXPECT_TRUE(!p.ok && p.payload.empty());
    EXPECT_EQ(p.message.rfind(message, 0), 0u) << p.message;
  }
}

}  // namespace
}  // namespace tvcpix::test
