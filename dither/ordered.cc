// The Bayer screens and the block halftones: every channel becomes 0 or 255.
#include "dither/ordered.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "dither/dither_buffer.h"

namespace tvcpix {
namespace {

constexpr int kMargin = 4;
constexpr int kNewsMargin = 8;

// Threshold matrices, row-major: element (row r, column c) at N * r + c.
constexpr std::array<std::uint8_t, 4> kBayer2 = {63, 127, 191, 0};
constexpr std::array<std::uint8_t, 16> kBayer4 = {
    32,  159, 64,  191,  //
    255, 96,  223, 128,  //
    48,  175, 16,  143,  //
    207, 112, 239, 80,
};
constexpr std::array<std::uint8_t, 64> kBayer8 = {
    0,  32, 8,  40, 2,  34, 10, 42,  //
    48, 16, 56, 24, 50, 18, 58, 26,  //
    12, 44, 4,  36, 14, 46, 6,  38,  //
    60, 28, 52, 20, 62, 30, 54, 22,  //
    3,  35, 11, 43, 1,  33, 9,  41,  //
    51, 19, 59, 27, 49, 17, 57, 25,  //
    15, 47, 7,  39, 13, 45, 5,  37,  //
    63, 31, 55, 23, 61, 29, 53, 21,
};
constexpr std::array<std::uint8_t, 16> kNews4 = {
    12, 4, 11, 15,  //
    5,  0, 3,  10,  //
    6,  5, 2,  9,   //
    13, 7, 8,  14,
};
// Order in which the cells of a 3x3 block light up.
constexpr std::array<int, 9> kHalftone3Rank = {
    5, 1, 6,  //
    7, 2, 9,  //
    4, 3, 8,
};

// v / 4 rounded to the nearest integer, ties to the even one (2 -> 0, 6 -> 2, 255 -> 64).
constexpr std::array<std::uint8_t, 256> MakeQuarterTable() {
  std::array<std::uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    const int q = v / 4;
    const int rem = v % 4;
    const bool up = rem == 3 || (rem == 2 && q % 2 == 1);
    t[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(up ? q + 1 : q);
  }
  return t;
}
constexpr std::array<std::uint8_t, 256> kQuarter = MakeQuarterTable();

// Per-cell limits of the block halftones: a cell lights when the block sum s exceeds its limit.
template <int N>
using BlockLimits = std::array<int, static_cast<std::size_t>(N* N)>;

// Cells in row-major order: top-left lights above 204, bottom-right above 408, bottom-left
// above 612, top-right above 816.
constexpr BlockLimits<2> kHalftone2Limits = {204, 816, 612, 408};

constexpr BlockLimits<3> MakeHalftone3Limits() {
  BlockLimits<3> l{};
  for (std::size_t i = 0; i < l.size(); ++i) l[i] = 229 * kHalftone3Rank[i];
  return l;
}

// A News cell lights when level = s div 512 is above half its matrix value v, that is when
// level >= v div 2 + 1, so when s > 512 * (v div 2 + 1) - 1. For v = 14 and 15 that limit is
// beyond the largest sum (4080): those cells never light.
constexpr BlockLimits<4> MakeNewsLimits() {
  BlockLimits<4> l{};
  for (std::size_t i = 0; i < l.size(); ++i) l[i] = 512 * (kNews4[i] / 2 + 1) - 1;
  return l;
}

constexpr BlockLimits<3> kHalftone3Limits = MakeHalftone3Limits();
constexpr BlockLimits<4> kNewsLimits = MakeNewsLimits();

constexpr std::uint8_t OnOff(bool on) { return on ? 255 : 0; }

// "Bayer 2x2": rows and columns m .. W+m and H+m inclusive, so one margin row and column are
// visited as well; the column phase runs on across rows without a reset.
void Bayer2(DitherBuffer& buffer) {
  const int last_x = buffer.width + kMargin;
  const int last_y = buffer.height + kMargin;
  int r = 0;
  int c = 0;
  for (int y = kMargin; y <= last_y; ++y) {
    std::uint8_t* p = buffer.At(kMargin, y);
    const std::uint8_t* thresholds = kBayer2.data() + 2 * r;
    for (int x = kMargin; x <= last_x; ++x, p += 3) {
      const int t = thresholds[c];
      p[0] = OnOff(p[0] > t);
      p[1] = OnOff(p[1] > t);
      p[2] = OnOff(p[2] > t);
      c ^= 1;
    }
    r ^= 1;
  }
}

// "Bayer 4x4" and "Bayer 8x8": from the buffer's top-left corner (black margins included) to
// the picture's last row and column, phases running on across rows. The method runs one pass
// per channel with the phases reset each time; the passes touch disjoint bytes and see the
// same phases, so a single pass over all three channels gives the same bytes.
template <int N, bool kQuarterValue>
void BayerScreen(DitherBuffer& buffer, const std::array<std::uint8_t, N * N>& matrix) {
  const int columns = buffer.width + kMargin;  // x = 0 .. W+3
  const int rows = buffer.height + kMargin;    // y = 0 .. H+3
  int r = 0;
  int c = 0;
  for (int y = 0; y < rows; ++y) {
    std::uint8_t* p = buffer.At(0, y);
    const std::uint8_t* thresholds = matrix.data() + N * r;
    for (int x = 0; x < columns; ++x, p += 3) {
      const int t = thresholds[c];
      for (int ch = 0; ch < 3; ++ch) {
        const int v = kQuarterValue ? kQuarter[p[ch]] : p[ch];
        p[ch] = OnOff(!(v < t));
      }
      c = (c + 1) & (N - 1);
    }
    r = (r + 1) & (N - 1);
  }
}

// The block halftones: blocks of N x N with top-left corners m, m+N, ... up to W+m and H+m
// inclusive, so the last blocks reach into the edge copies; each channel on its own.
template <int N>
void BlockHalftone(DitherBuffer& buffer, const BlockLimits<N>& limits) {
  const int m = buffer.margin;
  const int last_x = buffer.width + m;
  const int last_y = buffer.height + m;
  const std::size_t stride = buffer.stride();
  std::array<std::size_t, static_cast<std::size_t>(N * N)> cell{};
  for (int j = 0; j < N; ++j) {
    for (int i = 0; i < N; ++i) {
      cell[static_cast<std::size_t>(N * j + i)] =
          stride * static_cast<std::size_t>(j) + 3 * static_cast<std::size_t>(i);
    }
  }
  for (int y = m; y <= last_y; y += N) {
    for (int x = m; x <= last_x; x += N) {
      std::uint8_t* block = buffer.At(x, y);
      for (int ch = 0; ch < 3; ++ch) {
        std::uint8_t* base = block + ch;
        int s = 0;
        for (std::size_t off : cell) s += base[off];
        for (std::size_t n = 0; n < cell.size(); ++n) base[cell[n]] = OnOff(s > limits[n]);
      }
    }
  }
}

}  // namespace

bool IsOrdered(DitherMethod method) {
  const int n = static_cast<int>(method);
  return n >= static_cast<int>(DitherMethod::kHalftone2x2) &&
         n <= static_cast<int>(DitherMethod::kNews4x4);
}

void OrderedDither(Surface& destination, const Surface& source, DitherMethod method) {
  if (!IsOrdered(method)) return;
  const int margin = method == DitherMethod::kNews4x4 ? kNewsMargin : kMargin;
  DitherBuffer buffer = MakeDitherBuffer(source, margin);
  switch (method) {
    case DitherMethod::kHalftone2x2:
      ReplicateEdges(buffer);
      BlockHalftone<2>(buffer, kHalftone2Limits);
      break;
    case DitherMethod::kHalftone3x3:
      ReplicateEdges(buffer);
      BlockHalftone<3>(buffer, kHalftone3Limits);
      break;
    case DitherMethod::kBayer2x2:
      Bayer2(buffer);
      break;
    case DitherMethod::kBayer4x4:
      BayerScreen<4, false>(buffer, kBayer4);
      break;
    case DitherMethod::kBayer8x8:
      BayerScreen<8, true>(buffer, kBayer8);
      break;
    case DitherMethod::kNews4x4:
      ReplicateEdges(buffer);
      BlockHalftone<4>(buffer, kNewsLimits);
      break;
    default:
      return;
  }
  WriteBack(buffer, destination);
}

}  // namespace tvcpix
