// Compression of a screen image for the tape, and the reference decoder.
//
// The packed stream is a sequence of tokens; the Z80 routine in z80_show.cc decodes it straight
// into video RAM, and UnpackScreen below is the same decoder in C++:
//   t = 0x00..0x7F  literal run: the next t + 1 bytes (1..128) are copied to the output;
//   t = 0x80..0xFF  match: (t & 0x7F) + 3 bytes (3..130) are copied, byte by byte (so they
//                   may overlap the bytes they produce), from `distance` bytes back in the
//                   output; the distance follows the token:
//                     o = 0x00..0x7F        distance = o + 1                  (1..128)
//                     o = 0x80..0xFF, p     distance = ((o & 0x7F) << 8 | p) + 1 (1..32768)
// There is no end marker: the stream ends when the output is complete (the Z80 decoder stops
// when its output pointer reaches the end of video RAM, a multiple of 256).
#ifndef TVCPIX_OUTPUT_SCREEN_PACK_H_
#define TVCPIX_OUTPUT_SCREEN_PACK_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvcpix {

constexpr int kPackMaxLiteralRun = 128;
constexpr int kPackMinMatch = 3;
constexpr int kPackMaxMatch = 130;
constexpr int kPackMaxNearDistance = 128;
constexpr int kPackMaxDistance = 32768;

// The smallest stream in the format above that decodes to the size bytes of data (an optimal
// parse over the longest near and far match at each position; deterministic).
std::vector<std::uint8_t> PackScreen(const std::uint8_t* data, std::size_t size);

// Decodes a stream to exactly out_size bytes. Returns false (and leaves *out partial) when the
// stream is malformed: it runs out early, a distance reaches before the output's start, a
// token runs past out_size, or bytes are left over.
bool UnpackScreen(const std::uint8_t* packed, std::size_t packed_size, std::size_t out_size,
                  std::vector<std::uint8_t>* out);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SCREEN_PACK_H_
