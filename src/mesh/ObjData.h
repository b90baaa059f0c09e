// The records of one loaded Poser figure: vertices, texture coordinates, normals, faces with
// their corners, and the named groups, materials and smoothing groups the faces belong to.
//
// Hot records (vertices, points, corners, faces, group vertex entries) are plain values held
// in contiguous arrays; references between them are indices into their owner's arrays, which
// never change size once a mesh is loaded. Groups, materials, smoothing groups, group-material
// entries and morph targets are few and are heap objects owned by their collections.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/ObjectStream.h"
#include "mesh/RecordList.h"

namespace tarvel {

class TObjData;
class TGroup;
struct TMTGroupInfoList;

// Four singles red, green, blue, alpha in 0..1.
struct TColorVector {
  float R = 1, G = 1, B = 1, A = 1;
  bool operator==(const TColorVector&) const = default;
};

// A colour value 0x00BBGGRR.
constexpr std::int32_t RGBValue(int r, int g, int b) { return r | (g << 8) | (b << 16); }
constexpr std::int32_t kWhite = RGBValue(255, 255, 255);
TColorVector ColorVectorOf(std::int32_t colorValue);

// Display colours of vertices in the colour-by-selection mode.
const TColorVector& SelectedVertexColour();  // RGB(128, 0, 128)
const TColorVector& PlainVertexColour();     // RGB(255, 0, 128)
const TColorVector& FarVertexColour();       // RGB(255, 157, 255)

// The display colour of a vertex, read as a TColorVector. A vertex is white until it is first
// coloured, then it shows the plain or the selected colour or the blend of its soft weight
// (alpha 1), so the colour keeps only which of these it is and the blend's k. Any other colour
// (from a stream, or a blend with another alpha) is kept in a table of distinct colours shared
// by the process, of which the colour keeps the position.
class TVertexColour {
 public:
  TVertexColour() = default;
  TVertexColour(const TColorVector& c) { *this = c; }  // NOLINT: a colour is a vertex colour
  TVertexColour& operator=(const TColorVector& c);
  operator TColorVector() const;  // NOLINT: reads as a colour

  // The plain and the selected display colours.
  static TVertexColour Plain() { return TVertexColour(EKind::Plain); }
  static TVertexColour Selected() { return TVertexColour(EKind::Selected); }
  // The blend between the selected and the far colour, k 0 selected, 1 far, alpha `alpha`.
  static TVertexColour Blend(float k, float alpha);
  float Alpha() const;
  // Whether the colour is kept in the table (an alpha other than 1, or a colour as it was read).
  bool IsKept() const { return kind_ == EKind::Kept; }

  friend bool operator==(const TVertexColour& a, const TVertexColour& b) {
    return TColorVector(a) == TColorVector(b);
  }
  friend bool operator==(const TVertexColour& a, const TColorVector& b) {
    return TColorVector(a) == b;
  }

 private:
  enum class EKind : std::uint8_t { White, Plain, Selected, Blend, Kept };
  explicit TVertexColour(EKind kind) : kind_(kind) {}
  std::uint32_t value_ = 0;  // the blend's k as bits, or the position in the table
  EKind kind_ = EKind::White;
};

// Scene-tree nodes are opaque to the core. The owner of the live edit state hands the window's
// scene tree to its meshes (TObjData::TreeNodes), which check and uncheck the nodes when the
// visibility of the objects they show changes, and keep the nodes' expansion with the view.
class ITreeNodeSink {
 public:
  virtual ~ITreeNodeSink() = default;
  virtual void SetNodeChecked(void* node, bool checked) = 0;
  virtual bool IsNodeExpanded(void* node) const = 0;
  virtual void SetNodeExpanded(void* node, bool expanded) = 0;
};

// A random id in 1..2147483637 for meshes, group-material entries and morph targets. Each
// thread draws from its own generator; seeding it makes the calling thread's ids repeatable.
std::int32_t RandomId();
void SeedRandomIds(std::uint32_t seed);

// ---------------------------------------------------------------------------------------------
// Points and vertices

// A point: vertices, normals, texture coordinates (u, v, w), box corners, centres, morph
// positions.
struct TBaseVertex {
  static constexpr std::string_view kClassName = "TBaseVertex";
  static constexpr std::uint16_t kStreamId = 1000;
  static constexpr std::size_t kMinStoredBytes = 28;

  double X = 0, Y = 0, Z = 0;
  std::int32_t Index = -1;

  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

struct TObjVertex : TBaseVertex {
  static constexpr std::string_view kClassName = "TObjVertex";
  static constexpr std::uint16_t kStreamId = 1005;
  static constexpr std::size_t kMinStoredBytes = 59;

  std::int32_t Id = -1;
  std::int32_t MirrorIndex = -1;  // Index of the mirror partner; -10 on the centre line
  float SoftWeight = 0;
  TBaseVertex* ShapedLink = nullptr;  // the vertex's shaped position in its group, or none
  // The colour, side and flags share the last 8 bytes: a vertex takes 56.
  [[no_unique_address]] TVertexColour Colour;
  std::uint8_t SideCode = 3;  // 0 left (x >= 0), 1 right, 2 centre line, 3 not classified
  bool Selected : 1 = false;
  bool Shown : 1 = false;
  bool Editable : 1 = true;
  bool Anchor : 1 = false;
  bool Highlight : 1 = false;
  bool Visited : 1 = false;
  bool XLocked : 1 = false;

  // An X-locked vertex keeps its x; every move writes x through here.
  void SetX(double x) {
    if (!XLocked) X = x;
  }
  void SetSelected(bool selected);
  void SetSoftWeight(float weight);
  void UpdateColour() {
    if (Selected)
      Colour = TVertexColour::Selected();
    else if (SoftWeight == 0)
      Colour = TVertexColour::Plain();
    else  // weight 1 gives the selected colour, a weight near 0 the far one; alpha is kept
      Colour = TVertexColour::Blend(1 - SoftWeight, Colour.Alpha());
  }
  // Takes part in a transform, the selection centre and backups.
  bool TakesPart() const { return Selected || SoftWeight > 0; }
  // Resets the working flags that are never stored.
  void ResetWorkingFlags();

  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

bool IsOnCentreLine(const TBaseVertex& p);
bool IsMirrorOf(const TBaseVertex& a, const TBaseVertex& b, float tolerance);
float Distance(const TBaseVertex& a, const TBaseVertex& b);

// The mesh's vertex normals, streamed as a list of points. Normals the reader computes are
// singles whose index is their position, so they are kept as three singles each; a list read
// from a stream with any other point keeps every point exactly as read.
class TNormalList {
 public:
  struct TNormal {
    float X = 0, Y = 0, Z = 0;
  };

  std::int32_t Count() const {
    return static_cast<std::int32_t>(exact_ ? exact_->Count() : compact_.size());
  }
  // The point: position as index in the compact form.
  TBaseVertex operator[](std::int32_t i) const;
  void Clear();
  // The reader's normals: n of them, each `fill`, to be written in place.
  std::span<TNormal> Reset(std::size_t n, TNormal fill);
  // The compact array, for handing memory between copies.
  THugeVector<TNormal>& Compact() { return compact_; }
  // Whether the points are held as read because they are not all singles at their position.
  bool HoldsExactPoints() const { return exact_ != nullptr; }

  void Put(TObjectStream& s) const;
  void Get(TObjectStream& s);

 private:
  THugeVector<TNormal> compact_;
  std::unique_ptr<TRecordList<TBaseVertex>> exact_;
  std::int32_t loadedCapacity_ = -1;
};

// The mesh's texture coordinates, streamed as a list of points. Coordinates read from OBJ
// files have no w (0) and their position as index, so they are kept as the two doubles u and
// v; a list with any other point keeps every point exactly as given.
class TTexCoordList {
 public:
  struct TTexCoord {
    double U = 0, V = 0;
  };

  std::int32_t Count() const {
    return static_cast<std::int32_t>(exact_ ? exact_->Count() : compact_.size());
  }
  // The point: u, v, w and index.
  TBaseVertex operator[](std::int32_t i) const;
  void Add(const TBaseVertex& p);
  void Reserve(std::size_t n);
  void Clear();
  // The compact array, for handing memory between copies.
  THugeVector<TTexCoord>& Compact() { return compact_; }
  // Whether the points are held as given because some has a w or an index of its own.
  bool HoldsExactPoints() const { return exact_ != nullptr; }

  // Points by value, in order.
  class TIterator {
   public:
    using value_type = TBaseVertex;
    using difference_type = std::ptrdiff_t;
    TIterator() = default;
    TIterator(const TTexCoordList* list, std::int32_t i) : list_(list), i_(i) {}
    TBaseVertex operator*() const { return (*list_)[i_]; }
    TIterator& operator++() {
      ++i_;
      return *this;
    }
    TIterator operator++(int) {
      TIterator old = *this;
      ++i_;
      return old;
    }
    bool operator==(const TIterator& o) const { return i_ == o.i_; }

   private:
    const TTexCoordList* list_ = nullptr;
    std::int32_t i_ = 0;
  };
  TIterator begin() const { return {this, 0}; }
  TIterator end() const { return {this, Count()}; }

  void Put(TObjectStream& s) const;
  void Get(TObjectStream& s);

 private:
  // From here on every point is kept as given.
  void MakeExact();

  THugeVector<TTexCoord> compact_;
  std::unique_ptr<TRecordList<TBaseVertex>> exact_;
  std::int32_t loadedCapacity_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Faces

// One corner of a face. Its references are indices: the mesh vertex, the entry in the face's
// group's vertex list and the texture coordinate (-1 for none). Its normal is kept by the face
// list (TFaceList::NormalIndex), as almost every corner's normal is its vertex's.
struct TFaceVert {
  std::int32_t VertexIndex = -1;
  std::int32_t GroupVertexIndex = -1;
  std::int32_t TexVertIndex = -1;
};

// A corner as it is stored: its references and its normal.
struct TFaceVertRecord {
  static constexpr std::string_view kClassName = "TFaceVert";
  static constexpr std::uint16_t kStreamId = 1006;
  static constexpr std::size_t kMinStoredBytes = 16;

  std::int32_t VertexIndex = -1;
  std::int32_t GroupVertexIndex = -1;
  std::int32_t TexVertIndex = -1;
  std::int32_t NormalIndex = -1;

  TFaceVert Corner() const { return {VertexIndex, GroupVertexIndex, TexVertIndex}; }
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

// A face; its corners live in the mesh's corner array at FirstCorner.
struct TObjFace {
  static constexpr std::string_view kClassName = "TObjFace";
  static constexpr std::uint16_t kStreamId = 1007;
  // Corners collection (2 + 10 bytes at least), four int32 and a byte.
  static constexpr std::size_t kMinStoredBytes = 12 + 17;

  std::int32_t Id = -1;
  std::int32_t GroupIndex = -1;
  std::int32_t MaterialIndex = -1;
  std::int32_t SmoothIndex = -1;
  std::uint32_t FirstCorner = 0;
  std::int32_t CornerCount = 0;
  // One byte of flags: a face takes 28 bytes.
  bool Shown : 1 = true;
  bool Selected : 1 = false;
  bool GroupUnlocked : 1 = true;
  bool RightUnlocked : 1 = true;
  bool LeftUnlocked : 1 = true;
  bool Visited : 1 = false;

  bool IsEditable() const { return GroupUnlocked && RightUnlocked && LeftUnlocked; }
  // Selects only an editable face; returns whether it is editable.
  bool SetSelected(bool selected) {
    Selected = selected && IsEditable();
    return IsEditable();
  }
  void SetGroupUnlocked(bool v) {
    GroupUnlocked = v;
    if (!v) Selected = false;
  }
  void SetRightUnlocked(bool v) {
    RightUnlocked = v;
    if (!v) Selected = false;
  }
  void SetLeftUnlocked(bool v) {
    LeftUnlocked = v;
    if (!v) Selected = false;
  }
  void ResetWorkingFlags() {
    Selected = false;
    GroupUnlocked = RightUnlocked = LeftUnlocked = true;
    Visited = false;
  }
};

// A face read or written on its own, with its own corners. Inside a mesh, faces keep their
// corners in the mesh's corner array instead; both are the same record on a stream.
class TObjFaceRecord : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TObjFace";
  static constexpr std::uint16_t kStreamId = 1007;
  TObjFaceRecord() = default;
  explicit TObjFaceRecord(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  TObjFace Face;
  std::vector<TFaceVertRecord> Corners;
  std::int32_t CornerCapacity = 3;  // the capacity its corner collection reports
};

// The mesh's faces and, in one array, all their corners.
class TFaceList {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(faces_.size()); }
  TObjFace& operator[](std::int32_t i) { return faces_[static_cast<std::size_t>(i)]; }
  const TObjFace& operator[](std::int32_t i) const { return faces_[static_cast<std::size_t>(i)]; }
  TObjFace* Find(std::int32_t i) { return i >= 0 && i < Count() ? &(*this)[i] : nullptr; }
  auto begin() { return faces_.begin(); }
  auto end() { return faces_.end(); }
  auto begin() const { return faces_.begin(); }
  auto end() const { return faces_.end(); }

  std::span<TFaceVert> Corners(const TObjFace& f) {
    return {corners_.data() + f.FirstCorner, static_cast<std::size_t>(f.CornerCount)};
  }
  std::span<const TFaceVert> Corners(const TObjFace& f) const {
    return {corners_.data() + f.FirstCorner, static_cast<std::size_t>(f.CornerCount)};
  }
  THugeVector<TFaceVert>& AllCorners() { return corners_; }
  const THugeVector<TFaceVert>& AllCorners() const { return corners_; }
  THugeVector<TObjFace>& Items() { return faces_; }
  const THugeVector<TObjFace>& Items() const { return faces_; }

  // The capacity the face's corner collection reports: what a stream gave, else the growth of
  // 3 slots by 10 at a time.
  std::int32_t CornerCapacity(const TObjFace& f) const;

  // The normal of corner k of AllCorners(): its vertex's unless one was set apart.
  std::int32_t NormalIndex(std::size_t k) const {
    return k < normals_.size() ? normals_[k] : corners_[k].VertexIndex;
  }
  // Sets the normal of corner k; a list whose normals are all their vertices' holds no column.
  void SetNormalIndex(std::size_t k, std::int32_t normal);
  // Every corner's normal is its vertex's.
  void ResetNormalIndices() { normals_.clear(); }
  // The normals set apart, one per corner up to the last one set; for handing memory between
  // copies.
  THugeVector<std::int32_t>& NormalColumn() { return normals_; }

  // Appends a face with these corners; its corner fields are set here.
  TObjFace& Add(TObjFace face, std::span<const TFaceVert> corners);
  TObjFace& Add(TObjFace face, std::span<const TFaceVertRecord> corners);
  // Appends a face whose corners were already appended to AllCorners() at `first`.
  TObjFace& AddWithCorners(TObjFace face, std::size_t first, std::int32_t count);
  std::int32_t Capacity() const;

  void Put(TObjectStream& s) const;
  void Get(TObjectStream& s);

 private:
  THugeVector<TObjFace> faces_;
  THugeVector<TFaceVert> corners_;
  THugeVector<std::int32_t> normals_;  // empty while every corner's normal is its vertex's
  // Faces, in order, whose corner capacity read from a stream is not the grown one.
  std::vector<std::pair<std::int32_t, std::int32_t>> capacities_;
  std::int32_t loadedCapacity_ = -1;
};

// ---------------------------------------------------------------------------------------------
// Groups, materials, smoothing groups

class TBaseGroup : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TBaseGroup";
  static constexpr std::uint16_t kStreamId = 1001;

  explicit TBaseGroup(TObjData* owner) : Owner(owner) {}
  explicit TBaseGroup(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  virtual void SetName(std::string_view name) { Name = name; }
  virtual void SetVisible(bool visible) { Visible = visible; }
  void SetColor(std::int32_t colorValue);

  TObjData* Owner = nullptr;
  std::string Name;
  std::int32_t ColorValue = kWhite;
  bool Visible = true;
  TColorVector ColorVector;
  std::int32_t ImageIndex = -1;
  void* TreeNode = nullptr;
};

class TSmooth : public TBaseGroup {
 public:
  static constexpr std::string_view kClassName = "TSmooth";
  static constexpr std::uint16_t kStreamId = 1010;
  using TBaseGroup::TBaseGroup;
  std::uint16_t StreamId() const override { return kStreamId; }
};

class TMaterial : public TBaseGroup {
 public:
  static constexpr std::string_view kClassName = "TMaterial";
  static constexpr std::uint16_t kStreamId = 1009;
  explicit TMaterial(TObjData* owner) : TBaseGroup(owner) {}
  explicit TMaterial(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // Every face of the mesh with this material; deselecting also clears the soft weights of
  // their vertices.
  void SelectFaces(bool selected);

  std::int32_t Id = -1;
};

// One entry of a group's vertex list: the group's own, shaped position of a mesh vertex.
struct TGroupVertex {
  static constexpr std::string_view kClassName = "TGroupVertex";
  static constexpr std::uint16_t kStreamId = 1003;
  static constexpr std::size_t kMinStoredBytes = 2 + 28 + 4;

  // The mesh vertex's index lies in the point's tail padding: an entry takes 32 bytes.
  [[no_unique_address]] TBaseVertex Shaped;
  std::int32_t VertexIndex = -1;  // the mesh vertex, -1 for none

  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

// A group's vertex list, in ascending order of mesh vertex index, one entry per vertex.
class TGroupVertList : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TGroupVertList";
  static constexpr std::uint16_t kStreamId = 1025;

  TGroupVertList() = default;
  explicit TGroupVertList(TObjectStream& s) { LoadBody(s); }
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;
  void LoadBody(TObjectStream& s);

  std::int32_t Count() const { return List.Count(); }
  TGroupVertex& operator[](std::int32_t i) { return List[i]; }
  const TGroupVertex& operator[](std::int32_t i) const { return List[i]; }
  auto begin() { return List.begin(); }
  auto end() { return List.end(); }
  auto begin() const { return List.begin(); }
  auto end() const { return List.end(); }

  // Binary search by mesh vertex index: whether it is there, and its position or the position
  // where it would go.
  bool Search(std::int32_t vertexIndex, std::int32_t& index) const;
  // The position of the entry of this mesh vertex, or -1.
  std::int32_t IndexOfVertex(std::int32_t vertexIndex) const;

  TRecordList<TGroupVertex> List{100};
  bool Duplicates = false;
  bool AppendOnly = false;
};

class TGroupMatInfo : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TGroupMatInfo";
  static constexpr std::uint16_t kStreamId = 1012;

  TGroupMatInfo() = default;
  explicit TGroupMatInfo(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;
  // Its material's name, or "NoName" without a group or material.
  std::string Name() const;

  std::int32_t Id = -1;
  TGroup* Group = nullptr;
  std::int32_t MaterialIndex = -1;
  std::int32_t MaterialId = -1;
  void* TreeNode = nullptr;
  bool Visible = true;
};

class TMorphTarget : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TMorphTarget";
  static constexpr std::uint16_t kStreamId = 1002;

  explicit TMorphTarget(TGroup* group) : Group(group) {}
  explicit TMorphTarget(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  std::int32_t Reserved = 0;
  TGroup* Group = nullptr;
  std::string Name = "NoName";
  std::int32_t Id = -1;
  TRecordList<TBaseVertex> Positions{100};
  float Value = 0;
  void* TreeNode = nullptr;
  float RangeMax = 10000;
  float RangeMin = -10000;
  float RangeStep = 0.0077f;

  // Writes the positions as Poser target geometry: "v " lines only, each number in fixed
  // notation with 6 decimals in a field of at least 10, "." as the decimal point, CR LF. The
  // file is replaced only when all of it was written; a failure raises EFileWrite.
  void ExportTargetGeometry(const std::string& fileName) const;
};

// The text of one target geometry line for a position.
std::string TargetGeometryLine(const TBaseVertex& p);

class TGroup : public TBaseGroup {
 public:
  static constexpr std::string_view kClassName = "TGroup";
  static constexpr std::uint16_t kStreamId = 1004;

  explicit TGroup(TObjData* owner) : TBaseGroup(owner) {}
  explicit TGroup(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetName(std::string_view name) override;
  void SetVisible(bool visible) override;

  void SetUnlocked(bool unlocked);
  void SelectFaces(bool selected);
  void SelectFacesOfEntry(const TGroupMatInfo& entry, bool selected);
  // The entry of this mesh vertex, made with a copy of its position when there is none.
  TGroupVertex& AddVertex(const TObjVertex& vertex);
  TGroupMatInfo* EntryForMaterial(std::int32_t materialIndex) const;
  TGroupMatInfo* AddEntryForMaterial(std::int32_t materialIndex);
  TGroupMatInfo* EntryById(std::int32_t id) const;
  TMorphTarget* MorphTargetById(std::int32_t id) const;
  TGroupMatInfo* EntryByName(std::string_view name) const;
  TMorphTarget* MorphTargetByName(std::string_view name) const;
  // An id in 1..2147483637 that no group-material entry (or morph target) of this group has.
  std::int32_t NewEntryId() const;
  std::int32_t NewMorphTargetId() const;

  void ComputeBox();
  void ComputeCentre();
  void Refresh();
  void UpdateFaceVisibility();
  // Checks that every entry refers to a vertex of the mesh (or none).
  void ResolveVertices(const TRecordList<TObjVertex>& vertices);

  // The mesh vertex of an entry, or none.
  TObjVertex* VertexOf(const TGroupVertex& entry) const;

  // Reads Poser target geometry into a new morph target of this group. `code`: 0 success (the
  // target is returned, appended to MorphTargets), 1 file not found, 2 wrong number of
  // vertices (nothing changes). A file that cannot be read raises EObjRead.
  TMorphTarget* ImportMorphTarget(const std::string& fileName, int& code,
                                  IProgress* progress = nullptr);
  // The morph-target positions a transform must move with the vertices that take part: one
  // entry per (taking-part vertex, target); none when there is nothing to move.
  std::unique_ptr<TMTGroupInfoList> MorphInfoList() const;

  // Shaped positions: every entry's vertex with every morph target dialled in.
  void ApplyMorphTargets();
  // Every dial to 0, then the shaped positions again.
  void ResetMorphDials();

  std::int32_t Reserved = 0;
  std::int32_t Id = -1;
  TTypedCollection<TMorphTarget> MorphTargets{4};
  TGroupVertList Vertices;
  TBaseVertex Centre;
  std::function<void(TGroup&)> OnNameChanged;
  TTypedCollection<TGroupMatInfo> GroupMats{5};
  std::vector<std::int32_t> Faces;  // indices of the mesh's faces in this group, in mesh order
  bool Tracking = false;
  TBaseVertex BoxMin, BoxMax;
  void* MorphTargetsNode = nullptr;
  void* MaterialsNode = nullptr;
  bool Unlocked = true;
};

// ---------------------------------------------------------------------------------------------
// Working records, never stored

// Full copies of the vertices of one mesh that take part in a transform.
struct TVertCopy {
  TObjData* Mesh = nullptr;
  TRecordList<TObjVertex> Copies{100};
};

struct TObjVertCoordBackup {
  TObjVertex* Vertex = nullptr;
  TBaseVertex Saved;
  // x goes back through SetX, so an X-locked vertex keeps its x.
  void Restore() const {
    Vertex->SetX(Saved.X);
    Vertex->Y = Saved.Y;
    Vertex->Z = Saved.Z;
  }
};

struct TBaseVertCoordBackup {
  TBaseVertex* Point = nullptr;
  TBaseVertex Saved;
  void Restore() const {
    Point->X = Saved.X;
    Point->Y = Saved.Y;
    Point->Z = Saved.Z;
  }
};

struct TMTVertInfo {
  TObjVertex* Vertex = nullptr;
  TBaseVertex* Position = nullptr;  // a morph-target position
  TBaseVertex Saved;
};

struct TMTGroupInfoList {
  TGroup* Group = nullptr;
  std::vector<TMTVertInfo> Items;
};

struct TObjVertInfo {
  TObjVertex* Vertex = nullptr;
  float PreviousWeight = 0;
  float Distance = 0;
};

struct TObJVertSelInfo {
  TObjVertex* Vertex = nullptr;
  bool PreviousSelected = false;
};

struct TObjFaceSelInfo {
  TObjFace* Face = nullptr;
  bool PreviousSelected = false;
};

struct TPoint3f {
  float X = 0, Y = 0, Z = 0;
  bool operator==(const TPoint3f&) const = default;
};

// An axis-aligned box kept in single precision: limits start at +-1e20 and take points by strict
// comparison per axis.
struct TBox3f {
  static constexpr float kStart = 1e20f;
  float MinX = kStart, MinY = kStart, MinZ = kStart;
  float MaxX = -kStart, MaxY = -kStart, MaxZ = -kStart;
  void Take(float x, float y, float z) {
    if (x < MinX) MinX = x;
    if (x > MaxX) MaxX = x;
    if (y < MinY) MinY = y;
    if (y > MaxY) MaxY = y;
    if (z < MinZ) MinZ = z;
    if (z > MaxZ) MaxZ = z;
  }
  void Take(const TPoint3f& p) { Take(p.X, p.Y, p.Z); }
  TPoint3f Centre() const {
    return {MinX + (MaxX - MinX) / 2, MinY + (MaxY - MinY) / 2, MinZ + (MaxZ - MinZ) / 2};
  }
};

// A colour vector on a stream: four singles, red, green, blue, alpha.
void StoreColour(TObjectStream& s, const TColorVector& c);
TColorVector LoadColour(TObjectStream& s, std::string_view record);

// ---------------------------------------------------------------------------------------------
// The mesh

class TObjData : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TObjData";
  static constexpr std::uint16_t kStreamId = 1011;

  TObjData() = default;
  explicit TObjData(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  TGroup* GroupById(std::int32_t id) const;
  TMaterial* MaterialById(std::int32_t id) const;
  TObjVertex* VertexById(std::int32_t id);
  TGroup* GroupByName(std::string_view name) const;
  TMaterial* MaterialByName(std::string_view name) const;

  void SetSide(std::uint8_t side);
  void UpdateVertexFlags();
  // Whether some vertex has a colour kept in the table (TVertexColour::IsKept).
  bool HasKeptColours() const;
  void SelectAllFaces(bool selected);
  void InvertFaceSelection();
  void SetAllVisible(bool visible);
  void ApplyMaterialVisibility(const TMaterial& material);
  void BeginTracking(const TGroup* except);
  void EndTracking();
  std::unique_ptr<TVertCopy> BackupSelection();
  void LinkShapedPositions();
  void ResetMorphDials();
  // Appends the non-empty morph-target entry lists of every group, in group order.
  void MorphInfoList(std::vector<std::unique_ptr<TMTGroupInfoList>>& into) const;
  TPoint3f GroupsCentre();
  // The centre of the box of the vertices that take part; `found` tells whether there were any.
  TPoint3f SelectionCentre(bool& found) const;

  // The mesh vertex of a corner.
  TObjVertex& CornerVertex(const TFaceVert& c) { return Vertices[c.VertexIndex]; }
  const TObjVertex& CornerVertex(const TFaceVert& c) const { return Vertices[c.VertexIndex]; }
  TGroup* Group(std::int32_t i) const { return i >= 0 && i < Groups.Count() ? Groups[i] : nullptr; }
  TMaterial* Material(std::int32_t i) const {
    return i >= 0 && i < Materials.Count() ? Materials[i] : nullptr;
  }

  std::int32_t Reserved = 0;
  std::string Name = "NoName";
  std::string FileName;
  std::int32_t Id = -1;
  bool Visible = true;
  std::uint8_t ColourMode = 1;  // 1 by group, 2 by material, 3 by selection
  TRecordList<TObjVertex> Vertices{100};
  TTexCoordList TexVerts;
  TNormalList Normals;
  TFaceList Faces;
  TTypedCollection<TGroup> Groups{100};
  TTypedCollection<TMaterial> Materials{100};
  TTypedCollection<TSmooth> Smooths{100};
  std::uint8_t TrackingMode = 1;  // 0 full, 1 box, 2 wire
  std::uint8_t DisplayMode = 1;   // 0 wireframe, 1 shaded
  bool TrackingActive = false;
  std::uint8_t Side = 0;  // 0 whole, 1 right side only, 2 left side only
  bool Rebuilding = false;
  // While deferred, UpdateVertexFlags only notes that the vertex flags are stale; a run of
  // commands that only change face selection refreshes them once at its end. Never stored.
  bool VertexFlagsDeferred = false;
  bool VertexFlagsStale = false;
  // The scene tree showing this mesh, when it is shown; never stored.
  ITreeNodeSink* TreeNodes = nullptr;
  // Nothing without a node or a tree.
  void CheckTreeNode(void* node, bool checked) const {
    if (node && TreeNodes) TreeNodes->SetNodeChecked(node, checked);
  }
  bool IsTreeNodeExpanded(void* node) const {
    return node && TreeNodes && TreeNodes->IsNodeExpanded(node);
  }
  void ExpandTreeNode(void* node, bool expanded) const {
    if (node && TreeNodes) TreeNodes->SetNodeExpanded(node, expanded);
  }

 private:
  void RebuildAfterLoad(TObjectStream& s, std::int64_t at);
};

// The large arrays of meshes that are about to be replaced by copies read from a stream. While
// a TSpareArraysScope lives, meshes and groups read on this thread take them over in the order
// they were collected (mesh by mesh, group by group) and are read into them in place, so the
// copy writes into memory that is already mapped instead of touching fresh memory. What a copy
// reads does not depend on them: only where it lies.
class TSpareArrays {
 public:
  // Moves the mesh's large arrays out; the mesh keeps empty ones.
  void Collect(TObjData& mesh);
  // Hands the next collected arrays of each kind to a mesh (before its records are read) or
  // a group (before its vertex list is read).
  void GiveTo(TObjData& mesh);
  void GiveTo(TGroup& group);

 private:
  template <class V>
  struct TPool {
    std::vector<V> Items;
    std::size_t Next = 0;
    void Give(V& into) {
      if (Next < Items.size()) {
        into = std::move(Items[Next++]);
        into.clear();
      }
    }
  };
  TPool<THugeVector<TObjVertex>> vertices_;
  TPool<THugeVector<TTexCoordList::TTexCoord>> texVerts_;
  TPool<THugeVector<TNormalList::TNormal>> normals_;
  TPool<THugeVector<TObjFace>> faces_;
  TPool<THugeVector<TFaceVert>> corners_;
  TPool<THugeVector<std::int32_t>> cornerNormals_;
  TPool<THugeVector<TGroupVertex>> groupVertices_;
  TPool<std::vector<std::int32_t>> groupFaces_;
};

class TSpareArraysScope {
 public:
  explicit TSpareArraysScope(TSpareArrays& spare);
  ~TSpareArraysScope();
  TSpareArraysScope(const TSpareArraysScope&) = delete;
  TSpareArraysScope& operator=(const TSpareArraysScope&) = delete;

 private:
  TSpareArrays* previous_;
};

// Case-insensitive comparison of 8-bit names.
bool SameText(std::string_view a, std::string_view b);

// Copies a mesh through an in-memory object stream.
std::unique_ptr<TObjData> CopyMesh(const TObjData& mesh);

}  // namespace tarvel
