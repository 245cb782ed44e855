// The ".cas" file a TVC emulator loads with LOAD.
#include "output/tvc_cassette.h"

#include "output/tvc_program.h"

namespace tvcpix {

Result CheckPayloadSize(std::size_t size) {
  if (size == 0) return Result::Failure("the program is empty");
  if (size > kMaxTvcPayload) {
    return Result::Failure("the program has " + std::to_string(size) +
                           " bytes, a TVC tape file holds at most " +
                           std::to_string(kMaxTvcPayload) + " (255 sectors of 256 bytes)");
  }
  return {};
}

CasResult BuildCasFile(const std::vector<std::uint8_t>& payload) {
  CasResult result;
  static_cast<Result&>(result) = CheckPayloadSize(payload.size());
  if (!result.ok) return result;
  const std::size_t len = payload.size();
  const std::size_t total = len + kCasHeaderBytes + kCasProgramHeaderBytes;
  std::vector<std::uint8_t>& b = result.bytes;
  b.assign(kCasHeaderBytes + kCasProgramHeaderBytes, 0);
  // The "UPM" header: the rule of the real files (MAME and jstvc ignore these fields).
  b[0x00] = 0x11;  // non-buffered file
  b[0x01] = 0x00;  // not copy-protected
  b[0x02] = static_cast<std::uint8_t>((total / 128) & 0xFF);
  b[0x03] = static_cast<std::uint8_t>((total / 128) >> 8);
  b[0x04] = static_cast<std::uint8_t>(total % 128);
  // The program header.
  b[0x80] = 0x00;
  b[0x81] = 0x01;  // program
  b[0x82] = static_cast<std::uint8_t>(len & 0xFF);
  b[0x83] = static_cast<std::uint8_t>(len >> 8);
  b[0x84] = 0xFF;  // run after LOAD
  b.insert(b.end(), payload.begin(), payload.end());
  return result;
}

}  // namespace tvcpix
