// The Z80 routine that puts a screen image into the TVC's video RAM, hand-assembled: each
// instruction is written as its bytes next to its mnemonic; the only computed fields are
// addresses (org, data) and the relative jumps, which a two-pass label fix-up fills in.
#include "output/z80_show.h"

#include <cassert>
#include <cstdio>
#include <map>

#include "output/screen_bitpack.h"

namespace tvcpix {

namespace {

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*Xh", digits, value);
  // Assembler style: a hexadecimal number starts with a digit.
  if (text[0] >= 'A' && text[0] <= 'F') return "0" + std::string(text);
  return text;
}

std::uint8_t Lo(unsigned word) { return static_cast<std::uint8_t>(word & 0xFF); }
std::uint8_t Hi(unsigned word) { return static_cast<std::uint8_t>((word >> 8) & 0xFF); }

class Assembler {
 public:
  explicit Assembler(std::uint16_t org) : pc_(org) {}

  void Op(std::vector<std::uint8_t> bytes, std::string text) {
    const auto size = static_cast<std::uint16_t>(bytes.size());
    code_.push_back({pc_, std::move(bytes), std::move(text)});
    pc_ = static_cast<std::uint16_t>(pc_ + size);
  }
  // A relative jump (JR cc / JR): opcode, then the displacement filled in by Finish().
  void Jr(std::uint8_t opcode, const std::string& condition, const std::string& label) {
    jumps_.push_back({code_.size(), label, condition});
    Op({opcode, 0x00}, "");
  }
  void Label(const std::string& name) { labels_[name] = pc_; }
  // An instruction ending in a label's absolute address (plus addend), filled in by Finish():
  // the text is before + address + after.
  void Abs(std::vector<std::uint8_t> prefix, const std::string& before, const std::string& label,
           int addend, const std::string& after) {
    absolutes_.push_back({code_.size(), label, addend, before, after});
    prefix.push_back(0x00);
    prefix.push_back(0x00);
    Op(std::move(prefix), "");
  }

  std::vector<Z80Instruction> Finish() {
    for (const Jump& j : jumps_) {
      Z80Instruction& in = code_[j.index];
      const auto found = labels_.find(j.label);
      assert(found != labels_.end());
      const int target = found->second;
      const int displacement = target - (in.address + 2);
      assert(displacement >= -128 && displacement <= 127);
      in.bytes[1] = static_cast<std::uint8_t>(displacement & 0xFF);
      in.text = "JR " + (j.condition.empty() ? "" : j.condition + ",") + Hex(target, 4);
    }
    for (const Absolute& r : absolutes_) {
      Z80Instruction& in = code_[r.index];
      const auto found = labels_.find(r.label);
      assert(found != labels_.end());
      const unsigned target = found->second + static_cast<unsigned>(r.addend);
      in.bytes[in.bytes.size() - 2] = Lo(target);
      in.bytes[in.bytes.size() - 1] = Hi(target);
      in.text = r.before + Hex(target, 4) + r.after;
    }
    return code_;
  }

 private:
  struct Jump {
    std::size_t index;
    std::string label;
    std::string condition;
  };
  struct Absolute {
    std::size_t index;
    std::string label;
    int addend;
    std::string before;
    std::string after;
  };
  std::uint16_t pc_;
  std::vector<Z80Instruction> code_;
  std::vector<Jump> jumps_;
  std::vector<Absolute> absolutes_;
  std::map<std::string, std::uint16_t> labels_;
};

// Map in: BASIC's copy first, so an interrupt between the two stores keeps the new map.
void PageVideoIn(Assembler& a) {
  a.Op({0x3E, kMapWithVideo}, "LD A," + Hex(kMapWithVideo, 2));
  a.Op({0x32, Lo(kMapCopyAddress), Hi(kMapCopyAddress)}, "LD (" + Hex(kMapCopyAddress, 4) + "),A");
  a.Op({0xD3, 0x02}, "OUT (02h),A");
}

// Map back to BASIC's, interrupts on, return.
void PageBasicAndReturn(Assembler& a) {
  a.Op({0x3E, kMapBasic}, "LD A," + Hex(kMapBasic, 2));
  a.Op({0x32, Lo(kMapCopyAddress), Hi(kMapCopyAddress)}, "LD (" + Hex(kMapCopyAddress, 4) + "),A");
  a.Op({0xD3, 0x02}, "OUT (02h),A");
  a.Op({0xFB}, "EI");
  a.Op({0xC9}, "RET");
}

void CopyBody(Assembler& a, const ShowParams& p) {
  a.Op({0x21, Lo(p.data), Hi(p.data)}, "LD HL," + Hex(p.data, 4));
  a.Op({0x11, Lo(kVideoAddress), Hi(kVideoAddress)}, "LD DE," + Hex(kVideoAddress, 4));
  a.Op({0x01, Lo(p.copy_count), Hi(p.copy_count)}, "LD BC," + Hex(p.copy_count, 4));
  a.Op({0xED, 0xB0}, "LDIR");
  if (p.zero_tail) {
    // DE points just past the copied bytes: clear one byte, then let LDIR carry it forward.
    const unsigned rest = 0x4000u - p.copy_count;
    assert(rest >= 2);
    a.Op({0xAF}, "XOR A");
    a.Op({0x12}, "LD (DE),A");
    a.Op({0x62}, "LD H,D");
    a.Op({0x6B}, "LD L,E");
    a.Op({0x13}, "INC DE");
    a.Op({0x01, Lo(rest - 1), Hi(rest - 1)}, "LD BC," + Hex(rest - 1, 4));
    a.Op({0xED, 0xB0}, "LDIR");
  }
}

// The screen_pack.h decoder. HL = packed stream, DE = output; B = 0 whenever a count is set.
void UnpackBody(Assembler& a, const ShowParams& p) {
  a.Op({0x21, Lo(p.data), Hi(p.data)}, "LD HL," + Hex(p.data, 4));
  a.Op({0x11, Lo(kVideoAddress), Hi(kVideoAddress)}, "LD DE," + Hex(kVideoAddress, 4));
  a.Label("token");
  a.Op({0x7E}, "LD A,(HL)");  // the token
  a.Op({0x23}, "INC HL");
  a.Op({0x87}, "ADD A,A");  // bit 7 to the carry: set for a match
  a.Jr(0x38, "C", "match");
  // Literal run of t + 1 bytes straight from the stream.
  a.Op({0x0F}, "RRCA");  // A = t again (bit 0 was 0)
  a.Op({0x4F}, "LD C,A");
  a.Op({0x06, 0x00}, "LD B,00h");
  a.Op({0x03}, "INC BC");      // BC = t + 1
  a.Op({0xED, 0xB0}, "LDIR");  // HL moves on past the literals, DE past the output
  a.Jr(0x18, "", "next");
  a.Label("match");
  a.Op({0x0F}, "RRCA");             // A = t & 7Fh
  a.Op({0xC6, 0x03}, "ADD A,03h");  // the length, 3..130
  a.Op({0xF5}, "PUSH AF");          // kept on the stack while the distance is read
  a.Op({0x4E}, "LD C,(HL)");        // first distance byte
  a.Op({0x23}, "INC HL");
  a.Op({0x06, 0x00}, "LD B,00h");
  a.Op({0xCB, 0x79}, "BIT 7,C");
  a.Jr(0x28, "Z", "near");  // 0..7Fh: BC = distance - 1
  a.Op({0x41}, "LD B,C");   // far: high byte without its flag bit
  a.Op({0xCB, 0xB8}, "RES 7,B");
  a.Op({0x4E}, "LD C,(HL)");  // low byte
  a.Op({0x23}, "INC HL");
  a.Label("near");
  a.Op({0xE3}, "EX (SP),HL");  // stream pointer onto the stack, H = length
  a.Op({0x7C}, "LD A,H");
  a.Op({0x62}, "LD H,D");
  a.Op({0x6B}, "LD L,E");
  a.Op({0x37}, "SCF");
  a.Op({0xED, 0x42}, "SBC HL,BC");  // HL = DE - (distance - 1) - 1 = DE - distance
  a.Op({0x4F}, "LD C,A");
  a.Op({0x06, 0x00}, "LD B,00h");  // BC = length
  a.Op({0xED, 0xB0}, "LDIR");      // byte by byte, so overlapping copies repeat a pattern
  a.Op({0xE1}, "POP HL");          // the stream pointer back
  a.Label("next");
  a.Op({0x7A}, "LD A,D");
  a.Op({0xFE, 0xC0}, "CP 0C0h");  // the output ends at 0C000h, a multiple of 256
  a.Jr(0x38, "C", "token");
}

// The screen_bitpack.h decoder. HL = stream, DE = output; the bit buffer lives in the operand
// of getbit's first instruction and the match distance in the operand of copy's LD BC, so the
// routine needs no data of its own.
void UnpackBitsBody(Assembler& a, const ShowParams& p) {
  const unsigned distances = p.data;
  const unsigned table = p.data + 2 * kBitPackShortDistances;
  const unsigned stream = p.data + kBitPackHeaderBytes;
  a.Op({0x3E, 0x80}, "LD A,80h");  // an empty bit buffer: only the marker bit
  a.Abs({0x32}, "LD (", "getbit", 1, "),A");
  a.Op({0x21, Lo(stream), Hi(stream)}, "LD HL," + Hex(stream, 4));
  a.Op({0x11, Lo(kVideoAddress), Hi(kVideoAddress)}, "LD DE," + Hex(kVideoAddress, 4));
  a.Label("literals");
  a.Abs({0xCD}, "CALL ", "gamma", 0, "");  // BC = literals in the run
  a.Label("literal");
  a.Op({0xC5}, "PUSH BC");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Jr(0x30, "NC", "raw");         // 0: a whole byte follows
  a.Op({0x0E, 0x10}, "LD C,10h");  // 4 index bits go in below the marker bit
  a.Label("index");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Op({0xCB, 0x11}, "RL C");
  a.Jr(0x30, "NC", "index");  // the marker leaves after the fourth bit
  a.Op({0x06, 0x00}, "LD B,00h");
  a.Op({0xE5}, "PUSH HL");
  a.Op({0x21, Lo(table), Hi(table)}, "LD HL," + Hex(table, 4));
  a.Op({0x09}, "ADD HL,BC");
  a.Op({0x7E}, "LD A,(HL)");  // the literal table's entry
  a.Op({0xE1}, "POP HL");
  a.Jr(0x18, "", "put");
  a.Label("raw");
  a.Op({0x7E}, "LD A,(HL)");
  a.Op({0x23}, "INC HL");
  a.Label("put");
  a.Op({0x12}, "LD (DE),A");
  a.Op({0x13}, "INC DE");
  a.Op({0xC1}, "POP BC");
  a.Op({0x0B}, "DEC BC");
  a.Op({0x78}, "LD A,B");
  a.Op({0xB1}, "OR C");
  a.Jr(0x20, "NZ", "literal");
  a.Op({0x7A}, "LD A,D");
  a.Op({0xFE, 0xC0}, "CP 0C0h");  // the output ends at 0C000h
  a.Jr(0x30, "NC", "done");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Jr(0x38, "C", "new");                  // 1: a match at a new distance
  a.Abs({0xCD}, "CALL ", "gamma", 0, "");  // 0: the last distance again, BC = length
  a.Jr(0x18, "", "copy");
  a.Label("matched");
  a.Op({0x7A}, "LD A,D");
  a.Op({0xFE, 0xC0}, "CP 0C0h");
  a.Jr(0x30, "NC", "done");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Jr(0x30, "NC", "literals");  // 0: a literal run; 1: a new match
  a.Label("new");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Jr(0x30, "NC", "far");
  a.Op({0x0E, 0x40}, "LD C,40h");  // 2 index bits below the marker
  a.Label("short");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Op({0xCB, 0x11}, "RL C");
  a.Jr(0x30, "NC", "short");
  a.Op({0x06, 0x00}, "LD B,00h");
  a.Op({0xE5}, "PUSH HL");
  a.Op({0x21, Lo(distances), Hi(distances)}, "LD HL," + Hex(distances, 4));
  a.Op({0x09}, "ADD HL,BC");
  a.Op({0x09}, "ADD HL,BC");  // a word per short distance
  a.Op({0x4E}, "LD C,(HL)");
  a.Op({0x23}, "INC HL");
  a.Op({0x46}, "LD B,(HL)");
  a.Op({0xE1}, "POP HL");
  a.Jr(0x18, "", "distance");
  a.Label("far");
  a.Abs({0xCD}, "CALL ", "gamma", 0, "");  // C = high byte + 1 (B = 0: distances < 16K)
  a.Op({0x41}, "LD B,C");
  a.Op({0x05}, "DEC B");
  a.Op({0x4E}, "LD C,(HL)");  // the low byte, whole
  a.Op({0x23}, "INC HL");
  a.Op({0x03}, "INC BC");  // BC = distance
  a.Label("distance");
  a.Abs({0xED, 0x43}, "LD (", "copy_distance", 1, "),BC");
  a.Abs({0xCD}, "CALL ", "gamma", 0, "");  // BC = length - 1
  a.Op({0x03}, "INC BC");
  a.Label("copy");
  a.Op({0xE5}, "PUSH HL");
  a.Op({0xC5}, "PUSH BC");
  a.Label("copy_distance");
  a.Op({0x01, 0x00, 0x00}, "LD BC,0000h");  // operand: the match distance
  a.Op({0x62}, "LD H,D");
  a.Op({0x6B}, "LD L,E");
  a.Op({0xB7}, "OR A");
  a.Op({0xED, 0x42}, "SBC HL,BC");  // HL = DE - distance
  a.Op({0xC1}, "POP BC");
  a.Op({0xED, 0xB0}, "LDIR");  // byte by byte, so overlapping copies repeat a pattern
  a.Op({0xE1}, "POP HL");
  a.Jr(0x18, "", "matched");
  a.Label("done");
}

// Carry = the next bit of the stream, most significant first; changes A and the flags.
void GetBitSubroutine(Assembler& a) {
  a.Label("getbit");
  a.Op({0x3E, 0x80}, "LD A,80h");  // operand: the bit buffer, a 1 below its last bit
  a.Op({0x87}, "ADD A,A");
  a.Jr(0x20, "NZ", "keep");
  a.Op({0x7E}, "LD A,(HL)");  // used up: the next stream byte, the marker shifted in
  a.Op({0x23}, "INC HL");
  a.Op({0x8F}, "ADC A,A");
  a.Label("keep");
  a.Abs({0x32}, "LD (", "getbit", 1, "),A");
  a.Op({0xC9}, "RET");
}

// BC = the next interlaced gamma value: "1" ends it, "0" brings in one more bit.
void GammaSubroutine(Assembler& a) {
  a.Label("gamma");
  a.Op({0x01, 0x01, 0x00}, "LD BC,0001h");
  a.Label("gamma_bit");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Op({0xD8}, "RET C");
  a.Abs({0xCD}, "CALL ", "getbit", 0, "");
  a.Op({0xCB, 0x11}, "RL C");
  a.Op({0xCB, 0x10}, "RL B");
  a.Jr(0x18, "", "gamma_bit");
}

}  // namespace

std::vector<Z80Instruction> ShowRoutineListing(const ShowParams& params) {
  Assembler a(params.org);
  PageVideoIn(a);
  if (params.kind == ShowKind::kCopy) {
    CopyBody(a, params);
  } else if (params.kind == ShowKind::kUnpack) {
    UnpackBody(a, params);
  } else {
    UnpackBitsBody(a, params);
  }
  PageBasicAndReturn(a);
  if (params.kind == ShowKind::kUnpackBits) {
    GetBitSubroutine(a);
    GammaSubroutine(a);
  }
  return a.Finish();
}

std::vector<std::uint8_t> ShowRoutine(const ShowParams& params) {
  std::vector<std::uint8_t> bytes;
  for (const Z80Instruction& in : ShowRoutineListing(params))
    bytes.insert(bytes.end(), in.bytes.begin(), in.bytes.end());
  return bytes;
}

}  // namespace tvcpix
