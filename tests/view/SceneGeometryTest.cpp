#include "view/SceneGeometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "stack/EditStateFixture.h"
#include "view/ViewFixture.h"

namespace tarvel::view {
namespace {

using test::AddMesh;
using test::kFigure;
using test::kHat;
using test::kLeft;
using test::kRight;
using test::TTempDir;

using TBytes = std::array<std::uint8_t, 4>;

TBytes Bytes(const TColorVector& c) {
  auto b = [](float v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
  return {b(c.R), b(c.G), b(c.B), b(c.A)};
}
TBytes Bytes(const TRgb8& c) { return {c.R, c.G, c.B, 255}; }
TBytes Bytes(const std::uint8_t c[4]) { return {c[0], c[1], c[2], c[3]}; }

// The polygons of an index range, as lists of vertices.
std::vector<std::vector<TDrawVertex>> Polygons(const TSceneGeometry& g, const TIndexRange& r) {
  std::vector<std::vector<TDrawVertex>> out(1);
  for (std::uint32_t i = r.First; i < r.First + r.Count; ++i) {
    if (g.Indices[i] == kRestartIndex)
      out.emplace_back();
    else
      out.back().push_back(g.Vertices[g.Indices[i]]);
  }
  out.pop_back();  // every polygon ends with a restart
  return out;
}

std::array<float, 3> Position(const TDrawVertex& v) {
  return {v.Position[0], v.Position[1], v.Position[2]};
}
std::array<int, 3> Normal(const TDrawVertex& v) { return {v.Normal[0], v.Normal[1], v.Normal[2]}; }

class SceneGeometryTest : public ::testing::Test {
 protected:
  SceneGeometryTest() { AddMesh(state_, dir_, kFigure); }
  TObjData& Mesh() { return *state_.Mesh(0); }
  TGroup& Group(int i) { return *Mesh().Groups[i]; }
  const TGroupDraw& Draw(int group) { return geometry_.Groups[static_cast<std::size_t>(group)]; }
  void Build(bool points = false, TStackCommand* overlay = nullptr) {
    geometry_.Build(state_, overlay, points);
  }

  TTempDir dir_;
  TMultiObjData state_;
  TSceneGeometry geometry_;
};

TEST_F(SceneGeometryTest, EveryColourModeColoursTheCorners) {
  // Face 1 (left, skin) is selected, which makes vertices 2 3 4 5 selected.
  Mesh().Faces[1].SetSelected(true);
  Mesh().UpdateVertexFlags();
  for (const int v : {2, 3, 4, 5}) Mesh().Vertices[v].SetSelected(true);
  const TBytes grey = Bytes(kUnselectedFace);
  const TBytes orange = Bytes(kSelectedFace);
  auto group = [&](int g) { return Bytes(Group(g).ColorVector); };
  auto material = [&](const char* m) { return Bytes(Mesh().MaterialByName(m)->ColorVector); };
  const TBytes purple = Bytes(SelectedVertexColour());
  const TBytes plain = Bytes(PlainVertexColour());
  struct TCase {
    std::uint8_t Mode;
    // Per face in drawing order (right, left skin, left cloth, hat): the first corner's colour.
    std::array<TBytes, 4> First;
  };
  const TCase cases[] = {
      {1, {group(kRight), group(kLeft), group(kLeft), group(kHat)}},
      {2, {material("skin"), material("skin"), material("cloth"), material("cloth")}},
      {3, {grey, orange, grey, grey}},
      // Corners of vertices 0, 2, 4 and 8.
      {0, {plain, purple, purple, plain}},
  };
  for (const TCase& c : cases) {
    state_.SetColourMode(c.Mode);
    Build();
    std::vector<std::vector<TDrawVertex>> faces;
    for (const int g : {kRight, kLeft, kHat})
      for (auto& p : Polygons(geometry_, Draw(g).Outlines)) faces.push_back(p);
    ASSERT_EQ(faces.size(), 4u);
    for (std::size_t f = 0; f < faces.size(); ++f)
      EXPECT_EQ(Bytes(faces[f][0].Colour), c.First[f]) << int{c.Mode} << " face " << f;
  }
}

TEST_F(SceneGeometryTest, ColourModeThreeWithNothingSelectedIsAllGrey) {
  state_.SetColourMode(3);
  Build();
  ASSERT_FALSE(geometry_.Vertices.empty());
  std::size_t corners = 0;
  for (const int g : {kRight, kLeft, kHat})
    for (const auto& p : Polygons(geometry_, Draw(g).Outlines))
      for (const TDrawVertex& v : p) {
        EXPECT_EQ(Bytes(v.Colour), (TBytes{180, 180, 180, 255}));
        ++corners;
      }
  EXPECT_EQ(corners, 4u + 4 + 4 + 3);
}

TEST_F(SceneGeometryTest, HiddenFacesAreLeftOutAndTheirGroupHasNoBox) {
  state_.SetSide(1);  // the right side: x <= 0
  Build();
  EXPECT_EQ(Polygons(geometry_, Draw(kRight).Outlines).size(), 1u);
  EXPECT_EQ(Draw(kLeft).Faces.Count, 0u);
  EXPECT_EQ(Draw(kHat).Faces.Count, 0u);
  EXPECT_EQ(Polygons(geometry_, Draw(kRight).Box).size(), 6u);
  EXPECT_EQ(Draw(kLeft).Box.Count, 0u);
  // The empty default group draws nothing.
  EXPECT_EQ(Draw(0).Faces.Count + Draw(0).Box.Count, 0u);
}

TEST_F(SceneGeometryTest, CornersSitAtTheShapedPositionsOfTheirGroup) {
  // Vertex 2 is shared by right and left; only the right group's shaped copy moves.
  TGroup& right = Group(kRight);
  const std::int32_t entry = right.Vertices.IndexOfVertex(2);
  right.Vertices[entry].Shaped.Y = -0.5;
  Build();
  const auto rightFace = Polygons(geometry_, Draw(kRight).Outlines)[0];
  const auto leftFace = Polygons(geometry_, Draw(kLeft).Outlines)[0];
  EXPECT_EQ(Position(rightFace[1]), (std::array<float, 3>{0, -0.5f, 0}));  // corners 0 2 3 1
  EXPECT_EQ(Position(leftFace[0]), (std::array<float, 3>{0, 0, 0}));       // corners 2 4 5 3
}

TEST_F(SceneGeometryTest, NormalsFollowTheShapedSurface) {
  TTempDir dir;
  TMultiObjData state;
  // A roof: two faces meeting at the ridge y = 1 at 45 degrees; and a wall in z = 0 whose
  // normal line says otherwise.
  AddMesh(state, dir,
          "v 0 0 1\nv 1 0 1\nv 1 1 0\nv 0 1 0\nv 1 0 -1\nv 0 0 -1\n"
          "v 5 0 0\nv 6 0 0\nv 6 1 0\nvn 1 0 0\n"
          "g roof\nf 1 2 3 4\nf 4 3 5 6\ng wall\nf 7//1 8//1 9//1\n");
  TObjData& mesh = *state.Mesh(0);
  TSceneGeometry g;
  auto faces = [&](const char* name) {
    const auto i = static_cast<std::size_t>(mesh.Groups.IndexOf(mesh.GroupByName(name)));
    return Polygons(g, g.Groups[i].Outlines);
  };
  g.Build(state, nullptr, false);
  const auto roof = faces("roof");
  ASSERT_EQ(roof.size(), 2u);
  const int k = static_cast<int>(std::lround(32767 / std::sqrt(2.0)));
  // Eaves keep their face's slope; the ridge is shared and points straight up.
  EXPECT_EQ(Normal(roof[0][0]), (std::array<int, 3>{0, k, k}));
  EXPECT_EQ(Normal(roof[0][2]), (std::array<int, 3>{0, 32767, 0}));
  EXPECT_EQ(Normal(roof[1][3]), (std::array<int, 3>{0, k, -k}));
  const auto wallBefore = faces("wall");
  for (const TDrawVertex& v : wallBefore[0])
    EXPECT_EQ(Normal(v), (std::array<int, 3>{0, 0, 32767}));

  // Tipping the wall's top corner forward turns the wall to face down.
  TGroup& wall = *mesh.GroupByName("wall");
  TBaseVertex& top = wall.Vertices[wall.Vertices.IndexOfVertex(8)].Shaped;
  top.Y = 0;
  top.Z = 1;
  g.Build(state, nullptr, false);
  const auto wallAfter = faces("wall");
  for (const TDrawVertex& v : wallAfter[0])
    EXPECT_EQ(Normal(v), (std::array<int, 3>{0, -32767, 0}));
}

TEST_F(SceneGeometryTest, FilledFacesAreFansOfTheirOutlines) {
  Build();
  for (const int g : {kRight, kLeft, kHat}) {
    // Rebuild the fans from the outlines and compare.
    std::vector<std::uint32_t> fans;
    const TIndexRange& outlines = Draw(g).Outlines;
    std::vector<std::uint32_t> polygon;
    for (std::uint32_t i = outlines.First; i < outlines.First + outlines.Count; ++i) {
      if (geometry_.Indices[i] != kRestartIndex) {
        polygon.push_back(geometry_.Indices[i]);
        continue;
      }
      for (std::size_t k = 1; k + 1 < polygon.size(); ++k)
        fans.insert(fans.end(), {polygon[0], polygon[k], polygon[k + 1]});
      polygon.clear();
    }
    const TIndexRange& faces = Draw(g).Faces;
    const std::vector<std::uint32_t> triangles(
        geometry_.Indices.begin() + faces.First,
        geometry_.Indices.begin() + faces.First + faces.Count);
    EXPECT_EQ(triangles, fans) << g;
    EXPECT_EQ(triangles.size(), g == kHat ? 3u : g == kLeft ? 12u : 6u);
  }
}

TEST_F(SceneGeometryTest, BoxSpansTheGroupInItsColour) {
  Build();
  const auto box = Polygons(geometry_, Draw(kLeft).Box);
  ASSERT_EQ(box.size(), 6u);
  std::array<float, 3> lo{1e9f, 1e9f, 1e9f}, hi{-1e9f, -1e9f, -1e9f};
  for (const auto& quad : box) {
    ASSERT_EQ(quad.size(), 4u);
    for (const TDrawVertex& v : quad) {
      EXPECT_EQ(Bytes(v.Colour), Bytes(Group(kLeft).ColorVector));
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], v.Position[a]);
        hi[a] = std::max(hi[a], v.Position[a]);
      }
    }
  }
  const TGroup& left = Group(kLeft);
  EXPECT_EQ(
      lo, (std::array<float, 3>{float(left.BoxMin.X), float(left.BoxMin.Y), float(left.BoxMin.Z)}));
  EXPECT_EQ(
      hi, (std::array<float, 3>{float(left.BoxMax.X), float(left.BoxMax.Y), float(left.BoxMax.Z)}));
}

TEST_F(SceneGeometryTest, VertexPointsOfShownEditableVerticesWithMarkerColours) {
  // Locking the right group leaves vertices 0 and 1 without an editable face.
  Group(kRight).SetUnlocked(false);
  Mesh().UpdateVertexFlags();
  Mesh().Vertices[4].Highlight = true;
  Mesh().Vertices[5].Anchor = true;
  Mesh().Vertices[6].Highlight = Mesh().Vertices[6].Anchor = true;
  TGroup& hat = Group(kHat);
  Mesh().Vertices[8].ShapedLink = &hat.Vertices[hat.Vertices.IndexOfVertex(8)].Shaped;
  hat.Vertices[hat.Vertices.IndexOfVertex(8)].Shaped.Y = 7;

  Build(false);
  EXPECT_TRUE(geometry_.Points.empty());
  Build(true);
  ASSERT_EQ(geometry_.Points.size(), 9u);  // vertices 2 .. 10
  for (std::uint32_t id = 1; id <= 9; ++id)
    EXPECT_EQ(geometry_.PointVertex(id), (TMeshPos{0, static_cast<std::int32_t>(id + 1)}));
  EXPECT_EQ(geometry_.PointVertex(0), TMeshPos{});
  EXPECT_EQ(geometry_.PointVertex(10), TMeshPos{});
  auto colour = [&](int vertex) {
    return Bytes(geometry_.Points[static_cast<std::size_t>(vertex - 2)].Colour);
  };
  EXPECT_EQ(colour(4), Bytes(kHighlightVertex));
  EXPECT_EQ(colour(5), Bytes(kAnchorVertex));
  EXPECT_EQ(colour(6), Bytes(kHighlightVertex));
  EXPECT_EQ(colour(7), Bytes(Mesh().Vertices[7].Colour));
  EXPECT_EQ(geometry_.Points[6].Centre[1], 7.0f);  // vertex 8 at its shaped position

  // While the camera moves the points are left out.
  state_.BeginTracking(nullptr);
  Build(true);
  EXPECT_TRUE(geometry_.Points.empty());
  EXPECT_TRUE(geometry_.BuiltWhileTracking);
}

TEST_F(SceneGeometryTest, GroupIdsAndOverlayLines) {
  test::TPickRecorder overlay(nullptr);
  overlay.Marker = TPoint3{1, 2, 3};
  Build(false, &overlay);
  EXPECT_EQ(geometry_.GroupOf(kHat + 1), (TMeshPos{0, kHat}));
  EXPECT_EQ(geometry_.GroupOf(0), TMeshPos{});
  EXPECT_EQ(geometry_.GroupOf(99), TMeshPos{});
  ASSERT_EQ(geometry_.LineBatches.size(), 1u);
  EXPECT_EQ(geometry_.LineBatches[0].Style.StipplePattern, 0xCCCC);
  ASSERT_EQ(geometry_.Lines.size(), 12u);
  for (const TLineVertex& v : geometry_.Lines) {
    EXPECT_EQ(v.Start[0], 1.0f);
    EXPECT_EQ(v.Start[1], 2.0f);
    EXPECT_EQ(v.Start[2], 3.0f);
  }
  EXPECT_EQ(geometry_.Lines[3].Position[0], 1.2f);  // the bright +X arm
  EXPECT_EQ(geometry_.Lines[3].Colour[0], 1.0f);
}

TEST_F(SceneGeometryTest, StyleFollowsDisplayAndTrackingModes) {
  struct TCase {
    std::uint8_t Display, Tracking;
    bool Moving;
    TGroupStyle Style;
  };
  for (const TCase& c :
       {TCase{1, 1, false, TGroupStyle::Faces}, TCase{0, 1, false, TGroupStyle::Wire},
        TCase{1, 1, true, TGroupStyle::Box}, TCase{0, 2, true, TGroupStyle::Wire},
        TCase{1, 2, true, TGroupStyle::Wire}, TCase{1, 0, true, TGroupStyle::Faces},
        TCase{0, 0, true, TGroupStyle::Wire}}) {
    state_.SetDisplayMode(c.Display);
    state_.SetTrackingMode(c.Tracking);
    if (c.Moving)
      state_.BeginTracking(&Group(kHat));
    else
      state_.EndTracking();
    EXPECT_EQ(StyleOf(Mesh(), Group(kLeft)), c.Style) << int{c.Display} << int{c.Tracking};
    // The group the move excepts keeps its normal drawing.
    EXPECT_EQ(StyleOf(Mesh(), Group(kHat)), c.Display ? TGroupStyle::Faces : TGroupStyle::Wire);
  }
}

// The entries of Vertices that a group's triangles use.
std::size_t EntriesOf(const TSceneGeometry& g, const TGroupDraw& draw) {
  std::vector<std::uint32_t> used(g.Indices.begin() + draw.Faces.First,
                                  g.Indices.begin() + draw.Faces.First + draw.Faces.Count);
  std::sort(used.begin(), used.end());
  return static_cast<std::size_t>(std::unique(used.begin(), used.end()) - used.begin());
}

TEST_F(SceneGeometryTest, CornersOfAGroupShareAnEntryUnlessTheirColoursDiffer) {
  // The left group's two faces meet at vertices 4 and 5, of six; the first face is skin, the
  // second cloth.
  struct TCase {
    std::uint8_t Mode;
    bool SelectCloth;
    std::size_t LeftEntries;
  };
  const TCase cases[] = {{1, false, 6}, {2, false, 8}, {3, false, 6}, {3, true, 8}};
  for (const TCase& c : cases) {
    Mesh().Faces[2].SetSelected(c.SelectCloth);
    state_.SetColourMode(c.Mode);
    Build();
    EXPECT_EQ(EntriesOf(geometry_, Draw(kLeft)), c.LeftEntries) << int{c.Mode};
    // Groups share no entries: the right group's corners at vertices 2 and 3 are its own.
    EXPECT_EQ(EntriesOf(geometry_, Draw(kRight)), 4u);
  }
}

TEST_F(SceneGeometryTest, WeightColoursFollowEachCornersVertexWithOrWithoutOutlines) {
  for (std::int32_t i = 0; i < Mesh().Vertices.Count(); ++i)
    Mesh().Vertices[i].SoftWeight = static_cast<float>(i) / 10;
  Mesh().Vertices[5].SetSelected(true);  // counts as weight 1
  state_.SetColourMode(2);               // vertices 4 and 5 get an entry per material
  Build();
  geometry_.BuildWeightColours(state_);
  ASSERT_EQ(geometry_.WeightColours.size(), geometry_.Vertices.size() * 4);
  std::size_t corners = 0;
  for (const int g : {kRight, kLeft, kHat}) {
    // The outlines list the corners face by face, as the group lists its faces.
    std::size_t at = Draw(g).Outlines.First;
    for (const std::int32_t fi : Group(g).Faces) {
      for (const TFaceVert& c : Mesh().Faces.Corners(Mesh().Faces[fi])) {
        const std::uint32_t index = geometry_.Indices[at++];
        const TObjVertex& vertex = Mesh().CornerVertex(c);
        std::uint8_t expected[4];
        WeightColour(geometry_.Vertices[index].Colour, vertex.Selected ? 1.0f : vertex.SoftWeight,
                     expected);
        EXPECT_EQ(Bytes(&geometry_.WeightColours[index * 4]), Bytes(expected))
            << "group " << g << " vertex " << c.VertexIndex;
        ++corners;
      }
      ++at;  // the restart
    }
    // A box keeps its colour.
    const std::uint32_t boxCorner = geometry_.Indices[Draw(g).Box.First];
    EXPECT_EQ(Bytes(&geometry_.WeightColours[boxCorner * 4]),
              Bytes(geometry_.Vertices[boxCorner].Colour));
  }
  EXPECT_EQ(corners, 15u);

  // Without outlines: the same entries, triangles and weight colours, and no outlines.
  TSceneGeometry lean;
  lean.Build(state_, nullptr, false, false);
  lean.BuildWeightColours(state_);
  EXPECT_EQ(lean.WeightColours, geometry_.WeightColours);
  ASSERT_EQ(lean.Vertices.size(), geometry_.Vertices.size());
  EXPECT_EQ(std::memcmp(lean.Vertices.data(), geometry_.Vertices.data(),
                        lean.Vertices.size() * sizeof(TDrawVertex)),
            0);
  for (const int g : {kRight, kLeft, kHat}) {
    const TGroupDraw& a = lean.Groups[static_cast<std::size_t>(g)];
    const TGroupDraw& b = Draw(g);
    EXPECT_EQ(a.Outlines.Count, 0u);
    EXPECT_TRUE(std::equal(lean.Indices.begin() + a.Faces.First,
                           lean.Indices.begin() + a.Faces.First + a.Faces.Count,
                           geometry_.Indices.begin() + b.Faces.First,
                           geometry_.Indices.begin() + b.Faces.First + b.Faces.Count));
  }
}

TEST(PickIdTest, IdsSurviveTheColourBufferAndTheNearestWins) {
  for (const std::uint32_t id : {0u, 1u, 255u, 256u, 70000u, 16777216u, 0xFFFFFFFEu}) {
    std::uint8_t bytes[4];
    EncodeId(id, bytes);
    EXPECT_EQ(DecodeId(bytes), id);
  }
  struct TCase {
    std::vector<std::uint32_t> Ids;
    std::vector<float> Depths;
    std::uint32_t Nearest;
  };
  const TCase cases[] = {
      {{0, 0, 0}, {1, 1, 1}, 0},
      {{0, 7, 0}, {1, 0.5f, 1}, 7},
      {{3, 7, 9}, {0.6f, 0.5f, 0.7f}, 7},
      {{3, 0, 9}, {0.6f, 0.1f, 0.2f}, 9},  // an empty pixel's depth does not count
  };
  for (const TCase& c : cases) EXPECT_EQ(NearestId(c.Ids, c.Depths), c.Nearest);
}

}  // namespace
}  // namespace tarvel::view
