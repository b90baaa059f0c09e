#include "stack/MultiObjData.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/EditStateFixture.h"

namespace tarvel {
namespace {

using test::AddMesh;
using test::FaceSelection;
using test::kCloth;
using test::kFigure;
using test::kHat;
using test::kLeft;
using test::kRight;
using test::kSkin;
using test::SoftWeights;
using test::StoredBytes;
using test::TTempDir;
using test::VertexSelection;

TEST(MultiObjDataTest, EmptyStateHasNothingAndCentresAtOrigin) {
  TMultiObjData state;
  EXPECT_EQ(state.MeshCount(), 0);
  EXPECT_EQ(state.GroupCount(), 0);
  EXPECT_EQ(state.VertexCount(), 0);
  EXPECT_EQ(state.SceneCentre(), (TPoint3f{0, 0, 0}));
  EXPECT_EQ(state.SelectionCentre(), (TPoint3f{0, 0, 0}));
  // With no mesh to collide with, the first draw is taken.
  SeedRandomIds(1234);
  const std::int32_t first = RandomId();
  SeedRandomIds(1234);
  EXPECT_EQ(state.NewMeshId(), first);
}

TEST(MultiObjDataTest, AddObjFileHandsOverOptionsAndFreshIds) {
  TTempDir dir;
  TMultiObjData state;
  state.SetTrackingMode(2);
  state.SetColourMode(3);
  state.SetDisplayMode(0);
  TObjData& a = AddMesh(state, dir, kFigure, "a");
  TObjData& b = AddMesh(state, dir, kFigure, "b");
  EXPECT_EQ(state.MeshCount(), 2);
  EXPECT_EQ(state.GroupCount(), 8);
  EXPECT_EQ(state.VertexCount(), 22);
  for (const TObjData* m : {&a, &b}) {
    EXPECT_EQ(m->TrackingMode, 2);
    EXPECT_EQ(m->ColourMode, 3);
    EXPECT_EQ(m->DisplayMode, 0);
    EXPECT_GE(m->Id, 1);
    EXPECT_LE(m->Id, 2147483637);
  }
  EXPECT_NE(a.Id, b.Id);
  EXPECT_EQ(state.MeshById(b.Id), &b);
  EXPECT_EQ(state.MeshByName("A"), &a);
  EXPECT_EQ(state.MeshByName("c"), nullptr);
}

TEST(MultiObjDataTest, AddObjFileIgnoresMissingFile) {
  TTempDir dir;
  TMultiObjData state;
  AddMesh(state, dir, kFigure);
  EXPECT_EQ(state.AddObjFile((dir.Path() / "missing.obj").string()), nullptr);
  EXPECT_EQ(state.MeshCount(), 1);
}

TEST(MultiObjDataTest, AddObjFileOnBrokenFileRaisesAndChangesNothing) {
  TTempDir dir;
  TMultiObjData state;
  AddMesh(state, dir, kFigure);
  const std::vector<std::uint8_t> before = StoredBytes(state);
  for (const char* text : {"v 1 2 x\nf 1 1 1\n", "v 0 0 0\nv 1 0 0\nf 1 2 9\n"}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(state.AddObjFile(dir.Write("broken.obj", text)), EObjRead);
    EXPECT_EQ(state.MeshCount(), 1);
    EXPECT_EQ(StoredBytes(state), before);
  }
}

TEST(MultiObjDataTest, LockedFacesAreNeverSelected) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);
  m.Groups[kLeft]->SetUnlocked(false);  // faces 1 and 2
  m.Faces[3].SetRightUnlocked(false);   // the hat
  state.SelectAllFaces(true);
  EXPECT_EQ(FaceSelection(m), (std::vector<bool>{true, false, false, false}));
  state.InvertFaceSelection();
  EXPECT_EQ(FaceSelection(m), (std::vector<bool>{false, false, false, false}));
  state.InvertFaceSelection();
  EXPECT_EQ(FaceSelection(m), (std::vector<bool>{true, false, false, false}));
  state.SelectAllFaces(false);
  state.InvertFaceSelection();
  EXPECT_EQ(FaceSelection(m), (std::vector<bool>{true, false, false, false}));
}

TEST(MultiObjDataTest, SharedVertexIsSelectedByEitherFace) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);
  m.Groups[kRight]->SelectFaces(true);
  state.UpdateVertexFlags();
  // Vertices 2 and 3 belong to the selected right face and the unselected left one.
  EXPECT_EQ(VertexSelection(m), (std::vector<bool>{true, true, true, true, false, false, false,
                                                   false, false, false, false}));
}

TEST(MultiObjDataTest, UpdateVertexFlagsDerivesShownAndEditable) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);
  m.Groups[kRight]->SetUnlocked(false);
  m.Faces[3].Shown = false;
  state.UpdateVertexFlags();
  std::vector<bool> editable, shown;
  for (const TObjVertex& v : m.Vertices) {
    editable.push_back(v.Editable);
    shown.push_back(v.Shown);
  }
  // Vertices 2 and 3 stay editable through the left face.
  EXPECT_EQ(editable, (std::vector<bool>{false, false, true, true, true, true, true, true, true,
                                         true, true}));
  EXPECT_EQ(shown, (std::vector<bool>{true, true, true, true, true, true, true, true, false, false,
                                      false}));
}

TEST(MultiObjDataTest, SelectAllFacesClearsSoftWeightsAndMarkers) {
  for (const bool selected : {false, true}) {
    SCOPED_TRACE(selected);
    TTempDir dir;
    TMultiObjData state;
    TObjData& m = AddMesh(state, dir, kFigure);
    for (TObjVertex& v : m.Vertices) {
      v.SetSoftWeight(0.5f);
      v.Highlight = v.Anchor = true;
    }
    state.SelectAllFaces(selected);
    EXPECT_EQ(SoftWeights(m), std::vector<float>(11, 0.0f));
    for (const TObjVertex& v : m.Vertices) {
      EXPECT_FALSE(v.Highlight);
      EXPECT_FALSE(v.Anchor);
    }
    EXPECT_EQ(FaceSelection(m), std::vector<bool>(4, selected));
  }
}

TEST(MultiObjDataTest, InvertKeepsSoftWeights) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);
  m.Vertices[8].SetSoftWeight(0.25f);
  state.InvertFaceSelection();
  EXPECT_EQ(m.Vertices[8].SoftWeight, 0.25f);
  EXPECT_EQ(FaceSelection(m), std::vector<bool>(4, true));
}

TEST(MultiObjDataTest, SideIsKeptForMeshesAddedLaterAndForCopies) {
  TTempDir dir;
  TMultiObjData state;
  state.SetSide(1);
  TObjData& m = AddMesh(state, dir, kFigure);
  EXPECT_EQ(m.Side, 1);
  // Right side only: the face at x -1..0 stays, everything at x > 0 is hidden.
  std::vector<bool> shown;
  for (const TObjFace& f : m.Faces) shown.push_back(f.Shown);
  EXPECT_EQ(shown, (std::vector<bool>{true, false, false, false}));
  // A project saved now keeps the side, and the faces it hides.
  auto copy = CopyEditState(state);
  EXPECT_EQ(copy->Side, 1);
  std::vector<bool> copyShown;
  for (const TObjFace& f : copy->Mesh(0)->Faces) copyShown.push_back(f.Shown);
  EXPECT_EQ(copyShown, shown);
}

TEST(MultiObjDataTest, SideDecidesWhichFacesAreShown) {
  struct TCase {
    std::uint8_t Side;
    const char* ThirdX;
    bool Shown;
  };
  const TCase cases[] = {
      {0, "5", true},           {1, "0", true},          {1, "0.001", false},
      {1, "0.0000001", true},   {1, "0.0000002", false}, {1, "-3", true},
      {2, "0", true},           {2, "-0.001", false},    {2, "-0.0000005", true},
      {2, "-0.0000011", false}, {2, "3", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Side) + " " + c.ThirdX);
    TTempDir dir;
    TMultiObjData state;
    const std::string text =
        std::string("v 0 0 0\nv 0 1 0\nv ") + c.ThirdX + " 0 1\ng g\nf 1 2 3\n";
    TObjData& m = AddMesh(state, dir, text);
    state.SetSide(c.Side);
    EXPECT_EQ(state.Side, c.Side);
    EXPECT_EQ(m.Faces[0].Shown, c.Shown);
    // Vertex visibility follows the face at once.
    EXPECT_EQ(m.Vertices[0].Shown, c.Shown);
  }
}

TEST(MultiObjDataTest, LookupsReturnNoneOutOfRange) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& a = AddMesh(state, dir, kFigure, "a");
  TObjData& b = AddMesh(state, dir, kFigure, "b");

  struct TCase {
    int Mesh, Index;
    bool Found;
  };
  for (const TCase c : {TCase{-1, 1, false}, TCase{0, -1, false}, TCase{2, 1, false},
                        TCase{0, 4, false}, TCase{0, 0, true}, TCase{1, 3, true}}) {
    SCOPED_TRACE(std::to_string(c.Mesh) + "," + std::to_string(c.Index));
    EXPECT_EQ(state.GroupAt(c.Mesh, c.Index) != nullptr, c.Found);
    EXPECT_EQ(state.MaterialAt(c.Mesh, c.Index) != nullptr, c.Found && c.Index < 3);
  }
  EXPECT_EQ(state.GroupAt(1, kHat), b.Groups[kHat]);
  EXPECT_EQ(state.MaterialAt(1, kCloth), b.Materials[kCloth]);

  struct TEntryCase {
    int Mesh, Group, Entry;
    bool Found;
  };
  for (const TEntryCase c : {TEntryCase{1, kLeft, 1, true}, TEntryCase{1, kLeft, 2, false},
                             TEntryCase{1, kLeft, -1, false}, TEntryCase{1, 0, 0, false},
                             TEntryCase{2, kLeft, 0, false}, TEntryCase{-1, kLeft, 0, false}}) {
    SCOPED_TRACE(std::to_string(c.Mesh) + "," + std::to_string(c.Group) + "," +
                 std::to_string(c.Entry));
    EXPECT_EQ(state.GroupMatAt(c.Mesh, c.Group, c.Entry) != nullptr, c.Found);
  }
  TGroupMatInfo* cloth = b.Groups[kLeft]->GroupMats[1];
  EXPECT_EQ(state.GroupMatAt(1, kLeft, 1), cloth);
  EXPECT_EQ(state.GroupMatIndexOf(cloth), (TEntryPos{1, kLeft, 1}));
  EXPECT_EQ(state.GroupIndexOf(b.Groups[kHat]), (TMeshPos{1, kHat}));
  EXPECT_EQ(state.MaterialIndexOf(a.Materials[kSkin]), (TMeshPos{0, kSkin}));

  EXPECT_EQ(state.VertexIndexOf(&b.Vertices[7]), (TMeshPos{1, 7}));
  EXPECT_EQ(state.VertexIndexOf(&a.Vertices[0]), (TMeshPos{0, 0}));
  const TObjVertex stranger;
  EXPECT_EQ(state.VertexIndexOf(&stranger), (TMeshPos{-1, -1}));
  EXPECT_EQ(state.VertexAt(1, 10), &b.Vertices[10]);
  EXPECT_EQ(state.VertexAt(1, 11), nullptr);
  EXPECT_EQ(state.VertexAt(-1, 0), nullptr);

  TGroup outsider(nullptr);
  EXPECT_EQ(state.GroupIndexOf(&outsider), (TMeshPos{-1, -1}));
  EXPECT_EQ(state.MeshOf(&outsider), nullptr);
  EXPECT_EQ(state.MeshOf(b.Groups[kRight]), &b);
}

TEST(MultiObjDataTest, SelectionCentreIsTheBoxOfMeshCentres) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& a = AddMesh(state, dir, kFigure, "a");
  TObjData& b = AddMesh(state, dir, kFigure, "b");
  // a: vertices 0..3 at x -1..0, centre x -0.5. b: vertices 4..7 at x 1..2, centre x 1.5,
  // and a softly selected vertex 10 at (4, 0, 1) widens b's box to x 1..4, z 0..1.
  a.Groups[kRight]->SelectFaces(true);
  a.UpdateVertexFlags();
  b.Faces[2].SetSelected(true);
  b.UpdateVertexFlags();
  EXPECT_EQ(state.SelectionCentre(), (TPoint3f{0.5f, 0.5f, 0.0f}));
  b.Vertices[10].SetSoftWeight(0.1f);
  // b's centre is now (2.5, 0.5, 0.5); the box of (-0.5, 0.5, 0) and it has centre (1, 0.5, 0.25).
  EXPECT_EQ(state.SelectionCentre(), (TPoint3f{1.0f, 0.5f, 0.25f}));
}

TEST(MultiObjDataTest, SceneCentreIsTheBoxOfMeshCentres) {
  TTempDir dir;
  TMultiObjData state;
  // One group each, so each mesh's centre is its group's box centre.
  AddMesh(state, dir, "v 2 0 0\nv 4 0 0\nv 4 1 2\nf 1 2 3\n", "a");
  AddMesh(state, dir, "v -2 0 0\nv 0 0 0\nv 0 3 0\nf 1 2 3\n", "b");
  // Centres (3, 0.5, 1) and (-1, 1.5, 0).
  EXPECT_EQ(state.SceneCentre(), (TPoint3f{1.0f, 1.0f, 0.5f}));
}

TEST(MultiObjDataTest, ViewStateRoundTrip) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);
  auto snapshot = state.SaveViewState();
  ASSERT_EQ(snapshot->Count(), 1);
  EXPECT_EQ((*snapshot)[0]->Id, m.Id);
  EXPECT_EQ((*snapshot)[0]->Vertices.Count(), 11);
  EXPECT_EQ((*snapshot)[0]->Faces.Count(), 4);
  EXPECT_EQ((*snapshot)[0]->Groups.Count(), 4);
  EXPECT_EQ((*snapshot)[0]->Materials.Count(), 3);

  const std::vector<std::uint8_t> before = StoredBytes(state);
  m.Visible = false;
  m.Vertices[4].Shown = false;
  m.Faces[2].Shown = false;
  m.Groups[kLeft]->Visible = false;
  m.Groups[kLeft]->SetColor(RGBValue(1, 2, 3));
  m.Groups[kLeft]->GroupMats[1]->Visible = false;
  m.Materials[kCloth]->Visible = false;
  m.Materials[kCloth]->SetColor(RGBValue(9, 8, 7));
  ASSERT_NE(StoredBytes(state), before);
  state.RestoreViewState(*snapshot);
  EXPECT_EQ(StoredBytes(state), before);
}

TEST(MultiObjDataTest, RestoreSkipsMissingMeshesAndKeepsObjectsWithoutEntries) {
  TTempDir dir;
  TMultiObjData state;
  TObjData& m = AddMesh(state, dir, kFigure);

  TTypedCollection<TInfoObjData> snapshot;
  // A snapshot of a mesh that is gone: nothing happens.
  auto gone = std::make_unique<TInfoObjData>();
  gone->Id = m.Id + 1;
  gone->Visible = false;
  TInfoGroup hidden;
  hidden.Id = m.Groups[kLeft]->Id;
  hidden.Visible = false;
  gone->Groups.Insert(hidden);
  snapshot.Add(std::move(gone));
  // A snapshot of m naming the right group only.
  auto partial = std::make_unique<TInfoObjData>();
  partial->Id = m.Id;
  TInfoGroup right;
  right.Id = m.Groups[kRight]->Id;
  right.Visible = false;
  right.ColorValue = RGBValue(0, 0, 255);
  right.ColorVector = ColorVectorOf(right.ColorValue);
  partial->Groups.Insert(right);
  snapshot.Add(std::move(partial));

  m.Faces[1].Shown = false;
  m.Vertices[9].Shown = false;
  const std::int32_t leftColour = m.Groups[kLeft]->ColorValue;
  state.RestoreViewState(snapshot);
  EXPECT_TRUE(m.Visible);
  EXPECT_FALSE(m.Groups[kRight]->Visible);
  EXPECT_EQ(m.Groups[kRight]->ColorValue, RGBValue(0, 0, 255));
  EXPECT_EQ(m.Groups[kRight]->ColorVector, ColorVectorOf(RGBValue(0, 0, 255)));
  EXPECT_TRUE(m.Groups[kLeft]->Visible);
  EXPECT_EQ(m.Groups[kLeft]->ColorValue, leftColour);
  EXPECT_FALSE(m.Faces[1].Shown);
  EXPECT_TRUE(m.Faces[0].Shown);
  EXPECT_FALSE(m.Vertices[9].Shown);
}

TEST(MultiObjDataTest, CopyStoresTheSameBytesAgain) {
  TTempDir dir;
  TMultiObjData state;
  state.Name = "C:\\work\\project.vnx";
  AddMesh(state, dir, kFigure, "a");
  TObjData& b = AddMesh(state, dir, kFigure, "b");
  state.SetSide(2);
  state.SetColourMode(3);
  b.Groups[kLeft]->SelectFaces(true);
  b.UpdateVertexFlags();
  b.Vertices[9].SetSoftWeight(0.75f);
  const std::vector<std::uint8_t> original = StoredBytes(state);
  TObjectStream reused;
  auto copy = CopyEditState(state, &reused);
  EXPECT_EQ(StoredBytes(*copy), original);
  EXPECT_EQ(copy->Name, state.Name);
  // The reused stream makes an equal second copy.
  auto again = CopyEditState(*copy, &reused);
  EXPECT_EQ(StoredBytes(*again), original);
  // Vertex selection and soft weights travel; face selection does not.
  EXPECT_TRUE(again->Mesh(1)->Vertices[5].Selected);
  EXPECT_EQ(again->Mesh(1)->Vertices[9].SoftWeight, 0.75f);
  EXPECT_FALSE(again->Mesh(1)->Faces[1].Selected);
}

// A copy made over a replaced state writes into the replaced meshes' arrays and is the same
// copy, whatever the replaced state held; with fewer or more meshes the rest is fresh memory.
TEST(MultiObjDataTest, CopyOverReusesTheReplacedArraysAndStoresTheSameBytes) {
  TTempDir dir;
  TMultiObjData state;
  AddMesh(state, dir, kFigure, "a");
  TObjData& b = AddMesh(state, dir, kFigure, "b");
  b.Vertices[9].SetSoftWeight(0.75f);
  b.Groups[kLeft]->SelectFaces(true);
  b.UpdateVertexFlags();
  const std::vector<std::uint8_t> expected = StoredBytes(*CopyEditState(state));
  for (const std::int32_t replacedMeshes : {2, 1, 0, 3}) {
    SCOPED_TRACE(replacedMeshes);
    TMultiObjData source;
    for (std::int32_t i = 0; i < replacedMeshes; ++i) AddMesh(source, dir, kFigure, "r");
    auto replaced = CopyEditState(source);
    // The replaced state has been worked on.
    replaced->SelectAllFaces(true);
    if (replacedMeshes > 0) replaced->Mesh(0)->Vertices[2].X = 42;
    const void* vertices =
        replacedMeshes > 0 ? replaced->Mesh(0)->Vertices.Items().data() : nullptr;
    const void* corners =
        replacedMeshes > 0 ? replaced->Mesh(0)->Faces.AllCorners().data() : nullptr;
    const void* groupVertices = replacedMeshes > 0
                                    ? replaced->Mesh(0)->Groups[kLeft]->Vertices.List.Items().data()
                                    : nullptr;
    TObjectStream reused;
    auto copy = CopyEditStateOver(state, std::move(replaced), &reused);
    EXPECT_EQ(StoredBytes(*copy), expected);
    if (replacedMeshes > 0) {
      EXPECT_EQ(copy->Mesh(0)->Vertices.Items().data(), vertices);
      EXPECT_EQ(copy->Mesh(0)->Faces.AllCorners().data(), corners);
      EXPECT_EQ(copy->Mesh(0)->Groups[kLeft]->Vertices.List.Items().data(), groupVertices);
    }
    EXPECT_EQ(copy->Mesh(1)->Vertices[9].SoftWeight, 0.75f);
    EXPECT_FALSE(copy->Mesh(1)->Faces[1].Selected);
  }
}

}  // namespace
}  // namespace tarvel

namespace tarvel {
namespace {

// Records what the edit state asks the viewport to draw, in order.
class TRecordingRenderer : public IMeshRenderer {
 public:
  explicit TRecordingRenderer(bool points) : points_(points) {}
  void DrawMesh(const TObjData& mesh) override { calls.push_back("mesh " + mesh.Name); }
  void DrawVertexPoints(const TObjData& mesh) override { calls.push_back("points " + mesh.Name); }
  bool VertexPointsShown() const override { return points_; }
  std::vector<std::string> calls;

 private:
  bool points_;
};

TEST(MultiObjDataTest, RenderDrawsMeshesThenPointsUnlessTracking) {
  TTempDir dir;
  TMultiObjData state;
  test::AddMesh(state, dir, test::kFigure, "a");
  test::AddMesh(state, dir, test::kFigure, "b");
  struct TCase {
    bool points;
    bool tracking;
    std::vector<std::string> expected;
  };
  const TCase cases[] = {
      {false, false, {"mesh a", "mesh b"}},
      {true, false, {"mesh a", "mesh b", "points a", "points b"}},
      {true, true, {"mesh a", "mesh b"}},
  };
  for (const TCase& c : cases) {
    if (c.tracking)
      state.BeginTracking(nullptr);
    else
      state.EndTracking();
    TRecordingRenderer renderer(c.points);
    state.Render(renderer);
    EXPECT_EQ(renderer.calls, c.expected) << "points " << c.points << " tracking " << c.tracking;
  }
}

}  // namespace
}  // namespace tarvel
