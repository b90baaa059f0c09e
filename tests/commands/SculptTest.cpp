#include "commands/Sculpt.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"
#include "stack/SelectCommands.h"
#include "stack/StackController.h"
#include "stack/StackMng.h"

namespace tarvel {
namespace {

using test::TFakeWindow;
using test::TTempDir;

struct TD {
  double X = 0, Y = 0, Z = 0;
};

// Sculpt text: every vertex of `mesh` moved by `move(index)`, with the lines another program
// adds (texture coordinates, groups, faces) that the command ignores.
std::string SculptText(const TObjData& mesh, const std::function<TD(std::int32_t)>& move,
                       std::int32_t drop = 0) {
  std::string out = "# exported by a sculpting program\r\nmtllib x.mtl\r\n";
  char buf[160];
  const std::int32_t n = mesh.Vertices.Count() - drop;
  for (std::int32_t i = 0; i < n; ++i) {
    const TObjVertex& v = mesh.Vertices[i];
    const TD d = move(i);
    std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f\r\nvt 0.5 0.5\r\n", v.X + d.X, v.Y + d.Y,
                  v.Z + d.Z);
    out += buf;
  }
  out += "g body\r\nf 1 2 3\r\n";
  return out;
}

std::string Text6(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6f", v);
  return buf;
}

// A chooser that hands out queued files.
struct TChooser : ISculptFileChooser {
  std::optional<std::string> ChooseSculptFile(const std::string&) override {
    ++Asked;
    if (Files.empty()) return std::nullopt;
    std::string f = Files.front();
    Files.erase(Files.begin());
    return f;
  }
  std::vector<std::string> Files;
  int Asked = 0;
};

class SculptTest : public ::testing::Test {
 protected:
  SculptTest() : controller(window) { window.Chooser = &chooser; }

  TObjData& LoadFigure(const std::string& text = test::kFigure) {
    return test::AddMesh(controller.Live(), dir, text);
  }
  TObjData& LoadSample() {
    return *controller.Live().AddObjFile(std::string(TARVEL_SAMPLES_DIR) + "/figure.obj");
  }
  TObjData& Mesh() { return *controller.Live().Mesh(0); }
  const TCommandDescriptor& Kind(std::int32_t id) {
    return *FindStackTarget(1)->FindDescriptor(id);
  }
  // A new stack with the given commands before the sculpt, then the sculpt of `file`.
  TSCUseSculpt& AddSculpt(const std::string& file, std::initializer_list<std::int32_t> before,
                          const TSceneChoice& choice = {}) {
    if (!controller.Stack()) controller.NewStack(*FindStackTarget(1));
    for (std::int32_t id : before) controller.AddCommand(Kind(id), choice);
    chooser.Files = {file};
    controller.AddCommand(Kind(1503));
    auto* c = dynamic_cast<TSCUseSculpt*>(controller.SelectedCommand());
    EXPECT_NE(c, nullptr);
    return *c;
  }
  TD At(std::int32_t v) {
    const TObjVertex& x = Mesh().Vertices[v];
    return {x.X, x.Y, x.Z};
  }
  TD PristineAt(std::int32_t v) {
    const TObjVertex& x = controller.Stack()->Pristine->Mesh(0)->Vertices[v];
    return {x.X, x.Y, x.Z};
  }
  std::string MessageLine() {
    std::string last;
    for (const auto& c : window.Params.Controls())
      if (auto* t = dynamic_cast<test::TFakeTextLine*>(c.get())) last = t->Text;
    return last;
  }

  TTempDir dir;
  TFakeWindow window;
  TStackController controller;
  TChooser chooser;
};

void ExpectNear(const TD& got, const TD& want, const char* what) {
  EXPECT_NEAR(got.X, want.X, 1e-12) << what;
  EXPECT_NEAR(got.Y, want.Y, 1e-12) << what;
  EXPECT_NEAR(got.Z, want.Z, 1e-12) << what;
}

TEST_F(SculptTest, SampleFigureSculptBecomesTargetsOfTheChangedGroupsOnly) {
  TObjData& mesh = LoadSample();
  std::set<std::int32_t> moved;
  for (const char* name : {"head", "lHand"})
    for (const TGroupVertex& e : mesh.GroupByName(name)->Vertices) moved.insert(e.VertexIndex);
  const std::string file =
      dir.Write("sculpt.obj", SculptText(mesh, [&](std::int32_t i) {
                  return moved.count(i) ? TD{0.001 * (i % 7), 0.02, -0.005} : TD{};
                }));
  std::vector<double> sculpt;
  {
    TSCUseSculpt reader(nullptr);
    reader.FileName = file;
    reader.ReadSculptFile();
    sculpt = reader.Positions;
  }
  std::set<std::string> expected;
  mesh.Groups.ForEach([&](const TGroup& g) {
    for (const TGroupVertex& e : g.Vertices)
      if (moved.count(e.VertexIndex)) expected.insert(g.Name);
  });
  ASSERT_TRUE(expected.count("head") && expected.count("lHand") && expected.size() < 10);

  AddSculpt(file, {7});
  for (std::size_t i = 0; i < expected.size(); ++i) window.MorphNameAnswers.push_back("sculpt");
  window.WarningAnswers.push_back(true);
  controller.RunGoal(0);

  std::set<std::string> made;
  Mesh().Groups.ForEach([&](const TGroup& g) {
    if (g.MorphTargets.Count() == 0) return;
    made.insert(g.Name);
    if (g.Name != "head" && g.Name != "lHand") return;
    const TMorphTarget& t = *g.MorphTargets[0];
    ASSERT_EQ(t.Positions.Count(), g.Vertices.Count());
    for (std::int32_t k = 0; k < g.Vertices.Count(); ++k) {
      const std::size_t at = static_cast<std::size_t>(g.Vertices[k].VertexIndex) * 3;
      EXPECT_EQ(Text6(t.Positions[k].X), Text6(sculpt[at])) << g.Name << " " << k;
      EXPECT_EQ(Text6(t.Positions[k].Y), Text6(sculpt[at + 1])) << g.Name << " " << k;
      EXPECT_EQ(Text6(t.Positions[k].Z), Text6(sculpt[at + 2])) << g.Name << " " << k;
    }
  });
  EXPECT_EQ(made, expected);
}

TEST_F(SculptTest, StrengthScalesTheDisplacement) {
  LoadFigure();
  const std::string file = dir.Write("s.obj", SculptText(Mesh(), [](std::int32_t i) {
                                       return i == 5 ? TD{0.5, -0.25, 1} : TD{};
                                     }));
  TSCUseSculpt& c = AddSculpt(file, {7});
  window.Params.Clear();
  c.CreateControls(window.Params, controller.ChangeHandler());
  auto* strength = window.Params.Edits().at(0);
  for (const double s : {1.0, 0.5, -1.0, 2.0, 0.0}) {
    strength->Type(s);
    ExpectNear(At(5), {1 + 0.5 * s, 1 - 0.25 * s, 0 + 1 * s}, "strength");
    ExpectNear(At(4), {1, 0, 0}, "an unmoved sculpt vertex");
  }
}

TEST_F(SculptTest, SoftSelectionPadlocksAndXLockLimitIt) {
  TObjData& mesh = LoadFigure();
  const TD d{0.5, 0.25, -0.5};
  const std::string file = dir.Write("s.obj", SculptText(mesh, [&](std::int32_t) { return d; }));
  // A morph target on the hat, whose positions move along with the vertices.
  TGroup& hat = *mesh.GroupByName("hat");
  auto target = std::make_unique<TMorphTarget>(&hat);
  for (const TGroupVertex& e : hat.Vertices) target->Positions.Add(e.Shaped);
  hat.MorphTargets.Add(std::move(target));

  controller.NewStack(*FindStackTarget(1));
  // The right group is locked before everything is selected; the hat takes part only softly.
  controller.AddCommand(Kind(502), {.Group = Mesh().GroupByName("right")});
  controller.AddCommand(Kind(7));
  controller.AddCommand(Kind(508));  // X=0 padlock: vertices 2 and 3 keep their x
  controller.AddCommand(Kind(502), {.Group = Mesh().GroupByName("hat")});
  for (std::int32_t v : {8, 9}) Mesh().Vertices[v].SetSoftWeight(0.5f);
  chooser.Files = {file};
  controller.AddCommand(Kind(1503));

  ExpectNear(At(0), PristineAt(0), "a vertex of the locked group only");
  ExpectNear(At(1), PristineAt(1), "a vertex of the locked group only");
  ExpectNear(At(2), {0, 0 + d.Y, 0 + d.Z}, "an X-locked vertex keeps its x");
  ExpectNear(At(4), {1 + d.X, 0 + d.Y, 0 + d.Z}, "a selected vertex");
  ExpectNear(At(8), {3 + d.X / 2, 0 + d.Y / 2, 1 + d.Z / 2}, "soft weight 0.5");
  ExpectNear(At(10), PristineAt(10), "soft weight 0");
  const TGroup& liveHat = *Mesh().GroupByName("hat");
  const TBaseVertex& p = liveHat.MorphTargets[0]->Positions[0];  // vertex 8
  ExpectNear({p.X, p.Y, p.Z}, {3 + d.X / 2, 0 + d.Y / 2, 1 + d.Z / 2}, "its morph position");
}

TEST_F(SculptTest, WrongVertexCountIsRefusedAndChangesNothing) {
  LoadFigure();
  const std::string file = dir.Write("s.obj", SculptText(
                                                  Mesh(),
                                                  [](std::int32_t) {
                                                    return TD{1, 1, 1};
                                                  },
                                                  1));
  controller.NewStack(*FindStackTarget(1));
  controller.AddCommand(Kind(7));
  const std::vector<std::uint8_t> before = test::StoredBytes(controller.Live());
  TSCUseSculpt& c = AddSculpt(file, {});
  EXPECT_EQ(c.Problem(), "The sculpt has 10 vertices, the figure 11");
  EXPECT_EQ(MessageLine(), "The sculpt has 10 vertices, the figure 11");
  EXPECT_TRUE(c.Failed);
  EXPECT_EQ(c.Caption.rfind("<c:Red>", 0), 0u);
  EXPECT_EQ(test::StoredBytes(controller.Live()), before);
}

TEST_F(SculptTest, ScaledOrMovedSculptWarnsAndStillApplies) {
  LoadFigure();
  struct TCase {
    const char* Name;
    std::function<TD(const TObjVertex&)> Move;
    bool Warns;
  };
  const std::vector<TCase> cases = {
      {"small change",
       [](const TObjVertex&) {
         return TD{0.1, 0, 0};
       },
       false},
      {"three times larger",
       [](const TObjVertex& v) {
         return TD{2 * v.X, 2 * v.Y, 2 * v.Z};
       },
       true},
      {"moved by more than the height",
       [](const TObjVertex&) {
         return TD{0, 1.5, 0};
       },
       true},
  };
  for (const TCase& k : cases) {
    const std::string file =
        dir.Write(std::string(k.Name) + ".obj",
                  SculptText(Mesh(), [&](std::int32_t i) { return k.Move(Mesh().Vertices[i]); }));
    TSCUseSculpt& c = AddSculpt(file, {7});
    EXPECT_EQ(c.LooksScaled(), k.Warns) << k.Name;
    EXPECT_EQ(MessageLine(), k.Warns ? sculpttexts::kScaled : "") << k.Name;
    EXPECT_TRUE(c.Problem().empty()) << k.Name;
    const TD moved = k.Move(*controller.Stack()->Pristine->Mesh(0)->Vertices.Find(4));
    ExpectNear(At(4), {1 + moved.X, 0 + moved.Y, 0 + moved.Z}, k.Name);
    window.WarningAnswers.push_back(true);
    ASSERT_TRUE(controller.ClearStack());
  }
}

TEST_F(SculptTest, StackReplaysAfterTheSculptFileIsDeleted) {
  LoadFigure();
  const std::string file = dir.Write("s.obj", SculptText(Mesh(), [](std::int32_t i) {
                                       return TD{0.1 * i, 0, 0.25};
                                     }));
  TSCUseSculpt& c = AddSculpt(file, {7});
  c.Strength = 0.5;
  c.Execute();
  const std::string stack = (dir.Path() / "sculpt.stk").string();
  ASSERT_TRUE(controller.SaveStack(stack));
  std::filesystem::remove(file);

  TFakeWindow other;
  TStackController again(other);
  test::AddMesh(again.Live(), dir, test::kFigure);
  again.Live().Mesh(0)->Id = Mesh().Id;
  ASSERT_TRUE(again.LoadStack(stack));
  again.MakeCurrent(again.Stack()->Count() - 1);
  auto* loaded = dynamic_cast<TSCUseSculpt*>(again.SelectedCommand());
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Strength, 0.5);
  EXPECT_EQ(loaded->FileName, file);
  for (std::int32_t v = 0; v < Mesh().Vertices.Count(); ++v) {
    const TObjVertex& a = Mesh().Vertices[v];
    const TObjVertex& b = again.Live().Mesh(0)->Vertices[v];
    EXPECT_EQ(a.X, b.X);
    EXPECT_EQ(a.Y, b.Y);
    EXPECT_EQ(a.Z, b.Z);
  }
  // Reload now fails, names the file and keeps the stored positions.
  EXPECT_FALSE(loaded->Reload());
  EXPECT_NE(loaded->Problem().find("s.obj"), std::string::npos);
  EXPECT_EQ(loaded->SculptVertexCount(), 11u);
}

// A recipe names the sculpt file beside it; loading it gives the same mesh as the stack file
// that holds the positions, and a recipe whose sculpt is missing is refused with its place.
TEST_F(SculptTest, RecipeReadsTheSculptNamedBesideIt) {
  LoadFigure();
  const std::string file = dir.Write("s.obj", SculptText(Mesh(), [](std::int32_t i) {
                                       return TD{0.1 * i, -0.5, 0.25};
                                     }));
  TSCUseSculpt& c = AddSculpt(file, {7});
  c.Strength = 0.5;
  c.Execute();
  const std::string stk = (dir.Path() / "sculpt.stk").string();
  ASSERT_TRUE(controller.SaveStack(stk));
  const std::string recipe = dir.Write(
      "recipe.json",
      R"({"format": "tarvel-stack", "version": 1, "target": 1, "commands": [)"
      R"({"kind": "select-all"}, {"kind": "use-sculpt", "file": "s.obj", "strength": 0.5}]})");
  const std::string missing = dir.Write(
      "missing.json", R"({"format": "tarvel-stack", "version": 1, "target": 1, "commands": [)"
                      R"({"kind": "select-all"}, {"kind": "use-sculpt", "file": "none.obj"}]})");

  const auto replayed = [&](const std::string& stack) {
    TFakeWindow other;
    TStackController again(other);
    test::AddMesh(again.Live(), dir, test::kFigure);
    EXPECT_TRUE(again.LoadStack(stack)) << stack;
    if (!again.Stack()) return std::vector<double>{};
    again.MakeCurrent(again.Stack()->Count() - 1);
    std::vector<double> out;
    for (const TObjVertex& v : again.Live().Mesh(0)->Vertices)
      out.insert(out.end(), {v.X, v.Y, v.Z});
    return out;
  };
  const std::vector<double> fromStk = replayed(stk);
  ASSERT_FALSE(fromStk.empty());
  EXPECT_EQ(replayed(recipe), fromStk);

  TFakeWindow other;
  TStackController again(other);
  test::AddMesh(again.Live(), dir, test::kFigure);
  EXPECT_FALSE(again.LoadStack(missing));
  EXPECT_EQ(again.Stack(), nullptr);
  ASSERT_FALSE(other.Errors.empty());
  EXPECT_NE(other.Errors.back().find("commands[1]"), std::string::npos) << other.Errors.back();
  EXPECT_NE(other.Errors.back().find("none.obj"), std::string::npos) << other.Errors.back();
}

TEST_F(SculptTest, ReloadReadsTheChangedFileAndStartsFromTheSameState) {
  LoadFigure();
  const std::string file = dir.Write("s.obj", SculptText(Mesh(), [](std::int32_t) {
                                       return TD{0.5, 0, 0};
                                     }));
  TSCUseSculpt& c = AddSculpt(file, {7});
  ExpectNear(At(4), {1.5, 0, 0}, "first file");
  dir.Write("s.obj", SculptText(*controller.Stack()->Pristine->Mesh(0), [](std::int32_t) {
              return TD{0, 0.25, 0};
            }));
  window.Params.Clear();
  c.CreateControls(window.Params, controller.ChangeHandler());
  for (const auto& control : window.Params.Controls())
    if (auto* b = dynamic_cast<test::TFakeButton*>(control.get()); b && b->Text == "Reload")
      b->Changed();
  ExpectNear(At(4), {1, 0.25, 0}, "reloaded: nothing of the first file is left");
}

TEST(SculptStreamTest, RecordHoldsFileStrengthAndPositions) {
  TSCUseSculpt c(nullptr);
  c.FileName = "s.obj";
  c.Strength = 0.5;
  c.Positions = {1, 2, 3};
  c.Caption = "Use sculpted shape";

  TSCInit base(nullptr);
  base.Caption = "Use sculpted shape";
  std::vector<std::uint8_t> expected = test::Hex("93 17");  // 6035
  const std::vector<std::uint8_t> baseBytes = test::StoredBytes(base);
  expected.insert(expected.end(), baseBytes.begin() + 2, baseBytes.end());
  const std::vector<std::uint8_t> tail = test::Hex(
      // CaptionFormat "Use sculpted shape <b>%0:s</b>", FileName "s.obj"
      "1e 00 55 73 65 20 73 63 75 6c 70 74 65 64 20 73 68 61 70 65 20 3c 62 3e 25 30 3a 73 3c "
      "2f 62 3e  05 00 73 2e 6f 62 6a"
      // Strength 0.5, one vertex (1, 2, 3)
      "00 00 00 00 00 00 e0 3f  01 00 00 00"
      "00 00 00 00 00 00 f0 3f  00 00 00 00 00 00 00 40  00 00 00 00 00 00 08 40");
  expected.insert(expected.end(), tail.begin(), tail.end());
  EXPECT_EQ(test::ToHex(test::StoredBytes(c)), test::ToHex(expected));

  TObjectStream stream(test::StoredBytes(c));
  auto loaded = stream.GetAs<TSCUseSculpt>();
  EXPECT_EQ(loaded->FileName, "s.obj");
  EXPECT_EQ(loaded->Strength, 0.5);
  EXPECT_EQ(loaded->Positions, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(stream.BytesLeft(), 0);
}

}  // namespace
}  // namespace tarvel
