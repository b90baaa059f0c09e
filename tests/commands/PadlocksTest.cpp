#include "commands/Padlocks.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/CommandFakes.h"
#include "commands/Kinds.h"
#include "commands/Transforms.h"
#include "stack/EditStateFixture.h"
#include "stack/StackController.h"

namespace tarvel {
namespace {

using test::AddMesh;
using test::BaseHex;
using test::FaceSelection;
using test::Hex;
using test::kFigure;
using test::kHat;
using test::kLeft;
using test::kRight;
using test::ReloadCommand;
using test::SoftWeights;
using test::StoredBytes;
using test::StrHex;
using test::TCommandScene;
using test::TFakeWindow;
using test::ToHex;
using test::TTempDir;
using test::VertexSelection;

// Runs a command as adding it does: Prepare, then SetObject.
template <class T>
T& RunCommand(TCommandScene& s, const TSceneObject& object = std::monostate{}) {
  T& c = s.Add<T>();
  c.Prepare();
  c.SetObject(object);
  return c;
}

// Moves every vertex taking part by (0, 1, 0).
void MoveUp(TCommandScene& s) {
  auto& t = s.Add<TSCTranslate>();
  t.Offset = {0, -1, 0};
  t.Prepare();
  t.Execute();
  t.Release();
}

std::vector<bool> RightUnlocked(const TObjData& mesh) {
  std::vector<bool> out;
  for (const TObjFace& f : mesh.Faces) out.push_back(f.RightUnlocked);
  return out;
}

std::vector<bool> LeftUnlocked(const TObjData& mesh) {
  std::vector<bool> out;
  for (const TObjFace& f : mesh.Faces) out.push_back(f.LeftUnlocked);
  return out;
}

std::vector<bool> XLocked(const TObjData& mesh) {
  std::vector<bool> out;
  for (const TObjVertex& v : mesh.Vertices) out.push_back(v.XLocked);
  return out;
}

TEST(PadlocksTest, LockingAllGroupsClearsSelectionAndSoftWeights) {
  TCommandScene s(kFigure);
  s.live.SelectAllFaces(true);
  test::SetAllSoftWeights(s.Mesh(), 0.5f);
  s.live.UpdateVertexFlags();

  auto& lock = RunCommand<TSCLockAllGroups>(s);
  EXPECT_EQ(lock.Caption, "Lock edit of all groups");
  EXPECT_FALSE(lock.Failed);
  s.Mesh().Groups.ForEach([](const TGroup& g) { EXPECT_FALSE(g.Unlocked) << g.Name; });
  for (const TObjFace& f : s.Mesh().Faces) EXPECT_FALSE(f.GroupUnlocked);
  EXPECT_EQ(FaceSelection(s.Mesh()), std::vector<bool>(4, false));
  EXPECT_EQ(VertexSelection(s.Mesh()), std::vector<bool>(11, false));
  EXPECT_EQ(SoftWeights(s.Mesh()), std::vector<float>(11, 0));

  // Nothing can be selected while locked.
  RunCommand<TSCSelectAll>(s);
  EXPECT_EQ(FaceSelection(s.Mesh()), std::vector<bool>(4, false));

  auto& unlock = RunCommand<TSCUnLockAllGroups>(s);
  EXPECT_EQ(unlock.Caption, "Unlock edit of all groups");
  s.Mesh().Groups.ForEach([](const TGroup& g) { EXPECT_TRUE(g.Unlocked) << g.Name; });
  for (const TObjFace& f : s.Mesh().Faces) EXPECT_TRUE(f.GroupUnlocked);
  // Unlocking selects nothing back.
  EXPECT_EQ(FaceSelection(s.Mesh()), std::vector<bool>(4, false));
  EXPECT_EQ(SoftWeights(s.Mesh()), std::vector<float>(11, 0));
}

TEST(PadlocksTest, LockedRightSideKeepsItsFacesOutOfTheSelection) {
  TCommandScene s(kFigure);
  RunCommand<TSCLockRightSide>(s);
  // Face 0 (x from -1 to 0) is the only face with every corner on the right side.
  EXPECT_EQ(RightUnlocked(s.Mesh()), (std::vector<bool>{false, true, true, true}));
  RunCommand<TSCSelectAll>(s);
  EXPECT_EQ(FaceSelection(s.Mesh()), (std::vector<bool>{false, true, true, true}));

  // Vertices 2 and 3 lie on the plane X = 0 and are shared with the locked face: they move
  // with the selected face 1.
  const std::vector<double> y0 = {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
  MoveUp(s);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(s.V(i).Y, y0[i] + (i < 2 ? 0 : 1)) << i;
}

TEST(PadlocksTest, SideBoundsAreNotSymmetric) {
  // Each group is one triangle whose first corner is near the plane X = 0.
  const std::string obj = test::ObjText(
      {
          {0.00000005, 0, 0}, {-1, 0, 0}, {-1, 1, 0},  // A: right side
          {0.0000002, 0, 1},  {-1, 0, 1}, {-1, 1, 1},  // B: off the right side
          {-0.0000005, 0, 2}, {1, 0, 2},  {1, 1, 2},   // C: left side
          {-0.000002, 0, 3},  {1, 0, 3},  {1, 1, 3},   // D: off the left side
          {0, 0, 4},          {0, 1, 4},  {0, 0, 5},   // E: in the plane, both sides
          {0.0000001, 0, 6},  {-1, 0, 6}, {-1, 1, 6},  // F: right bound itself
          {-0.000001, 0, 7},  {1, 0, 7},  {1, 1, 7},   // G: left bound itself
      },
      {{"A", {1, 2, 3}},
       {"B", {4, 5, 6}},
       {"C", {7, 8, 9}},
       {"D", {10, 11, 12}},
       {"E", {13, 14, 15}},
       {"F", {16, 17, 18}},
       {"G", {19, 20, 21}}});
  //                              A      B      C      D      E      F      G
  const std::vector<bool> right = {false, true, true, true, false, false, true};
  const std::vector<bool> left = {true, true, false, true, false, true, false};
  const std::vector<bool> open(7, true);
  {
    TCommandScene s(obj);
    s.live.SelectAllFaces(true);
    auto& lock = RunCommand<TSCLockRightSide>(s);
    EXPECT_EQ(lock.Caption, "Lock edit of right side");
    EXPECT_EQ(RightUnlocked(s.Mesh()), right);
    EXPECT_EQ(LeftUnlocked(s.Mesh()), open);
    // A locked face loses its selection; the others keep it.
    EXPECT_EQ(FaceSelection(s.Mesh()), right);
    auto& unlock = RunCommand<TSCUnlockRightSide>(s);
    EXPECT_EQ(unlock.Caption, "Unlock edit of right side");
    EXPECT_EQ(RightUnlocked(s.Mesh()), open);
    EXPECT_EQ(FaceSelection(s.Mesh()), right);
  }
  {
    TCommandScene s(obj);
    s.live.SelectAllFaces(true);
    auto& lock = RunCommand<TSCLockLeftSide>(s);
    EXPECT_EQ(lock.Caption, "Lock edit of left side");
    EXPECT_EQ(LeftUnlocked(s.Mesh()), left);
    EXPECT_EQ(RightUnlocked(s.Mesh()), open);
    EXPECT_EQ(FaceSelection(s.Mesh()), left);
    auto& unlock = RunCommand<TSCUnlockLeftSide>(s);
    EXPECT_EQ(unlock.Caption, "Unlock edit of left side");
    EXPECT_EQ(LeftUnlocked(s.Mesh()), open);
  }
}

TEST(PadlocksTest, SidePadlocksKeepSoftWeights) {
  TCommandScene s(kFigure);
  s.V(0).SetSoftWeight(0.5f);
  s.V(1).SetSoftWeight(1);
  RunCommand<TSCLockRightSide>(s);
  EXPECT_EQ(s.V(0).SoftWeight, 0.5f);
  EXPECT_EQ(s.V(1).SoftWeight, 1);
  MoveUp(s);
  EXPECT_EQ(s.V(0).Y, 0.5);
  EXPECT_EQ(s.V(1).Y, 2);
  EXPECT_EQ(s.V(4).Y, 0);
}

TEST(PadlocksTest, LockCoordinatesX0) {
  const std::string obj = test::ObjText({{0.00000009, 0, 0},
                                         {-0.0000009, 1, 0},
                                         {0.0000001, 2, 0},
                                         {-0.000001, 3, 0},
                                         {0, 4, 0},
                                         {0.5, 5, 0},
                                         {-0.5, 6, 0}},
                                        {{"g", {1, 2, 3, 4, 5, 6, 7}}});
  const std::vector<bool> onPlane = {true, true, false, false, true, false, false};
  TCommandScene s(obj);
  auto& lock = RunCommand<TSCLockX0>(s);
  EXPECT_EQ(lock.Caption, "Lock coordinates X=0");
  EXPECT_EQ(XLocked(s.Mesh()), onPlane);

  // A locked vertex keeps its x under a transform; its y still changes.
  s.live.SelectAllFaces(true);
  auto& t = s.Add<TSCTranslate>();
  t.Offset = {-1, -1, 0};
  t.Prepare();
  t.Execute();
  t.Release();
  const double x0[7] = {0.00000009, -0.0000009, 0.0000001, -0.000001, 0, 0.5, -0.5};
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(s.V(i).X, onPlane[i] ? x0[i] : x0[i] + 1);
    EXPECT_EQ(s.V(i).Y, i + 1);
  }

  // Unlocking clears the flag on the plane only; a vertex off the plane keeps its own.
  s.V(6).XLocked = true;
  auto& unlock = RunCommand<TSCUnlockX0>(s);
  EXPECT_EQ(unlock.Caption, "Unlock coordinates X=0");
  EXPECT_EQ(XLocked(s.Mesh()), (std::vector<bool>{false, false, false, false, false, false, true}));
}

TEST(PadlocksTest, LockGroup) {
  TCommandScene s(kFigure);
  s.live.SelectAllFaces(true);
  test::SetAllSoftWeights(s.Mesh(), 0.5f);
  TGroup& left = *s.Mesh().Groups[kLeft];

  auto& lock = RunCommand<TSCLockGroup>(s, &left);
  EXPECT_EQ(lock.Caption, "Lock edit of group <b>left</b>");
  EXPECT_FALSE(lock.Failed);
  EXPECT_FALSE(left.Unlocked);
  EXPECT_TRUE(s.Mesh().Groups[kRight]->Unlocked);
  EXPECT_EQ(FaceSelection(s.Mesh()), (std::vector<bool>{true, false, false, true}));
  // Every vertex of the group loses its soft weight, also those it shares with "right".
  EXPECT_EQ(SoftWeights(s.Mesh()),
            (std::vector<float>{0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0.5f, 0.5f, 0.5f}));

  auto& unlock = RunCommand<TSCUnlockGroup>(s, &left);
  EXPECT_EQ(unlock.Caption, "Unlock edit of group <b>left</b>");
  EXPECT_TRUE(left.Unlocked);
  for (std::int32_t f : left.Faces) EXPECT_TRUE(s.Mesh().Faces[f].GroupUnlocked);
  EXPECT_EQ(FaceSelection(s.Mesh()), (std::vector<bool>{true, false, false, true}));
}

TEST(PadlocksTest, LockGroupWhoseGroupIsGone) {
  for (bool unlock : {false, true}) {
    SCOPED_TRACE(unlock ? "unlock" : "lock");
    TCommandScene s(kFigure);
    TGroup& hat = *s.Mesh().Groups[kHat];
    TSCLockGroup& c =
        unlock ? static_cast<TSCLockGroup&>(s.Add<TSCUnlockGroup>()) : s.Add<TSCLockGroup>();
    c.SetObject(&hat);
    // The mesh is read again: the group that was there has gone.
    hat.Id += 1000;
    hat.SetUnlocked(!unlock);
    s.live.SelectAllFaces(true);
    const std::vector<bool> faces = FaceSelection(s.Mesh());
    const std::vector<bool> unlocked = {s.Mesh().Faces[3].GroupUnlocked, hat.Unlocked};

    c.Prepare();
    c.Execute();
    EXPECT_TRUE(c.Failed);
    EXPECT_EQ(c.Caption, unlock ? "<c:Red>Unlock edit of group <b>??"
                                  "?</b>"
                                : "<c:Red>Lock edit of group <b>??"
                                  "?</b>");
    EXPECT_EQ(FaceSelection(s.Mesh()), faces);
    EXPECT_EQ((std::vector<bool>{s.Mesh().Faces[3].GroupUnlocked, hat.Unlocked}), unlocked);
  }
}

TEST(PadlocksTest, ReplayFromTheStartReopensEveryPadlock) {
  TFakeWindow window;
  TStackController controller(window);
  TTempDir dir;
  AddMesh(controller.Live(), dir, kFigure);
  controller.NewStack(*FindStackTarget(1));
  TStackMng& stack = *controller.Stack();
  controller.AddCommand(*stack.FindDescriptor(504));
  controller.AddCommand(*stack.FindDescriptor(508));
  TSceneChoice hat;
  hat.Group = controller.Live().Mesh(0)->Groups[kHat];
  controller.AddCommand(*stack.FindDescriptor(502), hat);
  ASSERT_EQ(stack.Count(), 4);

  auto locked = [&] {
    const TObjData& m = *controller.Live().Mesh(0);
    return std::vector<bool>{!m.Faces[0].RightUnlocked, m.Vertices[2].XLocked,
                             !m.Groups[kHat]->Unlocked, !m.Faces[3].GroupUnlocked};
  };
  EXPECT_EQ(locked(), std::vector<bool>(4, true));
  controller.MakeCurrent(0);
  EXPECT_EQ(locked(), std::vector<bool>(4, false));
  controller.MakeCurrent(2);
  EXPECT_EQ(locked(), (std::vector<bool>{true, true, false, false}));
  controller.MakeCurrent(3);
  EXPECT_EQ(locked(), std::vector<bool>(4, true));
  EXPECT_EQ(window.Lines[3], "Lock edit of group <b>hat</b>");
}

TEST(PadlocksTest, RecordsMatchTheirLayouts) {
  const std::string group = "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ";
  struct TCase {
    std::int32_t Kind;
    std::string Expected;
  };
  const TCase cases[] = {
      {500, "82 17 " + BaseHex("Lock edit of all groups") + StrHex("Lock edit of all groups")},
      {501, "83 17 " + BaseHex("Unlock edit of all groups") + StrHex("Unlock edit of all groups")},
      {502, "84 17 " + BaseHex("NoName") + group + StrHex("Lock edit of group <b>%0:s</b>") +
                "00 00 00 00"},
      {503, "85 17 " + BaseHex("NoName") + group + StrHex("Unlock edit of group <b>%0:s</b>") +
                "00 00 00 00"},
      {504, "86 17 " + BaseHex("Lock edit of right side") + StrHex("Lock edit of right side")},
      {505, "87 17 " + BaseHex("Unlock edit of right side") + StrHex("Unlock edit of right side")},
      {506, "88 17 " + BaseHex("Lock edit of left side") + StrHex("Lock edit of left side")},
      {507, "89 17 " + BaseHex("Unlock edit of left side") + StrHex("Unlock edit of left side")},
      // The X = 0 padlocks store the base record only.
      {508, "8f 17 " + BaseHex("Lock coordinates X=0")},
      {509, "90 17 " + BaseHex("Unlock coordinates X=0")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Kind);
    const auto command = CreateCommand(c.Kind, nullptr);
    ASSERT_NE(command, nullptr);
    command->SetObject(std::monostate{});
    const std::vector<std::uint8_t> bytes = StoredBytes(*command);
    EXPECT_EQ(bytes, Hex(c.Expected)) << ToHex(bytes);
    const auto back = ReloadCommand(bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->StreamId(), command->StreamId());
    EXPECT_EQ(StoredBytes(*back), bytes);
  }
}

TEST(PadlocksTest, LoadedX0PadlockShowsItsStoredCaption) {
  TSCUnlockX0 original(nullptr);
  original.Caption = "Unlock <b>X</b>";
  const auto back = ReloadCommand(StoredBytes(original));
  auto& loaded = dynamic_cast<TSCUnlockX0&>(*back);
  loaded.UpdateCaption();
  EXPECT_EQ(loaded.Caption, "Unlock <b>X</b>");
}

}  // namespace
}  // namespace tarvel
