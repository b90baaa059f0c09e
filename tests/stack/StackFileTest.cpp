#include "stack/StackFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "stack/StackFileFixture.h"

namespace tarvel {
namespace {

using test::FileBytes;
using test::StoredBytes;
using test::TTempDir;
using test::WriteFileBytes;

// The figure with its groups and materials in another order.
const char* const kFigureReordered =
    "v -1 0 0\nv -1 1 0\nv 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\n"
    "v 3 0 1\nv 3 1 1\nv 4 0 1\n"
    "g hat\nusemtl cloth\nf 9 11 10\n"
    "g left\nusemtl skin\nf 3 5 6 4\nusemtl cloth\nf 5 7 8 6\n"
    "g right\nusemtl skin\nf 1 3 4 2\n";

// A command of a class the object stream does not know.
class TUnregistered : public TStackCommand {
 public:
  using TStackCommand::TStackCommand;
  void SetObject(const TSceneObject&) override {}
};

std::set<std::uint16_t> KindsOf(const TStackMng& stack) {
  std::set<std::uint16_t> kinds;
  stack.Commands.ForEach([&](const TStackCommand& c) { kinds.insert(c.StreamId()); });
  return kinds;
}

void PutInt32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

// Replaces the first occurrence of `sentinel`'s bytes by `value`'s.
template <class T>
std::vector<std::uint8_t> WithValue(std::vector<std::uint8_t> bytes, T sentinel, T value) {
  std::uint8_t from[sizeof(T)], to[sizeof(T)];
  std::memcpy(from, &sentinel, sizeof from);
  std::memcpy(to, &value, sizeof to);
  const auto at = std::search(bytes.begin(), bytes.end(), std::begin(from), std::end(from));
  EXPECT_NE(at, bytes.end()) << "sentinel " << sentinel << " not found";
  if (at == bytes.end()) return bytes;
  std::copy(std::begin(to), std::end(to), at);
  return bytes;
}

class StackFileTest : public test::StackFileFixture {
 protected:
  std::string File(const std::string& name) const { return (dir_.Path() / name).string(); }

  // A stack of the initial command, "Select all" and a translation along x, saved.
  std::string SaveSmallStack(const std::string& name = "small.stk") {
    controller_.NewStack(Target());
    Add(7);
    // Moves the selection by -Offset: vertex 0 goes from x -1 to -2.
    Add<TSCTranslate>(101).Offset = {1, 0, 0};
    const std::string file = File(name);
    EXPECT_TRUE(controller_.SaveStack(file));
    return file;
  }

  // Loads with the answer given when the question comes; checks that the file was refused
  // with a message containing `reason` and that nothing of the work changed.
  // `known` is the work as it was, when the caller has it already.
  void ExpectRefused(const std::string& file, const std::string& reason, TAnswer answer,
                     const TWork* known = nullptr) {
    const TWork before = known ? *known : Work();
    const std::size_t errors = window_.Errors.size();
    if (controller_.Stack()) window_.YesNoCancelAnswers.push_back(answer);
    EXPECT_FALSE(controller_.LoadStack(file));
    ASSERT_EQ(window_.Errors.size(), errors + 1);
    EXPECT_NE(window_.Errors.back().find(reason), std::string::npos) << window_.Errors.back();
    EXPECT_TRUE(Work() == before) << "the work changed after refusing: " << reason;
    const std::vector<int>& positions = window_.ProgressBar.Positions;
    if (!positions.empty()) {
      EXPECT_EQ(positions.back(), 0) << "the progress bar was left running";
    }
    EXPECT_FALSE(controller_.Busy());
    EXPECT_EQ(window_.WaitDepth, 0);
  }
};

TEST_F(StackFileTest, EveryKindMatchesTheGoldenFile) {
  BuildEveryKindStack();
  EXPECT_EQ(KindsOf(Stack()), test::EveryCommandKind());
  const std::string file = File("every_kind.stk");
  ASSERT_TRUE(controller_.SaveStack(file));
  const std::string golden = test::DataFile("every_kind.stk");
  if (test::UpdatingGolden())
    std::filesystem::copy_file(file, golden, std::filesystem::copy_options::overwrite_existing);
  const std::vector<std::uint8_t> bytes = FileBytes(file);
  ASSERT_EQ(bytes, FileBytes(golden)) << "the stack file layout changed";

  // The manager record: id 6027, Reserved, TargetId 1, the count, then the collection (id
  // 150, count, capacity 30 after growing from 10 by 10, Delta 16) and the initial command.
  const std::int32_t count = Stack().Count();
  std::vector<std::uint8_t> head = test::Hex("8b 17 00000000 01000000");
  head.resize(head.size() + 4);
  PutInt32(head, 10, count);
  for (std::uint8_t b : test::Hex("96 00")) head.push_back(b);
  head.resize(head.size() + 4);
  PutInt32(head, 16, count);
  for (std::uint8_t b : test::Hex("1e000000 1000 7117")) head.push_back(b);
  ASSERT_GE(bytes.size(), head.size());
  EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + head.size()), head)
      << test::ToHex(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + head.size()));
}

TEST_F(StackFileTest, GoldenFileReadsBackAndWritesUnchanged) {
  const std::string golden = test::DataFile("every_kind.stk");
  std::unique_ptr<TStackMng> read = ReadStackFile(golden);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Target, FindStackTarget(1));
  EXPECT_EQ(KindsOf(*read), test::EveryCommandKind());
  const std::string again = File("again.stk");
  WriteStackFile(again, *read);
  EXPECT_EQ(FileBytes(again), FileBytes(golden));
}

TEST_F(StackFileTest, EveryKindFindsItsObjectsAfterLoading) {
  ASSERT_TRUE(controller_.LoadStack(test::DataFile("every_kind.stk")));
  ASSERT_EQ(KindsOf(Stack()), test::EveryCommandKind());
  for (int line = 1; line < Stack().Count(); ++line) {
    controller_.MakeCurrent(line);
    EXPECT_FALSE(Stack().Command(line)->Failed) << Stack().Command(line)->Caption;
  }
  EXPECT_TRUE(window_.Errors.empty());
}

TEST_F(StackFileTest, StackOfOnlyTheInitialCommand) {
  controller_.NewStack(Target());
  Stack().Command(0)->Caption = "My <b>own</b> start";
  const std::string file = File("init.stk");
  ASSERT_TRUE(controller_.SaveStack(file));

  test::TFakeWindow window;
  TStackController other(window);
  test::AddFixedFigure(other.Live(), dir_, "other");
  ASSERT_TRUE(other.LoadStack(file));
  ASSERT_EQ(other.Stack()->Count(), 1);
  EXPECT_EQ(window.Lines, (std::vector<std::string>{"My <b>own</b> start"}));
  EXPECT_EQ(other.CurrentLine(), 0);
  EXPECT_EQ(window.SelectedLine, 0);
  EXPECT_EQ(window.GoalEntries, (std::vector<std::string>{"Goal: Create Morph Target"}));
  EXPECT_TRUE(other.Modified());
  EXPECT_EQ(other.View().ColourMode, 3);
  EXPECT_EQ(other.Stack()->Live, &other.Live());
  ASSERT_EQ(other.Stack()->Pristine->MeshCount(), 1);
  EXPECT_EQ(other.Stack()->Pristine->Mesh(0)->Name, "other");
}

TEST_F(StackFileTest, SavingStoresTheSelectedViewAndKeepsModified) {
  controller_.NewStack(Target());
  Add(7);
  controller_.View().CameraPosition = {1, 2, 3};
  controller_.SetModified(false);
  const std::string file = File("view.stk");
  ASSERT_TRUE(controller_.SaveStack(file));
  EXPECT_FALSE(controller_.Modified());
  std::unique_ptr<TStackMng> read = ReadStackFile(file);
  EXPECT_EQ(read->Command(1)->StatusInfo->CameraPosition, (TPoint3{1, 2, 3}));
  EXPECT_NE(read->Command(0)->StatusInfo->CameraPosition, (TPoint3{1, 2, 3}));
}

TEST_F(StackFileTest, LoadingReplacesTheViewOfTheInitialCommandOnly) {
  controller_.View().CameraPosition = {5, 5, 5};
  const std::string file = SaveSmallStack();

  test::TFakeWindow window;
  TStackController other(window);
  test::AddFixedFigure(other.Live(), dir_, "other");
  other.View().CameraPosition = {9, 8, 7};
  ASSERT_TRUE(other.LoadStack(file));
  EXPECT_EQ(other.Stack()->Command(0)->StatusInfo->CameraPosition, (TPoint3{9, 8, 7}));
  EXPECT_EQ(other.Stack()->Command(1)->StatusInfo->CameraPosition, (TPoint3{5, 5, 5}));
  // Loaded commands are not replayed until a later line is made current.
  EXPECT_EQ(other.Live().Mesh(0)->Vertices[0].X, -1);
  other.MakeCurrent(2);
  EXPECT_EQ(other.Live().Mesh(0)->Vertices[0].X, -2);
}

TEST_F(StackFileTest, LoadingOnReorderedGroupsSelectsTheSameNames) {
  controller_.NewStack(Target());
  Add(1, {.Group = Mesh().GroupByName("right")});
  Add(3, {.Material = Mesh().MaterialByName("cloth")});
  const std::string file = File("names.stk");
  ASSERT_TRUE(controller_.SaveStack(file));

  test::TFakeWindow window;
  TStackController other(window);
  // The same file name gives the same mesh name, which the commands find it by.
  TTempDir otherDir;
  test::AddFixedFigure(other.Live(), otherDir, "figure", kFigureReordered);
  ASSERT_TRUE(other.LoadStack(file));
  other.MakeCurrent(2);
  const TObjData& mesh = *other.Live().Mesh(0);
  ASSERT_EQ(mesh.Groups[1]->Name, "hat");
  for (std::int32_t f = 0; f < mesh.Faces.Count(); ++f) {
    const TObjFace& face = mesh.Faces[f];
    const bool expected = mesh.Groups[face.GroupIndex]->Name == "right" ||
                          mesh.Materials[face.MaterialIndex]->Name == "cloth";
    EXPECT_EQ(face.Selected, expected) << "face " << f;
  }
  for (int line = 1; line <= 2; ++line) EXPECT_FALSE(other.Stack()->Command(line)->Failed);
}

TEST_F(StackFileTest, MergingFourIntoSixGivesNine) {
  test::TFakeWindow window;
  TStackController other(window);
  test::AddFixedFigure(other.Live(), dir_, "other");
  other.NewStack(Target());
  for (std::int32_t id : {8, 9, 500}) other.AddCommand(*Target().FindDescriptor(id));
  const std::string file = File("four.stk");
  ASSERT_TRUE(other.SaveStack(file));

  controller_.NewStack(Target());
  for (std::int32_t id : {7, 101, 102, 103, 501}) Add(id);
  controller_.MakeCurrent(3);
  std::vector<std::string> expected = window_.Lines;
  for (int i = 1; i <= 3; ++i) expected.push_back(window.Lines[static_cast<std::size_t>(i)]);
  const std::vector<std::uint8_t> live = StoredBytes(controller_.Live());
  controller_.SetModified(false);

  window_.YesNoCancelAnswers.push_back(TAnswer::No);
  ASSERT_TRUE(controller_.LoadStack(file));
  EXPECT_EQ(window_.Warnings.back(), filetexts::kSubstitute);
  ASSERT_EQ(Stack().Count(), 9);
  EXPECT_EQ(window_.Lines, expected);
  EXPECT_EQ(Stack().Command(6)->StreamId(), 6010);
  EXPECT_EQ(Stack().Command(8)->StreamId(), 6018);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(Stack().Command(i)->Manager, &Stack());
  EXPECT_EQ(controller_.SelectedLine(), 3);
  EXPECT_EQ(controller_.CurrentLine(), 3);
  EXPECT_EQ(window_.SelectedLine, 3);
  EXPECT_TRUE(controller_.Modified());
  EXPECT_FALSE(controller_.Busy());
  // Appended commands wait for a later line to be made current.
  EXPECT_EQ(StoredBytes(controller_.Live()), live);
  controller_.MakeCurrent(8);
  EXPECT_FALSE(Stack().Command(8)->Failed);
}

TEST_F(StackFileTest, MergingAStackOfAnotherTargetIsRefused) {
  const std::string file = SaveSmallStack();
  // A stack of another target than the file's.
  Stack().TargetId = 2;
  const TWork before = Work();
  window_.YesNoCancelAnswers.push_back(TAnswer::No);
  EXPECT_FALSE(controller_.LoadStack(file));
  EXPECT_EQ(window_.Errors, (std::vector<std::string>{filetexts::kCannotMerge}));
  EXPECT_TRUE(Work() == before);
}

TEST_F(StackFileTest, CancelChangesNothingAndReadsNothing) {
  SaveSmallStack();
  controller_.MakeCurrent(1);
  const TWork before = Work();
  // Not even a file that cannot be read is looked at.
  window_.YesNoCancelAnswers.push_back(TAnswer::Cancel);
  EXPECT_FALSE(controller_.LoadStack(File("missing.stk")));
  EXPECT_TRUE(window_.Errors.empty());
  EXPECT_TRUE(Work() == before);
}

TEST_F(StackFileTest, YesReplacesTheStackStartingFromThePristineState) {
  const std::string file = SaveSmallStack();
  controller_.MakeCurrent(1);
  controller_.MakeCurrent(2);
  ASSERT_EQ(Mesh().Vertices[0].X, -2);
  controller_.SetModified(false);

  test::TFakeWindow window;
  TStackController other(window);
  test::AddFixedFigure(other.Live(), dir_, "other");
  other.NewStack(Target());
  other.AddCommand(*Target().FindDescriptor(9));
  const std::string replacement = File("replacement.stk");
  ASSERT_TRUE(other.SaveStack(replacement));

  window_.YesNoCancelAnswers.push_back(TAnswer::Yes);
  ASSERT_TRUE(controller_.LoadStack(replacement));
  EXPECT_EQ(window_.Lines, window.Lines);
  EXPECT_EQ(Mesh().Vertices[0].X, -1);
  EXPECT_EQ(Stack().Pristine->Mesh(0)->Vertices[0].X, -1);
  EXPECT_EQ(controller_.CurrentLine(), 0);
  EXPECT_TRUE(controller_.Modified());
  EXPECT_EQ(window_.Warnings.size(), 1u) << "Yes clears the old stack without a second question";
}

TEST_F(StackFileTest, ProgressFollowsTheCommands) {
  const std::string file = SaveSmallStack();
  auto& bar = window_.ProgressBar;
  EXPECT_EQ(bar.Ranges, (std::vector<int>{3}));
  EXPECT_EQ(bar.Positions, (std::vector<int>{1, 2, 3, 0}));

  test::TFakeWindow window;
  TStackController other(window);
  ASSERT_TRUE(other.LoadStack(file));
  EXPECT_EQ(window.ProgressBar.Ranges, (std::vector<int>{3}));
  EXPECT_EQ(window.ProgressBar.Positions, (std::vector<int>{1, 2, 3, 0}));
}

TEST_F(StackFileTest, FailedSaveKeepsTheOldFile) {
  const std::string file = File("keep.stk");
  WriteFileBytes(file, {'o', 'l', 'd'}, 3);
  controller_.NewStack(Target());
  Add(7);
  Stack().Commands.Add(std::make_unique<TUnregistered>(&Stack()));
  EXPECT_FALSE(controller_.SaveStack(file));
  ASSERT_EQ(window_.Errors.size(), 1u);
  EXPECT_NE(window_.Errors[0].find("unregistered"), std::string::npos) << window_.Errors[0];
  EXPECT_EQ(FileBytes(file), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                          std::filesystem::directory_iterator()),
            2)
      << "only the figure and the old file remain";

  EXPECT_FALSE(controller_.SaveStack(File("no/such/folder/x.stk")));
  EXPECT_EQ(window_.Errors.size(), 2u);
}

TEST_F(StackFileTest, DamagedFilesAreRefusedWithTheReason) {
  const std::vector<std::uint8_t> good = FileBytes(SaveSmallStack("good.stk"));
  controller_.MakeCurrent(1);

  TStackMng odd(Target(), controller_.Live());
  odd.Command(0)->StatusInfo->Options.Side = 9;
  const std::vector<std::uint8_t> badSide = StoredBytes(odd);
  odd.Command(0)->StatusInfo->Options.Side = 0;
  odd.Command(0)->StatusInfo->LightPosition.Y = std::numeric_limits<float>::infinity();
  const std::vector<std::uint8_t> badLight = StoredBytes(odd);
  odd.Commands.Free(odd.Command(0));
  const std::vector<std::uint8_t> withoutCommands = StoredBytes(odd);
  odd.Commands.Add(std::make_unique<TSCSelectAll>(&odd));
  const std::vector<std::uint8_t> withoutInit = StoredBytes(odd);

  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    const char* Reason;
  };
  std::vector<TCase> cases;
  auto edited = [&](auto edit) {
    std::vector<std::uint8_t> bytes = good;
    edit(bytes);
    return bytes;
  };
  cases.push_back({"unregistered id", edited([](auto& b) { b[0] = 0x39, b[1] = 0x30; }),
                   "unregistered class 12345"});
  std::vector<std::uint8_t> project = StoredBytes(controller_.Live());
  project.push_back(0);
  cases.push_back({"project file", project, "found TMultiObjData"});
  cases.push_back({"unknown target", edited([](auto& b) { PutInt32(b, 6, 9); }), "target 9"});
  cases.push_back({"no commands", withoutCommands, "no commands"});
  cases.push_back({"no initial command", withoutInit, "not the initial command"});
  cases.push_back({"bad side", badSide, "unknown side"});
  cases.push_back({"bad light", badLight, "not a number"});
  // The initial command's caption length: after the manager (14), the collection (12), the
  // command's id (2) and Reserved (4).
  cases.push_back(
      {"string past the end", edited([](auto& b) { b[32] = b[33] = 0xff; }), "runs past the end"});
  cases.push_back({"count past the end", edited([](auto& b) { PutInt32(b, 16, 0x7fffffff); }),
                   "more than the"});
  cases.push_back({"trailing garbage", edited([](auto& b) {
                     b.insert(b.end(), {1, 2, 3});
                   }),
                   "3 bytes of unknown data follow"});
  cases.push_back({"empty file", {}, "bytes were needed"});

  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = File("damaged.stk");
    WriteFileBytes(file, c.Bytes, c.Bytes.size());
    ExpectRefused(file, c.Reason, TAnswer::Yes);
    ExpectRefused(file, c.Reason, TAnswer::No);
  }
  ExpectRefused(File("missing.stk"), "missing.stk: no such file", TAnswer::Yes);
  ExpectRefused(dir_.Path().string(), dir_.Path().string() + " is a folder", TAnswer::Yes);
}

// A stored single that is not a finite number is refused, naming the record and the field.
TEST_F(StackFileTest, NonFiniteParametersAreRefusedNamingRecordAndField) {
  controller_.NewStack(Target());
  Add(7);
  Add<TSCTranslate>(101).Offset = {1234.5f, 0, 0};
  Add<TSCRotate>(102).Angles = {0, 23.75f, 0};
  Add<TSCScale>(103).Factors = {1, 1, 3.375f};
  TGroup* hat = Mesh().GroupByName("hat");
  Add<TSCUseMorphTarget>(1000, {.MorphTarget = hat->MorphTargets[0]}).DialValue = 0.6875f;
  const std::vector<std::uint8_t> good = StoredBytes(Stack());
  struct TCase {
    float Sentinel;
    const char* Field;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (const TCase& c :
       {TCase{1234.5f, "TSCTranslate field Offset.x"}, TCase{23.75f, "TSCRotate field Angles.y"},
        TCase{3.375f, "TSCScale field Factors.z"},
        TCase{0.6875f, "TSCUseMorphTarget field DialValue"}}) {
    for (float bad : {nan, inf, -inf}) {
      SCOPED_TRACE(std::string(c.Field) + " " + std::to_string(bad));
      const std::vector<std::uint8_t> bytes = WithValue(good, c.Sentinel, bad);
      const std::string file = File("nan.stk");
      WriteFileBytes(file, bytes, bytes.size());
      ExpectRefused(file, std::string(c.Field) + " is not a finite number", TAnswer::Yes);
    }
  }
}

TEST_F(StackFileTest, RecordsOfTheBaseClasses) {
  TStackMng bare(Target(), controller_.Live());
  bare.Commands.Add(std::make_unique<TSCTrasform>(&bare, "Transform"));
  bare.Command(1)->Caption = "A bare transform";
  const std::vector<std::uint8_t> bytes = StoredBytes(bare);

  // A transform of the common base alone loads with its caption and moves nothing.
  const std::string file = File("bare.stk");
  WriteFileBytes(file, bytes, bytes.size());
  const std::vector<std::uint8_t> meshBefore = StoredBytes(Mesh());
  ASSERT_TRUE(controller_.LoadStack(file));
  ASSERT_EQ(Stack().Count(), 2);
  EXPECT_EQ(Stack().Command(1)->StreamId(), 6002);
  EXPECT_EQ(Stack().Command(1)->Caption, "A bare transform");
  controller_.MakeCurrent(1);
  EXPECT_EQ(StoredBytes(Mesh()), meshBefore);
  EXPECT_EQ(StoredBytes(*Stack().Command(1)), StoredBytes(*bare.Command(1)))
      << "stored again unchanged";

  // The same record under the id of the abstract command base is refused by name.
  std::vector<std::uint8_t> abstract = bytes;
  const std::uint8_t transformId[] = {0x72, 0x17};
  auto at =
      std::search(abstract.begin(), abstract.end(), std::begin(transformId), std::end(transformId));
  ASSERT_NE(at, abstract.end());
  ASSERT_EQ(std::search(at + 1, abstract.end(), std::begin(transformId), std::end(transformId)),
            abstract.end());
  at[0] = 0x70;
  WriteFileBytes(file, abstract, abstract.size());
  ExpectRefused(file, "TStackCommand cannot be read on its own", TAnswer::Yes);
}

TEST_F(StackFileTest, EveryTruncatedPrefixIsRefused) {
  const std::vector<std::uint8_t> bytes = FileBytes(test::DataFile("every_kind.stk"));
  ASSERT_GT(bytes.size(), 100u);
  test::TMemFile file(bytes);
  const TWork before = Work();
  // Without a stack the file would become one; with a stack it would replace it or be merged.
  for (std::size_t n = bytes.size(); n-- > 0;) {
    file.Truncate(n);
    ExpectRefused(file.Name(), "", TAnswer::Yes, &before);
    if (HasFailure()) FAIL() << "prefix of " << n << " bytes";
  }
  EXPECT_EQ(controller_.Stack(), nullptr);
  SaveSmallStack("current.stk");
  controller_.MakeCurrent(1);
  file.Write(bytes);
  const TWork with = Work();
  for (std::size_t n = bytes.size(); n-- > 0;) {
    file.Truncate(n);
    ExpectRefused(file.Name(), "", n % 2 ? TAnswer::Yes : TAnswer::No, &with);
    if (HasFailure()) FAIL() << "prefix of " << n << " bytes";
  }
}

}  // namespace
}  // namespace tarvel
