#include "mesh/StagedFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "TestSupport.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using test::TTempDir;

int EntryCount(const fs::path& folder) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(folder)) ++n;
  return n;
}

TEST(StagedFolderTest, WhatIsNotMovedOutLeavesNoTrace) {
  TTempDir dir;
  const fs::path out = dir.Path() / "out";
  {
    TStagedFolder stage(out, "figure");
    EXPECT_EQ(stage.Path().parent_path(), out);
    fs::create_directories(stage.Path() / "figure");
    std::ofstream(stage.Path() / "figure" / "a.obj") << "v 0 0 0\r\n";
  }
  EXPECT_EQ(EntryCount(out), 0);
}

TEST(StagedFolderTest, MovingOutReplacesWhatWasThere) {
  TTempDir dir;
  const fs::path out = dir.Path() / "out";
  fs::create_directories(out / "figure" / "old");
  std::ofstream(out / "figure" / "old" / "stale.obj") << "x";
  std::ofstream(out / "figure.vnx") << "old";
  std::ofstream(out / "other.txt") << "kept";
  {
    TStagedFolder stage(out, "figure");
    fs::create_directories(stage.Path() / "figure");
    std::ofstream(stage.Path() / "figure" / "a.obj") << "new";
    std::ofstream(stage.Path() / "figure.vnx") << "new";
    stage.MoveOut("figure");
    stage.MoveOut("figure.vnx");
  }
  EXPECT_EQ(EntryCount(out), 3);  // figure, figure.vnx, other.txt: no temporary folder
  EXPECT_TRUE(fs::exists(out / "figure" / "a.obj"));
  EXPECT_FALSE(fs::exists(out / "figure" / "old"));
  EXPECT_EQ(fs::file_size(out / "figure.vnx"), 3u);
  EXPECT_TRUE(fs::exists(out / "other.txt"));
}

}  // namespace
}  // namespace tarvel
