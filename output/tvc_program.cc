// The program a TVC loads with LOAD: BASIC lines, a zero gap, the Z80 routine and the screen.
#include "output/tvc_program.h"

#include <algorithm>
#include <cassert>

#include "output/basic_loader.h"
#include "output/screen_bitpack.h"
#include "output/screen_pack.h"
#include "output/z80_show.h"

namespace tvcpix {

namespace {

constexpr std::size_t kShownBytes = 15360;  // 240 rows of 64 bytes

std::vector<std::uint8_t> Assemble(const std::vector<std::uint8_t>& basic, const ShowParams& show,
                                   const std::uint8_t* data, std::size_t data_size,
                                   TvcProgramLayout* layout) {
  const std::vector<std::uint8_t> routine = ShowRoutine(show);
  // Sized once and filled in place (growing it by inserts trips GCC 12's -Warray-bounds).
  const std::size_t gap_end = kShowRoutineAddress - kBasicProgramStart;
  std::vector<std::uint8_t> payload(gap_end + routine.size() + data_size, 0);
  std::copy(basic.begin(), basic.end(), payload.begin());
  std::copy(routine.begin(), routine.end(), payload.begin() + static_cast<std::ptrdiff_t>(gap_end));
  std::copy(data, data + data_size,
            payload.begin() + static_cast<std::ptrdiff_t>(gap_end + routine.size()));
  layout->routine_bytes = routine.size();
  layout->data_bytes = data_size;
  return payload;
}

}  // namespace

TvcProgramResult BuildTvcProgram(TvcMode mode, const PaletteCodes& codes,
                                 const std::uint8_t* screen, std::size_t screen_size,
                                 const TvcProgramOptions& options) {
  TvcProgramResult result;
  if (screen == nullptr || screen_size != static_cast<std::size_t>(kScreenBytes)) {
    result.ok = false;
    result.message = "the screen image has " + std::to_string(screen == nullptr ? 0 : screen_size) +
                     " bytes, a TVC screen has " + std::to_string(kScreenBytes);
    return result;
  }
  const int used = InfoOf(mode).palette_codes;
  for (int i = 0; i < used; ++i) {
    const std::uint8_t code = codes[static_cast<std::size_t>(i)];
    if (!IsTvcColorCode(code)) {
      result.ok = false;
      result.message = "palette code " + std::to_string(i) + " is " + std::to_string(code) +
                       ", which is not a TVC colour code (0, 1, 4, 5, 16, 17, 20, 21, or one "
                       "of these plus 64)";
      return result;
    }
  }

  const std::vector<std::uint8_t> basic = BuildLoaderBasic(mode, codes, kShowRoutineAddress);
  // The loader lines are at most 45 bytes: the gap is never near its minimum.
  assert(kBasicProgramStart + basic.size() + kMinBasicGap <= kShowRoutineAddress);

  TvcProgramLayout layout;
  layout.basic_bytes = basic.size();

  // The copy: the hidden 1,024 bytes are sent only when they are not all zeros.
  layout.zero_tail = std::all_of(screen + kShownBytes, screen + kScreenBytes,
                                 [](std::uint8_t b) { return b == 0; });
  ShowParams copy;
  copy.kind = ShowKind::kCopy;
  copy.org = kShowRoutineAddress;
  copy.copy_count = static_cast<std::uint16_t>(layout.zero_tail ? kShownBytes : kScreenBytes);
  copy.zero_tail = layout.zero_tail;
  copy.data = static_cast<std::uint16_t>(kShowRoutineAddress + ShowRoutine(copy).size());

  TvcProgramLayout copy_layout = layout;
  copy_layout.packing = ScreenPacking::kCopy;
  copy_layout.data_address = copy.data;
  std::vector<std::uint8_t> copy_payload;
  if (options.packing == ScreenPacking::kAuto || options.packing == ScreenPacking::kCopy)
    copy_payload = Assemble(basic, copy, screen, copy.copy_count, &copy_layout);

  // A packed stream always covers all 16,384 bytes (a zero tail costs it a few bytes).
  const auto packed_program = [&](ShowKind kind, ScreenPacking packing,
                                  const std::vector<std::uint8_t>& packed,
                                  TvcProgramLayout* packed_layout) {
    ShowParams unpack;
    unpack.kind = kind;
    unpack.org = kShowRoutineAddress;
    unpack.data = static_cast<std::uint16_t>(kShowRoutineAddress + ShowRoutine(unpack).size());
    *packed_layout = layout;
    packed_layout->packing = packing;
    packed_layout->zero_tail = false;
    packed_layout->data_address = unpack.data;
    return Assemble(basic, unpack, packed.data(), packed.size(), packed_layout);
  };
  std::vector<std::uint8_t> bits_payload, packed_payload;
  TvcProgramLayout bits_layout, packed_layout;
  if (options.packing == ScreenPacking::kAuto || options.packing == ScreenPacking::kBits) {
    bits_payload = packed_program(ShowKind::kUnpackBits, ScreenPacking::kBits,
                                  PackScreenBits(screen, kScreenBytes), &bits_layout);
  }
  if (options.packing == ScreenPacking::kAuto || options.packing == ScreenPacking::kPacked) {
    packed_payload = packed_program(ShowKind::kUnpack, ScreenPacking::kPacked,
                                    PackScreen(screen, kScreenBytes), &packed_layout);
  }

  ScreenPacking use = options.packing;
  if (use == ScreenPacking::kAuto) {
    use = ScreenPacking::kCopy;
    std::size_t smallest = copy_payload.size();
    if (bits_payload.size() < smallest) use = ScreenPacking::kBits, smallest = bits_payload.size();
    if (packed_payload.size() < smallest) use = ScreenPacking::kPacked;
  }
  switch (use) {
    case ScreenPacking::kBits:
      result.payload = std::move(bits_payload);
      result.layout = bits_layout;
      break;
    case ScreenPacking::kPacked:
      result.payload = std::move(packed_payload);
      result.layout = packed_layout;
      break;
    default:
      result.payload = std::move(copy_payload);
      result.layout = copy_layout;
      break;
  }
  // The routine pages video RAM in at 0x8000: its data must lie below.
  assert(kBasicProgramStart + result.payload.size() <= kVideoAddress);
  assert(result.payload.size() <= kMaxTvcPayload);
  return result;
}

Result ScreenFromTim(const std::uint8_t* data, std::size_t size, TimScreen* out) {
  DecodedScreen decoded;
  Result checked = DecodeTim(data, size, &decoded);
  if (!checked.ok) return checked;
  out->mode = decoded.mode;
  out->codes = decoded.codes;
  out->image.assign(data + kTimHeaderBytes, data + kTimHeaderBytes + kScreenBytes);
  return checked;
}

}  // namespace tvcpix
