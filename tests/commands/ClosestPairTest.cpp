// The closest pair of the Info pass against the plain comparison of every pair.
#include "commands/ClosestPair.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace tarvel {
namespace {

float EveryPair(const std::vector<TInfoPoint>& points, float bound) {
  float best = bound;
  for (std::size_t i = 0; i < points.size(); ++i)
    for (std::size_t j = i + 1; j < points.size(); ++j)
      best = std::min(best, InfoDistance(points[i], points[j]));
  return best;
}

std::vector<TInfoPoint> Numbered(std::vector<TInfoPoint> points) {
  for (std::size_t i = 0; i < points.size(); ++i) points[i].Index = static_cast<std::int32_t>(i);
  return points;
}

TEST(ClosestPairTest, FindsWhatComparingEveryPairFinds) {
  std::mt19937 random(7);
  auto uniform = [&](float lo, float hi) {
    return std::uniform_real_distribution<float>(lo, hi)(random);
  };
  struct TCase {
    std::string Name;
    std::vector<TInfoPoint> Points;
    float Bound = 10000000.0f;
  };
  std::vector<TCase> cases;
  {
    TCase c{"random cloud", {}};
    for (int i = 0; i < 3000; ++i)
      c.Points.push_back({uniform(-1, 1), uniform(0, 2), uniform(-1, 1)});
    cases.push_back(c);
  }
  {
    // More than the radix sort's threshold, on a coarse grid: many equal cell keys.
    TCase c{"coarse cloud past the radix threshold", {}};
    for (int i = 0; i < 6000; ++i)
      c.Points.push_back({std::round(uniform(-50, 50)) * 0.01f, std::round(uniform(0, 50)) * 0.01f,
                          uniform(-1, 1)});
    cases.push_back(c);
  }
  {
    // A lattice: many pairs at exactly the smallest distance, on cell borders.
    TCase c{"lattice", {}};
    for (int x = 0; x < 14; ++x)
      for (int y = 0; y < 14; ++y)
        for (int z = 0; z < 14; ++z) c.Points.push_back({x * 0.1f, y * 0.1f - 0.7f, z * 0.1f});
    cases.push_back(c);
  }
  {
    TCase c{"a surface with one close pair", {}};
    for (int i = 0; i < 4000; ++i) {
      const float a = uniform(0, 6.2831f), h = uniform(0, 1);
      c.Points.push_back({0.2f * std::cos(a), h, 0.2f * std::sin(a)});
    }
    c.Points.push_back({c.Points[17].X + 1e-6f, c.Points[17].Y, c.Points[17].Z});
    cases.push_back(c);
  }
  {
    TCase c{"duplicates", {{1, 2, 3}, {4, 5, 6}, {1, 2, 3}}};
    cases.push_back(c);
  }
  {
    TCase c{"all at one point", {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}};
    cases.push_back(c);
  }
  {
    TCase c{"two", {{0, 0, 0}, {3, 4, 0}}};
    cases.push_back(c);
  }
  {
    TCase c{"nothing below the bound", {{0, 0, 0}, {3, 4, 0}, {-3, 4, 0}}, 2.0f};
    cases.push_back(c);
  }
  {
    // Far apart and close together at once: too many cells to number along the axes.
    TCase c{"spread out", {}};
    for (int i = 0; i < 500; ++i)
      c.Points.push_back({uniform(-1e6f, 1e6f), uniform(-1e6f, 1e6f), uniform(-1e6f, 1e6f)});
    c.Points.push_back({5, 5, 5});
    c.Points.push_back({5, 5, 5.0001f});
    cases.push_back(c);
  }
  {
    TCase c{"negative coordinates on the lower edge", {}};
    for (int i = 0; i < 2000; ++i) c.Points.push_back({-uniform(0, 1), -uniform(0, 1), -1});
    cases.push_back(c);
  }
  for (TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::vector<TInfoPoint> points = Numbered(c.Points);
    const float expected = EveryPair(points, c.Bound);
    EXPECT_EQ(SmallestDistance(points, c.Bound), expected);
  }
}

TEST(ClosestPairTest, FewerThanTwoPointsOrNoBoundGiveTheBound) {
  std::vector<TInfoPoint> none;
  EXPECT_EQ(SmallestDistance(none, 5.0f), 5.0f);
  std::vector<TInfoPoint> one = Numbered({{1, 2, 3}});
  EXPECT_EQ(SmallestDistance(one, 5.0f), 5.0f);
  std::vector<TInfoPoint> two = Numbered({{0, 0, 0}, {1, 0, 0}});
  EXPECT_EQ(SmallestDistance(two, 0.0f), 0.0f);
}

}  // namespace
}  // namespace tarvel
