#include "stack/StackController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/Transforms.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"
#include "stack/SelectCommands.h"
#include "stack/StackFileFixture.h"

namespace tarvel {
namespace {

// "m<i>", the name of the i-th move. Built by appending: GCC 12 at -O3 reports a false
// -Wrestrict on a string literal + std::string.
std::string MoveName(int i) {
  std::string name(1, 'm');
  name += std::to_string(i);
  return name;
}

using test::AddMesh;
using test::FaceSelection;
using test::kFigure;
using test::kHat;
using test::kLeft;
using test::kRight;
using test::TFakeWindow;
using test::TTempDir;

// A command that moves the taking-part vertices along x by Dx, from the copies its Prepare
// took, and writes every call into a log ("P:name", "E:name", "R:name", "C:name" for a
// parameter change, "D:name" when destroyed).
class TTestMove : public TStackCommand {
 public:
  TTestMove(TStackMng* manager, std::vector<std::string>& log, std::string name, double dx)
      : TStackCommand(manager), Name(std::move(name)), Dx(dx), log_(log) {
    Caption = "Move <b>" + Name + "</b>";
  }
  ~TTestMove() override { Log("D"); }
  void SetObject(const TSceneObject&) override {}
  void Prepare() override {
    Log("P");
    copies_ = Manager->Live->BackupSelection();
  }
  void Execute() override {
    Log("E");
    for (const auto& copy : copies_) {
      for (const TObjVertex& v : copy->Copies) copy->Mesh->Vertices[v.Index].SetX(v.X + Dx);
      copy->Mesh->Groups.ForEach([](TGroup& g) { g.ApplyMorphTargets(); });
    }
  }
  void Release() override {
    Log("R");
    copies_.clear();
  }
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override {
    int column = 0;
    INumberEdit& edit = CoordinateEdit(panel, 3, 8, column, "Move X:", this, onChange);
    edit.SetValue(Dx);
    // A widget reports the value the program sets as a change, too.
    if (ReportOwnChanges) edit.Changed();
  }
  void ControlChanged(IParamControl& sender) override {
    Log("C");
    Dx = dynamic_cast<INumberEdit&>(sender).Value();
    Execute();
  }

  std::string Name;
  double Dx;
  bool ReportOwnChanges = false;

 private:
  void Log(const char* what) { log_.push_back(std::string(what) + ":" + Name); }
  std::vector<std::string>& log_;
  std::vector<std::unique_ptr<TVertCopy>> copies_;
};

using TLog = std::vector<std::string>;

class StackControllerTest : public ::testing::Test {
 protected:
  StackControllerTest() : controller_(window_) { AddMesh(controller_.Live(), dir_, kFigure); }

  static const TStackTarget& Target() { return *FindStackTarget(1); }
  static const TCommandDescriptor& Descriptor(std::int32_t id) {
    return *Target().FindDescriptor(id);
  }
  TObjData& Mesh() { return *controller_.Live().Mesh(0); }
  TStackMng& Stack() { return *controller_.Stack(); }
  // How far the vertices that were moved went along x (vertex 0 starts at x -1).
  double Offset() { return Mesh().Vertices[0].X + 1; }

  // Appends a test move as the new last line, not yet applied, as a merged stack file does.
  TTestMove& AppendMove(const std::string& name, double dx = 1) {
    auto* move = static_cast<TTestMove*>(
        Stack().Commands.Add(std::make_unique<TTestMove>(&Stack(), log_, name, dx)));
    window_.Lines.push_back(move->Caption);
    return *move;
  }

  // A stack of: 0 initial, 1 select all, then the moves m2 .. m<last>, line 1 current.
  void StackOfMoves(int last) {
    controller_.NewStack(Target());
    controller_.AddCommand(Descriptor(7));
    for (int i = 2; i <= last; ++i) AppendMove(MoveName(i));
  }

  // A mark on the live state that only a rebuild from the pristine copy takes away.
  void Mark() { Mesh().Vertices[9].Z = 42; }
  bool Marked() { return Mesh().Vertices[9].Z == 42; }

  TTempDir dir_;
  TLog log_;
  TFakeWindow window_;
  TStackController controller_;
};

TEST_F(StackControllerTest, NewStackShowsTheInitialLine) {
  TGroup& hat = *Mesh().Groups[kHat];
  auto target = std::make_unique<TMorphTarget>(&hat);
  for (const TGroupVertex& e : hat.Vertices) {
    TBaseVertex p = e.Shaped;
    p.Y += 1;
    target->Positions.Add(p);
  }
  target->Value = 1;
  hat.MorphTargets.Add(std::move(target));
  hat.ApplyMorphTargets();
  ASSERT_NE(hat.Vertices[0].Shaped.Y, Mesh().Vertices[8].Y);
  controller_.SetModified(false);

  controller_.NewStack(Target());
  EXPECT_EQ(window_.Lines,
            (std::vector<std::string>{"Modify geometries to create a morph target"}));
  EXPECT_EQ(window_.GoalEntries, (std::vector<std::string>{"Goal: Create Morph Target"}));
  EXPECT_EQ(controller_.CurrentLine(), 0);
  EXPECT_EQ(window_.SelectedLine, 0);
  EXPECT_TRUE(controller_.Modified());
  EXPECT_FALSE(controller_.Busy());
  EXPECT_EQ(controller_.Live().ColourMode, 3);
  EXPECT_EQ(Mesh().ColourMode, 3);
  EXPECT_EQ(controller_.View().ColourMode, 3);
  EXPECT_EQ(window_.CommandButtonUpdates, 1);
  ASSERT_TRUE(Stack().Command(0)->StatusInfo->Objects);
  EXPECT_EQ(Stack().Command(0)->StatusInfo->Objects->Count(), 1);
  // The dials start at 0, in the live state and in the pristine copy.
  EXPECT_EQ(hat.MorphTargets[0]->Value, 0);
  EXPECT_EQ(hat.Vertices[0].Shaped.Y, Mesh().Vertices[8].Y);
  EXPECT_EQ(Stack().Pristine->Mesh(0)->Groups[kHat]->MorphTargets[0]->Value, 0);

  // A second stack is not started over the first.
  TStackMng* first = controller_.Stack();
  controller_.NewStack(Target());
  EXPECT_EQ(controller_.Stack(), first);
  EXPECT_EQ(window_.Lines.size(), 1u);
}

TEST_F(StackControllerTest, AddingAtTheLastLineAppendsWithoutAsking) {
  controller_.NewStack(Target());
  controller_.AddCommand(Descriptor(7));
  controller_.AddCommand(Descriptor(1), {.Group = Mesh().Groups[kLeft]});
  controller_.AddCommand(Descriptor(9));
  EXPECT_EQ(window_.AddModeQuestions, 0);
  EXPECT_EQ(window_.Lines,
            (std::vector<std::string>{"Modify geometries to create a morph target", "Select all",
                                      "Select group <b>left</b>", "Invert selection"}));
  EXPECT_EQ(Stack().Count(), 4);
  EXPECT_EQ(controller_.CurrentLine(), 3);
  EXPECT_EQ(window_.SelectedLine, 3);
  EXPECT_EQ(window_.WaitDepth, 0);
  // Select all, then left again (already), then inverted: nothing is left selected.
  EXPECT_EQ(FaceSelection(Mesh()), std::vector<bool>(4, false));
  // Each new command has its view stored.
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(Stack().Command(i)->StatusInfo->Objects) << i;
}

TEST_F(StackControllerTest, GoingBackRebuildsFromPristineAndGoingOnAppliesOnlyWhatFollows) {
  StackOfMoves(5);
  controller_.MakeCurrent(5);
  EXPECT_EQ(log_, (TLog{"P:m2", "E:m2", "R:m2", "P:m3", "E:m3", "R:m3", "P:m4", "E:m4", "R:m4",
                        "P:m5", "E:m5"}));
  EXPECT_EQ(Offset(), 4);
  EXPECT_EQ(controller_.CurrentLine(), 5);
  EXPECT_EQ(window_.SelectedLine, 5);

  Mark();
  log_.clear();
  controller_.MakeCurrent(3);
  EXPECT_EQ(log_, (TLog{"R:m5", "P:m2", "E:m2", "R:m2", "P:m3", "E:m3"}));
  EXPECT_FALSE(Marked());
  EXPECT_EQ(Offset(), 2);
  EXPECT_EQ(controller_.CurrentLine(), 3);

  Mark();
  log_.clear();
  controller_.MakeCurrent(5);
  EXPECT_EQ(log_, (TLog{"R:m3", "P:m4", "E:m4", "R:m4", "P:m5", "E:m5"}));
  EXPECT_TRUE(Marked());
  EXPECT_EQ(Offset(), 4);

  // Clicking the current line again does nothing.
  log_.clear();
  controller_.MakeCurrent(5);
  EXPECT_TRUE(log_.empty());
  // Neither do lines that do not exist.
  controller_.MakeCurrent(6);
  controller_.MakeCurrent(-1);
  EXPECT_TRUE(log_.empty());
  EXPECT_EQ(controller_.CurrentLine(), 5);
  EXPECT_GE(window_.SceneTreeRebuilds, 2);
}

// Replaying several lines at once refreshes the vertex flags of a run of selection commands
// only after the run; the state must be the very one that replaying line by line gives.
TEST_F(StackControllerTest, ReplayingRunsOfSelectionsGivesTheStateOfLineByLine) {
  controller_.NewStack(Target());
  TObjData& mesh = Mesh();
  TGroup* left = mesh.Groups[kLeft];
  TGroup* hat = mesh.Groups[kHat];
  controller_.AddCommand(Descriptor(7));                                   // select all
  controller_.AddCommand(Descriptor(2), {.Group = left});                  // deselect group
  controller_.AddCommand(Descriptor(9));                                   // invert
  controller_.AddCommand(Descriptor(4), {.Material = mesh.Materials[2]});  // deselect material
  controller_.AddCommand(Descriptor(1), {.Group = hat});                   // select group
  AppendMove("m6", 0.5);                                                   // reads the flags
  controller_.MakeCurrent(6);
  controller_.AddCommand(Descriptor(9));                                 // invert
  controller_.AddCommand(Descriptor(5), {.Entry = left->GroupMats[0]});  // select entry
  const int last = Stack().Count() - 1;
  ASSERT_EQ(last, 8);
  struct TState {
    std::vector<std::uint8_t> Bytes;
    std::vector<int> Flags;
  };
  auto state = [&] {
    TState st{test::StoredBytes(controller_.Live()), {}};
    for (const TObjVertex& v : Mesh().Vertices)
      st.Flags.push_back(v.Selected + 2 * v.Shown + 4 * v.Editable);
    return st;
  };
  for (int target = 1; target <= last; ++target) {
    SCOPED_TRACE(target);
    controller_.MakeCurrent(0);
    for (int line = 1; line <= target; ++line) controller_.MakeCurrent(line);
    const TState stepwise = state();
    controller_.MakeCurrent(0);
    controller_.MakeCurrent(target);  // from line 0 on
    const TState atOnce = state();
    EXPECT_EQ(atOnce.Bytes, stepwise.Bytes);
    EXPECT_EQ(atOnce.Flags, stepwise.Flags);
    controller_.MakeCurrent(last);
    controller_.MakeCurrent(target == last ? 0 : target);  // from the pristine copy
    if (target == last) controller_.MakeCurrent(last);
    const TState rebuilt = state();
    EXPECT_EQ(rebuilt.Bytes, stepwise.Bytes);
    EXPECT_EQ(rebuilt.Flags, stepwise.Flags);
  }
  // Not every line selects the same faces: the runs have something to skip.
  controller_.MakeCurrent(4);
  const TState four = state();
  controller_.MakeCurrent(5);
  EXPECT_NE(state().Flags, four.Flags);
}

TEST_F(StackControllerTest, InsertingPutsTheCommandAfterTheCurrentLine) {
  StackOfMoves(4);
  controller_.MakeCurrent(2);
  ASSERT_EQ(Offset(), 1);
  log_.clear();
  window_.AddModeAnswers = {TAddMode::Insert};
  controller_.AddCommand(Descriptor(8));
  EXPECT_EQ(window_.AddModeQuestions, 1);
  // The current command lets go; nothing is replayed.
  EXPECT_EQ(log_, (TLog{"R:m2"}));
  ASSERT_EQ(Stack().Count(), 6);
  EXPECT_NE(dynamic_cast<TSCClearSelection*>(Stack().Command(3)), nullptr);
  EXPECT_EQ(static_cast<TTestMove*>(Stack().Command(4))->Name, "m3");
  EXPECT_EQ(window_.Lines[3], "Clear selection");
  EXPECT_EQ(window_.Lines[4], "Move <b>m3</b>");
  EXPECT_EQ(controller_.CurrentLine(), 3);
  EXPECT_EQ(window_.SelectedLine, 3);
  // The state after lines 0 to 2 and the new command.
  EXPECT_EQ(Offset(), 1);
  EXPECT_EQ(FaceSelection(Mesh()), std::vector<bool>(4, false));

  // The commands after it apply to the new state when a later line is made current.
  log_.clear();
  controller_.MakeCurrent(4);
  EXPECT_EQ(log_, (TLog{"P:m3", "E:m3"}));
  EXPECT_EQ(Offset(), 1);
}

TEST_F(StackControllerTest, AddingAtTheEndFromAnEarlierLineReplaysTheRest) {
  StackOfMoves(4);
  controller_.MakeCurrent(2);
  log_.clear();
  window_.AddModeAnswers = {TAddMode::Append};
  controller_.AddCommand(Descriptor(9));
  EXPECT_EQ(log_, (TLog{"R:m2", "P:m3", "E:m3", "R:m3", "P:m4", "E:m4", "R:m4"}));
  ASSERT_EQ(Stack().Count(), 6);
  EXPECT_NE(dynamic_cast<TSCInvertSelection*>(Stack().Command(5)), nullptr);
  EXPECT_EQ(window_.Lines.back(), "Invert selection");
  EXPECT_EQ(controller_.CurrentLine(), 5);
  EXPECT_EQ(Offset(), 3);
  EXPECT_EQ(FaceSelection(Mesh()), std::vector<bool>(4, false));
}

TEST_F(StackControllerTest, CancelledAddLeavesTheStackButReleasesTheCurrentCommand) {
  StackOfMoves(4);
  controller_.MakeCurrent(2);
  const std::vector<std::string> lines = window_.Lines;
  log_.clear();
  window_.AddModeAnswers = {TAddMode::Cancel};
  controller_.AddCommand(Descriptor(9));
  EXPECT_EQ(log_, (TLog{"R:m2"}));
  EXPECT_EQ(Stack().Count(), 5);
  EXPECT_EQ(window_.Lines, lines);
  EXPECT_EQ(window_.WaitDepth, 0);
  EXPECT_FALSE(controller_.Busy());
  // The line is prepared again when it is next made current.
  log_.clear();
  controller_.MakeCurrent(2);
  EXPECT_EQ(log_, (TLog{"P:m2", "E:m2"}));
  EXPECT_EQ(Offset(), 1);
  EXPECT_EQ(controller_.CurrentLine(), 2);
}

TEST_F(StackControllerTest, KindWithoutCommandAddsNothing) {
  StackOfMoves(3);
  controller_.MakeCurrent(3);
  ASSERT_EQ(Offset(), 2);
  const TCommandDescriptor madeUp(4242, "Made up", "Made up", 0);
  controller_.AddCommand(madeUp);
  EXPECT_EQ(Stack().Count(), 4);
  EXPECT_EQ(window_.Lines.size(), 4u);
  EXPECT_EQ(controller_.CurrentLine(), 3);
  EXPECT_EQ(Offset(), 2);
  EXPECT_FALSE(controller_.Busy());
}

TEST_F(StackControllerTest, DeletingALineReplaysFromTheStart) {
  struct TCase {
    int Current, Delete;
    int NewCurrent;
    std::string NewCurrentName;
    double Offset;
  };
  // Lines: 0 initial, 1 select all, 2 m2, 3 m3, 4 m4.
  const TCase cases[] = {
      {2, 2, 2, "m3", 1},  // the line that takes its number
      {4, 4, 3, "m3", 2},  // the new last line
      {4, 2, 3, "m4", 2},  // the selected line is now beyond the end
      {2, 3, 2, "m2", 1},  // another line than the current one
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.Current) + " delete " + std::to_string(c.Delete));
    TLog log;  // outlives the controller, whose commands write into it as they go
    TFakeWindow window;
    TStackController controller(window);
    AddMesh(controller.Live(), dir_, kFigure);
    controller.NewStack(Target());
    controller.AddCommand(Descriptor(7));
    for (int i = 2; i <= 4; ++i) {
      auto move = std::make_unique<TTestMove>(controller.Stack(), log, MoveName(i), 1);
      window.Lines.push_back(move->Caption);
      controller.Stack()->Commands.Add(std::move(move));
    }
    controller.MakeCurrent(c.Current);
    controller.Live().Mesh(0)->Vertices[9].Z = 42;
    log.clear();

    window.WarningAnswers = {true};
    controller.DeleteCommand(c.Delete);
    EXPECT_EQ(window.Warnings,
              (std::vector<std::string>{"Delete command:Move m" + std::to_string(c.Delete) +
                                        "\r\nConfirm?"}));
    ASSERT_EQ(controller.Stack()->Count(), 4);
    EXPECT_EQ(window.Lines.size(), 4u);
    EXPECT_EQ(controller.CurrentLine(), c.NewCurrent);
    EXPECT_EQ(window.SelectedLine, c.NewCurrent);
    EXPECT_EQ(static_cast<TTestMove*>(controller.Stack()->Command(c.NewCurrent))->Name,
              c.NewCurrentName);
    EXPECT_EQ(controller.Live().Mesh(0)->Vertices[9].Z, 1);
    EXPECT_EQ(controller.Live().Mesh(0)->Vertices[0].X + 1, c.Offset);
    EXPECT_NE(std::find(log.begin(), log.end(), "D:" + MoveName(c.Delete)), log.end());
    // The current command was let go before the replay, and the new one is open.
    EXPECT_EQ(log.back(), "E:" + c.NewCurrentName);
    for (const std::string& line : window.Lines)
      EXPECT_EQ(line.find(MoveName(c.Delete) + "<"), std::string::npos);
  }
}

TEST_F(StackControllerTest, DeleteAnsweredNoChangesNothing) {
  StackOfMoves(3);
  controller_.MakeCurrent(3);
  log_.clear();
  window_.WarningAnswers = {false};
  controller_.DeleteCommand(2);
  EXPECT_EQ(window_.Warnings.size(), 1u);
  EXPECT_EQ(Stack().Count(), 4);
  EXPECT_EQ(controller_.CurrentLine(), 3);
  EXPECT_TRUE(log_.empty());
  // The initial line cannot be deleted, and is not even asked about.
  controller_.DeleteCommand(0);
  EXPECT_EQ(window_.Warnings.size(), 1u);
  EXPECT_EQ(Stack().Count(), 4);
}

TEST_F(StackControllerTest, DeleteQuestionShowsThePlainCaption) {
  controller_.NewStack(Target());
  controller_.AddCommand(Descriptor(5), {.Entry = Mesh().Groups[kLeft]->GroupMats[1]});
  window_.WarningAnswers = {false};
  controller_.DeleteCommand(1);
  EXPECT_EQ(
      window_.Warnings,
      (std::vector<std::string>{"Delete command:Select material cloth of group left\r\nConfirm?"}));
}

TEST_F(StackControllerTest, ClearingAsksAndGoesBackToThePristineState) {
  StackOfMoves(3);
  controller_.MakeCurrent(3);
  window_.WarningAnswers = {false};
  EXPECT_FALSE(controller_.ClearStack());
  EXPECT_EQ(window_.Warnings, (std::vector<std::string>{"Do you want to clear the stack?"}));
  EXPECT_NE(controller_.Stack(), nullptr);
  EXPECT_EQ(Offset(), 2);

  log_.clear();
  window_.WarningAnswers = {true};
  EXPECT_TRUE(controller_.ClearStack());
  EXPECT_EQ(controller_.Stack(), nullptr);
  EXPECT_EQ(Offset(), 0);
  EXPECT_EQ(FaceSelection(Mesh()), std::vector<bool>(4, false));
  EXPECT_TRUE(window_.Lines.empty());
  EXPECT_TRUE(window_.GoalEntries.empty());
  EXPECT_TRUE(window_.Params.Controls().empty());
  EXPECT_EQ(controller_.CurrentLine(), -1);
  EXPECT_EQ(log_.front(), "R:m3");
  EXPECT_NE(std::find(log_.begin(), log_.end(), "D:m2"), log_.end());
  EXPECT_NE(std::find(log_.begin(), log_.end(), "D:m3"), log_.end());
  // A new stack can be started again.
  controller_.NewStack(Target());
  EXPECT_NE(controller_.Stack(), nullptr);
}

TEST_F(StackControllerTest, FailedCommandTurnsRedAndTheRestStillRuns) {
  controller_.NewStack(Target());
  controller_.AddCommand(Descriptor(1), {.Group = Mesh().Groups[kHat]});
  AppendMove("m2", 0.5);
  static_cast<TSCSelectGroup*>(Stack().Command(1))->GroupId = 99;
  controller_.MakeCurrent(0);
  log_.clear();
  controller_.MakeCurrent(2);
  EXPECT_TRUE(Stack().Command(1)->Failed);
  EXPECT_EQ(window_.Lines[1], "<c:Red>Select group <b>\?\?\?</b>");
  EXPECT_EQ(log_, (TLog{"P:m2", "E:m2"}));
}

// ---------------------------------------------------------------------------------------------
// Goal

// Every long operation shows the hourglass and gives the cursor back; the stack's commands
// reach the same hourglass through their manager.
TEST_F(StackControllerTest, LongOperationsShowTheHourglass) {
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"new stack", [&] { controller_.NewStack(Target()); }},
      {"add", [&] { controller_.AddCommand(Descriptor(7)); }},
      {"back to line 0", [&] { controller_.MakeCurrent(0); }},
      {"replay line 1", [&] { controller_.MakeCurrent(1); }},
      {"goal",
       [&] {
         window_.WarningAnswers = {false};
         controller_.RunGoal(0);
       }},
  };
  for (const auto& [name, step] : steps) {
    SCOPED_TRACE(name);
    const int before = window_.Waits;
    step();
    EXPECT_GT(window_.Waits, before);
    EXPECT_EQ(window_.WaitDepth, 0);
    ASSERT_NE(controller_.Stack(), nullptr);
    EXPECT_EQ(Stack().WaitCursor, &window_);
  }
}

// The scene tree given to the controller shows every live state after it: the working copy of
// a replay from the pristine state, a new project.
TEST_F(StackControllerTest, EveryLiveStateReachesTheSceneTree) {
  struct TTree : ITreeNodeSink {
    void SetNodeChecked(void* node, bool checked) override { Checked[node] = checked; }
    bool IsNodeExpanded(void*) const override { return false; }
    void SetNodeExpanded(void*, bool) override {}
    std::map<void*, bool> Checked;
  };
  TTree tree;
  const auto shown = [&] {
    bool all = controller_.Live().TreeNodes() == &tree;
    controller_.Live().Meshes.ForEach(
        [&](const TObjData& m) { all = all && m.TreeNodes == &tree; });
    return all;
  };
  controller_.SetTreeNodes(&tree);
  EXPECT_TRUE(shown());
  StackOfMoves(3);
  controller_.MakeCurrent(3);
  Mark();
  controller_.MakeCurrent(1);
  EXPECT_FALSE(Marked());  // rebuilt from the pristine copy
  ASSERT_TRUE(shown());
  int node = 0;
  Mesh().Groups[kLeft]->TreeNode = &node;
  Mesh().SetAllVisible(false);
  EXPECT_EQ(tree.Checked, (std::map<void*, bool>{{&node, false}}));
  controller_.NewProject();
  EXPECT_TRUE(shown());
  controller_.SetTreeNodes(nullptr);
  EXPECT_EQ(controller_.Live().TreeNodes(), nullptr);
}

TEST_F(StackControllerTest, GoalWithoutMovesShowsNoDialogAndStillAsksToClear) {
  StackOfMoves(2);
  static_cast<TTestMove*>(Stack().Command(2))->Dx = 0;
  window_.WarningAnswers = {false};
  controller_.RunGoal(0);
  EXPECT_TRUE(window_.MorphRequests.empty());
  EXPECT_EQ(window_.Warnings, (std::vector<std::string>{"Do you want to clear the stack?"}));
  EXPECT_EQ(controller_.CurrentLine(), 0);
  EXPECT_EQ(window_.SelectedLine, 0);
  ASSERT_NE(controller_.Stack(), nullptr);
  // The last line was made current for the goal, then line 0.
  EXPECT_EQ(log_, (TLog{"P:m2", "E:m2", "R:m2"}));
  Stack().Pristine->Mesh(0)->Groups.ForEach(
      [](const TGroup& g) { EXPECT_EQ(g.MorphTargets.Count(), 0) << g.Name; });
}

TEST_F(StackControllerTest, CancellingOneMorphDialogCreatesTheOthers) {
  controller_.NewStack(Target());
  controller_.AddCommand(Descriptor(1), {.Group = Mesh().Groups[kRight]});
  AppendMove("m2", 0.5);
  controller_.MakeCurrent(2);
  // The hat (and right with it) moves away and back exactly: the hat has not changed.
  controller_.AddCommand(Descriptor(1), {.Group = Mesh().Groups[kHat]});
  AppendMove("away", 0.25);
  AppendMove("back", -0.25);

  window_.MorphNameAnswers = {std::nullopt, std::string(" \t ")};
  window_.WarningAnswers = {true};
  controller_.RunGoal(0);

  // Right moved, and left shares two of its vertices.
  ASSERT_EQ(window_.MorphRequests.size(), 2u);
  EXPECT_EQ(window_.MorphRequests[0].Title, "Create a morph target");
  EXPECT_EQ(window_.MorphRequests[0].MeshLine, "Mesh:figure");
  EXPECT_EQ(window_.MorphRequests[0].CountLine, "Morph 1 of 2");
  EXPECT_EQ(window_.MorphRequests[0].Proposed, "right_");
  EXPECT_EQ(window_.MorphRequests[1].CountLine, "Morph 2 of 2");
  EXPECT_EQ(window_.MorphRequests[1].Proposed, "left_");
  EXPECT_EQ(controller_.Stack(), nullptr);

  // The live state is the pristine one again, now with the new target of left only.
  EXPECT_EQ(Offset(), 0);
  EXPECT_EQ(Mesh().Groups[kRight]->MorphTargets.Count(), 0);
  EXPECT_EQ(Mesh().Groups[kHat]->MorphTargets.Count(), 0);
  ASSERT_EQ(Mesh().Groups[kLeft]->MorphTargets.Count(), 1);
  const TMorphTarget& t = *Mesh().Groups[kLeft]->MorphTargets[0];
  // Blanks only: the group's name and "_".
  EXPECT_EQ(t.Name, "left_");
  EXPECT_EQ(t.Value, 0);
  std::vector<double> xs;
  for (const TBaseVertex& p : t.Positions) xs.push_back(p.X);
  // Left's vertices 2, 3 (moved with right), 4, 5, 6, 7.
  EXPECT_EQ(xs, (std::vector<double>{0.5, 0.5, 1, 1, 2, 2}));
}

TEST(StackGoalTest, CreateMorphComparesShapedPositionsExactly) {
  struct TCase {
    const char* Name;
    std::function<void(TObjData&)> Change;
    std::vector<std::optional<std::string>> Answers;
    std::vector<std::string> Proposed;    // the dialogs shown
    std::vector<std::string> HatTargets;  // names of the hat's new targets
  };
  const auto moveHat = [](double dx, double dy, double dz) {
    return [=](TObjData& m) {
      for (TObjVertex& v : m.Vertices)
        if (v.Index >= 8) {
          v.SetX(v.X + dx);
          v.Y += dy;
          v.Z += dz;
        }
    };
  };
  const TCase cases[] = {
      {"nothing moved", [](TObjData&) {}, {}, {}, {}},
      {"moved away and back",
       [&](TObjData& m) {
         moveHat(0.25, 0.5, 0)(m);
         moveHat(-0.25, -0.5, 0)(m);
       },
       {},
       {},
       {}},
      {"a tiny move counts", moveHat(1e-12, 0, 0), {std::string("tiny")}, {"hat_"}, {"tiny"}},
      {"y alone", moveHat(0, 0.5, 0), {std::string("up")}, {"hat_"}, {"up"}},
      {"z alone", moveHat(0, 0, -0.5), {std::string("")}, {"hat_"}, {"hat_"}},
      {"cancelled", moveHat(1, 0, 0), {std::nullopt}, {"hat_"}, {}},
      {"x-locked vertices keep x",
       [&](TObjData& m) {
         for (TObjVertex& v : m.Vertices) v.XLocked = true;
         moveHat(1, 0, 0)(m);
       },
       {},
       {},
       {}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TTempDir dir;
    TMultiObjData pristine;
    AddMesh(pristine, dir, kFigure);
    auto live = CopyEditState(pristine);
    TObjData& m = *live->Mesh(0);
    c.Change(m);
    m.Groups.ForEach([](TGroup& g) { g.ApplyMorphTargets(); });
    TFakeWindow namer;
    namer.MorphNameAnswers.assign(c.Answers.begin(), c.Answers.end());
    TSGCreateMorph goal;
    goal.Run(namer, *live, pristine);
    std::vector<std::string> proposed;
    for (const TMorphNameRequest& r : namer.MorphRequests) proposed.push_back(r.Proposed);
    EXPECT_EQ(proposed, c.Proposed);
    TGroup& hat = *pristine.Mesh(0)->Groups[kHat];
    std::vector<std::string> names;
    hat.MorphTargets.ForEach([&](const TMorphTarget& t) {
      names.push_back(t.Name);
      EXPECT_EQ(t.Group, &hat);
      EXPECT_EQ(t.Id, -1);
      ASSERT_EQ(t.Positions.Count(), 3);
      for (std::int32_t k = 0; k < 3; ++k) {
        EXPECT_EQ(t.Positions[k].X, m.Groups[kHat]->Vertices[k].Shaped.X);
        EXPECT_EQ(t.Positions[k].Y, m.Groups[kHat]->Vertices[k].Shaped.Y);
        EXPECT_EQ(t.Positions[k].Z, m.Groups[kHat]->Vertices[k].Shaped.Z);
      }
    });
    EXPECT_EQ(names, c.HatTargets);
    for (int g : {kRight, kLeft}) EXPECT_EQ(pristine.Mesh(0)->Groups[g]->MorphTargets.Count(), 0);
  }
}

TEST(StackGoalTest, DialledTargetsAreBakedInAndMeshesKeepTheirOrder) {
  TTempDir dir;
  TMultiObjData pristine;
  AddMesh(pristine, dir, kFigure, "a");
  AddMesh(pristine, dir, kFigure, "b");
  // b's hat has a target that lifts it by 1; dialled to 0.5 in the live state only.
  TGroup& hat = *pristine.Mesh(1)->Groups[kHat];
  auto lift = std::make_unique<TMorphTarget>(&hat);
  lift->Name = "lift";
  for (const TGroupVertex& e : hat.Vertices) {
    TBaseVertex p = e.Shaped;
    p.Y += 1;
    lift->Positions.Add(p);
  }
  hat.MorphTargets.Add(std::move(lift));
  auto live = CopyEditState(pristine);
  TGroup& liveHat = *live->Mesh(1)->Groups[kHat];
  liveHat.MorphTargets[0]->Value = 0.5f;
  liveHat.ApplyMorphTargets();

  TFakeWindow namer;
  namer.MorphNameAnswers = {std::string("half lift")};
  TSGCreateMorph goal;
  goal.Run(namer, *live, pristine);
  ASSERT_EQ(namer.MorphRequests.size(), 1u);
  EXPECT_EQ(namer.MorphRequests[0].MeshLine, "Mesh:b");
  EXPECT_EQ(namer.MorphRequests[0].CountLine, "Morph 1 of 1");
  ASSERT_EQ(hat.MorphTargets.Count(), 2);
  const TMorphTarget& made = *hat.MorphTargets[1];
  EXPECT_EQ(made.Name, "half lift");
  // Hat vertices 8, 9, 10 at y 0, 1, 0, lifted by half.
  std::vector<double> ys;
  for (const TBaseVertex& p : made.Positions) ys.push_back(p.Y);
  EXPECT_EQ(ys, (std::vector<double>{0.5, 1.5, 0.5}));
  EXPECT_EQ(pristine.Mesh(0)->Groups[kHat]->MorphTargets.Count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Parameters and view

TEST_F(StackControllerTest, ParameterChangesAreIgnoredWhileBusy) {
  StackOfMoves(2);
  static_cast<TTestMove*>(Stack().Command(2))->ReportOwnChanges = true;
  controller_.MakeCurrent(2);
  // The change the edit reported while its controls were built was the program's own.
  EXPECT_EQ(log_, (TLog{"P:m2", "E:m2"}));
  ASSERT_EQ(window_.Params.Edits().size(), 1u);
  test::TFakeNumberEdit& edit = *window_.Params.Edits()[0];
  EXPECT_EQ(edit.Value(), 1);
  EXPECT_EQ(edit.Tag, Stack().Command(2));

  controller_.SetModified(false);
  const int redraws = window_.Redraws;
  log_.clear();
  edit.Type(2.5);
  EXPECT_EQ(log_, (TLog{"C:m2", "E:m2"}));
  EXPECT_TRUE(controller_.Modified());
  EXPECT_FALSE(controller_.Busy());
  EXPECT_EQ(window_.Redraws, redraws + 1);
  EXPECT_EQ(Offset(), 2.5);

  // A control that belongs to no command only marks the project as modified.
  controller_.SetModified(false);
  INumberEdit& loose = window_.Params.AddNumberEdit({0, 0, 70, 21});
  loose.OnChange = controller_.ChangeHandler();
  log_.clear();
  loose.Changed();
  EXPECT_TRUE(controller_.Modified());
  EXPECT_TRUE(log_.empty());
}

TEST_F(StackControllerTest, ViewIsStoredIntoAndRestoredFromTheCommand) {
  controller_.NewStack(Target());
  controller_.AddCommand(Descriptor(7));
  TViewSettings& view = controller_.View();
  view.PickMode = 3;
  view.CameraMode = 2;
  view.TrackingMode = 2;
  controller_.SetColourMode(2);
  view.DisplayMode = 0;
  view.FaceCulling = false;
  view.BackFaceFill = true;
  view.Side = 1;
  controller_.Live().SetSide(1);
  view.CameraPosition = {1, 2, 3};
  view.LightPosition = {4, 5, 6};
  view.TargetPosition = {7, 8, 9};
  Mesh().Groups[kHat]->SetVisible(false);
  Mesh().Visible = false;

  TStackCommand& line1 = *Stack().Command(1);
  controller_.StoreView(line1);
  EXPECT_EQ(line1.StatusInfo->Options, (TViewOptions{3, 2, 2, 2, 0, 0, 1, 1}));
  EXPECT_EQ(line1.StatusInfo->CameraPosition, (TPoint3{1, 2, 3}));
  EXPECT_EQ(line1.StatusInfo->LightPosition, (TPoint3{4, 5, 6}));
  EXPECT_EQ(line1.StatusInfo->TargetPosition, (TPoint3{7, 8, 9}));
  ASSERT_EQ(line1.StatusInfo->Objects->Count(), 1);
  EXPECT_EQ((*line1.StatusInfo->Objects)[0]->Id, Mesh().Id);
  EXPECT_FALSE((*line1.StatusInfo->Objects)[0]->Visible);

  // Line 0 shows its own view on a fresh copy of the pristine state.
  controller_.MakeCurrent(0);
  EXPECT_EQ(view.CameraPosition, Stack().Command(0)->StatusInfo->CameraPosition);
  EXPECT_EQ(view.Side, 0);
  EXPECT_EQ(controller_.Live().Side, 0);
  EXPECT_TRUE(Mesh().Visible);
  EXPECT_TRUE(Mesh().Groups[kHat]->Visible);
  EXPECT_TRUE(Mesh().Faces[3].Shown);

  controller_.MakeCurrent(1);
  // Pick mode 3 was stored, but the command's display flags (16) choose pick mode 2.
  EXPECT_EQ(view.PickMode, 2);
  EXPECT_FALSE(view.VertexPoints);
  EXPECT_EQ(view.CameraMode, 2);
  EXPECT_EQ(view.TrackingMode, 2);
  EXPECT_EQ(view.ColourMode, 2);
  EXPECT_EQ(view.DisplayMode, 0);
  EXPECT_FALSE(view.FaceCulling);
  EXPECT_TRUE(view.BackFaceFill);
  EXPECT_EQ(view.Side, 1);
  EXPECT_EQ(view.CameraPosition, (TPoint3{1, 2, 3}));
  EXPECT_EQ(view.LightPosition, (TPoint3{4, 5, 6}));
  EXPECT_EQ(view.TargetPosition, (TPoint3{7, 8, 9}));
  EXPECT_EQ(controller_.Live().TrackingMode, 2);
  EXPECT_EQ(controller_.Live().ColourMode, 2);
  EXPECT_EQ(controller_.Live().DisplayMode, 0);
  EXPECT_EQ(controller_.Live().Side, 1);
  EXPECT_EQ(Mesh().Side, 1);
  EXPECT_EQ(Mesh().ColourMode, 2);
  EXPECT_FALSE(Mesh().Visible);
  EXPECT_FALSE(Mesh().Groups[kHat]->Visible);
  EXPECT_FALSE(Mesh().Faces[3].Shown);
  EXPECT_TRUE(Mesh().Faces[0].Shown);
  EXPECT_GE(window_.ViewChanges, 2);
}

TEST_F(StackControllerTest, LeavingALineStoresItsView) {
  StackOfMoves(2);
  controller_.View().CameraPosition = {0, 1, 5};
  controller_.MakeCurrent(2);
  EXPECT_EQ(Stack().Command(1)->StatusInfo->CameraPosition, (TPoint3{0, 1, 5}));
  controller_.View().CameraPosition = {9, 9, 9};
  controller_.MakeCurrent(1);
  EXPECT_EQ(Stack().Command(2)->StatusInfo->CameraPosition, (TPoint3{9, 9, 9}));
  EXPECT_EQ(controller_.View().CameraPosition, (TPoint3{0, 1, 5}));
}

TEST(StackControllerFlags, DisplayFlagsChoosePickModeAndVertexPoints) {
  struct TCase {
    std::int32_t Flags;
    int PickMode;
    bool VertexPoints;
  };
  // Starting from pick mode 1; bits are tested in the order 3, 4, 1, 2, 5.
  const TCase cases[] = {
      {0, 1, false},
      {1, 1, true},
      {1 << 3, 1, false},
      {1 << 4, 2, false},
      {1 << 1, 3, false},
      {1 << 2, 4, false},
      {1 << 5, 0, false},
      {(1 << 5) | 1, 0, true},
      {(1 << 3) | (1 << 4), 1, false},
      {(1 << 4) | (1 << 1), 2, false},
      {(1 << 1) | (1 << 2), 3, false},
      {(1 << 2) | (1 << 5), 4, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Flags);
    TFakeWindow window;
    TStackController controller(window);
    controller.View().PickMode = 1;
    controller.View().VertexPoints = !c.VertexPoints;
    controller.ApplyDisplayFlags(c.Flags);
    EXPECT_EQ(controller.View().PickMode, c.PickMode);
    EXPECT_EQ(controller.View().VertexPoints, c.VertexPoints);
  }
}

// A command whose result holds a position that is not a finite number, or one beyond the
// range of coordinates, fails: its line turns red with the reason, the commands after it are
// not blamed, and the goal makes no target of it.
TEST(StackControllerFaultTest, BadResultsFailTheirCommandAndMakeNoTarget) {
  TTempDir dir;
  TFakeWindow window;
  TStackController c(window);
  AddMesh(c.Live(), dir, kFigure);
  c.NewStack(*FindStackTarget(1));
  const TStackTarget& target = *FindStackTarget(1);
  c.AddCommand(*target.FindDescriptor(7));  // select all
  for (int i = 0; i < 3; ++i) c.AddCommand(*target.FindDescriptor(103));
  auto scale = [&](int line) -> TVec3s& {
    return dynamic_cast<TSCScale&>(*c.Stack()->Command(line)).Factors;
  };
  struct TCase {
    float Factor;  // of line 3; line 2 scales by 1e5, line 4 by 2
    const char* Fault;
  };
  // 1e35 overflows the singles of the scaling; 1e6 gives about 1e11.
  for (const TCase tc :
       {TCase{1e35f, "the result holds a position that is not a finite number"},
        TCase{1e6f, "the result holds a position beyond 1e9 in magnitude"}, TCase{1.0f, nullptr}}) {
    SCOPED_TRACE(tc.Factor);
    scale(2) = {1e5f, 1e5f, 1e5f};
    scale(3) = {tc.Factor, tc.Factor, tc.Factor};
    scale(4) = {2, 2, 2};
    c.MakeCurrent(1);
    c.MakeCurrent(4);
    for (int line = 2; line <= 4; ++line) {
      SCOPED_TRACE(line);
      const TStackCommand& command = *c.Stack()->Command(line);
      const bool faulted = line == 3 && tc.Fault;
      EXPECT_EQ(command.Fault, faulted ? tc.Fault : "");
      EXPECT_EQ(window.Lines[static_cast<std::size_t>(line)],
                faulted ? "<c:Red>" + command.PlainCaption() + ": " + tc.Fault : command.Caption);
    }
    EXPECT_EQ(PositionFault(c.Live()) != nullptr, tc.Fault != nullptr);
    if (!tc.Fault) continue;

    window.WarningAnswers.push_back(false);  // keep the stack
    c.RunGoal(0);
    EXPECT_TRUE(window.MorphRequests.empty());
    c.Stack()->Pristine->Meshes.ForEach([](const TObjData& m) {
      m.Groups.ForEach([](const TGroup& g) { EXPECT_EQ(g.MorphTargets.Count(), 0) << g.Name; });
    });
  }
}

}  // namespace
}  // namespace tarvel
