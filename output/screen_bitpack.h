// The bit-oriented compression of a screen image for the tape, and its reference decoder.
//
// Dithered screens repeat bytes one and two rows up (64 and 128 bytes back) and use few byte
// values, so this format gives those short codes; it packs the bundled photos about a quarter
// smaller than the byte format of screen_pack.h. The Z80 routine in z80_show.cc decodes it
// straight into video RAM; UnpackScreenBits below is the same decoder in C++.
//
// The stream starts with two tables, then mixes bit bytes and whole bytes:
//   4 little-endian words   the short distances, chosen by a 2-bit index
//   16 bytes                the literal table, chosen by a 4-bit index
// Bits are read most significant first from a bit byte; when one is used up, the next bit
// comes from the stream's next byte, so whole bytes (raw literals, distance low bytes) and bit
// bytes interleave in the order the decoder reads them.
//   gamma(v), v >= 1: bits "1" for v = 1, else "0", then the bit below v's leading one, and so
//                    on (interlaced Elias gamma, with 1 as the stop bit since a 1 is the
//                    shorter tone on tape)
//   literal run:     gamma(n), then n literals: "1" + 4 bits = literal table entry, or
//                    "0" + one whole byte
//   new match:       "1" + 2 bits = short distance; or "0", gamma(hi + 1), one whole byte lo,
//                    distance = hi * 256 + lo + 1; then gamma(length - 1), length >= 2
//   repeat match:    gamma(length), length >= 1, at the distance of the last match
// The stream begins with a literal run. After a literal run, "1" = new match, "0" = repeat
// match; after a match, "1" = new match, "0" = literal run. Matches copy byte by byte, so they
// may overlap what they produce. The stream ends when the output is complete.
#ifndef TVCPIX_OUTPUT_SCREEN_BITPACK_H_
#define TVCPIX_OUTPUT_SCREEN_BITPACK_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tvcpix {

constexpr int kBitPackShortDistances = 4;
constexpr int kBitPackLiteralTable = 16;
constexpr std::size_t kBitPackHeaderBytes = 2 * kBitPackShortDistances + kBitPackLiteralTable;
constexpr int kBitPackMaxDistance = 16384;

// The short distances: 256 (index 0), one byte back (1), one row up (2), two rows up (3).
constexpr std::array<int, kBitPackShortDistances> kBitPackDistances = {256, 1, 64, 128};

// A small stream in the format above that decodes to the size bytes of data: the literal table
// holds the 16 bytes most often sent as literals, and the parse is optimal for the bit costs
// (exact for literals and matches, up to which earlier state a repeat match starts from).
// Deterministic.
std::vector<std::uint8_t> PackScreenBits(const std::uint8_t* data, std::size_t size);

// Decodes a stream to exactly out_size bytes. Returns false (and leaves *out partial) when the
// stream is malformed: it runs out early, a distance is 0 or reaches before the output's start,
// a repeat match comes before any match, a token runs past out_size, or whole bytes are left
// over.
bool UnpackScreenBits(const std::uint8_t* packed, std::size_t packed_size, std::size_t out_size,
                      std::vector<std::uint8_t>* out);

}  // namespace tvcpix

#endif  // TVCPIX_OUTPUT_SCREEN_BITPACK_H_
