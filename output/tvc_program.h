// The program a TVC loads with LOAD: BASIC lines, a zero gap, the Z80 routine and the screen.
//
// Memory after LOAD (the payload starts at 0x19EF):
//   0x19EF  10 GRAPHICS n / 20 SET PALETTE ... / 30 X=USR(6912) / 40 GOTO 40 / 00
//   ...     zeros: BASIC keeps its variables (X) right after the program's closing 00
//   0x1B00  the routine (z80_show.h), followed directly by its data: the packed stream
//           (screen_bitpack.h or screen_pack.h) or the raw image (15,360 bytes when the hidden last
//           1,024 bytes of the image are zeros, which the routine then writes as zeros; else 16,384
//           bytes).
// Everything stays below 0x8000, so nothing is hidden when video RAM is paged in there, and
// the program also fits a 32K machine.
#ifndef TVCPIX_OUTPUT_TVC_PROGRAM_H_
#define TVCPIX_OUTPUT_TVC_PROGRAM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/mode.h"
#include "output/screen_decode.h"

namespace tvcpix {

// The routine's (and USR's) fixed address: 6912.
constexpr std::uint16_t kShowRoutineAddress = 0x1B00;
// The smallest zero gap left between the BASIC program and the routine (about 225
// bytes are known to work; the loader lines leave 228 to 245).
constexpr int kMinBasicGap = 200;
// The largest payload a tape data block holds: 255 sectors of 256 bytes.
constexpr std::size_t kMaxTvcPayload = 65280;

enum class ScreenPacking {
  kAuto,    // the smallest payload of the three below (the copy, then kBits, on a tie)
  kCopy,    // the raw image
  kPacked,  // the byte-oriented stream (screen_pack.h)
  kBits,    // the bit-oriented stream (screen_bitpack.h), usually the smallest
};

struct TvcProgramOptions {
  ScreenPacking packing = ScreenPacking::kAuto;
};

// What went where (for tests, reports and the CLI).
struct TvcProgramLayout {
  ScreenPacking packing = ScreenPacking::kCopy;  // never kAuto
  std::uint16_t usr_address = kShowRoutineAddress;
  std::uint16_t data_address = 0;
  std::size_t basic_bytes = 0;  // the BASIC program with its closing 00
  std::size_t routine_bytes = 0;
  std::size_t data_bytes = 0;  // packed stream or raw bytes copied
  bool zero_tail = false;      // kCopy: the hidden 1,024 bytes are written as zeros
};

struct TvcProgramResult {
  bool ok = true;
  std::string message;  // on failure: the reason, without a file name
  std::vector<std::uint8_t> payload;
  TvcProgramLayout layout;
};

// The payload for a screen image (screen_size must be 16,384) of the mode. For 2 and 4 colours
// the first 2 or 4 codes are the palette and must be TVC colour codes; 16 colours ignores them.
TvcProgramResult BuildTvcProgram(TvcMode mode, const PaletteCodes& codes,
                                 const std::uint8_t* screen, std::size_t screen_size,
                                 const TvcProgramOptions& options = {});

// A ".tim" file's bytes as the input of BuildTvcProgram (checked as DecodeTim checks them).
struct TimScreen {
  TvcMode mode = TvcMode::kGraphics16;
  PaletteCodes codes{};
  std::vector<std::uint8_t> image;  // 16,384 bytes
};
Result ScreenFromTim(const std::uint8_t* data, std::size_t size, TimScreen* out);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_TVC_PROGRAM_H_
