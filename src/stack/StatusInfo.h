// The view-state snapshot every stack command carries, so that the view can be put back when
// the user returns to that command: option bytes, camera, light and target positions, and per
// mesh the visibility of its vertices, faces, groups, group-material entries and materials.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjectStream.h"

namespace tarvel {

struct TInfoVert {
  static constexpr std::string_view kClassName = "TInfoVert";
  static constexpr std::uint16_t kStreamId = 1024;
  static constexpr std::size_t kMinStoredBytes = 5;
  std::int32_t Id = -1;
  bool Shown = false;
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

struct TInfoFace {
  static constexpr std::string_view kClassName = "TInfoFace";
  static constexpr std::uint16_t kStreamId = 1021;
  static constexpr std::size_t kMinStoredBytes = 5;
  std::int32_t Id = -1;
  bool Shown = false;
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

struct TInfoGMat {
  static constexpr std::string_view kClassName = "TInfoGMat";
  static constexpr std::uint16_t kStreamId = 1023;
  static constexpr std::size_t kMinStoredBytes = 6;
  std::int32_t Id = -1;
  bool Visible = true;
  bool Expanded = false;
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

struct TInfoMat {
  static constexpr std::string_view kClassName = "TInfoMat";
  static constexpr std::uint16_t kStreamId = 1019;
  static constexpr std::size_t kMinStoredBytes = 26;
  std::int32_t Id = -1;
  bool Visible = true;
  bool Expanded = false;
  std::int32_t ColorValue = kWhite;
  TColorVector ColorVector;
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

// A list of snapshot entries kept in ascending order of Id; an entry goes before the first one
// with an equal or greater Id, and a lookup finds the first with an equal Id. Streamed as a
// sorted collection under its list's type id.
template <class T>
class TInfoList {
 public:
  explicit TInfoList(std::int32_t capacity) : items_(capacity) {}

  std::int32_t Count() const { return items_.Count(); }
  const T& operator[](std::int32_t i) const { return items_[i]; }
  T& operator[](std::int32_t i) { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }
  void Reserve(std::size_t n) { items_.Reserve(n); }
  std::int32_t Capacity() const { return items_.Capacity(); }
  std::int32_t InitialCapacity() const { return items_.InitialCapacity(); }
  void SetCapacity(std::int32_t capacity) { items_.SetCapacity(capacity); }

  T& Insert(const T& item) {
    auto& v = items_.Items();
    if (v.empty() || v.back().Id < item.Id) return v.emplace_back(item);
    auto at = std::lower_bound(v.begin(), v.end(), item.Id,
                               [](const T& e, std::int32_t id) { return e.Id < id; });
    return *v.insert(at, item);
  }
  // As Find, for lookups in ascending order: `hint` remembers where the last one ended, so a
  // walk over objects in Id order costs no search.
  const T* FindNext(std::int32_t id, std::int32_t& hint) const {
    const auto& v = items_.Items();
    const auto h = static_cast<std::size_t>(hint);
    if (hint >= 0 && h < v.size() && v[h].Id == id && (h == 0 || v[h - 1].Id != id)) {
      ++hint;
      return &v[h];
    }
    const T* found = Find(id);
    if (found) hint = static_cast<std::int32_t>(found - v.data()) + 1;
    return found;
  }
  const T* Find(std::int32_t id) const {
    const auto& v = items_.Items();
    auto at = std::lower_bound(v.begin(), v.end(), id,
                               [](const T& e, std::int32_t key) { return e.Id < key; });
    return at != v.end() && at->Id == id ? &*at : nullptr;
  }

  // The sorted-collection record after the type id.
  void StoreBody(TObjectStream& s) const {
    items_.StoreBody(s);
    s.WriteBool(true);   // Duplicates
    s.WriteBool(false);  // AppendOnly
  }
  void LoadBody(TObjectStream& s) {
    const std::int64_t at = s.Position();
    items_.LoadBody(s);
    s.ReadBool();
    s.ReadBool();
    const auto& v = items_.Items();
    for (std::size_t i = 1; i < v.size(); ++i)
      if (v[i - 1].Id > v[i].Id) s.FailAt(at, "snapshot list is not in ascending id order");
  }

 private:
  TRecordList<T> items_;
};

// A snapshot list as an object of its own on the stream; each list kind has its own type id.
template <class T, class Traits>
class TInfoListObject : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = Traits::kClassName;
  static constexpr std::uint16_t kStreamId = Traits::kStreamId;

  TInfoListObject() : List(Traits::kCapacity) {}
  explicit TInfoListObject(TObjectStream& s) : List(Traits::kCapacity) { List.LoadBody(s); }
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override { List.StoreBody(s); }

  // The list nested in another record: the list class's id, then the list.
  static void PutList(TObjectStream& s, const TInfoList<T>& list) {
    s.PutHeader(ClassOf<TInfoListObject>());
    list.StoreBody(s);
  }
  static void GetList(TObjectStream& s, TInfoList<T>& list) {
    s.GetHeader(ClassOf<TInfoListObject>());
    list.LoadBody(s);
  }

  TInfoList<T> List;
};

struct TInfoVertListTraits {
  static constexpr std::string_view kClassName = "TInfoListVert";
  static constexpr std::uint16_t kStreamId = 250;
  static constexpr std::int32_t kCapacity = 100;
};
struct TInfoGroupListTraits {
  static constexpr std::string_view kClassName = "TInfoListGroups";
  static constexpr std::uint16_t kStreamId = 1016;
  static constexpr std::int32_t kCapacity = 20;
};
struct TInfoMatListTraits {
  static constexpr std::string_view kClassName = "TInfoListMat";
  static constexpr std::uint16_t kStreamId = 1017;
  static constexpr std::int32_t kCapacity = 20;
};
struct TInfoFaceListTraits {
  static constexpr std::string_view kClassName = "TInfoListFaces";
  static constexpr std::uint16_t kStreamId = 1018;
  static constexpr std::int32_t kCapacity = 100;
};
struct TInfoGMatListTraits {
  static constexpr std::string_view kClassName = "TInfoListGMat";
  static constexpr std::uint16_t kStreamId = 1020;
  static constexpr std::int32_t kCapacity = 4;
};

struct TInfoGroup;
using TInfoListVert = TInfoListObject<TInfoVert, TInfoVertListTraits>;
using TInfoListMat = TInfoListObject<TInfoMat, TInfoMatListTraits>;
using TInfoListFaces = TInfoListObject<TInfoFace, TInfoFaceListTraits>;
using TInfoListGMat = TInfoListObject<TInfoGMat, TInfoGMatListTraits>;

struct TInfoGroup {
  static constexpr std::string_view kClassName = "TInfoGroup";
  static constexpr std::uint16_t kStreamId = 1022;
  static constexpr std::size_t kMinStoredBytes = 6 + 2 + 12 + 20;
  std::int32_t Id = -1;
  bool Visible = true;
  bool Expanded = false;
  TInfoList<TInfoGMat> GroupMats{4};
  std::int32_t ColorValue = kWhite;
  TColorVector ColorVector;
  void Store(TObjectStream& s) const;
  void Load(TObjectStream& s);
};

using TInfoListGroups = TInfoListObject<TInfoGroup, TInfoGroupListTraits>;

// The snapshot of one mesh.
class TInfoObjData : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TInfoObjData";
  static constexpr std::uint16_t kStreamId = 1014;

  TInfoObjData() = default;
  explicit TInfoObjData(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // Takes the snapshot of a mesh. `expanded` tells whether an object's scene-tree node is
  // expanded; without a tree every node counts as collapsed.
  static std::unique_ptr<TInfoObjData> Take(const TObjData& mesh);
  // Gives the mesh back what the snapshot holds; objects without an entry keep their state.
  void RestoreInto(TObjData& mesh) const;

  std::int32_t Reserved = 0;
  std::int32_t Id = -1;
  bool Visible = true;
  TInfoList<TInfoVert> Vertices{100};
  TInfoList<TInfoGroup> Groups{20};
  TInfoList<TInfoMat> Materials{20};
  TInfoList<TInfoFace> Faces{100};
};

struct TPoint3 {
  float X = 0, Y = 0, Z = 0;
  bool operator==(const TPoint3&) const = default;
};

// The eight view options a snapshot keeps, in their stored order.
struct TViewOptions {
  std::uint8_t PickMode = 1;
  std::uint8_t CameraMode = 0;
  std::uint8_t TrackingMode = 1;
  std::uint8_t ColourMode = 1;
  std::uint8_t DisplayMode = 1;
  std::uint8_t FaceCulling = 0;
  std::uint8_t BackFaceMode = 0;
  std::uint8_t Side = 0;
  bool operator==(const TViewOptions&) const = default;
};

class TStatusInfo : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TStatusInfo";
  static constexpr std::uint16_t kStreamId = 1013;

  TStatusInfo() = default;
  explicit TStatusInfo(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  std::int32_t Reserved = 0;
  TViewOptions Options;
  // None until the first snapshot; replacing it frees the old one.
  std::unique_ptr<TTypedCollection<TInfoObjData>> Objects;
  TPoint3 CameraPosition;
  TPoint3 LightPosition;
  TPoint3 TargetPosition;
};

void RegisterEditStateStreamClasses(TStreamRegistry& registry);

}  // namespace tarvel
