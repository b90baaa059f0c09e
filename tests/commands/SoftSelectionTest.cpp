#include "commands/SoftSelection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/CommandFakes.h"
#include "commands/Transforms.h"
#include "stack/StackController.h"

namespace tarvel {
namespace {

using test::BaseHex;
using test::Hex;
using test::I32Hex;
using test::ReloadCommand;
using test::StoredBytes;
using test::StrHex;
using test::TCommandScene;
using test::TFakeCheckBox;
using test::TFakeCurvePreview;
using test::TFakeLabel;
using test::TFakeRadioButton;
using test::ToHex;

// Vertices (0-based): a row b0..b4 along x at 0, 0.0025, 0.005, 0.0075 and 0.01, joined by the
// triangles "tip" (b0 b1 t0) and "strip" (b1 b2 t1, b2 b3 t2, b3 b4 t3) whose apexes t0..t3
// lie 1 away; an "island" triangle i0 i1 i2 near b0 that shares nothing; an "edge" triangle
// whose first corner n lies just inside 0.01 of b0.
constexpr int b0 = 0, b1 = 1, b2 = 2, b3 = 3, b4 = 4, t0 = 5, i0 = 9, i1 = 10, n = 12;
const std::string kMesh = test::ObjText({{0, 0, 0},
                                         {0.0025, 0, 0},
                                         {0.005, 0, 0},
                                         {0.0075, 0, 0},
                                         {0.01, 0, 0},
                                         {0, 1, 0},
                                         {0.0025, 1, 0},
                                         {0.005, 1, 0},
                                         {0.0075, 1, 0},
                                         {0, 0, 0.003},
                                         {0.001, 0, 0.003},
                                         {0, 1, 0.003},
                                         {0.00999, 0, 0},
                                         {0.00999, 1, 0},
                                         {0.00999, 1, 1}},
                                        {{"tip", {1, 2, 6}},
                                         {"strip", {2, 3, 7}},
                                         {"strip", {3, 4, 8}},
                                         {"strip", {4, 5, 9}},
                                         {"island", {10, 11, 12}},
                                         {"edge", {13, 14, 15}}});
constexpr int kVertices = 15;

// The curve with the default values at the distances of the vertices above (radius 0.01).
constexpr float kAtB1 = 0.759375f, kAtB2 = 0.5f, kAtB3 = 0.240625f;
constexpr float kAtI0 = 0.7084f, kAtI1 = 0.6917196f, kAtN = 0.0009003f;

struct TScene : TCommandScene {
  TScene() : TCommandScene(kMesh) {}
  // Adds the command as the stack does: Prepare, SetObject without an object, its controls.
  template <class T>
  T& AddCommand() {
    T& c = Add<T>();
    c.Prepare();
    c.SetObject(std::monostate{});
    ShowControls(c);
    return c;
  }
  template <class T>
  std::vector<T*> All() const {
    std::vector<T*> out;
    for (const auto& c : panel.Controls())
      if (auto* t = dynamic_cast<T*>(c.get())) out.push_back(t);
    return out;
  }
  std::vector<float> Weights() { return test::SoftWeights(Mesh()); }
  void Lock(const std::string& group) {
    Group(group).SetUnlocked(false);
    Mesh().UpdateVertexFlags();
  }
};

// Weights expected after a soft selection from b0 with the default values, on top of `before`.
std::vector<float> Expected(const std::vector<float>& before,
                            std::initializer_list<std::pair<int, float>> weights) {
  std::vector<float> out = before;
  for (const auto& [v, w] : weights) out[static_cast<std::size_t>(v)] = w;
  return out;
}

void ExpectWeights(const std::vector<float>& actual, const std::vector<float>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i)
    EXPECT_NEAR(actual[i], expected[i], 2e-6) << "vertex " << i;
}

// ---------------------------------------------------------------------------------------------
// The curve

TEST(SoftSelectionCurve, BezierValueAtTheParameterLimitedToZeroOne) {
  constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
  struct TCase {
    float Start, Pinch, Bubble, T, Expected;
  };
  const TCase cases[] = {
      {1, 0.7f, 0.3f, 0, 1},       {1, 0.7f, 0.3f, 0.5f, 0.5f}, {1, 0.7f, 0.3f, 0.25f, kAtB1},
      {1, 0.7f, 0.3f, 1, 0},       {0.4f, 0, 0, 0, 0.4f},       {0, 1, 1, 0.5f, 0.75f},
      {3, 0.7f, 0.3f, 0, 1},        // above 1 is limited
      {1, -5, 0.3f, 0.5f, 0},       // below 0 is limited
      {kNaN, 0.7f, 0.3f, 0.5f, 0},  // not a number counts as 0
  };
  TMultiObjData live;
  TStackMng stack(*FindStackTarget(1), live);
  TSCSoftSelection c(&stack);
  for (const TCase& k : cases) {
    SCOPED_TRACE(testing::Message()
                 << k.Start << " " << k.Pinch << " " << k.Bubble << " t " << k.T);
    c.Start = k.Start, c.Pinch = k.Pinch, c.Bubble = k.Bubble;
    EXPECT_NEAR(c.CurveValue(k.T), k.Expected, 1e-6);
  }
}

TEST(SoftSelectionCurve, RadiusAndSquare) {
  TMultiObjData live;
  TStackMng stack(*FindStackTarget(1), live);
  TSCSoftSelection c(&stack);
  c.Fallout = 2;
  EXPECT_NEAR(c.WeightAt(1), 0.5f, 1e-6);
  EXPECT_EQ(c.WeightAt(2), 0);
  EXPECT_EQ(c.WeightAt(std::numeric_limits<float>::quiet_NaN()), 0);
  c.Square = true;
  EXPECT_EQ(c.WeightAt(0), 1);
  EXPECT_EQ(c.WeightAt(1.999f), 1);
  EXPECT_EQ(c.WeightAt(2), 0);
  c.Fallout = std::numeric_limits<float>::quiet_NaN();  // from a damaged file: touches nothing
  EXPECT_EQ(c.WeightAt(0), 0);
}

TEST(SoftSelectionCurve, PreviewPointsAndSquareStep) {
  TMultiObjData live;
  TStackMng stack(*FindStackTarget(1), live);
  TSCSoftSelection c(&stack);
  const std::vector<TPixelPoint> curve = c.CurvePoints(100, 60);
  ASSERT_EQ(curve.size(), 31u);
  EXPECT_EQ(curve.front(), (TPixelPoint{0, 0}));  // weight 1 at the top left
  EXPECT_NEAR(curve[15].X, 50, 1);
  EXPECT_NEAR(curve[15].Y, 30, 1);  // half way down at half the radius
  EXPECT_NEAR(curve.back().X, 100, 1);
  EXPECT_EQ(curve.back().Y, 60);
  for (std::size_t i = 1; i < curve.size(); ++i) {
    EXPECT_GT(curve[i].X, curve[i - 1].X);
    EXPECT_GE(curve[i].Y, curve[i - 1].Y);  // the default curve only falls
  }
  c.Square = true;
  EXPECT_EQ(c.CurvePoints(100, 60), (std::vector<TPixelPoint>{{0, 0}, {99, 0}, {99, 60}}));
}

// ---------------------------------------------------------------------------------------------
// Soft selection on the mesh

TEST(SoftSelectionTest, WeightsFallOffInVolumeAndAlongTheSurface) {
  struct TCase {
    bool Surface;
    std::initializer_list<std::pair<int, float>> Weights;
  };
  // b4 lies exactly at the radius and keeps its weight; the island is near but unconnected.
  const TCase cases[] = {
      {false,
       {{b0, 1}, {b1, kAtB1}, {b2, kAtB2}, {b3, kAtB3}, {i0, kAtI0}, {i1, kAtI1}, {n, kAtN}}},
      {true, {{b0, 1}, {b1, kAtB1}, {b2, kAtB2}, {b3, kAtB3}}},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Surface ? "surface" : "volume");
    TScene s;
    auto& c = s.AddCommand<TSCSoftSelection>();
    c.Surface = k.Surface;
    const std::vector<float> before = s.Weights();
    ASSERT_TRUE(c.PickVertex(s.V(b0)));
    ExpectWeights(s.Weights(), Expected(before, k.Weights));
    EXPECT_FALSE(c.Failed);
    // Every vertex it wrote is recorded once.
    EXPECT_EQ(c.Backups->size(), k.Weights.size());
  }
}

TEST(SoftSelectionTest, SquareGivesOneInsideTheRadiusAndToTheStartVertex) {
  for (const bool surface : {false, true}) {
    SCOPED_TRACE(surface ? "surface" : "volume");
    TScene s;
    auto& c = s.AddCommand<TSCSoftSelection>();
    c.Surface = surface;
    c.Square = true;
    c.Start = 0.3f;  // not used while square
    ASSERT_TRUE(c.PickVertex(s.V(b0)));
    for (const int v : {b0, b1, b2, b3}) EXPECT_EQ(s.V(v).SoftWeight, 1) << v;
    EXPECT_EQ(s.V(b4).SoftWeight, 0);
    EXPECT_EQ(s.V(t0).SoftWeight, 0);
    EXPECT_EQ(s.V(i0).SoftWeight, surface ? 0 : 1);
  }
}

TEST(SoftSelectionTest, WeightsNeverLowerAnEarlierWeightExceptAtTheStartVertex) {
  TScene s;
  s.V(b3).SetSoftWeight(0.8f);  // the curve gives it 0.24
  s.V(b1).SetSoftWeight(0.2f);  // the curve gives it 0.76
  s.V(b0).SetSoftWeight(0.9f);  // the start vertex takes Start, whatever it had
  auto& c = s.AddCommand<TSCSoftSelection>();
  c.Start = 0.6f;
  ASSERT_TRUE(c.PickVertex(s.V(b0)));
  EXPECT_EQ(s.V(b3).SoftWeight, 0.8f);
  EXPECT_NEAR(s.V(b1).SoftWeight, 0.6f * 0.421875f + 0.2953125f + 0.0421875f, 1e-6);
  EXPECT_EQ(s.V(b0).SoftWeight, 0.6f);
}

TEST(SoftSelectionTest, PickingAnotherVertexFirstRestoresEveryWeightAndMovesTheMarks) {
  TScene s;
  test::SetAllSoftWeights(s.Mesh(), 0);
  s.V(b2).SetSoftWeight(0.9f);
  s.V(i0).SetSoftWeight(0.1f);
  const std::vector<float> before = s.Weights();
  auto& c = s.AddCommand<TSCSoftSelection>();
  ASSERT_TRUE(c.PickVertex(s.V(b0)));
  ASSERT_NEAR(s.V(i0).SoftWeight, kAtI0, 1e-6);
  EXPECT_TRUE(s.V(b0).Anchor && s.V(b0).Highlight);

  EXPECT_FALSE(c.PickVertex(s.V(b0))) << "the same vertex again is not taken";
  // From b4 the row is reached the other way round; b0 and i0 are out of reach, i1 only just
  // within it, n right beside it.
  ASSERT_TRUE(c.PickVertex(s.V(b4)));
  ExpectWeights(
      s.Weights(),
      Expected(before,
               {{b4, 1}, {b3, kAtB1}, {b2, 0.9f}, {b1, kAtB3}, {i1, 0.0469480f}, {n, 0.9990997f}}));
  EXPECT_FALSE(s.V(b0).Anchor || s.V(b0).Highlight);
  EXPECT_TRUE(s.V(b4).Anchor && s.V(b4).Highlight);
  EXPECT_EQ(c.StartVertexId, b4);
  EXPECT_EQ(c.VertexIndex, b4);
  EXPECT_EQ(c.MeshId, s.Mesh().Id);
  EXPECT_EQ(c.Caption, "Soft selection V:<b>4</b>");
  EXPECT_EQ(s.All<TFakeLabel>().front()->Text, "Vertex: 4");
}

TEST(SoftSelectionTest, ParameterChangesReapplyFromTheRestoredWeights) {
  TScene s;
  auto& c = s.AddCommand<TSCSoftSelection>();
  ASSERT_TRUE(c.PickVertex(s.V(b0)));
  const std::vector<float> wide = s.Weights();
  s.panel.Edit(0).Type(0.005);  // Fallout: b2 now lies on the radius
  EXPECT_EQ(c.Fallout, 0.005f);
  EXPECT_EQ(s.V(b2).SoftWeight, 0);
  EXPECT_EQ(s.V(b3).SoftWeight, 0);
  EXPECT_NEAR(s.V(b1).SoftWeight, 0.5f, 1e-6);
  s.panel.Edit(0).Type(0.01);
  ExpectWeights(s.Weights(), wide);

  // An emptied field changes nothing until a number is entered.
  s.panel.Edit(0).Empty();
  EXPECT_EQ(c.Fallout, 0.01f);
  ExpectWeights(s.Weights(), wide);
  s.panel.Edit(1).Empty();
  EXPECT_EQ(c.Start, 1);
  s.panel.Edit(1).Type(0.5);
  EXPECT_EQ(s.V(b0).SoftWeight, 0.5f);
}

TEST(SoftSelectionTest, LockedFacesStopTheSurfaceButNotTheVolume) {
  // b0 belongs only to the locked "tip" triangle.
  for (const bool surface : {true, false}) {
    SCOPED_TRACE(surface ? "surface" : "volume");
    TScene s;
    s.Lock("tip");
    auto& c = s.AddCommand<TSCSoftSelection>();
    c.Surface = surface;
    const std::vector<float> before = s.Weights();
    ASSERT_TRUE(c.PickVertex(s.V(b0)));
    if (surface)
      ExpectWeights(s.Weights(), Expected(before, {{b0, 1}}));
    else
      ExpectWeights(s.Weights(), Expected(before, {{b0, 1},
                                                   {b1, kAtB1},
                                                   {b2, kAtB2},
                                                   {b3, kAtB3},
                                                   {i0, kAtI0},
                                                   {i1, kAtI1},
                                                   {n, kAtN}}));
  }
}

TEST(SoftSelectionTest, RadioButtonsAndSquareBoxSetTheirFields) {
  TScene s;
  auto& c = s.AddCommand<TSCSoftSelection>();
  ASSERT_TRUE(c.PickVertex(s.V(b0)));
  const auto radios = s.All<TFakeRadioButton>();
  ASSERT_EQ(radios.size(), 2u);
  // A click on "surface": both buttons report, the one that lost its check too.
  radios[0]->SetChecked(true);
  radios[1]->SetChecked(false);
  radios[1]->Changed();
  radios[0]->Changed();
  EXPECT_TRUE(c.Surface);
  EXPECT_EQ(s.V(i0).SoftWeight, 0);
  radios[0]->SetChecked(false);
  radios[1]->SetChecked(true);
  radios[0]->Changed();
  EXPECT_FALSE(c.Surface);
  EXPECT_NEAR(s.V(i0).SoftWeight, kAtI0, 1e-6);

  TFakeCheckBox& square = *s.All<TFakeCheckBox>().front();
  square.SetChecked(true);
  square.Changed();
  EXPECT_TRUE(c.Square);
  EXPECT_EQ(s.V(b3).SoftWeight, 1);
  const auto preview = s.All<TFakeCurvePreview>();
  ASSERT_EQ(preview.size(), 1u);
  EXPECT_EQ(preview[0]->Points.size(), 3u);
  for (std::size_t i = 1; i <= 3; ++i) EXPECT_FALSE(s.panel.Edit(i).Enabled) << i;
  EXPECT_TRUE(s.panel.Edit(0).Enabled);
  square.SetChecked(false);
  square.Changed();
  EXPECT_EQ(preview[0]->Points.size(), 31u);
  for (std::size_t i = 1; i <= 3; ++i) EXPECT_TRUE(s.panel.Edit(i).Enabled) << i;
}

TEST(SoftSelectionTest, ControlsShowTheFieldsInRows) {
  TScene s;
  auto& c = s.Add<TSCSoftSelection>();
  c.Fallout = 0.02f;
  c.Square = true;
  c.Surface = true;
  c.Prepare();
  s.ShowControls(c);
  const auto labels = s.All<TFakeLabel>();
  ASSERT_EQ(labels.size(), 6u);
  EXPECT_EQ(labels[0]->Text, "Vertex: none");
  EXPECT_EQ(labels[0]->Bounds(), (TRect{3, 2, 72, 13}));
  struct TRow {
    std::string Label;
    double Value, Step, Min, Max;
  };
  const TRow rows[] = {{"Fallout:  ", 0.02f, 0.002, 0.0009, 1000000},
                       {"Start:", 1, 0.05, 0, 1},
                       {"Pinch:", 0.7f, 0.1, 0, 0},
                       {"Bubble:", 0.3f, 0.1, 0, 0}};
  int top = labels[0]->Bounds().Bottom() + 5;
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(rows[i].Label);
    const test::TBlankableEdit& e = s.panel.Edit(i);
    EXPECT_EQ(labels[i + 1]->Text, rows[i].Label);
    EXPECT_EQ(labels[i + 1]->Bounds().Top, top);
    EXPECT_EQ(e.Bounds().Left, 3 + 6 * 10 + 3) << "lined up after the widest label";
    EXPECT_EQ(e.Value(), rows[i].Value);
    EXPECT_EQ(e.Step, rows[i].Step);
    EXPECT_EQ(e.Minimum, rows[i].Min);
    EXPECT_EQ(e.Maximum, rows[i].Max);
    EXPECT_EQ(e.Enabled, i == 0) << "square disables the curve's edits";
    EXPECT_EQ(e.Tag, &c);
    top = e.Bounds().Bottom() + 5;
  }
  TFakeCurvePreview& preview = *s.All<TFakeCurvePreview>().front();
  EXPECT_EQ(preview.Bounds(), (TRect{3, top, 100, 60}));
  EXPECT_EQ(preview.Points, (std::vector<TPixelPoint>{{0, 0}, {99, 0}, {99, 60}}));
  TFakeCheckBox& square = *s.All<TFakeCheckBox>().front();
  EXPECT_EQ(square.Text, "square");
  EXPECT_EQ(square.Bounds().Left, 5);
  EXPECT_EQ(square.Bounds().Top, preview.Bounds().Bottom() + 5);
  EXPECT_EQ(square.Bounds().Width, 100);
  EXPECT_TRUE(square.Checked());
  EXPECT_EQ(labels[5]->Text, "Select:");
  EXPECT_EQ(labels[5]->Bounds().Top, square.Bounds().Bottom() + 5);
  const auto radios = s.All<TFakeRadioButton>();
  ASSERT_EQ(radios.size(), 2u);
  EXPECT_EQ(radios[0]->Text, "surface");
  EXPECT_EQ(radios[1]->Text, "volume");
  EXPECT_EQ(radios[0]->Bounds(), (TRect{5, labels[5]->Bounds().Bottom() + 5, 100, 13}));
  EXPECT_EQ(radios[1]->Bounds().Top, radios[0]->Bounds().Bottom() + 1);
  EXPECT_TRUE(radios[0]->Checked());
  EXPECT_FALSE(radios[1]->Checked());
  EXPECT_EQ(radios[0]->Group, radios[1]->Group);
  EXPECT_EQ(radios[1]->Tag, &c);
}

// ---------------------------------------------------------------------------------------------
// Both kinds: start vertex, caption, marks, release

TEST(VertexSelectionTest, WithoutAStartVertexNothingChangesAndTheCaptionIsRed) {
  TScene s;
  s.V(b2).SetSoftWeight(0.3f);
  s.Mesh().Faces[1].SetSelected(true);
  const std::vector<float> weights = s.Weights();
  const std::vector<bool> faces = test::FaceSelection(s.Mesh());
  auto& soft = s.AddCommand<TSCSoftSelection>();
  EXPECT_TRUE(soft.Failed);
  EXPECT_EQ(soft.Caption, "Soft selection V:<c:Red><b>none</b><c:Black>");
  EXPECT_EQ(soft.DisplayFlags, 3);
  auto& surface = s.AddCommand<TSCSelectSurface>();
  EXPECT_TRUE(surface.Failed);
  EXPECT_EQ(surface.Caption, "Select surface V:<c:Red><b>none</b><c:Black>");
  EXPECT_EQ(surface.DisplayFlags, 3);
  // The surface selection's controls: the vertex label and, 5 below, an empty count label.
  const auto labels = s.All<TFakeLabel>();
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0]->Text, "Vertex: none");
  EXPECT_EQ(labels[0]->Bounds(), (TRect{3, 2, 72, 13}));
  EXPECT_EQ(labels[1]->Text, "");
  EXPECT_EQ(labels[1]->Bounds().Top, labels[0]->Bounds().Bottom() + 5);
  EXPECT_EQ(s.Weights(), weights);
  EXPECT_EQ(test::FaceSelection(s.Mesh()), faces);
}

TEST(VertexSelectionTest, PrepareFindsTheStartVertexByIndexThenById) {
  enum class TMeshId { Live, Stale };
  struct TCase {
    const char* Name;
    std::int32_t VertexIndex, StartVertexId;
    TMeshId Mesh;
    int Found;  // vertex index, or -1 for none
  };
  // Vertex b3 carries the Id 77 here.
  const TCase cases[] = {
      {"index and Id agree", b2, b2, TMeshId::Live, b2},
      {"another vertex at the index: by Id", b2, 77, TMeshId::Live, b3},
      {"by Id, but the mesh is gone", b2, 77, TMeshId::Stale, -1},
      {"no vertex with that Id", b2, 555, TMeshId::Live, -1},
      {"index beyond the mesh", kVertices, b2, TMeshId::Live, -1},
      // Read anew, a figure's mesh gets a new Id: the vertex's own mesh is taken.
      {"index and Id agree, stored mesh Id stale", b2, b2, TMeshId::Stale, b2},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    TScene s;
    s.V(b3).Id = 77;
    auto& c = s.Add<TSCSoftSelection>();
    c.MeshIndex = 0;
    c.VertexIndex = k.VertexIndex;
    c.StartVertexId = k.StartVertexId;
    c.MeshId = k.Mesh == TMeshId::Live ? s.Mesh().Id : s.Mesh().Id + 1;
    c.Prepare();
    c.Execute();
    if (k.Found < 0) {
      EXPECT_EQ(c.StartVertex(), nullptr);
      EXPECT_TRUE(c.Failed);
      EXPECT_EQ(c.Caption, "Soft selection V:<c:Red><b>none</b><c:Black>");
      EXPECT_EQ(s.Weights(), std::vector<float>(kVertices, 0.0f));
      continue;
    }
    ASSERT_EQ(c.StartVertex(), &s.V(k.Found));
    EXPECT_EQ(c.VertexIndex, k.Found);
    EXPECT_EQ(c.MeshId, s.Mesh().Id);
    EXPECT_FALSE(c.Failed);
    EXPECT_EQ(c.Caption, "Soft selection V:<b>" + std::to_string(k.Found) + "</b>");
    EXPECT_EQ(s.V(k.Found).SoftWeight, 1);
    EXPECT_TRUE(s.V(k.Found).Anchor && s.V(k.Found).Highlight);
  }
}

TEST(VertexSelectionTest, PicksAreTakenOnlyWhileTheControlsExist) {
  TScene s;
  auto& c = s.Add<TSCSoftSelection>();
  c.Prepare();
  EXPECT_FALSE(c.PickVertex(s.V(b0)));
  EXPECT_EQ(s.V(b0).SoftWeight, 0);
  s.ShowControls(c);
  TObjVertex stranger;  // not a vertex of the edit state
  EXPECT_FALSE(c.PickVertex(stranger));
  EXPECT_TRUE(c.PickVertex(s.V(b0)));
  c.Release();
  EXPECT_FALSE(c.PickVertex(s.V(b1)));
}

TEST(VertexSelectionTest, ReleaseKeepsTheEffectAndTheAnchorButNotTheHighlight) {
  TScene s;
  auto& soft = s.AddCommand<TSCSoftSelection>();
  ASSERT_TRUE(soft.PickVertex(s.V(b0)));
  const std::vector<float> weights = s.Weights();
  soft.Release();
  EXPECT_EQ(s.Weights(), weights);
  EXPECT_TRUE(s.V(b0).Anchor);
  EXPECT_FALSE(s.V(b0).Highlight);
  EXPECT_FALSE(soft.Backups);
  EXPECT_EQ(soft.StartVertex(), nullptr);

  auto& surface = s.AddCommand<TSCSelectSurface>();
  ASSERT_TRUE(surface.PickVertex(s.V(i0)));
  EXPECT_TRUE(s.V(i0).Highlight);
  EXPECT_FALSE(s.V(i0).Anchor);
  surface.Release();
  EXPECT_FALSE(s.V(i0).Highlight);
  EXPECT_TRUE(s.Mesh().Faces[4].Selected);
  EXPECT_FALSE(surface.FaceBackups);
}

// ---------------------------------------------------------------------------------------------
// Surface selection

TEST(SelectSurfaceTest, SelectsTheConnectedEditableFacesAndCountsThem) {
  struct TCase {
    const char* Name;
    const char* Locked;
    int From;
    std::vector<bool> Faces;
    std::string Count;
  };
  const TCase cases[] = {
      {"whole row", nullptr, b2, {true, true, true, true, false, false}, "Faces selected:4"},
      {"island", nullptr, i0, {false, false, false, false, true, false}, "Faces selected:1"},
      // The locked tip is neither selected nor crossed; b0 lies only on it.
      {"past a lock", "tip", b4, {false, true, true, true, false, false}, "Faces selected:3"},
      {"only locked faces",
       "tip",
       b0,
       {false, false, false, false, false, false},
       "Faces selected:0"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.Name);
    TScene s;
    if (k.Locked) s.Lock(k.Locked);
    auto& c = s.AddCommand<TSCSelectSurface>();
    ASSERT_TRUE(c.PickVertex(s.V(k.From)));
    EXPECT_EQ(test::FaceSelection(s.Mesh()), k.Faces);
    EXPECT_EQ(s.All<TFakeLabel>()[1]->Text, k.Count);
    EXPECT_EQ(c.Caption, "Select surface V:<b>" + std::to_string(k.From) + "</b>");
    EXPECT_EQ(s.All<TFakeLabel>()[0]->Text, "Vertex: " + std::to_string(k.From));
    // Corners of the selected faces are selected with them.
    for (std::int32_t f = 0; f < s.Mesh().Faces.Count(); ++f) {
      if (!k.Faces[static_cast<std::size_t>(f)]) continue;
      for (const TFaceVert& corner : s.Mesh().Faces.Corners(s.Mesh().Faces[f])) {
        if (corner.VertexIndex != k.From) {
          EXPECT_TRUE(s.V(corner.VertexIndex).Selected) << corner.VertexIndex;
        }
      }
    }
  }
}

TEST(SelectSurfaceTest, PickingAgainRestoresTheSelectionItFound) {
  TScene s;
  s.Mesh().Faces[2].SetSelected(true);  // already selected before the command
  s.Mesh().UpdateVertexFlags();
  const std::vector<bool> vertices = test::VertexSelection(s.Mesh());
  auto& c = s.AddCommand<TSCSelectSurface>();
  ASSERT_TRUE(c.PickVertex(s.V(b1)));
  ASSERT_EQ(test::FaceSelection(s.Mesh()),
            (std::vector<bool>{true, true, true, true, false, false}));
  ASSERT_TRUE(c.PickVertex(s.V(i1)));
  EXPECT_EQ(test::FaceSelection(s.Mesh()),
            (std::vector<bool>{false, false, true, false, true, false}));
  EXPECT_FALSE(s.V(b1).Highlight);
  EXPECT_TRUE(s.V(i1).Highlight);
  std::vector<bool> expected = vertices;
  for (const int v : {i0, 11}) expected[static_cast<std::size_t>(v)] = true;
  EXPECT_EQ(test::VertexSelection(s.Mesh()), expected);
}

// ---------------------------------------------------------------------------------------------
// Records

TEST(VertexSelectionRecords, SoftSelectionGoldenBytes) {
  TScene s;
  auto& c = s.Add<TSCSoftSelection>();
  const std::string defaults = "7c 17 " + BaseHex("NoName") + StrHex("Soft selection V:%0:s") +
                               I32Hex(-1) + I32Hex(-1) + I32Hex(-1) + I32Hex(-1) +
                               "00  0a d7 23 3c  00 00 80 3f  33 33 33 3f  9a 99 99 3e  00";
  c.DisplayFlags = 16;  // BaseHex writes the base default
  EXPECT_EQ(ToHex(StoredBytes(c)), ToHex(Hex(defaults)));

  c.DisplayFlags = 3;
  c.Caption = "Soft selection V:<b>7</b>";
  c.MeshIndex = 0, c.VertexIndex = 7, c.StartVertexId = 7, c.MeshId = 0x12345678;
  c.Surface = true, c.Fallout = 0.5f, c.Start = 1, c.Pinch = 0.25f, c.Bubble = 0.75f;
  c.Square = true;
  std::string base = BaseHex(c.Caption);
  base.replace(base.size() - 12, 12, "03 00 00 00 ");
  const std::string set = "7c 17 " + base + StrHex("Soft selection V:%0:s") + I32Hex(0) +
                          I32Hex(7) + I32Hex(7) + "78 56 34 12  01  00 00 00 3f  00 00 80 3f  " +
                          "00 00 80 3e  00 00 40 3f  01";
  const std::vector<std::uint8_t> bytes = StoredBytes(c);
  EXPECT_EQ(ToHex(bytes), ToHex(Hex(set)));

  const auto back = ReloadCommand(bytes);
  auto* r = dynamic_cast<TSCSoftSelection*>(back.get());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->Caption, c.Caption);
  EXPECT_EQ(r->DisplayFlags, 3);
  EXPECT_EQ(r->MeshId, 0x12345678);
  EXPECT_TRUE(r->Surface && r->Square);
  EXPECT_EQ(r->Bubble, 0.75f);
  EXPECT_EQ(r->StartVertex(), nullptr);
  EXPECT_FALSE(r->Backups);
  EXPECT_EQ(StoredBytes(*r), bytes);
}

TEST(VertexSelectionRecords, SelectSurfaceGoldenBytes) {
  TScene s;
  auto& c = s.Add<TSCSelectSurface>();
  c.DisplayFlags = 16;
  c.MeshIndex = 1, c.VertexIndex = 2, c.StartVertexId = 3, c.MeshId = 4;
  const std::string expected = "7d 17 " + BaseHex("NoName") + StrHex("Select surface V:%0:s") +
                               I32Hex(1) + I32Hex(2) + I32Hex(3) + I32Hex(4);
  const std::vector<std::uint8_t> bytes = StoredBytes(c);
  EXPECT_EQ(ToHex(bytes), ToHex(Hex(expected)));
  const auto back = ReloadCommand(bytes);
  auto* r = dynamic_cast<TSCSelectSurface*>(back.get());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->StartVertexId, 3);
  EXPECT_EQ(StoredBytes(*r), bytes);
}

TEST(VertexSelectionRecords, LoadedOntoAFigureReadAgainTheCommandStillApplies) {
  std::vector<std::uint8_t> bytes;
  std::vector<float> weights;
  std::int32_t firstId = 0;
  {
    TScene first;
    firstId = first.Mesh().Id;
    auto& c = first.AddCommand<TSCSoftSelection>();
    c.Surface = true;
    ASSERT_TRUE(c.PickVertex(first.V(b1)));
    weights = first.Weights();
    bytes = StoredBytes(c);
  }
  TScene again;
  again.Mesh().Id = firstId == 1 ? 2 : firstId - 1;  // a mesh read anew has a new Id
  auto loaded = ReloadCommand(bytes);
  loaded->Manager = again.stack.get();
  loaded->Prepare();
  loaded->Execute();
  EXPECT_FALSE(loaded->Failed);
  EXPECT_EQ(static_cast<TSCSoftSelection&>(*loaded).MeshId, again.Mesh().Id);
  EXPECT_EQ(again.Weights(), weights);
  loaded->Release();
}

// ---------------------------------------------------------------------------------------------
// Through the stack controller

TEST(VertexSelectionFlow, APickReachesTheCommandAndTheWeightsMoveVerticesPartially) {
  test::TTempDir dir;
  test::TFakeWindow window;
  TStackController controller(window);
  test::AddMesh(controller.Live(), dir, kMesh);
  const TStackTarget& target = *FindStackTarget(1);
  controller.NewStack(target);
  controller.AddCommand(*target.FindDescriptor(10));
  ASSERT_EQ(controller.CurrentLine(), 1);
  auto* soft = dynamic_cast<TSCSoftSelection*>(controller.SelectedCommand());
  ASSERT_NE(soft, nullptr);
  EXPECT_EQ(controller.View().PickMode, 3);
  EXPECT_TRUE(controller.View().VertexPoints);
  EXPECT_EQ(window.Lines[1], "Soft selection V:<c:Red><b>none</b><c:Black>");

  TObjData& mesh = *controller.Live().Mesh(0);
  const int redraws = window.Redraws;
  ASSERT_TRUE(controller.PickVertex(mesh.Vertices[b0]));
  EXPECT_EQ(window.Redraws, redraws + 1);
  EXPECT_EQ(window.Lines[1], "Soft selection V:<b>0</b>");
  EXPECT_FALSE(controller.PickVertex(mesh.Vertices[b0]));
  EXPECT_EQ(window.Redraws, redraws + 1);

  std::vector<double> x;
  for (const TObjVertex& v : mesh.Vertices) x.push_back(v.X);
  controller.AddCommand(*target.FindDescriptor(101));  // translate
  auto edits = window.Params.Edits();
  ASSERT_EQ(edits.size(), 3u);
  // The X field holds where the selection centre goes; one further along x moves by 1.
  dynamic_cast<test::TFakeNumberEdit&>(*edits[0]).Type(edits[0]->Value() + 1);
  TObjData& moved = *controller.Live().Mesh(0);
  const struct {
    int Vertex;
    double Share;
  } expected[] = {{b0, 1}, {b1, kAtB1}, {b2, kAtB2}, {b3, kAtB3}, {b4, 0}, {t0, 0}};
  for (const auto& e : expected)
    EXPECT_NEAR(moved.Vertices[e.Vertex].X - x[static_cast<std::size_t>(e.Vertex)], e.Share, 1e-5)
        << e.Vertex;
  EXPECT_TRUE(moved.Vertices[b0].Anchor);
  EXPECT_FALSE(moved.Vertices[b0].Highlight) << "released when the translation was added";

  // Back to line 1 rebuilds from the pristine copy and applies the soft selection again.
  const std::vector<float> weights = test::SoftWeights(moved);
  controller.MakeCurrent(1);
  TObjData& replayed = *controller.Live().Mesh(0);
  EXPECT_EQ(test::SoftWeights(replayed), weights);
  EXPECT_EQ(replayed.Vertices[b1].X, x[b1]);
  EXPECT_TRUE(replayed.Vertices[b0].Highlight);
  EXPECT_TRUE(controller.PickVertex(replayed.Vertices[b4])) << "controls exist again";
}

}  // namespace
}  // namespace tarvel
