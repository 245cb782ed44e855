// The tokenised TVC BASIC lines of a picture loader.
#ifndef TVCPIX_OUTPUT_BASIC_LOADER_H_
#define TVCPIX_OUTPUT_BASIC_LOADER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "core/mode.h"
#include "output/screen_decode.h"

namespace tvcpix {

// Where BASIC loads a program (the payload of a ".cas") and runs it from.
constexpr std::uint16_t kBasicProgramStart = 0x19EF;

// The BASIC tokens the loader uses (as the ROM tokenizer stores them).
namespace basic_token {
constexpr std::uint8_t kGraphics = 0xEE;
constexpr std::uint8_t kSet = 0xD6;
constexpr std::uint8_t kPalette = 0xBD;
constexpr std::uint8_t kGoto = 0xEF;
constexpr std::uint8_t kEquals = 0x9A;
constexpr std::uint8_t kComma = 0xA4;
constexpr std::uint8_t kOpen = 0x96;
constexpr std::uint8_t kClose = 0x95;
}  // namespace basic_token

// One stored line: [length][number LE][body][0xFF], the length counting every byte of the line.
// body holds tokens and ASCII (numbers, names) exactly as BASIC keeps them; it must be at most
// 251 bytes and must not contain 0xFF.
std::vector<std::uint8_t> BasicLine(std::uint16_t number, const std::vector<std::uint8_t>& body);

// The loader program, closing 0x00 included:
//   10 GRAPHICS 2|4|16
//   20 SET PALETTE c0,c1[,c2,c3]     (2 and 4 colours only; decimal TVC colour codes)
//   30 X=USR(usr_address)
//   40 GOTO 40                        (keeps the picture on the screen)
// The codes the mode uses must be TVC colour codes (the caller checks them).
std::vector<std::uint8_t> BuildLoaderBasic(TvcMode mode, const PaletteCodes& codes,
                                           std::uint16_t usr_address);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_BASIC_LOADER_H_
