#include "mesh/HugePages.h"

#include "mesh/HugePageAdvice.h"
#include "mesh/Platform.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tarvel {

namespace {
std::size_t RoundUp(std::size_t bytes) {
  return (bytes + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
}
}  // namespace

bool HugePagesEnabled() {
  static const bool enabled = [] {
    const char* v = std::getenv("TARVEL_HUGE_PAGES");
    return v && std::strcmp(v, "1") == 0;
  }();
  return enabled;
}

void* AllocateHuge(std::size_t bytes) {
  if (!HugePagesEnabled()) return ::operator new(bytes);
  void* p = platform::MapAligned(RoundUp(bytes), kHugePageBytes);
  if (!p) throw std::bad_alloc();
  return p;
}

void FreeHuge(void* p, std::size_t bytes) noexcept {
  if (!HugePagesEnabled())
    ::operator delete(p);
  else
    platform::UnmapAligned(p, RoundUp(bytes));
}

void AdviseHugePages(void* p, std::size_t bytes) {
  if (!p || bytes < kHugeArrayBytes || !HugePagesEnabled()) return;
  const auto start = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t first = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
  const std::uintptr_t last = (start + bytes) & ~(kHugePageBytes - 1);
  if (last > first) platform::AdviseHuge(reinterpret_cast<void*>(first), last - first);
}

long HugePageKilobytes(const void* p) {
  std::FILE* f = std::fopen("/proc/self/smaps", "r");
  if (!f) return 0;
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  char line[512];
  bool inside = false;
  long kb = 0;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long lo = 0, hi = 0;
    if (std::sscanf(line, "%lx-%lx ", &lo, &hi) == 2 && std::strchr(line, '-') && line[0] != ' ' &&
        std::strncmp(line, "AnonHugePages", 13) != 0) {
      inside = at >= lo && at < hi;
      continue;
    }
    if (inside && std::sscanf(line, "AnonHugePages: %ld kB", &kb) == 1) break;
  }
  std::fclose(f);
  return inside ? kb : 0;
}

}  // namespace tarvel
