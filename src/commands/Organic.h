// The organic modifiers: "Inflate" pushes the vertices taking part along their normals, "Smooth"
// pulls each of them towards the mean of its neighbours. Both weigh a vertex as a translation
// does, honour X-locks, and move the morph-target positions of a vertex by the same amount as
// the vertex itself. The displacements are always computed from the shaped positions taken when
// the command's turn began, so changing a parameter ten times gives the same mesh as setting the
// final value once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands/Specular.h"

namespace tarvel {

// The working data of one mesh, built by Prepare: flat arrays, indexed by vertex or by mover (a
// vertex that takes part with a weight above 0).
struct TOrganicMesh {
  TObjData* Mesh = nullptr;
  std::vector<double> Start;          // x, y, z of every vertex's shaped position
  std::vector<std::int32_t> Movers;   // vertex index of every mover, ascending
  std::vector<double> Weights;        // per mover: 1 when full
  std::vector<double> Base;           // per mover: x, y, z of the mesh vertex
  std::vector<std::uint8_t> XLocked;  // per mover
  std::vector<std::int32_t> MoverOf;  // per vertex: its mover, or -1
  // Morph-target positions of the movers: the point written, the point read, and the mover.
  std::vector<TBaseVertex*> MorphPoints;
  std::vector<double> MorphSaved;  // x, y, z per point
  std::vector<std::int32_t> MorphMover;
  std::vector<double> Moves;  // per mover: x, y, z of the displacement the kind computed
};

// For every vertex of a mesh, the other vertices joined to it by an edge of a face, each once,
// and whether the vertex lies on an open border (an edge of it is used by exactly one face).
class TVertexNeighbours {
 public:
  void Build(const TObjData& mesh);
  std::int32_t First(std::int32_t v) const { return start_[static_cast<std::size_t>(v)]; }
  std::int32_t End(std::int32_t v) const { return start_[static_cast<std::size_t>(v) + 1]; }
  std::int32_t At(std::int32_t k) const { return list_[static_cast<std::size_t>(k)]; }
  bool OnBorder(std::int32_t v) const { return border_[static_cast<std::size_t>(v)] != 0; }

 private:
  std::vector<std::int32_t> start_;
  std::vector<std::int32_t> list_;
  std::vector<std::uint8_t> border_;
};

// The common base of both kinds; not a stream class of its own.
class TSCOrganic : public TSCModifier {
 public:
  TSCOrganic(TStackMng* manager, std::string captionFormat)
      : TSCModifier(manager), CaptionFormat(std::move(captionFormat)) {}
  explicit TSCOrganic(TObjectStream& s) : TSCModifier(s) {}

  // The object is ignored: the caption, then the modifier.
  void SetObject(const TSceneObject& object) override;
  void Prepare() override;
  void Execute() override;
  void Release() override;

  std::string CaptionFormat;

  // The vertices that move, for tests and the benchmark.
  const std::vector<TOrganicMesh>& Work() const { return work_; }

 protected:
  // Called by Prepare for each mesh after the common arrays are filled.
  virtual void PrepareMesh(TOrganicMesh& mesh, std::size_t index) = 0;
  // Fills mesh.Moves from the prepared data and the parameters.
  virtual void ComputeMoves(TOrganicMesh& mesh, std::size_t index) = 0;
  // Frees what the kind's Prepare made and forgets its controls.
  virtual void ReleaseKind() = 0;

  std::vector<TOrganicMesh> work_;
};

class TSCInflate : public TSCOrganic {
 public:
  static constexpr std::string_view kClassName = "TSCInflate";
  static constexpr std::uint16_t kStreamId = 6033;

  explicit TSCInflate(TStackMng* manager) : TSCOrganic(manager, "Inflate") {}
  explicit TSCInflate(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void UpdateCaption() override;
  void Fields(ICommandFields& fields) override;

  double Distance = 0;  // along the normal; negative deflates

 protected:
  void PrepareMesh(TOrganicMesh& mesh, std::size_t index) override;
  void ComputeMoves(TOrganicMesh& mesh, std::size_t index) override;
  void ReleaseKind() override;

 private:
  std::vector<std::vector<double>> normals_;  // per mesh: x, y, z of every mover's unit normal
  INumberEdit* distanceEdit_ = nullptr;
};

class TSCSmooth : public TSCOrganic {
 public:
  static constexpr std::string_view kClassName = "TSCSmooth";
  static constexpr std::uint16_t kStreamId = 6034;
  static constexpr std::int32_t kMaxIterations = 1000;

  explicit TSCSmooth(TStackMng* manager) : TSCOrganic(manager, "Smooth") {}
  explicit TSCSmooth(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void UpdateCaption() override;
  void Fields(ICommandFields& fields) override;

  std::int32_t Iterations = 5;  // 1 to 1000
  double Strength = 0.5;        // 0 to 1
  bool KeepBorders = true;      // a vertex on an open border does not move

 protected:
  void PrepareMesh(TOrganicMesh& mesh, std::size_t index) override;
  void ComputeMoves(TOrganicMesh& mesh, std::size_t index) override;
  void ReleaseKind() override;

 private:
  std::vector<TVertexNeighbours> neighbours_;  // per mesh
  std::vector<double> q_, next_;               // scratch of one Execute
  INumberEdit* iterationsEdit_ = nullptr;
  INumberEdit* strengthEdit_ = nullptr;
  ICheckBox* keepBordersBox_ = nullptr;
};

// A number as the captions show it: the shortest text that reads back as the same double, with
// "." as the decimal point ("0.002", "-1.5", "5").
std::string CaptionNumber(double value);

}  // namespace tarvel
