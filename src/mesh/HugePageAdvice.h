// Asking for transparent huge pages on memory that was allocated elsewhere (a std::vector's
// reserved storage): the whole 2 MiB pages inside [p, p + bytes) are marked, so that where the
// kernel keeps huge pages for marked memory their first touch costs one fault each. Nothing
// happens for less than kHugeArrayBytes or unless HugePagesEnabled() (see HugePages.h).
#pragma once

#include <cstddef>
#include <vector>

namespace tarvel {

// Whether large arrays use huge pages in this process: TARVEL_HUGE_PAGES=1 in the environment,
// read once (see HugePages.h for why they are off by default).
bool HugePagesEnabled();

void AdviseHugePages(void* p, std::size_t bytes);

// Reserves room for n items in one allocation, marked for huge pages when large; a vector that
// already has the room keeps its storage.
template <class T>
void ReserveHuge(std::vector<T>& v, std::size_t n) {
  if (v.capacity() >= n) return;
  v.reserve(n);
  AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace tarvel
