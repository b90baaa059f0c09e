#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "cli/BatchRun.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using test::HasLine;
using test::Lines;
using test::Quoted;
using test::RunBatch;
using test::TRun;
using test::TTempDir;

const std::filesystem::path kProjectDir = std::filesystem::path(TARVEL_SAMPLES_DIR).parent_path();

TEST(BatchInfoTest, InfoPrintsCountsAndOneLinePerGroup) {
  const TRun run = RunBatch("info samples/figure.obj", kProjectDir);
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  TObjData mesh;
  LoadFromObj(mesh, (kProjectDir / "samples" / "figure.obj").string());
  ASSERT_GT(mesh.Vertices.Count(), 0);
  EXPECT_TRUE(HasLine(run.Out, "figure ", "figure")) << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "vertices ", std::to_string(mesh.Vertices.Count()))) << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "texture coordinates ", std::to_string(mesh.TexVerts.Count())))
      << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "faces ", std::to_string(mesh.Faces.Count()))) << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "groups ", std::to_string(mesh.Groups.Count()))) << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "materials ", std::to_string(mesh.Materials.Count()))) << run.Out;
  EXPECT_TRUE(HasLine(run.Out, "smoothing groups ", std::to_string(mesh.Smooths.Count())))
      << run.Out;
  // One line per group: its name, faces and vertices, in mesh order.
  const std::vector<std::string> lines = Lines(run.Out);
  std::size_t next = 0;
  mesh.Groups.ForEach([&](const TGroup& g) {
    std::ostringstream expected;
    expected << g.Name << " " << g.Faces.size() << " " << g.Vertices.Count();
    bool found = false;
    for (; next < lines.size() && !found; ++next) {
      std::istringstream fields(lines[next]);
      std::string name, faces, vertices, rest;
      fields >> name >> faces >> vertices;
      found = !(fields >> rest) && name + " " + faces + " " + vertices == expected.str();
    }
    EXPECT_TRUE(found) << "no line \"" << expected.str() << "\" in order";
  });
}

TEST(BatchInfoTest, FailuresExitWithOneAndSayWhy) {
  TTempDir dir;
  std::string nine;
  for (int i = 0; i < 9; ++i) nine += "v " + std::to_string(i) + " 0 0\n";
  const std::string broken = dir.Write("broken.obj", nine + "f 1 2 10\n");
  const std::string fifo = (dir.Path() / "pipe.obj").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  struct TCase {
    const char* Name;
    std::string File;
    std::vector<std::string> InErr;
  };
  const std::vector<TCase> cases = {
      {"missing file", (dir.Path() / "none.obj").string(), {"none.obj: no such file"}},
      {"broken file", broken, {"broken.obj, line 10: face refers to vertex 10"}},
      {"folder", dir.Path().string(), {dir.Path().string() + " is a folder"}},
      {"fifo", fifo, {"pipe.obj is not a regular file"}},
      {"device", "/dev/zero", {"/dev/zero is not a regular file"}},
      {"empty file", dir.Write("empty.obj", ""), {"empty.obj holds no geometry"}},
      {"far vertex", dir.Write("far.obj", "v 1e57 0 0\n"), {"far.obj, line 1: ", "out of range"}},
      {"damaged name", dir.Write("bad\xFF.obj", "v 0 0 0\n"), {"bad\\xFF.obj holds no geometry"}},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    const TRun run = RunBatch("info " + Quoted(tc.File), dir.Path());
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_EQ(run.Out, "");
    for (const std::string& part : tc.InErr)
      EXPECT_NE(run.Err.find(part), std::string::npos) << run.Err;
    // The file is named once.
    const std::string name = fs::path(tc.File).filename().string();
    if (!name.empty() && name.find('\xFF') == std::string::npos) {
      EXPECT_EQ(run.Err.find(name), run.Err.rfind(name)) << run.Err;
    }
  }
}

TEST(BatchInfoTest, WrongUsageExitsWithTwo) {
  for (const char* args :
       {"", "info", "stats samples/figure.obj", "info a.obj b.obj",
        "info samples/figure.obj --bogus", "info samples/figure.obj --symmetry",
        "info samples/figure.obj --symmetry -1", "info samples/figure.obj --symmetry 1e"}) {
    SCOPED_TRACE(args);
    const TRun run = RunBatch(args, kProjectDir);
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Err.find("usage"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
  }
}

TEST(BatchInfoTest, HelpExplainsEveryVerbOnStandardOutput) {
  for (const char* args : {"--help", "info --help", "info -h"}) {
    SCOPED_TRACE(args);
    const TRun run = RunBatch(args, kProjectDir);
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Err, "");
    EXPECT_NE(run.Out.find("usage: tarvel-batch"), std::string::npos) << run.Out;
  }
  EXPECT_NE(RunBatch("info --help", kProjectDir).Out.find("--symmetry"), std::string::npos);
}

TEST(BatchInfoTest, SymmetryReportsEachGroupAndTheTotal) {
  TTempDir dir;
  // One exact pair in group a; in group b a pair 0.5 apart from symmetric, and a vertex on the
  // centre line.
  const std::string file = dir.Write("lopsided.obj",
                                     "v 1 0 0\nv -1 0 0\nv 0 1 0\nv 2 1 0\nv -2.5 1 0\nv 0 3 0\n"
                                     "g a\nf 1 2 3\ng b\nf 4 5 6\n");
  const TRun run = RunBatch("info " + Quoted(file) + " --symmetry 0.0001", dir.Path());
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  // group, vertices, on the centre line, near it, out of symmetry, cross linked, largest pair
  // distance, tolerance needed.
  const std::vector<std::string> expected = {"a 3 1 0 0 0 0.0000000 0.0000000",
                                             "b 3 1 0 2 0 0.0000000 0.5000000",
                                             "total 6 2 0 2 0 0.0000000 0.5000000"};
  std::vector<std::string> got;
  bool inTable = false;
  for (const std::string& line : Lines(run.Out)) {
    if (line.rfind("symmetry at tolerance 0.0001000", 0) == 0) inTable = true;
    std::istringstream fields(line);
    std::string field, joined;
    while (fields >> field) joined += (joined.empty() ? "" : " ") + field;
    if (inTable && (joined.rfind("a ", 0) == 0 || joined.rfind("b ", 0) == 0 ||
                    joined.rfind("total ", 0) == 0))
      got.push_back(joined);
  }
  EXPECT_EQ(got, expected) << run.Out;
}

}  // namespace
}  // namespace tarvel
