// The eight error-diffusion kernels, run in flat raster order over the margin buffer, and the
// snap-to-palette post-pass.
#include "dither/error_diffusion.h"

#include <algorithm>
#include <cstddef>
#include <utility>

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
// the division by the divisor becomes a multiplication.
template <const Kernel& K>
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

template <std::size_t... I>
void DiffuseByIndex(std::size_t index, DitherBuffer& buffer, NearestMatcher& matcher,
                    std::index_sequence<I...>) {
  ((index == I ? DiffuseWith<kKernels[I]>(buffer, matcher) : void()), ...);
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
