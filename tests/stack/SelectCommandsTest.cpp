#include "stack/SelectCommands.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/EditStateFixture.h"
#include "stack/ObjectRef.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace tarvel {
namespace {

using test::AddMesh;
using test::FaceSelection;
using test::Hex;
using test::kCloth;
using test::kFigure;
using test::kHat;
using test::kLeft;
using test::kRight;
using test::kSkin;
using test::SetAllSoftWeights;
using test::SoftWeights;
using test::StoredBytes;
using test::ToHex;
using test::TTempDir;
using test::VertexSelection;

// ---------------------------------------------------------------------------------------------
// Hex pieces of the records

std::string I32(std::int32_t v) {
  char buf[16];
  const auto u = static_cast<std::uint32_t>(v);
  std::snprintf(buf, sizeof buf, "%02x %02x %02x %02x ", u & 0xff, (u >> 8) & 0xff,
                (u >> 16) & 0xff, (u >> 24) & 0xff);
  return buf;
}

// A string: 16-bit length, then its bytes.
std::string Str(const std::string& text) {
  std::string out;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02zx %02zx ", text.size() & 0xff, text.size() >> 8);
  out += buf;
  for (unsigned char c : text) {
    std::snprintf(buf, sizeof buf, "%02x ", c);
    out += buf;
  }
  return out;
}

// The status info of a command whose view was never stored: default options, an empty
// collection, nine zero singles.
const std::string kEmptyStatus = "f5 03 00 00 00 00  01 00 01 01 01 00 00 00  " +
                                 std::string("96 00 00 00 00 00 00 00 00 00 10 00 ") +
                                 std::string(9 * 8, '0') + " ";

// Reserved, caption, Reserved2, status info, DisplayFlags 16.
std::string BaseHex(const std::string& caption) {
  return "00 00 00 00 " + Str(caption) + "00 00 00 00 " + kEmptyStatus + "10 00 00 00 ";
}

std::unique_ptr<TStackCommand> Reload(const std::vector<std::uint8_t>& bytes) {
  TObjectStream s(bytes);
  auto c = s.GetAs<TStackCommand>();
  EXPECT_EQ(s.BytesLeft(), 0);
  return c;
}

TEST(SelectCommandsTest, RecordsMatchTheirLayouts) {
  struct TCase {
    const char* Name;
    std::function<std::unique_ptr<TStackCommand>()> Make;
    std::string Expected;
  };
  const std::string selectGroupFmt = "Select group <b>%0:s</b>";
  const std::string groupMatFmt = "Deselect material <b>%0:s</b> of group <b>%1:s</b>";
  const TCase cases[] = {
      {"init",
       [] {
         auto c = std::make_unique<TSCInit>(nullptr);
         c->Caption = "Modify geometries to create a morph target";
         return c;
       },
       "71 17 " + BaseHex("Modify geometries to create a morph target")},
      {"select group",
       [] {
         auto c = std::make_unique<TSCSelectGroup>(nullptr);
         c->Caption = "Select group <b>left</b>";
         c->MeshIndex = 0;
         c->GroupIndex = 2;
         c->MeshId = 0x01020304;
         c->GroupId = 1;
         c->GroupName = "left";
         c->MeshName = "figure";
         return c;
       },
       "73 17 " + BaseHex("Select group <b>left</b>") +
           "00 00 00 00  02 00 00 00  04 03 02 01  01 00 00 00 " + Str(selectGroupFmt) +
           "04 00 6c 65 66 74  06 00 66 69 67 75 72 65"},
      {"deselect group, as created", [] { return std::make_unique<TSCDeselectGroup>(nullptr); },
       "74 17 " + BaseHex("NoName") + "ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff ff " +
           Str("Deselect group <b>%0:s</b>") + "00 00 00 00"},
      {"select material",
       [] {
         auto c = std::make_unique<TSCSelectMaterial>(nullptr);
         c->Caption = "Select material <b>skin</b>";
         c->MeshIndex = 1;
         c->MaterialIndex = 1;
         c->MeshId = 77;
         c->MaterialId = 0;
         c->MaterialName = "skin";
         c->MeshName = "b";
         return c;
       },
       "75 17 " + BaseHex("Select material <b>skin</b>") +
           "01 00 00 00  01 00 00 00  4d 00 00 00  00 00 00 00 " +
           Str("Select material <b>%0:s</b>") + Str("skin") + Str("b")},
      {"deselect material, as created",
       [] { return std::make_unique<TSCDeselectMaterial>(nullptr); },
       "76 17 " + BaseHex("NoName") + I32(-1) + I32(-1) + I32(-1) + I32(-1) +
           Str("Deselect material <b>%0:s</b>") + "00 00 00 00"},
      {"select group material",
       [] {
         auto c = std::make_unique<TSCSelectGroupMat>(nullptr);
         c->Caption = "Select material <b>cloth</b> of group <b>left</b>";
         c->MeshIndex = 0;
         c->GroupIndex = 2;
         c->EntryIndex = 1;
         c->MeshId = 5;
         c->GroupId = 1;
         c->EntryId = 0x7ffffff0;
         c->EntryName = "cloth";
         c->GroupName = "left";
         c->MeshName = "figure";
         return c;
       },
       "77 17 " + BaseHex("Select material <b>cloth</b> of group <b>left</b>") + I32(0) + I32(2) +
           I32(1) + I32(5) + I32(1) + "f0 ff ff 7f " +
           Str("Select material <b>%0:s</b> of group <b>%1:s</b>") + Str("cloth") + Str("left") +
           Str("figure")},
      {"deselect group material, as created",
       [] { return std::make_unique<TSCDeselectGroupMat>(nullptr); },
       "78 17 " + BaseHex("NoName") + I32(-1) + I32(-1) + I32(-1) + I32(-1) + I32(-1) + I32(-1) +
           Str(groupMatFmt) + "00 00 00 00 00 00"},
      {"select all",
       [] {
         auto c = std::make_unique<TSCSelectAll>(nullptr);
         c->UpdateCaption();
         return c;
       },
       "79 17 " + BaseHex("Select all") + "0a 00 53 65 6c 65 63 74 20 61 6c 6c"},
      {"clear selection, as created", [] { return std::make_unique<TSCClearSelection>(nullptr); },
       "7a 17 " + BaseHex("NoName") + Str("Clear selection")},
      {"invert selection",
       [] {
         auto c = std::make_unique<TSCInvertSelection>(nullptr);
         c->UpdateCaption();
         return c;
       },
       "7b 17 " + BaseHex("Invert selection") + Str("Invert selection")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto command = c.Make();
    const std::vector<std::uint8_t> bytes = StoredBytes(*command);
    EXPECT_EQ(bytes, Hex(c.Expected)) << ToHex(bytes);
    const auto back = Reload(bytes);
    EXPECT_EQ(back->StreamId(), command->StreamId());
    EXPECT_EQ(back->Caption, command->Caption);
    EXPECT_EQ(back->DisplayFlags, 16);
    EXPECT_FALSE(back->Failed);
    EXPECT_EQ(StoredBytes(*back), bytes);
  }
}

TEST(SelectCommandsTest, StackManagerStoresAndReloadsItsCommands) {
  TTempDir dir;
  TMultiObjData live;
  TObjData& mesh = AddMesh(live, dir, kFigure);
  TStackMng stack(*FindStackTarget(1), live);
  EXPECT_EQ(stack.Command(0)->Caption, "Modify geometries to create a morph target");
  auto* group =
      static_cast<TSCSelectGroup*>(stack.Commands.Add(std::make_unique<TSCSelectGroup>(&stack)));
  group->SetObject(mesh.Groups[kHat]);
  stack.Commands.Add(std::make_unique<TSCInvertSelection>(&stack))->SetObject({});

  const std::vector<std::uint8_t> bytes = StoredBytes(stack);
  // Reserved, TargetId 1, three commands, then the collection: count 3, capacity 10, Delta 16,
  // and the initial command first.
  const std::vector<std::uint8_t> head =
      Hex("8b 17  00 00 00 00  01 00 00 00  03 00 00 00  96 00 03 00 00 00 0a 00 00 00 10 00 "
          "71 17");
  ASSERT_GT(bytes.size(), head.size());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + head.size()), head)
      << ToHex(bytes);

  TObjectStream s(bytes);
  auto back = s.GetAs<TStackMng>();
  EXPECT_EQ(s.BytesLeft(), 0);
  EXPECT_EQ(back->TargetId, 1);
  ASSERT_EQ(back->Count(), 3);
  EXPECT_NE(dynamic_cast<TSCInit*>(back->Command(0)), nullptr);
  auto* group2 = dynamic_cast<TSCSelectGroup*>(back->Command(1));
  ASSERT_NE(group2, nullptr);
  EXPECT_EQ(group2->GroupName, "hat");
  EXPECT_EQ(group2->MeshId, mesh.Id);
  EXPECT_EQ(group2->Caption, "Select group <b>hat</b>");
  EXPECT_NE(dynamic_cast<TSCInvertSelection*>(back->Command(2)), nullptr);
  for (std::int32_t i = 0; i < back->Count(); ++i) EXPECT_EQ(back->Command(i)->Manager, back.get());
  EXPECT_EQ(back->Live, nullptr);
  EXPECT_EQ(back->Pristine, nullptr);
  EXPECT_EQ(back->Target, nullptr);
  EXPECT_EQ(StoredBytes(*back), bytes);
}

// ---------------------------------------------------------------------------------------------
// Behaviour on an edit state

// The captions the manager was asked to show.
class TRecordingLines : public ICommandLines {
 public:
  void SetLineText(const TStackCommand* command, std::string_view text) override {
    Texts.emplace_back(command, std::string(text));
  }
  std::vector<std::pair<const TStackCommand*, std::string>> Texts;
};

class SelectCommandsState : public ::testing::Test {
 protected:
  SelectCommandsState() : mesh_(AddMesh(live_, dir_, kFigure)), stack_(*FindStackTarget(1), live_) {
    stack_.List = &lines_;
  }

  template <class T>
  T& Add() {
    return *static_cast<T*>(stack_.Commands.Add(std::make_unique<T>(&stack_)));
  }

  TTempDir dir_;
  TMultiObjData live_;
  TObjData& mesh_;
  TStackMng stack_;
  TRecordingLines lines_;
};

TEST_F(SelectCommandsState, SelectGroupTakesItsObjectAndSelects) {
  auto& c = Add<TSCSelectGroup>();
  c.SetObject(mesh_.Groups[kLeft]);
  EXPECT_EQ(c.MeshIndex, 0);
  EXPECT_EQ(c.GroupIndex, kLeft);
  EXPECT_EQ(c.MeshId, mesh_.Id);
  EXPECT_EQ(c.GroupId, mesh_.Groups[kLeft]->Id);
  EXPECT_EQ(c.GroupName, "left");
  EXPECT_EQ(c.MeshName, "figure");
  EXPECT_EQ(c.Caption, "Select group <b>left</b>");
  EXPECT_FALSE(c.Failed);
  EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{false, true, true, false}));
  // Vertex selection follows at once.
  EXPECT_EQ(VertexSelection(mesh_), (std::vector<bool>{false, false, true, true, true, true, true,
                                                       true, false, false, false}));
  ASSERT_FALSE(lines_.Texts.empty());
  EXPECT_EQ(lines_.Texts.back().first, &c);
  EXPECT_EQ(lines_.Texts.back().second, "Select group <b>left</b>");
}

TEST_F(SelectCommandsState, ObjectOfAnotherKindIsIgnored) {
  TGroup* group = mesh_.Groups[kLeft];
  TMaterial* material = mesh_.Materials[kSkin];
  TGroupMatInfo* entry = mesh_.Groups[kLeft]->GroupMats[0];
  struct TCase {
    const char* Name;
    TStackCommand* Command;
    TSceneObject Object;
  };
  const TCase cases[] = {
      {"group given a material", &Add<TSCSelectGroup>(), material},
      {"group given none", &Add<TSCDeselectGroup>(), std::monostate{}},
      {"material given a group", &Add<TSCSelectMaterial>(), group},
      {"material given an entry", &Add<TSCDeselectMaterial>(), entry},
      {"entry given a group", &Add<TSCSelectGroupMat>(), group},
      {"entry given a material", &Add<TSCDeselectGroupMat>(), material},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::vector<std::uint8_t> before = StoredBytes(*c.Command);
    c.Command->SetObject(c.Object);
    EXPECT_EQ(c.Command->Caption, "NoName");
    EXPECT_EQ(StoredBytes(*c.Command), before);
  }
  EXPECT_EQ(FaceSelection(mesh_), std::vector<bool>(4, false));
  EXPECT_TRUE(lines_.Texts.empty());
}

TEST_F(SelectCommandsState, SelectLockedGroupSelectsNothingAndDoesNotFail) {
  mesh_.Groups[kLeft]->SetUnlocked(false);
  auto& c = Add<TSCSelectGroup>();
  c.SetObject(mesh_.Groups[kLeft]);
  EXPECT_FALSE(c.Failed);
  EXPECT_EQ(c.Caption, "Select group <b>left</b>");
  EXPECT_EQ(FaceSelection(mesh_), std::vector<bool>(4, false));
}

TEST_F(SelectCommandsState, DeselectGroupClearsSoftWeightsOfAllItsVertices) {
  for (const bool locked : {false, true}) {
    SCOPED_TRACE(locked);
    mesh_.Groups[kRight]->SetUnlocked(!locked);
    mesh_.Faces[1].SetSelected(true);
    SetAllSoftWeights(mesh_, 0.5f);
    auto& c = Add<TSCDeselectGroup>();
    c.SetObject(mesh_.Groups[kRight]);
    EXPECT_EQ(c.Caption, "Deselect group <b>right</b>");
    EXPECT_EQ(SoftWeights(mesh_),
              (std::vector<float>{0, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f}));
    // The left face keeps its selection.
    EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{false, true, false, false}));
  }
}

TEST_F(SelectCommandsState, MaterialSelectsOnlyEditableFaces) {
  mesh_.Groups[kLeft]->SetUnlocked(false);
  auto& c = Add<TSCSelectMaterial>();
  c.SetObject(mesh_.Materials[kSkin]);
  EXPECT_EQ(c.Caption, "Select material <b>skin</b>");
  EXPECT_EQ(c.MaterialIndex, kSkin);
  EXPECT_EQ(c.MaterialId, mesh_.Materials[kSkin]->Id);
  EXPECT_FALSE(c.Failed);
  EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{true, false, false, false}));
}

TEST_F(SelectCommandsState, DeselectMaterialClearsSoftWeightsOfItsFaces) {
  mesh_.SelectAllFaces(true);
  SetAllSoftWeights(mesh_, 0.5f);
  auto& c = Add<TSCDeselectMaterial>();
  c.SetObject(mesh_.Materials[kCloth]);
  EXPECT_EQ(c.Caption, "Deselect material <b>cloth</b>");
  EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{true, true, false, false}));
  EXPECT_EQ(SoftWeights(mesh_), (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(SelectCommandsState, GroupMaterialSelectsTheFacesOfOneEntry) {
  TGroupMatInfo* skinOfLeft = mesh_.Groups[kLeft]->GroupMats[0];
  auto& select = Add<TSCSelectGroupMat>();
  select.SetObject(skinOfLeft);
  EXPECT_EQ(select.MeshIndex, 0);
  EXPECT_EQ(select.GroupIndex, kLeft);
  EXPECT_EQ(select.EntryIndex, 0);
  EXPECT_EQ(select.EntryId, skinOfLeft->Id);
  EXPECT_EQ(select.GroupId, mesh_.Groups[kLeft]->Id);
  EXPECT_EQ(select.MeshId, mesh_.Id);
  EXPECT_EQ(select.EntryName, "skin");
  EXPECT_EQ(select.GroupName, "left");
  EXPECT_EQ(select.Caption, "Select material <b>skin</b> of group <b>left</b>");
  EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{false, true, false, false}));

  mesh_.SelectAllFaces(true);
  SetAllSoftWeights(mesh_, 0.5f);
  auto& deselect = Add<TSCDeselectGroupMat>();
  deselect.SetObject(mesh_.Groups[kLeft]->GroupMats[1]);
  EXPECT_EQ(deselect.Caption, "Deselect material <b>cloth</b> of group <b>left</b>");
  // The hat's cloth face is not part of the entry.
  EXPECT_EQ(FaceSelection(mesh_), (std::vector<bool>{true, true, false, true}));
  EXPECT_EQ(SoftWeights(mesh_),
            (std::vector<float>{0.5f, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0, 0.5f, 0.5f, 0.5f}));
}

TEST_F(SelectCommandsState, WholeSelectionsAndSoftWeights) {
  struct TCase {
    const char* Caption;
    std::function<TStackCommand&()> Make;
    std::vector<bool> Faces;
    float Weight;
  };
  const TCase cases[] = {
      {"Select all", [&]() -> TStackCommand& { return Add<TSCSelectAll>(); },
       std::vector<bool>(4, true), 0},
      {"Clear selection", [&]() -> TStackCommand& { return Add<TSCClearSelection>(); },
       std::vector<bool>(4, false), 0},
      {"Invert selection",
       [&]() -> TStackCommand& { return Add<TSCInvertSelection>(); },
       {true, false, true, true},
       0.5f},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Caption);
    mesh_.SelectAllFaces(false);
    mesh_.Faces[1].SetSelected(true);
    SetAllSoftWeights(mesh_, 0.5f);
    TStackCommand& command = c.Make();
    // Whatever object they are given, they take their caption and run.
    command.SetObject(mesh_.Groups[kHat]);
    EXPECT_EQ(command.Caption, c.Caption);
    EXPECT_EQ(FaceSelection(mesh_), c.Faces);
    EXPECT_EQ(SoftWeights(mesh_), std::vector<float>(11, c.Weight));
    EXPECT_EQ(mesh_.Vertices[0].Selected, c.Faces[0]);
  }
}

// ---------------------------------------------------------------------------------------------
// Finding the object again

class SelectCommandsLookup : public ::testing::Test {
 protected:
  SelectCommandsLookup()
      : a_(AddMesh(live_, dir_, kFigure, "a")),
        b_(AddMesh(live_, dir_, kFigure, "b")),
        stack_(*FindStackTarget(1), live_) {}

  std::vector<bool> HatFacesSelected() const {
    return {a_.Faces[3].Selected, b_.Faces[3].Selected};
  }

  TTempDir dir_;
  TMultiObjData live_;
  TObjData& a_;
  TObjData& b_;
  TStackMng stack_;
};

TEST_F(SelectCommandsLookup, GroupByIndexThenByIdThenNone) {
  struct TCase {
    const char* Name;
    std::function<void(TSCSelectGroup&)> Change;
    bool Failed;
    std::vector<bool> HatSelected;  // of a, of b
    std::string GroupName, MeshName;
    std::int32_t GroupIndex;
  };
  // The command is made on b's hat (mesh 1, group 3); a's hat has the same group Id.
  const TCase cases[] = {
      {"index and ids agree: names are not refreshed",
       [](TSCSelectGroup&) {},
       false,
       {false, true},
       "stale",
       "stale",
       kHat},
      {"index points elsewhere: found by id, names refreshed, index kept",
       [](TSCSelectGroup& c) { c.GroupIndex = kRight; },
       false,
       {false, true},
       "hat",
       "b",
       kRight},
      {"index in the other mesh: the mesh id decides",
       [](TSCSelectGroup& c) { c.MeshIndex = 0; },
       false,
       {false, true},
       "hat",
       "b",
       kHat},
      {"mesh id of a: a's hat",
       [&](TSCSelectGroup& c) { c.MeshId = a_.Id; },
       false,
       {true, false},
       "hat",
       "a",
       kHat},
      {"group id unknown",
       [](TSCSelectGroup& c) { c.GroupId = 99; },
       true,
       {false, false},
       "stale",
       "stale",
       kHat},
      {"mesh id unknown",
       [&](TSCSelectGroup& c) { c.MeshId = a_.Id ^ b_.Id; },
       true,
       {false, false},
       "stale",
       "stale",
       kHat},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    live_.SelectAllFaces(false);
    TSCSelectGroup command(&stack_);
    command.SetObject(b_.Groups[kHat]);
    live_.SelectAllFaces(false);
    command.GroupName = command.MeshName = "stale";
    c.Change(command);
    command.Execute();
    EXPECT_EQ(command.Failed, c.Failed);
    EXPECT_EQ(HatFacesSelected(), c.HatSelected);
    EXPECT_EQ(command.GroupName, c.GroupName);
    EXPECT_EQ(command.MeshName, c.MeshName);
    EXPECT_EQ(command.GroupIndex, c.GroupIndex);
    EXPECT_EQ(command.Caption,
              c.Failed ? "<c:Red>Select group <b>\?\?\?</b>" : "Select group <b>hat</b>");
  }
}

TEST_F(SelectCommandsLookup, MaterialByIndexThenByIdThenNone) {
  TSCSelectMaterial command(&stack_);
  command.SetObject(b_.Materials[kCloth]);
  EXPECT_EQ(command.MeshIndex, 1);
  EXPECT_EQ(command.MaterialIndex, kCloth);
  EXPECT_EQ(command.MeshId, b_.Id);
  EXPECT_EQ(command.MaterialId, b_.Materials[kCloth]->Id);

  live_.SelectAllFaces(false);
  command.MaterialIndex = kSkin;  // by id, names refreshed
  command.MaterialName = "stale";
  command.Execute();
  EXPECT_FALSE(command.Failed);
  EXPECT_EQ(command.MaterialName, "cloth");
  EXPECT_EQ(command.MaterialIndex, kSkin);
  EXPECT_EQ(FaceSelection(b_), (std::vector<bool>{false, false, true, true}));
  EXPECT_EQ(FaceSelection(a_), std::vector<bool>(4, false));

  live_.SelectAllFaces(false);
  command.MaterialId = 99;
  command.Execute();
  EXPECT_TRUE(command.Failed);
  EXPECT_EQ(command.Caption, "<c:Red>Select material <b>\?\?\?</b>");
  EXPECT_EQ(FaceSelection(b_), std::vector<bool>(4, false));
}

TEST_F(SelectCommandsLookup, GroupMaterialByIndexThenByIdThenNone) {
  TSCDeselectGroupMat command(&stack_);
  TGroupMatInfo* cloth = b_.Groups[kLeft]->GroupMats[1];
  command.SetObject(cloth);
  EXPECT_EQ(command.Caption, "Deselect material <b>cloth</b> of group <b>left</b>");

  command.EntryIndex = 0;  // skin: found again by id
  command.EntryName = command.GroupName = command.MeshName = "stale";
  SetAllSoftWeights(b_, 1);
  command.Execute();
  EXPECT_FALSE(command.Failed);
  EXPECT_EQ(command.EntryName, "cloth");
  EXPECT_EQ(command.GroupName, "left");
  EXPECT_EQ(command.MeshName, "b");
  EXPECT_EQ(command.EntryIndex, 0);
  EXPECT_EQ(SoftWeights(b_), (std::vector<float>{1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1}));

  // An entry whose group id no longer matches is not taken.
  command.EntryIndex = 1;
  command.GroupId = b_.Groups[kHat]->Id;
  SetAllSoftWeights(b_, 1);
  command.Execute();
  EXPECT_TRUE(command.Failed);
  EXPECT_EQ(SoftWeights(b_), std::vector<float>(11, 1));
}

TEST(SelectCommandsTest, MissingGroupMaterialEntryShowsRedCaptionAndSelectsNothing) {
  TTempDir dir;
  TMultiObjData first;
  TObjData& mesh = AddMesh(first, dir, kFigure);
  TStackMng stack(*FindStackTarget(1), first);
  TRecordingLines lines;
  stack.List = &lines;
  auto* select = static_cast<TSCSelectGroupMat*>(
      stack.Commands.Add(std::make_unique<TSCSelectGroupMat>(&stack)));
  select->SetObject(mesh.Groups[kLeft]->GroupMats[1]);
  ASSERT_EQ(select->Caption, "Select material <b>cloth</b> of group <b>left</b>");

  // The same figure read again, its left group without cloth.
  TTempDir other;
  TMultiObjData second;
  TObjData& reread = AddMesh(second, other,
                             "v -1 0 0\nv -1 1 0\nv 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\n"
                             "g right\nusemtl skin\nf 1 3 4 2\ng left\nf 3 5 6 4\n");
  stack.Live = &second;
  lines.Texts.clear();
  select->Execute();
  EXPECT_TRUE(select->Failed);
  EXPECT_EQ(select->Caption, "<c:Red>Select material <b>\?\?\?</b> of group <b>\?\?\?</b>");
  EXPECT_EQ(FaceSelection(reread), std::vector<bool>(2, false));
  ASSERT_EQ(lines.Texts.size(), 1u);
  EXPECT_EQ(lines.Texts[0].second, select->Caption);
  // The names stay for a later relink.
  EXPECT_EQ(select->EntryName, "cloth");
  EXPECT_EQ(select->GroupName, "left");
}

TEST(SelectCommandsTest, StackLoadedOnReReadMeshFindsGroupByNameIgnoringCase) {
  TTempDir dirA, dirB;
  const std::string quad = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";
  TMultiObjData liveA;
  TObjData& a = AddMesh(liveA, dirA, quad + "g head\nf 1 2 3\ng neck\nf 2 4 3\n", "fig");
  TStackMng stackA(*FindStackTarget(1), liveA);
  auto* select =
      static_cast<TSCSelectGroup*>(stackA.Commands.Add(std::make_unique<TSCSelectGroup>(&stackA)));
  select->SetObject(a.Groups[1]);
  auto* missing =
      static_cast<TSCSelectGroup*>(stackA.Commands.Add(std::make_unique<TSCSelectGroup>(&stackA)));
  missing->SetObject(a.Groups[2]);
  const std::vector<std::uint8_t> file = StoredBytes(stackA);

  // Read again: head is now "Head", the fifth group; neck is gone.
  TMultiObjData liveB;
  TObjData& b = AddMesh(
      liveB, dirB, quad + "g a\nf 1 2 3\ng b\nf 1 2 3\ng c\nf 2 4 3\ng Head\nf 2 4 3\n", "fig");
  TObjectStream s(file);
  auto stackB = s.GetAs<TStackMng>();
  stackB->SetPristine(liveB);
  auto* loaded = static_cast<TSCSelectGroup*>(stackB->Command(1));
  auto* loadedMissing = static_cast<TSCSelectGroup*>(stackB->Command(2));

  // Before relinking, the stored index and ids find nothing.
  loaded->Execute();
  EXPECT_TRUE(loaded->Failed);
  EXPECT_EQ(loaded->Caption, "<c:Red>Select group <b>\?\?\?</b>");

  stackB->RelinkAll();
  EXPECT_EQ(loaded->MeshIndex, 0);
  EXPECT_EQ(loaded->GroupIndex, 4);
  EXPECT_EQ(loaded->MeshId, b.Id);
  EXPECT_EQ(loaded->GroupId, b.Groups[4]->Id);
  EXPECT_EQ(loadedMissing->MeshIndex, -1);
  EXPECT_EQ(loadedMissing->GroupIndex, -1);
  EXPECT_EQ(loadedMissing->MeshId, -1);
  EXPECT_EQ(loadedMissing->GroupId, -1);
  EXPECT_EQ(loadedMissing->GroupName, "neck");
  EXPECT_EQ(loadedMissing->MeshName, "fig");

  loaded->Execute();
  EXPECT_FALSE(loaded->Failed);
  EXPECT_EQ(FaceSelection(b), (std::vector<bool>{false, false, false, true}));
  // Found again, the line shows the name instead of the red marks.
  EXPECT_EQ(loaded->Caption, "Select group <b>Head</b>");

  loadedMissing->Execute();
  EXPECT_TRUE(loadedMissing->Failed);
  EXPECT_EQ(loadedMissing->Caption, "<c:Red>Select group <b>\?\?\?</b>");
}

TEST(SelectCommandsTest, RelinkFindsMaterialsAndEntriesByName) {
  TTempDir dirA, dirB;
  const std::string quad = "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n";
  TMultiObjData liveA;
  TObjData& a =
      AddMesh(liveA, dirA, quad + "g body\nusemtl Skin\nf 1 2 3\nusemtl Eye\nf 2 4 3\n", "fig");
  TStackMng stack(*FindStackTarget(1), liveA);
  TSCSelectMaterial material(&stack);
  material.SetObject(a.Materials[2]);
  TSCSelectGroupMat entry(&stack);
  entry.SetObject(a.Groups[1]->GroupMats[1]);
  ASSERT_EQ(entry.Caption, "Select material <b>Eye</b> of group <b>body</b>");

  TMultiObjData liveB;
  TObjData& b = AddMesh(liveB, dirB,
                        quad +
                            "g hair\nusemtl eye\nf 1 2 3\ng BODY\nusemtl skin\nf 1 2 3\n"
                            "usemtl EYE\nf 2 4 3\n",
                        "FIG");
  stack.SetPristine(liveB);
  material.Relink();
  EXPECT_EQ(material.MaterialIndex, 1);
  EXPECT_EQ(material.MaterialId, b.Materials[1]->Id);
  EXPECT_EQ(material.MeshId, b.Id);
  entry.Relink();
  EXPECT_EQ(entry.GroupIndex, 2);
  EXPECT_EQ(entry.EntryIndex, 1);
  EXPECT_EQ(entry.EntryId, b.Groups[2]->GroupMats[1]->Id);
  EXPECT_EQ(entry.GroupId, b.Groups[2]->Id);
  entry.Execute();
  EXPECT_FALSE(entry.Failed);
  EXPECT_EQ(FaceSelection(b), (std::vector<bool>{false, false, true}));

  // No live state: nothing to relink against, the fields stay.
  stack.Live = nullptr;
  entry.EntryIndex = 7;
  entry.Relink();
  EXPECT_EQ(entry.EntryIndex, 7);
}

// The one reference type behind the three lookups: a stale index never names another object,
// and linking or unlinking leaves the stored name alone.
TEST(ObjectRefTest, FindsByIndexIdAndNameAndLinksWithoutRenaming) {
  TTempDir dir;
  TMultiObjData live;
  TObjData& mesh = AddMesh(live, dir,
                           "v 0 0 0\nv 1 0 0\nv 0 1 0\ng hat\nusemtl skin\nf 1 2 3\n"
                           "g Body\nf 1 2 3\n",
                           "fig");
  const std::int32_t hat = mesh.Groups.IndexOf(mesh.GroupByName("hat"));
  const std::int32_t body = mesh.Groups.IndexOf(mesh.GroupByName("Body"));
  std::int32_t index = hat;
  std::int32_t id = mesh.Groups[body]->Id;
  std::string name = "BODY";
  const TObjectRef ref{index, id, name};
  EXPECT_EQ(ref.At(mesh.Groups), nullptr) << "the index names a group with another Id";
  EXPECT_EQ(ref.ById(mesh.Groups), mesh.Groups[body]);
  EXPECT_EQ(ref.ByName(mesh.Groups), mesh.Groups[body]);
  ref.Link(mesh.Groups, *mesh.Groups[body]);
  EXPECT_EQ(index, body);
  EXPECT_EQ(ref.At(mesh.Groups), mesh.Groups[body]);
  EXPECT_EQ(name, "BODY");
  ref.Rename(*mesh.Groups[body]);
  EXPECT_EQ(name, "Body");
  ref.Unlink();
  EXPECT_EQ(index, -1);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(name, "Body");
  EXPECT_EQ(ref.At(mesh.Groups), nullptr);
  // An entry's name is its material's.
  std::int32_t e = 0, eid = -1;
  std::string material = "none";
  const TObjectRef entry{e, eid, material};
  entry.Rename(*mesh.Groups[hat]->GroupMats[0]);
  EXPECT_EQ(material, mesh.Groups[hat]->GroupMats[0]->Name());
}

}  // namespace
}  // namespace tarvel
