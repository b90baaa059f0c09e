// The batch tool's stack verbs end to end: apply a saved stack to figures, export a project,
// list a stack.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/BatchRun.h"
#include "commands/Transforms.h"
#include "stack/FakeWindow.h"
#include "stack/StackController.h"
#include "stack/StackFile.h"

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

nlohmann::json Manifest(const fs::path& out) {
  return nlohmann::json::parse(ReadFile(out / "manifest.json"));
}

// Every file under `root`, by its path relative to it.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadFile(e.path());
  return files;
}

// The sample figure with its group blocks in reverse order: the same vertices, the groups
// listed in another order.
std::string Reordered(const std::string& text) {
  std::istringstream in(text);
  std::string head, block;
  std::vector<std::string> blocks;
  bool inGroups = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("g ", 0) == 0) {
      if (inGroups) blocks.push_back(block);
      block.clear();
      inGroups = true;
    }
    (inGroups ? block : head) += line + "\n";
  }
  blocks.push_back(block);
  std::reverse(blocks.begin(), blocks.end());
  for (const std::string& b : blocks) head += b;
  return head;
}

// A stack that selects the left forearm and moves it 0.25 along x, saved to `file`.
void SaveArmStack(const std::string& file) {
  TFakeWindow window;
  TStackController controller(window);
  ASSERT_NE(controller.Live().AddObjFile(kFigureFile), nullptr);
  controller.NewStack(*StackTargets()[0]);
  TSceneChoice choice;
  choice.Group = controller.Live().Mesh(0)->GroupByName("lForeArm");
  controller.AddCommand(*controller.Stack()->FindDescriptor(1), choice);
  controller.AddCommand(*controller.Stack()->FindDescriptor(101));
  const std::vector<test::TFakeNumberEdit*> fields = window.Params.Edits();
  ASSERT_EQ(fields.size(), 3u);
  fields[0]->Type(fields[0]->Value() + 0.25);
  ASSERT_TRUE(controller.SaveStack(file));
}

// What the window makes of the stack on this figure: load it as a new stack, run the goal
// taking every proposed name, export each new target as MESH/NAME.obj under `out`.
void WindowTargets(const std::string& figure, const std::string& stack, const fs::path& out) {
  // The user takes every proposed name.
  class TTakingWindow : public TFakeWindow {
    std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
      return request.Proposed;
    }
  } window;
  TStackController controller(window);
  ASSERT_NE(controller.Live().AddObjFile(figure), nullptr);
  ASSERT_TRUE(controller.LoadStack(stack));
  const TObjData& mesh = *controller.Live().Mesh(0);
  std::vector<std::int32_t> before;
  mesh.Groups.ForEach([&](const TGroup& g) { before.push_back(g.MorphTargets.Count()); });
  window.WarningAnswers.push_back(true);  // "Do you want to clear the stack?"
  controller.RunGoal(0);
  const TObjData& done = *controller.Live().Mesh(0);
  fs::create_directories(out / done.Name);
  for (std::int32_t g = 0; g < done.Groups.Count(); ++g)
    for (std::int32_t k = before[static_cast<std::size_t>(g)];
         k < done.Groups[g]->MorphTargets.Count(); ++k) {
      const TMorphTarget& t = *done.Groups[g]->MorphTargets[k];
      t.ExportTargetGeometry((out / done.Name / (t.Name + ".obj")).string());
    }
}

class BatchApplyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stack_ = (dir_.Path() / "arm.stk").string();
    SaveArmStack(stack_);
    fs::create_directories(dir_.Path() / "copy");
    reordered_ = dir_.Write("copy/figure.obj", Reordered(ReadFile(kFigureFile)));
  }
  TTempDir dir_;
  std::string stack_;
  std::string reordered_;
};

TEST_F(BatchApplyTest, TargetsMatchWhatTheWindowMakesEvenWithGroupsReordered) {
  const TRun run = RunBatch("apply " + Quoted(stack_) + " " + Quoted(kFigureFile) + " " +
                                Quoted(reordered_) + " --out out --quiet",
                            dir_.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out, "");

  WindowTargets(kFigureFile, stack_, dir_.Path() / "expected");
  const std::map<std::string, std::string> expected = Tree(dir_.Path() / "expected" / "figure");
  ASSERT_FALSE(expected.empty());
  EXPECT_TRUE(expected.count("lForeArm_.obj"));
  // The first figure keeps its name, the second of the same name gets "-2"; both give the
  // same files, byte for byte.
  EXPECT_EQ(Tree(dir_.Path() / "out" / "figure"), expected);
  EXPECT_EQ(Tree(dir_.Path() / "out" / "figure-2"), expected);

  const nlohmann::json manifest = Manifest(dir_.Path() / "out");
  const nlohmann::json& second = manifest.at("figures").at(1);
  const auto& targets = second.at("targets");
  const auto arm = std::find_if(targets.begin(), targets.end(), [](const nlohmann::json& t) {
    return t.at("name") == "lForeArm_";
  });
  ASSERT_NE(arm, targets.end()) << manifest;
  const nlohmann::json& target = *arm;
  EXPECT_EQ(target.at("group"), "lForeArm");
  EXPECT_EQ(target.at("file"), "figure-2/lForeArm_.obj");
  EXPECT_EQ(target.at("largestDisplacement"), 0.25);
  EXPECT_TRUE(second.at("unresolvedCommands").empty());
}

// A recipe of names and parameters only, written by hand, gives the targets the window's
// stack file gives; the stack file goes to JSON and back unchanged.
TEST_F(BatchApplyTest, JsonRecipesApplyAsTheirStackFilesDo) {
  const TRun json = RunBatch("stack arm.stk --json", dir_.Path());
  ASSERT_EQ(json.ExitCode, 0) << json.Err;
  dir_.Write("arm.json", json.Out);
  ASSERT_EQ(RunBatch("stack arm.json --out back.stk", dir_.Path()).ExitCode, 0);
  EXPECT_EQ(ReadFile(dir_.Path() / "back.stk"), ReadFile(stack_));

  const TVec3s offset = static_cast<const TSCTranslate&>(*ReadStackFile(stack_)->Command(2)).Offset;
  auto number = [](float v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  };
  dir_.Write("recipe.json",
             "{\"format\": \"tarvel-stack\", \"version\": 1, \"commands\": [\n"
             "  {\"kind\": \"select-group\", \"group\": \"lforearm\"},\n"
             "  {\"kind\": \"translate\", \"offset\": [" +
                 number(offset.X) + ", " + number(offset.Y) + ", " + number(offset.Z) + "]}]}\n");
  for (const char* stack : {"arm.stk", "recipe.json"}) {
    const TRun run = RunBatch("apply " + std::string(stack) + " " + Quoted(kFigureFile) +
                                  " --out " + stack + ".out --quiet",
                              dir_.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_EQ(run.Err, "");
  }
  const std::map<std::string, std::string> fromStk = Tree(dir_.Path() / "arm.stk.out" / "figure");
  ASSERT_TRUE(fromStk.count("lForeArm_.obj"));
  EXPECT_EQ(Tree(dir_.Path() / "recipe.json.out" / "figure"), fromStk);

  const TRun bad = RunBatch("apply " + Quoted(dir_.Write("bad.json", "{\"format\": 1}")) + " " +
                                Quoted(kFigureFile) + " --out bad --quiet",
                            dir_.Path());
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_NE(bad.Err.find("bad.json: format: expected"), std::string::npos) << bad.Err;
}

TEST_F(BatchApplyTest, ParallelAndSerialRunsWriteTheSameFiles) {
  const std::string figures = Quoted(kFigureFile) + " " + Quoted(reordered_) + " " +
                              Quoted(kFigureFile) + " " + Quoted(reordered_);
  for (const char* jobs : {"1", "3"}) {
    const TRun run =
        RunBatch("apply " + Quoted(stack_) + " " + figures + " --out out" + jobs +
                     " --project --name '{mesh}-{group}-{stack}' --quiet --jobs " + jobs,
                 dir_.Path());
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
  }
  const std::map<std::string, std::string> serial = Tree(dir_.Path() / "out1");
  EXPECT_TRUE(serial.count("figure-4.vnx"));
  EXPECT_TRUE(serial.count("figure-3/figure-lForeArm-arm.obj"));
  std::map<std::string, std::string> parallel = Tree(dir_.Path() / "out3");
  EXPECT_EQ(Manifest(dir_.Path() / "out1")["figures"][0]["project"], "figure.vnx");
  ASSERT_EQ(serial.size(), parallel.size());
  for (auto& [name, bytes] : parallel) {
    // A project holds the path it was saved under; the two runs differ only in their folder.
    for (std::size_t at; (at = bytes.find("/out3/")) != std::string::npos;) bytes[at + 4] = '1';
    ASSERT_TRUE(serial.count(name)) << name;
    EXPECT_TRUE(serial.at(name) == bytes) << name << " differs";
  }
}

TEST_F(BatchApplyTest, ProjectsExportTheSameTargetsAgain) {
  ASSERT_EQ(RunBatch("apply " + Quoted(stack_) + " " + Quoted(kFigureFile) + " --out out " +
                         "--project --quiet",
                     dir_.Path())
                .ExitCode,
            0);
  const TRun run = RunBatch("export out/figure.vnx --out again", dir_.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("morph targets written"), std::string::npos);
  const std::map<std::string, std::string> applied = Tree(dir_.Path() / "out" / "figure");
  ASSERT_FALSE(applied.empty());
  for (const auto& [name, bytes] : applied) {
    const std::string group = name.substr(0, name.size() - std::string("_.obj").size());
    EXPECT_EQ(ReadFile(dir_.Path() / "again" / "figure" / group / name), bytes) << name;
  }
}

TEST_F(BatchApplyTest, MissingObjectsAreReportedAndStrictMakesThemFail) {
  // A figure whose forearm has another name: the selection finds nothing.
  std::string text = ReadFile(kFigureFile);
  const std::string from = "g lForeArm", to = "g lLowerArm";
  for (std::size_t at; (at = text.find(from)) != std::string::npos;)
    text.replace(at, from.size(), to);
  const std::string renamed = dir_.Write("renamed.obj", text);

  const TRun dry = RunBatch("apply " + Quoted(stack_) + " renamed.obj --dry-run", dir_.Path());
  ASSERT_EQ(dry.ExitCode, 0) << dry.Err;
  EXPECT_NE(dry.Out.find("cannot find its objects: Select group"), std::string::npos) << dry.Out;
  EXPECT_NE(dry.Out.find("no group would change"), std::string::npos) << dry.Out;
  EXPECT_FALSE(fs::exists(dir_.Path() / "out"));

  const TRun lax = RunBatch("apply " + Quoted(stack_) + " renamed.obj --out out", dir_.Path());
  EXPECT_EQ(lax.ExitCode, 0) << lax.Err;
  EXPECT_NE(lax.Err.find("renamed.obj: warning: cannot find its objects: Select group"),
            std::string::npos)
      << lax.Err;
  const nlohmann::json unresolved =
      Manifest(dir_.Path() / "out")["figures"][0]["unresolvedCommands"];
  ASSERT_EQ(unresolved.size(), 1u);
  EXPECT_EQ(unresolved[0].get<std::string>().rfind("Select group", 0), 0u) << unresolved;

  const TRun strict = RunBatch("apply " + Quoted(stack_) + " renamed.obj " + Quoted(kFigureFile) +
                                   " --out strict --strict --quiet",
                               dir_.Path());
  EXPECT_EQ(strict.ExitCode, 1);
  EXPECT_NE(strict.Err.find("renamed.obj: 1 command(s) cannot find their objects"),
            std::string::npos)
      << strict.Err;
  // The other figure still completes.
  EXPECT_TRUE(fs::exists(dir_.Path() / "strict" / "figure" / "lForeArm_.obj"));
}

TEST_F(BatchApplyTest, DryRunNamesTheGroupsThatWouldChange) {
  const TRun run =
      RunBatch("apply " + Quoted(stack_) + " " + Quoted(kFigureFile) + " --dry-run", dir_.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("would change: lForeArm"), std::string::npos) << run.Out;
  EXPECT_EQ(run.Out.find("cannot find"), std::string::npos) << run.Out;
}

TEST_F(BatchApplyTest, StackListsEachCommandWithItsParameters) {
  const TRun run = RunBatch("stack " + Quoted(stack_), dir_.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  const std::vector<std::string> lines = test::Lines(run.Out);
  auto has = [&](const std::string& part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
  };
  EXPECT_TRUE(has("commands 3")) << run.Out;
  EXPECT_TRUE(has("  1  Select group lForeArm  mesh=\"figure\" group=\"lForeArm\"")) << run.Out;
  EXPECT_TRUE(has("  2  Translate")) << run.Out;
  EXPECT_EQ(run.Out.find("<b>"), std::string::npos);
}

TEST_F(BatchApplyTest, FailuresGiveTheirReasonAndExitStatus) {
  const std::string damaged = dir_.Write("damaged.stk", ReadFile(stack_).substr(0, 40));
  test::ExpectRefusals(
      {
          {"missing figure", "apply arm.stk none.obj --out out", 1, "none.obj: no such file"},
          {"missing stack", "apply none.stk " + Quoted(kFigureFile) + " --out out", 1,
           "none.stk: no such file"},
          {"damaged stack", "apply damaged.stk " + Quoted(kFigureFile) + " --out out", 1,
           "damaged.stk"},
          {"damaged stack listed", "stack damaged.stk", 1, "damaged.stk"},
          {"not a project", "export arm.stk --out out", 1, "arm.stk"},
          {"unknown option", "apply arm.stk x.obj --out out --fast", 2, "unknown option --fast"},
          {"no output folder", "apply arm.stk x.obj", 2, "--out"},
          {"no figure", "apply arm.stk --out out", 2, "usage"},
          {"bad jobs", "apply arm.stk x.obj --out out --jobs 0", 2, "--jobs"},
          {"export without folder", "export p.vnx", 2, "--out"},
          {"stack with two files", "stack a.stk b.stk", 2, "usage"},
      },
      dir_.Path());
}

// A stack whose result is not a number fails the figure even without --strict, and writes
// nothing of it; special files and files without geometry fail alone with their reason; the
// manifest lists every figure, with its error, and holds only JSON numbers.
TEST_F(BatchApplyTest, HostileFiguresAndResultsFailAloneAndLeaveNoHalfOutput) {
  {
    TFakeWindow window;
    TStackController controller(window);
    ASSERT_NE(controller.Live().AddObjFile(kFigureFile), nullptr);
    controller.NewStack(*StackTargets()[0]);
    controller.AddCommand(*controller.Stack()->FindDescriptor(7));  // select all
    // Scaled by the window's largest factor seven times, the figure's coordinates would
    // overflow the singles of the scaling; the second time they leave the range of
    // coordinates already.
    for (int i = 0; i < 7; ++i) {
      controller.AddCommand(*controller.Stack()->FindDescriptor(103));
      for (test::TFakeNumberEdit* field : window.Params.Edits()) field->Type(1e6);
    }
    ASSERT_TRUE(controller.SaveStack((dir_.Path() / "huge.stk").string()));
  }
  const TRun huge =
      RunBatch("apply huge.stk " + Quoted(kFigureFile) + " --out huge --quiet", dir_.Path());
  EXPECT_EQ(huge.ExitCode, 1);
  EXPECT_NE(huge.Err.find("figure.obj: command 3 \"Scale"), std::string::npos) << huge.Err;
  EXPECT_NE(huge.Err.find("the result holds a position beyond 1e9 in magnitude"), std::string::npos)
      << huge.Err;
  EXPECT_FALSE(fs::exists(dir_.Path() / "huge" / "figure"));
  EXPECT_NE(ReadFile(dir_.Path() / "huge" / "manifest.json").find("\"ok\": false"),
            std::string::npos);

  fs::create_directories(dir_.Path() / "folder.obj");
  const std::string fifo = (dir_.Path() / "pipe.obj").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  dir_.Write("empty.obj", "");
  dir_.Write("binary.obj", std::string("\x7F"
                                       "ELF\x02\x01\x01\0\0\0v 1 2 3\n",
                                       17));
  const TRun run = RunBatch("apply arm.stk " + Quoted(kFigureFile) +
                                " folder.obj pipe.obj /dev/zero empty.obj binary.obj"
                                " --out mixed --jobs 3 --quiet",
                            dir_.Path());
  EXPECT_EQ(run.ExitCode, 1);
  for (const std::string line :
       {"tarvel-batch: folder.obj is a folder", "tarvel-batch: pipe.obj is not a regular file",
        "tarvel-batch: /dev/zero is not a regular file",
        "tarvel-batch: empty.obj holds no geometry", "tarvel-batch: binary.obj holds no geometry"})
    EXPECT_NE(run.Err.find(line + "\n"), std::string::npos) << line << "\n" << run.Err;
  const fs::path mixed = dir_.Path() / "mixed";
  EXPECT_TRUE(fs::exists(mixed / "figure" / "lForeArm_.obj"));
  int entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(mixed)) ++entries;
  EXPECT_EQ(entries, 2) << "only the figure's folder and the manifest";
  const std::string manifest = ReadFile(mixed / "manifest.json");
  int failed = 0;
  for (std::size_t at = 0; (at = manifest.find("\"error\": ", at)) != std::string::npos; ++at)
    ++failed;
  EXPECT_EQ(failed, 5) << manifest;
  EXPECT_NE(manifest.find("\"error\": \"/dev/zero is not a regular file\""), std::string::npos);
  for (const char* word : {"nan", "inf", "NaN", "Infinity"})
    EXPECT_EQ(manifest.find(std::string(": ") + word), std::string::npos) << manifest;
}

}  // namespace
}  // namespace tarvel
