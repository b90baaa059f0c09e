#include "commands/Specular.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjReader.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"
#include "stack/SelectCommands.h"
#include "stack/StackMng.h"

namespace tarvel {
namespace {

using test::Hex;
using test::StoredBytes;
using test::TFakePanel;
using test::TFakeRadioButton;
using test::TFakeTextLine;
using test::TTempDir;

struct TV {
  double X, Y, Z;
};

// OBJ text with these vertices; `faces` are 1-based corner lists, each with its group. Without
// faces one face of no area on the first vertex keeps the file a figure.
std::string ObjText(const std::vector<TV>& vs,
                    std::vector<std::pair<std::string, std::vector<int>>> faces) {
  if (faces.empty()) faces.push_back({"default", {1, 1, 1}});
  std::string out;
  char buf[128];
  for (const TV& v : vs) {
    std::snprintf(buf, sizeof buf, "v %.10f %.10f %.10f\n", v.X, v.Y, v.Z);
    out += buf;
  }
  for (const auto& [group, corners] : faces) {
    out += "g " + group + "\nf";
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on " " + string.
    for (int c : corners) {
      out += ' ';
      out += std::to_string(c);
    }
    out += "\n";
  }
  return out;
}

// A stack over one mesh with a mirror command, and a parameter panel for its controls.
struct TScene {
  explicit TScene(const std::string& obj) {
    live.AddObjFile(dir.Write("mesh.obj", obj));
    stack = std::make_unique<TStackMng>(*FindStackTarget(1), live);
    command = std::make_unique<TSCSpecular>(stack.get());
  }
  TObjData& Live() { return *live.Mesh(0); }
  TObjData& Pristine() { return *stack->Pristine->Mesh(0); }
  void Select(std::initializer_list<int> vertices) {
    for (int v : vertices) Live().Vertices[v].SetSoftWeight(1);
  }
  void ShowControls() {
    command->CreateControls(panel, [](IParamControl& c) { c.Tag->ControlChanged(c); });
  }
  std::string Line(int line) const {
    return dynamic_cast<TFakeTextLine&>(*command->TextLines[static_cast<std::size_t>(line - 1)])
        .Text;
  }
  void ClickMode(int mode) {
    for (std::size_t i = 0; i < 4; ++i) command->ModeButtons[i]->SetChecked(int(i) == mode);
    command->ModeButtons[static_cast<std::size_t>(mode)]->Changed();
  }
  TV At(int v) {
    const TObjVertex& x = Live().Vertices[v];
    return {x.X, x.Y, x.Z};
  }

  TTempDir dir;
  TMultiObjData live;
  std::unique_ptr<TStackMng> stack;
  std::unique_ptr<TSCSpecular> command;
  TFakePanel panel;
};

void ExpectAt(const TV& got, const TV& want) {
  EXPECT_DOUBLE_EQ(got.X, want.X);
  EXPECT_DOUBLE_EQ(got.Y, want.Y);
  EXPECT_DOUBLE_EQ(got.Z, want.Z);
}

// Left quad (x 1..2) in group "left", its mirror image in "right".
//   0 (1,0,0)  1 (2,0,0)  2 (2,1,0)  3 (1,1,0)   right: 4..7 the same with -x
const std::vector<TV> kQuads = {{1, 0, 0},  {2, 0, 0},  {2, 1, 0},  {1, 1, 0},
                                {-1, 0, 0}, {-2, 0, 0}, {-2, 1, 0}, {-1, 1, 0}};
const std::string kQuadObj = ObjText(kQuads, {{"left", {1, 2, 3, 4}}, {"right", {5, 8, 7, 6}}});

TMorphTarget& AddMorph(TGroup& group, const TV& shift) {
  auto t = std::make_unique<TMorphTarget>(&group);
  for (const TGroupVertex& e : group.Vertices) {
    TBaseVertex p = e.Shaped;
    p.X += shift.X, p.Y += shift.Y, p.Z += shift.Z;
    t->Positions.Add(p);
  }
  return *group.MorphTargets.Add(std::move(t));
}

// ---------------------------------------------------------------------------------------------
// Pairing

struct TPairCase {
  const char* Name;
  std::vector<TV> Vertices;
  float Precision;
  std::vector<std::int32_t> Mirror;  // expected MirrorIndex of every vertex (all selected)
  std::vector<int> Side;
  int OutOfSymmetry;
};

TEST(SpecularTest, PairsSelectedVerticesByMirrorPosition) {
  const std::vector<TPairCase> cases = {
      // The centre line is -0.000001 < x < 0.0000001.
      {"centre line",
       {{-0.0000005, 1, 0}, {1, 0, 0}, {-1, 0, 0}, {0.00000009, 2, 0}},
       0.0000001f,
       {-10, 2, 1, -10},
       {2, 0, 1, 2},
       0},
      {"just off the centre line",
       {{0.0000005, 1, 0}, {0.0000001, 2, 0}, {-0.000001, 3, 0}},
       0.0000001f,
       {-1, -1, -1},
       {0, 0, 1},
       3},
      {"symmetric to 1e-5 with the default precision",
       {{1, 0, 0}, {-1.00001, 0, 0}, {0.5, 0.3, 0}, {-0.5, 0.30001, 0}},
       0.0000001f,
       {-1, -1, -1, -1},
       {0, 1, 0, 1},
       4},
      {"symmetric to 1e-5 with precision 1e-4",
       {{1, 0, 0}, {-1.00001, 0, 0}, {0.5, 0.3, 0}, {-0.5, 0.30001, 0}},
       0.0001f,
       {1, 0, 3, 2},
       {0, 1, 0, 1},
       0},
      {"precision 0 finds nothing",
       {{1, 0, 0}, {-1, 0, 0}, {0, 2, 0}},
       0.0f,
       {-1, -1, -10},
       {0, 1, 2},
       2},
      {"box test, not a sphere", {{1, 0, 0}, {-1.09, 0.09, 0.09}}, 0.1f, {1, 0}, {0, 1}, 0},
  };
  for (const TPairCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScene s(ObjText(c.Vertices, {}));
    for (TObjVertex& v : s.Live().Vertices) v.SetSoftWeight(1);
    s.command->Precision = c.Precision;
    s.command->Execute();
    for (std::size_t i = 0; i < c.Vertices.size(); ++i) {
      EXPECT_EQ(s.Pristine().Vertices[int(i)].MirrorIndex, c.Mirror[i]) << i;
      EXPECT_EQ(s.Pristine().Vertices[int(i)].SideCode, c.Side[i]) << i;
    }
    EXPECT_EQ(s.command->OutOfSymmetry, c.OutOfSymmetry);
  }
}

TEST(SpecularTest, WarningLinesCountVerticesOutOfSymmetry) {
  const struct {
    std::vector<TV> Vertices;
    std::string Line5, Line6;
  } cases[] = {
      {{{1, 0, 0}, {-1, 0, 0}}, "", ""},
      {{{1, 0, 0}, {-1, 0, 0}, {3, 0, 0}}, "Warning", "1 vertex out of symmetry"},
      {{{1, 0, 0}, {-1, 0, 0}, {3, 0, 0}, {-4, 0, 0}}, "Warning", "2 vertices out of symmetry"},
  };
  for (const auto& c : cases) {
    TScene s(ObjText(c.Vertices, {}));
    for (TObjVertex& v : s.Live().Vertices) v.SetSoftWeight(1);
    s.ShowControls();
    s.command->Execute();
    EXPECT_EQ(s.Line(5), c.Line5);
    EXPECT_EQ(s.Line(6), c.Line6);
  }
}

// ---------------------------------------------------------------------------------------------
// Writing

TEST(SpecularTest, LeftToRightWritesUnselectedPartnersOnly) {
  TScene s(kQuadObj);
  s.Live().Vertices[0].Y = 0.25;  // an earlier edit of the left side
  s.Select({0, 1, 5 + 1});        // vertex 6 is on the right; its partner 2 is not selected
  s.command->Execute();
  ExpectAt(s.At(4), {-1, 0.25, 0});
  ExpectAt(s.At(5), {-2, 0, 0});
  ExpectAt(s.At(6), {-2, 1, 0});
  ExpectAt(s.At(2), {2, 1, 0});
  // The shaped positions follow.
  EXPECT_DOUBLE_EQ(s.Live().GroupByName("right")->Vertices[0].Shaped.Y, 0.25);
}

TEST(SpecularTest, SwitchingModesUndoesThePreviousApplicationFirst) {
  TScene s(kQuadObj);
  s.Live().Vertices[0].Y = 0.25;
  s.Live().Vertices[4].Z = 0.5;
  for (int v = 0; v < 8; ++v) s.Select({v});
  s.ShowControls();
  s.command->Execute();  // left to right: 4 becomes (-1, 0.25, 0)
  ExpectAt(s.At(4), {-1, 0.25, 0});
  s.ClickMode(TSCSpecular::kRightToLeft);
  // The right side as it was before the first copy goes onto the left.
  ExpectAt(s.At(0), {1, 0, 0.5});
  ExpectAt(s.At(4), {-1, 0, 0.5});
  s.ClickMode(TSCSpecular::kResetLeft);
  ExpectAt(s.At(0), {1, 0, 0});
  ExpectAt(s.At(4), {-1, 0, 0.5});
  auto& box = dynamic_cast<test::TFakeCheckBox&>(*s.command->ResetMorphsBox);
  EXPECT_TRUE(box.Enabled);
  s.ClickMode(TSCSpecular::kLeftToRight);
  EXPECT_FALSE(box.Enabled);
}

TEST(SpecularTest, XLockedPartnerKeepsXWhileMorphPositionsMoveByFullDisplacement) {
  TScene s(kQuadObj);
  TGroup& right = *s.Live().GroupByName("right");
  TMorphTarget& t = AddMorph(right, {0, 0, 0.1});
  s.Live().Vertices[0].X = 1.5;
  s.Live().Vertices[0].Y = 0.25;
  s.Live().Vertices[4].XLocked = true;
  s.Select({0});
  s.command->Execute();
  ExpectAt(s.At(4), {-1, 0.25, 0});
  const std::int32_t k = right.Vertices.IndexOfVertex(4);
  // d = (-1.5 - -1, 0.25, 0) as singles.
  EXPECT_DOUBLE_EQ(t.Positions[k].X, -1 + double(-0.5f));
  EXPECT_DOUBLE_EQ(t.Positions[k].Y, double(0.25f));
  EXPECT_DOUBLE_EQ(t.Positions[k].Z, 0.1);
}

TEST(SpecularTest, ResetLeftWithAndWithoutResetMorphs) {
  for (bool resetMorphs : {false, true}) {
    SCOPED_TRACE(resetMorphs);
    TScene s(kQuadObj);
    TGroup& left = *s.Live().GroupByName("left");
    TMorphTarget& t = AddMorph(left, {0, 0, 1});
    const std::int32_t k = left.Vertices.IndexOfVertex(1);
    s.Live().Vertices[1].Y = 0.5;  // moved by (0, 0.5, 0), and its morph position with it
    t.Positions[k].Y += 0.5;
    s.Live().Vertices[5].Y = 0.5;  // a right vertex: not reset by "Reset left"
    s.Select({1, 5});
    s.command->Mode = TSCSpecular::kResetLeft;
    s.command->ResetMorphs = resetMorphs;
    s.command->Execute();
    ExpectAt(s.At(1), {2, 0, 0});
    ExpectAt(s.At(5), {-2, 0.5, 0});
    const TBaseVertex& p = t.Positions[k];
    if (resetMorphs)
      ExpectAt({p.X, p.Y, p.Z}, {2, 0, 0});
    else
      ExpectAt({p.X, p.Y, p.Z}, {2, 0, 1});
  }
}

TEST(SpecularTest, SharedVertexMovesTheMorphPositionsOfBothGroups) {
  // Left vertex 0 (1,0,0) is in groups "a" and "b"; its partner 3 is in "r".
  const std::vector<TV> vs = {{1, 0, 0},  {2, 0, 0},  {1, 1, 0}, {-1, 0, 0},
                              {-2, 0, 0}, {-1, 1, 0}, {2, 1, 0}};
  TScene s(ObjText(vs, {{"a", {1, 2, 3}}, {"b", {1, 7, 3}}, {"r", {4, 6, 5}}}));
  TGroup& a = *s.Live().GroupByName("a");
  TGroup& b = *s.Live().GroupByName("b");
  TMorphTarget& ta = AddMorph(a, {0, 0, 0});
  TMorphTarget& tb = AddMorph(b, {0, 0, 0.5});
  s.Live().Vertices[3].Z = 0.25;
  s.Select({3});
  s.command->Mode = TSCSpecular::kRightToLeft;
  s.command->Execute();
  ExpectAt(s.At(0), {1, 0, 0.25});
  EXPECT_DOUBLE_EQ(ta.Positions[a.Vertices.IndexOfVertex(0)].Z, 0.25);
  EXPECT_DOUBLE_EQ(tb.Positions[b.Vertices.IndexOfVertex(0)].Z, 0.75);
  // Undo restores the vertex and both groups.
  s.command->Mode = TSCSpecular::kLeftToRight;
  s.command->Execute();
  ExpectAt(s.At(0), {1, 0, 0});
  EXPECT_DOUBLE_EQ(ta.Positions[a.Vertices.IndexOfVertex(0)].Z, 0);
  EXPECT_DOUBLE_EQ(tb.Positions[b.Vertices.IndexOfVertex(0)].Z, 0.5);
}

// ---------------------------------------------------------------------------------------------
// Info

TEST(SpecularTest, InfoShowsSmallestDistanceAndClearsOnTheNextChange) {
  const struct {
    std::vector<int> Selected;
    std::string Line2;
  } cases[] = {
      {{0}, "vertices is: 0.0000000"},
      {{0, 1}, "vertices is: 0.5000000"},
      {{}, "vertices is: 0.0000000"},
  };
  for (const auto& c : cases) {
    TScene s(ObjText({{1, 0, 0}, {1.5, 0, 0}, {-3, 0, 0}}, {}));
    for (int v : c.Selected) s.Select({v});
    s.ShowControls();
    s.command->InfoButton->Changed();
    EXPECT_EQ(s.Line(1), "Maximum distance between");
    EXPECT_EQ(s.Line(2), c.Line2);
    EXPECT_EQ(s.Line(3), "");
    EXPECT_TRUE(s.command->InfoShown);
    s.command->PrecisionEdit->SetValue(0.001);
    s.command->PrecisionEdit->Changed();
    EXPECT_FLOAT_EQ(s.command->Precision, 0.001f);
    for (int line = 1; line <= 4; ++line) EXPECT_EQ(s.Line(line), "") << line;
  }
}

// The hourglass of the stack's owner shows while the mirror searches and writes, and goes again.
TEST(SpecularTest, MirrorAndInfoShowTheStacksHourglass) {
  struct TCursor : IWaitCursor {
    void BeginWait() override { ++Depth, ++Shown; }
    void EndWait() override { --Depth; }
    int Depth = 0, Shown = 0;
  };
  for (const bool info : {false, true}) {
    SCOPED_TRACE(info ? "info" : "mode");
    TScene s(kQuadObj);
    TCursor cursor;
    s.stack->WaitCursor = &cursor;
    s.Select({0, 1});
    s.ShowControls();
    if (info)
      s.command->InfoButton->Changed();
    else
      s.ClickMode(TSCSpecular::kLeftToRight);
    EXPECT_GT(cursor.Shown, 0);
    EXPECT_EQ(cursor.Depth, 0);
  }
}

TEST(SpecularTest, TwoPartnersAtOnePositionAreCrossLinkedAndTheFirstIsWritten) {
  // Left 0 matches right 1 and 2, which sit at one position.
  TScene s(ObjText({{1, 0.5, 0}, {-1, 0.5, 0}, {-1, 0.5, 0}, {2, 0, 0}, {2, 1, 0}, {-2, 0, 0}},
                   {{"l", {1, 4, 5}}, {"r", {2, 3, 6}}}));
  s.Live().Vertices[0].Z = 0.75;
  s.Select({0});
  s.ShowControls();
  s.command->InfoButton->Changed();
  EXPECT_EQ(s.command->CrossLinked, 1);
  EXPECT_EQ(s.Pristine().Vertices[0].MirrorIndex, 2);  // counting takes the last match
  EXPECT_EQ(s.Line(3), "Error: there are 1 vertices");
  EXPECT_EQ(s.Line(4), "cross linked");
  s.command->Execute();
  EXPECT_EQ(s.Pristine().Vertices[0].MirrorIndex, 1);
  ExpectAt(s.At(1), {-1, 0.5, 0.75});
  ExpectAt(s.At(2), {-1, 0.5, 0});
}

// ---------------------------------------------------------------------------------------------
// Stream

TEST(SpecularTest, StreamRecordKeepsModeAndPrecisionButNotResetMorphs) {
  TScene s(kQuadObj);
  s.command->Mode = TSCSpecular::kResetRight;
  s.command->Precision = 0.25f;
  s.command->ResetMorphs = true;
  s.command->UpdateCaption();

  TSCInit base(nullptr);
  base.Caption = "Mirror selection";
  std::vector<std::uint8_t> expected = Hex("8e 17");  // 6030
  const std::vector<std::uint8_t> baseBytes = StoredBytes(base);
  expected.insert(expected.end(), baseBytes.begin() + 2, baseBytes.end());
  // CaptionFormat, Mode 3, Precision 0.25, four reserved bytes.
  const std::vector<std::uint8_t> tail =
      Hex("10 00 4d 69 72 72 6f 72 20 73 65 6c 65 63 74 69 6f 6e  03  00 00 80 3e  00 00 00 00");
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(test::ToHex(StoredBytes(*s.command)), test::ToHex(expected));

  TObjectStream stream(StoredBytes(*s.command));
  auto loaded = stream.GetAs<TSCSpecular>();
  EXPECT_EQ(loaded->Mode, TSCSpecular::kResetRight);
  EXPECT_EQ(loaded->Precision, 0.25f);
  EXPECT_EQ(loaded->CaptionFormat, "Mirror selection");
  EXPECT_FALSE(loaded->ResetMorphs);
  EXPECT_FALSE(loaded->VertexBackups.has_value());
  EXPECT_EQ(stream.BytesLeft(), 0);
}

// ---------------------------------------------------------------------------------------------
// The spatial search against the plain scan: every pristine vertex for every taking-part
// vertex, and every pair for the smallest distance.

struct TReference {
  std::vector<std::int32_t> Mirror;
  std::vector<int> Side;
  int OutOfSymmetry = 0;
  int CrossLinked = 0;
};

TReference ReferencePairs(const TObjData& live, const TObjData& pristine, float tolerance,
                          bool counting) {
  TReference r;
  const int n = pristine.Vertices.Count();
  r.Mirror.assign(std::size_t(n), -99);
  r.Side.assign(std::size_t(n), -99);
  for (int j = 0; j < n; ++j) {
    if (!live.Vertices[j].TakesPart()) continue;
    const TObjVertex& p = pristine.Vertices[j];
    if (IsOnCentreLine(live.Vertices[j])) {
      r.Mirror[std::size_t(j)] = -10;
      r.Side[std::size_t(j)] = 2;
      continue;
    }
    r.Side[std::size_t(j)] = p.X < 0 ? 1 : 0;
    int found = -1, matches = 0;
    for (int q = 0; q < n; ++q) {
      if (q == j || !IsMirrorOf(p, pristine.Vertices[q], tolerance)) continue;
      ++matches;
      if (found < 0 || counting) found = q;
      if (!counting) break;
    }
    r.Mirror[std::size_t(j)] = found;
    if (found < 0) ++r.OutOfSymmetry;
    if (counting && matches > 1) r.CrossLinked += matches - 1;
  }
  return r;
}

float ReferenceMinDistance(const TObjData& live) {
  float m = 10000000.0f;
  const int n = live.Vertices.Count();
  for (int a = 0; a < n; ++a) {
    if (!live.Vertices[a].TakesPart()) continue;
    for (int b = 0; b < n; ++b) {
      if (b == a || !live.Vertices[b].TakesPart()) continue;
      const float d = Distance(live.Vertices[a], live.Vertices[b]);
      if (d < m) m = d;
    }
  }
  return m == 10000000.0f ? 0 : m;
}

void ExpectSameAsReference(TScene& s, const TReference& want, bool counting) {
  const TObjData& p = s.Pristine();
  for (int j = 0; j < p.Vertices.Count(); ++j) {
    if (want.Mirror[std::size_t(j)] == -99) continue;
    ASSERT_EQ(p.Vertices[j].MirrorIndex, want.Mirror[std::size_t(j)]) << "vertex " << j;
    ASSERT_EQ(p.Vertices[j].SideCode, want.Side[std::size_t(j)]) << "vertex " << j;
  }
  EXPECT_EQ(s.command->OutOfSymmetry, want.OutOfSymmetry);
  if (counting) {
    EXPECT_EQ(s.command->CrossLinked, want.CrossLinked);
  }
}

// Vertices of three kinds, quantised so that matches, near misses and duplicates are common.
std::vector<TV> RandomVertices(const std::string& kind, std::mt19937& rng, int n) {
  std::uniform_real_distribution<double> u(-1, 1);
  auto q = [](double v, double step) { return std::round(v / step) * step; };
  std::vector<TV> out;
  while (int(out.size()) < n) {
    TV v{q(u(rng), 0.01), q(u(rng), 0.01), q(u(rng), 0.01)};
    if (kind == "random") {
      out.push_back(v);
      continue;
    }
    v.X = std::abs(v.X) + 0.01;
    out.push_back(v);
    const double noise = kind == "nearly" ? q(u(rng), 0.000001) * 0.00002 : 0;
    out.push_back({-v.X + noise, v.Y - noise, v.Z});
    if (kind == "symmetric" && rng() % 8 == 0) out.push_back({-v.X, v.Y, v.Z});  // duplicate
    if (rng() % 10 == 0) out.push_back({rng() % 2 ? 0.0 : -0.0000009, v.Y, v.Z});
  }
  return out;
}

TEST(SpecularTest, SpatialSearchEqualsThePlainScan) {
  std::mt19937 rng(20240607);
  struct TMesh {
    std::string Name;
    std::string Obj;
  };
  std::vector<TMesh> meshes;
  for (const char* kind : {"symmetric", "nearly", "random"}) {
    const std::vector<TV> vs = RandomVertices(kind, rng, 800);
    std::vector<std::pair<std::string, std::vector<int>>> faces;
    for (int i = 1; i + 2 <= int(vs.size()); i += 3)
      faces.push_back({i % 2 ? "g1" : "g2", {i, i + 1, i + 2}});
    meshes.push_back({kind, ObjText(vs, faces)});
  }
  {
    TObjData figure;
    LoadFromObj(figure, std::string(TARVEL_SAMPLES_DIR) + "/figure.obj");
    EXPECT_GT(figure.Vertices.Count(), 1000);
    std::vector<TV> vs;
    for (const TObjVertex& v : figure.Vertices) vs.push_back({v.X, v.Y, v.Z});
    meshes.push_back({"figure", ObjText(vs, {})});
  }
  const float precisions[] = {0.0000001f, 0.000005f, 0.00002f, 0.005f, 0.01f, 0.3f, 0.0f};
  for (const TMesh& m : meshes) {
    for (float precision : precisions) {
      SCOPED_TRACE(m.Name + " precision " + std::to_string(precision));
      TScene s(m.Obj);
      TObjData& live = s.Live();
      for (TObjVertex& v : live.Vertices)
        if (rng() % 10 < 7) v.SetSoftWeight(1);
      // Live edits: some vertices moved onto the centre line, which the pairing looks at.
      for (int k = 0; k < live.Vertices.Count(); k += 37) live.Vertices[k].X = 0.0000005;
      s.command->Precision = precision;
      for (std::uint8_t mode : {0, 1, 2}) {
        s.command->Mode = mode;
        const TReference first = ReferencePairs(live, s.Pristine(), precision, false);
        s.command->Execute();
        ExpectSameAsReference(s, first, false);
      }
      const TReference all = ReferencePairs(live, s.Pristine(), precision, true);
      const float distance = ReferenceMinDistance(live);
      s.command->ComputeInfo();
      ExpectSameAsReference(s, all, true);
      EXPECT_EQ(s.command->MinDistance, distance);
    }
  }
}

}  // namespace
}  // namespace tarvel
