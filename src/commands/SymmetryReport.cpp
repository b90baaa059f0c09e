#include "commands/SymmetryReport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "commands/MirrorSearch.h"

namespace tarvel {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A k-d tree over finite points for nearest-neighbour queries in the box metric. The tree is
// implicit: the range [lo, hi) has its splitting point at the middle, the left half before it
// and the right half after it.
class TBoxTree {
 public:
  explicit TBoxTree(const std::vector<TBaseVertex>& points) {
    order_.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
      if (IsFinite(points[i])) order_.push_back(static_cast<std::uint32_t>(i));
    pts_ = &points;
    axis_.assign(order_.size(), 0);
    struct TRange {
      std::size_t Lo, Hi;
    };
    std::vector<TRange> work{{0, order_.size()}};
    while (!work.empty()) {
      const TRange r = work.back();
      work.pop_back();
      if (r.Hi - r.Lo < 2) continue;
      // Split along the widest extent of the range.
      double lo[3] = {kInfinity, kInfinity, kInfinity},
             hi[3] = {-kInfinity, -kInfinity, -kInfinity};
      for (std::size_t i = r.Lo; i < r.Hi; ++i)
        for (int a = 0; a < 3; ++a) {
          const double v = Coord(order_[i], a);
          lo[a] = std::min(lo[a], v), hi[a] = std::max(hi[a], v);
        }
      int axis = 0;
      for (int a = 1; a < 3; ++a)
        if (hi[a] - lo[a] > hi[axis] - lo[axis]) axis = a;
      const std::size_t mid = r.Lo + (r.Hi - r.Lo) / 2;
      std::nth_element(
          order_.begin() + static_cast<std::ptrdiff_t>(r.Lo),
          order_.begin() + static_cast<std::ptrdiff_t>(mid),
          order_.begin() + static_cast<std::ptrdiff_t>(r.Hi),
          [&](std::uint32_t a, std::uint32_t b) { return Coord(a, axis) < Coord(b, axis); });
      axis_[mid] = static_cast<std::uint8_t>(axis);
      work.push_back({r.Lo, mid});
      work.push_back({mid + 1, r.Hi});
    }
  }

  // The smallest box distance from q to a point other than `self`.
  double Nearest(const double q[3], std::uint32_t self) const {
    double best = kInfinity;
    std::vector<TVisit>& work = work_;
    work.clear();
    work.push_back({0, order_.size(), 0});
    while (!work.empty()) {
      const TVisit v = work.back();
      work.pop_back();
      if (v.Lo >= v.Hi || v.Bound >= best) continue;
      const std::size_t mid = v.Lo + (v.Hi - v.Lo) / 2;
      const std::uint32_t p = order_[mid];
      if (p != self) {
        double d = 0;
        for (int a = 0; a < 3; ++a) d = std::max(d, std::abs(q[a] - Coord(p, a)));
        best = std::min(best, d);
      }
      if (v.Hi - v.Lo == 1) continue;
      const int axis = axis_[mid];
      const double diff = q[axis] - Coord(p, axis);
      const TVisit left{v.Lo, mid, diff < 0 ? v.Bound : std::max(v.Bound, diff)};
      const TVisit right{mid + 1, v.Hi, diff < 0 ? std::max(v.Bound, -diff) : v.Bound};
      // The near side is visited first, so it goes on the work list last.
      if (diff < 0) {
        work.push_back(right);
        work.push_back(left);
      } else {
        work.push_back(left);
        work.push_back(right);
      }
    }
    return best;
  }

 private:
  double Coord(std::uint32_t i, int axis) const {
    const TBaseVertex& p = (*pts_)[i];
    return axis == 0 ? p.X : axis == 1 ? p.Y : p.Z;
  }

  struct TVisit {
    std::size_t Lo, Hi;
    double Bound;  // no point of the range is nearer than this
  };

  const std::vector<TBaseVertex>* pts_ = nullptr;
  std::vector<std::uint32_t> order_;
  std::vector<std::uint8_t> axis_;
  mutable std::vector<TVisit> work_;  // reused by every query
};

// What the pairing found for one vertex.
struct TVertexSymmetry {
  bool OnCentreLine = false;
  bool Near = false;
  bool Paired = false;
  std::int32_t Extra = 0;
  double PairDistance = 0;
  double Nearest = 0;
};

void Add(TSymmetryCounts& c, const TVertexSymmetry& v) {
  ++c.Vertices;
  if (v.OnCentreLine) {
    ++c.OnCentreLine;
    return;
  }
  if (v.Near) ++c.NearCentreLine;
  if (!v.Paired) ++c.OutOfSymmetry;
  c.CrossLinked += v.Extra;
  if (v.Paired) c.LargestPairDistance = std::max(c.LargestPairDistance, v.PairDistance);
  c.ToleranceForAll = std::max(c.ToleranceForAll, v.Nearest);
}

}  // namespace

std::vector<double> NearestMirrorDistances(const std::vector<TBaseVertex>& points) {
  std::vector<double> out(points.size(), kInfinity);
  const TBoxTree tree(points);
  for (std::size_t i = 0; i < points.size(); ++i) {
    const TBaseVertex& p = points[i];
    if (!IsFinite(p)) continue;
    const double q[3] = {-p.X, p.Y, p.Z};
    out[i] = tree.Nearest(q, static_cast<std::uint32_t>(i));
  }
  return out;
}

TSymmetryReport AnalyseSymmetry(const TObjData& mesh, float tolerance) {
  TSymmetryReport report;
  report.Tolerance = tolerance;
  const std::int32_t n = mesh.Vertices.Count();
  std::vector<TBaseVertex> points(static_cast<std::size_t>(n));
  for (std::int32_t j = 0; j < n; ++j) {
    const TObjVertex& v = mesh.Vertices[j];
    TBaseVertex& p = points[static_cast<std::size_t>(j)];
    p.X = v.X, p.Y = v.Y, p.Z = v.Z, p.Index = j;
  }
  const std::vector<double> nearest = NearestMirrorDistances(points);
  const TMirrorFinder finder(mesh, tolerance);
  std::vector<TVertexSymmetry> each(static_cast<std::size_t>(n));
  for (std::int32_t j = 0; j < n; ++j) {
    const TBaseVertex& p = points[static_cast<std::size_t>(j)];
    TVertexSymmetry& v = each[static_cast<std::size_t>(j)];
    if (IsOnCentreLine(p)) {
      v.OnCentreLine = true;
      continue;
    }
    // Its own mirror image lies within the tolerance.
    v.Near = std::abs(2.0 * p.X) < static_cast<double>(tolerance);
    v.Nearest = nearest[static_cast<std::size_t>(j)];
    const TMirrorFinder::TResult r = finder.Find(p, j, true);
    if (r.Matches == 0) continue;
    v.Paired = true;
    v.Extra = r.Matches - 1;
    const TBaseVertex& q = points[static_cast<std::size_t>(r.First)];
    v.PairDistance = std::sqrt((-p.X - q.X) * (-p.X - q.X) + (p.Y - q.Y) * (p.Y - q.Y) +
                               (p.Z - q.Z) * (p.Z - q.Z));
  }
  for (const TVertexSymmetry& v : each) Add(report.Total, v);
  mesh.Groups.ForEach([&](const TGroup& g) {
    TGroupSymmetry gs;
    gs.Group = g.Name;
    for (std::int32_t k = 0; k < g.Vertices.Count(); ++k) {
      const std::int32_t j = g.Vertices[k].VertexIndex;
      if (j < 0 || j >= n || (k > 0 && g.Vertices[k - 1].VertexIndex == j)) continue;
      Add(gs.Counts, each[static_cast<std::size_t>(j)]);
    }
    report.Groups.push_back(std::move(gs));
  });
  return report;
}

}  // namespace tarvel
