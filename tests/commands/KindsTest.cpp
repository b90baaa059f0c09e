#include "commands/Kinds.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "commands/Organic.h"
#include "commands/Sculpt.h"
#include "stack/MultiObjData.h"
#include "stack/StackFile.h"
#include "stack/StackFileFixture.h"
#include "stack/StackMng.h"

namespace tarvel {
namespace {

TEST(KindsTest, OneTargetWithItsGoal) {
  ASSERT_EQ(StackTargets().Count(), 1);
  const TStackTarget& t = *FindStackTarget(1);
  EXPECT_EQ(t.Id, 1);
  EXPECT_EQ(t.Name, "Modify geometries to create a morph target");
  EXPECT_EQ(t.Description, "Modify geometries to create a morph target");
  ASSERT_EQ(t.Goals.Count(), 1);
  EXPECT_EQ(t.Goals[0]->Name, "Goal: Create Morph Target");
  EXPECT_NE(dynamic_cast<TSGCreateMorph*>(t.Goals[0]), nullptr);
  EXPECT_EQ(FindStackTarget(2), nullptr);

  EXPECT_EQ(t.FindDescriptor(11), nullptr);
}

// The descriptors the registry stores: ids, captions, summaries and flags, in menu order.
TEST(KindsTest, StoredDescriptorsMatchTheGoldenFile) {
  TObjectStream s;
  s.Put(FindStackTarget(1)->Commands);
  const std::string golden = test::DataFile("stack_kinds.bin");
  if (test::UpdatingGolden()) test::WriteFileBytes(golden, s.Bytes(), s.Bytes().size());
  EXPECT_EQ(s.Bytes(), test::FileBytes(golden)) << "the stored command kinds changed";
}

TEST(KindsTest, KindsAreTheTargetsDescriptorsWithUniqueNames) {
  const TStackTarget& t = *FindStackTarget(1);
  const std::span<const TKindInfo> kinds = CommandKinds();
  ASSERT_EQ(static_cast<std::size_t>(t.Commands.Count()), kinds.size());
  const std::regex style("[a-z][a-z0-9]*(-[a-z0-9]+)*");
  std::set<std::string> names;
  std::set<std::int32_t> ids;
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    const TKindInfo& k = kinds[i];
    SCOPED_TRACE(k.KindName);
    const TCommandDescriptor& d = *t.Commands[static_cast<std::int32_t>(i)];
    EXPECT_EQ(d.CommandId, k.CommandId);
    EXPECT_EQ(d.Name, k.Name);
    EXPECT_EQ(d.Flags, k.Flags());
    EXPECT_EQ(t.FindDescriptor(k.CommandId), &d);
    EXPECT_TRUE(std::regex_match(k.KindName, style));
    EXPECT_TRUE(names.insert(k.KindName).second) << "kind name used twice";
    EXPECT_TRUE(ids.insert(k.CommandId).second) << "kind id used twice";
    EXPECT_STREQ(CommandKindName(k.CommandId), k.KindName);
    EXPECT_EQ(CommandKindOfName(k.KindName), k.CommandId);
    // A kind is on a page exactly when it has a button, and on one page only.
    int pages = 0;
    for (const TCommandPage& p : CommandPages()) pages += k.HasFlag(p.Bit) ? 1 : 0;
    EXPECT_EQ(pages, k.Picture ? 1 : 0);
    EXPECT_EQ(k.Hint != nullptr, k.Picture != nullptr);
  }
  EXPECT_EQ(CommandKindName(11), nullptr);
  EXPECT_EQ(CommandKindOfName("Select Group"), -1);
  // Buttons on a page are in slot order and every slot is taken once.
  for (const TCommandPage& p : CommandPages()) {
    const std::vector<const TKindInfo*> buttons = PageKinds(p);
    EXPECT_FALSE(buttons.empty()) << p.Caption;
    for (std::size_t i = 0; i < buttons.size(); ++i)
      EXPECT_EQ(buttons[i]->Slot, static_cast<int>(i)) << p.Caption;
  }
}

TEST(KindsTest, SelectionKindsCreateTheirCommands) {
  TMultiObjData live;
  TStackMng stack(*FindStackTarget(1), live);
  const std::uint16_t streamIds[] = {6003, 6004, 6005, 6006, 6007, 6008, 6009, 6010, 6011};
  for (std::int32_t id = 1; id <= 9; ++id) {
    SCOPED_TRACE(id);
    const auto c = CreateCommand(id, &stack);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->StreamId(), streamIds[id - 1]);
    EXPECT_EQ(c->Manager, &stack);
    EXPECT_EQ(c->DisplayFlags, 16);
    EXPECT_EQ(c->Caption, "NoName");
  }
  // Ids that name no kind create nothing.
  for (const std::int32_t id : {0, -1, 11, 4242}) EXPECT_EQ(CreateCommand(id, &stack), nullptr);
  EXPECT_TRUE(stack.IsCommandAvailable(102));
  EXPECT_FALSE(stack.IsCommandAvailable(4242));
  EXPECT_EQ(stack.FindDescriptor(1500)->Name, "Mirror selection");
}

// The target answers for its kinds as the table does; assembling again adds nothing.
TEST(KindsTest, TheTargetMakesItsKindsAndAssemblingTwiceAddsNothing) {
  const TStackTarget& t = *FindStackTarget(1);
  for (const TKindInfo& k : CommandKinds()) {
    SCOPED_TRACE(k.KindName);
    EXPECT_EQ(t.FindKind(k.CommandId), &k);
    EXPECT_EQ(t.FindKind(k.KindName), &k);
    const auto made = t.CreateCommand(k.CommandId, nullptr);
    const auto same = CreateCommand(k.CommandId, nullptr);
    ASSERT_EQ(made != nullptr, k.Factory != nullptr);
    if (made) {
      EXPECT_EQ(made->StreamId(), same->StreamId());
    }
  }
  EXPECT_EQ(t.FindKind("no-such-kind"), nullptr);

  // A target given no kinds (as one read from a stream) makes no commands.
  const TStackTarget bare;
  EXPECT_EQ(bare.CreateCommand(102, nullptr), nullptr);

  const int classes = StreamRegistry().Count();
  AssembleCore();
  EXPECT_EQ(StreamRegistry().Count(), classes);
  EXPECT_EQ(StackTargets().Count(), 1);
}

// The modifiers added after the stack file's first layout (inflate, smooth, sculpt) keep their
// stored bytes, and their file reads back and writes unchanged.
class ModifierKindsFileTest : public test::StackFileFixture {};

TEST_F(ModifierKindsFileTest, MatchTheGoldenFileAndReadBackUnchanged) {
  controller_.NewStack(Target());
  Add(7);
  Add<TSCInflate>(1501).Distance = 0.125;
  auto& smooth = Add<TSCSmooth>(1502);
  smooth.Iterations = 3;
  smooth.Strength = 0.75;
  smooth.KeepBorders = false;
  auto& sculpt = Add<TSCUseSculpt>(TSCUseSculpt::kCommandId);
  for (std::int32_t v = 0; v < Mesh().Vertices.Count(); ++v) {
    const TObjVertex& p = Mesh().Vertices[v];
    sculpt.Positions.insert(sculpt.Positions.end(), {p.X + 0.25 * v, p.Y - 0.5, p.Z * 2});
  }
  sculpt.FileName = "sculpt.obj";  // the stored name, free of the test's folder
  sculpt.Strength = 0.5;

  const std::string file = (dir_.Path() / "modifiers.stk").string();
  ASSERT_TRUE(controller_.SaveStack(file));
  const std::string golden = test::DataFile("modifier_kinds.stk");
  if (test::UpdatingGolden())
    std::filesystem::copy_file(file, golden, std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(test::FileBytes(file), test::FileBytes(golden)) << "the stored modifiers changed";

  const std::unique_ptr<TStackMng> read = ReadStackFile(golden);
  ASSERT_EQ(read->Count(), 5);
  const std::string again = (dir_.Path() / "again.stk").string();
  WriteStackFile(again, *read);
  EXPECT_EQ(test::FileBytes(again), test::FileBytes(golden));
}

}  // namespace
}  // namespace tarvel
