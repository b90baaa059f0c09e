#include "commands/Transforms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/CommandFakes.h"

namespace tarvel {
namespace {

using test::BaseHex;
using test::Hex;
using test::ReloadCommand;
using test::StoredBytes;
using test::StrHex;
using test::TBlankableEdit;
using test::TCommandScene;
using test::TFakeButton;
using test::TFakeCheckBox;
using test::TFakeLabel;
using test::ToHex;
using test::TRecordingPainter;
using test::TXyz;

// Group "a" is the triangle 0 1 2 whose box is centred at (2, 1, 0); group "b" holds vertex 3,
// which lies inside that box, and 4 and 5 outside it.
const std::string kMesh =
    test::ObjText({{1, 0, 0}, {3, 0, 0}, {2, 2, 0}, {3, 1, 0}, {5, 0, 0}, {5, 1, 1}},
                  {{"a", {1, 2, 3}}, {"b", {4, 5, 6}}});

enum class TKind { Translate, ToZero, Rotate, Scale };

const char* KindName(TKind k) {
  switch (k) {
    case TKind::Translate:
      return "translate";
    case TKind::ToZero:
      return "translate to 0,0,0";
    case TKind::Rotate:
      return "rotate";
    case TKind::Scale:
      return "scale";
  }
  return "";
}

TSCTrasform& AddKind(TCommandScene& s, TKind k) {
  switch (k) {
    case TKind::Translate:
      return s.Add<TSCTranslate>();
    case TKind::ToZero:
      return s.Add<TSCTranslateToZero>();
    case TKind::Rotate:
      return s.Add<TSCRotate>();
    case TKind::Scale:
      return s.Add<TSCScale>();
  }
  return s.Add<TSCTranslate>();
}

// Adding a command: Prepare, SetObject with no object, then its controls.
template <class T = TSCTrasform>
T& AddCommand(TCommandScene& s, TSCTrasform& c) {
  c.Prepare();
  c.SetObject(std::monostate{});
  s.ShowControls(c);
  return static_cast<T&>(c);
}

using test::Coords;
using test::Shaped;
using test::TCoords;

struct TScene : TCommandScene {
  TScene() : TCommandScene(kMesh) {}
  explicit TScene(const std::string& obj) : TCommandScene(obj) {}
  void SelectGroup(const std::string& name) { Group(name).SelectFaces(true); }
  TBlankableEdit& Edit(std::size_t i) { return panel.Edit(i); }
  TFakeButton& Button() {
    for (const auto& c : panel.Controls())
      if (auto* b = dynamic_cast<TFakeButton*>(c.get())) return *b;
    throw std::runtime_error("no button");
  }
  TFakeCheckBox& CheckBox() {
    for (const auto& c : panel.Controls())
      if (auto* b = dynamic_cast<TFakeCheckBox*>(c.get())) return *b;
    throw std::runtime_error("no check box");
  }
};

// The field that drives each kind in the tests below: translate X, rotate's angle about Z,
// scale X.
std::size_t DrivingField(TKind k) { return k == TKind::Rotate ? 5 : 0; }

// ---------------------------------------------------------------------------------------------
// Moving

TEST(TransformsTest, NothingTakingPartMovesNothing) {
  for (TKind k : {TKind::Translate, TKind::ToZero, TKind::Rotate, TKind::Scale}) {
    SCOPED_TRACE(KindName(k));
    TScene s;
    const TCoords before = Coords(s.Mesh());
    TSCTrasform& c = AddKind(s, k);
    if (k == TKind::Translate) static_cast<TSCTranslate&>(c).Offset = {1, 2, 3};
    AddCommand(s, c);
    if (k != TKind::ToZero) {
      ASSERT_FALSE(s.panel.BlankEdits.empty());
      s.Edit(DrivingField(k)).Type(5);
    }
    EXPECT_EQ(Coords(s.Mesh()), before);
    if (k == TKind::Translate) {
      // The centre is the origin, so the fields show where the origin would go.
      EXPECT_EQ(s.Edit(1).Value(), -2);
      EXPECT_EQ(s.Edit(2).Value(), -3);
      EXPECT_EQ(static_cast<TSCTranslate&>(c).SelectionCentre(), (TVec3s{0, 0, 0}));
    }
  }
}

TEST(TransformsTest, NewTranslateMovesNothingAndShowsTheCentre) {
  TScene s;
  s.SelectGroup("a");
  const TCoords before = Coords(s.Mesh());
  auto& t = AddCommand<TSCTranslate>(s, s.Add<TSCTranslate>());
  EXPECT_EQ(Coords(s.Mesh()), before);
  EXPECT_EQ(t.Offset, (TVec3s{0, 0, 0}));
  EXPECT_EQ(t.Caption, "Translate");
  EXPECT_EQ(s.Edit(0).Value(), 2);
  EXPECT_EQ(s.Edit(1).Value(), 1);
  EXPECT_EQ(s.Edit(2).Value(), 0);
}

TEST(TransformsTest, TypingATargetMovesFullAndSoftVertices) {
  TScene s;
  s.SelectGroup("a");
  s.V(3).SetSoftWeight(0.5f);
  const TCoords before = Coords(s.Mesh());
  auto& t = AddCommand<TSCTranslate>(s, s.Add<TSCTranslate>());
  s.Edit(0).Type(5);
  EXPECT_EQ(t.Offset, (TVec3s{-3, 0, 0}));
  const double dx[6] = {3, 3, 3, 1.5, 0, 0};
  const TCoords after = Coords(s.Mesh());
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(after[i][0], before[i][0] + dx[i]);
    EXPECT_EQ(after[i][1], before[i][1]);
    EXPECT_EQ(after[i][2], before[i][2]);
  }
  // The group boxes follow.
  EXPECT_EQ(s.Group("a").BoxMax.X, 6);
  EXPECT_EQ(s.Group("a").Vertices[0].Shaped.X, 4);
}

TEST(TransformsTest, SoftWeightThresholds) {
  // Vertex 3 sits one unit right of the centre (2, 1, 0). Translate X typed 5 moves it by 3w,
  // rotate 90 about Z turns it by 90w degrees, scale X typed 2 moves it by 1 * w.
  struct TCase {
    TKind Kind;
    float Weight;
    bool Full;
  };
  const TCase cases[] = {
      {TKind::Translate, 0.5f, false},   {TKind::Translate, 0.9995f, false},
      {TKind::Translate, 0.9999f, true}, {TKind::Translate, 1.0f, true},
      {TKind::Rotate, 0.5f, false},      {TKind::Rotate, 0.999f, false},
      {TKind::Rotate, 0.9995f, true},    {TKind::Scale, 0.5f, false},
      {TKind::Scale, 0.999f, false},     {TKind::Scale, 0.9995f, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(KindName(c.Kind)) + " " + std::to_string(c.Weight));
    TScene s;
    s.SelectGroup("a");
    s.V(3).SetSoftWeight(c.Weight);
    AddCommand(s, AddKind(s, c.Kind));
    const double w = c.Full ? 1.0 : static_cast<double>(c.Weight);
    TXyz expected;
    switch (c.Kind) {
      case TKind::Translate:
        s.Edit(0).Type(5);
        expected = {3 + 3 * w, 1, 0};
        break;
      case TKind::Rotate: {
        s.Edit(5).Type(90);
        const double a = 90 * w * std::numbers::pi / 180;
        expected = {2 + std::cos(a), 1 + std::sin(a), 0};
        break;
      }
      default:
        s.Edit(0).Type(2);
        expected = {3 + w, 1, 0};
        break;
    }
    EXPECT_NEAR(s.V(3).X, expected.X, 2e-6);
    EXPECT_NEAR(s.V(3).Y, expected.Y, 2e-6);
    EXPECT_NEAR(s.V(3).Z, expected.Z, 2e-6);
  }
}

TEST(TransformsTest, XLockedVertexKeepsXWhileItsMorphPositionsMove) {
  // Group "a" has a target lying one unit above the base in z.
  struct TCase {
    TKind Kind;
    int Vertex;  // the locked vertex, an entry of group "a"
    std::vector<std::pair<std::size_t, double>> Typed;
    TXyz Moved;  // where the vertex would go without the lock
  };
  const TCase cases[] = {
      {TKind::Translate, 2, {{0, 5}, {1, 3}}, {5, 4, 0}},
      {TKind::Rotate, 2, {{5, 90}}, {1, 1, 0}},
      {TKind::Scale, 0, {{0, 2}, {1, 2}}, {0, -1, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(KindName(c.Kind));
    TScene s;
    s.SelectGroup("a");
    TMorphTarget& target = s.AddTarget(s.Group("a"), "up", {0, 0, 1});
    const int entry = s.Group("a").Vertices.IndexOfVertex(c.Vertex);
    ASSERT_GE(entry, 0);
    TObjVertex& v = s.V(c.Vertex);
    v.XLocked = true;
    const double x = v.X;
    const double y = v.Y;
    AddCommand(s, AddKind(s, c.Kind));
    for (const auto& [field, value] : c.Typed) s.Edit(field).Type(value);
    EXPECT_EQ(v.X, x);
    EXPECT_NE(v.Y, y);
    EXPECT_NEAR(v.Y, c.Moved.Y, 1e-6);
    // The target's position of that vertex moves in x all the same.
    const TBaseVertex& p = target.Positions[entry];
    EXPECT_NEAR(p.X, c.Moved.X, 1e-6);
    EXPECT_NEAR(p.Y, c.Moved.Y, 1e-6);
    EXPECT_NEAR(p.Z, 1, 1e-6);
  }
}

TEST(TransformsTest, ZeroTransformsRoundOnlyUnderRotationAndScaling) {
  for (TKind k : {TKind::Translate, TKind::Rotate, TKind::Scale}) {
    SCOPED_TRACE(KindName(k));
    TScene t(
        test::ObjText({{0.1, 0.2, 0.3}, {1.1, 0.7, 0.9}, {0.3, 1.3, 0.1}}, {{"a", {1, 2, 3}}}));
    t.SelectGroup("a");
    TMorphTarget& target = t.AddTarget(t.Group("a"), "m", {0.01, 0, 0});
    const TCoords before = Coords(t.Mesh());
    const TCoords morphBefore = Coords(target);
    TSCTrasform& c = AddKind(t, k);
    c.Prepare();
    c.Execute();
    const TCoords after = Coords(t.Mesh());
    const TCoords morphAfter = Coords(target);
    if (k == TKind::Translate) {
      EXPECT_EQ(after, before);
      EXPECT_EQ(morphAfter, morphBefore);
      continue;
    }
    auto checkRounded = [](const TCoords& was, const TCoords& now) {
      ASSERT_EQ(was.size(), now.size());
      for (std::size_t i = 0; i < was.size(); ++i)
        for (int a = 0; a < 3; ++a) {
          EXPECT_EQ(now[i][a], static_cast<double>(static_cast<float>(now[i][a])));
          EXPECT_NE(now[i][a], was[i][a]);
          EXPECT_NEAR(now[i][a], was[i][a], 1e-6);
        }
    };
    checkRounded(before, after);
    checkRounded(morphBefore, morphAfter);
  }
}

TEST(TransformsTest, RotationOrderIsXThenYThenZ) {
  struct TCase {
    TVec3s Angles, From, To;
  };
  const TCase cases[] = {
      {{90, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{90, 90, 0}, {0, 1, 0}, {1, 0, 0}},
      {{0, 90, 0}, {0, 0, 1}, {1, 0, 0}},  {{0, 0, 90}, {1, 0, 0}, {0, 1, 0}},
      {{0, 90, 90}, {0, 0, 1}, {0, 1, 0}}, {{180, 0, 0}, {0, 1, 0}, {0, -1, 0}},
  };
  for (const TCase& c : cases) {
    const TVec3s r = RotatePoint(c.From, {0, 0, 0}, c.Angles);
    EXPECT_NEAR(r.X, c.To.X, 1e-6);
    EXPECT_NEAR(r.Y, c.To.Y, 1e-6);
    EXPECT_NEAR(r.Z, c.To.Z, 1e-6);
  }
  // About another centre.
  const TVec3s r = RotatePoint({2, 2, 0}, {2, 1, 0}, {0, 0, 90});
  EXPECT_NEAR(r.X, 1, 1e-6);
  EXPECT_NEAR(r.Y, 1, 1e-6);

  // The command: centre fields typed 0 put the rotation centre at the origin.
  TScene s(test::ObjText({{0, 1, 0}, {0, 3, 0}, {0, 2, 1}}, {{"a", {1, 2, 3}}}));
  s.SelectGroup("a");
  auto& rot = AddCommand<TSCRotate>(s, s.Add<TSCRotate>());
  for (std::size_t i = 0; i < 3; ++i) s.Edit(i).Type(0);
  s.Edit(3).Type(90);
  s.Edit(4).Type(90);
  EXPECT_EQ(rot.CentreOffset, (TVec3s{0, 2, 0.5f}));
  EXPECT_NEAR(s.V(0).X, 1, 1e-6);
  EXPECT_NEAR(s.V(0).Y, 0, 1e-6);
  EXPECT_NEAR(s.V(0).Z, 0, 1e-6);
}

TEST(TransformsTest, UniformScaleSetsAllThreeFactors) {
  TScene s;
  s.SelectGroup("a");
  auto& sc = AddCommand<TSCScale>(s, s.Add<TSCScale>());
  EXPECT_FALSE(s.CheckBox().Checked());
  s.CheckBox().SetChecked(true);
  s.CheckBox().Changed();
  EXPECT_TRUE(sc.Uniform);
  EXPECT_EQ(sc.Factors, (TVec3s{1, 1, 1}));
  s.Edit(1).Type(2);
  EXPECT_EQ(sc.Factors, (TVec3s{2, 2, 2}));
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(s.Edit(i).Value(), 2);
  // Vertex 0 (1, 0, 0) doubles its distance from the centre (2, 1, 0) on every axis.
  EXPECT_EQ(s.V(0).X, 0);
  EXPECT_EQ(s.V(0).Y, -1);

  s.CheckBox().SetChecked(false);
  s.CheckBox().Changed();
  EXPECT_FALSE(sc.Uniform);
  EXPECT_EQ(sc.Factors, (TVec3s{2, 2, 2}));
  s.Edit(0).Type(3);
  EXPECT_EQ(sc.Factors, (TVec3s{3, 2, 2}));
  EXPECT_EQ(s.Edit(1).Value(), 2);
  EXPECT_EQ(s.V(0).X, -1);
}

TEST(TransformsTest, TranslateToZeroBringsTheCentreOfItsMomentToTheOrigin) {
  const std::string obj = test::ObjText({{0, 1, 2}, {2, 3, 4}, {1, 2, 3}, {9, 9, 9}, {8, 9, 9}},
                                        {{"a", {1, 2, 3}}, {"b", {4, 5, 3}}});
  {
    TScene s(obj);
    s.SelectGroup("a");
    const TCoords before = Coords(s.Mesh());
    auto& z = AddCommand<TSCTranslateToZero>(s, s.Add<TSCTranslateToZero>());
    EXPECT_EQ(z.Offset, (TVec3s{1, 2, 3}));
    EXPECT_EQ(z.Caption, "Translate to 0,0,0");
    EXPECT_TRUE(s.panel.Controls().empty());
    const TCoords after = Coords(s.Mesh());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(after[i][0], before[i][0] - 1);
      EXPECT_EQ(after[i][1], before[i][1] - 2);
      EXPECT_EQ(after[i][2], before[i][2] - 3);
    }
    EXPECT_EQ(after[3], before[3]);
  }
  {
    // Replayed after an earlier translation, with whatever Offset it was stored with.
    TScene s(obj);
    s.SelectGroup("a");
    const TCoords before = Coords(s.Mesh());
    auto& t = s.Add<TSCTranslate>();
    t.Offset = {-5, 0, 1};
    t.Prepare();
    t.Execute();
    t.Release();
    auto& z = s.Add<TSCTranslateToZero>();
    z.Offset = {7, 7, 7};
    z.Prepare();
    z.Execute();
    z.Release();
    EXPECT_EQ(s.live.SelectionCentre(), (TPoint3f{0, 0, 0}));
    const TCoords after = Coords(s.Mesh());
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(after[i][0], before[i][0] - 1);
      EXPECT_EQ(after[i][1], before[i][1] - 2);
      EXPECT_EQ(after[i][2], before[i][2] - 3);
    }
  }
}

TEST(TransformsTest, ResetOfARotation) {
  TScene s;
  s.SelectGroup("a");
  const TCoords before = Coords(s.Mesh());
  auto& rot = AddCommand<TSCRotate>(s, s.Add<TSCRotate>());
  s.Edit(3).Type(30);
  s.Edit(5).Type(45);
  s.Edit(0).Type(7);
  ASSERT_NE(Coords(s.Mesh()), before);
  s.Button().Changed();
  EXPECT_EQ(rot.Angles, (TVec3s{0, 0, 0}));
  EXPECT_EQ(rot.CentreOffset, (TVec3s{0, 0, 0}));
  const double shown[6] = {2, 1, 0, 0, 0, 0};
  for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(s.Edit(i).Value(), shown[i]);
  const TCoords after = Coords(s.Mesh());
  for (std::size_t i = 0; i < before.size(); ++i)
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(after[i][a], before[i][a], 1e-6);
}

TEST(TransformsTest, ResetOfTranslateAndScale) {
  {
    TScene s;
    s.SelectGroup("a");
    const TCoords before = Coords(s.Mesh());
    auto& t = AddCommand<TSCTranslate>(s, s.Add<TSCTranslate>());
    s.Edit(0).Type(5);
    s.Edit(2).Type(-1);
    s.Button().Changed();
    EXPECT_EQ(t.Offset, (TVec3s{0, 0, 0}));
    EXPECT_EQ(s.Edit(0).Value(), 2);
    EXPECT_EQ(s.Edit(2).Value(), 0);
    EXPECT_EQ(Coords(s.Mesh()), before);
  }
  {
    TScene s;
    s.SelectGroup("a");
    const TCoords before = Coords(s.Mesh());
    auto& sc = AddCommand<TSCScale>(s, s.Add<TSCScale>());
    s.Edit(0).Type(4);
    s.Button().Changed();
    EXPECT_EQ(sc.Factors, (TVec3s{1, 1, 1}));
    EXPECT_EQ(s.Edit(0).Value(), 1);
    EXPECT_EQ(Coords(s.Mesh()), before);
  }
}

TEST(TransformsTest, StoredTranslationMovesWhateverIsSelected) {
  struct TCase {
    const char* Group;
    std::vector<int> Moving;
    TXyz FieldsShow;  // the group's centre moved by the displacement
  };
  const TCase cases[] = {
      {"a", {0, 1, 2}, {3, 3, -0.5}},
      {"b", {3, 4, 5}, {5, 2.5, 0}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Group);
    TScene s;
    s.SelectGroup(c.Group);
    const TCoords before = Coords(s.Mesh());
    auto& t = s.Add<TSCTranslate>();
    t.Offset = {-1, -2, 0.5f};
    t.Prepare();
    t.Execute();
    s.ShowControls(t);
    EXPECT_EQ(s.Edit(0).Value(), c.FieldsShow.X);
    EXPECT_EQ(s.Edit(1).Value(), c.FieldsShow.Y);
    EXPECT_EQ(s.Edit(2).Value(), c.FieldsShow.Z);
    const TCoords after = Coords(s.Mesh());
    for (int i = 0; i < 6; ++i) {
      const bool moves = std::find(c.Moving.begin(), c.Moving.end(), i) != c.Moving.end();
      EXPECT_EQ(after[i][0], before[i][0] + (moves ? 1 : 0));
      EXPECT_EQ(after[i][1], before[i][1] + (moves ? 2 : 0));
      EXPECT_EQ(after[i][2], before[i][2] - (moves ? 0.5 : 0));
    }
  }
}

TEST(TransformsTest, ChangingAFieldTenTimesEqualsSettingItOnce) {
  for (TKind k : {TKind::Translate, TKind::Rotate, TKind::Scale}) {
    SCOPED_TRACE(KindName(k));
    auto run = [&](const std::vector<double>& typed) {
      auto s = std::make_unique<TScene>();
      s->SelectGroup("a");
      s->V(3).SetSoftWeight(0.3f);
      s->AddTarget(s->Group("a"), "m", {0.25, 0.5, 0}).Value = 0.5f;
      s->AddTarget(s->Group("b"), "n", {0, 0, -1}).Value = 1;
      s->Mesh().Groups.ForEach([](TGroup& g) { g.ApplyMorphTargets(); });
      AddCommand(*s, AddKind(*s, k));
      for (double v : typed) s->Edit(DrivingField(k)).Type(v);
      return s;
    };
    const auto many = run({1.5, 3, 7, 0.001, 12, 0.25, 3, 3, 100, 2.5});
    const auto once = run({2.5});
    EXPECT_EQ(Coords(many->Mesh()), Coords(once->Mesh()));
    EXPECT_EQ(Shaped(many->Mesh()), Shaped(once->Mesh()));
    EXPECT_EQ(Coords(*many->Group("a").MorphTargets[0]), Coords(*once->Group("a").MorphTargets[0]));
    EXPECT_EQ(Coords(*many->Group("b").MorphTargets[0]), Coords(*once->Group("b").MorphTargets[0]));
    EXPECT_NE(Coords(once->Mesh()), Coords(TScene().Mesh()));
  }
}

TEST(TransformsTest, BlankFieldIsIgnoredUntilItHoldsANumber) {
  for (TKind k : {TKind::Translate, TKind::Rotate, TKind::Scale}) {
    SCOPED_TRACE(KindName(k));
    TScene s;
    s.SelectGroup("a");
    TSCTrasform& c = AddCommand(s, AddKind(s, k));
    if (k == TKind::Scale) {
      s.CheckBox().SetChecked(true);
      s.CheckBox().Changed();
    }
    const std::size_t f = DrivingField(k);
    s.Edit(f).Type(3);
    const TCoords moved = Coords(s.Mesh());
    const std::vector<std::uint8_t> record = StoredBytes(c);
    std::vector<double> shown;
    for (const auto& e : s.panel.BlankEdits) shown.push_back(e->Value());

    s.Edit(f).SetValue(0);  // what an emptied field reads as
    s.Edit(f).Empty();
    EXPECT_EQ(Coords(s.Mesh()), moved);
    EXPECT_EQ(StoredBytes(c), record);
    for (std::size_t i = 0; i < shown.size(); ++i)
      if (i != f) {
        EXPECT_EQ(s.panel.BlankEdits[i]->Value(), shown[i]) << i;
      }

    s.Edit(f).Type(4);
    EXPECT_NE(Coords(s.Mesh()), moved);
  }
}

TEST(TransformsTest, ChangesAfterReleaseAreIgnored) {
  TScene s;
  s.SelectGroup("a");
  auto& t = AddCommand<TSCTranslate>(s, s.Add<TSCTranslate>());
  t.Release();
  const TCoords before = Coords(s.Mesh());
  s.Edit(0).Type(9);
  EXPECT_EQ(t.Offset, (TVec3s{0, 0, 0}));
  EXPECT_EQ(Coords(s.Mesh()), before);
}

// ---------------------------------------------------------------------------------------------
// Controls and overlay

struct TRow {
  std::string Label;
  TRect LabelBounds;
  TRect EditBounds;
};

void ExpectLayout(TScene& s, TStackCommand& c, const std::vector<std::string>& otherLabels,
                  const std::vector<TRow>& rows) {
  std::vector<TFakeLabel*> labels = s.panel.Labels();
  ASSERT_EQ(labels.size(), rows.size() + otherLabels.size());
  ASSERT_EQ(s.panel.BlankEdits.size(), rows.size());
  std::size_t row = 0;
  for (TFakeLabel* l : labels) {
    if (row < rows.size() && l->Text == rows[row].Label) {
      SCOPED_TRACE(l->Text);
      EXPECT_EQ(l->Bounds(), rows[row].LabelBounds);
      const TBlankableEdit& e = s.Edit(row);
      EXPECT_EQ(e.Bounds(), rows[row].EditBounds);
      EXPECT_EQ(e.Decimals, 4);
      EXPECT_EQ(e.Tag, &c);
      EXPECT_TRUE(static_cast<bool>(e.OnChange));
      ++row;
    }
  }
  EXPECT_EQ(row, rows.size());
}

TEST(TransformsTest, TranslateControls) {
  TScene s;
  auto& t = AddCommand<TSCTranslate>(s, s.Add<TSCTranslate>());
  ExpectLayout(s, t, {},
               {{"X:", {3, 8, 12, 13}, {18, 4, 70, 21}},
                {"Y:", {3, 30, 12, 13}, {18, 26, 70, 21}},
                {"Z:", {3, 52, 12, 13}, {18, 48, 70, 21}}});
  for (const auto& e : s.panel.BlankEdits) {
    EXPECT_EQ(e->Step, 0.0001);
    EXPECT_EQ(e->Minimum, 0);  // no range set
    EXPECT_EQ(e->Maximum, 0);
  }
  EXPECT_EQ(s.Button().Text, "Reset");
  EXPECT_EQ(s.Button().Bounds(), (TRect{10, 75, 60, 20}));
  EXPECT_EQ(s.Button().Tag, &t);
}

TEST(TransformsTest, RotateControls) {
  TScene s;
  auto& r = s.Add<TSCRotate>();
  r.Angles = {10, 20, 30};
  AddCommand(s, r);
  ExpectLayout(s, r, {"Rotation center", "Rotation"},
               {{"X:", {3, 21, 12, 13}, {18, 17, 70, 21}},
                {"Y:", {3, 43, 12, 13}, {18, 39, 70, 21}},
                {"Z:", {3, 65, 12, 13}, {18, 61, 70, 21}},
                {"X rot.:", {3, 106, 42, 13}, {48, 102, 70, 21}},
                {"Y rot.:", {3, 128, 42, 13}, {48, 124, 70, 21}},
                {"Z rot.:", {3, 150, 42, 13}, {48, 146, 70, 21}}});
  const std::vector<TFakeLabel*> labels = s.panel.Labels();
  EXPECT_EQ(labels[0]->Text, "Rotation center");
  EXPECT_EQ(labels[0]->Bounds(), (TRect{3, 3, 90, 13}));
  EXPECT_EQ(labels[4]->Text, "Rotation");
  EXPECT_EQ(labels[4]->Bounds(), (TRect{3, 88, 48, 13}));
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(s.Edit(i).Step, i < 3 ? 0.0001 : 1.0) << i;
    EXPECT_EQ(s.Edit(i).Maximum, 0) << i;
  }
  EXPECT_EQ(s.Edit(3).Value(), 10);
  EXPECT_EQ(s.Edit(5).Value(), 30);
  EXPECT_EQ(s.Button().Bounds(), (TRect{10, 173, 60, 20}));
}

TEST(TransformsTest, ScaleControls) {
  TScene s;
  auto& sc = s.Add<TSCScale>();
  sc.Factors = {2, 3, 4};
  sc.Uniform = true;
  AddCommand(s, sc);
  ExpectLayout(s, sc, {},
               {{"X:", {3, 8, 12, 13}, {18, 4, 70, 21}},
                {"Y:", {3, 30, 12, 13}, {18, 26, 70, 21}},
                {"Z:", {3, 52, 12, 13}, {18, 48, 70, 21}}});
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(s.Edit(i).Value(), 2.0 + static_cast<double>(i));
    EXPECT_EQ(s.Edit(i).Minimum, 0.0001);
    EXPECT_EQ(s.Edit(i).Maximum, 1000000);
    EXPECT_EQ(s.Edit(i).Step, 0.0001);
  }
  TFakeCheckBox& lock = s.CheckBox();
  EXPECT_EQ(lock.Text, "lock");
  EXPECT_TRUE(lock.Checked());
  EXPECT_EQ(lock.Bounds().Left, 5);
  EXPECT_EQ(lock.Bounds().Top, 74);
  EXPECT_EQ(lock.Bounds().Width, 100);
  EXPECT_EQ(lock.Tag, &sc);
  EXPECT_TRUE(static_cast<bool>(lock.OnChange));
  EXPECT_EQ(s.Button().Bounds(), (TRect{10, lock.Bounds().Bottom() + 6, 60, 20}));
}

TEST(TransformsTest, CentreMarkerOfEachKind) {
  struct TCase {
    TKind Kind;
    bool Drawn;
    TPoint3 At;
  };
  const TCase cases[] = {
      {TKind::Translate, true, {1, 3, -0.5f}},  // centre minus Offset
      {TKind::Rotate, true, {2, 0, 0}},         // centre minus CentreOffset
      {TKind::Scale, true, {2, 1, 0}},          // the centre
      {TKind::ToZero, false, {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(KindName(c.Kind));
    TScene s;
    s.SelectGroup("a");
    TSCTrasform& cmd = AddKind(s, c.Kind);
    cmd.Prepare();
    if (c.Kind == TKind::Translate) static_cast<TSCTranslate&>(cmd).Offset = {1, -2, 0.5f};
    if (c.Kind == TKind::Rotate) static_cast<TSCRotate&>(cmd).CentreOffset = {0, 1, 0};
    TRecordingPainter painter;
    cmd.DrawOverlay(painter);
    if (!c.Drawn) {
      EXPECT_TRUE(painter.Calls.empty());
      continue;
    }
    ASSERT_EQ(painter.Calls.size(), 1u);
    const auto& [segments, style] = painter.Calls[0];
    const float d = 0.2f;
    const TPoint3 p = c.At;
    const std::vector<TOverlaySegment> expected = {
        {p, {p.X - d, p.Y, p.Z}, {0.5f, 0, 0}}, {p, {p.X + d, p.Y, p.Z}, {1, 0, 0}},
        {p, {p.X, p.Y - d, p.Z}, {0, 0.5f, 0}}, {p, {p.X, p.Y + d, p.Z}, {0, 1, 0}},
        {p, {p.X, p.Y, p.Z - d}, {0, 0, 0.5f}}, {p, {p.X, p.Y, p.Z + d}, {0, 0, 1}},
    };
    EXPECT_EQ(segments, expected);
    EXPECT_EQ(style.Width, 1);
    EXPECT_FALSE(style.Lit);
    EXPECT_TRUE(style.Smooth);
    EXPECT_TRUE(style.Blend);
    EXPECT_EQ(style.StippleFactor, 1);
    EXPECT_EQ(style.StipplePattern, 0xCCCC);
  }
}

// ---------------------------------------------------------------------------------------------
// Stream records

TEST(TransformsTest, RecordsMatchTheirLayouts) {
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<TSCTrasform>()> Make;
    std::string Expected;
  };
  const TCase cases[] = {
      {"translate",
       [] {
         auto c = std::make_unique<TSCTranslate>(nullptr);
         c->Offset = {1.5f, -2, 0.25f};
         c->UpdateCaption();
         return c;
       },
       "7e 17 " + BaseHex("Translate") + "00 00 c0 3f  00 00 00 c0  00 00 80 3e " +
           StrHex("Translate")},
      {"translate to 0,0,0",
       [] {
         auto c = std::make_unique<TSCTranslateToZero>(nullptr);
         c->UpdateCaption();
         return c;
       },
       "7f 17 " + BaseHex("Translate to 0,0,0") + std::string(24, '0') + " " +
           StrHex("Translate to 0,0,0")},
      {"rotate",
       [] {
         auto c = std::make_unique<TSCRotate>(nullptr);
         c->Angles = {90, 0, -45};
         c->CentreOffset = {0.5f, 0, 1};
         c->UpdateCaption();
         return c;
       },
       "80 17 " + BaseHex("Rotate") + "00 00 b4 42  00 00 00 00  00 00 34 c2 " +
           "00 00 00 3f  00 00 00 00  00 00 80 3f " + StrHex("Rotate")},
      {"scale",
       [] {
         auto c = std::make_unique<TSCScale>(nullptr);
         c->Factors = {2, 1, 0.5f};
         c->Uniform = true;
         c->UpdateCaption();
         return c;
       },
       "81 17 " + BaseHex("Scale") + "00 00 00 40  00 00 80 3f  00 00 00 3f  01 " +
           StrHex("Scale")},
      {"scale as created", [] { return std::make_unique<TSCScale>(nullptr); },
       "81 17 " + BaseHex("NoName") + "00 00 80 3f  00 00 80 3f  00 00 80 3f  00 " +
           StrHex("Scale")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto command = c.Make();
    const std::vector<std::uint8_t> bytes = StoredBytes(*command);
    EXPECT_EQ(bytes, Hex(c.Expected)) << ToHex(bytes);
    const auto back = ReloadCommand(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->StreamId(), command->StreamId());
    EXPECT_EQ(back->Caption, command->Caption);
    EXPECT_EQ(StoredBytes(*back), bytes);
    const auto* loaded = dynamic_cast<const TSCTrasform*>(back.get());
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->Backups.empty());
    EXPECT_TRUE(loaded->MorphEntries.empty());
    EXPECT_FALSE(loaded->Failed);
  }
}

TEST(TransformsTest, LoadedCommandsKeepTheirParametersButNotTheCentre) {
  TScene s;
  s.SelectGroup("a");
  auto& t = s.Add<TSCTranslate>();
  t.Offset = {1, 2, 3};
  t.CaptionFormat = "Move";
  t.Prepare();
  ASSERT_EQ(t.SelectionCentre(), (TVec3s{2, 1, 0}));
  const auto back = ReloadCommand(StoredBytes(t));
  const auto& loaded = dynamic_cast<const TSCTranslate&>(*back);
  EXPECT_EQ(loaded.Offset, (TVec3s{1, 2, 3}));
  EXPECT_EQ(loaded.CaptionFormat, "Move");
  EXPECT_EQ(loaded.SelectionCentre(), (TVec3s{0, 0, 0}));
  EXPECT_EQ(loaded.Manager, nullptr);
}

}  // namespace
}  // namespace tarvel
