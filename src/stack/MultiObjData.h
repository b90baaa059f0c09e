// The edit state: the loaded meshes with the display options that apply to all of them, and
// the operations through which stack commands read and change them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/StatusInfo.h"

namespace tarvel {

// Where an object sits in the edit state; -1 for what was not found.
struct TMeshPos {
  std::int32_t Mesh = -1;
  std::int32_t Index = -1;
  bool operator==(const TMeshPos&) const = default;
};
struct TEntryPos {
  std::int32_t Mesh = -1;
  std::int32_t Group = -1;
  std::int32_t Entry = -1;
  bool operator==(const TEntryPos&) const = default;
};

// The viewport's drawing of meshes, as the edit state asks for it.
class IMeshRenderer {
 public:
  virtual ~IMeshRenderer() = default;
  virtual void DrawMesh(const TObjData& mesh) = 0;
  virtual void DrawVertexPoints(const TObjData& mesh) = 0;
  // Whether the vertex points are shown.
  virtual bool VertexPointsShown() const = 0;
};

class TMultiObjData : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TMultiObjData";
  static constexpr std::uint16_t kStreamId = 1008;

  TMultiObjData() = default;
  explicit TMultiObjData(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // Options, given to every mesh as well.
  void SetTrackingMode(std::uint8_t mode);
  void SetColourMode(std::uint8_t mode);
  void SetDisplayMode(std::uint8_t mode);
  void SetSide(std::uint8_t side);

  // Reads a Poser OBJ file into a new mesh and appends it; returns it, or none when the file
  // does not exist. A file that cannot be read raises EObjRead and leaves the edit state as it
  // was.
  TObjData* AddObjFile(const std::string& fileName, const TObjReadOptions& options = {});
  // Appends a mesh read elsewhere (so that a file is read completely before the caller changes
  // anything); it gets a new Id and the state's tracking, colour and display modes and side.
  TObjData* AddMesh(std::unique_ptr<TObjData> mesh);

  std::int32_t MeshCount() const { return Meshes.Count(); }
  TObjData* Mesh(std::int32_t i) const {
    return i >= 0 && i < Meshes.Count() ? Meshes[i] : nullptr;
  }
  std::int32_t GroupCount() const;
  std::int32_t VertexCount() const;

  void BeginTracking(const TGroup* except);
  void EndTracking();
  // Draws every mesh, then, unless the camera is moving, the vertex points when they are shown.
  void Render(IMeshRenderer& renderer) const;
  TPoint3f SceneCentre() const;
  TPoint3f SelectionCentre() const;

  TMeshPos GroupIndexOf(const TGroup* group) const;
  TMeshPos MaterialIndexOf(const TMaterial* material) const;
  TEntryPos GroupMatIndexOf(const TGroupMatInfo* entry) const;
  TGroup* GroupAt(std::int32_t mesh, std::int32_t index) const;
  TMaterial* MaterialAt(std::int32_t mesh, std::int32_t index) const;
  TGroupMatInfo* GroupMatAt(std::int32_t mesh, std::int32_t group, std::int32_t entry) const;
  TMeshPos VertexIndexOf(const TObjVertex* vertex) const;
  TObjVertex* VertexAt(std::int32_t mesh, std::int32_t index) const;
  TObjData* MeshById(std::int32_t id) const;
  // The mesh of this name, ignoring case. A command that names no mesh (a stack written as text
  // for any figure) means the first mesh, unless one is called "".
  TObjData* MeshByName(std::string_view name) const;
  // The mesh that owns this group, or none.
  TObjData* MeshOf(const TGroup* group) const;
  std::int32_t NewMeshId() const;

  void SelectAllFaces(bool selected);
  void InvertFaceSelection();
  void UpdateVertexFlags();
  // Defers or stops deferring the vertex flags of every mesh (TObjData::VertexFlagsDeferred).
  void DeferVertexFlags(bool deferred);
  // Whether some mesh has a vertex colour kept in the table.
  bool HasKeptColours() const;
  // Refreshes the vertex flags of the meshes whose flags were left stale.
  void FlushVertexFlags();
  void LinkShapedPositions();
  std::vector<std::unique_ptr<TVertCopy>> BackupSelection();
  void ResetMorphDials();
  // For every group with morph targets and vertices taking part, the target positions that a
  // transform moves along; caller owns them.
  std::vector<std::unique_ptr<TMTGroupInfoList>> MorphInfoList() const;
  std::unique_ptr<TTypedCollection<TInfoObjData>> SaveViewState() const;
  void RestoreViewState(const TTypedCollection<TInfoObjData>& snapshot);
  // The scene tree that shows this state, given to every mesh, now and added later; none for a
  // state the window does not show.
  void SetTreeNodes(ITreeNodeSink* tree);
  ITreeNodeSink* TreeNodes() const { return treeNodes_; }

  std::int32_t Reserved = 0;
  std::string Name;
  TTypedCollection<TObjData> Meshes{10};
  std::uint8_t TrackingMode = 0;
  std::uint8_t ColourMode = 1;
  std::uint8_t DisplayMode = 1;
  std::uint8_t Side = 0;

 private:
  ITreeNodeSink* treeNodes_ = nullptr;
};

// A copy of an edit state made by storing it into a memory stream and reading it back. The
// stream's buffer is reused when one is given.
std::unique_ptr<TMultiObjData> CopyEditState(const TMultiObjData& state,
                                             TObjectStream* reuse = nullptr);
// The same copy made in place of `replaced`, which it destroys: the copy's meshes are read into
// the large arrays of the replaced meshes, in order, so copying an edit state over one of the
// same figures touches no fresh memory. The copy is the same as CopyEditState's.
std::unique_ptr<TMultiObjData> CopyEditStateOver(const TMultiObjData& state,
                                                 std::unique_ptr<TMultiObjData> replaced,
                                                 TObjectStream* reuse = nullptr);

}  // namespace tarvel
