#include "mesh/ObjData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjReader.h"

namespace tarvel {
namespace {

using test::TTempDir;

std::unique_ptr<TObjData> MeshOf(const std::string& text) {
  TTempDir dir;
  auto mesh = std::make_unique<TObjData>();
  LoadFromObj(*mesh, dir.Write("mesh.obj", text));
  return mesh;
}

// Two groups side by side; vertices 3 and 4 (indices 2 and 3) are on the seam and x = 0.
//   right: face 0 (m1)        left: face 1 (m1), face 2 (m2)
const char* const kTwoGroups =
    "v -1 0 0\nv -1 1 0\nv 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 2 0 0\n"
    "g right\nusemtl m1\nf 1 3 4 2\n"
    "g left\nf 3 5 6 4\nusemtl m2\nf 5 7 6\n";

std::vector<bool> SelectedFaces(const TObjData& m) {
  std::vector<bool> out;
  for (const TObjFace& f : m.Faces) out.push_back(f.Selected);
  return out;
}
std::vector<bool> ShownFaces(const TObjData& m) {
  std::vector<bool> out;
  for (const TObjFace& f : m.Faces) out.push_back(f.Shown);
  return out;
}
std::vector<bool> SelectedVertices(const TObjData& m) {
  std::vector<bool> out;
  for (const TObjVertex& v : m.Vertices) out.push_back(v.Selected);
  return out;
}
std::vector<bool> ShownVertices(const TObjData& m) {
  std::vector<bool> out;
  for (const TObjVertex& v : m.Vertices) out.push_back(v.Shown);
  return out;
}

TGroupMatInfo& Entry(TGroup& g, std::int32_t i) {
  return *static_cast<TGroupMatInfo*>(g.GroupMats.At(i));
}

// The scene tree of one mesh.
class TRecordingSink : public ITreeNodeSink {
 public:
  explicit TRecordingSink(TObjData& mesh) { mesh.TreeNodes = this; }
  void SetNodeChecked(void* node, bool checked) override { Calls.emplace_back(node, checked); }
  bool IsNodeExpanded(void*) const override { return false; }
  void SetNodeExpanded(void*, bool) override {}
  std::vector<std::pair<void*, bool>> Calls;
};

// ---------------------------------------------------------------------------------------------
// Vertices, faces, points

TEST(ObjDataTest, FaceSelectsOnlyWhenEditable) {
  struct TCase {
    bool Group, Right, Left;
  };
  for (const TCase tc :
       {TCase{true, true, true}, TCase{false, true, true}, TCase{true, false, true},
        TCase{true, true, false}, TCase{false, false, false}}) {
    SCOPED_TRACE(std::to_string(tc.Group) + std::to_string(tc.Right) + std::to_string(tc.Left));
    const bool editable = tc.Group && tc.Right && tc.Left;
    TObjFace f;
    f.SetGroupUnlocked(tc.Group);
    f.SetRightUnlocked(tc.Right);
    f.SetLeftUnlocked(tc.Left);
    EXPECT_EQ(f.IsEditable(), editable);
    EXPECT_EQ(f.SetSelected(true), editable);
    EXPECT_EQ(f.Selected, editable);
    // Unlocking does not select the face again.
    f.SetGroupUnlocked(true);
    f.SetRightUnlocked(true);
    f.SetLeftUnlocked(true);
    EXPECT_EQ(f.Selected, editable);
    EXPECT_TRUE(f.SetSelected(false));
    EXPECT_FALSE(f.Selected);
  }
  // Locking a selected face deselects it, whichever padlock it is.
  for (int lock = 0; lock < 3; ++lock) {
    TObjFace f;
    ASSERT_TRUE(f.SetSelected(true));
    if (lock == 0) f.SetGroupUnlocked(false);
    if (lock == 1) f.SetRightUnlocked(false);
    if (lock == 2) f.SetLeftUnlocked(false);
    EXPECT_FALSE(f.Selected) << lock;
  }
}

TEST(ObjDataTest, CentreLineBoundsAreStrictAndNotSymmetric) {
  struct TCase {
    double X;
    bool OnLine;
  };
  for (const TCase tc :
       {TCase{0, true}, TCase{-0.0, true}, TCase{0.00000009, true}, TCase{0.0000001, false},
        TCase{-0.00000099, true}, TCase{-0.000001, false}, TCase{-0.0000005, true},
        TCase{0.0000005, false}, TCase{1, false}, TCase{-1, false}}) {
    TBaseVertex p;
    p.X = tc.X;
    p.Y = 5;
    EXPECT_EQ(IsOnCentreLine(p), tc.OnLine) << tc.X;
  }
}

TEST(ObjDataTest, MirrorAndDistance) {
  auto at = [](double x, double y, double z) {
    TBaseVertex p;
    p.X = x;
    p.Y = y;
    p.Z = z;
    return p;
  };
  struct TCase {
    TBaseVertex A, B;
    float Tolerance;
    bool Mirror;
  };
  const std::vector<TCase> cases = {
      {at(1, 2, 3), at(-1, 2, 3), 0.001f, true},
      {at(1, 2, 3), at(1, 2, 3), 0.001f, false},
      {at(0, 2, 3), at(0, 2, 3), 0.001f, true},
      {at(1, 2, 3), at(-1.5, 2, 3), 0.5f, false},  // strict
      {at(1, 2, 3), at(-1.25, 2, 3), 0.5f, true},
      {at(1, 2, 3), at(-1, 2.5, 3), 0.5f, false},
      {at(1, 2, 3), at(-1, 2, 2.5), 0.5f, false},
      {at(1, 2, 3), at(-1, 2.4, 2.6), 0.5f, true},
  };
  for (const TCase& tc : cases)
    EXPECT_EQ(IsMirrorOf(tc.A, tc.B, tc.Tolerance), tc.Mirror)
        << tc.B.X << " " << tc.B.Y << " " << tc.B.Z;
  EXPECT_FLOAT_EQ(Distance(at(1, 2, 3), at(4, 6, 3)), 5.0f);
  EXPECT_EQ(Distance(at(1, 2, 3), at(1, 2, 3)), 0.0f);
}

TEST(ObjDataTest, XLockedVertexKeepsItsX) {
  TObjVertex v;
  v.X = 1;
  v.SetX(2);
  EXPECT_EQ(v.X, 2.0);
  v.XLocked = true;
  v.SetX(3);
  EXPECT_EQ(v.X, 2.0);

  // Restoring a coordinate backup writes x through SetX, y and z directly.
  TObjVertex locked;
  locked.X = 5;
  locked.Y = 6;
  locked.Z = 7;
  TObjVertCoordBackup backup{&locked, {}};
  backup.Saved.X = 1;
  backup.Saved.Y = 2;
  backup.Saved.Z = 3;
  locked.XLocked = true;
  backup.Restore();
  EXPECT_EQ(locked.X, 5.0);
  EXPECT_EQ(locked.Y, 2.0);
  EXPECT_EQ(locked.Z, 3.0);
  locked.XLocked = false;
  backup.Restore();
  EXPECT_EQ(locked.X, 1.0);

  TBaseVertex point;
  TBaseVertCoordBackup pointBackup{&point, {}};
  pointBackup.Saved.X = -1;
  pointBackup.Saved.Y = -2;
  pointBackup.Saved.Z = -3;
  pointBackup.Restore();
  EXPECT_EQ(point.X, -1.0);
  EXPECT_EQ(point.Y, -2.0);
  EXPECT_EQ(point.Z, -3.0);
}

TEST(ObjDataTest, VertexColourFollowsSelectionAndSoftWeight) {
  const TColorVector selected{128 / 255.0f, 0, 128 / 255.0f, 1};
  const TColorVector plain{1, 0, 128 / 255.0f, 1};
  const TColorVector far{1, 157 / 255.0f, 1, 1};
  auto blend = [&](float w, float alpha = 0.25f) {
    // Weight 1 gives the selected colour, a weight near 0 the far one; alpha is kept.
    const float k = 1 - w;
    return TColorVector{(far.R - selected.R) * k + selected.R,
                        (far.G - selected.G) * k + selected.G,
                        (far.B - selected.B) * k + selected.B, alpha};
  };
  struct TCase {
    bool Selected;
    float Weight;
    TColorVector Expected;
  };
  const std::vector<TCase> cases = {
      {false, 0.0f, plain},       {false, -0.0f, plain},        {false, 1.0f, blend(1.0f)},
      {false, 0.5f, blend(0.5f)}, {false, -0.5f, blend(-0.5f)}, {false, 1e-30f, blend(1e-30f)},
      {true, 0.0f, selected},     {true, 0.5f, selected},       {true, -1.0f, selected},
  };
  for (const TCase& tc : cases) {
    // The blend keeps the alpha the vertex had: one kept apart (0.25) and the usual 1.
    for (const float alpha : {0.25f, 1.0f}) {
      SCOPED_TRACE(std::to_string(tc.Selected) + " " + std::to_string(tc.Weight) + " " +
                   std::to_string(alpha));
      TObjVertex v;
      TColorVector start;
      start.A = alpha;
      v.Colour = start;
      v.Selected = tc.Selected;
      v.SetSoftWeight(tc.Weight);
      EXPECT_EQ(v.SoftWeight, tc.Weight);
      TColorVector expected = tc.Expected;
      if (!tc.Selected && tc.Weight != 0) expected.A = alpha;
      const TColorVector got = v.Colour;
      EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
          << got.R << " " << got.G << " " << got.B << " " << got.A;
      // A copy through a stream keeps the colour's bits.
      TObjVertex back;
      TObjectStream out;
      v.Store(out);
      TObjectStream in(out.Bytes());
      back.Load(in);
      const TColorVector read = back.Colour;
      EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0);
    }
  }
  // Blending with a weight of 1 is the selected colour; near 0 the far colour.
  EXPECT_FLOAT_EQ(blend(1.0f).G, selected.G);
  EXPECT_NEAR(blend(1e-30f).G, far.G, 1e-6);
  // SetSelected updates the colour too.
  TObjVertex v;
  v.SetSelected(true);
  EXPECT_EQ(v.Colour, selected);
  v.SetSelected(false);
  EXPECT_EQ(v.Colour, plain);
}

TEST(ObjDataTest, SameTextIgnoresLetterCaseOnly) {
  struct TCase {
    const char* A;
    const char* B;
    bool Same;
  };
  for (const TCase tc :
       {TCase{"hip", "HIP", true}, TCase{"lForeArm", "LFOREarm", true}, TCase{"", "", true},
        TCase{"hip", "hips", false}, TCase{"hip", "hop", false}, TCase{"[", "{", false},
        TCase{"@", "`", false}, TCase{"a_1", "A_1", true}})
    EXPECT_EQ(SameText(tc.A, tc.B), tc.Same) << tc.A << " / " << tc.B;
}

// ---------------------------------------------------------------------------------------------
// Groups

TEST(ObjDataTest, GroupVertexListStaysSortedAndKeepsTheFirstEntry) {
  TObjData mesh;
  for (int i = 0; i < 6; ++i) {
    TObjVertex& v = mesh.Vertices.Add(TObjVertex{});
    v.Index = v.Id = i;
    v.X = i * 10;
  }
  TGroup g(&mesh);
  for (int i : {5, 1, 3, 0}) {
    TGroupVertex& e = g.AddVertex(mesh.Vertices[i]);
    EXPECT_EQ(e.VertexIndex, i);
    EXPECT_EQ(e.Shaped.X, i * 10.0);
  }
  mesh.Vertices[1].X = 99;
  TGroupVertex& again = g.AddVertex(mesh.Vertices[1]);
  EXPECT_EQ(again.Shaped.X, 10.0);  // the existing entry, not a new copy
  std::vector<std::int32_t> order;
  for (const TGroupVertex& e : g.Vertices) order.push_back(e.VertexIndex);
  EXPECT_EQ(order, (std::vector<std::int32_t>{0, 1, 3, 5}));
  EXPECT_EQ(g.Vertices.IndexOfVertex(3), 2);
  EXPECT_EQ(g.Vertices.IndexOfVertex(2), -1);
  EXPECT_EQ(g.Vertices.IndexOfVertex(6), -1);
}

TEST(ObjDataTest, EmptyGroupHasTheWideBoxAndCentreZero) {
  const double big = static_cast<double>(1e20f);
  EXPECT_EQ(big, 1.0000000200408773e20);
  TObjData mesh;
  TGroup withOwner(&mesh);
  TGroup withoutOwner(nullptr);
  for (TGroup* g : {&withOwner, &withoutOwner}) {
    g->Centre.X = 3;
    g->Refresh();
    EXPECT_EQ(g->BoxMin.X, big);
    EXPECT_EQ(g->BoxMin.Y, big);
    EXPECT_EQ(g->BoxMin.Z, big);
    EXPECT_EQ(g->BoxMax.X, -big);
    EXPECT_EQ(g->BoxMax.Y, -big);
    EXPECT_EQ(g->BoxMax.Z, -big);
    EXPECT_EQ(g->Centre.X, 0.0);
    EXPECT_EQ(g->Centre.Y, 0.0);
    EXPECT_EQ(g->Centre.Z, 0.0);
  }
}

TEST(ObjDataTest, GroupBoxUsesTheMeshVerticesNotTheShapedPositions) {
  auto m = MeshOf(kTwoGroups);
  TGroup& left = *m->Groups[2];
  for (TGroupVertex& e : left.Vertices) e.Shaped.X += 100;
  m->Vertices[6].X = 4;
  left.Refresh();
  EXPECT_EQ(left.BoxMin.X, 0.0);
  EXPECT_EQ(left.BoxMax.X, 4.0);
  EXPECT_EQ(left.Centre.X, 2.0);
  EXPECT_EQ(left.Centre.Y, 0.5);
}

TEST(ObjDataTest, LinkShapedPositionsLinksToTheLastGroupsEntry) {
  auto m = MeshOf(kTwoGroups + std::string("v 9 9 9\n"));
  TBaseVertex stale;
  m->Vertices[7].ShapedLink = &stale;  // used by no face
  m->LinkShapedPositions();
  TGroup& right = *m->Groups[1];
  TGroup& left = *m->Groups[2];
  // Seam vertices end at the later group's entry.
  EXPECT_EQ(m->Vertices[2].ShapedLink, &left.Vertices[left.Vertices.IndexOfVertex(2)].Shaped);
  EXPECT_EQ(m->Vertices[3].ShapedLink, &left.Vertices[left.Vertices.IndexOfVertex(3)].Shaped);
  EXPECT_EQ(m->Vertices[0].ShapedLink, &right.Vertices[right.Vertices.IndexOfVertex(0)].Shaped);
  EXPECT_EQ(m->Vertices[6].ShapedLink, &left.Vertices[left.Vertices.IndexOfVertex(6)].Shaped);
  EXPECT_EQ(m->Vertices[7].ShapedLink, nullptr);
}

TEST(ObjDataTest, SelectFacesRespectsTheGroupPadlock) {
  auto m = MeshOf(kTwoGroups);
  TGroup& right = *m->Groups[1];
  TGroup& left = *m->Groups[2];
  left.SelectFaces(true);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, true}));

  for (TObjVertex& v : m->Vertices) v.SetSoftWeight(0.5f);
  right.SetUnlocked(false);
  EXPECT_FALSE(right.Unlocked);
  EXPECT_FALSE(m->Faces[0].GroupUnlocked);
  EXPECT_TRUE(m->Faces[1].GroupUnlocked);
  // Locking deselects the group and clears its soft weights.
  EXPECT_EQ(m->Vertices[0].SoftWeight, 0.0f);
  EXPECT_EQ(m->Vertices[4].SoftWeight, 0.5f);

  for (TObjVertex& v : m->Vertices) v.SetSoftWeight(0.5f);
  right.SelectFaces(true);  // locked: nothing changes
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, true}));
  EXPECT_EQ(m->Vertices[0].SoftWeight, 0.5f);

  m->Faces[0].Selected = true;  // as if selected before the padlock
  right.SelectFaces(false);     // deselecting works on a locked group
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, true}));
  for (std::int32_t i : {0, 1, 2, 3}) EXPECT_EQ(m->Vertices[i].SoftWeight, 0.0f) << i;
  for (std::int32_t i : {4, 5, 6}) EXPECT_EQ(m->Vertices[i].SoftWeight, 0.5f) << i;

  right.SetUnlocked(true);
  EXPECT_TRUE(m->Faces[0].GroupUnlocked);
  EXPECT_FALSE(m->Faces[0].Selected);
  right.SelectFaces(true);
  EXPECT_TRUE(m->Faces[0].Selected);
}

TEST(ObjDataTest, SelectFacesOfMaterialAndOfEntry) {
  auto m = MeshOf(kTwoGroups);
  TMaterial& m2 = *m->Materials[2];
  m2.SelectFaces(true);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, false, true}));
  for (TObjVertex& v : m->Vertices) v.SetSoftWeight(0.5f);
  m2.SelectFaces(false);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, false, false}));
  // Vertices of face 2 (5, 7, 6) lose their weights.
  const std::vector<float> weights = {0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0};
  for (std::int32_t i = 0; i < 7; ++i)
    EXPECT_EQ(m->Vertices[i].SoftWeight, weights[static_cast<std::size_t>(i)]) << i;

  TGroup& left = *m->Groups[2];
  TGroupMatInfo& leftM1 = *left.EntryForMaterial(1);
  left.SelectFacesOfEntry(leftM1, true);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, false}));
  left.SelectFacesOfEntry(leftM1, false);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(m->Vertices[2].SoftWeight, 0.0f);
  EXPECT_EQ(m->Vertices[0].SoftWeight, 0.5f);
}

TEST(ObjDataTest, SetVisibleOfAGroupReachesEntriesFacesAndTreeNodes) {
  auto m = MeshOf(kTwoGroups);
  TRecordingSink sink(*m);
  TGroup& left = *m->Groups[2];
  int nodeA = 0, nodeB = 0;
  Entry(left, 0).TreeNode = &nodeA;
  Entry(left, 1).TreeNode = &nodeB;
  m->SetSide(0);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{true, true, true}));

  left.SetVisible(false);
  EXPECT_FALSE(left.Visible);
  EXPECT_FALSE(Entry(left, 0).Visible);
  EXPECT_FALSE(Entry(left, 1).Visible);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{true, false, false}));
  // Seam vertices stay shown through the right group's face.
  EXPECT_EQ(ShownVertices(*m), (std::vector<bool>{true, true, true, true, false, false, false}));
  EXPECT_EQ(sink.Calls, (std::vector<std::pair<void*, bool>>{{&nodeA, false}, {&nodeB, false}}));

  left.SetVisible(true);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(ShownVertices(*m), std::vector<bool>(7, true));
}

TEST(ObjDataTest, ApplyMaterialVisibility) {
  auto m = MeshOf(kTwoGroups);
  TRecordingSink sink(*m);
  int node = 0;
  TGroup& right = *m->Groups[1];
  TGroup& left = *m->Groups[2];
  left.EntryForMaterial(1)->TreeNode = &node;
  TMaterial& m1 = *m->Materials[1];
  m1.SetVisible(false);
  m->ApplyMaterialVisibility(m1);
  EXPECT_FALSE(right.EntryForMaterial(1)->Visible);
  EXPECT_FALSE(left.EntryForMaterial(1)->Visible);
  EXPECT_TRUE(left.EntryForMaterial(2)->Visible);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{false, false, true}));
  EXPECT_EQ(ShownVertices(*m), (std::vector<bool>{false, false, false, false, true, true, true}));
  EXPECT_EQ(sink.Calls, (std::vector<std::pair<void*, bool>>{{&node, false}}));

  m1.SetVisible(true);
  m->ApplyMaterialVisibility(m1);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{true, true, true}));
}

TEST(ObjDataTest, SetAllVisible) {
  auto m = MeshOf(kTwoGroups);
  TRecordingSink sink(*m);
  int groupNode = 0, materialNode = 0;
  m->Groups[1]->TreeNode = &groupNode;
  m->Materials[2]->TreeNode = &materialNode;
  m->SetAllVisible(false);
  EXPECT_FALSE(m->Visible);
  m->Groups.ForEach([](const TGroup& g) { EXPECT_FALSE(g.Visible) << g.Name; });
  m->Materials.ForEach([](const TMaterial& mat) { EXPECT_FALSE(mat.Visible) << mat.Name; });
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{false, false, false}));
  EXPECT_EQ(sink.Calls,
            (std::vector<std::pair<void*, bool>>{{&groupNode, false}, {&materialNode, false}}));
  m->SetAllVisible(true);
  EXPECT_EQ(ShownFaces(*m), (std::vector<bool>{true, true, true}));
}

TEST(ObjDataTest, SideViewsKeepFacesByTheirCornersX) {
  // Faces whose corners all lie at one x each, and two that span the figure.
  const std::vector<double> xs = {0.0000001, -0.000001, 0.00000011, -0.0000011, -1, 1};
  std::string text;
  for (double x : xs) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.8f", x);
    text += std::string("v ") + buf + " 0 0\nv " + buf + " 1 0\nv " + buf + " 0 1\n";
  }
  for (std::size_t i = 0; i < xs.size(); ++i) {
    const std::size_t b = 3 * i + 1;
    text +=
        "f " + std::to_string(b) + " " + std::to_string(b + 1) + " " + std::to_string(b + 2) + "\n";
  }
  text += "f 13 16 17\n";  // x = -1 and 1
  text += "f 1 4 5\n";     // x = 0.0000001 and -0.000001: on both sides
  auto m = MeshOf(text);
  ASSERT_EQ(m->Vertices[0].X, 0.0000001);
  ASSERT_EQ(m->Vertices[3].X, -0.000001);
  struct TCase {
    std::uint8_t Side;
    std::vector<bool> Shown;
  };
  const std::vector<TCase> cases = {
      {1, {true, true, false, true, true, false, false, true}},
      {2, {true, true, true, false, false, true, false, true}},
      {0, std::vector<bool>(8, true)},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE("side " + std::to_string(tc.Side));
    m->SetSide(tc.Side);
    EXPECT_EQ(m->Side, tc.Side);
    EXPECT_FALSE(m->Rebuilding);
    EXPECT_EQ(ShownFaces(*m), tc.Shown);
    // Vertex flags were brought up to date once at the end.
    for (std::size_t f = 0; f < 6; ++f)
      EXPECT_EQ(m->Vertices[static_cast<std::int32_t>(3 * f + 2)].Shown, tc.Shown[f]) << f;
  }
  // A face hidden by its material stays hidden in every side view.
  TMaterial& def = *m->Materials[0];
  def.SetVisible(false);
  m->ApplyMaterialVisibility(def);
  m->SetSide(1);
  EXPECT_EQ(ShownFaces(*m), std::vector<bool>(8, false));
}

TEST(ObjDataTest, UpdateVertexFlagsDerivesVerticesFromFaces) {
  auto m = MeshOf(kTwoGroups);
  m->Vertices[6].Selected = true;  // stale: no selected face uses it
  m->Faces[0].SetSelected(true);
  m->Faces[2].Shown = false;
  m->Faces[2].SetRightUnlocked(false);
  m->UpdateVertexFlags();
  // The seam vertices 2 and 3 are shared with the unselected face 1 and still selected.
  EXPECT_EQ(SelectedVertices(*m), (std::vector<bool>{true, true, true, true, false, false, false}));
  EXPECT_EQ(m->Vertices[2].Colour, SelectedVertexColour());
  EXPECT_EQ(m->Vertices[6].Colour, PlainVertexColour());
  EXPECT_EQ(ShownVertices(*m), (std::vector<bool>{true, true, true, true, true, true, false}));
  std::vector<bool> editable;
  for (const TObjVertex& v : m->Vertices) editable.push_back(v.Editable);
  EXPECT_EQ(editable, (std::vector<bool>{true, true, true, true, true, true, false}));

  // While rebuilding nothing changes.
  m->Faces[0].SetSelected(false);
  m->Rebuilding = true;
  m->UpdateVertexFlags();
  EXPECT_TRUE(m->Vertices[0].Selected);
  m->Rebuilding = false;
  m->UpdateVertexFlags();
  EXPECT_FALSE(m->Vertices[0].Selected);
}

TEST(ObjDataTest, SelectAllAndInvert) {
  auto m = MeshOf(kTwoGroups);
  m->Groups[1]->SetUnlocked(false);
  for (TObjVertex& v : m->Vertices) {
    v.SetSoftWeight(0.3f);
    v.SetSelected(true);
    v.Highlight = v.Anchor = true;
  }
  m->SelectAllFaces(true);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, true}));
  for (const TObjVertex& v : m->Vertices) {
    EXPECT_EQ(v.SoftWeight, 0.0f);
    EXPECT_FALSE(v.Selected);
    EXPECT_FALSE(v.Highlight);
    EXPECT_FALSE(v.Anchor);
    EXPECT_EQ(v.Colour, PlainVertexColour());
  }
  m->Faces[2].SetSelected(false);
  m->InvertFaceSelection();
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, false, true}));
  m->InvertFaceSelection();
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, true, false}));
  m->SelectAllFaces(false);
  EXPECT_EQ(SelectedFaces(*m), (std::vector<bool>{false, false, false}));
}

TEST(ObjDataTest, Tracking) {
  auto m = MeshOf(kTwoGroups);
  TGroup* left = m->Groups[2];
  m->BeginTracking(left);
  EXPECT_TRUE(m->TrackingActive);
  std::vector<bool> tracking;
  m->Groups.ForEach([&](const TGroup& g) { tracking.push_back(g.Tracking); });
  EXPECT_EQ(tracking, (std::vector<bool>{true, true, false}));
  m->BeginTracking(nullptr);
  m->Groups.ForEach([](const TGroup& g) { EXPECT_TRUE(g.Tracking) << g.Name; });
  m->EndTracking();
  EXPECT_FALSE(m->TrackingActive);
  m->Groups.ForEach([](const TGroup& g) { EXPECT_FALSE(g.Tracking) << g.Name; });
}

TEST(ObjDataTest, BackupSelectionCopiesTakingPartVerticesWithTheirStoredFields) {
  auto m = MeshOf(kTwoGroups);
  m->LinkShapedPositions();
  m->Faces[0].SetSelected(true);   // vertices 0..3
  m->Vertices[6].Selected = true;  // stale, cleared by the backup's flag update
  m->Vertices[4].SetSoftWeight(0.25f);
  m->Vertices[5].SetSoftWeight(-0.5f);  // does not take part
  TObjVertex& v1 = m->Vertices[1];
  v1.MirrorIndex = 5;
  v1.SideCode = 1;
  v1.XLocked = true;
  v1.Anchor = v1.Highlight = v1.Visited = true;
  m->Vertices[0].Id = 40;

  const auto copy = m->BackupSelection();
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->Mesh, m.get());
  ASSERT_EQ(copy->Copies.Count(), 5);
  const std::vector<std::int32_t> indices = {0, 1, 2, 3, 4};
  for (std::int32_t i = 0; i < 5; ++i) {
    const TObjVertex& c = copy->Copies[i];
    const TObjVertex& v = m->Vertices[indices[static_cast<std::size_t>(i)]];
    SCOPED_TRACE(i);
    EXPECT_EQ(c.Index, v.Index);
    EXPECT_EQ(c.Id, v.Id);
    EXPECT_EQ(c.X, v.X);
    EXPECT_EQ(c.Y, v.Y);
    EXPECT_EQ(c.Z, v.Z);
    EXPECT_EQ(c.Selected, v.Selected);
    EXPECT_EQ(c.SoftWeight, v.SoftWeight);
    EXPECT_EQ(c.Colour, v.Colour);
    EXPECT_EQ(c.MirrorIndex, v.MirrorIndex);
    EXPECT_EQ(c.SideCode, v.SideCode);
    EXPECT_EQ(c.Shown, v.Shown);
    // Working flags are not copied.
    EXPECT_FALSE(c.XLocked);
    EXPECT_FALSE(c.Anchor);
    EXPECT_FALSE(c.Highlight);
    EXPECT_FALSE(c.Visited);
    EXPECT_TRUE(c.Editable);
    EXPECT_EQ(c.ShapedLink, nullptr);
  }
  EXPECT_EQ(copy->Copies[0].Id, 40);
  EXPECT_EQ(copy->Copies[1].MirrorIndex, 5);
  EXPECT_EQ(copy->Copies[4].SoftWeight, 0.25f);
  EXPECT_FALSE(m->Vertices[6].Selected);

  m->SelectAllFaces(false);
  EXPECT_EQ(m->BackupSelection()->Copies.Count(), 0);
}

TEST(ObjDataTest, GroupsCentreIsTheCentreOfTheGroupCentres) {
  auto m = MeshOf(
      "v 0 0 0\nv 10 2 0\nv 5 0 4\nv 0 6 0\nv 2 6 0\nv 1 8 2\n"
      "g a\nf 1 2 3\ng b\nf 4 5 6\n");
  // Centres: a (5, 1, 2), b (1, 7, 1), and the empty default group (0, 0, 0).
  TPoint3f c = m->GroupsCentre();
  EXPECT_FLOAT_EQ(c.X, 2.5f);
  EXPECT_FLOAT_EQ(c.Y, 3.5f);
  EXPECT_FLOAT_EQ(c.Z, 1.0f);
  // Groups are refreshed first.
  m->Vertices[1].X = 20;
  c = m->GroupsCentre();
  EXPECT_FLOAT_EQ(c.X, 5.0f);
  EXPECT_EQ(m->Groups[1]->Centre.X, 10.0);
}

TEST(ObjDataTest, SelectionCentre) {
  auto m = MeshOf(
      "v 0 0 0\nv 10 2 0\nv 5 0 4\nv 0 6 0\nv 2 6 0\nv 1 8 2\n"
      "g a\nf 1 2 3\ng b\nf 4 5 6\n");
  bool found = true;
  TPoint3f c = m->SelectionCentre(found);
  EXPECT_FALSE(found);
  EXPECT_EQ(c, (TPoint3f{0, 0, 0}));

  m->Groups[2]->SelectFaces(true);
  m->UpdateVertexFlags();
  c = m->SelectionCentre(found);
  EXPECT_TRUE(found);
  EXPECT_EQ(c, (TPoint3f{1, 7, 1}));

  m->Vertices[0].SetSoftWeight(0.5f);   // takes part
  m->Vertices[1].SetSoftWeight(-0.5f);  // does not
  c = m->SelectionCentre(found);
  EXPECT_EQ(c, (TPoint3f{1, 4, 1}));

  // With links, the shaped positions count.
  m->LinkShapedPositions();
  TGroup& b = *m->Groups[2];
  b.Vertices[b.Vertices.IndexOfVertex(5)].Shaped.Y = 18;
  c = m->SelectionCentre(found);
  EXPECT_EQ(c, (TPoint3f{1, 9, 1}));
}

// ---------------------------------------------------------------------------------------------
// Ids and lookups

TEST(ObjDataTest, NewIdsSkipIdsInUse) {
  SeedRandomIds(42);
  const std::int32_t first = RandomId();
  const std::int32_t second = RandomId();
  ASSERT_NE(first, second);

  TGroup empty(nullptr);
  SeedRandomIds(42);
  EXPECT_EQ(empty.NewEntryId(), first);

  TGroup g(nullptr);
  auto entry = std::make_unique<TGroupMatInfo>();
  entry->Id = first;
  g.GroupMats.Add(std::move(entry));
  auto target = std::make_unique<TMorphTarget>(&g);
  target->Id = first;
  g.MorphTargets.Add(std::move(target));
  SeedRandomIds(42);
  EXPECT_EQ(g.NewEntryId(), second);
  SeedRandomIds(42);
  EXPECT_EQ(g.NewMorphTargetId(), second);

  for (int i = 0; i < 10000; ++i) {
    const std::int32_t id = RandomId();
    ASSERT_GE(id, 1);
    ASSERT_LE(id, 2147483637);
  }
}

TEST(ObjDataTest, LookupsByIdAndByNameIgnoringCase) {
  auto m = MeshOf(kTwoGroups);
  EXPECT_EQ(m->GroupById(-1), m->Groups[0]);
  EXPECT_EQ(m->GroupById(0), m->Groups[1]);
  EXPECT_EQ(m->GroupById(1), m->Groups[2]);
  EXPECT_EQ(m->GroupById(2), nullptr);
  EXPECT_EQ(m->GroupByName("LEFT"), m->Groups[2]);
  EXPECT_EQ(m->GroupByName("Default"), m->Groups[0]);
  EXPECT_EQ(m->GroupByName("lef"), nullptr);
  EXPECT_EQ(m->MaterialById(-1), m->Materials[0]);
  EXPECT_EQ(m->MaterialById(1), m->Materials[2]);
  EXPECT_EQ(m->MaterialById(5), nullptr);
  EXPECT_EQ(m->MaterialByName("M2"), m->Materials[2]);
  EXPECT_EQ(m->MaterialByName("m3"), nullptr);

  EXPECT_EQ(m->VertexById(3), &m->Vertices[3]);
  EXPECT_EQ(m->VertexById(7), nullptr);
  EXPECT_EQ(m->VertexById(-1), nullptr);
  m->Vertices[0].Id = 50;
  EXPECT_EQ(m->VertexById(50), &m->Vertices[0]);
  EXPECT_EQ(m->VertexById(0), nullptr);

  TGroup& left = *m->Groups[2];
  EXPECT_EQ(left.EntryByName("M1"), &Entry(left, 0));
  EXPECT_EQ(left.EntryByName("m2"), &Entry(left, 1));
  EXPECT_EQ(left.EntryById(Entry(left, 1).Id), &Entry(left, 1));
  EXPECT_EQ(left.EntryById(0), nullptr);
  EXPECT_EQ(left.EntryForMaterial(0), nullptr);
  // An entry without a material is called NoName.
  auto orphan = std::make_unique<TGroupMatInfo>();
  orphan->Group = &left;
  TGroupMatInfo* o = left.GroupMats.Add(std::move(orphan));
  EXPECT_EQ(o->Name(), "NoName");
  EXPECT_EQ(left.EntryByName("noname"), o);

  auto smile = std::make_unique<TMorphTarget>(&left);
  smile->Name = "Smile";
  smile->Id = 77;
  TMorphTarget* s = left.MorphTargets.Add(std::move(smile));
  EXPECT_EQ(left.MorphTargetByName("SMILE"), s);
  EXPECT_EQ(left.MorphTargetById(77), s);
  EXPECT_EQ(left.MorphTargetById(78), nullptr);
  EXPECT_EQ(left.MorphTargetByName("Frown"), nullptr);
}

TEST(ObjDataTest, AddEntryForMaterialReusesAndRecordsTheMaterialId) {
  auto m = MeshOf(kTwoGroups);
  TGroup& right = *m->Groups[1];
  ASSERT_EQ(right.GroupMats.Count(), 1);
  TGroupMatInfo* again = right.AddEntryForMaterial(1);
  EXPECT_EQ(again, &Entry(right, 0));
  EXPECT_EQ(right.GroupMats.Count(), 1);
  TGroupMatInfo* added = right.AddEntryForMaterial(2);
  EXPECT_EQ(right.GroupMats.Count(), 2);
  EXPECT_EQ(added->MaterialIndex, 2);
  EXPECT_EQ(added->MaterialId, m->Materials[2]->Id);
  EXPECT_EQ(added->Group, &right);
  EXPECT_NE(added->Id, Entry(right, 0).Id);
}

TEST(ObjDataTest, SetNameNotifies) {
  TGroup g(nullptr);
  std::vector<std::string> seen;
  g.OnNameChanged = [&](TGroup& changed) {
    EXPECT_EQ(&changed, &g);
    seen.push_back(changed.Name);
  };
  g.SetName("hip");
  g.SetName("chest");
  EXPECT_EQ(seen, (std::vector<std::string>{"hip", "chest"}));
}

}  // namespace
}  // namespace tarvel
