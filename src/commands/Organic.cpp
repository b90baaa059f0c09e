#include "commands/Organic.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <system_error>

#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr float kFull = 0.9999f;  // at least this soft weight moves fully, as for a translation

// The weight of a vertex, as a translation weighs it: 1 when full, 0 when it does not move.
double WeightOf(const TObjVertex& v) {
  if (v.Selected || v.SoftWeight >= kFull) return 1;
  const float w = v.SoftWeight;
  return w > 0 ? static_cast<double>(w) : 0;
}

}  // namespace

std::string CaptionNumber(double value) {
  if (value == 0) return "0";  // also -0
  char buf[512];
  auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (r.ec != std::errc()) r = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, r.ptr);
}

// ---------------------------------------------------------------------------------------------
// Neighbours

void TVertexNeighbours::Build(const TObjData& mesh) {
  const std::size_t n = static_cast<std::size_t>(mesh.Vertices.Count());
  const auto& corners = mesh.Faces.AllCorners();
  auto vertexOf = [&](const TObjFace& f, std::int32_t k) {
    return corners[f.FirstCorner + static_cast<std::uint32_t>(k)].VertexIndex;
  };
  auto valid = [&](std::int32_t v) { return v >= 0 && static_cast<std::size_t>(v) < n; };
  // Every edge of every face is listed from both ends; an edge used by two faces is then listed
  // twice at each end, and an edge listed once marks an open border.
  start_.assign(n + 1, 0);
  for (const TObjFace& f : mesh.Faces) {
    for (std::int32_t k = 0; k < f.CornerCount; ++k) {
      const std::int32_t a = vertexOf(f, k);
      const std::int32_t b = vertexOf(f, (k + 1) % f.CornerCount);
      if (a == b || !valid(a) || !valid(b)) continue;
      ++start_[static_cast<std::size_t>(a) + 1];
      ++start_[static_cast<std::size_t>(b) + 1];
    }
  }
  for (std::size_t v = 0; v < n; ++v) start_[v + 1] += start_[v];
  std::vector<std::int32_t> raw(static_cast<std::size_t>(start_[n]));
  std::vector<std::int32_t> fill(start_.begin(), start_.end() - 1);
  for (const TObjFace& f : mesh.Faces) {
    for (std::int32_t k = 0; k < f.CornerCount; ++k) {
      const std::int32_t a = vertexOf(f, k);
      const std::int32_t b = vertexOf(f, (k + 1) % f.CornerCount);
      if (a == b || !valid(a) || !valid(b)) continue;
      raw[static_cast<std::size_t>(fill[static_cast<std::size_t>(a)]++)] = b;
      raw[static_cast<std::size_t>(fill[static_cast<std::size_t>(b)]++)] = a;
    }
  }
  // Each vertex's list without repeats, in the order of first appearance; `seen` marks the
  // neighbours already taken for the vertex at hand and `uses` counts the faces of each edge.
  border_.assign(n, 0);
  list_.clear();
  list_.reserve(raw.size() / 2 + 1);
  std::vector<std::int32_t> seen(n, -1), uses(n, 0);
  std::int32_t from = 0;
  for (std::size_t v = 0; v < n; ++v) {
    const auto vi = static_cast<std::int32_t>(v);
    const std::int32_t first = start_[v], end = start_[v + 1];
    start_[v] = from;
    for (std::int32_t k = first; k < end; ++k) {
      const auto u = static_cast<std::size_t>(raw[static_cast<std::size_t>(k)]);
      if (seen[u] != vi) {
        seen[u] = vi;
        uses[u] = 0;
        list_.push_back(static_cast<std::int32_t>(u));
        ++from;
      }
      ++uses[u];
    }
    for (std::int32_t k = start_[v]; k < from; ++k)
      if (uses[static_cast<std::size_t>(list_[static_cast<std::size_t>(k)])] == 1) border_[v] = 1;
  }
  start_[n] = from;
}

// ---------------------------------------------------------------------------------------------
// Common

void TSCOrganic::SetObject(const TSceneObject&) {
  UpdateCaption();
  Execute();
}

void TSCOrganic::Prepare() {
  work_.clear();
  TMultiObjData* live = Live();
  if (!live) return;
  live->UpdateVertexFlags();
  live->LinkShapedPositions();
  work_.resize(static_cast<std::size_t>(live->MeshCount()));
  for (std::size_t m = 0; m < work_.size(); ++m) {
    TOrganicMesh& w = work_[m];
    TObjData& mesh = *live->Mesh(static_cast<std::int32_t>(m));
    w.Mesh = &mesh;
    const std::size_t n = static_cast<std::size_t>(mesh.Vertices.Count());
    w.Start.resize(3 * n);
    w.MoverOf.assign(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
      const TObjVertex& v = mesh.Vertices[static_cast<std::int32_t>(i)];
      const TBaseVertex& p = v.ShapedLink ? *v.ShapedLink : static_cast<const TBaseVertex&>(v);
      w.Start[3 * i] = p.X;
      w.Start[3 * i + 1] = p.Y;
      w.Start[3 * i + 2] = p.Z;
      const double weight = WeightOf(v);
      if (weight <= 0) continue;
      w.MoverOf[i] = static_cast<std::int32_t>(w.Movers.size());
      w.Movers.push_back(static_cast<std::int32_t>(i));
      w.Weights.push_back(weight);
      w.Base.insert(w.Base.end(), {v.X, v.Y, v.Z});
      w.XLocked.push_back(v.XLocked ? 1 : 0);
    }
    // The positions the morph targets of every group hold for the movers: a vertex shared by
    // several groups is listed once per group, and each moves by the vertex's one displacement.
    mesh.Groups.ForEach([&](TGroup& g) {
      if (g.MorphTargets.Count() == 0) return;
      for (std::int32_t k = 0; k < g.Vertices.Count(); ++k) {
        const std::int32_t vi = g.Vertices[k].VertexIndex;
        if (vi < 0 || static_cast<std::size_t>(vi) >= n) continue;
        const std::int32_t mover = w.MoverOf[static_cast<std::size_t>(vi)];
        if (mover < 0) continue;
        g.MorphTargets.ForEach([&](TMorphTarget& t) {
          if (k >= t.Positions.Count()) return;
          TBaseVertex& p = t.Positions[k];
          w.MorphPoints.push_back(&p);
          w.MorphSaved.insert(w.MorphSaved.end(), {p.X, p.Y, p.Z});
          w.MorphMover.push_back(mover);
        });
      }
    });
    w.Moves.assign(3 * w.Movers.size(), 0.0);
    PrepareMesh(w, m);
  }
}

void TSCOrganic::Execute() {
  Failed = false;
  for (std::size_t m = 0; m < work_.size(); ++m) {
    TOrganicMesh& w = work_[m];
    if (w.Movers.empty()) continue;
    ComputeMoves(w, m);
    const double* d = w.Moves.data();
    for (std::size_t k = 0; k < w.MorphPoints.size(); ++k) {
      const std::size_t at = 3 * static_cast<std::size_t>(w.MorphMover[k]);
      TBaseVertex& p = *w.MorphPoints[k];
      p.X = w.MorphSaved[3 * k] + d[at];
      p.Y = w.MorphSaved[3 * k + 1] + d[at + 1];
      p.Z = w.MorphSaved[3 * k + 2] + d[at + 2];
    }
    for (std::size_t i = 0; i < w.Movers.size(); ++i) {
      TObjVertex& v = w.Mesh->Vertices[w.Movers[i]];
      v.SetX(w.Base[3 * i] + d[3 * i]);
      v.Y = w.Base[3 * i + 1] + d[3 * i + 1];
      v.Z = w.Base[3 * i + 2] + d[3 * i + 2];
    }
    w.Mesh->Groups.ForEach([](TGroup& g) {
      g.ApplyMorphTargets();
      g.Refresh();
    });
  }
}

void TSCOrganic::Release() {
  work_.clear();
  work_.shrink_to_fit();
  ReleaseKind();
}

// ---------------------------------------------------------------------------------------------
// Inflate

TSCInflate::TSCInflate(TObjectStream& s) : TSCOrganic(s) {
  CaptionFormat = s.ReadString();
  const std::int64_t at = s.Position();
  Distance = s.ReadDouble();
  if (!std::isfinite(Distance)) s.FailAt(at, "an inflate distance that is not a number");
}

void TSCInflate::Store(TObjectStream& s) const {
  TSCOrganic::Store(s);
  s.WriteString(CaptionFormat);
  s.WriteDouble(Distance);
}

void TSCInflate::UpdateCaption() {
  Caption = CaptionFormat + " " + CaptionNumber(Distance);
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCInflate::Fields(ICommandFields& fields) {
  fields.Field("distance", Distance);
  if (fields.Reading() && !std::isfinite(Distance)) Distance = 0;
}

void TSCInflate::PrepareMesh(TOrganicMesh& w, std::size_t index) {
  if (normals_.size() < work_.size()) normals_.resize(work_.size());
  std::vector<double>& out = normals_[index];
  out.assign(3 * w.Movers.size(), 0.0);
  if (w.Movers.empty()) return;
  // Newell vectors of every face, summed at the corners of the movers. Every face of the mesh
  // counts, locked or not.
  const auto& corners = w.Mesh->Faces.AllCorners();
  const std::size_t n = w.MoverOf.size();
  const double* p = w.Start.data();
  for (const TObjFace& f : w.Mesh->Faces) {
    const TFaceVert* c = corners.data() + f.FirstCorner;
    const std::int32_t count = f.CornerCount;
    bool touches = false;
    for (std::int32_t k = 0; k < count && !touches; ++k) {
      const std::int32_t v = c[k].VertexIndex;
      touches =
          v >= 0 && static_cast<std::size_t>(v) < n && w.MoverOf[static_cast<std::size_t>(v)] >= 0;
    }
    if (!touches) continue;
    double nx = 0, ny = 0, nz = 0;
    bool whole = true;
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t a = c[k].VertexIndex;
      const std::int32_t b = c[(k + 1) % count].VertexIndex;
      if (a < 0 || b < 0 || static_cast<std::size_t>(a) >= n || static_cast<std::size_t>(b) >= n) {
        whole = false;
        break;
      }
      const double* pa = p + 3 * static_cast<std::size_t>(a);
      const double* pb = p + 3 * static_cast<std::size_t>(b);
      nx += pa[1] * pb[2] - pa[2] * pb[1];
      ny += pa[2] * pb[0] - pa[0] * pb[2];
      nz += pa[0] * pb[1] - pa[1] * pb[0];
    }
    if (!whole) continue;
    for (std::int32_t k = 0; k < count; ++k) {
      const std::int32_t mover = w.MoverOf[static_cast<std::size_t>(c[k].VertexIndex)];
      if (mover < 0) continue;
      double* o = out.data() + 3 * static_cast<std::size_t>(mover);
      o[0] += nx;
      o[1] += ny;
      o[2] += nz;
    }
  }
  for (std::size_t i = 0; i < w.Movers.size(); ++i) {
    double* o = out.data() + 3 * i;
    const double length = std::sqrt(o[0] * o[0] + o[1] * o[1] + o[2] * o[2]);
    if (length > 0 && std::isfinite(length)) {
      o[0] /= length;
      o[1] /= length;
      o[2] /= length;
    } else {
      o[0] = o[1] = o[2] = 0;  // a zero sum gives no movement
    }
  }
}

void TSCInflate::ComputeMoves(TOrganicMesh& w, std::size_t index) {
  const double distance = std::isfinite(Distance) ? Distance : 0;
  const double* normal = normals_[index].data();
  for (std::size_t i = 0; i < w.Movers.size(); ++i) {
    const double f = distance * w.Weights[i];
    for (std::size_t a = 0; a < 3; ++a) w.Moves[3 * i + a] = f * normal[3 * i + a];
  }
}

void TSCInflate::ReleaseKind() {
  normals_.clear();
  normals_.shrink_to_fit();
  distanceEdit_ = nullptr;
}

void TSCInflate::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  int column = 0;
  distanceEdit_ = &CoordinateEdit(panel, 3, 8, column, "Distance:", this, onChange);
  distanceEdit_->SetValue(Distance);
}

void TSCInflate::ControlChanged(IParamControl& sender) {
  if (!distanceEdit_ || &sender != distanceEdit_) return;
  if (distanceEdit_->IsBlank()) return;
  const double value = distanceEdit_->Value();
  if (!std::isfinite(value)) return;
  Distance = value;
  UpdateCaption();
  const TWaitCursorScope wait(Manager ? Manager->WaitCursor : nullptr);
  Execute();
}

// ---------------------------------------------------------------------------------------------
// Smooth

TSCSmooth::TSCSmooth(TObjectStream& s) : TSCOrganic(s) {
  CaptionFormat = s.ReadString();
  std::int64_t at = s.Position();
  Iterations = s.ReadInt32();
  if (Iterations < 1 || Iterations > kMaxIterations)
    s.FailAt(at, "a smooth iteration count outside 1 to 1000");
  at = s.Position();
  Strength = s.ReadDouble();
  if (!(Strength >= 0 && Strength <= 1)) s.FailAt(at, "a smooth strength outside 0 to 1");
  KeepBorders = s.ReadBool();
}

void TSCSmooth::Store(TObjectStream& s) const {
  TSCOrganic::Store(s);
  s.WriteString(CaptionFormat);
  s.WriteInt32(Iterations);
  s.WriteDouble(Strength);
  s.WriteBool(KeepBorders);
}

void TSCSmooth::UpdateCaption() {
  Caption = CaptionFormat + " " + std::to_string(Iterations) + " x " + CaptionNumber(Strength);
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSmooth::Fields(ICommandFields& fields) {
  fields.Field("iterations", Iterations);
  fields.Field("strength", Strength);
  fields.Field("keep-borders", KeepBorders);
  if (fields.Reading()) {
    Iterations = std::clamp(Iterations, 1, kMaxIterations);
    Strength = Strength >= 0 ? std::min(Strength, 1.0) : 0;  // also not a number
  }
}

void TSCSmooth::PrepareMesh(TOrganicMesh& w, std::size_t index) {
  if (neighbours_.size() < work_.size()) neighbours_.resize(work_.size());
  if (w.Movers.empty()) return;
  neighbours_[index].Build(*w.Mesh);
}

void TSCSmooth::ComputeMoves(TOrganicMesh& w, std::size_t index) {
  const TVertexNeighbours& nb = neighbours_[index];
  const std::int32_t iterations = std::clamp(Iterations, 1, kMaxIterations);
  const double strength = Strength >= 0 ? std::min(Strength, 1.0) : 0;
  const std::size_t movers = w.Movers.size();
  q_.assign(w.Start.begin(), w.Start.end());
  next_.resize(3 * movers);
  for (std::int32_t it = 0; it < iterations; ++it) {
    for (std::size_t i = 0; i < movers; ++i) {
      const std::int32_t v = w.Movers[i];
      const double* qv = q_.data() + 3 * static_cast<std::size_t>(v);
      double* out = next_.data() + 3 * i;
      out[0] = qv[0];
      out[1] = qv[1];
      out[2] = qv[2];
      const std::int32_t first = nb.First(v), end = nb.End(v);
      if (first == end || (KeepBorders && nb.OnBorder(v))) continue;
      double sx = 0, sy = 0, sz = 0;
      for (std::int32_t k = first; k < end; ++k) {
        const double* qu = q_.data() + 3 * static_cast<std::size_t>(nb.At(k));
        sx += qu[0];
        sy += qu[1];
        sz += qu[2];
      }
      const double count = end - first;
      const double f = strength * w.Weights[i];
      if (!w.XLocked[i]) out[0] = qv[0] + f * (sx / count - qv[0]);
      out[1] = qv[1] + f * (sy / count - qv[1]);
      out[2] = qv[2] + f * (sz / count - qv[2]);
    }
    for (std::size_t i = 0; i < movers; ++i) {
      double* qv = q_.data() + 3 * static_cast<std::size_t>(w.Movers[i]);
      qv[0] = next_[3 * i];
      qv[1] = next_[3 * i + 1];
      qv[2] = next_[3 * i + 2];
    }
  }
  for (std::size_t i = 0; i < movers; ++i) {
    const std::size_t v = 3 * static_cast<std::size_t>(w.Movers[i]);
    for (std::size_t a = 0; a < 3; ++a) w.Moves[3 * i + a] = q_[v + a] - w.Start[v + a];
  }
}

void TSCSmooth::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  int column = 0;
  iterationsEdit_ = &CoordinateEdit(panel, 3, 8, column, "Iterations:", this, onChange);
  iterationsEdit_->SetDecimals(0);
  iterationsEdit_->SetStep(1);
  iterationsEdit_->SetRange(1, kMaxIterations);
  iterationsEdit_->SetValue(Iterations);
  strengthEdit_ = &RatioEdit(panel, 3, iterationsEdit_->Bounds().Bottom() + 5, column,
                             "Strength:", this, onChange);
  strengthEdit_->SetRange(0, 1);
  strengthEdit_->SetValue(Strength);
  ICheckBox& box = panel.AddCheckBox(5, strengthEdit_->Bounds().Bottom() + 5, "Keep borders");
  TRect b = box.Bounds();
  b.Width = 100;
  box.SetBounds(b);
  box.SetChecked(KeepBorders);
  box.Tag = this;
  box.OnChange = onChange;
  keepBordersBox_ = &box;
}

void TSCSmooth::ControlChanged(IParamControl& sender) {
  if (!iterationsEdit_) return;
  if (&sender == iterationsEdit_) {
    if (iterationsEdit_->IsBlank() || !std::isfinite(iterationsEdit_->Value())) return;
    const double v =
        std::clamp(std::round(iterationsEdit_->Value()), 1.0, static_cast<double>(kMaxIterations));
    Iterations = static_cast<std::int32_t>(v);
  } else if (&sender == strengthEdit_) {
    if (strengthEdit_->IsBlank() || !std::isfinite(strengthEdit_->Value())) return;
    Strength = std::clamp(strengthEdit_->Value(), 0.0, 1.0);
  } else if (&sender == keepBordersBox_) {
    KeepBorders = keepBordersBox_->Checked();
  } else {
    return;
  }
  UpdateCaption();
  // A thousand iterations over a whole figure take a while.
  const TWaitCursorScope wait(Manager ? Manager->WaitCursor : nullptr);
  Execute();
}

void TSCSmooth::ReleaseKind() {
  iterationsEdit_ = strengthEdit_ = nullptr;
  keepBordersBox_ = nullptr;
  neighbours_.clear();
  neighbours_.shrink_to_fit();
  q_.clear();
  q_.shrink_to_fit();
  next_.clear();
  next_.shrink_to_fit();
}

}  // namespace tarvel
