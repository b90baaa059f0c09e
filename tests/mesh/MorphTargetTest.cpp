#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <locale>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "TestSupport.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/SafeFile.h"

namespace tarvel {
namespace {

using test::TTempDir;

// Groups: 0 "default" (empty), 1 "tri" (vertices 0 1 2), 2 "rest" (vertices 2 3 4, sharing 2).
const char* const kMesh =
    "v 1 2 3\nv 4 5 6\nv 0.5 0.25 -1\nv 7 8 9\nv 10 11 12\n"
    "g tri\nf 1 2 3\ng rest\nf 3 4 5\n";
constexpr int kTri = 1;
constexpr int kRest = 2;

std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::set<std::string> FilesIn(const std::filesystem::path& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.insert(e.path().filename().string());
  return names;
}

class MorphTargetTest : public ::testing::Test {
 protected:
  MorphTargetTest() { LoadFromObj(mesh_, dir_.Write("mesh.obj", kMesh)); }

  TGroup& Group(int i) { return *mesh_.Groups[i]; }

  // A target of the group whose positions are the base positions moved by (dx, dy, dz).
  TMorphTarget& AddTarget(TGroup& g, double dx, double dy, double dz, float dial) {
    auto t = std::make_unique<TMorphTarget>(&g);
    for (const TGroupVertex& e : g.Vertices) {
      const TObjVertex& v = *g.VertexOf(e);
      TBaseVertex p;
      p.X = v.X + dx;
      p.Y = v.Y + dy;
      p.Z = v.Z + dz;
      t->Positions.Add(p);
    }
    t->Id = g.NewMorphTargetId();
    t->Value = dial;
    return *g.MorphTargets.Add(std::move(t));
  }

  TTempDir dir_;
  TObjData mesh_;
};

// ---------------------------------------------------------------------------------------------
// Import

TEST_F(MorphTargetTest, ImportResultCodes) {
  const std::string threeLines =
      "# exported target\r\n"
      "v 0.1 0.2 0.3\r\n"
      "vn 0 0 1\r\n"
      "\r\n"
      "#v 9 9 9\r\n"
      "  v 1.5 -2 0  \r\n"
      "f 1 2 3\r\n"
      "g tri\r\n"
      "vt 0.5 0.5\r\n"
      "v -4 5.25 0.6\r\n";
  struct TCase {
    const char* Name;
    std::string File;  // empty: no file
    int Code;
  };
  const TCase cases[] = {
      {"three v lines among others", threeLines, 0},
      {"a fourth v line", threeLines + "v 1 1 1\r\n", 2},
      {"two v lines", "v 1 1 1\nv 2 2 2\n", 2},
      {"no v line at all", "# nothing\nvn 0 0 1\n", 2},
      {"missing file", "", 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TGroup& g = Group(kTri);
    const std::int32_t before = g.MorphTargets.Count();
    const std::string file =
        c.File.empty() ? (dir_.Path() / "missing.obj").string() : dir_.Write("t.obj", c.File);
    int code = -1;
    TMorphTarget* t = g.ImportMorphTarget(file, code);
    EXPECT_EQ(code, c.Code);
    if (c.Code != 0) {
      EXPECT_EQ(t, nullptr);
      EXPECT_EQ(g.MorphTargets.Count(), before);
      continue;
    }
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(g.MorphTargets.Count(), before + 1);
    EXPECT_EQ(g.MorphTargets[before], t);
    EXPECT_EQ(t->Group, &g);
    EXPECT_EQ(t->Name, "NoName");
    EXPECT_EQ(t->Value, 0.0f);
    EXPECT_GE(t->Id, 1);
    EXPECT_LE(t->Id, 2147483637);
    ASSERT_EQ(t->Positions.Count(), 3);
    const double expected[3][3] = {{0.1, 0.2, 0.3}, {1.5, -2, 0}, {-4, 5.25, 0.6}};
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(t->Positions[k].Index, k);
      EXPECT_EQ(t->Positions[k].X, expected[k][0]);
      EXPECT_EQ(t->Positions[k].Y, expected[k][1]);
      EXPECT_EQ(t->Positions[k].Z, expected[k][2]);
    }
  }
  // Only the accepted file added a target, and the base vertices never changed.
  EXPECT_EQ(Group(kTri).MorphTargets.Count(), 1);
  EXPECT_EQ(mesh_.Vertices[0].X, 1);
}

TEST_F(MorphTargetTest, ImportedTargetsGetDistinctIds) {
  const std::string file = dir_.Write("t.obj", "v 0 0 0\nv 1 1 1\nv 2 2 2\n");
  std::set<std::int32_t> ids;
  for (int i = 0; i < 20; ++i) {
    int code = -1;
    TMorphTarget* t = Group(kTri).ImportMorphTarget(file, code);
    ASSERT_NE(t, nullptr);
    ids.insert(t->Id);
  }
  EXPECT_EQ(ids.size(), 20u);
}

// ---------------------------------------------------------------------------------------------
// Export

TEST_F(MorphTargetTest, TargetGeometryLineLayout) {
  struct TCase {
    double X, Y, Z;
    const char* Line;
  };
  const TCase cases[] = {
      {1, -2.5, 0, "v   1.000000  -2.500000   0.000000 \r\n"},
      {0.1234567, -0.0000016, 123.4, "v   0.123457  -0.000002 123.400000 \r\n"},
      // Numbers longer than 10 characters take more room; nothing is cut.
      {-1234.5678912, 12345678.5, 99.9999999, "v -1234.567891 12345678.500000 100.000000 \r\n"},
  };
  for (const TCase& c : cases) {
    TBaseVertex p;
    p.X = c.X;
    p.Y = c.Y;
    p.Z = c.Z;
    EXPECT_EQ(TargetGeometryLine(p), c.Line);
  }
}

TEST_F(MorphTargetTest, ExportWritesOnlyVertexLines) {
  TMorphTarget& t = AddTarget(Group(kTri), 0, 0, 0, 0);
  const std::string file = (dir_.Path() / "out.obj").string();
  t.ExportTargetGeometry(file);
  EXPECT_EQ(ReadAll(file),
            "v   1.000000   2.000000   3.000000 \r\n"
            "v   4.000000   5.000000   6.000000 \r\n"
            "v   0.500000   0.250000  -1.000000 \r\n");
  // Exporting again replaces the file; nothing else is left in the folder.
  t.Positions[0].X = -7.25;
  t.ExportTargetGeometry(file);
  EXPECT_EQ(ReadAll(file).substr(0, 37), "v  -7.250000   2.000000   3.000000 \r\n");
  EXPECT_EQ(FilesIn(dir_.Path()), (std::set<std::string>{"mesh.obj", "out.obj"}));
}

// Sets a locale whose decimal point is a comma for C, and for C++ where its library knows the
// name (not MinGW's); restores on destruction.
class TCommaLocale {
 public:
  TCommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)), savedGlobal_() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "German_Germany.1252"}) {
      if (!std::setlocale(LC_ALL, name)) continue;
      try {
        std::locale::global(std::locale(name));
        cpp_ = true;
      } catch (const std::runtime_error&) {
      }
      active_ = true;
      break;
    }
  }
  ~TCommaLocale() {
    std::locale::global(savedGlobal_);
    std::setlocale(LC_ALL, saved_.c_str());
  }
  bool Active() const { return active_; }
  bool Cpp() const { return cpp_; }

 private:
  std::string saved_;
  std::locale savedGlobal_;
  bool active_ = false;
  bool cpp_ = false;
};

TEST_F(MorphTargetTest, DecimalPointUnderCommaLocale) {
  TCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no de_DE locale installed (scripts/setup.sh makes one)";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  if (comma.Cpp()) {
    std::ostringstream probe;
    probe << 0.5;
    ASSERT_EQ(probe.str(), "0,5");
  }
  TMorphTarget& t = AddTarget(Group(kTri), 0.125, 0, 0, 0);
  const std::string file = (dir_.Path() / "comma.obj").string();
  t.ExportTargetGeometry(file);
  EXPECT_EQ(ReadAll(file),
            "v   1.125000   2.000000   3.000000 \r\n"
            "v   4.125000   5.000000   6.000000 \r\n"
            "v   0.625000   0.250000  -1.000000 \r\n");
  // Reading keeps "." as the decimal point too.
  int code = -1;
  TMorphTarget* back = Group(kTri).ImportMorphTarget(file, code);
  ASSERT_EQ(code, 0);
  EXPECT_EQ(back->Positions[2].X, 0.625);
  EXPECT_EQ(back->Positions[2].Y, 0.25);
}

TEST_F(MorphTargetTest, FailedExportLeavesNoFileBehind) {
  // A target large enough to be written in several pieces.
  TMorphTarget t(&Group(kTri));
  for (int i = 0; i < 20000; ++i) {
    TBaseVertex p;
    p.X = i;
    t.Positions.Add(p);
  }
  const std::string old = "v 1 2 3\r\n";
  struct TCase {
    const char* Name;
    std::string File;
    bool Existing;  // an older file is there and must stay as it was
  };
  const TCase cases[] = {
      {"missing folder", (dir_.Path() / "no" / "such" / "t.obj").string(), false},
      {"target is a folder", (dir_.Path() / "folder").string(), false},
      {"disk full, new file", (dir_.Path() / "new.obj").string(), false},
      {"disk full, existing file", (dir_.Path() / "old.obj").string(), true},
  };
  std::filesystem::create_directory(dir_.Path() / "folder");
  dir_.Write("old.obj", old);
  const std::set<std::string> before = FilesIn(dir_.Path());
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    {
      const bool full = std::string(c.Name).starts_with("disk full");
      if (full && !test::CanLimitFileSize()) continue;
      std::unique_ptr<test::TFileSizeLimit> limit;
      if (full) {
        limit = std::make_unique<test::TFileSizeLimit>(4096);
        ASSERT_TRUE(limit->Ok());
      }
      EXPECT_THROW(t.ExportTargetGeometry(c.File), EFileWrite);
    }
    EXPECT_EQ(FilesIn(dir_.Path()), before);
    EXPECT_TRUE(std::filesystem::is_directory(dir_.Path() / "folder"));
    EXPECT_TRUE(std::filesystem::is_empty(dir_.Path() / "folder"));
    EXPECT_EQ(ReadAll((dir_.Path() / "old.obj").string()), old);
  }
}

TEST_F(MorphTargetTest, ExportThenImportRoundTrip) {
  const std::string source = dir_.Write("in.obj",
                                        "# from Poser\n"
                                        "v 0.1 -0.000001 12.5\n"
                                        "v -3.141593 2 0.000123\n"
                                        "v 1000.25 -0.5 7\n");
  int code = -1;
  TMorphTarget* first = Group(kTri).ImportMorphTarget(source, code);
  ASSERT_EQ(code, 0);
  const std::string file = (dir_.Path() / "out.obj").string();
  first->ExportTargetGeometry(file);
  EXPECT_EQ(ReadAll(file),
            "v   0.100000  -0.000001  12.500000 \r\n"
            "v  -3.141593   2.000000   0.000123 \r\n"
            "v 1000.250000  -0.500000   7.000000 \r\n");
  TMorphTarget* second = Group(kTri).ImportMorphTarget(file, code);
  ASSERT_EQ(code, 0);
  ASSERT_EQ(second->Positions.Count(), first->Positions.Count());
  for (int k = 0; k < first->Positions.Count(); ++k) {
    EXPECT_EQ(second->Positions[k].X, first->Positions[k].X);
    EXPECT_EQ(second->Positions[k].Y, first->Positions[k].Y);
    EXPECT_EQ(second->Positions[k].Z, first->Positions[k].Z);
  }
  EXPECT_NE(second->Id, first->Id);
}

// ---------------------------------------------------------------------------------------------
// Shaped positions

TEST_F(MorphTargetTest, DialledTargetsAddTheirDisplacements) {
  struct TTarget {
    double Dx, Dy, Dz;
    float Dial;
  };
  struct TCase {
    const char* Name;
    std::vector<TTarget> Targets;
    double Ex, Ey, Ez;  // expected displacement of every shaped position
  };
  const TCase cases[] = {
      {"two full targets add up", {{0.1, 0, 0, 1}, {0, 0.2, 0, 1}}, 0.1, 0.2, 0},
      {"dial -1 goes the other way", {{0.1, 0.2, -0.3, -1}}, -0.1, -0.2, 0.3},
      {"dial 0.5 goes halfway", {{0.1, 0.2, -0.3, 0.5f}}, 0.05, 0.1, -0.15},
      {"dial 2 goes past the target", {{0.1, 0, 0, 2}}, 0.2, 0, 0},
      {"mixed dials", {{1, 0, 0, 0.25f}, {0, 0, 2, -0.5f}, {0, 3, 0, 0}}, 0.25, 0, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TGroup& g = Group(kTri);
    g.MorphTargets.FreeAll();
    for (const TTarget& t : c.Targets) AddTarget(g, t.Dx, t.Dy, t.Dz, t.Dial);
    g.ApplyMorphTargets();
    for (const TGroupVertex& e : g.Vertices) {
      const TObjVertex& v = *g.VertexOf(e);
      EXPECT_NEAR(e.Shaped.X, v.X + c.Ex, 2e-6);
      EXPECT_NEAR(e.Shaped.Y, v.Y + c.Ey, 2e-6);
      EXPECT_NEAR(e.Shaped.Z, v.Z + c.Ez, 2e-6);
    }
  }
}

TEST_F(MorphTargetTest, DialledTermsAreSinglePrecision) {
  // Vertex 2 of "tri" sits at x = 0.5, y = 0.25 (exact in single), z = -1. A target equal to
  // the base adds nothing at dial 0, but at dial 1 its term is formed in single precision.
  TGroup& g = Group(kTri);
  mesh_.Vertices[2].X = 0.1;
  TMorphTarget& same = AddTarget(g, 0, 0, 0, 0);
  g.ApplyMorphTargets();
  EXPECT_EQ(g.Vertices[2].Shaped.X, 0.1);
  same.Value = 1;
  g.ApplyMorphTargets();
  EXPECT_EQ(g.Vertices[2].Shaped.X, static_cast<double>(0.1f));
  EXPECT_EQ(g.Vertices[2].Shaped.Y, 0.25);
}

TEST_F(MorphTargetTest, ShapedPositionsFollowMovedVerticesAtDialZero) {
  TGroup& g = Group(kTri);
  AddTarget(g, 0.5, 0, 0, 0);
  mesh_.Vertices[1].X = 40.125;
  mesh_.Vertices[1].Z = -0.3;
  g.ApplyMorphTargets();
  EXPECT_EQ(g.Vertices[1].Shaped.X, 40.125);
  EXPECT_EQ(g.Vertices[1].Shaped.Z, -0.3);
}

TEST_F(MorphTargetTest, ResetMorphDials) {
  TMorphTarget& a = AddTarget(Group(kTri), 0.1, 0, 0, 1);
  TMorphTarget& b = AddTarget(Group(kTri), 0, 0.3, 0, -0.5f);
  TMorphTarget& c = AddTarget(Group(kRest), 0, 0, 1, 0.75f);
  Group(kTri).ApplyMorphTargets();
  Group(kRest).ApplyMorphTargets();
  ASSERT_NE(Group(kTri).Vertices[0].Shaped.X, mesh_.Vertices[0].X);

  Group(kTri).ResetMorphDials();
  EXPECT_EQ(a.Value, 0);
  EXPECT_EQ(b.Value, 0);
  EXPECT_EQ(c.Value, 0.75f);  // another group keeps its dials
  for (const TGroupVertex& e : Group(kTri).Vertices) {
    const TObjVertex& v = *Group(kTri).VertexOf(e);
    EXPECT_EQ(e.Shaped.X, v.X);
    EXPECT_EQ(e.Shaped.Y, v.Y);
    EXPECT_EQ(e.Shaped.Z, v.Z);
  }

  mesh_.ResetMorphDials();
  EXPECT_EQ(c.Value, 0);
  for (const TGroupVertex& e : Group(kRest).Vertices)
    EXPECT_EQ(e.Shaped.Z, Group(kRest).VertexOf(e)->Z);
}

// ---------------------------------------------------------------------------------------------
// Morph entries of a transform

TEST_F(MorphTargetTest, MorphInfoListHasOneEntryPerTakingPartVertexAndTarget) {
  TMorphTarget& a = AddTarget(Group(kTri), 0.1, 0, 0, 0);
  TMorphTarget& b = AddTarget(Group(kTri), 0, 0.2, 0, 0);
  // "tri" lists vertices 0 1 2; 0 is selected, 2 carries a soft weight, 1 takes no part.
  mesh_.Vertices[0].Selected = true;
  mesh_.Vertices[2].SoftWeight = 0.25f;

  auto list = Group(kTri).MorphInfoList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Group, &Group(kTri));
  struct TExpected {
    int Vertex;
    TMorphTarget* Target;
    int Entry;
  };
  const TExpected expected[] = {{0, &a, 0}, {0, &b, 0}, {2, &a, 2}, {2, &b, 2}};
  ASSERT_EQ(list->Items.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const TMTVertInfo& item = list->Items[i];
    EXPECT_EQ(item.Vertex, &mesh_.Vertices[expected[i].Vertex]);
    EXPECT_EQ(item.Position, &expected[i].Target->Positions[expected[i].Entry]);
    EXPECT_EQ(item.Saved.X, item.Position->X);
    EXPECT_EQ(item.Saved.Y, item.Position->Y);
    EXPECT_EQ(item.Saved.Z, item.Position->Z);
  }
  // Saved is a copy: moving the target position leaves it.
  const double saved = list->Items[0].Saved.X;
  a.Positions[0].X += 5;
  EXPECT_EQ(list->Items[0].Saved.X, saved);
}

TEST_F(MorphTargetTest, MorphInfoListSkipsGroupsWithNothingToMove) {
  // "tri" has a target but none of its vertices takes part; "rest" has a vertex taking part
  // but no target.
  AddTarget(Group(kTri), 0.1, 0, 0, 0);
  mesh_.Vertices[3].Selected = true;
  EXPECT_EQ(Group(kTri).MorphInfoList(), nullptr);
  EXPECT_EQ(Group(kRest).MorphInfoList(), nullptr);
  std::vector<std::unique_ptr<TMTGroupInfoList>> all;
  mesh_.MorphInfoList(all);
  EXPECT_TRUE(all.empty());

  // Vertex 2 belongs to both groups; only the group with targets gets a list.
  mesh_.Vertices[2].Selected = true;
  AddTarget(Group(kRest), 0, 0, 1, 0);
  mesh_.MorphInfoList(all);
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0]->Group, &Group(kTri));
  EXPECT_EQ(all[0]->Items.size(), 1u);
  EXPECT_EQ(all[1]->Group, &Group(kRest));
  EXPECT_EQ(all[1]->Items.size(), 2u);  // vertices 2 and 3
}

}  // namespace
}  // namespace tarvel
