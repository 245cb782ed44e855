// Memory for picture-sized byte arrays: huge pages, and no zero fill before the real content.
#include "core/pixel_memory.h"

#include <sys/mman.h>

#include <cstdlib>

namespace tvcpix {

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
// From this size on a block gets whole huge pages; smaller ones come from the usual heap.
constexpr std::size_t kHugeFrom = std::size_t{256} << 10;
}  // namespace

void* PixelAllocation::Allocate(std::size_t bytes) {
  if (bytes < kHugeFrom) return ::operator new(bytes);
  const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  void* p = std::aligned_alloc(kHugePage, rounded);
  if (p == nullptr) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  madvise(p, rounded, MADV_HUGEPAGE);  // only advice: without it the pages are just smaller
#endif
  return p;
}

void PixelAllocation::Free(void* p, std::size_t bytes) noexcept {
  if (bytes < kHugeFrom) {
    ::operator delete(p);
  } else {
    std::free(p);
  }
}

}  // namespace tvcpix
