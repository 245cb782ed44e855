// The eight error-diffusion kernels, run in flat raster order over the margin buffer, and the
// snap-to-palette post-pass.
#include "dither/error_diffusion.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/nearest_cache.h"
#include "dither/dither_buffer.h"

namespace tvcpix {

namespace {

struct Tap {
  int dx, dy, weight;
};

struct Kernel {
  DitherMethod method;
  int divisor;
  int first_row;   // visited rows: first_row .. H + last_row_offset
  int last_row_offset;
  bool edge_fill;  // Atkinson keeps black margins
  int tap_count;
  Tap taps[12];
};

// Taps on the current row, then one row down, then two rows down; dx from left to right.
constexpr Kernel kKernels[] = {
    {DitherMethod::kFloyd, 16, 2, 5, true, 4, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}},
    {DitherMethod::kAtkinson, 8, 2, 5, false, 6,
     {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}},
    {DitherMethod::kSierraLite, 4, 2, 5, true, 3, {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}}},
    {DitherMethod::kBurkles, 32, 2, 5, true, 7,
     {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}},
    {DitherMethod::kSierra2Row, 16, 2, 5, true, 7,
     {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}}},
    {DitherMethod::kSierra, 32, 4, 3, true, 10,
     {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
      {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}},
    {DitherMethod::kStucky, 42, 4, 3, true, 12,
     {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
      {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}},
    {DitherMethod::kJarvis, 48, 4, 3, true, 12,
     {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
      {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}},
};

const Kernel* KernelOf(DitherMethod method) {
  for (const Kernel& k : kKernels)
    if (k.method == method) return &k;
  return nullptr;
}

inline std::uint8_t Clamp255(int v) {
  return static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

}  // namespace

bool IsErrorDiffusion(DitherMethod method) { return KernelOf(method) != nullptr; }

namespace {

// The diffusion pass for one kernel, fixed at compile time so that the tap loops unroll and
// the division by the divisor becomes a multiplication. Wide: the three channels of a tap are
// updated together in 16-bit lanes and saturated back to bytes, which is the same clamp to
// 0..255 after each addition. The 4-byte access also reads and writes back, unchanged, the
// byte after the tap's pixel, so the caller makes sure that byte is inside the buffer.
template <const Kernel& K, bool kWide>
void DiffuseWith(DitherBuffer& buffer, NearestMatcher& matcher) {
  // Flat byte offsets: a tap past a row's end lands at the start of the next row.
  std::ptrdiff_t offsets[K.tap_count];
  for (int t = 0; t < K.tap_count; ++t) {
    offsets[t] = (static_cast<std::ptrdiff_t>(K.taps[t].dx) +
                  static_cast<std::ptrdiff_t>(K.taps[t].dy) * buffer.row_pixels) * 3;
  }
  const int last_row = buffer.height + K.last_row_offset;
  for (int y = K.first_row; y <= last_row; ++y) {
    std::uint8_t* p = buffer.At(0, y);
    for (int x = 0; x < buffer.row_pixels; ++x, p += 3) {
      const PaletteEntry& q = matcher.Color(p[2], p[1], p[0]);
      // Truncating toward zero.
      const int eb = (p[0] - q.blue) / K.divisor;
      const int eg = (p[1] - q.green) / K.divisor;
      const int er = (p[2] - q.red) / K.divisor;
      p[0] = q.blue;
      p[1] = q.green;
      p[2] = q.red;
      if ((eb | eg | er) == 0) continue;  // nothing to push: every neighbour keeps its value
#if defined(__SSE2__)
      if constexpr (kWide) {
        const __m128i e = _mm_setr_epi16(static_cast<short>(eb), static_cast<short>(eg),
                                         static_cast<short>(er), 0, 0, 0, 0, 0);
        const __m128i zero = _mm_setzero_si128();
        for (int t = 0; t < K.tap_count; ++t) {
          std::uint8_t* n = p + offsets[t];
          std::int32_t bytes;
          std::memcpy(&bytes, n, 4);
          __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(bytes), zero);
          v = _mm_add_epi16(v, _mm_mullo_epi16(e, _mm_set1_epi16(K.taps[t].weight)));
          bytes = _mm_cvtsi128_si32(_mm_packus_epi16(v, v));
          std::memcpy(n, &bytes, 4);
        }
        continue;
      }
#endif
      const int e[3] = {eb, eg, er};
      for (int c = 0; c < 3; ++c) {
        if (e[c] == 0) continue;
        for (int t = 0; t < K.tap_count; ++t) {
          std::uint8_t& n = p[offsets[t] + c];
          n = Clamp255(n + K.taps[t].weight * e[c]);
        }
      }
    }
  }
}

// Whether every 4-byte access of the wide pass stays inside the buffer.
bool WideFits(const Kernel& k, const DitherBuffer& buffer) {
  std::ptrdiff_t reach = 0;
  for (int t = 0; t < k.tap_count; ++t) {
    reach = std::max(reach, (static_cast<std::ptrdiff_t>(k.taps[t].dx) +
                             static_cast<std::ptrdiff_t>(k.taps[t].dy) * buffer.row_pixels) * 3);
  }
  const std::ptrdiff_t last_pixel = static_cast<std::ptrdiff_t>(
      buffer.Offset(buffer.row_pixels - 1, buffer.height + k.last_row_offset));
  return last_pixel + reach + 4 <= static_cast<std::ptrdiff_t>(buffer.bytes.size());
}

template <std::size_t... I>
void DiffuseByIndex(std::size_t index, DitherBuffer& buffer, NearestMatcher& matcher,
                    std::index_sequence<I...>) {
  const bool wide = WideFits(kKernels[index], buffer);
  ((index == I ? (wide ? DiffuseWith<kKernels[I], true>(buffer, matcher)
                       : DiffuseWith<kKernels[I], false>(buffer, matcher))
               : void()),
   ...);
}

}  // namespace

void DiffuseError(Surface& destination, const Surface& source, DitherMethod method,
                  const Palette& palette) {
  const Kernel* kernel = KernelOf(method);
  if (kernel == nullptr) return;
  DitherBuffer buffer = MakeDitherBuffer(source, 4);
  if (kernel->edge_fill) ReplicateEdges(buffer);
  NearestMatcher& matcher = SharedMatcher(palette, nullptr);
  constexpr std::size_t kCount = sizeof(kKernels) / sizeof(kKernels[0]);
  DiffuseByIndex(static_cast<std::size_t>(kernel - kKernels), buffer, matcher,
                 std::make_index_sequence<kCount>());
  WriteBack(buffer, destination);
}

void SnapToPalette(Surface& destination, const Surface& source, const Palette& palette) {
  // Only the picture area of the margin buffer reaches the destination, and each pixel's snap
  // depends on that pixel alone, so snapping the picture pixels directly is the same.
  NearestMatcher& matcher = SharedMatcher(palette, nullptr);
  const int w = std::min(source.width(), destination.width());
  const int h = std::min(source.height(), destination.height());
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* s = source.row(y);
    std::uint8_t* d = destination.row(y);
    for (int x = 0; x < w; ++x, s += 3, d += 3) {
      const PaletteEntry& q = matcher.Color(s[2], s[1], s[0]);
      d[0] = q.blue;
      d[1] = q.green;
      d[2] = q.red;
    }
  }
}

}  // namespace tvcpix
