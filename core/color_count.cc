// The distinct-colour count: one bit per 24-bit colour in a table reused between counts.
#include "core/color_count.h"

#include <sys/mman.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace tvcpix {

namespace {

inline std::uint32_t ColorAt(const std::uint8_t* p) {
  return p[0] | (static_cast<std::uint32_t>(p[1]) << 8) | (static_cast<std::uint32_t>(p[2]) << 16);
}

// The same from one 4-byte load, for a pixel that is not the last of its row.
inline std::uint32_t ColorBefore(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v & 0xFFFFFFu;
  } else {
    return ColorAt(p);
  }
}

// Where a colour's bit goes: the low 3 bits of each channel pick a bit within one 64-byte
// block (an 8 x 8 x 8 cube of colours), the high 5 bits of each channel pick the block. Any
// one-to-one numbering counts the same, and with this one the neighbouring colours of a
// photograph share cache lines instead of missing the cache at almost every pixel.
struct CubeTables {
  std::uint32_t blue[256], green[256], red[256];
};

constexpr CubeTables MakeCubeTables() {
  CubeTables t{};
  for (std::uint32_t v = 0; v < 256; ++v) {
    t.blue[v] = (v & 7) | ((v >> 3) << 9);
    t.green[v] = ((v & 7) << 3) | ((v >> 3) << 14);
    t.red[v] = ((v & 7) << 6) | ((v >> 3) << 19);
  }
  return t;
}

constexpr CubeTables kCube = MakeCubeTables();

inline std::uint32_t CubeIndex(std::uint32_t c) {
  return kCube.blue[c & 0xFF] | kCube.green[(c >> 8) & 0xFF] | kCube.red[c >> 16];
}

// One bit per possible colour, kept per thread between counts so that no count pays for
// allocating and clearing 2 MB. A second level of one bit per word tells which words a count
// touched; only those are cleared after it. Both tables have a fixed size.
class ColorBits {
 public:
  ColorBits() : dirty_(std::size_t{1} << 12, 0) {
    // Fresh pages from the kernel are zero already: only the pages a count touches are ever
    // faulted in, instead of all 512 for a clearing pass, and on one huge page where the
    // kernel allows (the table is placed on a 2 MB boundary inside a mapping twice its size).
    base_ = mmap(nullptr, 2 * kWordBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                 -1, 0);
    if (base_ == MAP_FAILED) throw std::bad_alloc();
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(base_);
    words_ = reinterpret_cast<std::uint64_t*>((start + kWordBytes - 1) & ~(kWordBytes - 1));
#ifdef MADV_HUGEPAGE
    madvise(words_, kWordBytes, MADV_HUGEPAGE);
#endif
  }
  ~ColorBits() { munmap(base_, 2 * kWordBytes); }
  ColorBits(const ColorBits&) = delete;
  ColorBits& operator=(const ColorBits&) = delete;

  // Marks the colour; true when it was not marked before.
  bool Mark(std::uint32_t c) {
    const std::uint32_t k = CubeIndex(c);
    std::uint64_t& word = words_[k >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (k & 63);
    if (word & bit) return false;
    word |= bit;
    dirty_[k >> 12] |= std::uint64_t{1} << ((k >> 6) & 63);
    return true;
  }
  void Clear() {
    for (std::size_t d = 0; d < dirty_.size(); ++d) {
      for (std::uint64_t m = dirty_[d]; m != 0; m &= m - 1)
        words_[d * 64 + static_cast<std::size_t>(std::countr_zero(m))] = 0;
      dirty_[d] = 0;
    }
  }

 private:
  static constexpr std::size_t kWordBytes = std::size_t{8} << 18;  // 2^24 bits

  void* base_;
  std::uint64_t* words_;
  std::vector<std::uint64_t> dirty_;
};

// Distinct colours of the rows, marked in `seen`. A row equal to the one above (the result view
// repeats every row) brings no new colour; with kSkipRuns a run of one colour is marked once.
template <bool kSkipRuns>
int CountRows(const Surface& surface, ColorBits& seen) {
  const int width = surface.width(), height = surface.height();
  const std::size_t row_bytes = surface.stride();
  int count = 0;
  const std::uint8_t* previous_row = nullptr;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = surface.row(y);
    if (previous_row != nullptr && std::memcmp(row, previous_row, row_bytes) == 0) continue;
    previous_row = row;
    std::uint32_t last = ColorAt(row);
    count += seen.Mark(last);
    const std::uint8_t* p = row + 3;
    for (int x = 1; x < width - 1; ++x, p += 3) {
      const std::uint32_t c = ColorBefore(p);
      if constexpr (kSkipRuns) {
        if (c == last) continue;
        last = c;
      }
      count += seen.Mark(c);
    }
    if (width > 1) count += seen.Mark(ColorAt(p));
  }
  return count;
}

}  // namespace

int CountColors(const Surface& surface) {
  thread_local ColorBits bits;
  // Cleared on every way out, so the next count starts empty.
  struct Lease {
    ColorBits& bits;
    ~Lease() { bits.Clear(); }
  } lease{bits};
  const int width = surface.width(), height = surface.height();
  if (width <= 0 || height <= 0) return 0;
  // A photograph's neighbouring pixels are equal about as often as not, so skipping runs
  // would cost a mispredicted branch at every other pixel; small pictures (the result view
  // repeats every pixel) gain from it.
  if (static_cast<std::int64_t>(width) * height < (1 << 20)) return CountRows<true>(surface, bits);
  return CountRows<false>(surface, bits);
}

}  // namespace tvcpix
