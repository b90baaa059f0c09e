#include "commands/Organic.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/CommandFakes.h"
#include "stack/CommandFields.h"
#include "stack/StackFile.h"
#include "stack/StackFileFixture.h"

namespace tarvel {

namespace {

using test::BaseHex;
using test::Hex;
using test::ReloadCommand;
using test::StoredBytes;
using test::StrHex;
using test::TCommandScene;
using test::TFakeCheckBox;
using test::ToHex;
using test::TXyz;

using test::Coords;
using test::Shaped;
using test::TCoords;

void ExpectNear(const TCoords& got, const TCoords& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (std::size_t i = 0; i < got.size(); ++i)
    for (std::size_t a = 0; a < 3; ++a)
      EXPECT_NEAR(got[i][a], expected[i][a], 1e-12) << "vertex " << i << " axis " << a;
}

// The cube from -1 to 1, every face turned outwards, each face its own group.
const std::string kCube = test::ObjText({{-1, -1, -1},
                                         {1, -1, -1},
                                         {1, 1, -1},
                                         {-1, 1, -1},
                                         {-1, -1, 1},
                                         {1, -1, 1},
                                         {1, 1, 1},
                                         {-1, 1, 1}},
                                        {{"bottom", {1, 4, 3, 2}},
                                         {"top", {5, 6, 7, 8}},
                                         {"front", {1, 2, 6, 5}},
                                         {"back", {4, 8, 7, 3}},
                                         {"right", {1, 5, 8, 4}},
                                         {"left", {2, 3, 7, 6}}});

// A flat grid of 3 x 3 vertices in z = 0 (four quads facing +z), its middle vertex raised to
// z = 1 when `raised`. Every vertex but the middle one lies on the open border.
std::string Grid(bool raised) {
  std::vector<TXyz> v;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      v.push_back({double(x), double(y), x == 1 && y == 1 && raised ? 1.0 : 0.0});
  return test::ObjText(v, {{"grid", {1, 2, 5, 4}},
                           {"grid", {2, 3, 6, 5}},
                           {"grid", {4, 5, 8, 7}},
                           {"grid", {5, 6, 9, 8}}});
}

// Two triangles folded along the edge 1-3, in two groups: "a" in z = 0 facing +z, "b" in x = 0
// facing +x.
const std::string kFold = test::ObjText({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
                                        {{"a", {1, 2, 3}}, {"b", {1, 3, 4}}});

struct TScene : TCommandScene {
  explicit TScene(const std::string& obj) : TCommandScene(obj) {}
  void SelectAll() { Mesh().SelectAllFaces(true); }
  // Adding: Prepare, SetObject with no object, then the controls.
  template <class T>
  T& AddModifier(std::function<void(T&)> setup = {}) {
    T& c = Add<T>();
    if (setup) setup(c);
    c.Prepare();
    c.SetObject(std::monostate{});
    ShowControls(c);
    return c;
  }
};

TEST(OrganicTest, SmallMeshesMoveByHand) {
  const double r3 = 1 / std::sqrt(3.0);
  const double s2 = std::sqrt(2.0);
  auto inflate = [](double d) {
    return [d](TScene& s) { s.AddModifier<TSCInflate>([d](TSCInflate& c) { c.Distance = d; }); };
  };
  auto smooth = [](int n, double strength, bool keep) {
    return [=](TScene& s) {
      s.AddModifier<TSCSmooth>([=](TSCSmooth& c) {
        c.Iterations = n;
        c.Strength = strength;
        c.KeepBorders = keep;
      });
    };
  };
  auto cubeScaled = [](double f) {
    TCoords out;
    for (int i = 0; i < 8; ++i) {
      const double x = (i == 1 || i == 2 || i == 5 || i == 6) ? 1 : -1;
      const double y = (i == 2 || i == 3 || i == 6 || i == 7) ? 1 : -1;
      const double z = i >= 4 ? 1 : -1;
      out.push_back({x * f, y * f, z * f});
    }
    return out;
  };
  struct TCase {
    const char* Name;
    std::string Obj;
    std::function<void(TScene&)> Select;
    std::function<void(TScene&)> Run;
    TCoords Expected;
  };
  const TCase cases[] = {
      {"cube inflates along the corner diagonals", kCube, [](TScene& s) { s.SelectAll(); },
       inflate(0.5), cubeScaled(1 + 0.5 * r3)},
      {"cube deflates", kCube, [](TScene& s) { s.SelectAll(); }, inflate(-0.25),
       cubeScaled(1 - 0.25 * r3)},
      {"normals count faces that do not take part", kCube,
       [](TScene& s) { s.Group("top").SelectFaces(true); }, inflate(std::sqrt(3.0)),
       [&] {
         TCoords c = cubeScaled(1);
         for (int i = 4; i < 8; ++i)
           for (auto& a : c[static_cast<std::size_t>(i)]) a *= 2;
         return c;
       }()},
      {"cube smooths towards its centre", kCube, [](TScene& s) { s.SelectAll(); },
       smooth(1, 0.5, true), cubeScaled(2.0 / 3)},
      {"two iterations start from the first one's result", kCube, [](TScene& s) { s.SelectAll(); },
       smooth(2, 0.5, true), cubeScaled(4.0 / 9)},
      {"X-locked corner keeps its x in every iteration", kCube,
       [](TScene& s) {
         s.SelectAll();
         s.V(6).XLocked = true;
       },
       smooth(2, 0.5, true),
       [] {
         // After one iteration every corner is at 2/3 of itself but (1, 1, 1), which keeps
         // x = 1; the second iteration sees that x at the three neighbours of that corner.
         const double f = 4.0 / 9;
         return TCoords{{-f, -f, -f}, {f, -f, -f},  {0.5, f, -f}, {-f, f, -f},
                        {-f, -f, f},  {0.5, -f, f}, {1, f, f},    {-7.0 / 18, f, f}};
       }()},
      {"X-locked corner inflates in y and z only", kCube,
       [](TScene& s) {
         s.SelectAll();
         s.V(6).XLocked = true;
       },
       inflate(std::sqrt(3.0)),
       [] {
         TCoords c = {{-2, -2, -2}, {2, -2, -2}, {2, 2, -2}, {-2, 2, -2},
                      {-2, -2, 2},  {2, -2, 2},  {1, 2, 2},  {-2, 2, 2}};
         return c;
       }()},
      {"flat grid inflates along +z with soft weights",
       Grid(false),
       [](TScene& s) {
         s.V(0).SetSoftWeight(0.5f);
         s.V(1).SetSoftWeight(0.99995f);
         s.V(4).SetSoftWeight(0.25f);
       },
       inflate(2),
       {{0, 0, 1},
        {1, 0, 2},
        {2, 0, 0},
        {0, 1, 0},
        {1, 1, 0.5},
        {2, 1, 0},
        {0, 2, 0},
        {1, 2, 0},
        {2, 2, 0}}},
      {"kept borders stay, the middle falls",
       Grid(true),
       [](TScene& s) { s.SelectAll(); },
       smooth(2, 0.5, true),
       {{0, 0, 0},
        {1, 0, 0},
        {2, 0, 0},
        {0, 1, 0},
        {1, 1, 0.25},
        {2, 1, 0},
        {0, 2, 0},
        {1, 2, 0},
        {2, 2, 0}}},
      {"free borders move too",
       Grid(true),
       [](TScene& s) { s.SelectAll(); },
       smooth(1, 0.5, false),
       {{0.25, 0.25, 0},
        {1, 1.0 / 6, 1.0 / 6},
        {1.75, 0.25, 0},
        {1.0 / 6, 1, 1.0 / 6},
        {1, 1, 0.5},
        {2 - 1.0 / 6, 1, 1.0 / 6},
        {0.25, 1.75, 0},
        {1, 2 - 1.0 / 6, 1.0 / 6},
        {1.75, 1.75, 0}}},
      {"a soft weight scales the strength; neighbours need not take part",
       Grid(true),
       [](TScene& s) { s.V(4).SetSoftWeight(0.5f); },
       smooth(1, 1, true),
       {{0, 0, 0},
        {1, 0, 0},
        {2, 0, 0},
        {0, 1, 0},
        {1, 1, 0.5},
        {2, 1, 0},
        {0, 2, 0},
        {1, 2, 0},
        {2, 2, 0}}},
      {"nothing taking part moves nothing",
       Grid(true),
       [](TScene&) {},
       smooth(3, 1, false),
       {{0, 0, 0},
        {1, 0, 0},
        {2, 0, 0},
        {0, 1, 0},
        {1, 1, 1},
        {2, 1, 0},
        {0, 2, 0},
        {1, 2, 0},
        {2, 2, 0}}},
      {"a seam vertex takes the normal of both groups' faces",
       kFold,
       [](TScene& s) { s.SelectAll(); },
       inflate(s2),
       {{1, 0, 1}, {1, 0, s2}, {1, 1, 1}, {s2, 0, 1}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TScene s(c.Obj);
    c.Select(s);
    c.Run(s);
    ExpectNear(Coords(s.Mesh()), c.Expected);
  }
}

TEST(OrganicTest, SeamVerticesMoveOnceAndTheirMorphPositionsFollowInEveryGroup) {
  TScene s(kFold);
  TMorphTarget& ta = s.AddTarget(s.Group("a"), "ta", {0, 0, 0.5});
  TMorphTarget& tb = s.AddTarget(s.Group("b"), "tb", {0.5, 0, 0});
  ta.Value = 1;
  tb.Value = 1;
  s.Mesh().Groups.ForEach([](TGroup& g) { g.ApplyMorphTargets(); });
  const TCoords beforeA = Coords(ta), beforeB = Coords(tb);
  s.SelectAll();
  auto& inflate = s.AddModifier<TSCInflate>();
  s.panel.Edit(0).Type(0.25);
  EXPECT_EQ(inflate.Distance, 0.25);
  EXPECT_EQ(inflate.Caption, "Inflate 0.25");

  // Every morph position moved by its vertex's displacement, the seam's in both groups alike.
  const TCoords now = Coords(s.Mesh());
  const TCoords start = [&] {
    TScene fresh(kFold);
    return Coords(fresh.Mesh());
  }();
  auto moved = [&](const TCoords& before, const TGroup& g, std::size_t k) {
    const auto v = static_cast<std::size_t>(g.Vertices[static_cast<std::int32_t>(k)].VertexIndex);
    std::array<double, 3> p{};
    for (std::size_t a = 0; a < 3; ++a) p[a] = before[k][a] + now[v][a] - start[v][a];
    return p;
  };
  for (std::size_t k = 0; k < 3; ++k) {
    for (std::size_t a = 0; a < 3; ++a) {
      EXPECT_NEAR(Coords(ta)[k][a], moved(beforeA, s.Group("a"), k)[a], 1e-12);
      EXPECT_NEAR(Coords(tb)[k][a], moved(beforeB, s.Group("b"), k)[a], 1e-12);
    }
  }
  // Vertex 1 (index 0) is in both groups; its two shaped positions differ only by the dials,
  // which moved with it: no crack opens.
  const TGroupVertex& inA = s.Group("a").Vertices[0];
  const TGroupVertex& inB = s.Group("b").Vertices[0];
  ASSERT_EQ(inA.VertexIndex, 0);
  ASSERT_EQ(inB.VertexIndex, 0);
  EXPECT_NEAR(inA.Shaped.X - now[0][0], 0, 1e-6);
  EXPECT_NEAR(inA.Shaped.Z - now[0][2], 0.5, 1e-6);
  EXPECT_NEAR(inB.Shaped.X - now[0][0], 0.5, 1e-6);
  EXPECT_NEAR(inB.Shaped.Z - now[0][2], 0, 1e-6);
}

TEST(OrganicTest, ChangingAParameterTenTimesEqualsSettingItOnce) {
  struct TCase {
    const char* Name;
    std::function<void(TScene&)> Add;
    std::size_t Field;
    std::vector<double> Many;
    double Once;
  };
  auto addInflate = [](TScene& s) { s.AddModifier<TSCInflate>(); };
  auto addSmooth = [](TScene& s) { s.AddModifier<TSCSmooth>(); };
  const TCase cases[] = {
      {"inflate distance", addInflate, 0, {0.5, -1, 3, 0.001, 12, 0.25, 3, 3, 100, 0.125}, 0.125},
      {"smooth iterations", addSmooth, 0, {1, 7, 3, 1000, 2, 9, 4, 4, 12, 3}, 3},
      {"smooth strength", addSmooth, 1, {1, 0, 0.3, 0.9, 0.1, 0.5, 1, 0.2, 0.2, 0.75}, 0.75},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    auto run = [&](const std::vector<double>& typed) {
      auto s = std::make_unique<TScene>(Grid(true));
      s->Group("grid").SelectFaces(true);
      s->V(8).SetSoftWeight(0.3f);
      s->AddTarget(s->Group("grid"), "m", {0.25, 0.5, 0}).Value = 0.5f;
      s->Mesh().Groups.ForEach([](TGroup& g) { g.ApplyMorphTargets(); });
      s->Mesh().Faces[3].SetSelected(false);  // vertex 9 keeps only its soft weight
      c.Add(*s);
      for (double v : typed) s->panel.Edit(c.Field).Type(v);
      return s;
    };
    const auto many = run(c.Many);
    const auto once = run({c.Once});
    EXPECT_EQ(Coords(many->Mesh()), Coords(once->Mesh()));
    EXPECT_EQ(Shaped(many->Mesh()), Shaped(once->Mesh()));
    EXPECT_EQ(Coords(*many->Group("grid").MorphTargets[0]),
              Coords(*once->Group("grid").MorphTargets[0]));
    EXPECT_NE(Coords(once->Mesh()), Coords(TScene(Grid(true)).Mesh()));
  }
}

TEST(OrganicTest, ControlsEditTheParametersAndTheCaption) {
  TScene s(Grid(true));
  s.SelectAll();
  auto& smooth = s.AddModifier<TSCSmooth>();
  EXPECT_EQ(smooth.Caption, "Smooth 5 x 0.5");
  ASSERT_EQ(s.panel.BlankEdits.size(), 2u);
  EXPECT_EQ(s.panel.Edit(0).Value(), 5);
  EXPECT_EQ(s.panel.Edit(1).Value(), 0.5);
  TFakeCheckBox* keep = nullptr;
  for (const auto& control : s.panel.Controls())
    if (auto* b = dynamic_cast<TFakeCheckBox*>(control.get())) keep = b;
  ASSERT_NE(keep, nullptr);
  EXPECT_TRUE(keep->Checked());

  s.panel.Edit(0).Type(2.6);  // whole iterations only
  EXPECT_EQ(smooth.Iterations, 3);
  s.panel.Edit(0).Type(5000);
  EXPECT_EQ(smooth.Iterations, 1000);
  s.panel.Edit(1).Type(1.5);
  EXPECT_EQ(smooth.Strength, 1);
  s.panel.Edit(1).Type(0.25);
  s.panel.Edit(0).Type(2);
  EXPECT_EQ(smooth.Caption, "Smooth 2 x 0.25");
  const TCoords kept = Coords(s.Mesh());
  EXPECT_EQ(kept[0], (std::array<double, 3>{0, 0, 0})) << "border kept";
  s.panel.Edit(1).Empty();
  EXPECT_EQ(smooth.Strength, 0.25) << "an emptied field is ignored";
  EXPECT_EQ(Coords(s.Mesh()), kept);
  keep->SetChecked(false);
  keep->Changed();
  EXPECT_FALSE(smooth.KeepBorders);
  EXPECT_NE(Coords(s.Mesh())[0], kept[0]);

  auto& inflate = s.AddModifier<TSCInflate>();
  EXPECT_EQ(inflate.Caption, "Inflate 0");
  s.panel.Edit(0).Type(0.002);
  EXPECT_EQ(inflate.Caption, "Inflate 0.002");
  s.panel.Edit(0).Type(-1.5);
  EXPECT_EQ(inflate.Caption, "Inflate -1.5");
  inflate.Release();
  s.panel.Edit(0).Type(7);
  EXPECT_EQ(inflate.Distance, -1.5) << "changes after Release are ignored";
}

TEST(OrganicTest, RecordsMatchTheirLayouts) {
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<TSCOrganic>()> Make;
    std::string Expected;
  };
  const TCase cases[] = {
      {"inflate",
       [] {
         auto c = std::make_unique<TSCInflate>(nullptr);
         c->Distance = 0.002;
         c->UpdateCaption();
         return c;
       },
       "91 17 " + BaseHex("Inflate 0.002") + StrHex("Inflate") + "fc a9 f1 d2 4d 62 60 3f "},
      {"inflate as created", [] { return std::make_unique<TSCInflate>(nullptr); },
       "91 17 " + BaseHex("NoName") + StrHex("Inflate") + std::string(16, '0') + " "},
      {"smooth",
       [] {
         auto c = std::make_unique<TSCSmooth>(nullptr);
         c->UpdateCaption();
         return c;
       },
       "92 17 " + BaseHex("Smooth 5 x 0.5") + StrHex("Smooth") +
           "05 00 00 00  00 00 00 00 00 00 e0 3f  01 "},
      {"smooth of 1000 at full strength, free borders",
       [] {
         auto c = std::make_unique<TSCSmooth>(nullptr);
         c->Iterations = 1000;
         c->Strength = 1;
         c->KeepBorders = false;
         c->UpdateCaption();
         return c;
       },
       "92 17 " + BaseHex("Smooth 1000 x 1") + StrHex("Smooth") +
           "e8 03 00 00  00 00 00 00 00 00 f0 3f  00 "},
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
  }
}

TEST(OrganicTest, DamagedRecordsAreRefusedWithTheReason) {
  auto smoothBytes = [](std::int32_t iterations, double strength) {
    TSCSmooth c(nullptr);
    c.Iterations = iterations;
    c.Strength = strength;
    return StoredBytes(c);
  };
  TSCInflate nan(nullptr);
  nan.Distance = std::nan("");
  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    const char* Reason;
  };
  const TCase cases[] = {
      {"no iterations", smoothBytes(0, 0.5), "iteration count outside 1 to 1000"},
      {"too many iterations", smoothBytes(1001, 0.5), "iteration count outside 1 to 1000"},
      {"strength above 1", smoothBytes(5, 1.5), "strength outside 0 to 1"},
      {"strength not a number", smoothBytes(5, std::nan("")), "strength outside 0 to 1"},
      {"distance not a number", StoredBytes(nan), "distance that is not a number"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TObjectStream s(c.Bytes);
    try {
      s.GetAs<TStackCommand>();
      ADD_FAILURE() << "read";
    } catch (const EObjectStream& e) {
      EXPECT_NE(std::string(e.what()).find(c.Reason), std::string::npos) << e.what();
    }
  }
}

// A walk over a command's fields that writes every value it meets as text, or, when reading,
// puts the given numbers into the fields it knows.
class TFieldWalk : public ICommandFields {
 public:
  explicit TFieldWalk(std::map<std::string, double> given = {})
      : given_(std::move(given)), reading_(!given_.empty()) {}
  bool Reading() const override { return reading_; }
  void Field(const char* key, std::int32_t& v) override { Take(key, v); }
  void Field(const char* key, float& v) override { Take(key, v); }
  void Field(const char* key, double& v) override { Take(key, v); }
  void Field(const char* key, bool& v) override { Take(key, v); }
  void Field(const char* key, std::string& v) override { Seen += std::string(key) + "=" + v + " "; }
  void Vector(const char* key, float&, float&, float&) override { Seen += key; }
  void Choice(const char* key, std::int32_t&, std::span<const char* const>) override {
    Seen += key;
  }
  std::string Seen;

 private:
  template <class T>
  void Take(const char* key, T& v) {
    if (auto it = given_.find(key); reading_ && it != given_.end()) v = static_cast<T>(it->second);
    std::ostringstream text;
    text << key << "=" << v << " ";
    Seen += text.str();
  }
  std::map<std::string, double> given_;
  bool reading_;
};

TEST(OrganicTest, FieldsWalkTheStoredParametersAndReadersStayInRange) {
  TSCInflate inflate(nullptr);
  inflate.Distance = -0.5;
  TFieldWalk look;
  inflate.Fields(look);
  EXPECT_EQ(look.Seen, "distance=-0.5 ");
  TSCSmooth smooth(nullptr);
  TFieldWalk lookSmooth;
  smooth.Fields(lookSmooth);
  EXPECT_EQ(lookSmooth.Seen, "iterations=5 strength=0.5 keep-borders=1 ");

  struct TCase {
    std::map<std::string, double> Given;
    std::int32_t Iterations;
    double Strength;
  };
  const TCase cases[] = {
      {{{"iterations", 12}, {"strength", 0.25}}, 12, 0.25},
      {{{"iterations", 0}, {"strength", -1}}, 1, 0},
      {{{"iterations", 5000}, {"strength", 7}}, 1000, 1},
      {{{"strength", std::nan("")}}, 5, 0},
  };
  for (const TCase& c : cases) {
    TSCSmooth read(nullptr);
    TFieldWalk walk(c.Given);
    read.Fields(walk);
    EXPECT_EQ(read.Iterations, c.Iterations) << walk.Seen;
    EXPECT_EQ(read.Strength, c.Strength) << walk.Seen;
  }
  TSCInflate read(nullptr);
  TFieldWalk walk({{"distance", std::numeric_limits<double>::infinity()}});
  read.Fields(walk);
  EXPECT_EQ(read.Distance, 0) << "a distance that is not finite reads as 0";
}

TEST(OrganicTest, CaptionNumbers) {
  const std::pair<double, const char*> cases[] = {
      {0.002, "0.002"}, {-1.5, "-1.5"}, {5, "5"}, {-0.0, "0"}, {0.1, "0.1"}, {1e-4, "0.0001"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(CaptionNumber(value), text) << value;
}

// ---------------------------------------------------------------------------------------------
// In the stack

class OrganicStackTest : public test::StackFileFixture {
 protected:
  std::string File(const std::string& name) const { return (dir_.Path() / name).string(); }
  // Types into the current command's number field.
  void Type(std::size_t field, double value) {
    const std::vector<test::TFakeNumberEdit*> edits = window_.Params.Edits();
    ASSERT_LT(field, edits.size());
    edits[field]->Type(value);
  }
  // Select all, inflate 0.125, smooth 3 x 0.75: the last line current.
  void BuildStack() {
    controller_.NewStack(Target());
    Add(7);
    Add<TSCInflate>(1501);
    Type(0, 0.125);
    Add<TSCSmooth>(1502);
    Type(0, 3);
    Type(1, 0.75);
    // Every vertex of the small figure lies on an open border.
    for (const auto& control : window_.Params.Controls())
      if (auto* box = dynamic_cast<TFakeCheckBox*>(control.get())) {
        box->SetChecked(false);
        box->Changed();
      }
  }
};

TEST_F(OrganicStackTest, ReplayFromThePristineCopyGivesTheEditedMesh) {
  BuildStack();
  ASSERT_EQ(window_.Lines.size(), 4u);
  EXPECT_EQ(window_.Lines[2], "Inflate 0.125");
  EXPECT_EQ(window_.Lines[3], "Smooth 3 x 0.75");
  EXPECT_FALSE(dynamic_cast<const TSCSmooth&>(*Stack().Command(3)).KeepBorders);
  const TCoords edited = Coords(Mesh());
  const TCoords raised = Coords(*Mesh().GroupByName("hat")->MorphTargets[0]);
  controller_.MakeCurrent(0);
  const TCoords pristine = Coords(Mesh());
  EXPECT_NE(pristine, edited);
  controller_.MakeCurrent(3);
  EXPECT_EQ(Coords(Mesh()), edited);
  EXPECT_EQ(Coords(*Mesh().GroupByName("hat")->MorphTargets[0]), raised);
  // Going back one line undoes only the smoothing.
  controller_.MakeCurrent(2);
  const TCoords inflated = Coords(Mesh());
  EXPECT_NE(inflated, edited);
  EXPECT_NE(inflated, pristine);
  controller_.MakeCurrent(3);
  EXPECT_EQ(Coords(Mesh()), edited);
}

TEST_F(OrganicStackTest, StoredStackRelinksOnAnotherCopyOfTheFigure) {
  BuildStack();
  const TCoords edited = Coords(Mesh());
  const std::string file = File("organic.stk");
  ASSERT_TRUE(controller_.SaveStack(file));

  test::TFakeWindow window;
  TStackController other(window);
  test::AddFixedFigure(other.Live(), dir_, "copy");
  ASSERT_TRUE(other.LoadStack(file));
  ASSERT_EQ(window.Lines.size(), 4u);
  EXPECT_EQ(window.Lines[2], "Inflate 0.125");
  const auto* smooth = dynamic_cast<const TSCSmooth*>(other.Stack()->Command(3));
  ASSERT_NE(smooth, nullptr);
  EXPECT_EQ(smooth->Iterations, 3);
  EXPECT_EQ(smooth->Strength, 0.75);
  EXPECT_FALSE(smooth->KeepBorders);
  other.MakeCurrent(3);
  EXPECT_EQ(Coords(*other.Live().Mesh(0)), edited);
}

// The stream classes of the version before the organic modifiers.
TStreamRegistry PreviousRegistry() {
  return StreamRegistry().Without({TSCInflate::kStreamId, TSCSmooth::kStreamId});
}

TEST_F(OrganicStackTest, ReadersWithoutTheNewKindsRefuseThemAndEarlierFilesStillLoad) {
  BuildStack();
  const std::string file = File("organic.stk");
  ASSERT_TRUE(controller_.SaveStack(file));
  const TStreamRegistry previous = PreviousRegistry();
  TObjectStream s(test::FileBytes(file));
  s.SetRegistry(previous);
  try {
    ReadStack(s);
    ADD_FAILURE() << "read";
  } catch (const EObjectStream& e) {
    EXPECT_NE(std::string(e.what()).find("unknown command kind 6033"), std::string::npos)
        << e.what();
  }
  // The file of every earlier kind reads with both registries alike.
  const std::vector<std::uint8_t> every = test::FileBytes(test::DataFile("every_kind.stk"));
  TObjectStream old(every);
  old.SetRegistry(previous);
  const std::unique_ptr<TStackMng> a = ReadStack(old);
  TObjectStream now(every);
  const std::unique_ptr<TStackMng> b = ReadStack(now);
  EXPECT_EQ(StoredBytes(*a), StoredBytes(*b));
  EXPECT_EQ(StoredBytes(*b), every);
}

}  // namespace
}  // namespace tarvel
