// The TVC tape signal of a program: blocks, CRC and a WAV file.
//
// The tape holds a header block and a data block, each after a leader of 2,128 Hz cycles and
// one sync cycle of 1,359 Hz; every byte is 8 cycles, least significant bit first, a 0 being
// one cycle of 1,812 Hz and a 1 one cycle of 2,577 Hz.
//
// Which bytes each CRC covers (the CRC starts from 0 for each): MAME's tvc_cas.cpp and the
// TVCTape tool (which follows the ROM's routine) agree:
//   - header block: from its first byte (00) to the sector's end flag; the leading 00 is
//     "covered or not" alike, since a zero byte leaves a zero CRC unchanged (the usual listing
//     gives the CRC-covered bytes from 6A on);
//   - data block: the first sector's CRC runs on from the block's own bytes
//     (00 6A 00 11 00 <sectors>) through that sector; every later sector's CRC covers just that
//     sector: <number> <size> <data> <end flag>. We follow both sources here, which matters
//     only for the first data sector.
#ifndef TVCPIX_OUTPUT_TAPE_AUDIO_H_
#define TVCPIX_OUTPUT_TAPE_AUDIO_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"

namespace tvcpix {

constexpr int kTapeBit0Hz = 1812;
constexpr int kTapeBit1Hz = 2577;
constexpr int kTapeLeaderHz = 2128;
constexpr int kTapeSyncHz = 1359;
constexpr int kTapeHeaderLeaderCycles = 10240;
constexpr int kTapeDataLeaderCycles = 5120;
constexpr int kTapeTrailerCycles = 5;  // leader-frequency cycles after each block (MAME, TVCTape)
constexpr std::size_t kTapeNameMax = 16;

// The tape CRC: bitwise, bits least significant first; for each bit, A = (bit ? 0x80 : 0)
// XOR the CRC's high byte; when A's bit 7 is set the CRC is XORed with 0x0810 and the carry
// is 1; then CRC = CRC * 2 + carry (16 bits). Continues from crc.
std::uint16_t TapeCrc(const std::uint8_t* data, std::size_t size, std::uint16_t crc = 0);

// One block as it follows the sync cycle: every byte sent, CRCs included.
struct TapeBlock {
  int leader_cycles = 0;
  std::vector<std::uint8_t> bytes;
};

struct TapeBlocksResult : Result {
  TapeBlock header;
  TapeBlock data;
};

// The header block (00 6A FF 11 00 01 | 00 <len> <namelen> <name> 00 01 <size LE> FF 10x00 00
// 00 <CRC LE>) and the data block (00 6A 00 11 00 <sectors>, then each sector <number from 1>
// <size, 0 = 256> <bytes> <00, FF for the last> <CRC LE>) of a program payload. The name is
// made a tape name by TapeName. Refuses the payloads BuildCasFile refuses.
TapeBlocksResult BuildTapeBlocks(const std::vector<std::uint8_t>& payload, const std::string& name);

// A file name for the tape: printable ASCII kept, anything else '_', at most 16 characters.
std::string TapeName(const std::string& name);

enum class WaveShape { kSquare, kSine };

struct WavOptions {
  int sample_rate = 44100;
  int bits = 16;  // 16 (signed) or 8 (unsigned) PCM, mono
  WaveShape shape = WaveShape::kSquare;
};

struct WavResult : Result {
  std::vector<std::uint8_t> bytes;  // the whole ".wav" file
  std::size_t samples = 0;
  double seconds = 0;  // playing time of the whole file
};

// The tape as a WAV file: 0.5 s silence, header leader, sync, header block, trailer, 1 s
// silence, data leader, sync, data block, trailer, 0.5 s silence. Each cycle starts with its
// positive half; cycle timing is kept exactly in 32.32 fixed point, so the file is the same
// on every machine. Sample rates 8,000..192,000 Hz.
WavResult BuildTapeWav(const std::vector<std::uint8_t>& payload, const std::string& name,
                       const WavOptions& options = {});
// BuildTapeWav's playing time (its `seconds`) without making the samples (the name counts: a
// 1 bit is a shorter cycle than a 0); 0 for a payload or format it refuses.
double TapePlayingSeconds(const std::vector<std::uint8_t>& payload, const std::string& name,
                          const WavOptions& options = {});

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_TAPE_AUDIO_H_
