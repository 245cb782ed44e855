// Onto tape: the loader's BASIC lines and the ".cas" around them byte for byte against golden
// bytes (typed into the ROM's own tokenizer) and the inputs refused; the tape CRC against a
// hand-worked example and an independent formulation, the blocks against the tape layout, and the
// WAV read back by a small FSK reader (zero-crossing periods) to the very blocks and CRCs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "output/basic_loader.h"
#include "output/tape_audio.h"
#include "output/tvc_cassette.h"
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
    {TvcMode::kGraphics2, {65, 20, 0xFF, 0xFF}, {0x06, 0x0A, 0x00, 0xEE, 0x32, 0xFF, 0x0B, 0x14,
        0x00, 0xD6, 0xBD, 0x36, 0x35, 0xA4, 0x32, 0x30, 0xFF}},
    {TvcMode::kGraphics4, {0, 80, 68, 85}, {0x06, 0x0A, 0x00, 0xEE, 0x34, 0xFF, 0x10, 0x14, 0x00,
        0xD6, 0xBD, 0x30, 0xA4, 0x38, 0x30, 0xA4, 0x36, 0x38, 0xA4, 0x38, 0x35, 0xFF}},
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
// 16: one record of 128 and 32 more; 112: a multiple of 128 in all (last record full,
// remainder byte 0); 65,280: the largest.
TEST(CasHeader, FieldsFollowThePayloadLength) {
  for (const std::size_t len : {1, 16, 112, 255, 65280}) {
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
          {TvcMode::kGraphics4, {0, 80, 68, 0x80}, 16384,
           "palette code 3 is 128, which is not a TVC colour code"},
          {TvcMode::kGraphics2, {0x02, 0x55, 0, 0}, 16384,
           "palette code 0 is 2, which is not a TVC colour code"},
          {TvcMode::kGraphics16, {}, 16383, "the screen image has 16383 bytes, a TVC screen has 16384"},
          {TvcMode::kGraphics16, {}, 16400, "the screen image has 16400 bytes"}};
  // clang-format on
  for (const auto& [mode, codes, size, message] : bad) {
    const ScreenBytes screen(size, 0);
    const TvcProgramResult p = BuildTvcProgram(mode, codes, screen.data(), screen.size());
    EXPECT_TRUE(!p.ok && p.payload.empty());
    EXPECT_EQ(p.message.rfind(message, 0), 0u) << p.message;
  }
}

// CRC of the single byte 01, bit by bit (LSB first; A = bit·80h XOR CRC's high byte):
//   bit 0 = 1: A = 80h -> CRC ^= 0810h -> 0810h, shifted with carry 1 -> 1021h
//   bits 1..3 = 0: A = 10h, 20h, 40h -> 2042h, 4084h, 8108h
//   bit 4 = 0: A = 81h -> CRC ^= 0810h -> 8918h, shifted with carry 1 -> 1231h
//   bits 5..7 = 0: A = 12h, 24h, 48h -> 2462h, 48C4h, 9188h
// XOR-ing 0810h and shifting in a carry of 1 is XOR-ing 1021h after the shift: the tape CRC is
// CRC-16/XMODEM (check value 31C3h for "123456789") of the bytes with their bits reversed. A
// leading zero byte leaves it unchanged, and it continues from a CRC given.
TEST(TapeCrc, HandWorkedXmodemOfReversedBitsAndContinued) {
  EXPECT_EQ(TapeCrc(Bytes{0x01}.data(), 1), 0x9188);
  Bytes reversed;
  for (const char c : std::string("123456789")) {
    std::uint8_t r = 0;
    for (int b = 0; b < 8; ++b) r |= ((static_cast<unsigned char>(c) >> b) & 1) << (7 - b);
    reversed.push_back(r);
  }
  EXPECT_EQ(TapeCrc(reversed.data(), reversed.size()), 0x31C3);
  const Bytes data = {0x00, 0x6A, 0xFF, 0x11, 0x00, 0x01, 0x00, 0x12};
  EXPECT_EQ(TapeCrc(data.data(), 8), TapeCrc(data.data() + 1, 7));
  EXPECT_EQ(TapeCrc(data.data() + 4, 4, TapeCrc(data.data(), 4)), TapeCrc(data.data(), 8));
}

std::uint16_t CrcAt(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

// Checks a data block's layout and CRCs and returns the payload it carries.
Bytes PayloadOfDataBlock(const Bytes& d) {
  Bytes payload;
  EXPECT_EQ(Bytes(d.begin(), d.begin() + 5), (Bytes{0x00, 0x6A, 0x00, 0x11, 0x00}));
  const int sectors = d[5];
  std::size_t at = 6, crc_from = 0;  // the first sector's CRC includes the block's bytes
  for (int s = 1; s <= sectors; ++s) {
    EXPECT_EQ(d[at], s);
    const std::size_t size = d[at + 1] == 0 ? 256 : d[at + 1];
    payload.insert(payload.end(), d.begin() + static_cast<std::ptrdiff_t>(at + 2),
                   d.begin() + static_cast<std::ptrdiff_t>(at + 2 + size));
    const std::size_t flag = at + 2 + size;
    EXPECT_EQ(d[flag], s == sectors ? 0xFF : 0x00);
    EXPECT_EQ(CrcAt(d, flag + 1), TapeCrc(d.data() + crc_from, flag + 1 - crc_from))
        << "sector " << s;
    at = flag + 3;
    crc_from = at;  // later sectors: their own bytes only
  }
  EXPECT_EQ(at, d.size());
  return payload;
}

// Payloads of one byte, one sector, one more and the largest; names cut to 16 safe characters;
// too long a payload and an unknown sample size refused.
TEST(TapeBlocks, HeaderAndSectorsCarryThePayloadNamesAndRefusals) {
  for (const std::size_t len : {1, 256, 257, 65280}) {
    Bytes payload(len);
    for (std::size_t i = 0; i < len; ++i) payload[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    const TapeBlocksResult r = BuildTapeBlocks(payload, "CAT");
    ASSERT_TRUE(r.ok);
    // clang-format off
    Bytes header = {0x00, 0x6A, 0xFF, 0x11, 0x00, 0x01, 0x00, 1 + 3 + 16, 3, 'C', 'A', 'T', 0x00,
                    0x01, static_cast<std::uint8_t>(len & 0xFF),
                    static_cast<std::uint8_t>(len >> 8), 0xFF};
    // clang-format on
    header.insert(header.end(), 12, 0x00);  // 10 zeros, version, end flag
    const std::uint16_t crc = TapeCrc(header.data() + 1, header.size() - 1);  // from 6A on
    header.push_back(crc & 0xFF), header.push_back(crc >> 8);
    EXPECT_EQ(r.header.bytes, header) << len;
    EXPECT_EQ(std::pair(r.header.leader_cycles, r.data.leader_cycles), std::pair(10240, 5120));
    EXPECT_EQ(r.data.bytes[5], (len + 255) / 256);
    EXPECT_EQ(PayloadOfDataBlock(r.data.bytes), payload);
  }
  EXPECT_EQ(TapeName("a\xC3\xA9z\n-0123456789abcdefgh"), "a__z_-0123456789");
  EXPECT_FALSE(BuildTapeBlocks(Bytes(65281, 0), "X").ok);
  EXPECT_FALSE(BuildTapeWav(Bytes(65281, 0), "X").ok);
  EXPECT_FALSE(BuildTapeWav(Bytes(10, 0), "X", {44100, 24, WaveShape::kSquare}).ok);
}

// A reader as simple as a tape input: the sign of each sample, the period between rising
// zero crossings, classified by the nearest of the four frequencies.
struct ReadBlock {
  int leader = 0;  // leader cycles before the sync
  Bytes bytes;
};

std::vector<ReadBlock> ReadTape(const Bytes& wav, int* rate) {
  std::vector<ReadBlock> blocks;
  EXPECT_EQ(std::memcmp(wav.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(wav.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(std::memcmp(wav.data() + 36, "data", 4), 0);
  const int bits = wav[34];
  *rate = wav[24] | wav[25] << 8 | wav[26] << 16;
  const std::size_t count =
      (wav[40] | wav[41] << 8 | wav[42] << 16 | std::size_t{wav[43]} << 24) / (bits / 8);
  EXPECT_EQ(wav.size(), 44 + count * (bits / 8));
  const auto sample = [&](std::size_t i) -> int {
    if (bits == 8) return wav[44 + i] - 128;
    return static_cast<std::int16_t>(wav[44 + 2 * i] | wav[45 + 2 * i] << 8);
  };
  const double centres[4] = {1.0 * *rate / kTapeBit1Hz, 1.0 * *rate / kTapeLeaderHz,
                             1.0 * *rate / kTapeBit0Hz, 1.0 * *rate / kTapeSyncHz};
  enum { kOne, kLeader, kZero, kSync, kOther };
  ReadBlock block;
  bool in_data = false;
  int bit_count = 0, byte = 0;
  long last_rise = -1;
  for (std::size_t i = 1; i < count; ++i) {
    if (!(sample(i - 1) <= 0 && sample(i) > 0)) continue;
    const long period = last_rise < 0 ? 100000 : static_cast<long>(i) - last_rise;
    last_rise = static_cast<long>(i);
    int kind = kOther;
    double best = 3.0;  // samples of tolerance
    for (int k = 0; k < 4; ++k)
      if (std::abs(period - centres[k]) < best) best = std::abs(period - centres[k]), kind = k;
    // The rise that ends a cycle classifies that cycle.
    if (in_data) {
      if (kind == kOne || kind == kZero) {
        byte |= (kind == kOne) << bit_count;
        if (++bit_count == 8)
          block.bytes.push_back(static_cast<std::uint8_t>(byte)), bit_count = 0, byte = 0;
        continue;
      }
      EXPECT_EQ(bit_count, 0) << "a block ended inside a byte";
      blocks.push_back(block);
      block = {};
      in_data = false;
    }
    in_data = kind == kSync && block.leader > 1000;
    block.leader = kind == kLeader ? block.leader + 1 : in_data ? block.leader : 0;
  }
  return blocks;
}

// Square waves of 16 bits and sine waves of 8 bits at 48 kHz, the same bytes on every call.
TEST(TapeWav, ReadsBackToTheBlocksAndPayload) {
  const ScreenBytes screen = MakeScreen(Pattern::kEveryByte);
  const TvcProgramResult program =
      BuildTvcProgram(TvcMode::kGraphics4, {0, 80, 68, 85}, screen.data(), screen.size());
  ASSERT_TRUE(program.ok);
  const TapeBlocksResult expected = BuildTapeBlocks(program.payload, "PICTURE");
  for (const WavOptions options :
       {WavOptions{44100, 16, WaveShape::kSquare}, WavOptions{48000, 8, WaveShape::kSine}}) {
    const WavResult wav = BuildTapeWav(program.payload, "PICTURE", options);
    ASSERT_TRUE(wav.ok) << wav.message;
    int rate = 0;
    const std::vector<ReadBlock> blocks = ReadTape(wav.bytes, &rate);
    EXPECT_EQ(rate, options.sample_rate);
    ASSERT_EQ(blocks.size(), 2u);
    // The first leader cycle after silence has no measurable period.
    EXPECT_NEAR(blocks[0].leader, 10240, 1);
    EXPECT_NEAR(blocks[1].leader, 5120, 1);
    EXPECT_EQ(blocks[0].bytes, expected.header.bytes);
    EXPECT_EQ(blocks[1].bytes, expected.data.bytes);
    EXPECT_NEAR(wav.seconds, static_cast<double>(wav.samples) / rate, 1e-9);
    EXPECT_EQ(TapePlayingSeconds(program.payload, "PICTURE", options), wav.seconds);
    EXPECT_EQ(BuildTapeWav(program.payload, "PICTURE", options).bytes, wav.bytes);
  }
}

// The timing of the signal itself: a tape of N bytes lasts the sum of its cycles.
TEST(TapeWavTiming, DurationIsTheSumOfTheCycles) {
  const Bytes payload(300, 0xF0);  // four 0 bits and four 1 bits a byte
  const WavResult wav = BuildTapeWav(payload, "T");
  const TapeBlocksResult blocks = BuildTapeBlocks(payload, "T");
  double seconds = 2.0 + (10240 + 5120 + 2 * 5) / 2128.0 + 2 / 1359.0;
  for (const Bytes* b : {&blocks.header.bytes, &blocks.data.bytes})
    for (const std::uint8_t byte : *b)
      for (int bit = 0; bit < 8; ++bit) seconds += ((byte >> bit) & 1) ? 1.0 / 2577 : 1.0 / 1812;
  EXPECT_NEAR(wav.seconds, seconds, 2.0 / 44100);
}

}  // namespace
}  // namespace tvcpix::test
