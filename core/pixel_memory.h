// Memory for picture-sized byte arrays: huge pages, and no zero fill before the real content.
#ifndef TVCPIX_CORE_PIXEL_MEMORY_H_
#define TVCPIX_CORE_PIXEL_MEMORY_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace tvcpix {

// Allocates large blocks on 2 MB boundaries and asks the kernel for transparent huge pages:
// on virtual machines every 4 KB page touched for the first time costs tens of microseconds,
// which for a 20-megapixel photograph is more than decoding it. Elements are default-
// initialised (bytes left as they are), since every user writes its whole array anyway.
class PixelAllocation {
 public:
  static void* Allocate(std::size_t bytes);
  static void Free(void* p, std::size_t bytes) noexcept;
};

template <typename T>
struct PixelAllocator {
  using value_type = T;
  PixelAllocator() = default;
  template <typename U>
  PixelAllocator(const PixelAllocator<U>&) {}  // NOLINT: allocators convert implicitly

  T* allocate(std::size_t n) { return static_cast<T*>(PixelAllocation::Allocate(n * sizeof(T))); }
  void deallocate(T* p, std::size_t n) noexcept { PixelAllocation::Free(p, n * sizeof(T)); }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    if constexpr (sizeof...(Args) == 0) {
      ::new (static_cast<void*>(p)) U;
    } else {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  }
  friend bool operator==(const PixelAllocator&, const PixelAllocator&) { return true; }
};

using PixelBytes = std::vector<std::uint8_t, PixelAllocator<std::uint8_t>>;

}  // namespace tvcpix

#endif  // TVCPIX_CORE_PIXEL_MEMORY_H_
