#include "commands/ClosestPair.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <utility>

#include "commands/MirrorSearch.h"

namespace tarvel {

namespace {

// Spreads 21 bits to every third bit.
inline std::uint64_t Spread3(std::uint64_t x) {
  x &= 0x1FFFFF;
  x = (x | x << 32) & 0x1F00000000FFFFull;
  x = (x | x << 16) & 0x1F0000FF0000FFull;
  x = (x | x << 8) & 0x100F00F00F00F00Full;
  x = (x | x << 4) & 0x10C30C30C30C30C3ull;
  x = (x | x << 2) & 0x1249249249249249ull;
  return x;
}

using TKeyed = std::pair<std::uint64_t, std::uint32_t>;

// Sorts by key, then by position, as std::sort of the pairs does when the positions are
// distinct and ascending: a least-significant-digit radix sort by key, 11 bits a pass, that
// keeps the order of equal keys and skips the digits all keys share.
void SortByKey(std::vector<TKeyed>& items, std::vector<TKeyed>& other) {
  constexpr int kBits = 11, kPasses = 6;
  constexpr std::size_t kBuckets = std::size_t{1} << kBits;
  if (items.size() < 4096) {
    std::sort(items.begin(), items.end());
    return;
  }
  std::vector<std::array<std::uint32_t, kBuckets>> counts(kPasses);
  for (auto& c : counts) c.fill(0);
  for (const TKeyed& e : items)
    for (int d = 0; d < kPasses; ++d)
      ++counts[static_cast<std::size_t>(d)][(e.first >> (d * kBits)) & (kBuckets - 1)];
  other.resize(items.size());
  for (int d = 0; d < kPasses; ++d) {
    auto& c = counts[static_cast<std::size_t>(d)];
    if (std::find(c.begin(), c.end(), items.size()) != c.end()) continue;  // one digit for all
    std::uint32_t at = 0;
    for (std::uint32_t& n : c) at += std::exchange(n, at);
    for (const TKeyed& e : items) other[c[(e.first >> (d * kBits)) & (kBuckets - 1)]++] = e;
    items.swap(other);
  }
}

// The exhaustive pass over a hash grid, for points so spread out that their cells cannot be
// numbered along the axes.
float SmallestDistanceHashed(std::span<const TInfoPoint> infoPoints, const TBounds& box,
                             float best) {
  std::vector<TBaseVertex> points(infoPoints.size());
  for (std::size_t i = 0; i < infoPoints.size(); ++i) {
    points[i].X = infoPoints[i].X, points[i].Y = infoPoints[i].Y, points[i].Z = infoPoints[i].Z;
    points[i].Index = infoPoints[i].Index;
  }
  // Every pair closer than half a cell lies in one cell or in two neighbouring ones, so with
  // cells of 2.5 times the bound no closer pair is missed.
  const TPointGrid grid(points, box.Min, 2.5 * static_cast<double>(best));
  // Half of the 26 neighbours: each pair of neighbouring cells is visited from one side.
  static constexpr std::array<std::array<int, 3>, 13> kForward = {{{1, 0, 0},
                                                                   {-1, 1, 0},
                                                                   {0, 1, 0},
                                                                   {1, 1, 0},
                                                                   {-1, -1, 1},
                                                                   {0, -1, 1},
                                                                   {1, -1, 1},
                                                                   {-1, 0, 1},
                                                                   {0, 0, 1},
                                                                   {1, 0, 1},
                                                                   {-1, 1, 1},
                                                                   {0, 1, 1},
                                                                   {1, 1, 1}}};
  for (const TBaseVertex& a : points) {
    const TPointGrid::TCell c = grid.CellOf(a);
    for (const TBaseVertex& b : grid.Points(grid.Bucket(c))) {
      if (b.Index <= a.Index) continue;
      const float d = Distance(a, b);
      if (d < best) best = d;
    }
    for (const auto& o : kForward) {
      const std::size_t bucket = grid.Bucket({c.X + o[0], c.Y + o[1], c.Z + o[2]});
      for (const TBaseVertex& b : grid.Points(bucket)) {
        if (b.Index == a.Index) continue;  // a neighbour cell may share a's bucket
        const float d = Distance(a, b);
        if (d < best) best = d;
      }
    }
    if (best == 0) break;
  }
  return best;
}

}  // namespace

float InfoDistance(const TInfoPoint& a, const TInfoPoint& b) {
  const float dx = a.X - b.X, dy = a.Y - b.Y, dz = a.Z - b.Z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float SmallestDistance(std::vector<TInfoPoint>& points, float bound) {
  if (points.size() < 2 || !(bound > 0)) return bound;
  TBounds box;
  {
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const TInfoPoint& p : points) {
      const double v[3] = {p.X, p.Y, p.Z};
      for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], v[k]), hi[k] = std::max(hi[k], v[k]);
    }
    box.Min.X = lo[0], box.Min.Y = lo[1], box.Min.Z = lo[2];
    box.Extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
  }
  if (box.Extent == 0) return std::min(bound, InfoDistance(points[0], points[1]));

  // An upper bound first: neighbours along a Z-order curve are usually close.
  constexpr double kSteps = 2097151.0;  // 21 bits per axis
  const double scale = std::isfinite(box.Extent) ? kSteps / box.Extent : 0;
  auto quantise = [&](double v, double lo) {
    const double q = std::clamp((v - lo) * scale, 0.0, kSteps);
    return Spread3(static_cast<std::uint64_t>(std::isnan(q) ? 0 : q));
  };
  std::vector<TKeyed> order(points.size());
  std::vector<TKeyed> scratch;  // the radix sort's second buffer, for both sorts
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TInfoPoint& p = points[i];
    order[i] = {
        quantise(p.X, box.Min.X) | quantise(p.Y, box.Min.Y) << 1 | quantise(p.Z, box.Min.Z) << 2,
        static_cast<std::uint32_t>(i)};
  }
  SortByKey(order, scratch);
  float best = bound;
  for (std::size_t i = 1; i < order.size() && best > 0; ++i) {
    const float d = InfoDistance(points[order[i - 1].second], points[order[i].second]);
    if (d < best) best = d;
  }
  if (best == 0) return best;

  // Then every pair that could be closer. A pair closer than `best` lies in one cell or in
  // two neighbouring ones of cells 1.25 times as wide. The points are put in the order of
  // their cells, x first, then y, then z, so that a row of cells along z is one run; each
  // point is compared with the later points of its cell and of its cell's 13 neighbours that
  // come after it in that order, found by one cursor per neighbouring row that only moves
  // forward. The points are then read in order, not at random.
  const double cell = 1.25 * static_cast<double>(best);
  constexpr double kMaxCells = 1048576.0;  // 2^20 per axis, room for the neighbours
  if (!(box.Extent / cell < kMaxCells)) return SmallestDistanceHashed(points, box, best);
  auto axis = [&](double v, double lo) {
    return static_cast<std::uint64_t>(std::clamp(std::floor((v - lo) / cell), 0.0, kMaxCells));
  };
  constexpr int kY = 21, kX = 42;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TInfoPoint& p = points[i];
    order[i] = {axis(p.X, box.Min.X) << kX | axis(p.Y, box.Min.Y) << kY | axis(p.Z, box.Min.Z),
                static_cast<std::uint32_t>(i)};
  }
  SortByKey(order, scratch);
  {  // the points in that order, so that runs are read from consecutive memory
    std::vector<TInfoPoint> sorted(points.size());
    for (std::size_t i = 0; i < order.size(); ++i) sorted[i] = points[order[i].second];
    points.swap(sorted);
  }
  constexpr std::uint64_t kZMask = (std::uint64_t{1} << kY) - 1;
  constexpr std::uint64_t kYMask = kZMask << kY;
  // Rows (dx, dy) after the point's own row; each scans z - 1 to z + 1.
  static constexpr std::array<std::array<int, 2>, 4> kRows = {{{0, 1}, {1, -1}, {1, 0}, {1, 1}}};
  std::array<std::size_t, 4> cursor{};
  const std::size_t n = order.size();
  for (std::size_t i = 0; i < n && best > 0; ++i) {
    const std::uint64_t key = order[i].first;
    const TInfoPoint& a = points[i];
    // The rest of its own cell, then the next cell of its row.
    for (std::size_t j = i + 1; j < n && order[j].first <= key + 1; ++j) {
      const float d = InfoDistance(a, points[j]);
      if (d < best) best = d;
    }
    const std::uint64_t z = key & kZMask;
    for (std::size_t r = 0; r < kRows.size(); ++r) {
      const auto [dx, dy] = kRows[r];
      if (dy < 0 && (key & kYMask) == 0) continue;
      const std::uint64_t row =
          key - z + (static_cast<std::uint64_t>(dx) << kX) +
          (dy < 0 ? -(std::uint64_t{1} << kY) : static_cast<std::uint64_t>(dy) << kY);
      const std::uint64_t lo = row + (z > 0 ? z - 1 : 0), hi = row + z + 1;
      std::size_t& c = cursor[r];
      while (c < n && order[c].first < lo) ++c;
      for (std::size_t j = c; j < n && order[j].first <= hi; ++j) {
        const float d = InfoDistance(a, points[j]);
        if (d < best) best = d;
      }
    }
  }
  return best;
}

}  // namespace tarvel
