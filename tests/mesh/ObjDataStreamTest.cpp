// Stream records of the mesh: the byte layout of every record, storing and reading back whole
// meshes, and damaged streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include "TestSupport.h"
#include "mesh/Collection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/ObjectStream.h"

namespace tarvel {
namespace {

using test::Hex;
using test::ToHex;
using TBytesVec = std::vector<std::uint8_t>;

::testing::AssertionResult HasText(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

// Expected record bytes, spelled out field by field, little-endian.
class TBytes {
 public:
  TBytes& U8(std::uint8_t v) {
    b.push_back(v);
    return *this;
  }
  TBytes& U16(std::uint16_t v) { return U8(v & 0xff).U8(static_cast<std::uint8_t>(v >> 8)); }
  TBytes& I32(std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) U8(static_cast<std::uint8_t>(u >> shift));
    return *this;
  }
  TBytes& F32(float v) { return I32(static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(v))); }
  TBytes& F64(double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    for (int shift = 0; shift < 64; shift += 8) U8(static_cast<std::uint8_t>(u >> shift));
    return *this;
  }
  TBytes& Str(std::string_view s) {
    U16(static_cast<std::uint16_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  TBytes& Raw(const std::string& hex) {
    const auto bytes = Hex(hex);
    b.insert(b.end(), bytes.begin(), bytes.end());
    return *this;
  }
  // A collection: type id 150, count, capacity, Delta 16.
  TBytes& List(std::int32_t count, std::int32_t capacity) {
    return U16(150).I32(count).I32(capacity).U16(16);
  }
  // A nested TBaseVertex object.
  TBytes& Point(double x, double y, double z, std::int32_t index) {
    return U16(1000).F64(x).F64(y).F64(z).I32(index);
  }
  TBytes& Colour(float r, float g, float bl, float a) { return F32(r).F32(g).F32(bl).F32(a); }
  TBytesVec b;
};

TBytesVec Stored(const TStreamableObject& obj) {
  TObjectStream s;
  s.Put(obj);
  return s.Bytes();
}

// The EObjectStream message reading a mesh from these bytes raises, or "" when it loads.
// Any other exception is a failure of the test.
std::string MeshLoadError(const TBytesVec& bytes, std::unique_ptr<TObjData>* loaded = nullptr) {
  try {
    TObjectStream s(bytes);
    auto mesh = s.GetAs<TObjData>();
    if (loaded) *loaded = std::move(mesh);
    return "";
  } catch (const EObjectStream& e) {
    return e.what();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "not an EObjectStream: " << typeid(e).name() << ": " << e.what();
    return e.what();
  }
}

// Point hex: (1.0, -2.0, 0.5) with index 7, after the type id 1000.
const std::string kPointBody =
    "00 00 00 00 00 00 f0 3f 00 00 00 00 00 00 00 c0 00 00 00 00 00 00 e0 3f 07 00 00 00";
const std::string kPoint = "e8 03 " + kPointBody;

TBaseVertex SamplePoint() {
  TBaseVertex p;
  p.X = 1.0;
  p.Y = -2.0;
  p.Z = 0.5;
  p.Index = 7;
  return p;
}

template <class T>
std::unique_ptr<TStreamableObject> Boxed(const T& value) {
  auto box = std::make_unique<TRecordBox<T>>();
  box->Value = value;
  return box;
}

// ---------------------------------------------------------------------------------------------
// Record layouts

struct RecordCase {
  const char* Name;
  std::function<std::unique_ptr<TStreamableObject>()> Make;
  std::string Bytes;
};

TEST(ObjDataStreamTest, RecordLayouts) {
  const RecordCase cases[] = {
      {"TBaseVertex", [] { return Boxed(SamplePoint()); }, kPoint},
      {"TObjVertex",
       [] {
         TObjVertex v;
         v.X = 0.5;
         v.Y = 1.0;
         v.Z = -2.0;
         v.Index = 4;
         v.Id = 9;
         v.Selected = true;
         v.Shown = false;
         v.MirrorIndex = -10;
         v.SideCode = 2;
         v.Colour = {1.0f, 0.5f, 0.25f, 0.75f};
         v.SoftWeight = 0.5f;
         // Working flags are not stored.
         v.XLocked = true;
         v.Editable = false;
         v.Anchor = v.Highlight = v.Visited = true;
         return Boxed(v);
       },
       "ed 03 00 00 00 00 00 00 e0 3f 00 00 00 00 00 00 f0 3f 00 00 00 00 00 00 00 c0"
       " 04 00 00 00 09 00 00 00 01 00 f6 ff ff ff 02"
       " 00 00 80 3f 00 00 00 3f 00 00 80 3e 00 00 40 3f 00 00 00 3f"},
      {"TFaceVert",
       [] {
         TFaceVertRecord c;
         c.VertexIndex = 5;
         c.GroupVertexIndex = 2;
         c.TexVertIndex = -1;
         c.NormalIndex = 5;
         return Boxed(c);
       },
       "ee 03 05 00 00 00 02 00 00 00 ff ff ff ff 05 00 00 00"},
      {"TObjFace with its corners",
       [] {
         auto f = std::make_unique<TObjFaceRecord>();
         f->Face.Id = 3;
         f->Face.GroupIndex = 1;
         f->Face.MaterialIndex = 2;
         f->Face.SmoothIndex = 0;
         f->Face.Shown = false;
         f->Face.Selected = true;  // not stored
         f->Face.CornerCount = 3;
         f->Corners = {{0, 0, -1, 2}, {1, 2, 5, -1}, {2, 1, -1, -1}};
         return f;
       },
       "ef 03 96 00 03 00 00 00 03 00 00 00 10 00"
       " ee 03 00 00 00 00 00 00 00 00 ff ff ff ff 02 00 00 00"
       " ee 03 01 00 00 00 02 00 00 00 05 00 00 00 ff ff ff ff"
       " ee 03 02 00 00 00 01 00 00 00 ff ff ff ff ff ff ff ff"
       " 03 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 00"},
      {"TBaseGroup",
       [] {
         auto g = std::make_unique<TBaseGroup>(nullptr);
         g->Name = "hip";
         g->ColorValue = RGBValue(255, 0, 128);
         g->Visible = false;
         g->ColorVector = {1.0f, 0.0f, 0.5f, 1.0f};
         return g;
       },
       "e9 03 03 00 68 69 70 ff 00 80 00 00 00 00 80 3f 00 00 00 00 00 00 00 3f 00 00 80 3f"},
      {"TSmooth",
       [] {
         auto g = std::make_unique<TSmooth>(nullptr);
         g->Name = "";
         g->ColorValue = RGBValue(1, 2, 3);
         g->Visible = true;
         g->ColorVector = {0.25f, 0.5f, 0.75f, 1.0f};
         return g;
       },
       "f2 03 00 00 01 02 03 00 01 00 00 80 3e 00 00 00 3f 00 00 40 3f 00 00 80 3f"},
      {"TMaterial",
       [] {
         auto g = std::make_unique<TMaterial>(nullptr);
         g->Name = "skin";
         g->ColorValue = kWhite;
         g->Visible = true;
         g->ColorVector = {1.0f, 1.0f, 1.0f, 1.0f};
         g->Id = 42;
         return g;
       },
       "f1 03 04 00 73 6b 69 6e ff ff ff 00 01 00 00 80 3f 00 00 80 3f 00 00 80 3f 00 00 80 3f"
       " 2a 00 00 00"},
      {"TGroupVertex",
       [] {
         TGroupVertex e;
         e.Shaped = SamplePoint();
         e.VertexIndex = 12;
         return Boxed(e);
       },
       "eb 03 " + kPoint + " 0c 00 00 00"},
      {"TGroupVertex without a vertex",
       [] {
         TGroupVertex e;
         e.Shaped = SamplePoint();
         return Boxed(e);
       },
       "eb 03 " + kPoint + " ff ff ff ff"},
      {"TGroupMatInfo",
       [] {
         auto e = std::make_unique<TGroupMatInfo>();
         e->MaterialIndex = 2;
         e->Visible = false;
         e->Id = 123456;
         e->MaterialId = 7;
         return e;
       },
       "f4 03 02 00 00 00 00 40 e2 01 00 07 00 00 00"},
      {"TGroupVertList",
       [] {
         auto list = std::make_unique<TGroupVertList>();
         TGroupVertex e;
         e.Shaped = SamplePoint();
         e.VertexIndex = 3;
         list->List.Add(e);
         e.VertexIndex = 8;
         list->List.Add(e);
         list->Duplicates = false;
         list->AppendOnly = true;
         return list;
       },
       "01 04 02 00 00 00 64 00 00 00 10 00 eb 03 " + kPoint + " 03 00 00 00 eb 03 " + kPoint +
           " 08 00 00 00 00 01"},
      {"TMorphTarget",
       [] {
         auto m = std::make_unique<TMorphTarget>(nullptr);
         m->Name = "smile";
         TBaseVertex p = SamplePoint();
         m->Positions.Add(p);
         p.Index = 1;
         p.X = 2.0;
         m->Positions.Add(p);
         m->Value = 0.5f;
         m->Id = 77;
         return m;
       },
       ToHex(TBytes()
                 .U16(1002)
                 .I32(0)
                 .Str("smile")
                 .List(2, 100)
                 .Raw(kPoint)
                 .Point(2.0, -2.0, 0.5, 1)
                 .Raw("00 00 00 3f 4d 00 00 00")              // value 0.5, id 77
                 .Raw("00 40 1c 46 00 40 1c c6 48 50 fc 3b")  // the default ranges and step
                 .b)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto original = c.Make();
    const TBytesVec bytes = Stored(*original);
    EXPECT_EQ(ToHex(bytes), ToHex(Hex(c.Bytes)));
    // Read back, it is the same class and stores the same bytes again.
    TObjectStream r(bytes);
    const auto back = r.Get();
    EXPECT_EQ(r.BytesLeft(), 0);
    const auto& backObject = *back;  // (a dereference inside typeid() makes clang warn)
    const auto& originalObject = *original;
    EXPECT_EQ(typeid(backObject), typeid(originalObject));
    EXPECT_EQ(ToHex(Stored(*back)), ToHex(bytes));
  }
}

TEST(ObjDataStreamTest, ReadingResetsTheWorkingFlagsOfVerticesAndFaces) {
  TObjVertex v;
  v.XLocked = true;
  v.Editable = false;
  v.Anchor = v.Highlight = v.Visited = true;
  TBaseVertex other;
  v.ShapedLink = &other;
  TObjectStream s;
  s.Put(*Boxed(v));
  s.Seek(0);
  const auto back = s.GetAs<TRecordBox<TObjVertex>>();
  EXPECT_FALSE(back->Value.XLocked);
  EXPECT_TRUE(back->Value.Editable);
  EXPECT_FALSE(back->Value.Anchor || back->Value.Highlight || back->Value.Visited);
  EXPECT_EQ(back->Value.ShapedLink, nullptr);

  TObjFaceRecord f;
  f.Face.Selected = true;
  f.Face.GroupUnlocked = f.Face.RightUnlocked = f.Face.LeftUnlocked = false;
  f.Face.Visited = true;
  f.Face.CornerCount = 3;
  f.Corners.resize(3);
  TObjectStream fs;
  fs.Put(f);
  fs.Seek(0);
  auto face = fs.GetAs<TObjFaceRecord>();
  EXPECT_FALSE(face->Face.Selected);
  EXPECT_TRUE(face->Face.GroupUnlocked && face->Face.RightUnlocked && face->Face.LeftUnlocked);
  EXPECT_FALSE(face->Face.Visited);
  EXPECT_EQ(face->Corners.size(), 3u);
}

// A group with one vertex entry, one morph target and one material entry.
std::unique_ptr<TGroup> SampleGroup() {
  auto g = std::make_unique<TGroup>(nullptr);
  g->Name = "hip";
  g->SetColor(RGBValue(1, 2, 3));
  g->ColorVector = {0.25f, 0.5f, 0.75f, 1.0f};
  g->Id = 4;
  g->Unlocked = false;  // not stored
  g->Tracking = true;   // not stored
  TGroupVertex e;
  e.Shaped = SamplePoint();
  e.VertexIndex = 3;
  g->Vertices.List.Add(e);
  auto m = std::make_unique<TMorphTarget>(g.get());
  m->Name = "smile";
  m->Positions.Add(SamplePoint());
  m->Value = 0.5f;
  m->Id = 77;
  m->RangeMax = 1.0f;
  m->RangeMin = -1.0f;
  m->RangeStep = 0.25f;
  g->MorphTargets.Add(std::move(m));
  auto entry = std::make_unique<TGroupMatInfo>();
  entry->MaterialIndex = 1;
  entry->Id = 5;
  entry->MaterialId = 6;
  g->GroupMats.Add(std::move(entry));
  g->Centre.X = 0.5;
  g->Centre.Y = 1.0;
  g->Centre.Z = -2.0;
  g->BoxMin.X = -1.0;
  g->BoxMax.X = 2.0;
  return g;
}

TEST(ObjDataStreamTest, GroupLayout) {
  const auto g = SampleGroup();
  const TBytes expected = TBytes()
                              .U16(1004)
                              .Str("hip")
                              .Raw("01 02 03 00 01")
                              .Colour(0.25f, 0.5f, 0.75f, 1.0f)
                              .I32(0)  // reserved
                              .I32(4)
                              // morph targets
                              .List(1, 4)
                              .U16(1002)
                              .I32(0)
                              .Str("smile")
                              .List(1, 100)
                              .Raw(kPoint)
                              .F32(0.5f)
                              .I32(77)
                              .F32(1.0f)
                              .F32(-1.0f)
                              .F32(0.25f)
                              // vertices
                              .U16(1025)
                              .I32(1)
                              .I32(100)
                              .U16(16)
                              .U16(1003)
                              .Raw(kPoint)
                              .I32(3)
                              .U8(0)
                              .U8(0)
                              // centre
                              .Point(0.5, 1.0, -2.0, -1)
                              // material entries
                              .List(1, 5)
                              .Raw("f4 03 01 00 00 00 01 05 00 00 00 06 00 00 00")
                              // box
                              .Point(-1.0, 0, 0, -1)
                              .Point(2.0, 0, 0, -1);
  const TBytesVec bytes = Stored(*g);
  EXPECT_EQ(ToHex(bytes), ToHex(expected.b));

  TObjectStream r(bytes);
  auto back = r.GetAs<TGroup>();
  EXPECT_EQ(back->Name, "hip");
  EXPECT_TRUE(back->Unlocked);
  EXPECT_FALSE(back->Tracking);
  EXPECT_TRUE(back->Faces.empty());
  EXPECT_EQ(back->Owner, nullptr);
  ASSERT_EQ(back->MorphTargets.Count(), 1);
  EXPECT_EQ(back->MorphTargets[0]->Group, back.get());
  ASSERT_EQ(back->GroupMats.Count(), 1);
  EXPECT_EQ(back->GroupMats[0]->Group, back.get());
  EXPECT_EQ(back->MorphTargets.Capacity(), 4);
  EXPECT_EQ(back->GroupMats.Capacity(), 5);
  EXPECT_EQ(ToHex(Stored(*back)), ToHex(bytes));
}

TEST(ObjDataStreamTest, MorphTargetMustMatchTheGroupsVertices) {
  auto g = SampleGroup();
  static_cast<TMorphTarget*>(g->MorphTargets.At(0))->Positions.Add(SamplePoint());
  TObjectStream r(Stored(*g));
  try {
    r.Get();
    ADD_FAILURE() << "a morph target with too many positions was read";
  } catch (const EObjectStream& e) {
    EXPECT_TRUE(HasText(e.what(), "byte offset"));
  }
}

// ---------------------------------------------------------------------------------------------
// The mesh record

// The empty mesh: its header, seven empty lists of capacity 100, and the three trailing bytes.
std::string EmptyMeshHex(const char* colourMode1, const char* tail) {
  std::string hex = "f3 03 00 00 00 00 06 00 4e 6f 4e 61 6d 65 00 00 ff ff ff ff 01 ";
  hex += colourMode1;
  for (int i = 0; i < 7; ++i) hex += " 96 00 00 00 00 00 64 00 00 00 10 00";
  hex += " ";
  hex += tail;
  return hex;
}

TEST(ObjDataStreamTest, EmptyMeshWritesColourModeTwice) {
  TObjData mesh;
  EXPECT_EQ(ToHex(Stored(mesh)), ToHex(Hex(EmptyMeshHex("01", "01 01 01"))));
  mesh.ColourMode = 3;
  mesh.TrackingMode = 2;
  mesh.DisplayMode = 0;
  EXPECT_EQ(ToHex(Stored(mesh)), ToHex(Hex(EmptyMeshHex("03", "02 03 00"))));

  // The second copy is the one that counts.
  std::unique_ptr<TObjData> back;
  ASSERT_EQ(MeshLoadError(Hex(EmptyMeshHex("02", "02 03 00")), &back), "");
  EXPECT_EQ(back->ColourMode, 3);
  EXPECT_EQ(back->TrackingMode, 2);
  EXPECT_EQ(back->DisplayMode, 0);
  EXPECT_EQ(back->Name, "NoName");
  EXPECT_EQ(back->Id, -1);
}

// One triangle in group "tri", with an empty "default" group first.
std::unique_ptr<TObjData> MakeTriangleMesh() {
  auto m = std::make_unique<TObjData>();
  m->Name = "tri";
  m->FileName = "/x/tri.obj";
  m->Id = 42;
  m->ColourMode = 3;
  m->TrackingMode = 2;
  m->DisplayMode = 0;
  const double xyz[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}};
  for (int i = 0; i < 3; ++i) {
    TObjVertex v;
    v.X = xyz[i][0];
    v.Y = xyz[i][1];
    v.Z = xyz[i][2];
    v.Index = v.Id = i;
    m->Vertices.Add(v);
  }
  TBaseVertex t;
  t.X = 0.5;
  t.Y = 0.25;
  m->TexVerts.Add(t);
  auto def = std::make_unique<TGroup>(m.get());
  def->Name = "default";
  m->Groups.Add(std::move(def));
  auto tri = std::make_unique<TGroup>(m.get());
  tri->Name = "tri";
  tri->Id = 0;
  for (const TObjVertex& v : m->Vertices) tri->AddVertex(v);
  auto entry = std::make_unique<TGroupMatInfo>();
  entry->MaterialIndex = 0;
  entry->Id = 5;
  tri->GroupMats.Add(std::move(entry));
  tri->Centre.X = 99;  // stale; writing refreshes it
  tri->Faces.push_back(0);
  m->Groups.Add(std::move(tri));
  auto mat = std::make_unique<TMaterial>(m.get());
  mat->Name = "default";
  m->Materials.Add(std::move(mat));
  auto smooth = std::make_unique<TSmooth>(m.get());
  smooth->Name = "default";
  m->Smooths.Add(std::move(smooth));
  TObjFace f;
  f.Id = 0;
  f.GroupIndex = 1;
  f.MaterialIndex = 0;
  f.SmoothIndex = 0;
  const TFaceVertRecord corners[3] = {{0, 0, 0, -1}, {1, 1, -1, -1}, {2, 2, -1, -1}};
  m->Faces.Add(f, corners);
  return m;
}

TBytes& WhiteGroupHead(TBytes& b, std::uint16_t id, const char* name) {
  return b.U16(id).Str(name).Raw("ff ff ff 00 01").Colour(1, 1, 1, 1);
}

TEST(ObjDataStreamTest, MeshLayout) {
  const auto mesh = MakeTriangleMesh();
  const double big = static_cast<double>(1e20f);
  TBytes x;
  x.U16(1011).I32(0).Str("tri").Str("/x/tri.obj").I32(42).U8(1).U8(3);
  // vertices
  x.List(3, 100);
  const double xyz[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 2, 0}};
  for (int i = 0; i < 3; ++i)
    x.U16(1005)
        .F64(xyz[i][0])
        .F64(xyz[i][1])
        .F64(xyz[i][2])
        .I32(i)                       // index
        .I32(i)                       // id
        .Raw("00 00 ff ff ff ff 03")  // not selected, not shown, no mirror, side unknown
        .Colour(1, 1, 1, 1)
        .F32(0);
  // texture coordinates, normals
  x.List(1, 100).Point(0.5, 0.25, 0, -1);
  x.List(0, 100);
  // faces
  x.List(1, 100).U16(1007).List(3, 3);
  x.Raw("ee 03 00 00 00 00 00 00 00 00 00 00 00 00 ff ff ff ff");
  x.Raw("ee 03 01 00 00 00 01 00 00 00 ff ff ff ff ff ff ff ff");
  x.Raw("ee 03 02 00 00 00 02 00 00 00 ff ff ff ff ff ff ff ff");
  x.I32(0).I32(1).I32(0).I32(0).U8(1);
  // groups: "default" has no vertices, so its box stays at +-1e20 and its centre is 0
  x.List(2, 100);
  WhiteGroupHead(x, 1004, "default").I32(0).I32(-1);
  x.List(0, 4).U16(1025).I32(0).I32(100).U16(16).U8(0).U8(0);
  x.Point(0, 0, 0, -1).List(0, 5).Point(big, big, big, -1).Point(-big, -big, -big, -1);
  WhiteGroupHead(x, 1004, "tri").I32(0).I32(0);
  x.List(0, 4).U16(1025).I32(3).I32(100).U16(16);
  for (int i = 0; i < 3; ++i) x.U16(1003).Point(xyz[i][0], xyz[i][1], xyz[i][2], -1).I32(i);
  x.U8(0).U8(0);
  x.Point(0.5, 1, 0, -1).List(1, 5).Raw("f4 03 00 00 00 00 01 05 00 00 00 ff ff ff ff");
  x.Point(0, 0, 0, -1).Point(1, 2, 0, -1);
  // materials, smoothing groups
  x.List(1, 100);
  WhiteGroupHead(x, 1009, "default").I32(-1);
  x.List(1, 100);
  WhiteGroupHead(x, 1010, "default");
  x.U8(2).U8(3).U8(0);

  const TBytesVec bytes = Stored(*mesh);
  EXPECT_EQ(ToHex(bytes), ToHex(x.b));

  std::unique_ptr<TObjData> back;
  ASSERT_EQ(MeshLoadError(bytes, &back), "");
  ASSERT_EQ(back->Groups.Count(), 2);
  EXPECT_EQ(back->Groups[1]->Faces, std::vector<std::int32_t>{0});
  EXPECT_TRUE(back->Groups[0]->Faces.empty());
  EXPECT_EQ(back->Groups[1]->Owner, back.get());
  EXPECT_EQ(back->Materials[0]->Owner, back.get());
  EXPECT_EQ(back->Smooths[0]->Owner, back.get());
  EXPECT_EQ(back->Groups[1]->GroupMats[0]->Group, back->Groups[1]);
  EXPECT_EQ(ToHex(Stored(*back)), ToHex(bytes));
}

// ---------------------------------------------------------------------------------------------
// Storing and reading back loaded meshes

const char* const kTinyObj =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 0 0\n"
    "vt 0 0\nvt 1 0\nvt 0 1\n"
    "g hip\nusemtl skin\nf 1/1 2/2 3/3\n"
    "g chest\nusemtl cloth\ns 1\nf 2 4 3\nf 2 5 4\n";

std::unique_ptr<TObjData> LoadObjText(const std::string& text) {
  test::TTempDir dir;
  auto mesh = std::make_unique<TObjData>();
  LoadFromObj(*mesh, dir.Write("tiny.obj", text));
  return mesh;
}

std::unique_ptr<TObjData> LoadFigure() {
  auto mesh = std::make_unique<TObjData>();
  LoadFromObj(*mesh, std::string(TARVEL_SAMPLES_DIR) + "/figure.obj");
  return mesh;
}

// Adds to a group a morph target that moves every vertex by (k, 2k, -k).
void AddMorphTarget(TGroup& g, const std::string& name, double k) {
  auto m = std::make_unique<TMorphTarget>(&g);
  m->Name = name;
  m->Id = g.NewMorphTargetId();
  m->Value = static_cast<float>(k);
  m->RangeMax = 3;
  m->RangeMin = -2;
  m->RangeStep = 0.125f;
  m->Reserved = 0;
  for (const TGroupVertex& e : g.Vertices) {
    TBaseVertex p = e.Shaped;
    p.X += k;
    p.Y += 2 * k;
    p.Z -= k;
    m->Positions.Add(p);
  }
  g.MorphTargets.Add(std::move(m));
}

// Stored and unstored changes all over the mesh.
void EditEverything(TObjData& mesh) {
  mesh.Id = 1234;
  mesh.Visible = false;
  mesh.ColourMode = 2;
  mesh.TrackingMode = 0;
  mesh.DisplayMode = 0;
  mesh.TrackingActive = true;
  mesh.Side = 2;
  for (TObjVertex& v : mesh.Vertices) {
    const int i = v.Index;
    if (i % 7 == 0) v.SetSelected(true);
    if (i % 5 == 1) v.SetSoftWeight(0.1f * static_cast<float>(i % 10));
    v.MirrorIndex = i % 3 == 0 ? -10 : i / 2;
    v.SideCode = static_cast<std::uint8_t>(i % 4);
    v.Shown = i % 2 == 0;
    v.XLocked = i % 3 == 0;
    v.Editable = i % 4 != 0;
    v.Anchor = v.Highlight = v.Visited = i % 6 == 0;
  }
  std::int32_t fi = 0;
  for (TObjFace& f : mesh.Faces) {
    f.SetSelected(fi % 3 == 0);
    if (fi % 4 == 0) f.SetGroupUnlocked(false);
    if (fi % 5 == 0) f.SetRightUnlocked(false);
    if (fi % 6 == 0) f.SetLeftUnlocked(false);
    f.Shown = fi % 7 != 0;
    f.Visited = true;
    ++fi;
  }
  std::int32_t gi = 0;
  mesh.Groups.ForEach([&](TGroup& g) {
    if (gi % 2 == 1 && g.Vertices.Count() > 0) AddMorphTarget(g, "Smile" + std::to_string(gi), 0.5);
    if (gi % 3 == 1 && g.Vertices.Count() > 0) AddMorphTarget(g, "Frown", -0.25);
    if (gi % 2 == 0) {
      g.SetColor(RGBValue(gi, 2 * gi, 3));
      g.Visible = false;
      g.Reserved = 0;
    }
    for (TGroupVertex& e : g.Vertices) e.Shaped.Y += 0.001 * gi;
    g.GroupMats.ForEach([&](TGroupMatInfo& e) { e.Visible = gi % 2 == 0; });
    g.Unlocked = false;
    g.Tracking = true;
    ++gi;
  });
  mesh.Materials.ForEach([](TMaterial& m) {
    m.SetColor(RGBValue(9, 8, 7));
    m.Visible = false;
    m.Id = 5;
  });
  mesh.Smooths.ForEach([](TSmooth& s) { s.Visible = false; });
  mesh.LinkShapedPositions();
}

void ExpectSamePoint(const TBaseVertex& a, const TBaseVertex& b) {
  EXPECT_EQ(a.X, b.X);
  EXPECT_EQ(a.Y, b.Y);
  EXPECT_EQ(a.Z, b.Z);
  EXPECT_EQ(a.Index, b.Index);
}

void ExpectSameBaseGroup(const TBaseGroup& a, const TBaseGroup& b) {
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.ColorValue, b.ColorValue);
  EXPECT_EQ(a.Visible, b.Visible);
  EXPECT_EQ(a.ColorVector, b.ColorVector);
}

// Every stored field of `copy` equals that of `mesh`, and the unstored references of the copy
// point into the copy.
void ExpectSameStoredFields(const TObjData& mesh, const TObjData& copy) {
  EXPECT_EQ(copy.Reserved, mesh.Reserved);
  EXPECT_EQ(copy.Name, mesh.Name);
  EXPECT_EQ(copy.FileName, mesh.FileName);
  EXPECT_EQ(copy.Id, mesh.Id);
  EXPECT_EQ(copy.Visible, mesh.Visible);
  EXPECT_EQ(copy.ColourMode, mesh.ColourMode);
  EXPECT_EQ(copy.TrackingMode, mesh.TrackingMode);
  EXPECT_EQ(copy.DisplayMode, mesh.DisplayMode);

  ASSERT_EQ(copy.Vertices.Count(), mesh.Vertices.Count());
  for (std::int32_t i = 0; i < mesh.Vertices.Count(); ++i) {
    SCOPED_TRACE(::testing::Message() << "vertex " << i);
    const TObjVertex& a = mesh.Vertices[i];
    const TObjVertex& b = copy.Vertices[i];
    ExpectSamePoint(a, b);
    EXPECT_EQ(a.Id, b.Id);
    EXPECT_EQ(a.Selected, b.Selected);
    EXPECT_EQ(a.Shown, b.Shown);
    EXPECT_EQ(a.MirrorIndex, b.MirrorIndex);
    EXPECT_EQ(a.SideCode, b.SideCode);
    EXPECT_EQ(a.Colour, b.Colour);
    EXPECT_EQ(a.SoftWeight, b.SoftWeight);
    if (::testing::Test::HasFailure()) return;
  }
  ASSERT_EQ(copy.TexVerts.Count(), mesh.TexVerts.Count());
  for (std::int32_t i = 0; i < mesh.TexVerts.Count(); ++i)
    ExpectSamePoint(mesh.TexVerts[i], copy.TexVerts[i]);
  ASSERT_EQ(copy.Normals.Count(), mesh.Normals.Count());
  for (std::int32_t i = 0; i < mesh.Normals.Count(); ++i)
    ExpectSamePoint(mesh.Normals[i], copy.Normals[i]);

  ASSERT_EQ(copy.Faces.Count(), mesh.Faces.Count());
  for (std::int32_t i = 0; i < mesh.Faces.Count(); ++i) {
    SCOPED_TRACE(::testing::Message() << "face " << i);
    const TObjFace& a = mesh.Faces[i];
    const TObjFace& b = copy.Faces[i];
    EXPECT_EQ(a.Id, b.Id);
    EXPECT_EQ(a.GroupIndex, b.GroupIndex);
    EXPECT_EQ(a.MaterialIndex, b.MaterialIndex);
    EXPECT_EQ(a.SmoothIndex, b.SmoothIndex);
    EXPECT_EQ(a.Shown, b.Shown);
    ASSERT_EQ(a.CornerCount, b.CornerCount);
    const auto ca = mesh.Faces.Corners(a);
    const auto cb = copy.Faces.Corners(b);
    for (std::size_t k = 0; k < ca.size(); ++k) {
      EXPECT_EQ(ca[k].VertexIndex, cb[k].VertexIndex);
      EXPECT_EQ(ca[k].GroupVertexIndex, cb[k].GroupVertexIndex);
      EXPECT_EQ(ca[k].TexVertIndex, cb[k].TexVertIndex);
      EXPECT_EQ(mesh.Faces.NormalIndex(a.FirstCorner + k),
                copy.Faces.NormalIndex(b.FirstCorner + k));
    }
    if (::testing::Test::HasFailure()) return;
  }

  ASSERT_EQ(copy.Groups.Count(), mesh.Groups.Count());
  for (std::int32_t i = 0; i < mesh.Groups.Count(); ++i) {
    const TGroup& a = *mesh.Groups[i];
    const TGroup& b = *copy.Groups[i];
    SCOPED_TRACE("group " + a.Name);
    ExpectSameBaseGroup(a, b);
    EXPECT_EQ(a.Reserved, b.Reserved);
    EXPECT_EQ(a.Id, b.Id);
    ExpectSamePoint(a.Centre, b.Centre);
    ExpectSamePoint(a.BoxMin, b.BoxMin);
    ExpectSamePoint(a.BoxMax, b.BoxMax);
    EXPECT_EQ(b.Owner, &copy);
    EXPECT_EQ(a.Faces, b.Faces);
    ASSERT_EQ(a.Vertices.Count(), b.Vertices.Count());
    for (std::int32_t k = 0; k < a.Vertices.Count(); ++k) {
      ExpectSamePoint(a.Vertices[k].Shaped, b.Vertices[k].Shaped);
      EXPECT_EQ(a.Vertices[k].VertexIndex, b.Vertices[k].VertexIndex);
    }
    ASSERT_EQ(a.MorphTargets.Count(), b.MorphTargets.Count());
    for (std::int32_t k = 0; k < a.MorphTargets.Count(); ++k) {
      const TMorphTarget& ma = *a.MorphTargets[k];
      const TMorphTarget& mb = *b.MorphTargets[k];
      EXPECT_EQ(ma.Reserved, mb.Reserved);
      EXPECT_EQ(ma.Name, mb.Name);
      EXPECT_EQ(ma.Id, mb.Id);
      EXPECT_EQ(ma.Value, mb.Value);
      EXPECT_EQ(ma.RangeMax, mb.RangeMax);
      EXPECT_EQ(ma.RangeMin, mb.RangeMin);
      EXPECT_EQ(ma.RangeStep, mb.RangeStep);
      EXPECT_EQ(mb.Group, &b);
      ASSERT_EQ(ma.Positions.Count(), mb.Positions.Count());
      for (std::int32_t p = 0; p < ma.Positions.Count(); ++p)
        ExpectSamePoint(ma.Positions[p], mb.Positions[p]);
    }
    ASSERT_EQ(a.GroupMats.Count(), b.GroupMats.Count());
    for (std::int32_t k = 0; k < a.GroupMats.Count(); ++k) {
      const TGroupMatInfo& ea = *a.GroupMats[k];
      const TGroupMatInfo& eb = *b.GroupMats[k];
      EXPECT_EQ(ea.Id, eb.Id);
      EXPECT_EQ(ea.MaterialIndex, eb.MaterialIndex);
      EXPECT_EQ(ea.MaterialId, eb.MaterialId);
      EXPECT_EQ(ea.Visible, eb.Visible);
      EXPECT_EQ(eb.Group, &b);
    }
    if (::testing::Test::HasFailure()) return;
  }
  ASSERT_EQ(copy.Materials.Count(), mesh.Materials.Count());
  for (std::int32_t i = 0; i < mesh.Materials.Count(); ++i) {
    ExpectSameBaseGroup(*mesh.Materials[i], *copy.Materials[i]);
    EXPECT_EQ(mesh.Materials[i]->Id, copy.Materials[i]->Id);
    EXPECT_EQ(copy.Materials[i]->Owner, &copy);
  }
  ASSERT_EQ(copy.Smooths.Count(), mesh.Smooths.Count());
  for (std::int32_t i = 0; i < mesh.Smooths.Count(); ++i) {
    ExpectSameBaseGroup(*mesh.Smooths[i], *copy.Smooths[i]);
    EXPECT_EQ(copy.Smooths[i]->Owner, &copy);
  }
}

void ExpectWorkingFlagsReset(const TObjData& copy) {
  EXPECT_FALSE(copy.TrackingActive);
  EXPECT_FALSE(copy.Rebuilding);
  EXPECT_EQ(copy.Side, 0);
  for (const TObjVertex& v : copy.Vertices) {
    if (v.XLocked || !v.Editable || v.Anchor || v.Highlight || v.Visited || v.ShapedLink) {
      ADD_FAILURE() << "vertex " << v.Index << " keeps a working flag";
      break;
    }
  }
  for (const TObjFace& f : copy.Faces) {
    if (f.Selected || !f.GroupUnlocked || !f.RightUnlocked || !f.LeftUnlocked || f.Visited) {
      ADD_FAILURE() << "face " << f.Id << " keeps its selection or a padlock";
      break;
    }
  }
  copy.Groups.ForEach([](const TGroup& g) {
    EXPECT_TRUE(g.Unlocked) << g.Name;
    EXPECT_FALSE(g.Tracking) << g.Name;
    EXPECT_EQ(g.TreeNode, nullptr);
    EXPECT_EQ(g.ImageIndex, -1);
  });
}

struct MeshCase {
  const char* Name;
  std::function<std::unique_ptr<TObjData>()> Make;
};

const std::vector<MeshCase>& SmallMeshes() {
  static const std::vector<MeshCase> cases = {
      {"empty mesh", [] { return std::make_unique<TObjData>(); }},
      {"hand-built triangle", [] { return MakeTriangleMesh(); }},
      {"tiny OBJ", [] { return LoadObjText(kTinyObj); }},
      {"tiny OBJ, edited",
       [] {
         auto m = LoadObjText(kTinyObj);
         EditEverything(*m);
         return m;
       }},
  };
  return cases;
}

TEST(ObjDataStreamTest, StoreAndReloadKeepsEveryStoredField) {
  std::vector<MeshCase> cases = SmallMeshes();
  cases.push_back({"sample figure", [] { return LoadFigure(); }});
  cases.push_back({"sample figure, edited", [] {
                     auto m = LoadFigure();
                     EditEverything(*m);
                     return m;
                   }});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto mesh = c.Make();
    const auto copy = CopyMesh(*mesh);
    ExpectSameStoredFields(*mesh, *copy);
    ExpectWorkingFlagsReset(*copy);
    EXPECT_TRUE(Stored(*mesh) == Stored(*copy)) << "storing the copy gives other bytes";
  }
}

TEST(ObjDataStreamTest, SampleFigureIsNotTrivial) {
  // The round trip above only means something if the figure has all kinds of records.
  const auto mesh = LoadFigure();
  EXPECT_GT(mesh->Vertices.Count(), 1000);
  EXPECT_GT(mesh->TexVerts.Count(), 0);
  EXPECT_GT(mesh->Normals.Count(), 0);
  EXPECT_GT(mesh->Groups.Count(), 3);
  EXPECT_GT(mesh->Materials.Count(), 1);
  EXPECT_GT(mesh->Smooths.Count(), 0);
}

// ---------------------------------------------------------------------------------------------
// Damaged streams

// Offsets of the parts of a stored mesh, found by walking its bytes with the record layouts.
struct TMeshLayout {
  std::size_t Vertices = 0, TexVerts = 0, Normals = 0, Faces = 0, Groups = 0;
  std::size_t FirstCorner = 0;      // type id of the first corner of the first face
  std::size_t FirstFaceFields = 0;  // the first face's Id, after its corners
  std::size_t VertList = 0;         // type id of the vertex list of the first group with 2 entries
  std::int32_t VertListCount = 0;
  std::size_t End = 0;
};

class TWalker {
 public:
  explicit TWalker(const TBytesVec& b) : b_(b) {}
  std::int32_t I32At(std::size_t at) const {
    std::uint32_t u = 0;
    for (int k = 3; k >= 0; --k) u = (u << 8) | b_.at(at + static_cast<std::size_t>(k));
    return static_cast<std::int32_t>(u);
  }
  std::uint16_t U16At(std::size_t at) const {
    return static_cast<std::uint16_t>(b_.at(at) | (b_.at(at + 1) << 8));
  }
  void Skip(std::size_t n) { p += n; }
  void Str() { p += 2 + U16At(p); }
  // A collection header; returns the count.
  std::int32_t List(std::uint16_t id = 150) {
    EXPECT_EQ(U16At(p), id) << "at " << p;
    const std::int32_t n = I32At(p + 2);
    p += 12;
    return n;
  }
  std::size_t p = 0;

 private:
  const TBytesVec& b_;
};

TMeshLayout Walk(const TBytesVec& bytes) {
  TMeshLayout l;
  TWalker w(bytes);
  EXPECT_EQ(w.U16At(0), 1011);
  w.Skip(2 + 4);
  w.Str();
  w.Str();
  w.Skip(4 + 1 + 1);
  l.Vertices = w.p;
  w.Skip(static_cast<std::size_t>(w.List()) * (2 + 59));
  l.TexVerts = w.p;
  w.Skip(static_cast<std::size_t>(w.List()) * (2 + 28));
  l.Normals = w.p;
  w.Skip(static_cast<std::size_t>(w.List()) * (2 + 28));
  l.Faces = w.p;
  const std::int32_t faces = w.List();
  for (std::int32_t f = 0; f < faces; ++f) {
    EXPECT_EQ(w.U16At(w.p), 1007);
    w.Skip(2);
    const std::int32_t corners = w.List();
    if (f == 0) l.FirstCorner = w.p;
    w.Skip(static_cast<std::size_t>(corners) * (2 + 16));
    if (f == 0) l.FirstFaceFields = w.p;
    w.Skip(17);
  }
  l.Groups = w.p;
  const std::int32_t groups = w.List();
  for (std::int32_t g = 0; g < groups; ++g) {
    EXPECT_EQ(w.U16At(w.p), 1004);
    w.Skip(2);
    w.Str();
    w.Skip(4 + 1 + 16 + 4 + 4);
    const std::int32_t targets = w.List();
    for (std::int32_t m = 0; m < targets; ++m) {
      w.Skip(2 + 4);
      w.Str();
      w.Skip(static_cast<std::size_t>(w.List()) * (2 + 28));
      w.Skip(5 * 4);
    }
    const std::size_t list = w.p;
    const std::int32_t entries = w.List(1025);
    if (entries >= 2 && l.VertList == 0) {
      l.VertList = list;
      l.VertListCount = entries;
    }
    w.Skip(static_cast<std::size_t>(entries) * (2 + 30 + 4) + 2);
    w.Skip(30);  // centre
    w.Skip(static_cast<std::size_t>(w.List()) * (2 + 13));
    w.Skip(2 * 30);  // box
  }
  const std::int32_t materials = w.List();
  for (std::int32_t m = 0; m < materials; ++m) {
    w.Skip(2);
    w.Str();
    w.Skip(21 + 4);
  }
  const std::int32_t smooths = w.List();
  for (std::int32_t m = 0; m < smooths; ++m) {
    w.Skip(2);
    w.Str();
    w.Skip(21);
  }
  l.End = w.p + 3;
  return l;
}

void Put16(TBytesVec& b, std::size_t at, std::uint16_t v) {
  b.at(at) = static_cast<std::uint8_t>(v);
  b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}
void Put32(TBytesVec& b, std::size_t at, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (std::size_t k = 0; k < 4; ++k) b.at(at + k) = static_cast<std::uint8_t>(u >> (8 * k));
}

TEST(ObjDataStreamTest, WalkerAgreesWithStoredMeshes) {
  // The walker follows the record layouts on its own; on every mesh it must end exactly at the
  // end of the stored bytes.
  std::vector<MeshCase> cases = SmallMeshes();
  cases.push_back({"sample figure, edited", [] {
                     auto m = LoadFigure();
                     EditEverything(*m);
                     return m;
                   }});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TBytesVec bytes = Stored(*c.Make());
    EXPECT_EQ(Walk(bytes).End, bytes.size());
  }
}

TEST(ObjDataStreamTest, EveryTruncatedPrefixOfASmallMeshFails) {
  for (const auto& c : SmallMeshes()) {
    SCOPED_TRACE(c.Name);
    const TBytesVec bytes = Stored(*c.Make());
    ASSERT_EQ(MeshLoadError(bytes), "");
    for (std::size_t n = 0; n < bytes.size(); ++n) {
      const std::string error = MeshLoadError(TBytesVec(bytes.begin(), bytes.begin() + n));
      if (!HasText(error, "byte offset")) {
        ADD_FAILURE() << "prefix of " << n << " of " << bytes.size() << " bytes: \"" << error
                      << "\"";
        break;
      }
    }
  }
}

TEST(ObjDataStreamTest, TruncatedFigureFails) {
  const TBytesVec bytes = Stored(*LoadFigure());
  std::vector<std::size_t> cuts;
  for (std::size_t n = 0; n < 200; ++n) cuts.push_back(n);
  for (std::size_t n = 400; n < bytes.size(); n += 4999) cuts.push_back(n);
  for (std::size_t n = bytes.size() - 20; n < bytes.size(); ++n) cuts.push_back(n);
  for (std::size_t n : cuts) {
    const std::string error = MeshLoadError(TBytesVec(bytes.begin(), bytes.begin() + n));
    if (!HasText(error, "byte offset")) {
      ADD_FAILURE() << "prefix of " << n << " bytes: \"" << error << "\"";
      break;
    }
  }
}

struct DamageCase {
  const char* Name;
  std::function<void(TBytesVec&, const TMeshLayout&)> Damage;
  const char* Message;  // a part of the message
};

TEST(ObjDataStreamTest, DamagedMeshesFailWithTheirOffset) {
  const DamageCase cases[] = {
      {"unregistered mesh type id", [](TBytesVec& b, const TMeshLayout&) { Put16(b, 0, 1337); },
       "Attempt to read unregistered class 1337 from stream"},
      {"unregistered vertex type id",
       [](TBytesVec& b, const TMeshLayout& l) { Put16(b, l.Vertices + 12, 1337); },
       "Attempt to read unregistered class 1337 from stream"},
      {"faces written as a point",
       [](TBytesVec& b, const TMeshLayout& l) { Put16(b, l.Faces, 1000); }, "TCollection"},
      {"a face written as a group",
       [](TBytesVec& b, const TMeshLayout& l) { Put16(b, l.Faces + 12, 1004); }, "TObjFace"},
      {"negative vertex count",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.Vertices + 2, -1); }, "negative"},
      {"negative corner count",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner - 10, -3); }, "negative"},
      {"vertex count beyond the bytes left",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.Vertices + 2, 0x7fffffff); },
       "bytes left"},
      {"face count beyond the bytes left",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.Faces + 2, 0x10000000); }, "bytes left"},
      {"group count beyond the bytes left",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.Groups + 2, 1000000); }, "bytes left"},
      {"name runs past the end", [](TBytesVec& b, const TMeshLayout&) { Put16(b, 6, 0xffff); },
       "past the end"},
      {"corner's group entry out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner + 6, 999); },
       "outside its group's vertex list"},
      {"corner's group entry negative",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner + 6, -1); },
       "outside its group's vertex list"},
      {"corner's group entry of another vertex",
       [](TBytesVec& b, const TMeshLayout& l) {
         Put32(b, l.FirstCorner + 6, b[l.FirstCorner + 6] == 0 ? 1 : 0);
       },
       "outside its group's vertex list"},
      {"corner's vertex out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner + 2, 999); },
       "refers to vertex 999"},
      {"corner's normal out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner + 14, 999); },
       "refers to normal 999"},
      {"corner's texture coordinate out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstCorner + 10, 999); },
       "texture coordinate 999"},
      {"face's group out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstFaceFields + 4, 99); },
       "missing group"},
      {"face's material negative",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstFaceFields + 8, -1); }, "material"},
      {"face's smoothing group out of range",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.FirstFaceFields + 12, 7); },
       "smoothing"},
      {"vertex whose index is not its position",
       [](TBytesVec& b, const TMeshLayout& l) { Put32(b, l.Vertices + 12 + 2 + 24, 5); },
       "has index 5"},
      {"group vertex list out of order",
       [](TBytesVec& b, const TMeshLayout& l) {
         const std::size_t first = l.VertList + 12 + 32;
         const std::size_t second = first + 36;
         TWalker w(b);
         const std::int32_t a = w.I32At(first);
         Put32(b, first, w.I32At(second));
         Put32(b, second, a);
       },
       "ascending"},
      {"group vertex list with a vertex twice",
       [](TBytesVec& b, const TMeshLayout& l) {
         const std::size_t first = l.VertList + 12 + 32;
         Put32(b, first + 36, TWalker(b).I32At(first));
       },
       "ascending"},
      {"group entry of a missing vertex",
       [](TBytesVec& b, const TMeshLayout& l) {
         Put32(b, l.VertList + 12 + 36 * static_cast<std::size_t>(l.VertListCount - 1) + 32, 99999);
       },
       "99999"},
  };
  const auto mesh = LoadObjText(kTinyObj);
  const TBytesVec bytes = Stored(*mesh);
  const TMeshLayout layout = Walk(bytes);
  ASSERT_EQ(layout.End, bytes.size());
  ASSERT_NE(layout.VertList, 0u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBytesVec damaged = bytes;
    c.Damage(damaged, layout);
    ASSERT_NE(damaged, bytes);
    const std::string error = MeshLoadError(damaged);
    EXPECT_TRUE(HasText(error, c.Message));
    EXPECT_TRUE(HasText(error, "byte offset"));
  }
}

TEST(ObjDataStreamTest, ListsStoredUnderId80AreRead) {
  const auto mesh = LoadObjText(kTinyObj);
  const TBytesVec bytes = Stored(*mesh);
  const TMeshLayout l = Walk(bytes);
  TBytesVec other = bytes;
  for (std::size_t at : {l.Vertices, l.TexVerts, l.Normals, l.Faces, l.Groups, l.FirstCorner - 12})
    Put16(other, at, 80);
  std::unique_ptr<TObjData> back;
  ASSERT_EQ(MeshLoadError(other, &back), "");
  EXPECT_TRUE(Stored(*back) == bytes) << "written back with id 150";
}

TEST(ObjDataStreamTest, EveryOneByteChangeLoadsOrFails) {
  // Whatever one damaged byte does, reading either fails with an EObjectStream or gives a
  // mesh that can be stored and read again.
  const auto mesh = LoadObjText(kTinyObj);
  const TBytesVec bytes = Stored(*mesh);
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    for (std::uint8_t v : {0x01, 0x80, 0xff}) {
      TBytesVec damaged = bytes;
      damaged[at] ^= v;
      std::unique_ptr<TObjData> back;
      const std::string error = MeshLoadError(damaged, &back);
      if (!back) {
        if (!HasText(error, "byte offset")) {
          ADD_FAILURE() << "byte " << at << " ^ " << int{v} << ": " << error;
          return;
        }
        continue;
      }
      const TBytesVec again = Stored(*back);
      const std::string second = MeshLoadError(again);
      if (!second.empty()) {
        ADD_FAILURE() << "byte " << at << " ^ " << int{v}
                      << " stores a mesh that fails: " << second;
        return;
      }
    }
  }
}

}  // namespace
}  // namespace tarvel

namespace tarvel {
namespace {

// Normals are held as singles only when that loses nothing: any list of points read into a
// mesh's normals is written back with the same bytes.
TEST(NormalListTest, StoresEveryPointListAsRead) {
  const double nan = std::bit_cast<double>(std::uint64_t{0x7ff8000000000123});
  struct TCase {
    const char* Name;
    std::vector<std::array<double, 3>> Points;
    std::vector<std::int32_t> Indices;
    bool Exact;
  };
  const std::vector<TCase> cases = {
      {"computed singles", {{0, 0, 1}, {0.6f, -0.8f, 0}, {-0.0, 0, 0}}, {0, 1, 2}, false},
      {"none", {}, {}, false},
      {"a double", {{0, 0, 1}, {0.1, 0, 0}}, {0, 1}, true},
      {"an index not its position", {{0, 0, 1}, {0, 1, 0}}, {0, 7}, true},
      {"a NaN with payload", {{0, 0, 1}, {nan, 0, 0}}, {0, 1}, true},
      {"beyond single range", {{1e300, 0, 0}}, {0}, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecordList<TBaseVertex> points(100);
    for (std::size_t i = 0; i < c.Points.size(); ++i) {
      TBaseVertex& p = points.Add({});
      p.X = c.Points[i][0], p.Y = c.Points[i][1], p.Z = c.Points[i][2];
      p.Index = c.Indices[i];
    }
    TObjectStream in;
    points.Put(in);
    in.Seek(0);
    TNormalList normals;
    normals.Get(in);
    EXPECT_EQ(normals.HoldsExactPoints(), c.Exact);
    ASSERT_EQ(normals.Count(), points.Count());
    TObjectStream out;
    normals.Put(out);
    EXPECT_EQ(out.Bytes(), in.Bytes());
  }
}

TEST(TexCoordListTest, StoresEveryPointListAsGiven) {
  struct TCase {
    const char* Name;
    std::vector<std::array<double, 3>> Points;
    std::vector<std::int32_t> Indices;
    bool Exact;
  };
  const std::vector<TCase> cases = {
      {"u and v at their positions", {{0.1, 0.2, 0}, {1.0 / 3, -0.0, 0}}, {0, 1}, false},
      {"none", {}, {}, false},
      {"a w", {{0.1, 0.2, 0}, {0.5, 0.5, 0.3}}, {0, 1}, true},
      {"a w of -0", {{0.1, 0.2, -0.0}}, {0}, true},
      {"an index not its position", {{0.1, 0.2, 0}, {0.5, 0.5, 0}}, {0, -1}, true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRecordList<TBaseVertex> points(100);
    TTexCoordList added;
    for (std::size_t i = 0; i < c.Points.size(); ++i) {
      TBaseVertex& p = points.Add({});
      p.X = c.Points[i][0], p.Y = c.Points[i][1], p.Z = c.Points[i][2];
      p.Index = c.Indices[i];
      added.Add(p);
    }
    TObjectStream in;
    points.Put(in);
    in.Seek(0);
    TTexCoordList read;
    read.Get(in);
    // Read from a stream or added one by one, the list stores the same bytes.
    for (const TTexCoordList* list : {&read, &added}) {
      EXPECT_EQ(list->HoldsExactPoints(), c.Exact);
      ASSERT_EQ(list->Count(), points.Count());
      TObjectStream out;
      list->Put(out);
      EXPECT_EQ(out.Bytes(), in.Bytes());
    }
  }
}

TEST(FaceListTest, NormalsApartFromTheVerticesComeBackFromAStream) {
  // A normal set on a later corner keeps the earlier corners at their vertices' normals.
  TFaceList faces;
  const TFaceVertRecord plain[3] = {{0, 0, -1, 0}, {1, 1, -1, 1}, {2, 2, -1, 2}};
  const TFaceVertRecord apart[3] = {{2, 0, -1, 2}, {3, 1, -1, 7}, {4, 2, -1, 4}};
  faces.Add({}, plain);
  faces.Add({}, apart);
  faces.Add({}, plain);
  const std::vector<std::int32_t> expected = {0, 1, 2, 2, 7, 4, 0, 1, 2};
  auto normals = [](const TFaceList& f) {
    std::vector<std::int32_t> n;
    for (std::size_t k = 0; k < f.AllCorners().size(); ++k) n.push_back(f.NormalIndex(k));
    return n;
  };
  EXPECT_EQ(normals(faces), expected);
  TObjectStream s;
  faces.Put(s);
  s.Seek(0);
  TFaceList back;
  back.Get(s);
  EXPECT_EQ(normals(back), expected);
  TObjectStream again;
  back.Put(again);
  EXPECT_EQ(again.Bytes(), s.Bytes());
  back.ResetNormalIndices();
  EXPECT_EQ(back.NormalIndex(4), 3);
}

}  // namespace
}  // namespace tarvel
