// Large arrays that may be backed by transparent huge pages. The first write to a fresh 4 KiB
// page costs a fault and a clear of its own, and an array of millions of vertices is touched
// page by page right after it is allocated. With huge pages enabled, arrays of kHugeArrayBytes
// and more are allocated on 2 MiB boundaries in whole 2 MiB steps and marked with
// madvise(MADV_HUGEPAGE), so that where the kernel keeps huge pages for marked memory each 2 MiB
// costs one fault; where huge pages are off the mark is ignored.
//
// They are enabled by the environment variable TARVEL_HUGE_PAGES=1 and are off by default: on
// virtual machines that hand free memory back to the host (free page reporting), every huge
// page is fresh host memory, and a load of a million vertices measured here took twice the
// time with them (bench_cold shows both).
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace tarvel {

inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
inline constexpr std::size_t kHugeArrayBytes = std::size_t{4} << 20;

// Memory for `bytes` (at least kHugeArrayBytes): huge-page aligned and marked when huge pages
// are enabled (HugePageAdvice.h), else from operator new. Throws std::bad_alloc when there is
// none.
void* AllocateHuge(std::size_t bytes);
// Gives back memory of AllocateHuge(bytes).
void FreeHuge(void* p, std::size_t bytes) noexcept;
// Kilobytes of the mapping that holds p which the kernel backs with huge pages (from
// /proc/self/smaps; 0 where it cannot tell). For benchmarks.
long HugePageKilobytes(const void* p);

// The allocator of the large record arrays: small arrays come from operator new as usual.
template <class T>
struct THugeAllocator {
  using value_type = T;
  THugeAllocator() noexcept = default;
  template <class U>
  THugeAllocator(const THugeAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes >= kHugeArrayBytes) return static_cast<T*>(AllocateHuge(bytes));
    return static_cast<T*>(::operator new (bytes, std::align_val_t{alignof(T)}));
  }
  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) >= kHugeArrayBytes)
      FreeHuge(p, n * sizeof(T));
    else
      ::operator delete (p, std::align_val_t{alignof(T)});
  }
  template <class U>
  bool operator==(const THugeAllocator<U>&) const noexcept {
    return true;
  }
};

template <class T>
using THugeVector = std::vector<T, THugeAllocator<T>>;

}  // namespace tarvel
