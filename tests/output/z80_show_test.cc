// The export's Z80 routine, run on libz80ex in a model of the TVC (tvc_machine.h) from the state
// BASIC's X=USR(...) leaves: video RAM must end equal to the screen image byte for byte, with
// BASIC's paging, interrupts, stack and preserved registers as they were.
extern "C" {
#include <z80ex/z80ex_dasm.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>
#include <variant>

#include "output/basic_loader.h"
#include "output/z80_show.h"
#include "tests/output/tvc_machine.h"
#include "tests/output/tvc_screens.h"

namespace tvcpix::test {
namespace {

// T-states the routine may take at most: 344,064 for a plain LDIR of 16,384 bytes and the byte
// decoder's tokens on top; the bit decoder reads every bit through a subroutine, several times
// slower, still a second or two against the half minute of tape it saves.
constexpr long kMaxTstates = 800000, kMaxBitsTstates = 8000000;

using Source = std::variant<std::string, Pattern>;  // a sample photo or a made image

struct RunCase {
  Source source;
  TvcMode mode;
  ScreenPacking packing;
  bool interrupts = false;
};

std::string CaseName(const testing::TestParamInfo<RunCase>& info) {
  const RunCase& c = info.param;
  const auto* photo = std::get_if<std::string>(&c.source);
  const char* packings[] = {"_Copy", "_Packed", "_Bits"};
  return (photo ? photo->substr(0, photo->find('_')) : PatternName(std::get<Pattern>(c.source))) +
         "_G" + ModeArg(c.mode) + packings[static_cast<int>(c.packing) - 1] +
         (c.interrupts ? "_Interrupts" : "");
}

class ShowRoutineRun : public testing::TestWithParam<RunCase> {};

// Without interrupts also: nothing in RAM changed but the stack below the return address (the
// program aside, and for the bit decoder its own code, whose operands hold its state), only the
// two paging writes, and the T-state bound. With them: video RAM stays paged in throughout.
TEST_P(ShowRoutineRun, VideoRamEqualsTheScreenAndBasicCarriesOn) {
  const RunCase& c = GetParam();
  PaletteCodes codes = {0x00, 0x50, 0x44, 0x55};
  ScreenBytes screen;
  if (const auto* photo = std::get_if<std::string>(&c.source)) {
    const TimScreen& tim = ConvertedSample(*photo, c.mode);
    codes = tim.codes, screen = tim.image;
  } else {
    screen = MakeScreen(std::get<Pattern>(c.source));
  }
  ASSERT_EQ(screen.size(), static_cast<std::size_t>(kScreenBytes));
  TvcProgramOptions options;
  options.packing = c.packing;
  const TvcProgramResult program =
      BuildTvcProgram(c.mode, codes, screen.data(), screen.size(), options);
  ASSERT_TRUE(program.ok) << program.message;
  ASSERT_EQ(program.layout.packing, c.packing);

  // The golden loader (tape_test.cc) calls the routine; BASIC's variables go right
  // after its closing 00, so everything up to the routine is zeros.
  const std::vector<std::uint8_t> basic = BuildLoaderBasic(c.mode, codes, kShowRoutineAddress);
  const std::size_t routine_at = kShowRoutineAddress - kBasicProgramStart;
  ASSERT_TRUE(std::equal(basic.begin(), basic.end(), program.payload.begin()));
  ASSERT_GE(routine_at, basic.size() + kMinBasicGap);
  for (std::size_t i = basic.size(); i < routine_at; ++i) ASSERT_EQ(program.payload[i], 0);
  ASSERT_LE(kBasicProgramStart + program.payload.size(), 0x8000u);

  TvcMachine m;
  const std::vector<std::uint8_t> ram_before[4] = {m.bank(0), m.bank(1), m.bank(2), m.bank(3)};
  const long limit = c.packing == ScreenPacking::kBits ? kMaxBitsTstates : kMaxTstates;
  ASSERT_TRUE(m.RunProgram(program.payload, kShowRoutineAddress, c.interrupts ? 4 * limit : limit,
                           c.interrupts ? 997 : 0))
      << "no return within " << limit << " T-states";
  EXPECT_EQ(m.bank(TvcMachine::kVid), screen);
  EXPECT_EQ(m.map(), 0x70);
  EXPECT_EQ(m.At(0x0003), 0x70);
  EXPECT_EQ(z80ex_get_reg(m.cpu(), regSP), TvcMachine::kStackTop);
  for (const auto& [reg, value] : TvcMachine::kKept) EXPECT_EQ(z80ex_get_reg(m.cpu(), reg), value);
  EXPECT_EQ(m.rom_writes(), 0);
  if (c.interrupts) {
    EXPECT_GT(m.interrupts(), 300);
    return;
  }
  const std::vector<std::pair<std::uint8_t, std::uint8_t>> ports = {{0x02, 0x50}, {0x02, 0x70}};
  EXPECT_EQ(m.port_writes(), ports);
  EXPECT_LE(m.tstates(), limit);
  std::printf("[ t-states ] %s: %ld\n", CaseName({c, 0}).c_str(), m.tstates());
  const std::size_t own_end =
      c.packing == ScreenPacking::kBits ? program.layout.data_address : kShowRoutineAddress;
  for (int b = 0; b < 4; ++b) {
    std::vector<std::uint8_t> after = m.bank(b), before = ram_before[b];
    for (std::size_t i = 0; i < program.payload.size(); ++i) {
      const std::size_t addr = kBasicProgramStart + i;
      if (static_cast<int>(addr >> 14) == b)
        before[addr & 0x3FFF] = addr >= kShowRoutineAddress && addr < own_end ? after[addr & 0x3FFF]
                                                                              : program.payload[i];
    }
    if (b == 0) {
      before[3] = after[3];  // checked above
      for (std::size_t a = TvcMachine::kStackTop - 32; a < TvcMachine::kStackTop; ++a)
        before[a] = after[a];
    }
    EXPECT_TRUE(after == before) << "RAM bank U" << b << " changed";
  }
}

// A photo in every mode and packing (interrupts in one mode), and adversarial screens that drive
// the decoders' other paths: every literal byte, far distances, matches longer than one token.
std::vector<RunCase> RunCases() {
  std::vector<RunCase> cases;
  for (ScreenPacking p : {ScreenPacking::kCopy, ScreenPacking::kPacked, ScreenPacking::kBits}) {
    for (TvcMode mode : {TvcMode::kGraphics2, TvcMode::kGraphics4, TvcMode::kGraphics16})
      cases.push_back({std::string("astronaut_512x480.bmp"), mode, p});
    cases.push_back({std::string("astronaut_512x480.bmp"), TvcMode::kGraphics4, p, true});
    for (Pattern s : {Pattern::kEveryByte, Pattern::kFarRepeats, Pattern::kLongRuns})
      cases.push_back({s, TvcMode::kGraphics16, p});
  }
  cases.push_back({Pattern::kFarRepeats, TvcMode::kGraphics16, ScreenPacking::kBits, true});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(ModesAndPackings, ShowRoutineRun, testing::ValuesIn(RunCases()), CaseName);

// The listing's mnemonics are what the bytes disassemble to.
TEST(ShowRoutineListing, MnemonicsMatchTheDisassembly) {
  for (const ShowKind kind : {ShowKind::kCopy, ShowKind::kUnpack, ShowKind::kUnpackBits}) {
    for (const bool zero_tail : {false, true}) {
      ShowParams params{kind, 0x1B00, 0x1B40, static_cast<std::uint16_t>(zero_tail ? 15360 : 16384),
                        zero_tail};
      const std::vector<Z80Instruction> listing = ShowRoutineListing(params);
      ASSERT_FALSE(listing.empty());
      for (const Z80Instruction& in : listing) {
        const auto read = [](Z80EX_WORD addr, void* data) -> Z80EX_BYTE {
          const auto* i = static_cast<const Z80Instruction*>(data);
          return i->bytes[static_cast<std::size_t>(addr - i->address)];
        };
        char text[64];
        int t1 = 0, t2 = 0;
        const int size = z80ex_dasm(text, sizeof text, 0, &t1, &t2, read, in.address,
                                    const_cast<Z80Instruction*>(&in));
        EXPECT_EQ(static_cast<std::size_t>(size), in.bytes.size()) << in.text;
        // "0C0h" / "50h" in the listing are "#C0" / "#50" in the disassembler's notation.
        std::string mine = std::regex_replace(in.text, std::regex("\\b0([A-F][0-9A-F]*)h"), "#$1");
        mine = std::regex_replace(mine, std::regex("\\b([0-9A-F]+)h"), "#$1");
        EXPECT_EQ(mine, text) << "at " << std::hex << in.address;
      }
    }
  }
}

}  // namespace
}  // namespace tvcpix::test
