// A small model of the TVC for running the export's Z80 routine on libz80ex: four RAM banks,
// video RAM and ROMs paged by port 0x02, a record of port writes, and optionally IM 1
// interrupts whose handler does what the ROM's does to the paging: it maps something else in,
// then restores the map from BASIC's copy at 0x0003.
#ifndef TVCPIX_TESTS_OUTPUT_TVC_MACHINE_H_
#define TVCPIX_TESTS_OUTPUT_TVC_MACHINE_H_

extern "C" {
#include <z80ex/z80ex.h>
}

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "output/basic_loader.h"

namespace tvcpix::test {

class TvcMachine {
 public:
  enum Bank { kU0, kU1, kU2, kU3, kVid, kSys, kCart, kExt, kBanks };
  static constexpr std::uint16_t kStackTop = 0x16AC;  // where BASIC's stack sits
  static constexpr std::uint16_t kSentinel = 0xDEAD;  // return address of the USR call
  // The registers BASIC leaves and the routine must give back.
  static constexpr std::pair<Z80_REG_T, int> kKept[] = {
      {regIFF1, 1},     {regIM, 1},       {regIX, 0x1234},  {regIY, 0x5678},
      {regAF_, 0x9ABC}, {regBC_, 0xDEF0}, {regDE_, 0x1357}, {regHL_, 0x2468}};

  TvcMachine() {
    for (auto& bank : banks_) bank.assign(0x4000, 0);
    for (int b : {kSys, kCart, kExt}) banks_[b].assign(0x4000, 0xC9);  // ROMs: RET everywhere
    cpu_ = z80ex_create(&MemRead, this, &MemWrite, this, &PortRead, this, &PortWrite, this,
                        &IntRead, this);
  }
  ~TvcMachine() { z80ex_destroy(cpu_); }
  TvcMachine(const TvcMachine&) = delete;
  TvcMachine& operator=(const TvcMachine&) = delete;

  // The bank and offset an address reaches under the current map.
  std::pair<int, std::uint16_t> Decode(std::uint16_t address) const {
    static constexpr int kPage0[4] = {kSys, kCart, kU0, kU3}, kPage3[4] = {kCart, kSys, kU3, kExt};
    const int page = address >> 14;
    const int bank = page == 0   ? kPage0[(map_ >> 3) & 3]
                     : page == 1 ? kU1
                     : page == 2 ? ((map_ & 0x20) ? kU2 : kVid)
                                 : kPage3[(map_ >> 6) & 3];
    return {bank, static_cast<std::uint16_t>(address & 0x3FFF)};
  }
  std::uint8_t& At(std::uint16_t address) {
    const auto [bank, offset] = Decode(address);
    return banks_[bank][offset];
  }
  std::vector<std::uint8_t>& bank(int b) { return banks_[b]; }

  // Loads a program at BASIC's start, fills video RAM with garbage and calls address from the
  // state X=USR(address) leaves: map 0x70 at port 0x02 and at 0x0003, interrupts on, IM 1, the
  // return address on the stack, kKept in the registers. An interrupt every interrupt_every
  // T-states (0: none). False when the routine does not return within max_tstates.
  bool RunProgram(const std::vector<std::uint8_t>& payload, std::uint16_t address, long max_tstates,
                  long interrupt_every = 0) {
    for (std::size_t i = 0; i < payload.size(); ++i)
      At(static_cast<std::uint16_t>(kBasicProgramStart + i)) = payload[i];
    for (std::size_t i = 0; i < 0x4000; ++i)
      banks_[kVid][i] = static_cast<std::uint8_t>(0xA5 ^ (i * 31));
    const std::uint8_t handler[] = {
        0xF5,              // PUSH AF
        0x3E, 0x70,        // LD A,70h       the ROM's handler maps its own pages in
        0xD3, 0x02,        // OUT (02h),A
        0x3A, 0x03, 0x00,  // LD A,(0003h)   and on leaving restores BASIC's copy
        0xD3, 0x02,        // OUT (02h),A
        0xF1,              // POP AF
        0xFB,              // EI
        0xED, 0x4D,        // RETI
    };
    if (interrupt_every > 0)  // at 0x0038, in U0 under both maps the routine uses
      std::copy(std::begin(handler), std::end(handler), banks_[kU0].begin() + 0x38);
    map_ = 0x70;
    At(0x0003) = 0x70;
    At(kStackTop - 1) = kSentinel >> 8, At(kStackTop - 2) = kSentinel & 0xFF;
    z80ex_set_reg(cpu_, regSP, kStackTop - 2);
    z80ex_set_reg(cpu_, regPC, address);
    z80ex_set_reg(cpu_, regIFF2, 1);
    for (const auto& [reg, value] : kKept) z80ex_set_reg(cpu_, reg, static_cast<Z80EX_WORD>(value));
    for (long next_interrupt = interrupt_every; tstates_ < max_tstates;) {
      if (z80ex_get_reg(cpu_, regPC) == kSentinel && z80ex_last_op_type(cpu_) == 0) return true;
      tstates_ += z80ex_step(cpu_);
      if (interrupt_every > 0 && tstates_ >= next_interrupt && z80ex_last_op_type(cpu_) == 0) {
        const int taken = z80ex_int(cpu_);
        interrupts_ += taken > 0;
        tstates_ += taken;
        next_interrupt += interrupt_every;
      }
    }
    return false;
  }

  Z80EX_CONTEXT* cpu() { return cpu_; }
  std::uint8_t map() const { return map_; }
  long tstates() const { return tstates_; }
  int interrupts() const { return interrupts_; }
  int rom_writes() const { return rom_writes_; }
  const std::vector<std::pair<std::uint8_t, std::uint8_t>>& port_writes() const {
    return port_writes_;
  }

 private:
  static Z80EX_BYTE MemRead(Z80EX_CONTEXT*, Z80EX_WORD addr, int, void* self) {
    return static_cast<TvcMachine*>(self)->At(addr);
  }
  static void MemWrite(Z80EX_CONTEXT*, Z80EX_WORD addr, Z80EX_BYTE value, void* self) {
    auto* m = static_cast<TvcMachine*>(self);
    if (m->Decode(addr).first >= kSys)
      ++m->rom_writes_;
    else
      m->At(addr) = value;
  }
  static Z80EX_BYTE PortRead(Z80EX_CONTEXT*, Z80EX_WORD, void*) { return 0xFF; }
  static void PortWrite(Z80EX_CONTEXT*, Z80EX_WORD port, Z80EX_BYTE value, void* self) {
    auto* m = static_cast<TvcMachine*>(self);
    m->port_writes_.emplace_back(static_cast<std::uint8_t>(port & 0xFF), value);
    if ((port & 0xFF) == 0x02) m->map_ = value;
  }
  static Z80EX_BYTE IntRead(Z80EX_CONTEXT*, void*) { return 0xFF; }

  std::array<std::vector<std::uint8_t>, kBanks> banks_;
  Z80EX_CONTEXT* cpu_ = nullptr;
  std::uint8_t map_ = 0x70;
  long tstates_ = 0;
  int interrupts_ = 0;
  int rom_writes_ = 0;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> port_writes_;
};

}  // namespace tvcpix::test

#endif  // TVCPIX_TESTS_OUTPUT_TVC_MACHINE_H_
