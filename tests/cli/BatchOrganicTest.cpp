// The organic modifiers through the batch tool: a stack that inflates and smooths the left upper
// arm gives the same targets from `apply` as from the window, and `stack` lists the parameters.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "cli/BatchRun.h"
#include "stack/FakeWindow.h"
#include "stack/StackController.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using test::Quoted;
using test::RunBatch;
using test::TFakeWindow;
using test::TRun;
using test::TTempDir;

const std::string& kFigureFile = test::kSampleFigure;
using test::ReadFile;

class BatchOrganicTest : public ::testing::Test {
 protected:
  // Selects lShldr, inflates it by 0.02 and smooths it 4 x 0.6; saves the stack and returns
  // the target the window's goal makes of lShldr, as target geometry text.
  std::string BuildInWindow(const std::string& stackFile) {
    class TTakingWindow : public TFakeWindow {
      std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
        return request.Proposed;
      }
    } window;
    TStackController controller(window);
    EXPECT_NE(controller.Live().AddObjFile(kFigureFile), nullptr);
    controller.NewStack(*StackTargets()[0]);
    TSceneChoice choice;
    choice.Group = controller.Live().Mesh(0)->GroupByName("lShldr");
    controller.AddCommand(*controller.Stack()->FindDescriptor(1), choice);
    controller.AddCommand(*controller.Stack()->FindDescriptor(1501));
    window.Params.Edits().at(0)->Type(0.02);
    controller.AddCommand(*controller.Stack()->FindDescriptor(1502));
    window.Params.Edits().at(0)->Type(4);
    window.Params.Edits().at(1)->Type(0.6);
    EXPECT_TRUE(controller.SaveStack(stackFile));
    window.WarningAnswers.push_back(false);  // keep the stack after the goal
    controller.RunGoal(0);
    const TGroup& arm = *controller.Live().Mesh(0)->GroupByName("lShldr");
    EXPECT_EQ(arm.MorphTargets.Count(), 1);
    if (arm.MorphTargets.Count() != 1) return "";
    const fs::path out = dir_.Path() / "window.obj";
    arm.MorphTargets[0]->ExportTargetGeometry(out.string());
    return ReadFile(out);
  }
  TTempDir dir_;
};

TEST_F(BatchOrganicTest, ApplyMakesTheTargetTheWindowMakesAndStackListsTheParameters) {
  const std::string stack = (dir_.Path() / "biceps.stk").string();
  const std::string expected = BuildInWindow(stack);
  ASSERT_FALSE(expected.empty());

  const TRun run = RunBatch(
      "apply " + Quoted(stack) + " " + Quoted(kFigureFile) + " --out out --quiet", dir_.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadFile(dir_.Path() / "out" / "figure" / "lShldr_.obj"), expected);
  const std::string manifest = ReadFile(dir_.Path() / "out" / "manifest.json");
  EXPECT_NE(manifest.find("\"unresolvedCommands\": []"), std::string::npos) << manifest;

  const TRun listing = RunBatch("stack " + Quoted(stack), dir_.Path());
  ASSERT_EQ(listing.ExitCode, 0) << listing.Err;
  EXPECT_NE(listing.Out.find("  2  Inflate 0.02  distance=0.02\n"), std::string::npos)
      << listing.Out;
  EXPECT_NE(listing.Out.find("  3  Smooth 4 x 0.6  iterations=4 strength=0.6 keep-borders=yes\n"),
            std::string::npos)
      << listing.Out;
}

}  // namespace
}  // namespace tarvel
