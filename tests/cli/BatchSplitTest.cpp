// tarvel-batch split: a whole-figure sculpt into per-group targets, as apply with a stack of
// "Select all" and "Use sculpted shape".
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "TestSupport.h"
#include "cli/BatchRun.h"
#include "commands/Sculpt.h"
#include "stack/FakeWindow.h"
#include "stack/StackController.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using test::Quoted;
using test::RunBatch;
using test::TRun;
using test::TTempDir;

const std::string& kFigureFile = test::kSampleFigure;
using test::ReadFile;

std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() && e.path().filename() != "manifest.json")
      files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return files;
}

class BatchSplitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TObjData mesh;
    LoadFromObj(mesh, kFigureFile);
    // The head lifted, and one vertex of the left hand pushed out.
    std::set<std::int32_t> head;
    for (const TGroupVertex& e : mesh.GroupByName("head")->Vertices) head.insert(e.VertexIndex);
    // A vertex of the hand alone, not on its seam with the forearm.
    std::set<std::int32_t> forearm;
    for (const TGroupVertex& e : mesh.GroupByName("lForeArm")->Vertices)
      forearm.insert(e.VertexIndex);
    std::int32_t hand = -1;
    for (const TGroupVertex& e : mesh.GroupByName("lHand")->Vertices)
      if (hand < 0 && !forearm.count(e.VertexIndex)) hand = e.VertexIndex;
    std::string text, shorter;
    char buf[128];
    for (const TObjVertex& v : mesh.Vertices) {
      const double dy = head.count(v.Index) ? 0.03 : 0;
      const double dx = v.Index == hand ? 0.01 : 0;
      std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f\n", v.X + dx, v.Y + dy, v.Z);
      text += buf;
      if (v.Index + 1 < mesh.Vertices.Count()) shorter += buf;
    }
    sculpt_ = dir_.Write("sculpt.obj", text + "f 1 2 3\n");
    dir_.Write("short.obj", shorter);
  }
  TTempDir dir_;
  std::string sculpt_;
};

TEST_F(BatchSplitTest, WritesWhatApplyWritesWithTheSameStack) {
  // The stack the window makes: select all, then the sculpt at half strength.
  struct TChooser : ISculptFileChooser {
    std::string File;
    std::optional<std::string> ChooseSculptFile(const std::string&) override { return File; }
  } chooser;
  chooser.File = sculpt_;
  {
    test::TFakeWindow window;
    window.Chooser = &chooser;
    TStackController controller(window);
    ASSERT_NE(controller.Live().AddObjFile(kFigureFile), nullptr);
    controller.NewStack(*StackTargets()[0]);
    controller.AddCommand(*controller.Stack()->FindDescriptor(7));
    controller.AddCommand(*controller.Stack()->FindDescriptor(1503));
    auto& edit = *window.Params.Edits().at(0);
    edit.Type(0.5);
    ASSERT_TRUE(controller.SaveStack((dir_.Path() / "sculpt.stk").string()));
  }
  // The figure compressed, to be read through zlib.
  {
    const std::string packed = (dir_.Path() / "figure.obz").string();
    const std::string text = ReadFile(kFigureFile);
    gzFile gz = gzopen(packed.c_str(), "wb");
    gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    gzclose(gz);
  }

  const TRun apply =
      RunBatch("apply sculpt.stk " + Quoted(kFigureFile) + " --out a --quiet", dir_.Path());
  ASSERT_EQ(apply.ExitCode, 0) << apply.Err;
  const TRun split =
      RunBatch("split " + Quoted(kFigureFile) + " sculpt.obj --out b --strength 0.5", dir_.Path());
  ASSERT_EQ(split.ExitCode, 0) << split.Err;
  const TRun packed = RunBatch("split figure.obz sculpt.obj --out c --strength 0.5", dir_.Path());
  ASSERT_EQ(packed.ExitCode, 0) << packed.Err;

  const auto files = Tree(dir_.Path() / "b");
  EXPECT_EQ(files, Tree(dir_.Path() / "a"));
  EXPECT_EQ(files, Tree(dir_.Path() / "c"));
  // The head, the neck that shares its lower ring, and the hand; nothing else.
  std::set<std::string> names;
  for (const auto& [name, bytes] : files) names.insert(name);
  EXPECT_EQ(names,
            (std::set<std::string>{"figure/head_.obj", "figure/lHand_.obj", "figure/neck_.obj"}));
  const std::string manifest = ReadFile(dir_.Path() / "b" / "manifest.json");
  EXPECT_NE(manifest.find("\"sculpt\": \"sculpt.obj\""), std::string::npos) << manifest;
  EXPECT_NE(manifest.find("\"name\": \"head_\""), std::string::npos) << manifest;
}

TEST_F(BatchSplitTest, FailuresGiveTheirReasonAndExitStatus) {
  test::ExpectRefusals(
      {
          {"wrong vertex count", "split " + Quoted(kFigureFile) + " short.obj --out out", 1,
           "The sculpt has 1949 vertices, the figure 1950"},
          {"missing sculpt", "split " + Quoted(kFigureFile) + " none.obj --out out", 1,
           "none.obj: no such file"},
          {"missing figure", "split none.obj sculpt.obj --out out", 1, "none.obj: no such file"},
          {"bad strength", "split a.obj sculpt.obj --out out --strength 1,5", 2, "--strength"},
          {"no output folder", "split a.obj sculpt.obj", 2, "--out"},
          {"one file only", "split sculpt.obj --out out", 2, "usage"},
      },
      dir_.Path());
}

}  // namespace
}  // namespace tarvel
