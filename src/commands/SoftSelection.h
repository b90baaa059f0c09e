// The two selections that start from a vertex clicked in the viewport: the soft selection gives
// the vertices around it a weight that falls off with their distance along a user-shaped curve,
// and the surface selection selects the whole connected surface the vertex lies on. Both record
// what they changed, so a new pick or parameter first puts the previous values back and then
// applies again; replaying them gives the same edit state every time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "stack/SelectCommands.h"

namespace tarvel {

// For every vertex of a mesh, the faces that use it: an offsets array and one flat array of face
// indices. A face that names a vertex twice is listed twice for it.
class TVertexFaces {
 public:
  TVertexFaces() = default;
  explicit TVertexFaces(const TObjData& mesh) { Build(mesh); }
  // Rebuilds for the mesh, reusing the arrays.
  void Build(const TObjData& mesh);
  std::span<const std::int32_t> Of(std::int32_t vertex) const {
    const auto v = static_cast<std::size_t>(vertex);
    return {faces_.data() + start_[v], start_[v + 1] - start_[v]};
  }
  // Whether it was built for a mesh of this shape.
  bool Fits(const TObjData& mesh) const;

 private:
  std::vector<std::uint32_t> start_;
  std::vector<std::int32_t> faces_;
  std::size_t faceCount_ = 0;
};

// A selection that starts from one picked vertex, kept by mesh and vertex index and by mesh
// and vertex Id. Not a stream class of its own.
class TSCVertexSelection : public TSCSelect {
 public:
  TSCVertexSelection(TStackMng* manager, std::string captionFormat);
  explicit TSCVertexSelection(TObjectStream& s);
  void Store(TObjectStream& s) const override;

  // The object is ignored: the start vertex comes from a pick.
  void SetObject(const TSceneObject& object) override;
  void Prepare() override;
  void Execute() override;
  bool PickVertex(TObjVertex& vertex) override;
  void UpdateCaption() override;
  void Release() override;
  void Fields(ICommandFields& fields) override;

  TObjVertex* StartVertex() const { return start_; }

  std::string CaptionFormat;
  std::int32_t MeshIndex = -1;
  std::int32_t VertexIndex = -1;
  std::int32_t StartVertexId = -1;
  std::int32_t MeshId = -1;

 protected:
  // Sets or clears the marks the vertex display draws on the start vertex.
  virtual void Mark(TObjVertex& vertex, bool on) = 0;
  // Puts back what the last application changed, if anything.
  virtual void Undo() = 0;
  // Applies around the start vertex; the mesh is the live mesh with MeshId, or none.
  virtual void Apply(TObjData* mesh) = 0;
  // Forgets what the last application changed.
  virtual void FreeBackups() = 0;
  // Called by UpdateCaption, after the caption is set, before the command line is refreshed.
  virtual void CaptionUpdated() {}
  // The controls both kinds have: the vertex label at (3, 2). Returns it.
  ILabel& AddVertexLabel(IParamPanel& panel);
  bool HasControls() const { return vertexLabel_ != nullptr; }

  // The vertex-to-faces table of the mesh, built on first use and kept while the command is
  // current.
  const TVertexFaces& FacesOfVertices(const TObjData& mesh);
  // Whether `mesh` is still one of the live meshes.
  bool IsLive(const TObjData* mesh) const;

  std::vector<std::int32_t> work_;  // region walk, reused between applications

 private:
  std::string VertexText() const;

  TObjVertex* start_ = nullptr;
  ILabel* vertexLabel_ = nullptr;
  std::optional<TVertexFaces> adjacency_;
  const TObjData* adjacencyMesh_ = nullptr;
};

class TSCSoftSelection : public TSCVertexSelection {
 public:
  static constexpr std::string_view kClassName = "TSCSoftSelection";
  static constexpr std::uint16_t kStreamId = 6012;
  // The curve preview's points: t = 0, 1/30, ..., 1.
  static constexpr int kCurvePoints = 31;

  explicit TSCSoftSelection(TStackMng* manager);
  explicit TSCSoftSelection(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void Release() override;
  void Fields(ICommandFields& fields) override;

  // The fall-off curve at parameter t (0 at the start vertex, 1 at the radius), limited to
  // 0..1; a value that is not a number counts as 0.
  float CurveValue(float t) const;
  // The weight the curve gives at distance d from the start vertex; 0 at or beyond Fallout.
  float WeightAt(float d) const;
  // The curve preview for a drawing of this size: 31 points along the curve, or the square
  // step.
  std::vector<TPixelPoint> CurvePoints(int width, int height) const;

  bool Surface = false;  // measure within the connected surface rather than the volume
  float Fallout = 0.01f;
  float Start = 1.0f;
  float Pinch = 0.7f;
  float Bubble = 0.3f;
  bool Square = false;  // every vertex within the radius gets weight 1
  // What the last application changed: vertex, previous weight, distance.
  std::optional<std::vector<TObjVertInfo>> Backups;

  // Controls, owned by the panel.
  INumberEdit* FalloutEdit = nullptr;
  INumberEdit* StartEdit = nullptr;
  INumberEdit* PinchEdit = nullptr;
  INumberEdit* BubbleEdit = nullptr;
  ICurvePreview* CurvePreview = nullptr;
  ICheckBox* SquareBox = nullptr;
  IRadioButton* SurfaceButton = nullptr;
  IRadioButton* VolumeButton = nullptr;

 protected:
  void Mark(TObjVertex& vertex, bool on) override;
  void Undo() override;
  void Apply(TObjData* mesh) override;
  void FreeBackups() override { Backups.reset(); }

 private:
  void Record(TObjVertex& vertex, float distance, float weight);
  void ApplyInVolume(TObjData& mesh, const TObjVertex& start);
  void ApplyOnSurface(TObjData& mesh, TObjVertex& start);
  void RepaintCurve();

  const TObjData* backupsMesh_ = nullptr;
};

class TSCSelectSurface : public TSCVertexSelection {
 public:
  static constexpr std::string_view kClassName = "TSCSelectSurface";
  static constexpr std::uint16_t kStreamId = 6013;

  explicit TSCSelectSurface(TStackMng* manager);
  explicit TSCSelectSurface(TObjectStream& s) : TSCVertexSelection(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void Release() override;

  // What the last application changed, with the previous Selected.
  std::optional<std::vector<TObJVertSelInfo>> VertexBackups;
  std::optional<std::vector<TObjFaceSelInfo>> FaceBackups;
  ILabel* CountLabel = nullptr;

 protected:
  void Mark(TObjVertex& vertex, bool on) override { vertex.Highlight = on; }
  void Undo() override;
  void Apply(TObjData* mesh) override;
  void FreeBackups() override;
  void CaptionUpdated() override;

 private:
  const TObjData* backupsMesh_ = nullptr;
};

}  // namespace tarvel
