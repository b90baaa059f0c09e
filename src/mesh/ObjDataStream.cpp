// Stream records of the mesh, and the rebuilding of what is not stored.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "mesh/FileCheck.h"
#include "mesh/NumberText.h"
#include "mesh/ObjData.h"

namespace tarvel {

namespace {
void RegisterMeshStreamClasses(TStreamRegistry& r) {
  r.Register(ClassOf<TCollection>());
  r.Register(ClassOf<TCollection>(), 80);
  r.Register(ClassOf<TBaseVertex>());
  r.Register(ClassOf<TBaseGroup>());
  r.Register(ClassOf<TMorphTarget>());
  r.Register(ClassOf<TGroupVertex>());
  r.Register(ClassOf<TGroup>());
  r.Register(ClassOf<TObjVertex>());
  r.Register(ClassOf<TFaceVertRecord>());
  r.Register(ClassOf<TObjFaceRecord>());
  r.Register(ClassOf<TMaterial>());
  r.Register(ClassOf<TSmooth>());
  r.Register(ClassOf<TObjData>());
  r.Register(ClassOf<TGroupMatInfo>());
  r.Register(ClassOf<TGroupVertList>());
}
}  // namespace

TStreamRegistry& StreamRegistry() {
  static TStreamRegistry registry = [] {
    TStreamRegistry r;
    RegisterMeshStreamClasses(r);
    return r;
  }();
  return registry;
}

namespace {

// A nested point object: type id, then the point.
void PutPoint(TObjectStream& s, const TBaseVertex& p) {
  s.PutHeader(ClassOf<TBaseVertex>());
  p.Store(s);
}
void GetPoint(TObjectStream& s, TBaseVertex& p) {
  s.GetHeader(ClassOf<TBaseVertex>());
  p.Load(s);
}

void Report(const TObjectStream& s, int position) {
  if (IProgress* p = s.Progress()) p->SetPosition(position);
}

}  // namespace

void StoreColour(TObjectStream& s, const TColorVector& c) {
  s.WriteSingle(c.R);
  s.WriteSingle(c.G);
  s.WriteSingle(c.B);
  s.WriteSingle(c.A);
}

TColorVector LoadColour(TObjectStream& s, std::string_view record) {
  TColorVector c;
  c.R = s.ReadFiniteSingle(record, "ColorVector.red");
  c.G = s.ReadFiniteSingle(record, "ColorVector.green");
  c.B = s.ReadFiniteSingle(record, "ColorVector.blue");
  c.A = s.ReadFiniteSingle(record, "ColorVector.alpha");
  return c;
}

// ---------------------------------------------------------------------------------------------
// Value records

// The value records are written field by field into one span each; on a little-endian machine
// a field's bytes are its memory bytes.
static_assert(std::endian::native == std::endian::little);

namespace {
template <class T>
void Put(std::uint8_t*& p, const T& v) {
  std::memcpy(p, &v, sizeof v);
  p += sizeof v;
}
template <class T>
void Take(const std::uint8_t*& p, T& v) {
  std::memcpy(&v, p, sizeof v);
  p += sizeof v;
}
void Put(std::uint8_t*& p, bool v) { *p++ = v ? 1 : 0; }
void Take(const std::uint8_t*& p, bool& v) { v = *p++ != 0; }

constexpr std::size_t kPointBytes = 28;
void PutPointFields(std::uint8_t*& p, const TBaseVertex& v) {
  Put(p, v.X);
  Put(p, v.Y);
  Put(p, v.Z);
  Put(p, v.Index);
}
// The coordinates start at `at`; each must be finite and at most `limit` in magnitude. Boxes
// of groups without vertices hold +-1e20, so plain points are only checked to be finite.
void TakePointFields(TObjectStream& s, std::int64_t at, const std::uint8_t*& p, TBaseVertex& v,
                     std::string_view record, double limit = HUGE_VAL) {
  Take(p, v.X);
  Take(p, v.Y);
  Take(p, v.Z);
  Take(p, v.Index);
  s.CheckCoordinate(at, v.X, limit, record, "x");
  s.CheckCoordinate(at + 8, v.Y, limit, record, "y");
  s.CheckCoordinate(at + 16, v.Z, limit, record, "z");
}
}  // namespace

void TBaseVertex::Store(TObjectStream& s) const {
  std::uint8_t* p = s.WriteSpan(kPointBytes);
  PutPointFields(p, *this);
}

void TBaseVertex::Load(TObjectStream& s) {
  const std::int64_t at = s.Position();
  const std::uint8_t* p = s.ReadSpan(kPointBytes);
  TakePointFields(s, at, p, *this, kClassName);
}

void TObjVertex::Store(TObjectStream& s) const {
  std::uint8_t* p = s.WriteSpan(kMinStoredBytes);
  PutPointFields(p, *this);
  Put(p, Id);
  Put(p, static_cast<bool>(Selected));
  Put(p, static_cast<bool>(Shown));
  Put(p, MirrorIndex);
  Put(p, SideCode);
  const TColorVector colour = Colour;
  Put(p, colour.R);
  Put(p, colour.G);
  Put(p, colour.B);
  Put(p, colour.A);
  Put(p, SoftWeight);
}

void TObjVertex::Load(TObjectStream& s) {
  const std::int64_t at = s.Position();
  const std::uint8_t* p = s.ReadSpan(kMinStoredBytes);
  TakePointFields(s, at, p, *this, kClassName, kCoordinateLimit);
  Take(p, Id);
  bool selected = false, shown = false;
  Take(p, selected);
  Take(p, shown);
  Selected = selected;
  Shown = shown;
  Take(p, MirrorIndex);
  Take(p, SideCode);
  TColorVector colour;
  Take(p, colour.R);
  Take(p, colour.G);
  Take(p, colour.B);
  Take(p, colour.A);
  Take(p, SoftWeight);
  s.CheckFinite(at + 39, colour.R, kClassName, "Colour.red");
  s.CheckFinite(at + 43, colour.G, kClassName, "Colour.green");
  s.CheckFinite(at + 47, colour.B, kClassName, "Colour.blue");
  s.CheckFinite(at + 51, colour.A, kClassName, "Colour.alpha");
  s.CheckFinite(at + 55, SoftWeight, kClassName, "SoftWeight");
  // A colour its soft weight gives is kept as that blend.
  const TVertexColour blend = TVertexColour::Blend(1 - SoftWeight, 1.0f);
  const TColorVector blended = blend;
  if (std::memcmp(&blended, &colour, sizeof colour) == 0)
    Colour = blend;
  else
    Colour = colour;
  ResetWorkingFlags();
}

void TFaceVertRecord::Store(TObjectStream& s) const {
  std::uint8_t* p = s.WriteSpan(kMinStoredBytes);
  Put(p, VertexIndex);
  Put(p, GroupVertexIndex);
  Put(p, TexVertIndex);
  Put(p, NormalIndex);
}

void TFaceVertRecord::Load(TObjectStream& s) {
  const std::uint8_t* p = s.ReadSpan(kMinStoredBytes);
  Take(p, VertexIndex);
  Take(p, GroupVertexIndex);
  Take(p, TexVertIndex);
  Take(p, NormalIndex);
}

void TGroupVertex::Store(TObjectStream& s) const {
  PutPoint(s, Shaped);
  s.WriteInt32(VertexIndex);
}

void TGroupVertex::Load(TObjectStream& s) {
  GetPoint(s, Shaped);
  VertexIndex = s.ReadInt32();
}

// ---------------------------------------------------------------------------------------------
// Normals

namespace {

// A compact point list on the stream: a collection of TBaseVertex records, each at its position
// as index, its x, y and z given by `xyz(item)`; the capacity is the one read, else the grown one.
template <class TList, class TXyz>
void PutCompactPoints(TObjectStream& s, const TList& compact, std::int32_t loadedCapacity,
                      TXyz xyz) {
  s.PutHeader(ClassOf<TCollection>());
  const auto count = static_cast<std::int32_t>(compact.size());
  const std::int32_t grown = GrownCapacity(100, count, TCollection::kDelta);
  TCollectionHeader::Write(s, count, loadedCapacity >= count ? loadedCapacity : grown);
  if (compact.empty()) return;
  const std::uint16_t id = s.IdForClass(ClassOf<TBaseVertex>());
  std::int32_t i = 0;
  for (const auto& item : compact) {
    const std::array<double, 3> v = xyz(item);
    std::uint8_t* p = s.WriteSpan(2 + kPointBytes);
    tarvel::Put(p, id);
    tarvel::Put(p, v[0]);
    tarvel::Put(p, v[1]);
    tarvel::Put(p, v[2]);
    tarvel::Put(p, i++);
  }
}

// Reads a collection of points: `reserve(count)` once, then `add(point, position, count)` for
// each, after the header is read. Returns the capacity the collection reports.
template <class TAdd, class TReserve>
std::int32_t GetPoints(TObjectStream& s, TAdd add, TReserve reserve) {
  s.GetHeader(ClassOf<TCollection>());
  const TCollectionHeader h = TCollectionHeader::Read(s, 2 + kPointBytes);
  reserve(h.Count);
  std::uint16_t cached = 0;
  for (std::int32_t i = 0; i < h.Count; ++i) {
    s.GetItemHeader(ClassOf<TBaseVertex>(), cached);
    TBaseVertex v;
    v.Load(s);
    add(v, i, h.Count);
  }
  return h.Capacity;
}

}  // namespace

namespace {
// Whether a stored coordinate is a single exactly, sign of zero and NaN bits included.
bool IsSingle(double v) {
  const double back = static_cast<double>(static_cast<float>(v));
  return std::memcmp(&back, &v, sizeof v) == 0;
}
}  // namespace

TBaseVertex TNormalList::operator[](std::int32_t i) const {
  if (exact_) return (*exact_)[i];
  const TNormal& n = compact_[static_cast<std::size_t>(i)];
  TBaseVertex p;
  p.X = n.X;
  p.Y = n.Y;
  p.Z = n.Z;
  p.Index = i;
  return p;
}

void TNormalList::Clear() {
  compact_.clear();
  exact_.reset();
  loadedCapacity_ = -1;
}

std::span<TNormalList::TNormal> TNormalList::Reset(std::size_t n, TNormal fill) {
  exact_.reset();
  loadedCapacity_ = -1;
  compact_.assign(n, fill);
  return compact_;
}

void TNormalList::Put(TObjectStream& s) const {
  if (exact_) {
    exact_->Put(s);
    return;
  }
  PutCompactPoints(s, compact_, loadedCapacity_, [](const TNormal& n) {
    return std::array<double, 3>{n.X, n.Y, n.Z};
  });
}

void TNormalList::Get(TObjectStream& s) {
  loadedCapacity_ = GetPoints(
      s,
      [&](const TBaseVertex& v, std::int32_t i, std::int32_t count) {
        if (!exact_ && (v.Index != i || !IsSingle(v.X) || !IsSingle(v.Y) || !IsSingle(v.Z))) {
          // Not a computed normal: from here on every point is kept as read.
          auto exact = std::make_unique<TRecordList<TBaseVertex>>(100);
          exact->Reserve(static_cast<std::size_t>(count));
          for (std::int32_t k = 0; k < i; ++k) exact->Add((*this)[k]);
          compact_ = {};
          exact_ = std::move(exact);
        }
        if (exact_)
          exact_->Add(v);
        else
          compact_.push_back(
              {static_cast<float>(v.X), static_cast<float>(v.Y), static_cast<float>(v.Z)});
      },
      [&](std::int32_t count) {
        Clear();
        compact_.reserve(static_cast<std::size_t>(count));
      });
  if (exact_) exact_->SetLoadedCapacity(loadedCapacity_);
}

// ---------------------------------------------------------------------------------------------
// Texture coordinates

namespace {
// Whether a point is a texture coordinate read from an OBJ file at position i: w is +0.
bool IsPlainTexCoord(const TBaseVertex& p, std::int32_t i) {
  return p.Index == i && std::bit_cast<std::uint64_t>(p.Z) == 0;
}
}  // namespace

TBaseVertex TTexCoordList::operator[](std::int32_t i) const {
  if (exact_) return (*exact_)[i];
  const TTexCoord& t = compact_[static_cast<std::size_t>(i)];
  TBaseVertex p;
  p.X = t.U;
  p.Y = t.V;
  p.Z = 0;
  p.Index = i;
  return p;
}

void TTexCoordList::MakeExact() {
  auto exact = std::make_unique<TRecordList<TBaseVertex>>(100);
  exact->Reserve(std::max(compact_.capacity(), compact_.size() + 1));
  for (std::int32_t k = 0; k < Count(); ++k) exact->Add((*this)[k]);
  compact_ = {};
  exact_ = std::move(exact);
}

void TTexCoordList::Add(const TBaseVertex& p) {
  if (!exact_ && !IsPlainTexCoord(p, Count())) MakeExact();
  if (exact_)
    exact_->Add(p);
  else
    compact_.push_back({p.X, p.Y});
}

void TTexCoordList::Reserve(std::size_t n) {
  if (exact_)
    exact_->Reserve(n);
  else
    compact_.reserve(n);
}

void TTexCoordList::Clear() {
  compact_.clear();
  exact_.reset();
  loadedCapacity_ = -1;
}

void TTexCoordList::Put(TObjectStream& s) const {
  if (exact_) {
    exact_->Put(s);
    return;
  }
  PutCompactPoints(s, compact_, loadedCapacity_, [](const TTexCoord& t) {
    return std::array<double, 3>{t.U, t.V, 0.0};
  });
}

void TTexCoordList::Get(TObjectStream& s) {
  loadedCapacity_ = GetPoints(
      s, [&](const TBaseVertex& v, std::int32_t, std::int32_t) { Add(v); },
      [&](std::int32_t count) {
        Clear();
        compact_.reserve(static_cast<std::size_t>(count));
      });
  if (exact_) exact_->SetLoadedCapacity(loadedCapacity_);
}

namespace {

// The record after its type id: the corners as a nested collection of TFaceVert, then the
// face's own fields. `normalOf(k)` is the normal of the face's corner k.
template <class TCorner, class TNormalOf>
void StoreFace(TObjectStream& s, const TObjFace& f, std::int32_t capacity,
               std::span<const TCorner> corners, TNormalOf normalOf, std::uint16_t collectionId,
               std::uint16_t cornerId) {
  constexpr std::size_t kCornerBytes = 2 + TFaceVertRecord::kMinStoredBytes;
  std::uint8_t* p = s.WriteSpan(2 + 10 + corners.size() * kCornerBytes + 17);
  Put(p, collectionId);
  Put(p, f.CornerCount);
  Put(p, std::max(capacity, f.CornerCount));
  Put(p, std::int16_t{16});
  std::size_t k = 0;
  for (const TCorner& c : corners) {
    Put(p, cornerId);
    Put(p, c.VertexIndex);
    Put(p, c.GroupVertexIndex);
    Put(p, c.TexVertIndex);
    Put(p, normalOf(k++));
  }
  Put(p, f.Id);
  Put(p, f.GroupIndex);
  Put(p, f.MaterialIndex);
  Put(p, f.SmoothIndex);
  Put(p, static_cast<bool>(f.Shown));
}

struct TFaceIds {
  std::uint16_t Collection = 0, Corner = 0;
};

// Reads a face record and the capacity its corner collection reports; each corner goes to
// `add(corner)`.
template <class TAdd>
void LoadFace(TObjectStream& s, TObjFace& f, std::int32_t& capacity, std::size_t firstCorner,
              TAdd add, TFaceIds& ids) {
  constexpr std::size_t kCornerBytes = 2 + TFaceVertRecord::kMinStoredBytes;
  s.GetItemHeader(ClassOf<TCollection>(), ids.Collection);
  const TCollectionHeader ch = TCollectionHeader::Read(s, kCornerBytes);
  f.FirstCorner = static_cast<std::uint32_t>(firstCorner);
  f.CornerCount = ch.Count;
  capacity = ch.Capacity;
  std::int32_t i = 0;
  if (ids.Corner == 0 && ch.Count > 0) {
    // The first corner of the stream goes through the registry; the others match its id.
    s.GetItemHeader(ClassOf<TFaceVertRecord>(), ids.Corner);
    TFaceVertRecord c;
    c.Load(s);
    add(c);
    i = 1;
  }
  constexpr std::int32_t kBatch = 1024;
  while (i < ch.Count) {
    const std::int32_t n = std::min(kBatch, ch.Count - i);
    const std::int64_t at = s.Position();
    const std::uint8_t* p = s.ReadSpan(static_cast<std::size_t>(n) * kCornerBytes);
    for (std::int32_t k = 0; k < n; ++k) {
      std::uint16_t id;
      Take(p, id);
      if (id != ids.Corner)
        s.FailAt(at + static_cast<std::int64_t>(k) * static_cast<std::int64_t>(kCornerBytes),
                 "expected an object of class TFaceVert, found type id " + std::to_string(id));
      TFaceVertRecord c;
      Take(p, c.VertexIndex);
      Take(p, c.GroupVertexIndex);
      Take(p, c.TexVertIndex);
      Take(p, c.NormalIndex);
      add(c);
    }
    i += n;
  }
  const std::uint8_t* p = s.ReadSpan(17);
  Take(p, f.Id);
  Take(p, f.GroupIndex);
  Take(p, f.MaterialIndex);
  Take(p, f.SmoothIndex);
  bool shown = true;
  Take(p, shown);
  f.Shown = shown;
  f.ResetWorkingFlags();
}

}  // namespace

TObjFaceRecord::TObjFaceRecord(TObjectStream& s) {
  TFaceIds ids;
  LoadFace(
      s, Face, CornerCapacity, 0, [&](const TFaceVertRecord& c) { Corners.push_back(c); }, ids);
}

void TObjFaceRecord::Store(TObjectStream& s) const {
  StoreFace(
      s, Face, CornerCapacity, std::span<const TFaceVertRecord>(Corners),
      [&](std::size_t k) { return Corners[k].NormalIndex; }, s.IdForClass(ClassOf<TCollection>()),
      s.IdForClass(ClassOf<TFaceVertRecord>()));
}

// Faces: each face is a TObjFace record whose corners are a nested collection of TFaceVert.
void TFaceList::Put(TObjectStream& s) const {
  s.PutHeader(ClassOf<TCollection>());
  TCollectionHeader::Write(s, Count(), Capacity());
  if (faces_.empty()) return;
  const std::uint16_t faceId = s.IdForClass(ClassOf<TObjFaceRecord>());
  const std::uint16_t collectionId = s.IdForClass(ClassOf<TCollection>());
  const std::uint16_t cornerId = s.IdForClass(ClassOf<TFaceVertRecord>());
  auto odd = capacities_.begin();
  for (std::int32_t fi = 0; fi < Count(); ++fi) {
    const TObjFace& f = faces_[static_cast<std::size_t>(fi)];
    std::int32_t capacity = GrownCapacity(3, f.CornerCount, TCollection::kDelta);
    if (odd != capacities_.end() && odd->first == fi) capacity = (odd++)->second;
    s.WriteUInt16(faceId);
    StoreFace(
        s, f, capacity, Corners(f), [&](std::size_t k) { return NormalIndex(f.FirstCorner + k); },
        collectionId, cornerId);
  }
}

void TFaceList::Get(TObjectStream& s) {
  s.GetHeader(ClassOf<TCollection>());
  const TCollectionHeader h = TCollectionHeader::Read(s, 2 + TObjFace::kMinStoredBytes);
  faces_.clear();
  corners_.clear();
  normals_.clear();
  capacities_.clear();
  faces_.resize(static_cast<std::size_t>(h.Count));
  // Unless arrays of a replaced mesh were handed over, room for as many corners as the rest of
  // the stream could hold, reserved but not touched, so that the corners are read without
  // growing by copies.
  if (corners_.capacity() == 0) {
    constexpr std::size_t kCornerBytes = 2 + TFaceVertRecord::kMinStoredBytes;
    const std::size_t faceBytes = faces_.size() * (2 + TObjFace::kMinStoredBytes);
    const auto left = static_cast<std::size_t>(std::max<std::int64_t>(s.BytesLeft(), 0));
    corners_.reserve(left > faceBytes ? (left - faceBytes) / kCornerBytes : 0);
  }
  std::uint16_t faceId = 0;
  TFaceIds ids;
  for (std::int32_t fi = 0; fi < Count(); ++fi) {
    TObjFace& f = faces_[static_cast<std::size_t>(fi)];
    s.GetItemHeader(ClassOf<TObjFaceRecord>(), faceId);
    std::int32_t capacity = 0;
    LoadFace(
        s, f, capacity, corners_.size(),
        [&](const TFaceVertRecord& c) {
          corners_.push_back(c.Corner());
          SetNormalIndex(corners_.size() - 1, c.NormalIndex);
        },
        ids);
    if (capacity != GrownCapacity(3, f.CornerCount, TCollection::kDelta))
      capacities_.emplace_back(fi, capacity);
  }
  loadedCapacity_ = h.Capacity;
}

// ---------------------------------------------------------------------------------------------
// Groups

TBaseGroup::TBaseGroup(TObjectStream& s) {
  Name = s.ReadString();
  ColorValue = s.ReadInt32();
  Visible = s.ReadBool();
  ColorVector = LoadColour(s, TBaseGroup::kClassName);
}

void TBaseGroup::Store(TObjectStream& s) const {
  s.WriteString(Name);
  s.WriteInt32(ColorValue);
  s.WriteBool(Visible);
  StoreColour(s, ColorVector);
}

TMaterial::TMaterial(TObjectStream& s) : TBaseGroup(s) { Id = s.ReadInt32(); }

void TMaterial::Store(TObjectStream& s) const {
  TBaseGroup::Store(s);
  s.WriteInt32(Id);
}

void TGroupVertList::Store(TObjectStream& s) const {
  List.StoreBody(s);
  s.WriteBool(Duplicates);
  s.WriteBool(AppendOnly);
}

void TGroupVertList::LoadBody(TObjectStream& s) {
  const std::int64_t at = s.Position();
  List.LoadBody(s);
  Duplicates = s.ReadBool();
  AppendOnly = s.ReadBool();
  // Lookups rely on ascending, distinct vertex indices.
  const auto& items = List.Items();
  for (std::size_t i = 1; i < items.size(); ++i)
    if (items[i - 1].VertexIndex >= items[i].VertexIndex)
      s.FailAt(at, "group vertex list is not in ascending vertex order");
}

TGroupMatInfo::TGroupMatInfo(TObjectStream& s) {
  MaterialIndex = s.ReadInt32();
  Visible = s.ReadBool();
  Id = s.ReadInt32();
  MaterialId = s.ReadInt32();
}

void TGroupMatInfo::Store(TObjectStream& s) const {
  s.WriteInt32(MaterialIndex);
  s.WriteBool(Visible);
  s.WriteInt32(Id);
  s.WriteInt32(MaterialId);
}

TMorphTarget::TMorphTarget(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Name = s.ReadString();
  const std::int64_t at = s.Position();
  Positions.Get(s);
  // Positions are coordinates as the mesh's vertices are.
  for (std::int32_t k = 0; s.ChecksNumbers() && k < Positions.Count(); ++k) {
    const TBaseVertex& p = Positions[k];
    for (const double v : {p.X, p.Y, p.Z})
      if (std::fabs(v) > kCoordinateLimit)
        s.FailAt(at, "TMorphTarget \"" + PrintableText(Name) + "\" position " + std::to_string(k) +
                         " is out of range (more than 1e9 in magnitude)");
  }
  Value = s.ReadFiniteSingle(kClassName, "Value");
  Id = s.ReadInt32();
  RangeMax = s.ReadFiniteSingle(kClassName, "RangeMax");
  RangeMin = s.ReadFiniteSingle(kClassName, "RangeMin");
  RangeStep = s.ReadFiniteSingle(kClassName, "RangeStep");
}

void TMorphTarget::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteString(Name);
  Positions.Put(s);
  s.WriteSingle(Value);
  s.WriteInt32(Id);
  s.WriteSingle(RangeMax);
  s.WriteSingle(RangeMin);
  s.WriteSingle(RangeStep);
}

namespace {
thread_local TSpareArrays* gSpareArrays = nullptr;
}  // namespace

TSpareArraysScope::TSpareArraysScope(TSpareArrays& spare) : previous_(gSpareArrays) {
  gSpareArrays = &spare;
}

TSpareArraysScope::~TSpareArraysScope() { gSpareArrays = previous_; }

void TSpareArrays::Collect(TObjData& mesh) {
  vertices_.Items.push_back(std::move(mesh.Vertices.Items()));
  texVerts_.Items.push_back(std::move(mesh.TexVerts.Compact()));
  normals_.Items.push_back(std::move(mesh.Normals.Compact()));
  faces_.Items.push_back(std::move(mesh.Faces.Items()));
  corners_.Items.push_back(std::move(mesh.Faces.AllCorners()));
  cornerNormals_.Items.push_back(std::move(mesh.Faces.NormalColumn()));
  mesh.Groups.ForEach([&](TGroup& g) {
    groupVertices_.Items.push_back(std::move(g.Vertices.List.Items()));
    groupFaces_.Items.push_back(std::move(g.Faces));
  });
}

void TSpareArrays::GiveTo(TObjData& mesh) {
  vertices_.Give(mesh.Vertices.Items());
  texVerts_.Give(mesh.TexVerts.Compact());
  normals_.Give(mesh.Normals.Compact());
  faces_.Give(mesh.Faces.Items());
  corners_.Give(mesh.Faces.AllCorners());
  cornerNormals_.Give(mesh.Faces.NormalColumn());
}

void TSpareArrays::GiveTo(TGroup& group) {
  groupVertices_.Give(group.Vertices.List.Items());
  groupFaces_.Give(group.Faces);
}

TGroup::TGroup(TObjectStream& s) : TBaseGroup(s) {
  if (gSpareArrays) gSpareArrays->GiveTo(*this);
  Reserved = s.ReadInt32();
  Id = s.ReadInt32();
  // Typed collections check that every item read is of their type.
  s.GetHeader(ClassOf<TCollection>());
  MorphTargets.LoadFrom(s);
  const std::int64_t at = s.Position();
  s.GetHeader(ClassOf<TGroupVertList>());
  Vertices.LoadBody(s);
  GetPoint(s, Centre);
  s.GetHeader(ClassOf<TCollection>());
  GroupMats.LoadFrom(s);
  GetPoint(s, BoxMin);
  GetPoint(s, BoxMax);
  MorphTargets.ForEach([&](TMorphTarget& m) {
    m.Group = this;
    if (m.Positions.Count() != Vertices.Count())
      s.FailAt(at, "morph target \"" + m.Name + "\" of group \"" + Name + "\" has " +
                       std::to_string(m.Positions.Count()) + " positions for " +
                       std::to_string(Vertices.Count()) + " vertices");
  });
  GroupMats.ForEach([&](TGroupMatInfo& e) { e.Group = this; });
}

void TGroup::Store(TObjectStream& s) const {
  TBaseGroup::Store(s);
  s.WriteInt32(Reserved);
  s.WriteInt32(Id);
  s.Put(MorphTargets);
  s.Put(Vertices);
  PutPoint(s, Centre);
  s.Put(GroupMats);
  PutPoint(s, BoxMin);
  PutPoint(s, BoxMax);
}

// ---------------------------------------------------------------------------------------------
// The mesh

void TObjData::Store(TObjectStream& s) const {
  // Group boxes, centres and entry numbers are brought up to date before they are written.
  // Refresh changes only derived values, so a mesh being stored is logically unchanged.
  const_cast<TObjData*>(this)->Groups.ForEach([](TGroup& g) { g.Refresh(); });
  IProgress* progress = s.Progress();
  if (progress) {
    progress->SetRange(0, 10);
    progress->SetPosition(0);
  }
  s.WriteInt32(Reserved);
  s.WriteString(Name);
  s.WriteString(FileName);
  s.WriteInt32(Id);
  s.WriteBool(Visible);
  s.WriteByte(ColourMode);
  Vertices.Put(s);
  Report(s, 1);
  TexVerts.Put(s);
  Report(s, 2);
  Normals.Put(s);
  Report(s, 3);
  Faces.Put(s);
  Report(s, 4);
  s.Put(Groups);
  Report(s, 5);
  s.Put(Materials);
  Report(s, 6);
  s.Put(Smooths);
  Report(s, 7);
  s.WriteByte(TrackingMode);
  s.WriteByte(ColourMode);
  s.WriteByte(DisplayMode);
  Report(s, 0);
}

TObjData::TObjData(TObjectStream& s) {
  if (gSpareArrays) gSpareArrays->GiveTo(*this);
  const std::int64_t at = s.Position();
  IProgress* progress = s.Progress();
  if (progress) {
    progress->SetRange(0, 10);
    progress->SetPosition(0);
  }
  Reserved = s.ReadInt32();
  Name = s.ReadString();
  FileName = s.ReadString();
  Id = s.ReadInt32();
  Visible = s.ReadBool();
  ColourMode = s.ReadByte();
  Vertices.Get(s);
  Report(s, 1);
  TexVerts.Get(s);
  Report(s, 2);
  Normals.Get(s);
  Report(s, 3);
  Faces.Get(s);
  Report(s, 4);
  s.GetHeader(ClassOf<TCollection>());
  Groups.LoadFrom(s);
  Report(s, 5);
  s.GetHeader(ClassOf<TCollection>());
  Materials.LoadFrom(s);
  Report(s, 6);
  s.GetHeader(ClassOf<TCollection>());
  Smooths.LoadFrom(s);
  Report(s, 7);
  TrackingMode = s.ReadByte();
  ColourMode = s.ReadByte();
  DisplayMode = s.ReadByte();
  TrackingActive = false;
  Rebuilding = false;
  RebuildAfterLoad(s, at);
  Report(s, 0);
}

void TObjData::RebuildAfterLoad(TObjectStream& s, std::int64_t at) {
  auto fail = [&](const std::string& what) { s.FailAt(at, "mesh \"" + Name + "\": " + what); };

  for (std::int32_t i = 0; i < Vertices.Count(); ++i)
    if (Vertices[i].Index != i)
      fail("vertex " + std::to_string(i) + " has index " + std::to_string(Vertices[i].Index));

  // Faces must name existing groups, materials, smoothing groups and vertices before any
  // reference is followed.
  const auto& corners = Faces.AllCorners();
  for (const TObjFace& f : Faces) {
    if (f.CornerCount < 3) fail("face " + std::to_string(f.Id) + " has fewer than 3 corners");
    if (f.GroupIndex < 0 || f.GroupIndex >= Groups.Count() || f.MaterialIndex < 0 ||
        f.MaterialIndex >= Materials.Count() || f.SmoothIndex < 0 ||
        f.SmoothIndex >= Smooths.Count())
      fail("face " + std::to_string(f.Id) +
           " refers to a missing group, material or smoothing group");
  }

  // 1. Groups: owner, vertices, face lists.
  for (std::int32_t gi = 0; gi < Groups.Count(); ++gi) {
    TGroup& g = *Groups[gi];
    g.Owner = this;
    try {
      g.ResolveVertices(Vertices);
    } catch (const EObjectStream& e) {
      fail(e.what());
    }
  }
  {
    std::vector<std::size_t> perGroup(static_cast<std::size_t>(Groups.Count()));
    for (const TObjFace& f : Faces) ++perGroup[static_cast<std::size_t>(f.GroupIndex)];
    for (std::int32_t gi = 0; gi < Groups.Count(); ++gi)
      Groups[gi]->Faces.reserve(perGroup[static_cast<std::size_t>(gi)]);
  }
  for (std::int32_t fi = 0; fi < Faces.Count(); ++fi)
    Groups[Faces[fi].GroupIndex]->Faces.push_back(fi);
  Report(s, 8);
  // 2. Materials and smoothing groups.
  Materials.ForEach([&](TMaterial& m) { m.Owner = this; });
  Report(s, 9);
  Smooths.ForEach([&](TSmooth& m) { m.Owner = this; });
  Report(s, 10);
  // 3. Corners: each must point at its group's entry for its own vertex.
  for (const TObjFace& f : Faces) {
    const TGroup& g = *Groups[f.GroupIndex];
    for (std::int32_t k = 0; k < f.CornerCount; ++k) {
      const TFaceVert& c = corners[f.FirstCorner + static_cast<std::size_t>(k)];
      if (c.VertexIndex < 0 || c.VertexIndex >= Vertices.Count())
        fail("face " + std::to_string(f.Id) + " refers to vertex " + std::to_string(c.VertexIndex));
      if (c.GroupVertexIndex < 0 || c.GroupVertexIndex >= g.Vertices.Count() ||
          g.Vertices[c.GroupVertexIndex].VertexIndex != c.VertexIndex)
        fail("face " + std::to_string(f.Id) + " has a corner outside its group's vertex list");
      const std::int32_t normal = Faces.NormalIndex(f.FirstCorner + static_cast<std::size_t>(k));
      if (normal >= Normals.Count())
        fail("face " + std::to_string(f.Id) + " refers to normal " + std::to_string(normal));
      if (c.TexVertIndex >= TexVerts.Count())
        fail("face " + std::to_string(f.Id) + " refers to texture coordinate " +
             std::to_string(c.TexVertIndex));
    }
  }
}

}  // namespace tarvel
