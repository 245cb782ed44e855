// The eight error-diffusion kernels, run in flat raster order over the margin buffer, and the
// snap-to-palette post-pass.
#include "dither/error_diffusion.h"

#include <algorithm>
#include <array>
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
  int first_row;  // visited rows: first_row .. H + last_row_offset
  int last_row_offset;
  bool edge_fill;  // Atkinson keeps black margins
  int tap_count;
  Tap taps[12];
};

// Taps on the current row, then one row down, then two rows down; dx from left to right.
constexpr Kernel kKernels[] = {
    {DitherMethod::kFloyd, 16, 2, 5, true, 4, {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}},
    {DitherMethod::kAtkinson,
     8,
     2,
     5,
     false,
     6,
     {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}}},
    {DitherMethod::kSierraLite, 4, 2, 5, true, 3, {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}}},
    {DitherMethod::kBurkles,
     32,
     2,
     5,
     true,
     7,
     {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}},
    {DitherMethod::kSierra2Row,
     16,
     2,
     5,
     true,
     7,
     {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}}},
    {DitherMethod::kSierra,
     32,
     4,
     3,
     true,
     10,
     {{1, 0, 5},
      {2, 0, 3},
      {-2, 1, 2},
      {-1, 1, 4},
      {0, 1, 5},
      {1, 1, 4},
      {2, 1, 2},
      {-1, 2, 2},
      {0, 2, 3},
      {1, 2, 2}}},
    {DitherMethod::kStucky,
     42,
     4,
     3,
     true,
     12,
     {{1, 0, 8},
      {2, 0, 4},
      {-2, 1, 2},
      {-1, 1, 4},
      {0, 1, 8},
      {1, 1, 4},
      {2, 1, 2},
      {-2, 2, 1},
      {-1, 2, 2},
      {0, 2, 4},
      {1, 2, 2},
      {2, 2, 1}}},
    {DitherMethod::kJarvis,
     48,
     4,
     3,
     true,
     12,
     {{1, 0, 7},
      {2, 0, 5},
      {-2, 1, 3},
      {-1, 1, 5},
      {0, 1, 7},
      {1, 1, 5},
      {2, 1, 3},
      {-2, 2, 1},
      {-1, 2, 3},
      {0, 2, 5},
      {1, 2, 3},
      {2, 2, 1}}},
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
// the division by the divisor becomes a multiplication.
// (The kernel is passed by its index: clang before 18 takes no reference to an array element
// as a template argument.)
template <std::size_t I>
void DiffuseWith(DitherBuffer& buffer, NearestMatcher& matcher) {
  constexpr const Kernel& K = kKernels[I];
  // Flat byte offsets: a tap past a row's end lands at the start of the next row.
  std::ptrdiff_t offsets[K.tap_count];
  for (int t = 0; t < K.tap_count; ++t) {
    offsets[t] = (static_cast<std::ptrdiff_t>(K.taps[t].dx) +
                  static_cast<std::ptrdiff_t>(K.taps[t].dy) * buffer.row_pixels) *
                 3;
  }
  const int last_row = buffer.height + K.last_row_offset;
  for (int y = K.first_row; y <= last_row; ++y) {
    std::uint8_t* p = buffer.At(0, y);
    for (int x = 0; x < buffer.row_pixels; ++x, p += 3) {
      const PaletteEntry& q = matcher.Color(p[2], p[1], p[0]);
      const int target[3] = {q.blue, q.green, q.red};
      for (int c = 0; c < 3; ++c) {
        const int e = (p[c] - target[c]) / K.divisor;  // truncates toward zero
        p[c] = static_cast<std::uint8_t>(target[c]);
        if (e == 0) continue;  // nothing to push: every neighbour keeps its value
        for (int t = 0; t < K.tap_count; ++t) {
          std::uint8_t& n = p[offsets[t] + c];
          n = Clamp255(n + K.taps[t].weight * e);
        }
      }
    }
  }
}

#if defined(__SSE2__)

// The taps of one kernel row (dy): the pixels dx_min..dx_max of that row, relative to the
// current pixel, and their weights (the taps of every kernel row are contiguous).
struct TapRow {
  bool used = false;
  int dx_min = 0;
  int length = 0;                               // pixels, at most 5
  std::array<std::int16_t, 16> lane_weights{};  // lane 3j + c: the weight of pixel j
};

constexpr std::array<TapRow, 3> TapRowsOf(const Kernel& k) {
  std::array<TapRow, 3> rows{};
  for (int dy = 0; dy < 3; ++dy) {
    int lo = 99, hi = -99;
    for (int t = 0; t < k.tap_count; ++t) {
      if (k.taps[t].dy != dy) continue;
      lo = std::min(lo, k.taps[t].dx);
      hi = std::max(hi, k.taps[t].dx);
    }
    if (lo > hi) continue;
    TapRow& r = rows[static_cast<std::size_t>(dy)];
    r.used = true;
    r.dx_min = lo;
    r.length = hi - lo + 1;
    for (int t = 0; t < k.tap_count; ++t) {
      if (k.taps[t].dy != dy) continue;
      const int j = k.taps[t].dx - lo;
      for (int c = 0; c < 3; ++c)
        r.lane_weights[static_cast<std::size_t>(3 * j + c)] =
            static_cast<std::int16_t>(k.taps[t].weight);
    }
  }
  return rows;
}

// A window of up to 5 pixels of one kernel row, 3 channels each, in 16-bit lanes 0..14 of
// two registers (lanes 0-7 in lo, 8-15 in hi); lanes past the window stay 0.
struct Lanes {
  __m128i lo, hi;
};

inline __m128i PixelLanes(const std::uint8_t* p) {
  std::uint32_t bytes;
  std::memcpy(&bytes, p, 4);
  return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(bytes & 0xFFFFFFu)),
                           _mm_setzero_si128());
}

inline void StorePixel(__m128i lanes, std::uint8_t* p) {
  const std::uint32_t bytes =
      static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(lanes, lanes)));
  p[0] = static_cast<std::uint8_t>(bytes);
  p[1] = static_cast<std::uint8_t>(bytes >> 8);
  p[2] = static_cast<std::uint8_t>(bytes >> 16);
}

// Places a pixel's lanes (from PixelLanes) at window position L - 1.
template <int L>
inline void PutLast(Lanes& w, __m128i px) {
  if constexpr (L == 1) {
    w.lo = _mm_or_si128(w.lo, px);
  } else if constexpr (L == 2) {
    w.lo = _mm_or_si128(w.lo, _mm_slli_si128(px, 6));
  } else if constexpr (L == 3) {
    w.lo = _mm_or_si128(w.lo, _mm_slli_si128(px, 12));
    w.hi = _mm_or_si128(w.hi, _mm_srli_si128(px, 4));
  } else if constexpr (L == 4) {
    w.hi = _mm_or_si128(w.hi, _mm_slli_si128(px, 2));
  } else {
    static_assert(L == 5);
    w.hi = _mm_or_si128(w.hi, _mm_slli_si128(px, 8));
  }
}

// Drops pixel 0 and moves the rest down one pixel (3 lanes).
inline void Slide(Lanes& w) {
  w.lo = _mm_or_si128(_mm_srli_si128(w.lo, 6), _mm_slli_si128(w.hi, 10));
  w.hi = _mm_srli_si128(w.hi, 6);
}

// x / D truncated toward zero in 16-bit lanes, for x in -255..255: a shift with a bias for the
// negative lanes when D is a power of two, else the high half of x * ceil(2^16 / D), plus 1
// for negative lanes.
template <int D>
constexpr bool kPowerOfTwo = (D & (D - 1)) == 0;
template <int D>
constexpr int kLog2 = D <= 1 ? 0 : 1 + kLog2<D / 2>;
template <int D>
constexpr int kReciprocal = (65536 + D - 1) / D;

template <int D>
constexpr bool DivisionHolds() {
  for (int x = -255; x <= 255; ++x) {
    int q;
    if constexpr (kPowerOfTwo<D>) {
      q = (x + (x < 0 ? D - 1 : 0)) >> kLog2<D>;
    } else {
      q = ((x * kReciprocal<D>) >> 16) + (x < 0 ? 1 : 0);
    }
    if (q != x / D) return false;
  }
  return true;
}

template <int D>
inline __m128i TruncatingDivide(__m128i x) {
  static_assert(DivisionHolds<D>(), "the lane division must equal C++'s for every error");
  const __m128i negative = _mm_srai_epi16(x, 15);
  if constexpr (kPowerOfTwo<D>) {
    return _mm_srai_epi16(_mm_add_epi16(x, _mm_and_si128(negative, _mm_set1_epi16(D - 1))),
                          kLog2<D>);
  } else {
    return _mm_sub_epi16(_mm_mulhi_epi16(x, _mm_set1_epi16(kReciprocal<D>)), negative);
  }
}

// The same pass with the pixels that the taps reach held in registers. Every pixel is held
// in exactly one place at a time, a window or the buffer: a window takes a pixel from the
// buffer when its right end reaches it and gives it back when its left end leaves it, and no
// tap reaches a pixel after that. Each addition is clamped to 0..255 as it is made, so the
// bytes come out as in the plain pass, without the plain pass's overlapping byte stores that
// stall the processor's store forwarding at every tap.
template <std::size_t I>
void DiffuseWindowed(DitherBuffer& buffer, NearestMatcher& matcher) {
  constexpr const Kernel& K = kKernels[I];
  static constexpr std::array<TapRow, 3> kRows = TapRowsOf(K);
  static_assert(kRows[0].used && kRows[0].dx_min == 1, "the next pixel is the first of row 0");
  const std::ptrdiff_t row_bytes = static_cast<std::ptrdiff_t>(buffer.stride());
  const int last_row = buffer.height + K.last_row_offset;
  std::uint8_t* p = buffer.At(0, K.first_row);
  const std::size_t count = static_cast<std::size_t>(last_row - K.first_row + 1) *
                            static_cast<std::size_t>(buffer.row_pixels);
  if (count == 0) return;
  // Byte offset of window pixel j of kernel row dy from the current pixel.
  const auto offset = [row_bytes](int dy, int j) {
    return static_cast<std::ptrdiff_t>(dy) * row_bytes +
           static_cast<std::ptrdiff_t>(kRows[static_cast<std::size_t>(dy)].dx_min + j) * 3;
  };
  const auto weights = [](int dy, int half) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(
        kRows[static_cast<std::size_t>(dy)].lane_weights.data() + 8 * half));
  };
  const __m128i w0_lo = weights(0, 0), w1_lo = weights(1, 0), w1_hi = weights(1, 1),
                w2_lo = weights(2, 0), w2_hi = weights(2, 1);
  constexpr int kL0 = kRows[0].length, kL1 = kRows[1].length, kL2 = kRows[2].length;
  constexpr bool kRow2 = kRows[2].used;
  static_assert(kL0 <= 2, "row 0 reaches two pixels at most");
  Lanes r0{_mm_setzero_si128(), _mm_setzero_si128()};
  Lanes r1 = r0, r2 = r0;
  // Load pixel j at the last position, then move it down, from the leftmost on.
  for (int j = 0; j < kL0; ++j) {
    Slide(r0);
    PutLast<kL0>(r0, PixelLanes(p + offset(0, j)));
  }
  for (int j = 0; j < kL1; ++j) {
    Slide(r1);
    PutLast<kL1>(r1, PixelLanes(p + offset(1, j)));
  }
  if constexpr (kRow2) {
    for (int j = 0; j < kL2; ++j) {
      Slide(r2);
      PutLast<kL2>(r2, PixelLanes(p + offset(2, j)));
    }
  }

  const __m128i zero = _mm_setzero_si128();
  const __m128i top = _mm_set1_epi16(255);
  const __m128i first_pixel = _mm_setr_epi16(-1, -1, -1, 0, 0, 0, 0, 0);
  __m128i current = PixelLanes(p);
  for (std::size_t i = 0;; ++i, p += 3) {
    const std::uint32_t bgr =
        static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(current, current)));
    // Diffused colours rarely repeat: a palette of a few colours is searched without the cache.
    const PaletteEntry& q = matcher.ColorBgrOnce(bgr & 0xFFFFFFu);
    std::uint32_t target;
    std::memcpy(&target, &q, 4);
    // Byte 3 of the entry is 0 and lands on the next pixel, which a window holds; its byte in
    // the buffer is written again before anything reads it.
    std::memcpy(p, &target, 4);
    const __m128i e = TruncatingDivide<K.divisor>(_mm_sub_epi16(
        current, _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(target)), zero)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(e, zero)) != 0xFFFF) {
      // Lanes 3k + c of the windows take the error of channel c.
      const __m128i e_lo =
          _mm_or_si128(e, _mm_or_si128(_mm_slli_si128(e, 6), _mm_slli_si128(e, 12)));
      const __m128i e_hi = _mm_or_si128(_mm_srli_si128(e, 4),
                                        _mm_or_si128(_mm_slli_si128(e, 2), _mm_slli_si128(e, 8)));
      r0.lo = _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(r0.lo, _mm_mullo_epi16(e_lo, w0_lo)), zero),
                            top);
      r1.lo = _mm_min_epi16(_mm_max_epi16(_mm_add_epi16(r1.lo, _mm_mullo_epi16(e_lo, w1_lo)), zero),
                            top);
      if constexpr (kL1 > 2) {
        r1.hi = _mm_min_epi16(
            _mm_max_epi16(_mm_add_epi16(r1.hi, _mm_mullo_epi16(e_hi, w1_hi)), zero), top);
      }
      if constexpr (kRow2) {
        r2.lo = _mm_min_epi16(
            _mm_max_epi16(_mm_add_epi16(r2.lo, _mm_mullo_epi16(e_lo, w2_lo)), zero), top);
        if constexpr (kL2 > 2) {
          r2.hi = _mm_min_epi16(
              _mm_max_epi16(_mm_add_epi16(r2.hi, _mm_mullo_epi16(e_hi, w2_hi)), zero), top);
        }
      }
    }
    if (i + 1 == count) break;
    // The next pixel is pixel 0 of row 0's window; the other windows hand their pixel 0
    // back to the buffer. Each window then takes in the pixel beyond its right end.
    current = _mm_and_si128(r0.lo, first_pixel);
    Slide(r0);
    PutLast<kL0>(r0, PixelLanes(p + 3 + offset(0, kL0 - 1)));
    StorePixel(r1.lo, p + offset(1, 0));
    Slide(r1);
    PutLast<kL1>(r1, PixelLanes(p + 3 + offset(1, kL1 - 1)));
    if constexpr (kRow2) {
      StorePixel(r2.lo, p + offset(2, 0));
      Slide(r2);
      PutLast<kL2>(r2, PixelLanes(p + 3 + offset(2, kL2 - 1)));
    }
  }
  // The pass is over: every window gives its pixels back.
  for (int j = 0; j < kL0; ++j) {
    StorePixel(r0.lo, p + offset(0, j));
    Slide(r0);
  }
  for (int j = 0; j < kL1; ++j) {
    StorePixel(r1.lo, p + offset(1, j));
    Slide(r1);
  }
  if constexpr (kRow2) {
    for (int j = 0; j < kL2; ++j) {
      StorePixel(r2.lo, p + offset(2, j));
      Slide(r2);
    }
  }
}

#endif  // __SSE2__

// Whether every 4-byte access of the wide pass stays inside the buffer.
bool WideFits(const Kernel& k, const DitherBuffer& buffer) {
  std::ptrdiff_t reach = 0;
  for (int t = 0; t < k.tap_count; ++t) {
    reach = std::max(reach, (static_cast<std::ptrdiff_t>(k.taps[t].dx) +
                             static_cast<std::ptrdiff_t>(k.taps[t].dy) * buffer.row_pixels) *
                                3);
  }
  const std::ptrdiff_t last_pixel = static_cast<std::ptrdiff_t>(
      buffer.Offset(buffer.row_pixels - 1, buffer.height + k.last_row_offset));
  return last_pixel + reach + 4 <= static_cast<std::ptrdiff_t>(buffer.bytes.size());
}

template <std::size_t... I>
void DiffuseByIndex(std::size_t index, DitherBuffer& buffer, NearestMatcher& matcher,
                    std::index_sequence<I...>) {
#if defined(__SSE2__)
  if (WideFits(kKernels[index], buffer)) {
    ((index == I ? DiffuseWindowed<I>(buffer, matcher) : void()), ...);
    return;
  }
#endif
  ((index == I ? DiffuseWith<I>(buffer, matcher) : void()), ...);
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
