#include "commands/UseMorphTarget.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/CommandFakes.h"
#include "stack/EditStateFixture.h"

namespace tarvel {
namespace {

using test::BaseHex;
using test::Hex;
using test::kFigure;
using test::kLeft;
using test::ReloadCommand;
using test::StoredBytes;
using test::StrHex;
using test::TCommandScene;
using test::ToHex;

// Group "left" holds vertices 2 to 7; its target "smile" lies one unit above it in y.
struct TScene : TCommandScene {
  TScene() : TCommandScene(kFigure), left(*Mesh().Groups[kLeft]) {
    smile = &AddTarget(left, "smile", {0, 1, 0});
  }
  // Adding the command for the target, as the stack does.
  TSCUseMorphTarget& AddFor(TMorphTarget& target) {
    auto& c = Add<TSCUseMorphTarget>();
    c.Prepare();
    c.SetObject(&target);
    ShowControls(c);
    return c;
  }
  // Every shaped position of "left" minus its base position, in y.
  std::vector<double> Lift() {
    std::vector<double> out;
    for (const TGroupVertex& e : left.Vertices) out.push_back(e.Shaped.Y - left.VertexOf(e)->Y);
    return out;
  }
  std::vector<double> BaseY() {
    std::vector<double> out;
    for (const TObjVertex& v : Mesh().Vertices) out.push_back(v.Y);
    return out;
  }
  TGroup& left;
  TMorphTarget* smile = nullptr;
};

TEST(UseMorphTargetTest, AddingTakesTheTargetAndSetsItsDialToZero) {
  TScene s;
  s.smile->Value = 0.7f;
  s.left.ApplyMorphTargets();
  auto& c = s.AddFor(*s.smile);
  EXPECT_EQ(s.smile->Value, 0);
  EXPECT_EQ(c.DialValue, 0);
  EXPECT_EQ(c.MorphTarget, s.smile);
  EXPECT_EQ(c.MorphIndex, 0);
  EXPECT_EQ(c.MorphId, s.smile->Id);
  EXPECT_EQ(c.MeshIndex, 0);
  EXPECT_EQ(c.GroupIndex, kLeft);
  EXPECT_EQ(c.GroupId, s.left.Id);
  EXPECT_EQ(c.MeshId, s.Mesh().Id);
  EXPECT_EQ(c.TargetName, "smile");
  EXPECT_EQ(c.TargetGroupName, "left");
  EXPECT_EQ(c.TargetMeshName, "figure");
  EXPECT_EQ(c.CaptionFormat, "Select group <b>%0:s</b>");
  EXPECT_EQ(c.Caption, "Use morph target <b>smile</b> of group <b>left</b>");
  EXPECT_FALSE(c.Failed);
  EXPECT_EQ(s.Lift(), std::vector<double>(6, 0));

  // The controls: "MT:" and the name, then the value field below it.
  const auto labels = s.panel.Labels();
  ASSERT_EQ(labels.size(), 1u);
  EXPECT_EQ(labels[0]->Text, "MT:smile");
  EXPECT_EQ(labels[0]->Bounds().Left, 3);
  EXPECT_EQ(labels[0]->Bounds().Top, 3);
  ASSERT_EQ(s.panel.BlankEdits.size(), 1u);
  const auto& field = s.panel.Edit(0);
  EXPECT_EQ(field.Bounds(),
            (TRect{3, labels[0]->Bounds().Bottom() + 3, 65, test::TFakePanel::kEditHeight}));
  EXPECT_EQ(field.Decimals, 3);
  EXPECT_EQ(field.Step, 0.01);
  EXPECT_EQ(field.Minimum, 0);  // no range set
  EXPECT_EQ(field.Maximum, 0);
  EXPECT_EQ(field.Value(), 0);
  EXPECT_EQ(field.Tag, &c);
}

TEST(UseMorphTargetTest, OtherObjectsAreIgnored) {
  TScene s;
  auto& c = s.Add<TSCUseMorphTarget>();
  const std::vector<std::uint8_t> before = StoredBytes(c);
  for (const TSceneObject& o :
       {TSceneObject{}, TSceneObject{&s.left}, TSceneObject{s.Mesh().Materials[1]}}) {
    c.SetObject(o);
    EXPECT_EQ(StoredBytes(c), before);
    EXPECT_EQ(c.MorphTarget, nullptr);
  }
}

TEST(UseMorphTargetTest, DialValueShapesTheGroup) {
  for (double dial : {1.0, 0.5, 2.5, -1.0, 0.0}) {
    SCOPED_TRACE(dial);
    TScene s;
    const std::vector<double> base = s.BaseY();
    auto& c = s.AddFor(*s.smile);
    s.panel.Edit(0).Type(dial);
    EXPECT_EQ(c.DialValue, static_cast<float>(dial));
    EXPECT_EQ(s.smile->Value, static_cast<float>(dial));
    for (double lift : s.Lift()) EXPECT_NEAR(lift, dial, 1e-6);
    // Base vertices never move.
    EXPECT_EQ(s.BaseY(), base);
  }
}

TEST(UseMorphTargetTest, LaterCommandOnTheSameTargetWins) {
  TScene s;
  auto& first = s.AddFor(*s.smile);
  first.DialValue = 0.3f;
  first.Release();
  auto& second = s.AddFor(*s.smile);
  second.DialValue = 0.8f;
  second.Release();
  // A replay: every command is prepared, executed and released in stack order.
  s.smile->Value = 0;
  for (TSCUseMorphTarget* c : {&first, &second}) {
    c->Prepare();
    c->Execute();
    c->Release();
  }
  EXPECT_EQ(s.smile->Value, 0.8f);
  for (double lift : s.Lift()) EXPECT_NEAR(lift, 0.8, 1e-6);
}

TEST(UseMorphTargetTest, RelinkFindsTheTargetByNameIgnoringCase) {
  TScene original;
  auto& c = original.AddFor(*original.smile);
  c.DialValue = 0.5f;
  const std::vector<std::uint8_t> bytes = StoredBytes(c);

  struct TCase {
    const char* TargetName;
    bool Found;
    const char* Caption;
  };
  const TCase cases[] = {
      {"SMILE", true, "Use morph target <b>SMILE</b> of group <b>left</b>"},
      {"grin", false,
       "<c:Red>Use morph target <b>??"
       "?</b> of group <b>??"
       "?</b>"},
  };
  for (const TCase& k : cases) {
    SCOPED_TRACE(k.TargetName);
    // The same figure read again: new mesh and target ids, a target of another name first.
    TScene s;
    s.smile->Name = k.TargetName;
    s.Mesh().Id = original.Mesh().Id + 1;
    s.AddTarget(s.left, "other", {1, 0, 0});
    s.left.MorphTargets.Insert(s.left.MorphTargets.AtDelete(0));
    auto loaded = ReloadCommand(bytes);
    auto& u = dynamic_cast<TSCUseMorphTarget&>(*loaded);
    u.Manager = s.stack.get();
    u.Relink();
    u.Prepare();
    u.Execute();
    u.UpdateCaption();
    EXPECT_EQ(u.Caption, k.Caption);
    EXPECT_EQ(u.TargetName, k.Found ? k.TargetName : "smile");
    if (k.Found) {
      EXPECT_EQ(u.MorphTarget, s.smile);
      EXPECT_EQ(u.MorphIndex, 1);
      EXPECT_EQ(u.MorphId, s.smile->Id);
      EXPECT_EQ(u.MeshId, s.Mesh().Id);
      EXPECT_EQ(u.GroupIndex, kLeft);
      EXPECT_EQ(s.smile->Value, 0.5f);
      for (double lift : s.Lift()) EXPECT_NEAR(lift, 0.5, 1e-6);
    } else {
      EXPECT_EQ(u.MorphTarget, nullptr);
      for (std::int32_t v :
           {u.MorphIndex, u.MorphId, u.MeshIndex, u.GroupIndex, u.MeshId, u.GroupId})
        EXPECT_EQ(v, -1);
      EXPECT_EQ(s.Lift(), std::vector<double>(6, 0));
    }
  }
}

TEST(UseMorphTargetTest, MissingTargetOfAKnownGroupShowsTheGroupName) {
  // A stack kept with its meshes (no relinking) whose target was replaced by another.
  TScene s;
  auto& c = s.AddFor(*s.smile);
  c.DialValue = 1;
  c.Release();
  s.smile->Id += 1;
  s.smile->Name = "grin";
  c.Prepare();
  c.Execute();
  EXPECT_EQ(c.Caption,
            "<c:Red>Use morph target <b>??"
            "?</b> of group <b>left</b>");
  EXPECT_FALSE(c.Failed);
}

TEST(UseMorphTargetTest, DeletedTargetChangesNothingAndShowsNoField) {
  TScene s;
  auto& c = s.AddFor(*s.smile);
  s.panel.Edit(0).Type(0.5);
  c.Release();
  s.left.MorphTargets.Free(s.smile);
  s.left.ApplyMorphTargets();
  const std::vector<double> base = s.BaseY();

  c.Prepare();
  c.Execute();
  s.ShowControls(c);
  EXPECT_EQ(c.MorphTarget, nullptr);
  EXPECT_EQ(c.Caption,
            "<c:Red>Use morph target <b>??"
            "?</b> of group <b>left</b>");
  EXPECT_TRUE(s.panel.Controls().empty());
  EXPECT_TRUE(s.panel.BlankEdits.empty());
  EXPECT_EQ(s.BaseY(), base);
  EXPECT_EQ(s.Lift(), std::vector<double>(6, 0));
}

TEST(UseMorphTargetTest, BlankFieldLeavesTheDial) {
  TScene s;
  auto& c = s.AddFor(*s.smile);
  auto& field = s.panel.Edit(0);
  field.Type(0.5);
  field.SetValue(0);
  field.Empty();
  EXPECT_EQ(c.DialValue, 0.5f);
  EXPECT_EQ(s.smile->Value, 0.5f);
  for (double lift : s.Lift()) EXPECT_NEAR(lift, 0.5, 1e-6);
  field.Type(-0.25);
  EXPECT_EQ(s.smile->Value, -0.25f);
}

TEST(UseMorphTargetTest, RecordMatchesItsLayout) {
  TScene s;
  auto& c = s.AddFor(*s.smile);
  s.panel.Edit(0).Type(0.5);
  c.MeshId = 0x01020304;
  c.GroupId = kLeft;
  c.MorphId = 0x7f000001;
  const std::string expected =
      "8a 17 " + BaseHex("Use morph target <b>smile</b> of group <b>left</b>") +
      // The group record: indices, ids, the unused caption format, the names it never set.
      "00 00 00 00  02 00 00 00  04 03 02 01  02 00 00 00 " + StrHex("Select group <b>%0:s</b>") +
      "00 00  00 00 " +
      // Index and id of the target, its caption format, the dial 0.5, the names.
      "00 00 00 00  01 00 00 7f " + StrHex("Use morph target <b>%0:s</b> of group <b>%1:s</b>") +
      "00 00 00 3f " + StrHex("smile") + StrHex("left") + StrHex("figure");
  const std::vector<std::uint8_t> bytes = StoredBytes(c);
  EXPECT_EQ(bytes, Hex(expected)) << ToHex(bytes);

  const auto back = ReloadCommand(bytes);
  const auto& loaded = dynamic_cast<const TSCUseMorphTarget&>(*back);
  EXPECT_EQ(loaded.MorphTarget, nullptr);
  EXPECT_EQ(loaded.DialValue, 0.5f);
  EXPECT_EQ(loaded.MorphId, 0x7f000001);
  EXPECT_EQ(loaded.TargetMeshName, "figure");
  EXPECT_EQ(StoredBytes(loaded), bytes);
}

}  // namespace
}  // namespace tarvel
