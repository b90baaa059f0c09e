#include "stack/ProjectFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "stack/StackFile.h"
#include "stack/StackFileFixture.h"

namespace tarvel {
namespace {

using test::FileBytes;
using test::StoredBytes;
using test::WriteFileBytes;

std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
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

class ProjectFileTest : public test::StackFileFixture {
 protected:
  std::string File(const std::string& name) const { return (dir_.Path() / name).string(); }

  // A stack of "Select all" and a translation that moves vertex 0 from x -1 to -2, with the
  // last line current.
  void BuildMovingStack() {
    controller_.NewStack(Target());
    Add(7);
    Add<TSCTranslate>(101).Offset = {1, 0, 0};
    controller_.MakeCurrent(1);
    controller_.MakeCurrent(2);
    ASSERT_EQ(Mesh().Vertices[0].X, -2);
  }

  void ExpectRefused(const std::string& file, const std::string& reason,
                     const TWork* known = nullptr) {
    const TWork before = known ? *known : Work();
    const std::string name = controller_.Live().Name;
    const std::size_t errors = window_.Errors.size();
    EXPECT_FALSE(controller_.LoadProject(file));
    ASSERT_EQ(window_.Errors.size(), errors + 1);
    EXPECT_NE(window_.Errors.back().find(reason), std::string::npos) << window_.Errors.back();
    EXPECT_TRUE(Work() == before) << "the work changed after refusing: " << reason;
    const std::vector<int>& positions = window_.ProgressBar.Positions;
    if (!positions.empty()) {
      EXPECT_EQ(positions.back(), 0) << "the progress bar was left running";
    }
    EXPECT_EQ(controller_.Live().Name, name);
    EXPECT_EQ(window_.WaitDepth, 0);
  }
};

TEST_F(ProjectFileTest, WithoutStackTheFileEndsAfterTheStackByte) {
  const std::string file = File("plain.vnx");
  controller_.SetModified(true);
  ASSERT_TRUE(controller_.SaveProject(file));
  EXPECT_FALSE(controller_.Modified());
  EXPECT_EQ(controller_.Live().Name, std::filesystem::absolute(file).lexically_normal().string());
  const std::vector<std::uint8_t> bytes = FileBytes(file);
  EXPECT_EQ(bytes, Concat(StoredBytes(controller_.Live()), {0}));
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xF0);
  EXPECT_EQ(bytes[1], 0x03);
}

TEST_F(ProjectFileTest, WithStackThePristineCopyAndTheStackAreWritten) {
  BuildMovingStack();
  const std::string file = File("stack.vnx");
  ASSERT_TRUE(controller_.SaveProject(file));
  EXPECT_EQ(FileBytes(file),
            Concat(Concat(StoredBytes(*Stack().Pristine), {1}), StoredBytes(Stack())));
}

TEST_F(ProjectFileTest, SavedAtALaterLineReopensAtLineZeroWithoutReplaying) {
  BuildMovingStack();
  const std::string file = File("later.vnx");
  ASSERT_TRUE(controller_.SaveProject(file));
  const std::vector<std::uint8_t> moved = StoredBytes(Mesh());

  test::TFakeWindow window;
  TStackController other(window);
  ASSERT_TRUE(other.LoadProject(file));
  ASSERT_NE(other.Stack(), nullptr);
  EXPECT_EQ(window.Lines, window_.Lines);
  EXPECT_EQ(other.CurrentLine(), 0);
  EXPECT_EQ(window.SelectedLine, 0);
  EXPECT_EQ(window.GoalEntries, (std::vector<std::string>{"Goal: Create Morph Target"}));
  EXPECT_FALSE(other.Modified());
  EXPECT_EQ(other.Live().Name, std::filesystem::absolute(file).lexically_normal().string());
  EXPECT_EQ(other.Stack()->Live, &other.Live());
  EXPECT_EQ(other.Stack()->Target, FindStackTarget(1));
  // The state before the first command, and the stack's own copy of it.
  EXPECT_EQ(other.Live().Mesh(0)->Vertices[0].X, -1);
  EXPECT_EQ(StoredBytes(*other.Stack()->Pristine), StoredBytes(other.Live()));
  // The stored indices and Ids are those of these meshes: replaying gives the same mesh.
  other.MakeCurrent(2);
  EXPECT_EQ(StoredBytes(*other.Live().Mesh(0)), moved);
}

TEST_F(ProjectFileTest, ThePristineCopyKeepsTheNameItLastTook) {
  BuildMovingStack();
  const std::string first = File("first.vnx");
  ASSERT_TRUE(controller_.SaveProject(first));
  // Going back rebuilds from the pristine copy, which takes the live name along.
  controller_.MakeCurrent(1);
  const std::string second = File("second.vnx");
  ASSERT_TRUE(controller_.SaveProject(second));
  TProject read = ReadProject(second);
  EXPECT_EQ(read.State->Name, std::filesystem::absolute(first).lexically_normal().string());

  test::TFakeWindow window;
  TStackController other(window);
  ASSERT_TRUE(other.LoadProject(second));
  EXPECT_EQ(other.Live().Name, std::filesystem::absolute(second).lexically_normal().string());
}

TEST_F(ProjectFileTest, ViewSettingsComeBackFromTheEditState) {
  TMultiObjData& live = controller_.Live();
  live.SetTrackingMode(2);
  live.SetColourMode(2);
  live.SetDisplayMode(0);
  live.SetSide(1);
  const std::string file = File("view.vnx");
  ASSERT_TRUE(controller_.SaveProject(file));

  test::TFakeWindow window;
  TStackController other(window);
  other.View().CameraPosition = {4, 4, 4};
  ASSERT_TRUE(other.LoadProject(file));
  EXPECT_EQ(other.View().TrackingMode, 2);
  EXPECT_EQ(other.View().ColourMode, 2);
  EXPECT_EQ(other.View().DisplayMode, 0);
  EXPECT_EQ(other.View().Side, 1);
  EXPECT_EQ(other.View().CameraPosition, (TPoint3{4, 4, 4}));
  EXPECT_EQ(other.Live().Mesh(0)->Side, 1);
  EXPECT_GT(window.ViewChanges, 0);
  EXPECT_GT(window.SceneTreeRebuilds, 0);
  EXPECT_GT(window.Redraws, 0);
}

TEST_F(ProjectFileTest, LoadingReplacesTheStackAndTheMeshes) {
  const std::string file = File("plain.vnx");
  ASSERT_TRUE(controller_.SaveProject(file));
  const std::vector<std::uint8_t> saved = StoredBytes(controller_.Live());
  BuildMovingStack();
  ASSERT_TRUE(controller_.LoadProject(file));
  EXPECT_EQ(controller_.Stack(), nullptr);
  EXPECT_TRUE(window_.Lines.empty());
  EXPECT_TRUE(window_.GoalEntries.empty());
  EXPECT_EQ(controller_.CurrentLine(), -1);
  EXPECT_EQ(StoredBytes(controller_.Live()), saved);
}

TEST_F(ProjectFileTest, AnyStackByteButZeroMeansAStack) {
  BuildMovingStack();
  const std::string file = File("byte.vnx");
  ASSERT_TRUE(controller_.SaveProject(file));
  std::vector<std::uint8_t> bytes = FileBytes(file);
  const std::size_t at = StoredBytes(*Stack().Pristine).size();
  ASSERT_EQ(bytes[at], 1);
  bytes[at] = 7;
  WriteFileBytes(file, bytes, bytes.size());
  TProject read = ReadProject(file);
  ASSERT_NE(read.Stack, nullptr);
  EXPECT_EQ(read.Stack->Count(), 3);
}

TEST_F(ProjectFileTest, ProgressFollowsMeshesAndCommands) {
  BuildMovingStack();
  ASSERT_TRUE(controller_.SaveProject(File("progress.vnx")));
  // The mesh: 0..10 with a step per collection; then the stack: a step per command.
  EXPECT_EQ(window_.ProgressBar.Ranges, (std::vector<int>{10, 3}));
  EXPECT_EQ(window_.ProgressBar.Positions,
            (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 0}));
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndTheName) {
  const std::string file = File("keep.vnx");
  WriteFileBytes(file, {'o', 'l', 'd'}, 3);
  controller_.Live().Name = "earlier.vnx";
  controller_.SetModified(true);
  // A directory cannot be replaced by a file: the save fails at the very end.
  const std::string folder = File("folder.vnx");
  std::filesystem::create_directory(folder);
  EXPECT_FALSE(controller_.SaveProject(folder));
  EXPECT_EQ(controller_.Live().Name, "earlier.vnx");
  EXPECT_TRUE(controller_.Modified());
  ASSERT_EQ(window_.Errors.size(), 1u);
  EXPECT_NE(window_.Errors[0].find("folder.vnx"), std::string::npos) << window_.Errors[0];
  EXPECT_EQ(FileBytes(file), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  // Only the figure, the old file and the folder: no temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                          std::filesystem::directory_iterator()),
            3);
}

TEST_F(ProjectFileTest, GoldenProjectReadsBackAndWritesUnchanged) {
  BuildEveryKindStack();
  const std::string file = File("project.vnx");
  WriteProject(file, *Stack().Pristine, &Stack());
  const std::string golden = test::DataFile("figure_with_stack.vnx");
  if (test::UpdatingGolden())
    std::filesystem::copy_file(file, golden, std::filesystem::copy_options::overwrite_existing);
  ASSERT_EQ(FileBytes(file), FileBytes(golden)) << "the project file layout changed";

  TProject read = ReadProject(golden);
  ASSERT_NE(read.Stack, nullptr);
  const std::string again = File("again.vnx");
  WriteProject(again, *read.State, read.Stack.get());
  EXPECT_EQ(FileBytes(again), FileBytes(golden));
}

TEST_F(ProjectFileTest, DamagedFilesAreRefusedWithTheReason) {
  BuildMovingStack();
  const std::string good = File("good.vnx");
  ASSERT_TRUE(controller_.SaveProject(good));
  const std::vector<std::uint8_t> bytes = FileBytes(good);
  const std::size_t stackAt = StoredBytes(*Stack().Pristine).size() + 1;
  std::vector<std::uint8_t> stackFile = StoredBytes(Stack());

  struct TCase {
    const char* Name;
    std::vector<std::uint8_t> Bytes;
    const char* Reason;
  };
  auto edited = [&](auto edit) {
    std::vector<std::uint8_t> b = bytes;
    edit(b);
    return b;
  };
  const std::vector<TCase> cases = {
      {"stack file", stackFile, "found TStackMng"},
      {"trailing garbage", edited([](auto& b) { b.push_back(0); }), "1 bytes of unknown data"},
      {"no stack but more data", edited([&](auto& b) { b[stackAt - 1] = 0; }),
       "bytes of unknown data"},
      {"unknown target", edited([&](auto& b) {
         const std::int32_t target = 5;
         std::memcpy(b.data() + stackAt + 6, &target, 4);
       }),
       "target 5"},
      {"colour mode", edited([&](auto& b) { b[stackAt - 4] = 9; }), "unknown colour mode"},
  };
  controller_.MakeCurrent(1);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = File("damaged.vnx");
    WriteFileBytes(file, c.Bytes, c.Bytes.size());
    ExpectRefused(file, c.Reason);
  }
  ExpectRefused(File("missing.vnx"), "missing.vnx: no such file");
}

// A stored single or double that is not a finite number is refused, naming the record and the
// field; nothing is loaded.
TEST_F(ProjectFileTest, NonFiniteNumbersAreRefusedNamingRecordAndField) {
  Mesh().Vertices[3].Y = 4242.125;
  TMorphTarget& raise = *Mesh().GroupByName("hat")->MorphTargets[0];
  raise.Positions[0].Z = 777.0625;
  raise.Value = 0.3671875f;
  raise.RangeMax = 3.5625f;
  const std::string good = File("good.vnx");
  ASSERT_TRUE(controller_.SaveProject(good));
  const std::vector<std::uint8_t> bytes = FileBytes(good);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    std::vector<std::uint8_t> Bytes;
    const char* Field;
  };
  const std::vector<TCase> cases = {
      {WithValue(bytes, 4242.125, nan), "TObjVertex field y"},
      {WithValue(bytes, 4242.125, -inf), "TObjVertex field y"},
      {WithValue(bytes, 4242.125, 2e9), "TObjVertex field y is out of range"},
      {WithValue(bytes, 777.0625, inf), "TBaseVertex field z"},
      {WithValue(bytes, 0.3671875f, static_cast<float>(nan)), "TMorphTarget field Value"},
      {WithValue(bytes, 3.5625f, static_cast<float>(inf)), "TMorphTarget field RangeMax"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Field);
    const std::string file = File("nan.vnx");
    WriteFileBytes(file, c.Bytes, c.Bytes.size());
    const std::string field = c.Field;
    ExpectRefused(
        file, field.find(" is ") != std::string::npos ? field : field + " is not a finite number");
  }
}

TEST_F(ProjectFileTest, EveryTruncatedPrefixIsRefused) {
  const std::vector<std::uint8_t> bytes = FileBytes(test::DataFile("figure_with_stack.vnx"));
  ASSERT_GT(bytes.size(), 100u);
  BuildMovingStack();
  test::TMemFile file(bytes);
  const TWork before = Work();
  for (std::size_t n = bytes.size(); n-- > 0;) {
    file.Truncate(n);
    ExpectRefused(file.Name(), "", &before);
    if (HasFailure()) FAIL() << "prefix of " << n << " bytes";
  }
}

}  // namespace
}  // namespace tarvel
