#include "FigureGenerator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "TestSupport.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"

namespace tarvel::samples {
namespace {

using test::TTempDir;

const std::string kSample = std::string(TARVEL_SAMPLES_DIR) + "/figure.obj";

std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

const std::vector<std::string> kBodyParts = {"hip",     "abdomen",  "chest",    "neck",   "head",
                                             "lCollar", "lShldr",   "lForeArm", "lHand",  "rCollar",
                                             "rShldr",  "rForeArm", "rHand",    "lThigh", "lShin",
                                             "lFoot",   "rThigh",   "rShin",    "rFoot"};

class FigureGeneratorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    mesh_ = new TObjData;
    LoadFromObj(*mesh_, kSample);
  }
  static void TearDownTestSuite() {
    delete mesh_;
    mesh_ = nullptr;
  }
  static TObjData* mesh_;
};
TObjData* FigureGeneratorTest::mesh_ = nullptr;

TEST_F(FigureGeneratorTest, CommittedSampleIsTheGeneratedFigure) {
  const std::string committed = ReadFile(kSample);
  ASSERT_FALSE(committed.empty());
  const std::string generated = GenerateFigure(SampleShape());
  EXPECT_EQ(committed.size(), generated.size());
  EXPECT_TRUE(committed == generated) << "samples/figure.obj is out of date";
}

TEST_F(FigureGeneratorTest, EveryLineEndsWithCrLf) {
  const std::string text = GenerateFigure(SampleShape());
  ASSERT_GE(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  std::size_t lf = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++lf;
      ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
    } else if (text[i] == '\r') {
      ASSERT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare CR at " << i;
    }
  }
  EXPECT_GT(lf, 1000u);
}

TEST_F(FigureGeneratorTest, SampleHasThePoserBodyParts) {
  std::vector<std::string> names;
  mesh_->Groups.ForEach([&](const TGroup& g) { names.push_back(g.Name); });
  std::vector<std::string> expected = {"default"};
  expected.insert(expected.end(), kBodyParts.begin(), kBodyParts.end());
  EXPECT_EQ(names, expected);
  EXPECT_TRUE(mesh_->Groups[0]->Faces.empty());
  for (const std::string& part : kBodyParts) {
    const TGroup* g = mesh_->GroupByName(part);
    ASSERT_NE(g, nullptr) << part;
    EXPECT_GT(g->Faces.size(), 0u) << part;
  }
  EXPECT_GE(mesh_->Materials.Count(), 4);
  // Some groups use more than one material.
  int multi = 0;
  mesh_->Groups.ForEach([&](const TGroup& g) { multi += g.GroupMats.Count() > 1; });
  EXPECT_GT(multi, 0);
}

TEST_F(FigureGeneratorTest, NeighbouringPartsShareTheirSeamRing) {
  const std::vector<std::pair<std::string, std::string>> seams = {
      {"hip", "abdomen"},     {"abdomen", "chest"},   {"chest", "neck"},     {"neck", "head"},
      {"lCollar", "lShldr"},  {"lShldr", "lForeArm"}, {"lForeArm", "lHand"}, {"rCollar", "rShldr"},
      {"rShldr", "rForeArm"}, {"rForeArm", "rHand"},  {"lThigh", "lShin"},   {"lShin", "lFoot"},
      {"rThigh", "rShin"},    {"rShin", "rFoot"}};
  const int ring = SampleShape().Segments;
  for (const auto& [a, b] : seams) {
    std::set<std::int32_t> inA, shared;
    for (const TGroupVertex& e : mesh_->GroupByName(a)->Vertices) inA.insert(e.VertexIndex);
    for (const TGroupVertex& e : mesh_->GroupByName(b)->Vertices)
      if (inA.count(e.VertexIndex)) shared.insert(e.VertexIndex);
    EXPECT_EQ(static_cast<int>(shared.size()), ring) << a << " / " << b;
  }
}

TEST_F(FigureGeneratorTest, EveryVertexHasAnExactMirrorPartner) {
  std::map<std::tuple<double, double, double>, std::int32_t> at;
  for (const TObjVertex& v : mesh_->Vertices) at[{v.X, v.Y, v.Z}] = v.Index;
  int onCentre = 0;
  for (const TObjVertex& v : mesh_->Vertices) {
    const auto it = at.find({v.X == 0 ? 0.0 : -v.X, v.Y, v.Z});
    ASSERT_NE(it, at.end()) << "vertex " << v.Index << " has no mirror partner";
    if (v.X == 0) ++onCentre;
    // Faces on both sides face outwards, so mirrored vertices have mirrored normals.
    const TBaseVertex& n = mesh_->Normals[v.Index];
    const TBaseVertex& m = mesh_->Normals[it->second];
    EXPECT_NEAR(m.X, -n.X, 1e-5) << v.Index;
    EXPECT_NEAR(m.Y, n.Y, 1e-5) << v.Index;
    EXPECT_NEAR(m.Z, n.Z, 1e-5) << v.Index;
  }
  EXPECT_GT(onCentre, 0);
}

TEST_F(FigureGeneratorTest, NormalsPointOutwards) {
  // Each part is a band around an axis: vertical through (x, ., 0) or horizontal through
  // (., y, 0). Its vertices off the axis have normals pointing away from it.
  struct TAxis {
    bool Vertical;
    double At;
  };
  auto axisOf = [](const std::string& part) {
    if (part.size() > 1 && (part[0] == 'l' || part[0] == 'r')) {
      const double side = part[0] == 'l' ? 1 : -1;
      if (part.find("Thigh") != std::string::npos || part.find("Shin") != std::string::npos ||
          part.find("Foot") != std::string::npos)
        return TAxis{true, 0.05 * side};
      return TAxis{false, 0.585};
    }
    return TAxis{true, 0.0};
  };
  for (const std::string& part : kBodyParts) {
    const TAxis axis = axisOf(part);
    int checked = 0;
    for (const TGroupVertex& e : mesh_->GroupByName(part)->Vertices) {
      const TObjVertex& v = mesh_->Vertices[e.VertexIndex];
      const TBaseVertex& n = mesh_->Normals[e.VertexIndex];
      const double da = axis.Vertical ? v.X - axis.At : v.Y - axis.At;
      if (std::hypot(da, v.Z) < 1e-9) continue;  // a cap's pole
      const double outward = axis.Vertical ? da * n.X + v.Z * n.Z : da * n.Y + v.Z * n.Z;
      EXPECT_GT(outward, 0) << part << " vertex " << v.Index;
      ++checked;
    }
    EXPECT_GT(checked, 0) << part;
  }
  // The poles of the caps point away from the figure.
  std::map<std::string, int> poles;  // how many poles were checked
  for (const TObjVertex& v : mesh_->Vertices) {
    const TBaseVertex& n = mesh_->Normals[v.Index];
    if (v.Z != 0 || std::fabs(n.Z) > 1e-6) continue;
    if (v.X == 0 && std::fabs(v.Y - 0.70) < 1e-9) {
      EXPECT_GT(n.Y, 0.99) << "top of the head";
      ++poles["head"];
    }
    if (v.X == 0 && std::fabs(v.Y - 0.33) < 1e-9) {
      EXPECT_LT(n.Y, -0.99) << "bottom of the hip";
      ++poles["hip"];
    }
    if (std::fabs(std::fabs(v.X) - 0.05) < 1e-9 && v.Y == 0) {
      EXPECT_LT(n.Y, -0.99) << "sole, vertex " << v.Index;
      ++poles["soles"];
    }
    if (std::fabs(std::fabs(v.X) - 0.365) < 1e-9 && std::fabs(v.Y - 0.585) < 1e-9) {
      EXPECT_GT(n.X * v.X, 0.99 * 0.365) << "fingertip, vertex " << v.Index;
      ++poles["hands"];
    }
  }
  EXPECT_EQ(poles,
            (std::map<std::string, int>{{"hands", 2}, {"head", 1}, {"hip", 1}, {"soles", 2}}));
}

TEST_F(FigureGeneratorTest, SampleIsAbout07TallWithTextureCoordinates) {
  double lo = 1e9, hi = -1e9;
  for (const TObjVertex& v : mesh_->Vertices) {
    lo = std::min(lo, v.Y);
    hi = std::max(hi, v.Y);
  }
  EXPECT_NEAR(hi - lo, 0.7, 0.05);
  EXPECT_EQ(mesh_->TexVerts.Count(), mesh_->Vertices.Count());
  for (const TBaseVertex& t : mesh_->TexVerts) {
    EXPECT_GE(t.X, 0.0);
    EXPECT_LE(t.X, 1.0);
  }
  for (const TFaceVert& c : mesh_->Faces.AllCorners()) ASSERT_GE(c.TexVertIndex, 0);
}

TEST(FigureShapeTest, VertexCountIsWhatLoads) {
  for (const TFigureShape shape : {SampleShape(), TFigureShape{4, 1}, TFigureShape{8, 2},
                                   TFigureShape{16, 3}, TFigureShape{32, 6}}) {
    SCOPED_TRACE(std::to_string(shape.Segments) + "x" + std::to_string(shape.RingsPerPart));
    TTempDir dir;
    TObjData mesh;
    LoadFromObj(mesh, dir.Write("f.obj", GenerateFigure(shape)));
    EXPECT_EQ(VertexCount(shape), mesh.Vertices.Count());
    EXPECT_EQ(mesh.Groups.Count(), 20);
  }
}

TEST(FigureShapeTest, ShapeForVertexCountReachesTheCount) {
  for (std::int64_t n : {std::int64_t{0}, std::int64_t{1}, std::int64_t{1950}, std::int64_t{5000},
                         std::int64_t{123456}, std::int64_t{1000000}}) {
    const TFigureShape shape = ShapeForVertexCount(n);
    EXPECT_GE(VertexCount(shape), n) << n;
    EXPECT_EQ(shape.Segments % 4, 0) << n;
    EXPECT_GE(shape.RingsPerPart, 1) << n;
  }
  // It does not overshoot wildly.
  EXPECT_LT(VertexCount(ShapeForVertexCount(1000000)), 1200000);
}

TEST(FigureShapeTest, InvalidShapesAreRefused) {
  for (const TFigureShape shape :
       {TFigureShape{6, 3}, TFigureShape{0, 3}, TFigureShape{16, 0}, TFigureShape{-4, 2}})
    EXPECT_THROW(GenerateFigure(shape), std::invalid_argument)
        << shape.Segments << "x" << shape.RingsPerPart;
}

TEST(FigureShapeTest, WriteFigureWritesTheGeneratedText) {
  TTempDir dir;
  const std::string file = (dir.Path() / "small.obj").string();
  const TFigureShape shape{8, 1};
  WriteFigure(shape, file);
  EXPECT_EQ(ReadFile(file), GenerateFigure(shape));
  EXPECT_THROW(WriteFigure(shape, (dir.Path() / "missing" / "x.obj").string()), std::runtime_error);
}

}  // namespace
}  // namespace tarvel::samples
