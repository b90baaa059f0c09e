#include "mesh/ObjData.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <unordered_map>

namespace tarvel {

namespace {

// One generator per thread, so that workers that each read their own figures draw their ids
// independently and, once seeded, repeatably.
std::mt19937& IdGenerator() {
  thread_local std::mt19937 gen{std::random_device{}()};
  return gen;
}

}  // namespace

TColorVector ColorVectorOf(std::int32_t colorValue) {
  return {static_cast<float>(colorValue & 0xFF) / 255.0f,
          static_cast<float>((colorValue >> 8) & 0xFF) / 255.0f,
          static_cast<float>((colorValue >> 16) & 0xFF) / 255.0f, 1.0f};
}

const TColorVector& SelectedVertexColour() {
  static const TColorVector c = ColorVectorOf(RGBValue(128, 0, 128));
  return c;
}
const TColorVector& PlainVertexColour() {
  static const TColorVector c = ColorVectorOf(RGBValue(255, 0, 128));
  return c;
}
const TColorVector& FarVertexColour() {
  static const TColorVector c = ColorVectorOf(RGBValue(255, 157, 255));
  return c;
}

std::int32_t RandomId() {
  std::uniform_int_distribution<std::int32_t> below(0, 2147483637 - 1);
  return below(IdGenerator()) + 1;
}
void SeedRandomIds(std::uint32_t seed) { IdGenerator().seed(seed); }

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    const auto la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
    const auto lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
    if (la != lb) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Vertices and points

void TObjVertex::SetSelected(bool selected) {
  Selected = selected;
  UpdateColour();
}

void TObjVertex::SetSoftWeight(float weight) {
  SoftWeight = weight;
  UpdateColour();
}

namespace {

// The colours kept apart from the vertices: each distinct colour once, for the whole process.
class TKeptColours {
 public:
  std::uint32_t Keep(const TColorVector& c) {
    const std::array<std::uint32_t, 4> key = std::bit_cast<std::array<std::uint32_t, 4>>(c);
    const std::lock_guard lock(mutex_);
    const auto [it, added] = positions_.try_emplace(key, static_cast<std::uint32_t>(kept_.size()));
    if (added) kept_.push_back(c);
    return it->second;
  }
  TColorVector At(std::uint32_t i) const {
    const std::lock_guard lock(mutex_);
    return kept_[i];
  }

 private:
  struct THash {
    std::size_t operator()(const std::array<std::uint32_t, 4>& k) const {
      std::uint64_t h = 0;
      for (std::uint32_t w : k) h = (h ^ w) * 0x100000001b3ull;
      return static_cast<std::size_t>(h);
    }
  };
  mutable std::mutex mutex_;
  std::deque<TColorVector> kept_;
  std::unordered_map<std::array<std::uint32_t, 4>, std::uint32_t, THash> positions_;
};

TKeptColours& KeptColours() {
  static TKeptColours kept;
  return kept;
}

bool SameBits(const TColorVector& a, const TColorVector& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TColorVector BlendColour(float k, float alpha) {
  // k 0 gives the selected colour, 1 the far one.
  const TColorVector& sel = SelectedVertexColour();
  const TColorVector& far = FarVertexColour();
  return {(far.R - sel.R) * k + sel.R, (far.G - sel.G) * k + sel.G, (far.B - sel.B) * k + sel.B,
          alpha};
}

}  // namespace

TVertexColour TVertexColour::Blend(float k, float alpha) {
  TVertexColour c;
  if (std::bit_cast<std::uint32_t>(alpha) == std::bit_cast<std::uint32_t>(1.0f)) {
    c.kind_ = EKind::Blend;
    c.value_ = std::bit_cast<std::uint32_t>(k);
  } else {
    c.kind_ = EKind::Kept;
    c.value_ = KeptColours().Keep(BlendColour(k, alpha));
  }
  return c;
}

TVertexColour& TVertexColour::operator=(const TColorVector& c) {
  value_ = 0;
  if (SameBits(c, TColorVector{}))
    kind_ = EKind::White;
  else if (SameBits(c, PlainVertexColour()))
    kind_ = EKind::Plain;
  else if (SameBits(c, SelectedVertexColour()))
    kind_ = EKind::Selected;
  else {
    kind_ = EKind::Kept;
    value_ = KeptColours().Keep(c);
  }
  return *this;
}

TVertexColour::operator TColorVector() const {
  switch (kind_) {
    case EKind::White:
      return {};
    case EKind::Plain:
      return PlainVertexColour();
    case EKind::Selected:
      return SelectedVertexColour();
    case EKind::Blend:
      return BlendColour(std::bit_cast<float>(value_), 1.0f);
    case EKind::Kept:
      break;
  }
  return KeptColours().At(value_);
}

float TVertexColour::Alpha() const {
  switch (kind_) {
    case EKind::White:
    case EKind::Plain:
    case EKind::Selected:
    case EKind::Blend:
      return 1.0f;
    case EKind::Kept:
      break;
  }
  return KeptColours().At(value_).A;
}

void TObjVertex::ResetWorkingFlags() {
  Editable = true;
  Anchor = Highlight = Visited = false;
  ShapedLink = nullptr;
  XLocked = false;
}

bool IsOnCentreLine(const TBaseVertex& p) { return -0.000001 < p.X && p.X < 0.0000001; }

bool IsMirrorOf(const TBaseVertex& a, const TBaseVertex& b, float tolerance) {
  return std::fabs(-a.X - b.X) < tolerance && std::fabs(a.Y - b.Y) < tolerance &&
         std::fabs(a.Z - b.Z) < tolerance;
}

float Distance(const TBaseVertex& a, const TBaseVertex& b) {
  const float dx = static_cast<float>(a.X) - static_cast<float>(b.X);
  const float dy = static_cast<float>(a.Y) - static_cast<float>(b.Y);
  const float dz = static_cast<float>(a.Z) - static_cast<float>(b.Z);
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// ---------------------------------------------------------------------------------------------
// Faces

TObjFace& TFaceList::Add(TObjFace face, std::span<const TFaceVert> corners) {
  face.FirstCorner = static_cast<std::uint32_t>(corners_.size());
  face.CornerCount = static_cast<std::int32_t>(corners.size());
  corners_.insert(corners_.end(), corners.begin(), corners.end());
  faces_.push_back(face);
  return faces_.back();
}

TObjFace& TFaceList::Add(TObjFace face, std::span<const TFaceVertRecord> corners) {
  const std::size_t first = corners_.size();
  for (const TFaceVertRecord& c : corners) corners_.push_back(c.Corner());
  for (std::size_t k = 0; k < corners.size(); ++k)
    SetNormalIndex(first + k, corners[k].NormalIndex);
  return AddWithCorners(face, first, static_cast<std::int32_t>(corners.size()));
}

TObjFace& TFaceList::AddWithCorners(TObjFace face, std::size_t first, std::int32_t count) {
  face.FirstCorner = static_cast<std::uint32_t>(first);
  face.CornerCount = count;
  faces_.push_back(face);
  return faces_.back();
}

void TFaceList::SetNormalIndex(std::size_t k, std::int32_t normal) {
  if (k < normals_.size()) {
    normals_[k] = normal;
    return;
  }
  if (normal == corners_[k].VertexIndex) return;
  normals_.reserve(corners_.capacity());
  for (std::size_t i = normals_.size(); i < k; ++i) normals_.push_back(corners_[i].VertexIndex);
  normals_.push_back(normal);
}

std::int32_t TFaceList::CornerCapacity(const TObjFace& f) const {
  if (!capacities_.empty()) {
    const auto fi = static_cast<std::int32_t>(&f - faces_.data());
    const auto it =
        std::lower_bound(capacities_.begin(), capacities_.end(), std::pair{fi, INT32_MIN});
    if (it != capacities_.end() && it->first == fi) return it->second;
  }
  return GrownCapacity(3, f.CornerCount, TCollection::kDelta);
}

std::int32_t TFaceList::Capacity() const {
  return loadedCapacity_ >= Count() ? loadedCapacity_
                                    : GrownCapacity(100, Count(), TCollection::kDelta);
}

// ---------------------------------------------------------------------------------------------
// Groups and materials

void TBaseGroup::SetColor(std::int32_t colorValue) {
  ColorValue = colorValue;
  ColorVector = ColorVectorOf(colorValue);
}

void TMaterial::SelectFaces(bool selected) {
  if (!Owner) return;
  const std::int32_t self = Owner->Materials.IndexOf(this);
  for (TObjFace& f : Owner->Faces) {
    if (f.MaterialIndex != self) continue;
    f.SetSelected(selected);
    if (!selected)
      for (const TFaceVert& c : Owner->Faces.Corners(f)) Owner->CornerVertex(c).SetSoftWeight(0);
  }
}

std::string TGroupMatInfo::Name() const {
  if (!Group || MaterialIndex < 0 || !Group->Owner) return "NoName";
  const TMaterial* m = Group->Owner->Material(MaterialIndex);
  return m ? m->Name : "NoName";
}

bool TGroupVertList::Search(std::int32_t vertexIndex, std::int32_t& index) const {
  // Lower bound, as the sorted collection's search does without duplicates.
  const auto& items = List.Items();
  auto it =
      std::lower_bound(items.begin(), items.end(), vertexIndex,
                       [](const TGroupVertex& e, std::int32_t key) { return e.VertexIndex < key; });
  index = static_cast<std::int32_t>(it - items.begin());
  return it != items.end() && it->VertexIndex == vertexIndex;
}

std::int32_t TGroupVertList::IndexOfVertex(std::int32_t vertexIndex) const {
  std::int32_t index;
  return Search(vertexIndex, index) ? index : -1;
}

void TGroup::SetName(std::string_view name) {
  Name = name;
  if (OnNameChanged) OnNameChanged(*this);
}

void TGroup::SetVisible(bool visible) {
  Visible = visible;
  GroupMats.ForEach([&](TGroupMatInfo& e) {
    e.Visible = visible;
    if (Owner) Owner->CheckTreeNode(e.TreeNode, visible);
  });
  UpdateFaceVisibility();
}

void TGroup::SetUnlocked(bool unlocked) {
  Unlocked = unlocked;
  if (Owner)
    for (std::int32_t f : Faces) Owner->Faces[f].SetGroupUnlocked(unlocked);
  if (!unlocked) SelectFaces(false);
}

void TGroup::SelectFaces(bool selected) {
  if (selected && !Unlocked) return;
  if (!Owner) return;
  for (std::int32_t f : Faces) Owner->Faces[f].SetSelected(selected);
  if (!selected)
    for (const TGroupVertex& e : Vertices)
      if (TObjVertex* v = VertexOf(e)) v->SetSoftWeight(0);
}

void TGroup::SelectFacesOfEntry(const TGroupMatInfo& entry, bool selected) {
  if (!Owner) return;
  for (std::int32_t fi : Faces) {
    TObjFace& f = Owner->Faces[fi];
    if (f.MaterialIndex != entry.MaterialIndex) continue;
    f.SetSelected(selected);
    if (!selected)
      for (const TFaceVert& c : Owner->Faces.Corners(f)) Owner->CornerVertex(c).SetSoftWeight(0);
  }
}

TObjVertex* TGroup::VertexOf(const TGroupVertex& entry) const {
  return Owner ? Owner->Vertices.Find(entry.VertexIndex) : nullptr;
}

TGroupVertex& TGroup::AddVertex(const TObjVertex& vertex) {
  std::int32_t at;
  if (Vertices.Search(vertex.Index, at)) return Vertices[at];
  TGroupVertex entry;
  entry.Shaped.X = vertex.X;
  entry.Shaped.Y = vertex.Y;
  entry.Shaped.Z = vertex.Z;
  entry.VertexIndex = vertex.Index;
  auto& items = Vertices.List.Items();
  return *items.insert(items.begin() + at, entry);
}

TGroupMatInfo* TGroup::EntryForMaterial(std::int32_t materialIndex) const {
  for (const auto& item : GroupMats) {
    auto* e = static_cast<TGroupMatInfo*>(item.get());
    if (e->MaterialIndex == materialIndex) return e;
  }
  return nullptr;
}

TGroupMatInfo* TGroup::AddEntryForMaterial(std::int32_t materialIndex) {
  if (TGroupMatInfo* e = EntryForMaterial(materialIndex)) return e;
  auto entry = std::make_unique<TGroupMatInfo>();
  entry->Group = this;
  entry->MaterialIndex = materialIndex;
  const TMaterial* m = Owner ? Owner->Material(materialIndex) : nullptr;
  entry->MaterialId = m ? m->Id : -1;
  entry->Id = NewEntryId();
  return GroupMats.Add(std::move(entry));
}

TGroupMatInfo* TGroup::EntryById(std::int32_t id) const {
  for (const auto& item : GroupMats)
    if (auto* e = static_cast<TGroupMatInfo*>(item.get()); e->Id == id) return e;
  return nullptr;
}

TMorphTarget* TGroup::MorphTargetById(std::int32_t id) const {
  for (const auto& item : MorphTargets)
    if (auto* m = static_cast<TMorphTarget*>(item.get()); m->Id == id) return m;
  return nullptr;
}

TGroupMatInfo* TGroup::EntryByName(std::string_view name) const {
  for (const auto& item : GroupMats)
    if (auto* e = static_cast<TGroupMatInfo*>(item.get()); SameText(e->Name(), name)) return e;
  return nullptr;
}

TMorphTarget* TGroup::MorphTargetByName(std::string_view name) const {
  for (const auto& item : MorphTargets)
    if (auto* m = static_cast<TMorphTarget*>(item.get()); SameText(m->Name, name)) return m;
  return nullptr;
}

std::int32_t TGroup::NewEntryId() const {
  std::int32_t id;
  do id = RandomId();
  while (EntryById(id));
  return id;
}

std::int32_t TGroup::NewMorphTargetId() const {
  std::int32_t id;
  do id = RandomId();
  while (MorphTargetById(id));
  return id;
}

void TGroup::ComputeBox() {
  TBox3f box;
  if (Owner)
    for (const TGroupVertex& e : Vertices)
      if (const TObjVertex* v = VertexOf(e))
        box.Take(static_cast<float>(v->X), static_cast<float>(v->Y), static_cast<float>(v->Z));
  BoxMin.X = box.MinX;
  BoxMin.Y = box.MinY;
  BoxMin.Z = box.MinZ;
  BoxMax.X = box.MaxX;
  BoxMax.Y = box.MaxY;
  BoxMax.Z = box.MaxZ;
}

void TGroup::ComputeCentre() {
  ComputeBox();
  // The box is kept in single precision, and so is its centre.
  auto mid = [](double lo, double hi) {
    const float l = static_cast<float>(lo);
    const float h = static_cast<float>(hi);
    return static_cast<double>(l + (h - l) / 2);
  };
  Centre.X = mid(BoxMin.X, BoxMax.X);
  Centre.Y = mid(BoxMin.Y, BoxMax.Y);
  Centre.Z = mid(BoxMin.Z, BoxMax.Z);
}

void TGroup::Refresh() { ComputeCentre(); }

void TGroup::UpdateFaceVisibility() {
  if (!Owner) return;
  TObjData& mesh = *Owner;
  for (std::int32_t fi : Faces) {
    TObjFace& f = mesh.Faces[fi];
    const TGroupMatInfo* entry = EntryForMaterial(f.MaterialIndex);
    f.Shown = entry ? entry->Visible : false;
    if (f.Shown && mesh.Side != 0) {
      for (const TFaceVert& c : mesh.Faces.Corners(f)) {
        const double x = mesh.CornerVertex(c).X;
        const bool keep = mesh.Side == 1 ? x <= 0.0000001 : x >= -0.000001;
        if (!keep) {
          f.Shown = false;
          break;
        }
      }
    }
  }
  mesh.UpdateVertexFlags();
}

void TGroup::ResolveVertices(const TRecordList<TObjVertex>& vertices) {
  for (const TGroupVertex& e : Vertices)
    if (e.VertexIndex < -1 || e.VertexIndex >= vertices.Count())
      throw EObjectStream("Damaged mesh: group \"" + Name + "\" refers to vertex " +
                          std::to_string(e.VertexIndex) + " of " +
                          std::to_string(vertices.Count()));
}

// ---------------------------------------------------------------------------------------------
// The mesh

TGroup* TObjData::GroupById(std::int32_t id) const {
  for (const auto& g : Groups)
    if (auto* group = static_cast<TGroup*>(g.get()); group->Id == id) return group;
  return nullptr;
}

TMaterial* TObjData::MaterialById(std::int32_t id) const {
  for (const auto& m : Materials)
    if (auto* mat = static_cast<TMaterial*>(m.get()); mat->Id == id) return mat;
  return nullptr;
}

TObjVertex* TObjData::VertexById(std::int32_t id) {
  // Ids are load indices, so the vertex at that index is the usual answer.
  if (TObjVertex* v = Vertices.Find(id); v && v->Id == id) return v;
  for (TObjVertex& v : Vertices)
    if (v.Id == id) return &v;
  return nullptr;
}

TGroup* TObjData::GroupByName(std::string_view name) const {
  for (const auto& g : Groups)
    if (auto* group = static_cast<TGroup*>(g.get()); SameText(group->Name, name)) return group;
  return nullptr;
}

TMaterial* TObjData::MaterialByName(std::string_view name) const {
  for (const auto& m : Materials)
    if (auto* mat = static_cast<TMaterial*>(m.get()); SameText(mat->Name, name)) return mat;
  return nullptr;
}

void TObjData::SetSide(std::uint8_t side) {
  Side = side;
  Rebuilding = true;
  Groups.ForEach([](TGroup& g) { g.UpdateFaceVisibility(); });
  Rebuilding = false;
  UpdateVertexFlags();
}

bool TObjData::HasKeptColours() const {
  return std::any_of(Vertices.begin(), Vertices.end(),
                     [](const TObjVertex& v) { return v.Colour.IsKept(); });
}

void TObjData::UpdateVertexFlags() {
  if (Rebuilding) return;
  if (VertexFlagsDeferred) {
    VertexFlagsStale = true;
    return;
  }
  VertexFlagsStale = false;
  // The flags of the faces are gathered into one byte per vertex (a small array that stays in
  // the cache), then every vertex takes its flags and colour in one sequential pass.
  enum : std::uint8_t { kSelected = 1, kShown = 2, kEditable = 4 };
  thread_local std::vector<std::uint8_t> gathered;
  gathered.assign(static_cast<std::size_t>(Vertices.Count()), 0);
  std::uint8_t* const bits = gathered.data();
  const TFaceVert* corners = Faces.AllCorners().data();
  for (const TObjFace& f : Faces) {
    const bool editable = f.IsEditable();
    const auto b = static_cast<std::uint8_t>((f.Selected ? kSelected : 0) | (f.Shown ? kShown : 0) |
                                             (editable ? kEditable : 0));
    if (b == 0) continue;
    for (const TFaceVert* c = corners + f.FirstCorner; c != corners + f.FirstCorner + f.CornerCount;
         ++c)
      bits[c->VertexIndex] |= b;
  }
  // The colour follows the final selection; the result is the same as recolouring at every
  // change of the flag.
  std::size_t i = 0;
  for (TObjVertex& v : Vertices) {
    const std::uint8_t b = bits[i++];
    v.Selected = (b & kSelected) != 0;
    v.Shown = (b & kShown) != 0;
    v.Editable = (b & kEditable) != 0;
    v.UpdateColour();
  }
}

void TObjData::SelectAllFaces(bool selected) {
  for (TObjFace& f : Faces) f.SetSelected(selected);
  for (TObjVertex& v : Vertices) {
    v.SetSoftWeight(0);
    v.SetSelected(false);
    v.Highlight = false;
    v.Anchor = false;
  }
}

void TObjData::InvertFaceSelection() {
  for (TObjFace& f : Faces) f.SetSelected(!f.Selected);
}

void TObjData::SetAllVisible(bool visible) {
  Visible = visible;
  Groups.ForEach([&](TGroup& g) {
    g.SetVisible(visible);
    CheckTreeNode(g.TreeNode, visible);
  });
  Materials.ForEach([&](TMaterial& m) {
    m.SetVisible(visible);
    CheckTreeNode(m.TreeNode, visible);
  });
}

void TObjData::ApplyMaterialVisibility(const TMaterial& material) {
  const std::int32_t index = Materials.IndexOf(&material);
  Groups.ForEach([&](TGroup& g) {
    if (TGroupMatInfo* e = g.EntryForMaterial(index)) {
      e->Visible = material.Visible;
      CheckTreeNode(e->TreeNode, material.Visible);
    }
    g.UpdateFaceVisibility();
  });
}

void TObjData::BeginTracking(const TGroup* except) {
  TrackingActive = true;
  Groups.ForEach([&](TGroup& g) { g.Tracking = &g != except; });
}

void TObjData::EndTracking() {
  TrackingActive = false;
  Groups.ForEach([](TGroup& g) { g.Tracking = false; });
}

std::unique_ptr<TVertCopy> TObjData::BackupSelection() {
  UpdateVertexFlags();
  auto copy = std::make_unique<TVertCopy>();
  copy->Mesh = this;
  // Each copy is made by writing the vertex to a memory stream and reading it back, so it
  // carries exactly the stored fields; working flags and the shaped link are not copied.
  TObjectStream s;
  for (const TObjVertex& v : Vertices) {
    if (!v.TakesPart()) continue;
    s.Clear();
    v.Store(s);
    s.Seek(0);
    copy->Copies.Add(TObjVertex{}).Load(s);
  }
  return copy;
}

void TObjData::LinkShapedPositions() {
  for (TObjVertex& v : Vertices) v.ShapedLink = nullptr;
  Groups.ForEach([&](TGroup& g) {
    for (TGroupVertex& e : g.Vertices)
      if (TObjVertex* v = Vertices.Find(e.VertexIndex)) v->ShapedLink = &e.Shaped;
  });
}

TPoint3f TObjData::GroupsCentre() {
  TBox3f box;
  Groups.ForEach([&](TGroup& g) {
    g.Refresh();
    box.Take(static_cast<float>(g.Centre.X), static_cast<float>(g.Centre.Y),
             static_cast<float>(g.Centre.Z));
  });
  return box.Centre();
}

TPoint3f TObjData::SelectionCentre(bool& found) const {
  found = false;
  TBox3f box;
  for (const TObjVertex& v : Vertices) {
    if (!v.TakesPart()) continue;
    found = true;
    const TBaseVertex& p = v.ShapedLink ? *v.ShapedLink : static_cast<const TBaseVertex&>(v);
    box.Take(static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z));
  }
  return found ? box.Centre() : TPoint3f{};
}

std::unique_ptr<TObjData> CopyMesh(const TObjData& mesh) {
  TObjectStream s;
  s.Put(mesh);
  s.Seek(0);
  return s.GetAs<TObjData>();
}

}  // namespace tarvel
