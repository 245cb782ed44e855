// The ".cas" file a TVC emulator loads with LOAD.
#ifndef TVCPIX_OUTPUT_TVC_CASSETTE_H_
#define TVCPIX_OUTPUT_TVC_CASSETTE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/result.h"

namespace tvcpix {

constexpr std::size_t kCasHeaderBytes = 128;
constexpr std::size_t kCasProgramHeaderBytes = 16;

// On failure the message is the reason, without a file name.
struct CasResult : Result {
  std::vector<std::uint8_t> bytes;
};

// The 128-byte header (0x11, 0, records = (len + 144) / 128 LE, (len + 144) mod 128, zeros),
// the 16-byte program header (0x00, 0x01 = program, len LE, 0xFF = run after LOAD, zeros) and
// the payload, unpadded. There is no checksum. Refuses an empty payload and one over 65,280
// bytes (what a tape data block of 255 sectors holds).
CasResult BuildCasFile(const std::vector<std::uint8_t>& payload);

// Whether a payload can go onto a tape or into a ".cas"; the reason when it cannot.
Result CheckPayloadSize(std::size_t size);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_TVC_CASSETTE_H_
