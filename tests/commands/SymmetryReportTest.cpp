#include "commands/SymmetryReport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>

#include "TestSupport.h"
#include "mesh/ObjReader.h"

namespace tarvel {
namespace {

// Ten vertices: an exact pair, a vertex on the centre line with a near-centre vertex beside it,
// a doubled vertex whose mirror partner therefore matches twice, a pair 0.001 apart from
// symmetric, and a second centre-line vertex.
const char* const kFigure =
    "v 1 0 0\nv -1 0 0\nv 0 5.00001 0\nv 0.00002 5 0\nv 3 0 0\nv 3 0 0\nv -3 0 0\n"
    "v 2 1 0\nv -2.001 1 0\nv 0 7 0\n"
    "g a\nf 1 2 3\nf 4 5 6\nf 7 3 1\n"
    "g b\nf 8 9 10\n";

std::unique_ptr<TObjData> LoadFigure(const test::TTempDir& dir) {
  auto mesh = std::make_unique<TObjData>();
  LoadFromObj(*mesh, dir.Write("figure.obj", kFigure));
  return mesh;
}

const TSymmetryCounts* GroupCounts(const TSymmetryReport& r, const std::string& name) {
  for (const TGroupSymmetry& g : r.Groups)
    if (g.Group == name) return &g.Counts;
  return nullptr;
}

TEST(SymmetryReportTest, CountsPerGroupAndInTotalFollowTheMirrorTest) {
  test::TTempDir dir;
  const std::unique_ptr<TObjData> loaded = LoadFigure(dir);
  const TObjData& mesh = *loaded;
  // The distance of the 0.001 pair as the coordinates hold it.
  const double gap = std::abs(-mesh.Vertices[7].X - mesh.Vertices[8].X);
  const double nearPair = std::hypot(mesh.Vertices[3].X, mesh.Vertices[3].Y - mesh.Vertices[2].Y);

  struct TCase {
    float Tolerance;
    std::int32_t Near, Out, Cross;
    double Largest;
  };
  const TCase cases[] = {
      // The near-centre vertex pairs with the centre vertex beside it; the 0.001 pair misses.
      {0.0001f, 1, 2, 1, nearPair},
      // A wider tolerance pairs the 0.001 pair too, and that is now the largest pair distance.
      {0.01f, 1, 0, 1, gap},
      // Nothing pairs at tolerance 0: every vertex off the centre line is out of symmetry.
      {0.0f, 0, 8, 0, 0.0},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Tolerance);
    const TSymmetryReport r = AnalyseSymmetry(mesh, tc.Tolerance);
    EXPECT_EQ(r.Total.Vertices, 10);
    EXPECT_EQ(r.Total.OnCentreLine, 2);
    EXPECT_EQ(r.Total.NearCentreLine, tc.Near);
    EXPECT_EQ(r.Total.OutOfSymmetry, tc.Out);
    EXPECT_EQ(r.Total.CrossLinked, tc.Cross);
    EXPECT_NEAR(r.Total.LargestPairDistance, tc.Largest, 1e-12);
    // Whatever the tolerance, every vertex would pair above the 0.001 gap.
    EXPECT_NEAR(r.Total.ToleranceForAll, gap, 1e-12);
  }

  const TSymmetryReport r = AnalyseSymmetry(mesh, 0.0001f);
  const TSymmetryCounts* a = GroupCounts(r, "a");
  const TSymmetryCounts* b = GroupCounts(r, "b");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Vertices, 7);
  EXPECT_EQ(a->OnCentreLine, 1);
  EXPECT_EQ(a->OutOfSymmetry, 0);
  EXPECT_EQ(a->CrossLinked, 1);
  EXPECT_NEAR(a->ToleranceForAll, std::abs(mesh.Vertices[3].X), 1e-12);
  EXPECT_EQ(b->Vertices, 3);
  EXPECT_EQ(b->OnCentreLine, 1);
  EXPECT_EQ(b->OutOfSymmetry, 2);
  EXPECT_EQ(b->LargestPairDistance, 0.0);
}

TEST(SymmetryReportTest, AVertexWithNothingToPairWithNeedsAnInfiniteTolerance) {
  test::TTempDir dir;
  TObjData mesh;
  LoadFromObj(mesh, dir.Write("one.obj", "v 1 2 3\nv 0 0 0\nv 0 1 0\nf 1 2 3\n"));
  const TSymmetryReport r = AnalyseSymmetry(mesh, 0.1f);
  EXPECT_EQ(r.Total.OutOfSymmetry, 1);
  // Its mirror image is nearest to (0, 1, 0): 1 off in x, 1 in y, 3 in z.
  EXPECT_DOUBLE_EQ(r.Total.ToleranceForAll, 3.0);

  std::vector<TBaseVertex> lone(1);
  lone[0].X = 1;
  EXPECT_TRUE(std::isinf(NearestMirrorDistances(lone)[0]));
}

TEST(SymmetryReportTest, NearestMirrorDistancesMatchAPlainScan) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-1, 1);
  for (int round = 0; round < 4; ++round) {
    std::vector<TBaseVertex> points(round == 0 ? 2 : 300 * round);
    for (TBaseVertex& p : points) p.X = coord(rng), p.Y = coord(rng), p.Z = coord(rng);
    // Some exact mirror images, duplicates and points on one plane, and one undefined point.
    for (std::size_t i = 0; i + 1 < points.size(); i += 7) {
      points[i + 1] = points[i];
      if (i % 2) points[i + 1].X = -points[i].X;
      if (i % 3) points[i].Z = 0.25;
    }
    if (points.size() > 5) points[5].Y = std::numeric_limits<double>::quiet_NaN();

    const std::vector<double> got = NearestMirrorDistances(points);
    for (std::size_t i = 0; i < points.size(); ++i) {
      const TBaseVertex& p = points[i];
      double best = std::numeric_limits<double>::infinity();
      if (std::isfinite(p.Y))
        for (std::size_t j = 0; j < points.size(); ++j) {
          const TBaseVertex& q = points[j];
          if (j == i || !std::isfinite(q.Y)) continue;
          best = std::min(
              best, std::max({std::abs(-p.X - q.X), std::abs(p.Y - q.Y), std::abs(p.Z - q.Z)}));
        }
      ASSERT_EQ(got[i], best) << "round " << round << " point " << i;
    }
  }
}

}  // namespace
}  // namespace tarvel
