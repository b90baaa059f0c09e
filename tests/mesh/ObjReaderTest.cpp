#include "mesh/ObjReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "TestSupport.h"
#include "mesh/FileCheck.h"
#include "mesh/ObjData.h"
#include "mesh/ObjectStream.h"

namespace tarvel {
namespace {

using test::TTempDir;

std::unique_ptr<TObjData> LoadText(const TTempDir& dir, const std::string& text,
                                   const std::string& name = "mesh.obj",
                                   const TObjReadOptions& options = {}) {
  auto mesh = std::make_unique<TObjData>();
  LoadFromObj(*mesh, dir.Write(name, text), options);
  return mesh;
}

// The mesh as the object stream writes it; equal bytes mean equal meshes.
std::vector<std::uint8_t> StoredBytes(const TObjData& mesh) {
  TObjectStream s;
  s.Put(mesh);
  return s.Bytes();
}

// Loads with the random ids of the group-material entries made repeatable.
std::vector<std::uint8_t> LoadBytes(const std::string& file, const TObjReadOptions& options = {}) {
  SeedRandomIds(12345);
  TObjData mesh;
  LoadFromObj(mesh, file, options);
  // Files of other names or folders still hold the same mesh.
  // (Moved in from a string: GCC 12 at -O3 reports a false -Wrestrict on assigning a literal.)
  mesh.Name = std::string(1, 'x');
  mesh.FileName = mesh.Name;
  return StoredBytes(mesh);
}

std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::string kSample = std::string(TARVEL_SAMPLES_DIR) + "/figure.obj";

// What every loaded mesh must satisfy, checked from the records themselves.
void ExpectLoadedInvariants(const TObjData& m) {
  for (std::int32_t i = 0; i < m.Vertices.Count(); ++i) {
    EXPECT_EQ(m.Vertices[i].Index, i);
    EXPECT_EQ(m.Vertices[i].Id, i);
  }
  ASSERT_EQ(m.Normals.Count(), m.Vertices.Count());
  for (std::int32_t i = 0; i < m.Normals.Count(); ++i) {
    const TBaseVertex& n = m.Normals[i];
    EXPECT_EQ(n.Index, i);
    ASSERT_TRUE(std::isfinite(n.X) && std::isfinite(n.Y) && std::isfinite(n.Z)) << i;
    const double len = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
    EXPECT_TRUE(len == 0 || std::fabs(len - 1) < 1e-5) << "normal " << i << " has length " << len;
  }
  std::vector<std::vector<std::int32_t>> facesOfGroup(static_cast<std::size_t>(m.Groups.Count()));
  std::vector<std::set<std::int32_t>> verticesOfGroup(facesOfGroup.size());
  std::vector<std::set<std::int32_t>> materialsOfGroup(facesOfGroup.size());
  for (std::int32_t fi = 0; fi < m.Faces.Count(); ++fi) {
    const TObjFace& f = m.Faces[fi];
    EXPECT_EQ(f.Id, fi);
    ASSERT_GE(f.CornerCount, 3);
    ASSERT_TRUE(f.GroupIndex >= 0 && f.GroupIndex < m.Groups.Count());
    ASSERT_TRUE(f.MaterialIndex >= 0 && f.MaterialIndex < m.Materials.Count());
    ASSERT_TRUE(f.SmoothIndex >= 0 && f.SmoothIndex < m.Smooths.Count());
    const auto g = static_cast<std::size_t>(f.GroupIndex);
    facesOfGroup[g].push_back(fi);
    materialsOfGroup[g].insert(f.MaterialIndex);
    const TGroup& group = *m.Groups[f.GroupIndex];
    for (std::int32_t k = 0; k < f.CornerCount; ++k) {
      const std::size_t at = f.FirstCorner + static_cast<std::size_t>(k);
      const TFaceVert& c = m.Faces.AllCorners()[at];
      ASSERT_TRUE(c.VertexIndex >= 0 && c.VertexIndex < m.Vertices.Count());
      verticesOfGroup[g].insert(c.VertexIndex);
      ASSERT_TRUE(c.GroupVertexIndex >= 0 && c.GroupVertexIndex < group.Vertices.Count());
      EXPECT_EQ(group.Vertices[c.GroupVertexIndex].VertexIndex, c.VertexIndex);
      EXPECT_EQ(m.Faces.NormalIndex(at), c.VertexIndex);
      EXPECT_TRUE(c.TexVertIndex >= -1 && c.TexVertIndex < m.TexVerts.Count());
    }
  }
  for (std::int32_t gi = 0; gi < m.Groups.Count(); ++gi) {
    const TGroup& g = *m.Groups[gi];
    const auto k = static_cast<std::size_t>(gi);
    EXPECT_EQ(g.Faces, facesOfGroup[k]) << g.Name;
    std::vector<std::int32_t> listed;
    for (std::int32_t i = 0; i < g.Vertices.Count(); ++i) {
      const TGroupVertex& e = g.Vertices[i];
      listed.push_back(e.VertexIndex);
      const TObjVertex& v = m.Vertices[e.VertexIndex];
      EXPECT_EQ(e.Shaped.X, v.X);
      EXPECT_EQ(e.Shaped.Y, v.Y);
      EXPECT_EQ(e.Shaped.Z, v.Z);
    }
    // Ascending and exactly the vertices of the group's faces.
    EXPECT_EQ(listed,
              std::vector<std::int32_t>(verticesOfGroup[k].begin(), verticesOfGroup[k].end()))
        << g.Name;
    std::set<std::int32_t> entryMaterials;
    for (std::int32_t i = 0; i < g.GroupMats.Count(); ++i) {
      const auto* e = static_cast<const TGroupMatInfo*>(g.GroupMats.At(i));
      EXPECT_TRUE(entryMaterials.insert(e->MaterialIndex).second)
          << "duplicate entry in " << g.Name;
      EXPECT_EQ(e->Group, &g);
    }
    EXPECT_EQ(entryMaterials, materialsOfGroup[k]) << g.Name;
  }
}

std::vector<std::string> GroupNames(const TObjData& m) {
  std::vector<std::string> names;
  m.Groups.ForEach([&](const TGroup& g) { names.push_back(g.Name); });
  return names;
}

struct TVec {
  double X, Y, Z;
};
TVec Sub(TVec a, TVec b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
TVec Add(TVec a, TVec b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
TVec Cross(TVec a, TVec b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
TVec Unit(TVec a) {
  const double len = std::sqrt(a.X * a.X + a.Y * a.Y + a.Z * a.Z);
  return {a.X / len, a.Y / len, a.Z / len};
}
TVec TriangleUnitNormal(TVec a, TVec b, TVec c) { return Unit(Cross(Sub(b, a), Sub(c, a))); }

void ExpectNormal(const TBaseVertex& n, TVec expected, const char* what) {
  EXPECT_NEAR(n.X, expected.X, 1e-6) << what;
  EXPECT_NEAR(n.Y, expected.Y, 1e-6) << what;
  EXPECT_NEAR(n.Z, expected.Z, 1e-6) << what;
}

const char* const kTriangle =
    "v 0 0 0\n"
    "v 1 0 0\n"
    "v 0 1 0\n";

const char* const kSmallMesh =
    "# small\n"
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0.5\nv 2 0 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\n"
    "g hip\nusemtl Skin\ns 1\nf 1/1 2/2 3/3 4/1\n"
    "g thigh\nf 2/2 5/1 3/3\nusemtl Nails\nf 3 5 4\n";

// ---------------------------------------------------------------------------------------------
// Groups, materials, smoothing groups

TEST(ObjReaderTest, WithoutGroupLinesAllFacesAreInDefault) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) + "f 1 2 3\nf 3 2 1\n");
  ASSERT_EQ(m->Groups.Count(), 1);
  EXPECT_EQ(m->Groups[0]->Name, "default");
  EXPECT_EQ(m->Groups[0]->Id, -1);
  EXPECT_EQ(m->Groups[0]->Faces, (std::vector<std::int32_t>{0, 1}));
  ASSERT_EQ(m->Materials.Count(), 1);
  EXPECT_EQ(m->Materials[0]->Name, "default");
  EXPECT_EQ(m->Materials[0]->Id, -1);
  ASSERT_EQ(m->Smooths.Count(), 1);
  EXPECT_EQ(m->Smooths[0]->Name, "default");
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, GroupLineNamingDefaultInAnyCaseSelectsTheDefaultGroup) {
  TTempDir dir;
  const auto m = LoadText(
      dir, std::string(kTriangle) + "g hip\nf 1 2 3\ng DEFAULT\nf 3 2 1\ng Default\nf 1 3 2\n");
  EXPECT_EQ(GroupNames(*m), (std::vector<std::string>{"default", "hip"}));
  EXPECT_EQ(m->Groups[0]->Faces, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(m->Faces[1].GroupIndex, 0);
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, RepeatedGroupNameMakesOneGroupWithTheIdOfItsFirstLine) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) +
                                   "g Hip\nf 1 2 3\ng chest\nf 1 2 3\ng HIP\nf 1 2 3\n"
                                   "g head\nf 1 2 3\n");
  EXPECT_EQ(GroupNames(*m), (std::vector<std::string>{"default", "Hip", "chest", "head"}));
  EXPECT_EQ(m->Groups[1]->Id, 0);
  EXPECT_EQ(m->Groups[2]->Id, 1);
  EXPECT_EQ(m->Groups[3]->Id, 2);
  EXPECT_EQ(m->Groups[1]->Faces, (std::vector<std::int32_t>{0, 2}));
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, GroupNameIsTheWholeTrimmedRestOfTheLine) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) + "g   hip thigh  \t\nf 1 2 3\n");
  EXPECT_EQ(GroupNames(*m), (std::vector<std::string>{"default", "hip thigh"}));
}

TEST(ObjReaderTest, GroupAndMaterialIdsFollowFirstUse) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) +
                                   "usemtl Skin\ng a\nf 1 2 3\n"
                                   "usemtl Eyes\ng b\nf 1 2 3\n"
                                   "usemtl skin\ng A\nf 1 2 3\n"
                                   "s 1\nf 1 2 3\ns off\nf 1 2 3\ns 1\nf 1 2 3\n");
  ASSERT_EQ(m->Materials.Count(), 3);
  EXPECT_EQ(m->Materials[1]->Name, "Skin");
  EXPECT_EQ(m->Materials[1]->Id, 0);
  EXPECT_EQ(m->Materials[2]->Name, "Eyes");
  EXPECT_EQ(m->Materials[2]->Id, 1);
  EXPECT_EQ(m->Groups[1]->Id, 0);
  EXPECT_EQ(m->Groups[2]->Id, 1);
  ASSERT_EQ(m->Smooths.Count(), 3);
  EXPECT_EQ(m->Smooths[1]->Name, "1");
  EXPECT_EQ(m->Smooths[2]->Name, "off");
  const std::vector<std::array<std::int32_t, 3>> expected = {{1, 1, 0}, {2, 2, 0}, {1, 1, 0},
                                                             {1, 1, 1}, {1, 1, 2}, {1, 1, 1}};
  ASSERT_EQ(m->Faces.Count(), 6);
  for (std::int32_t i = 0; i < 6; ++i) {
    const auto& e = expected[static_cast<std::size_t>(i)];
    EXPECT_EQ(m->Faces[i].GroupIndex, e[0]) << i;
    EXPECT_EQ(m->Faces[i].MaterialIndex, e[1]) << i;
    EXPECT_EQ(m->Faces[i].SmoothIndex, e[2]) << i;
  }
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, GroupMaterialEntriesOnePerMaterialUsed) {
  TTempDir dir;
  SeedRandomIds(99);
  const auto m =
      LoadText(dir, std::string(kTriangle) +
                        "g a\nusemtl m1\nf 1 2 3\nusemtl m2\nf 1 2 3\nusemtl m1\nf 1 2 3\n"
                        "g b\nf 1 2 3\ng a\nf 1 2 3\n"
                        "g c\nusemtl default\nf 1 2 3\n");
  const TGroup& a = *m->Groups[1];
  const TGroup& b = *m->Groups[2];
  const TGroup& c = *m->Groups[3];
  EXPECT_EQ(m->Groups[0]->GroupMats.Count(), 0);
  ASSERT_EQ(a.GroupMats.Count(), 2);
  ASSERT_EQ(b.GroupMats.Count(), 1);
  ASSERT_EQ(c.GroupMats.Count(), 1);
  const auto* a1 = static_cast<const TGroupMatInfo*>(a.GroupMats.At(0));
  const auto* a2 = static_cast<const TGroupMatInfo*>(a.GroupMats.At(1));
  const auto* b1 = static_cast<const TGroupMatInfo*>(b.GroupMats.At(0));
  const auto* c1 = static_cast<const TGroupMatInfo*>(c.GroupMats.At(0));
  EXPECT_EQ(a1->MaterialIndex, 1);
  EXPECT_EQ(a1->MaterialId, 0);
  EXPECT_EQ(a1->Name(), "m1");
  EXPECT_EQ(a2->MaterialIndex, 2);
  EXPECT_EQ(a2->MaterialId, 1);
  EXPECT_EQ(b1->MaterialIndex, 1);  // the current material carries over into group b
  EXPECT_EQ(c1->MaterialIndex, 0);
  EXPECT_EQ(c1->MaterialId, -1);
  EXPECT_EQ(c1->Name(), "default");
  EXPECT_NE(a1->Id, a2->Id);
  for (const auto* e : {a1, a2, b1, c1}) {
    EXPECT_GE(e->Id, 1);
    EXPECT_LE(e->Id, 2147483637);
    EXPECT_TRUE(e->Visible);
  }
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, ColoursGoToGroupsThenMaterialsAndWrapAfter33) {
  // The display colour table, in order.
  constexpr std::array<std::array<int, 3>, 33> kTable = {{
      {0, 204, 255},   {0, 255, 255},   {255, 153, 255}, {153, 153, 255}, {0, 153, 255},
      {204, 102, 255}, {153, 255, 204}, {0, 255, 204},   {200, 200, 200}, {0, 200, 200},
      {51, 255, 153},  {51, 204, 153},  {255, 153, 153}, {204, 153, 153}, {153, 153, 153},
      {51, 153, 153},  {0, 255, 102},   {204, 204, 102}, {51, 204, 102},  {204, 153, 102},
      {153, 153, 102}, {51, 153, 102},  {204, 102, 102}, {102, 102, 102}, {204, 51, 102},
      {255, 204, 51},  {204, 204, 51},  {153, 204, 51},  {51, 204, 51},   {255, 153, 51},
      {102, 153, 51},  {204, 102, 51},  {102, 102, 51},
  }};
  struct TCase {
    int Groups;     // named groups besides "default"
    int Materials;  // named materials besides "default"
  };
  for (const TCase tc : {TCase{0, 0}, TCase{2, 1}, TCase{31, 3}, TCase{34, 40}}) {
    SCOPED_TRACE("groups " + std::to_string(tc.Groups) + ", materials " +
                 std::to_string(tc.Materials));
    std::string text = std::string(kTriangle) + "f 1 2 3\n";
    for (int i = 0; i < tc.Groups; ++i) text += "g g" + std::to_string(i) + "\nf 1 2 3\n";
    for (int i = 0; i < tc.Materials; ++i) text += "usemtl m" + std::to_string(i) + "\n";
    text += "s 1\n";
    TTempDir dir;
    const auto m = LoadText(dir, text);
    ASSERT_EQ(m->Groups.Count(), tc.Groups + 1);
    ASSERT_EQ(m->Materials.Count(), tc.Materials + 1);
    std::size_t ordinal = 0;
    auto expectColour = [&](const TBaseGroup& g) {
      const auto& rgb = kTable[ordinal++ % kTable.size()];
      EXPECT_EQ(g.ColorValue, rgb[0] | rgb[1] << 8 | rgb[2] << 16) << g.Name;
      EXPECT_FLOAT_EQ(g.ColorVector.R, static_cast<float>(rgb[0]) / 255) << g.Name;
      EXPECT_FLOAT_EQ(g.ColorVector.G, static_cast<float>(rgb[1]) / 255) << g.Name;
      EXPECT_FLOAT_EQ(g.ColorVector.B, static_cast<float>(rgb[2]) / 255) << g.Name;
      EXPECT_EQ(g.ColorVector.A, 1.0f);
    };
    m->Groups.ForEach(expectColour);
    m->Materials.ForEach(expectColour);
    m->Smooths.ForEach([](const TSmooth& s) {
      EXPECT_EQ(s.ColorValue, kWhite);
      EXPECT_EQ(s.ColorVector, TColorVector{});
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Vertices, texture coordinates, corners

TEST(ObjReaderTest, CornerFormsSetTheirIndices) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) +
                                   "vt 0.25 0.5\nvt 0.1 0.2 0.3\nvt 1 1\n"
                                   "vn 0 0 1\nvn 0 0 1\n"
                                   "f 1 2 3\nf 1/1 2/2 3/3\nf 1//2 2//2 3//1\nf 3/2/1 2/1/2 1/3/2\n"
                                   "f 1/ 2/ 3/\n");
  ASSERT_EQ(m->TexVerts.Count(), 3);
  EXPECT_EQ(m->TexVerts[0].X, 0.25);
  EXPECT_EQ(m->TexVerts[0].Y, 0.5);
  EXPECT_EQ(m->TexVerts[0].Z, 0.0);  // two numbers: w is 0
  EXPECT_EQ(m->TexVerts[1].Z, 0.3);
  for (std::int32_t i = 0; i < 3; ++i) EXPECT_EQ(m->TexVerts[i].Index, i);
  const std::vector<std::vector<std::int32_t>> tex = {
      {-1, -1, -1}, {0, 1, 2}, {-1, -1, -1}, {1, 0, 2}, {-1, -1, -1}};
  ASSERT_EQ(m->Faces.Count(), 5);
  for (std::int32_t f = 0; f < 5; ++f) {
    const auto corners = m->Faces.Corners(m->Faces[f]);
    ASSERT_EQ(corners.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_EQ(corners[k].TexVertIndex, tex[static_cast<std::size_t>(f)][k]) << f << "/" << k;
      // The normal numbers of the file never survive: every corner gets its vertex normal.
      EXPECT_EQ(m->Faces.NormalIndex(m->Faces[f].FirstCorner + k), corners[k].VertexIndex);
    }
  }
  // The vn lines are replaced by one computed normal per vertex.
  EXPECT_EQ(m->Normals.Count(), 3);
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, NormalsAreComputedNotRead) {
  TTempDir dir;
  // A triangle in the plane z = 0 wound counter-clockwise seen from +z, with file normals that
  // point elsewhere.
  const auto m = LoadText(dir, std::string(kTriangle) + "vn 1 0 0\nf 1//1 2//1 3//1\n");
  for (std::int32_t i = 0; i < 3; ++i) ExpectNormal(m->Normals[i], {0, 0, 1}, "vertex normal");
}

TEST(ObjReaderTest, QuadNormalIsTheNormalisedSumOfItsFanTriangles) {
  TTempDir dir;
  // A non-planar quad, so that the two fan triangles have different normals.
  const TVec p1{0, 0, 0}, p2{1, 0, 0}, p3{1, 1, 0.5}, p4{0, 1, 0};
  const auto m = LoadText(dir, "v 0 0 0\nv 1 0 0\nv 1 1 0.5\nv 0 1 0\nf 1 2 3 4\n");
  ASSERT_EQ(m->Faces.Count(), 1);
  EXPECT_EQ(m->Faces[0].CornerCount, 4);
  const TVec t1 = TriangleUnitNormal(p1, p2, p3);
  const TVec t2 = TriangleUnitNormal(p3, p4, p1);
  const TVec expected = Unit(Add(t1, t2));
  ASSERT_GT(std::fabs(expected.Z - t1.Z), 1e-3);  // the second triangle matters
  for (std::int32_t i = 0; i < 4; ++i) ExpectNormal(m->Normals[i], expected, "quad corner");
  ExpectLoadedInvariants(*m);
}

TEST(ObjReaderTest, VertexNormalIsTheNormalisedSumOfFaceNormalsNotWeightedByArea) {
  TTempDir dir;
  // Vertex 1 is shared by a large triangle facing +z and a tiny one facing +x.
  const auto m = LoadText(dir,
                          "v 0 0 0\nv 10 0 0\nv 0 10 0\nv 0 0.01 0\nv 0 0 0.01\n"
                          "f 1 2 3\nf 1 4 5\n");
  const double h = std::sqrt(0.5);
  ExpectNormal(m->Normals[0], {h, 0, h}, "shared vertex");
  ExpectNormal(m->Normals[1], {0, 0, 1}, "large face only");
  ExpectNormal(m->Normals[3], {1, 0, 0}, "small face only");
}

TEST(ObjReaderTest, DirectionlessNormalsAreZeroNeverNaN) {
  struct TCase {
    const char* Name;
    const char* Text;
    std::vector<std::int32_t> Zero;  // vertices whose normal is (0, 0, 0)
  };
  const std::vector<TCase> cases = {
      {"coincident corners", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 1 2\n", {0, 1, 2}},
      {"collinear corners", "v 0 0 0\nv 1 0 0\nv 2 0 0\nf 1 2 3\n", {0, 1, 2}},
      {"all corners on one point", "v 1 1 1\nv 1 1 1\nv 1 1 1\nf 1 2 3\n", {0, 1, 2}},
      {"unused vertex", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5 5\nf 1 2 3\n", {3}},
      {"opposite faces cancel", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nf 3 2 1\n", {0, 1, 2}},
      {"degenerate quad", "v 0 0 0\nv 1 0 0\nv 1 0 0\nv 0 0 0\nf 1 2 3 4\n", {0, 1, 2, 3}},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    TTempDir dir;
    const auto m = LoadText(dir, tc.Text);
    for (std::int32_t i : tc.Zero) {
      EXPECT_EQ(m->Normals[i].X, 0.0) << i;
      EXPECT_EQ(m->Normals[i].Y, 0.0) << i;
      EXPECT_EQ(m->Normals[i].Z, 0.0) << i;
    }
    ExpectLoadedInvariants(*m);
  }
  // A degenerate face does not spoil the normal of a vertex it shares with a proper face.
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) + "v 2 0 0\nf 1 2 3\nf 1 2 4\n");
  ExpectNormal(m->Normals[0], {0, 0, 1}, "shared with a degenerate face");
}

TEST(ObjReaderTest, VertexOfTwoGroupsHasAnEntryWithItsOwnShapedPositionInEach) {
  TTempDir dir;
  const auto m = LoadText(dir,
                          "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\n"
                          "g a\nf 3 2 1\ng b\nf 5 4 3\nf 3 4 1\n");
  const TGroup& a = *m->Groups[1];
  const TGroup& b = *m->Groups[2];
  std::vector<std::int32_t> aList, bList;
  for (const TGroupVertex& e : a.Vertices) aList.push_back(e.VertexIndex);
  for (const TGroupVertex& e : b.Vertices) bList.push_back(e.VertexIndex);
  EXPECT_EQ(aList, (std::vector<std::int32_t>{0, 1, 2}));
  EXPECT_EQ(bList, (std::vector<std::int32_t>{0, 2, 3, 4}));
  TGroupVertex& inA = m->Groups[1]->Vertices[a.Vertices.IndexOfVertex(2)];
  TGroupVertex& inB = m->Groups[2]->Vertices[b.Vertices.IndexOfVertex(2)];
  EXPECT_EQ(inA.Shaped.X, 1.0);
  EXPECT_EQ(inB.Shaped.Y, 1.0);
  ExpectLoadedInvariants(*m);
  inA.Shaped.Z = 7;
  EXPECT_EQ(inB.Shaped.Z, 0.0);
  EXPECT_EQ(m->Vertices[2].Z, 0.0);
}

TEST(ObjReaderTest, VertexLinesKeepTheirNumbers) {
  TTempDir dir;
  const auto m =
      LoadText(dir, "v 1.5 -2.25 3e2\nv +1 0.000001 -0\nv 1 2 3 4\nvn 1 2 3 4\nf 1 2 3\n");
  ASSERT_EQ(m->Vertices.Count(), 3);
  EXPECT_EQ(m->Vertices[0].X, 1.5);
  EXPECT_EQ(m->Vertices[0].Y, -2.25);
  EXPECT_EQ(m->Vertices[0].Z, 300.0);
  EXPECT_EQ(m->Vertices[1].X, 1.0);
  EXPECT_EQ(m->Vertices[1].Y, 0.000001);
  // More than three numbers: the first three count.
  EXPECT_EQ(m->Vertices[2].X, 1.0);
  EXPECT_EQ(m->Vertices[2].Y, 2.0);
  EXPECT_EQ(m->Vertices[2].Z, 3.0);
}

TEST(ObjReaderTest, TextureLineWithMoreThanThreeNumbersKeepsThree) {
  TTempDir dir;
  const auto m =
      LoadText(dir, std::string(kTriangle) + "vt 0.1 0.2 0.3 0.4\nvt 0.5 0.6 \nf 1 2 3\n");
  ASSERT_EQ(m->TexVerts.Count(), 2);
  EXPECT_EQ(m->TexVerts[0].Z, 0.3);
  EXPECT_EQ(m->TexVerts[1].Y, 0.6);
  EXPECT_EQ(m->TexVerts[1].Z, 0.0);
}

TEST(ObjReaderTest, UnrecognisedVertexLinesAreSkippedAndLaterNumbersShift) {
  TTempDir dir;
  const auto m = LoadText(dir,
                          "v 0 0 0\n"
                          "V 6 6 6\n"
                          "v 1 0 0\n"
                          "  v 0 1 0  \n"
                          "f 1 2 3\n");
  ASSERT_EQ(m->Vertices.Count(), 3);
  EXPECT_EQ(m->Vertices[1].X, 1.0);
  EXPECT_EQ(m->Vertices[2].Y, 1.0);
  const auto corners = m->Faces.Corners(m->Faces[0]);
  EXPECT_EQ(corners[1].VertexIndex, 1);
  // A fourth vertex number now refers past the end.
  EXPECT_THROW(LoadText(dir, "v 0 0 0\nV 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 4\n"), EObjRead);
}

TEST(ObjReaderTest, FaceKeywordsAndBlanks) {
  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) + "fo 1 2 3\nf  3   2 1  \n\tf 1 2 3\n");
  ASSERT_EQ(m->Faces.Count(), 3);
  const auto corners = m->Faces.Corners(m->Faces[1]);
  ASSERT_EQ(corners.size(), 3u);
  EXPECT_EQ(corners[0].VertexIndex, 2);
  EXPECT_EQ(corners[2].VertexIndex, 0);
}

TEST(ObjReaderTest, CommentMaterialLibraryAndObjectLinesChangeNothing) {
  TTempDir dirA, dirB;
  const std::string body = std::string(kTriangle) + "vt 0 0\ng a\nusemtl m\ns 1\nf 1/1 2/1 3/1\n";
  const std::string plain = dirA.Write("m.obj", body);
  const std::string decorated =
      dirB.Write("m.obj", "# a comment\nmtllib m.mtl\no thing\n#v 9 9 9\n" + body +
                              "# f 1 2 3\nl 1 2\nvp 0.5\nmg 1\ncstype bezier\n");
  EXPECT_EQ(LoadBytes(plain), LoadBytes(decorated));
}

TEST(ObjReaderTest, MeshNameIsTheFileNameBeforeItsExtension) {
  struct TCase {
    const char* File;
    const char* Name;
  };
  for (const TCase tc :
       {TCase{"body.obj", "body"}, TCase{"x.obj.obj", "x"}, TCase{"/a/b/Figure.OBJ", "Figure"},
        TCase{"noext", "noext"}, TCase{"dir.d/part.obj", "part"}, TCase{"a.b.c", "a.b"}})
    EXPECT_EQ(MeshNameOfFile(tc.File), tc.Name) << tc.File;

  TTempDir dir;
  const auto m = LoadText(dir, std::string(kTriangle) + "f 1 2 3\n", "x.obj.obj");
  EXPECT_EQ(m->Name, "x");
  EXPECT_EQ(m->FileName, (dir.Path() / "x.obj.obj").string());
}

TEST(ObjReaderTest, MissingFileLeavesOnlyTheDefaultEntries) {
  TTempDir dir;
  TObjData m;
  LoadFromObj(m, (dir.Path() / "none.obj").string());
  EXPECT_EQ(GroupNames(m), (std::vector<std::string>{"default"}));
  ASSERT_EQ(m.Materials.Count(), 1);
  EXPECT_EQ(m.Materials[0]->Name, "default");
  ASSERT_EQ(m.Smooths.Count(), 1);
  EXPECT_EQ(m.Smooths[0]->Name, "default");
  EXPECT_EQ(m.Vertices.Count(), 0);
  EXPECT_EQ(m.Faces.Count(), 0);
  EXPECT_EQ(m.Name, "NoName");
  EXPECT_EQ(m.FileName, "");
}

// Files that are no figure: each is refused with "NAME holds no geometry", the file named once.
TEST(ObjReaderTest, FilesWithoutGeometryAreRefused) {
  std::string elf(
      "\x7F"
      "ELF\x02\x01\x01",
      7);
  elf += std::string(9, '\0') + "\x02\0>\0v 1 2 3\nf 1 1 1\n";
  std::string utf16;
  for (char c : std::string(kTriangle) + "f 1 2 3\n") utf16 += std::string{c, '\0'};
  std::string lateNul = std::string(kTriangle) + "f 1 2 3\n# " + std::string(5000, 'x');
  lateNul += std::string(1, '\0') + "\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"blank lines", "\n\n  \r\n"},
      {"comments and groups only", "# nothing\ng hip\nusemtl skin\n"},
      {"vertices without faces", kTriangle},
      {"a binary program", elf},
      {"UTF-16 text", "\xFF\xFE" + utf16},
      {"UTF-16 without a mark", utf16},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    TTempDir dir;
    const std::string file = dir.Write("none.obj", bytes);
    TObjData m;
    try {
      LoadFromObj(m, file);
      ADD_FAILURE() << "loaded";
    } catch (const EObjRead& e) {
      EXPECT_EQ(std::string(e.what()), file + " holds no geometry");
    }
  }
  // A NUL byte after the first 4 KiB is only a damaged comment.
  TTempDir dir;
  EXPECT_EQ(LoadText(dir, lateNul)->Faces.Count(), 1);
}

// Special files are refused at once, never read: a FIFO without a writer would block and a
// device would never end.
TEST(ObjReaderTest, OnlyRegularFilesAreRead) {
  TTempDir dir;
  const std::string fifo = (dir.Path() / "pipe.obj").string();
  if (!test::MakeFifo(fifo)) GTEST_SKIP() << "this system has no FIFOs";
  const std::string folder = (dir.Path() / "folder.obj").string();
  std::filesystem::create_directory(folder);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {fifo, fifo + " is not a regular file"},
      {"/dev/zero", "/dev/zero is not a regular file"},
      {folder, folder + " is a folder"},
  };
  for (const auto& [file, message] : cases) {
    SCOPED_TRACE(file);
    TObjData mesh;
    try {
      LoadFromObj(mesh, file);
      ADD_FAILURE() << "read";
    } catch (const EObjRead& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    TRecordList<TBaseVertex> positions;
    EXPECT_THROW(ReadTargetGeometry(file, positions), EObjRead);
  }
}

// Every message is printable UTF-8 and names the file once, whatever bytes the file and its
// name hold.
TEST(ObjReaderTest, MessagesNameTheFileOnceAndEscapeItsBytes) {
  struct TCase {
    const char* Name;
    std::string FileName;
    std::string Text;
    const char* Message;  // after the file name
  };
  const std::vector<TCase> cases = {
      {"broken UTF-8 in a number", "a.obj", "v 1\xC3\x28 0 0\n",
       ", line 1: vertex: \"1\\xC3(\" is not a number"},
      {"bytes of another format", "b.obj", "\x8B\x08\x01\nv \x9C\xFF 0 0\n",
       ", line 2: vertex: \"\\x9C\\xFF\" is not a number"},
      {"control characters", "c.obj", "v 1\x1B[2J 0 0\n",
       ", line 1: vertex: \"1\\x1B[2J\" is not a number"},
      {"valid UTF-8 stays", "d.obj", std::string(kTriangle) + "f 1 2 \xC3\xA9\n",
       ", line 4: face corner \"\xC3\xA9\": the vertex number is not a whole number"},
      {"name with a broken byte", "e\xFF.obj", "", " holds no geometry"},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    TTempDir dir;
    const std::string file = dir.Write(tc.FileName, tc.Text);
    TObjData m;
    try {
      LoadFromObj(m, file);
      ADD_FAILURE() << "loaded";
    } catch (const EObjRead& e) {
      EXPECT_EQ(std::string(e.what()), PrintableText(file) + tc.Message);
      EXPECT_EQ(PrintableText(e.what()), e.what());
    }
  }
}

// A tab separates like a blank, and a UTF-8 byte order mark is no part of the first line.
TEST(ObjReaderTest, TabsAreBlanksAndAByteOrderMarkIsSkipped) {
  TTempDir dir;
  const auto plain = LoadBytes(dir.Write("plain.obj", kSmallMesh));
  auto replaced = [](std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
      text.replace(at, from.size(), to);
    return text;
  };
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"tab after every keyword", replaced(replaced(kSmallMesh, "v ", "v\t"), "f ", "f\t")},
      {"tab after g, usemtl and s",
       replaced(replaced(replaced(kSmallMesh, "g ", "g\t"), "usemtl ", "usemtl\t"), "s 1", "s\t1")},
      {"tabs between numbers and corners", replaced(kSmallMesh, " ", "\t")},
      {"byte order mark", "\xEF\xBB\xBF" + std::string(kSmallMesh)},
      {"mark and tabs", "\xEF\xBB\xBF" + replaced(kSmallMesh, " ", " \t ")},
  };
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(LoadBytes(dir.Write("variant.obj", text)), plain);
  }
}

// Groups, materials and smoothing groups are found by name however many there are; names
// that differ only in ASCII letter case are one, other bytes make names differ.
TEST(ObjReaderTest, ManyNamesAreFoundAgainIgnoringAsciiCase) {
  std::string text = kTriangle;
  for (int i = 0; i < 3000; ++i)
    text += "g G" + std::to_string(i) + "\nusemtl M" + std::to_string(i % 7) + "\nf 1 2 3\n";
  for (int i = 0; i < 3000; i += 3) text += "g g" + std::to_string(i) + "\nf 1 2 3\n";
  text += "g \xC4x\nf 1 2 3\ng \xE4x\nf 1 2 3\ng DEFAULT\nf 1 2 3\n";
  TTempDir dir;
  const auto m = LoadText(dir, text);
  ASSERT_EQ(m->Groups.Count(), 1 + 3000 + 2);
  EXPECT_EQ(m->Materials.Count(), 1 + 7);
  EXPECT_EQ(m->Groups[1 + 300]->Faces.size(), 2u);  // G300 and g300
  EXPECT_EQ(m->Groups[1 + 301]->Faces.size(), 1u);
  EXPECT_EQ(m->Groups[0]->Faces.size(), 1u);            // DEFAULT is default
  EXPECT_EQ(m->Groups[1 + 300]->GroupMats.Count(), 2);  // M6, then M3 of the last usemtl
  ExpectLoadedInvariants(*m);
}

// ---------------------------------------------------------------------------------------------
// Failures

TEST(ObjReaderTest, BrokenFilesFailWithFileLineAndReason) {
  struct TCase {
    const char* Name;
    std::string Text;
    long Line;
    const char* InReason;  // text the reason must contain
  };
  const std::string nine =
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv 1 1 0\nv 1 0 1\nv 0 1 1\nv 1 1 1\nv 2 2 2\n";
  const std::vector<TCase> cases = {
      {"vertex 10 of 9", nine + "# faces\n\nf 1 2 10\n", 12, "10"},
      {"nan", "v 0 0 0\nv 1 nan 0\n", 2, "nan"},
      {"inf", "v inf 0 0\n", 1, "inf"},
      {"negative infinity", "v -infinity 0 0\n", 1, "infinity"},
      {"trailing letters", "v 1.0abc 0 0\n", 1, "1.0abc"},
      {"comma decimal", "v 1,5 0 0\n", 1, "1,5"},
      {"overflow", "v 1e400 0 0\n", 1, "1e400"},
      {"double sign", "v --1 0 0\n", 1, "--1"},
      {"two numbers for a vertex", "v 1 2\n", 1, "vertex"},
      {"one number for a texture", "vt 0.5\n", 1, "texture"},
      {"normal not a number", "vn 0 0 x\n", 1, "\"x\""},
      {"two corners", std::string(kTriangle) + "f 1 2\n", 4, "three"},
      {"one corner", std::string(kTriangle) + "f 1\n", 4, "three"},
      {"relative numbers", std::string(kTriangle) + "f -1 -2 -3\n", 4, "relative"},
      {"vertex 0", std::string(kTriangle) + "f 0 1 2\n", 4, "vertex 0"},
      {"texture not read", std::string(kTriangle) + "vt 0 0\nf 1/2 2/1 3/1\n", 5, "texture"},
      {"normal not read", std::string(kTriangle) + "vn 0 0 1\nf 1//1 2//2 3//1\n", 5, "normal"},
      {"negative texture", std::string(kTriangle) + "vt 0 0\nf 1/-1 2/1 3/1\n", 5, "texture"},
      {"letters in a corner", std::string(kTriangle) + "f 1 2 a\n", 4, "\"a\""},
      {"beyond 1e9", "v 0 1000000000.5 0\n", 1, "out of range"},
      {"1e100", "v 1e100 0 0\n", 1, "out of range"},
      {"negative beyond 1e9", "v 0 0 -2e9\n", 1, "out of range"},
      {"texture beyond 1e9", "vt 0 1e10\n", 1, "out of range"},
      {"corner with four parts", std::string(kTriangle) + "f 1/1/1/1 2 3\n", 4, "corner"},
      {"index beyond int32", std::string(kTriangle) + "f 1 2 2147483648\n", 4, "corner"},
      {"vertex line after a face", std::string(kTriangle) + "f 1 2 3\nf 1 2 4\nv 0 0 2\n", 5,
       "vertex 4"},
      {"crlf line count", "v 0 0 0\r\n\r\nv 1 x 0\r\n", 3, "\"x\""},
      {"cr line count", "v 0 0 0\r\rv 1 x 0\r", 3, "\"x\""},
  };
  for (const TCase& tc : cases) {
    SCOPED_TRACE(tc.Name);
    TTempDir dir;
    const std::string file = dir.Write("broken.obj", tc.Text);
    TObjData m;
    try {
      LoadFromObj(m, file);
      ADD_FAILURE() << "loaded without an error";
    } catch (const EObjRead& e) {
      EXPECT_EQ(e.File(), file);
      EXPECT_EQ(e.Line(), tc.Line);
      EXPECT_NE(e.Reason().find(tc.InReason), std::string::npos) << e.Reason();
      const std::string what = e.what();
      EXPECT_NE(what.find(file), std::string::npos) << what;
      EXPECT_NE(what.find("line " + std::to_string(tc.Line)), std::string::npos) << what;
    }
  }
}

TEST(ObjReaderTest, AcceptedNumberForms) {
  TTempDir dir;
  const auto m = LoadText(
      dir, "v +1 -0.5 .25\nv 1. 1e2 -1E-2\nv 0001 2.50000000000000000000001 1e-400\nf 1 2 3\n");
  ASSERT_EQ(m->Vertices.Count(), 3);
  EXPECT_EQ(m->Vertices[0].X, 1.0);
  EXPECT_EQ(m->Vertices[0].Z, 0.25);
  EXPECT_EQ(m->Vertices[1].X, 1.0);
  EXPECT_EQ(m->Vertices[1].Y, 100.0);
  EXPECT_EQ(m->Vertices[1].Z, -0.01);
  EXPECT_EQ(m->Vertices[2].X, 1.0);
  EXPECT_EQ(m->Vertices[2].Y, 2.5);
  EXPECT_EQ(m->Vertices[2].Z, 0.0);  // too close to zero for a double
}

// ---------------------------------------------------------------------------------------------
// Line ends, chunks, progress

std::string WithLineEnds(const std::string& lfText, const std::string& eol) {
  std::string out;
  for (char c : lfText) {
    if (c == '\n')
      out += eol;
    else
      out += c;
  }
  return out;
}

TEST(ObjReaderTest, LineEndsDoNotMatter) {
  TTempDir dir;
  const auto lf = LoadBytes(dir.Write("lf.obj", kSmallMesh));
  EXPECT_EQ(LoadBytes(dir.Write("crlf.obj", WithLineEnds(kSmallMesh, "\r\n"))), lf);
  EXPECT_EQ(LoadBytes(dir.Write("cr.obj", WithLineEnds(kSmallMesh, "\r"))), lf);
  std::string noFinalEnd = kSmallMesh;
  noFinalEnd.pop_back();
  EXPECT_EQ(LoadBytes(dir.Write("last.obj", noFinalEnd)), lf);
  EXPECT_EQ(LoadBytes(dir.Write("blanks.obj", WithLineEnds(kSmallMesh, " \t\r\n"))), lf);
  // The mesh really is there: guards against comparing two empty meshes.
  const auto m = LoadText(dir, WithLineEnds(kSmallMesh, "\r"));
  EXPECT_EQ(m->Faces.Count(), 3);
  EXPECT_EQ(m->Vertices.Count(), 5);
}

TEST(ObjReaderTest, TinyChunksGiveTheSameMesh) {
  TTempDir dir;
  std::string longName(300, 'n');
  const std::string smallLong = std::string(kSmallMesh) + "g " + longName + "\nf 1 2 3\n";
  struct TFile {
    const char* Name;
    std::string Path;
  };
  const std::vector<TFile> files = {
      {"sample", kSample},
      {"lf", dir.Write("lf.obj", smallLong)},
      {"crlf", dir.Write("crlf.obj", WithLineEnds(smallLong, "\r\n"))},
      {"cr", dir.Write("cr.obj", WithLineEnds(smallLong, "\r"))},
  };
  for (const TFile& f : files) {
    const auto whole = LoadBytes(f.Path);
    for (std::size_t chunk : {16, 17, 18, 31, 64, 100, 1000, 4096}) {
      SCOPED_TRACE(std::string(f.Name) + ", chunk " + std::to_string(chunk));
      TObjReadOptions options;
      options.ChunkSize = chunk;
      EXPECT_EQ(LoadBytes(f.Path, options), whole);
    }
  }
  // The CR-only file read in chunks is also the LF file.
  TObjReadOptions options;
  options.ChunkSize = 16;
  EXPECT_EQ(LoadBytes(files[3].Path, options), LoadBytes(files[1].Path));
}

class TFakeProgress : public IProgress {
 public:
  void SetRange(int minimum, int maximum) override {
    ++RangeCalls;
    Min = minimum;
    Max = maximum;
  }
  void SetPosition(int position) override {
    EXPECT_GE(RangeCalls, 1) << "position before range";
    EXPECT_GE(position, Min);
    EXPECT_LE(position, Max);
    Positions.push_back(position);
  }
  int RangeCalls = 0;
  int Min = 0, Max = -1;
  std::vector<int> Positions;
};

TEST(ObjReaderTest, ProgressStaysInRangeAndEndsAtZero) {
  for (std::size_t chunk : {std::size_t{64}, std::size_t{4096}, TObjReadOptions{}.ChunkSize}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    TFakeProgress progress;
    TObjReadOptions options;
    options.ChunkSize = chunk;
    options.Progress = &progress;
    TObjData m;
    LoadFromObj(m, kSample, options);
    ASSERT_GE(progress.RangeCalls, 1);
    EXPECT_EQ(progress.Min, 0);
    ASSERT_GE(progress.Positions.size(), 2u);
    EXPECT_EQ(progress.Positions.back(), 0);
    EXPECT_TRUE(std::is_sorted(progress.Positions.begin(), progress.Positions.end() - 1));
    EXPECT_GT(*std::max_element(progress.Positions.begin(), progress.Positions.end()), 0)
        << "the bar never advanced";
  }
  TTempDir dir;
  TFakeProgress progress;
  TObjReadOptions options;
  options.Progress = &progress;
  // A file refused part way leaves the bar at 0 too.
  TObjData empty;
  EXPECT_THROW(LoadFromObj(empty, dir.Write("empty.obj", ""), options), EObjRead);
  ASSERT_FALSE(progress.Positions.empty());
  EXPECT_EQ(progress.Positions.back(), 0);
}

// ---------------------------------------------------------------------------------------------
// After loading

TEST(ObjReaderTest, GroupBoxesAndCentres) {
  TTempDir dir;
  const auto m = LoadText(dir,
                          "v -1 0 2\nv 3 4 -2\nv 1 1 1\nv 10 10 10\nv 0.5 0.5 0.5\n"
                          "g a\nf 1 2 3\ng b\nf 4 5 3\n");
  const TGroup& a = *m->Groups[1];
  EXPECT_EQ(a.BoxMin.X, -1.0);
  EXPECT_EQ(a.BoxMin.Y, 0.0);
  EXPECT_EQ(a.BoxMin.Z, -2.0);
  EXPECT_EQ(a.BoxMax.X, 3.0);
  EXPECT_EQ(a.BoxMax.Y, 4.0);
  EXPECT_EQ(a.BoxMax.Z, 2.0);
  EXPECT_EQ(a.Centre.X, 1.0);
  EXPECT_EQ(a.Centre.Y, 2.0);
  EXPECT_EQ(a.Centre.Z, 0.0);
  const TGroup& b = *m->Groups[2];
  EXPECT_EQ(b.BoxMin.X, 0.5);
  EXPECT_EQ(b.BoxMax.X, 10.0);
  EXPECT_EQ(b.Centre.X, 5.25);
  // The default group has no vertices.
  const TGroup& d = *m->Groups[0];
  EXPECT_EQ(d.BoxMin.X, static_cast<double>(1e20f));
  EXPECT_EQ(d.BoxMax.Z, -static_cast<double>(1e20f));
  EXPECT_EQ(d.Centre.X, 0.0);
  EXPECT_EQ(d.Centre.Y, 0.0);
}

TEST(ObjReaderTest, SampleFigureSatisfiesTheInvariants) {
  TObjData m;
  LoadFromObj(m, kSample);
  ASSERT_GT(m.Faces.Count(), 0);
  ExpectLoadedInvariants(m);
  // Every vertex, texture and face line of the file made its record.
  long v = 0, vt = 0, f = 0;
  std::istringstream in(ReadFile(kSample));
  std::string line;
  while (std::getline(in, line)) {
    v += line.starts_with("v ");
    vt += line.starts_with("vt ");
    f += line.starts_with("f ");
  }
  EXPECT_EQ(m.Vertices.Count(), v);
  EXPECT_EQ(m.TexVerts.Count(), vt);
  EXPECT_EQ(m.Faces.Count(), f);
}

}  // namespace
}  // namespace tarvel
