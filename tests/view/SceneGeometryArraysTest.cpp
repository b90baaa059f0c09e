// The draw arrays are sized once from the counts of the edit state and filled in place: builds
// after the first one reuse their storage, and reused arrays hold what fresh ones would.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "stack/EditStateFixture.h"
#include "view/SceneGeometry.h"

namespace tarvel::view {
namespace {

using test::AddMesh;
using test::kFigure;
using test::kLeft;
using test::TTempDir;

template <class T>
bool SameBytes(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

TEST(SceneGeometryArraysTest, BuildsReuseTheirArraysAndMatchFreshOnes) {
  TTempDir dir;
  TMultiObjData state;
  AddMesh(state, dir, kFigure, "a");
  AddMesh(state, dir, kFigure, "b");
  TSceneGeometry reused;
  reused.Build(state, nullptr, true);
  const TDrawVertex* vertices = reused.Vertices.data();
  const std::uint32_t* indices = reused.Indices.data();
  const TPointInstance* points = reused.Points.data();
  // Less to draw, then everything again, in several display settings.
  struct TStep {
    const char* Name;
    bool Points;
    std::uint8_t DisplayMode;
    bool LeftVisible;
  };
  const TStep steps[] = {{"left group hidden", true, 1, false},
                         {"wireframe, no points", false, 0, true},
                         {"everything", true, 1, true}};
  for (const TStep& step : steps) {
    SCOPED_TRACE(step.Name);
    state.SetDisplayMode(step.DisplayMode);
    state.Mesh(1)->Groups[kLeft]->SetVisible(step.LeftVisible);
    reused.Build(state, nullptr, step.Points);
    TSceneGeometry fresh;
    fresh.Build(state, nullptr, step.Points);
    EXPECT_TRUE(SameBytes(reused.Vertices, fresh.Vertices));
    EXPECT_EQ(reused.Indices, fresh.Indices);
    EXPECT_TRUE(SameBytes(reused.Points, fresh.Points));
    EXPECT_EQ(reused.Groups.size(), fresh.Groups.size());
    EXPECT_EQ(reused.Vertices.data(), vertices);
    EXPECT_EQ(reused.Indices.data(), indices);
    if (step.Points) {
      EXPECT_EQ(reused.Points.data(), points);
    }
  }
}

}  // namespace
}  // namespace tarvel::view
