// Spatial search for mirror partners: a hash grid over points and the partner search built on
// it. A partner q of p lies strictly inside the cube of half-size `tolerance` around
// (-p.x, p.y, p.z), the mirror test of the symmetry command.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "mesh/ObjData.h"

namespace tarvel {

inline bool IsFinite(const TBaseVertex& v) {
  return std::isfinite(v.X) && std::isfinite(v.Y) && std::isfinite(v.Z);
}

// A hash grid over points. Cells are cubes of one size; a cell's points sit in the bucket its
// coordinates hash to, in the order they were given (ascending vertex order), so the first
// hit of a bucket scan is its smallest vertex. Buckets may hold points of several cells;
// callers test every point they scan, so a collision only costs time.
class TPointGrid {
 public:
  struct TCell {
    std::int64_t X, Y, Z;
  };

  // `points` carry their vertex in Index and come in ascending Index order.
  TPointGrid(const std::vector<TBaseVertex>& points, const TBaseVertex& origin, double cellSize)
      : TPointGrid(
            points.size(), points.size(), [](std::size_t) { return true; },
            [&](std::size_t i) { return points[i]; }, origin, cellSize) {}

  // The points pointAt(k) of the k in [0, n) that take(k) accepts, `count` of them, carrying
  // their vertex in Index in ascending order. The source is read twice (bucket sizes, then
  // placing) rather than copied first.
  template <class TTake, class TPointAt>
  TPointGrid(std::size_t n, std::size_t count, TTake take, TPointAt pointAt,
             const TBaseVertex& origin, double cellSize)
      : origin_(origin), size_(cellSize), oneCell_(!std::isfinite(cellSize)) {
    std::size_t buckets = 1;
    while (buckets < count) buckets <<= 1;
    mask_ = buckets - 1;
    constexpr std::uint32_t kLeftOut = std::numeric_limits<std::uint32_t>::max();
    std::vector<std::uint32_t> bucketOf(n, kLeftOut);
    start_.assign(buckets + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
      if (!take(k)) continue;
      bucketOf[k] = static_cast<std::uint32_t>(Bucket(CellOf(pointAt(k))));
      ++start_[bucketOf[k] + 1];
    }
    for (std::size_t b = 0; b < buckets; ++b) start_[b + 1] += start_[b];
    entries_.resize(start_[buckets]);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t k = 0; k < n; ++k)
      if (bucketOf[k] != kLeftOut) entries_[fill[bucketOf[k]]++] = pointAt(k);
  }

  // The cell along one axis: monotone in the coordinate, so the cells of a range of
  // coordinates lie between the cells of its ends.
  std::int64_t Axis(double v, double origin) const {
    if (oneCell_) return 0;
    const double c = std::floor((v - origin) / size_);
    if (std::isnan(c)) return 0;
    constexpr double kLimit = 1099511627776.0;  // 2^40 cells each way
    return static_cast<std::int64_t>(std::clamp(c, -kLimit, kLimit));
  }
  TCell CellOf(const TBaseVertex& p) const {
    return {Axis(p.X, origin_.X), Axis(p.Y, origin_.Y), Axis(p.Z, origin_.Z)};
  }
  // The bucket of a cell: the low bits of the cell's Z-order number, so that neighbouring
  // cells mostly have neighbouring buckets and a run of queries along a surface reads memory
  // that is near what the previous query read.
  std::size_t Bucket(const TCell& c) const {
    auto spread = [](std::int64_t v) {
      std::uint64_t x = static_cast<std::uint64_t>(v) & 0x1FFFFF;
      x = (x | x << 32) & 0x1F00000000FFFFull;
      x = (x | x << 16) & 0x1F0000FF0000FFull;
      x = (x | x << 8) & 0x100F00F00F00F00Full;
      x = (x | x << 4) & 0x10C30C30C30C30C3ull;
      x = (x | x << 2) & 0x1249249249249249ull;
      return x;
    };
    return static_cast<std::size_t>((spread(c.X) | spread(c.Y) << 1 | spread(c.Z) << 2) & mask_);
  }
  std::span<const TBaseVertex> All() const { return entries_; }
  std::span<const TBaseVertex> Points(std::size_t bucket) const {
    return {entries_.data() + start_[bucket], start_[bucket + 1] - start_[bucket]};
  }
  const TBaseVertex& Origin() const { return origin_; }

 private:
  TBaseVertex origin_;
  double size_;
  bool oneCell_;
  std::size_t mask_ = 0;
  std::vector<std::uint32_t> start_;
  std::vector<TBaseVertex> entries_;
};

// Lower corner and largest extent of finite points.
struct TBounds {
  TBaseVertex Min;
  double Extent = 0;
};

inline TBounds BoundsOf(std::span<const TBaseVertex> points) {
  TBaseVertex lo, hi;
  lo.X = lo.Y = lo.Z = std::numeric_limits<double>::infinity();
  hi.X = hi.Y = hi.Z = -std::numeric_limits<double>::infinity();
  for (const TBaseVertex& p : points) {
    lo.X = std::min(lo.X, p.X), lo.Y = std::min(lo.Y, p.Y), lo.Z = std::min(lo.Z, p.Z);
    hi.X = std::max(hi.X, p.X), hi.Y = std::max(hi.Y, p.Y), hi.Z = std::max(hi.Z, p.Z);
  }
  TBounds b;
  if (points.empty()) return b;
  b.Min = lo;
  b.Extent = std::max({hi.X - lo.X, hi.Y - lo.Y, hi.Z - lo.Z});
  return b;
}

// The buckets of every cell that a box [lo, hi] touches, each once.
struct TBucketSet {
  std::array<std::size_t, 27> Items;
  int Count = 0;
  void Add(std::size_t b) {
    for (int i = 0; i < Count; ++i)
      if (Items[static_cast<std::size_t>(i)] == b) return;
    Items[static_cast<std::size_t>(Count++)] = b;
  }
};

inline TBucketSet BucketsOfBox(const TPointGrid& grid, const TBaseVertex& lo,
                               const TBaseVertex& hi) {
  const TBaseVertex& o = grid.Origin();
  const std::int64_t x0 = grid.Axis(lo.X, o.X), x1 = grid.Axis(hi.X, o.X);
  const std::int64_t y0 = grid.Axis(lo.Y, o.Y), y1 = grid.Axis(hi.Y, o.Y);
  const std::int64_t z0 = grid.Axis(lo.Z, o.Z), z1 = grid.Axis(hi.Z, o.Z);
  TBucketSet set;
  // The cells are at least twice the tolerance wide, so a box spans at most two per axis;
  // three are allowed for rounding.
  for (std::int64_t x = x0; x <= std::min(x1, x0 + 2); ++x)
    for (std::int64_t y = y0; y <= std::min(y1, y0 + 2); ++y)
      for (std::int64_t z = z0; z <= std::min(z1, z0 + 2); ++z) set.Add(grid.Bucket({x, y, z}));
  return set;
}

// Mirror partners of one pristine mesh. A partner q of p lies strictly inside the cube of
// half-size `tolerance` around (-p.x, p.y, p.z); the grid's cells are twice that wide.
class TMirrorFinder {
 public:
  TMirrorFinder(const TObjData& pristine, float tolerance)
      : tolerance_(tolerance), grid_(MakeGrid(pristine, tolerance)) {}

  struct TResult {
    std::int32_t First = -1;  // smallest matching vertex position
    std::int32_t Last = -1;   // largest
    std::int32_t Matches = 0;
  };

  // The matches of pristine vertex `self` other than itself; with `counting` all of them,
  // otherwise only the first.
  TResult Find(const TBaseVertex& p, std::int32_t self, bool counting) const {
    TResult r;
    if (!(tolerance_ > 0) || !IsFinite(p)) return r;
    const double t = tolerance_;
    TBaseVertex lo, hi;
    lo.X = -p.X - t, hi.X = -p.X + t;
    lo.Y = p.Y - t, hi.Y = p.Y + t;
    lo.Z = p.Z - t, hi.Z = p.Z + t;
    const TBucketSet buckets = BucketsOfBox(grid_, lo, hi);
    std::int32_t first = std::numeric_limits<std::int32_t>::max();
    for (int b = 0; b < buckets.Count; ++b) {
      for (const TBaseVertex& q : grid_.Points(buckets.Items[static_cast<std::size_t>(b)])) {
        if (!counting && q.Index >= first) break;
        if (q.Index == self || !IsMirrorOf(p, q, tolerance_)) continue;
        ++r.Matches;
        first = std::min(first, q.Index);
        r.Last = std::max(r.Last, q.Index);
        if (!counting) break;
      }
    }
    if (r.Matches > 0) r.First = first;
    return r;
  }

 private:
  static TPointGrid MakeGrid(const TObjData& pristine, float tolerance) {
    // A point with an infinite or undefined coordinate matches nothing.
    const auto& vertices = pristine.Vertices;
    auto take = [&](std::size_t k) {
      return tolerance > 0 && IsFinite(vertices[static_cast<std::int32_t>(k)]);
    };
    auto pointAt = [&](std::size_t k) {
      const TObjVertex& v = vertices[static_cast<std::int32_t>(k)];
      TBaseVertex e;
      e.X = v.X, e.Y = v.Y, e.Z = v.Z, e.Index = static_cast<std::int32_t>(k);
      return e;
    };
    const auto n = static_cast<std::size_t>(vertices.Count());
    TBaseVertex lo, hi;
    lo.X = lo.Y = lo.Z = std::numeric_limits<double>::infinity();
    hi.X = hi.Y = hi.Z = -std::numeric_limits<double>::infinity();
    std::size_t count = 0;
    for (std::size_t k = 0; k < n; ++k) {
      if (!take(k)) continue;
      const TObjVertex& p = vertices[static_cast<std::int32_t>(k)];
      lo.X = std::min(lo.X, p.X), lo.Y = std::min(lo.Y, p.Y), lo.Z = std::min(lo.Z, p.Z);
      hi.X = std::max(hi.X, p.X), hi.Y = std::max(hi.Y, p.Y), hi.Z = std::max(hi.Z, p.Z);
      ++count;
    }
    TBounds b;
    if (count > 0) {
      b.Min = lo;
      b.Extent = std::max({hi.X - lo.X, hi.Y - lo.Y, hi.Z - lo.Z});
    }
    // Cells of at least twice the tolerance, and as wide as the mean spacing of the points
    // when that is wider: a query then mostly reads one cell of a point or two, and the
    // queries of neighbouring vertices read neighbouring buckets (far narrower cells scatter
    // them over the whole grid). Never more than 2^40 cells across.
    const double t = static_cast<double>(tolerance);
    const double spacing =
        b.Extent / std::sqrt(static_cast<double>(std::max<std::size_t>(count, 1)));
    const double size = std::max({2.0 * t, spacing, b.Extent / 1099511627776.0});
    return TPointGrid(n, count, take, pointAt, b.Min, size);
  }

  float tolerance_;
  TPointGrid grid_;
};

}  // namespace tarvel
