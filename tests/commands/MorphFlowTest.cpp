// The whole road from a loaded figure to a morph target file and back: select a group, move
// it, run the goal, export the new target and import it into a freshly read figure.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjReader.h"
#include "stack/FakeWindow.h"
#include "stack/StackController.h"

namespace tarvel {
namespace {

using test::TFakeWindow;
using test::TTempDir;

const std::string kFigureFile = std::string(TARVEL_SAMPLES_DIR) + "/figure.obj";

int LineCount(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  int n = 0;
  for (std::string line; std::getline(in, line);) {
    EXPECT_TRUE(line.starts_with("v ")) << line;
    EXPECT_TRUE(line.ends_with(" \r")) << line;
    ++n;
  }
  return n;
}

TEST(MorphFlowTest, MovedGroupBecomesATargetThatExportsAndImportsAgain) {
  constexpr double kMove = 0.25;
  TFakeWindow window;
  TStackController controller(window);
  ASSERT_NE(controller.Live().AddObjFile(kFigureFile), nullptr);
  ASSERT_FALSE(StackTargets().Count() == 0);
  controller.NewStack(*StackTargets()[0]);
  TStackMng& stack = *controller.Stack();

  // The groups that share a vertex with the arm change with it.
  const TObjData& loaded = *controller.Live().Mesh(0);
  const TGroup* arm = loaded.GroupByName("lForeArm");
  ASSERT_NE(arm, nullptr);
  std::set<std::int32_t> armVertices;
  for (const TGroupVertex& e : arm->Vertices) armVertices.insert(e.VertexIndex);
  std::vector<std::string> changed;
  loaded.Groups.ForEach([&](const TGroup& g) {
    for (const TGroupVertex& e : g.Vertices)
      if (armVertices.count(e.VertexIndex)) {
        changed.push_back(g.Name);
        break;
      }
  });
  ASSERT_GE(changed.size(), 1u);

  // Select the arm, then translate it along x by typing into the X field.
  TSceneChoice choice;
  choice.Group = controller.Live().Mesh(0)->GroupByName("lForeArm");
  controller.AddCommand(*stack.FindDescriptor(1), choice);
  ASSERT_EQ(window.Lines.back(), "Select group <b>lForeArm</b>");
  controller.AddCommand(*stack.FindDescriptor(101));
  ASSERT_EQ(stack.Count(), 3);
  const std::vector<test::TFakeNumberEdit*> fields = window.Params.Edits();
  ASSERT_EQ(fields.size(), 3u);
  fields[0]->Type(fields[0]->Value() + kMove);
  EXPECT_TRUE(controller.Modified());

  // The goal names the arm's target and skips the other changed groups.
  for (const std::string& name : changed)
    window.MorphNameAnswers.push_back(name == "lForeArm" ? std::optional<std::string>("bend")
                                                         : std::nullopt);
  window.WarningAnswers.push_back(true);  // "Do you want to clear the stack?"
  controller.RunGoal(0);
  ASSERT_EQ(window.MorphRequests.size(), changed.size());
  for (std::size_t k = 0; k < changed.size(); ++k) {
    EXPECT_EQ(window.MorphRequests[k].Proposed, changed[k] + "_");
    EXPECT_EQ(window.MorphRequests[k].MeshLine, "Mesh:figure");
    EXPECT_EQ(window.MorphRequests[k].CountLine,
              "Morph " + std::to_string(k + 1) + " of " + std::to_string(changed.size()));
  }
  EXPECT_EQ(controller.Stack(), nullptr);

  // The live state is the pristine one again, now with the new target.
  const TObjData& after = *controller.Live().Mesh(0);
  TGroup* liveArm = after.GroupByName("lForeArm");
  ASSERT_NE(liveArm, nullptr);
  ASSERT_EQ(liveArm->MorphTargets.Count(), 1);
  const TMorphTarget& target = *liveArm->MorphTargets[0];
  EXPECT_EQ(target.Name, "bend");
  EXPECT_EQ(target.Value, 0);
  ASSERT_EQ(target.Positions.Count(), liveArm->Vertices.Count());
  after.Groups.ForEach([&](const TGroup& g) {
    if (&g != liveArm) {
      EXPECT_EQ(g.MorphTargets.Count(), 0) << g.Name;
    }
  });

  TTempDir dir;
  const std::string file = (dir.Path() / "bend.obj").string();
  target.ExportTargetGeometry(file);
  EXPECT_EQ(LineCount(file), liveArm->Vertices.Count());

  // A freshly read figure takes the file as a target of its arm.
  TObjData fresh;
  LoadFromObj(fresh, kFigureFile);
  TGroup* freshArm = fresh.GroupByName("lForeArm");
  ASSERT_NE(freshArm, nullptr);
  int code = -1;
  TMorphTarget* imported = freshArm->ImportMorphTarget(file, code);
  ASSERT_EQ(code, 0);
  ASSERT_NE(imported, nullptr);
  ASSERT_EQ(imported->Positions.Count(), freshArm->Vertices.Count());
  for (std::int32_t k = 0; k < freshArm->Vertices.Count(); ++k) {
    SCOPED_TRACE(k);
    const TObjVertex& v = *freshArm->VertexOf(freshArm->Vertices[k]);
    const TBaseVertex& p = imported->Positions[k];
    EXPECT_NEAR(p.X, target.Positions[k].X, 5e-7);
    EXPECT_NEAR(p.Y, target.Positions[k].Y, 5e-7);
    EXPECT_NEAR(p.Z, target.Positions[k].Z, 5e-7);
    EXPECT_NEAR(p.X, v.X + kMove, 1e-6);
    EXPECT_NEAR(p.Y, v.Y, 5e-7);
    EXPECT_NEAR(p.Z, v.Z, 5e-7);
  }

  // Dialled in fully, the imported target shows the moved arm.
  imported->Value = 1;
  freshArm->ApplyMorphTargets();
  for (const TGroupVertex& e : freshArm->Vertices)
    EXPECT_NEAR(e.Shaped.X, freshArm->VertexOf(e)->X + kMove, 1e-6);
}

}  // namespace
}  // namespace tarvel
