// The Z80 routine that puts a screen image into the TVC's video RAM (hand-assembled).
//
// BASIC calls it with X=USR(address) after GRAPHICS and SET PALETTE. It pages video RAM in at
// 0x8000 the way the ROM does (0x50 to BASIC's copy at 0x0003 first, then to port 0x02, so the
// interrupt handler, which restores the map from 0x0003, keeps video RAM in), fills the 16,384
// bytes, pages U2 back (0x70 to 0x0003 and port 0x02), enables interrupts and returns. It uses
// AF, BC, DE and HL and up to eight bytes of stack; IX, IY and the alternate registers are not
// touched. Interrupts stay enabled throughout. The bit decoder keeps its bit buffer and match
// distance in operands of its own instructions, so it needs no RAM outside the program.
#ifndef TVCPIX_OUTPUT_Z80_SHOW_H_
#define TVCPIX_OUTPUT_Z80_SHOW_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tvcpix {

// The paging values: U0 / U1 / video RAM / SYS, and BASIC's U0 / U1 / U2 / SYS.
constexpr std::uint8_t kMapWithVideo = 0x50;
constexpr std::uint8_t kMapBasic = 0x70;
constexpr std::uint16_t kMapCopyAddress = 0x0003;
constexpr std::uint16_t kVideoAddress = 0x8000;

enum class ShowKind {
  kCopy,        // LDIR of `count` bytes from the data to 0x8000, then optionally zeros to 0xC000
  kUnpack,      // the screen_pack.h decoder, writing 0x8000..0xBFFF
  kUnpackBits,  // the screen_bitpack.h decoder, likewise; subroutines follow the RET
};

struct ShowParams {
  ShowKind kind = ShowKind::kCopy;
  std::uint16_t org = 0;         // where the routine is loaded (the USR address)
  std::uint16_t data = 0;        // where its data starts
  std::uint16_t copy_count = 0;  // kCopy: bytes copied (15,360 or 16,384)
  bool zero_tail = false;        // kCopy: fill the rest up to 0xC000 with zeros
};

// One instruction of the routine, for listings and the tests.
struct Z80Instruction {
  std::uint16_t address = 0;
  std::vector<std::uint8_t> bytes;
  std::string text;  // the mnemonic, numbers in hexadecimal with an "h", jumps to their address
};

// The routine, instruction by instruction, and its bytes.
std::vector<Z80Instruction> ShowRoutineListing(const ShowParams& params);
std::vector<std::uint8_t> ShowRoutine(const ShowParams& params);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_Z80_SHOW_H_
