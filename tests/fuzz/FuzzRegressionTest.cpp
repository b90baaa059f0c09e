// Every input a fuzz target once failed on is kept under tests/data/fuzz/<target>/ and runs
// through the same code again here; a finding that comes back crashes or aborts this test.
// The seeds the fuzz script starts from are checked too: each is a file the readers accept.
#include "FuzzBodies.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/FakeWindow.h"
#include "stack/ProjectFile.h"
#include "stack/StackFile.h"
#include "stack/StackFileFixture.h"

namespace tarvel {
namespace {

struct TTarget {
  const char* Name;
  void (*Body)(fuzz::TBytes);
};

const TTarget kTargets[] = {
    {"object_stream", fuzz::ObjectStream},     {"obj_reader", fuzz::ObjReader},
    {"target_geometry", fuzz::TargetGeometry}, {"stack_file", fuzz::StackFile},
    {"project_file", fuzz::ProjectFile},       {"stack_json", fuzz::StackJson},
};

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  if (std::filesystem::is_directory(folder))
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      if (entry.is_regular_file()) files.push_back(entry.path());
  return files;
}

void RunAll(const TTarget& target, const std::vector<std::filesystem::path>& files) {
  for (const auto& file : files) {
    SCOPED_TRACE(file.string());
    const std::vector<std::uint8_t> bytes = test::FileBytes(file.string());
    target.Body(bytes);
  }
}

TEST(FuzzRegressionTest, FindingsStayMended) {
  int findings = 0;
  for (const TTarget& target : kTargets) {
    const auto files = FilesIn(std::filesystem::path(test::DataFile("fuzz")) / target.Name);
    findings += static_cast<int>(files.size());
    RunAll(target, files);
  }
  if (findings == 0) GTEST_SKIP() << "no fuzz findings are kept in tests/data/fuzz";
}

TEST(FuzzRegressionTest, SeedsAreReadableAndRunThroughEveryTarget) {
  test::TTempDir dir;
  fuzz::MakeSeeds(dir.Path().string());
  for (const TTarget& target : kTargets) {
    const auto files = FilesIn(dir.Path() / target.Name);
    EXPECT_FALSE(files.empty()) << target.Name;
    RunAll(target, files);
  }
  for (const auto& file : FilesIn(dir.Path() / "stack_file"))
    EXPECT_NO_THROW(ReadStackFile(file.string())) << file;
  for (const auto& file : FilesIn(dir.Path() / "project_file"))
    EXPECT_NO_THROW(ReadProject(file.string())) << file;
  const auto every = dir.Path() / "stack_file" / "every_kind.stk";
  std::set<std::uint16_t> kinds;
  ReadStackFile(every.string())->Commands.ForEach([&](const TStackCommand& c) {
    kinds.insert(c.StreamId());
  });
  EXPECT_EQ(kinds, test::EveryCommandKind());
}

}  // namespace
}  // namespace tarvel
