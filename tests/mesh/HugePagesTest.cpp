// Large arrays on huge-page aligned memory: contents survive growth and copies, small arrays
// take the ordinary heap, and both kinds can be handed between vectors.
#include "mesh/HugePages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>

#include "mesh/HugePageAdvice.h"

namespace tarvel {
namespace {

TEST(HugePagesTest, LargeArraysStartOnHugePageBoundariesAndKeepTheirContents) {
  for (const std::size_t n : {std::size_t{10}, kHugeArrayBytes / 8 - 1, kHugeArrayBytes / 8,
                              3 * kHugeArrayBytes / 8 + 5}) {
    SCOPED_TRACE(n);
    THugeVector<std::uint64_t> v(n);
    std::iota(v.begin(), v.end(), std::uint64_t{1});
    if (n * sizeof(std::uint64_t) >= kHugeArrayBytes && HugePagesEnabled()) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % kHugePageBytes, 0u);
    }
    // Growing across the threshold and copying keep every value.
    v.resize(n + kHugeArrayBytes / 8, 7);
    THugeVector<std::uint64_t> copy = v;
    THugeVector<std::uint64_t> moved = std::move(v);
    ASSERT_EQ(copy.size(), n + kHugeArrayBytes / 8);
    EXPECT_EQ(copy, moved);
    EXPECT_EQ(copy[n - 1], n);
    EXPECT_EQ(copy.back(), 7u);
    moved.clear();
    moved.shrink_to_fit();
  }
}

TEST(HugePagesTest, ReserveHugeAllocatesOnceAndKeepsRoomItHas) {
  std::vector<float> v;
  ReserveHuge(v, kHugeArrayBytes);  // advised
  const float* at = v.data();
  EXPECT_GE(v.capacity(), kHugeArrayBytes);
  v.assign(kHugeArrayBytes, 2.0f);
  EXPECT_EQ(v.data(), at);
  ReserveHuge(v, 10);
  EXPECT_EQ(v.data(), at);
  EXPECT_EQ(v[kHugeArrayBytes - 1], 2.0f);
}

}  // namespace
}  // namespace tarvel
