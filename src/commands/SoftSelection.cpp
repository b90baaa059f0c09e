#include "commands/SoftSelection.h"

#include <algorithm>

#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr std::string_view kNoVertex = "<c:Red><b>none</b><c:Black>";

// Both kinds show the vertex points, and a click picks a vertex.
constexpr std::int32_t kPickVertexFlags = 3;

// Where a vertex is seen: its shaped position when it has one.
const TBaseVertex& PositionOf(const TObjVertex& v) {
  if (v.ShapedLink) return *v.ShapedLink;
  return v;
}

// The index of the vertex in the mesh's array, or -1 when it lives elsewhere.
std::int32_t IndexIn(const TObjData& mesh, const TObjVertex& vertex) {
  const auto& items = mesh.Vertices.Items();
  if (items.empty() || &vertex < items.data() || &vertex >= items.data() + items.size()) return -1;
  return static_cast<std::int32_t>(&vertex - items.data());
}

void ClearVisited(TObjData& mesh) {
  for (TObjVertex& v : mesh.Vertices) v.Visited = false;
  for (TObjFace& f : mesh.Faces) f.Visited = false;
}

// Walks a region of the mesh from the vertex `start` with an explicit work list. A vertex of the
// region, when it is Editable, opens every editable face it is a corner of that was not visited
// yet: `openFace` sees the face first, then `join` is asked for each not yet visited corner
// whether it joins the region (a corner that joins must be marked visited), then `closeFace`.
template <class TOpenFace, class TJoin, class TCloseFace>
void WalkRegion(TObjData& mesh, const TVertexFaces& faces, std::vector<std::int32_t>& work,
                std::int32_t start, TOpenFace&& openFace, TJoin&& join, TCloseFace&& closeFace) {
  const auto& corners = mesh.Faces.AllCorners();
  work.clear();
  work.push_back(start);
  while (!work.empty()) {
    const std::int32_t at = work.back();
    work.pop_back();
    if (!mesh.Vertices[at].Editable) continue;
    for (const std::int32_t fi : faces.Of(at)) {
      TObjFace& f = mesh.Faces[fi];
      if (f.Visited || !f.IsEditable()) continue;
      f.Visited = true;
      openFace(f);
      for (std::int32_t k = 0; k < f.CornerCount; ++k) {
        const std::int32_t ui = corners[f.FirstCorner + static_cast<std::uint32_t>(k)].VertexIndex;
        TObjVertex& u = mesh.Vertices[ui];
        if (!u.Visited && join(u)) work.push_back(ui);
      }
      closeFace(f);
    }
  }
}

// Gives the control the command as its tag and the change handler.
void Own(IParamControl& c, TStackCommand* tag, const TChangeHandler& onChange) {
  c.Tag = tag;
  c.OnChange = onChange;
}

void SetWidth(IParamControl& c, int width) {
  TRect b = c.Bounds();
  b.Width = width;
  c.SetBounds(b);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Vertex-to-faces table

void TVertexFaces::Build(const TObjData& mesh) {
  const std::size_t n = static_cast<std::size_t>(mesh.Vertices.Count());
  const auto& corners = mesh.Faces.AllCorners();
  faceCount_ = static_cast<std::size_t>(mesh.Faces.Count());
  start_.assign(n + 1, 0);
  auto each = [&](auto&& f) {
    for (std::int32_t i = 0; i < mesh.Faces.Count(); ++i) {
      const TObjFace& face = mesh.Faces[i];
      for (std::int32_t k = 0; k < face.CornerCount; ++k) {
        const std::int32_t v =
            corners[face.FirstCorner + static_cast<std::uint32_t>(k)].VertexIndex;
        if (v >= 0 && static_cast<std::size_t>(v) < n) f(static_cast<std::size_t>(v), i);
      }
    }
  };
  each([&](std::size_t v, std::int32_t) { ++start_[v + 1]; });
  for (std::size_t v = 0; v < n; ++v) start_[v + 1] += start_[v];
  faces_.resize(start_[n]);
  std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
  each([&](std::size_t v, std::int32_t face) { faces_[fill[v]++] = face; });
}

bool TVertexFaces::Fits(const TObjData& mesh) const {
  return start_.size() == static_cast<std::size_t>(mesh.Vertices.Count()) + 1 &&
         faceCount_ == static_cast<std::size_t>(mesh.Faces.Count());
}

// ---------------------------------------------------------------------------------------------
// Common to both kinds

TSCVertexSelection::TSCVertexSelection(TStackMng* manager, std::string captionFormat)
    : TSCSelect(manager), CaptionFormat(std::move(captionFormat)) {
  DisplayFlags = kPickVertexFlags;
}

TSCVertexSelection::TSCVertexSelection(TObjectStream& s) : TSCSelect(s) {
  CaptionFormat = s.ReadString();
  MeshIndex = s.ReadInt32();
  VertexIndex = s.ReadInt32();
  StartVertexId = s.ReadInt32();
  MeshId = s.ReadInt32();
}

void TSCVertexSelection::Store(TObjectStream& s) const {
  TSCSelect::Store(s);
  s.WriteString(CaptionFormat);
  s.WriteInt32(MeshIndex);
  s.WriteInt32(VertexIndex);
  s.WriteInt32(StartVertexId);
  s.WriteInt32(MeshId);
}

void TSCVertexSelection::Fields(ICommandFields& f) {
  f.Field("mesh", MeshIndex);
  f.Field("vertex", VertexIndex);
  f.Field("vertex-id", StartVertexId);
  f.Field("mesh-id", MeshId);
  f.Field("caption-format", CaptionFormat);
}

void TSCVertexSelection::SetObject(const TSceneObject&) {
  UpdateCaption();
  Execute();
}

void TSCVertexSelection::Prepare() {
  TMultiObjData* live = Live();
  start_ = nullptr;
  adjacency_.reset();
  adjacencyMesh_ = nullptr;
  if (!live) return;
  live->UpdateVertexFlags();
  live->LinkShapedPositions();

  // By index first; when another vertex sits there now, by Id in the mesh with MeshId.
  TObjVertex* v = live->VertexAt(MeshIndex, VertexIndex);
  if (v && v->Id != StartVertexId) {
    TObjData* mesh = live->MeshById(MeshId);
    if (!mesh) return;
    v = mesh->VertexById(StartVertexId);
    if (v) {
      const TMeshPos pos = live->VertexIndexOf(v);
      MeshIndex = pos.Mesh;
      VertexIndex = pos.Index;
    }
  }
  if (v) {
    // Mesh Ids are drawn anew whenever a figure is read, so a command loaded from a stack file
    // would find no mesh with its stored Id; the mesh that holds the start vertex is the one.
    if (const TObjData* mesh = live->Mesh(live->VertexIndexOf(v).Mesh)) MeshId = mesh->Id;
    start_ = v;
    Mark(*v, true);
  }
  FreeBackups();
}

void TSCVertexSelection::Execute() {
  Failed = false;
  TMultiObjData* live = Live();
  if (!start_ || !live) {
    Failed = true;
    UpdateCaption();
    return;
  }
  Undo();
  Apply(live->MeshById(MeshId));
  UpdateCaption();
}

bool TSCVertexSelection::PickVertex(TObjVertex& vertex) {
  TMultiObjData* live = Live();
  if (!HasControls() || &vertex == start_ || !live) return false;
  const TMeshPos pos = live->VertexIndexOf(&vertex);
  if (pos.Mesh < 0) return false;  // not a vertex of the meshes the command works on
  if (start_) Mark(*start_, false);
  Mark(vertex, true);
  start_ = &vertex;
  StartVertexId = vertex.Id;
  vertexLabel_->SetText(VertexText());
  MeshIndex = pos.Mesh;
  VertexIndex = pos.Index;
  MeshId = live->Mesh(pos.Mesh)->Id;
  Execute();
  return true;
}

void TSCVertexSelection::UpdateCaption() {
  const std::string vertex =
      start_ ? "<b>" + std::to_string(VertexIndex) + "</b>" : std::string(kNoVertex);
  Caption = FormatCaption(CaptionFormat, {vertex});
  CaptionUpdated();
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCVertexSelection::Release() {
  // The soft selection's anchor stays on the vertex; only the highlight goes.
  if (start_) start_->Highlight = false;
  start_ = nullptr;
  FreeBackups();
  vertexLabel_ = nullptr;
  adjacency_.reset();
  adjacencyMesh_ = nullptr;
  work_ = {};
}

std::string TSCVertexSelection::VertexText() const {
  return start_ ? "Vertex: " + std::to_string(start_->Index) : std::string("Vertex: none");
}

ILabel& TSCVertexSelection::AddVertexLabel(IParamPanel& panel) {
  vertexLabel_ = &panel.AddLabel(3, 2, VertexText());
  return *vertexLabel_;
}

const TVertexFaces& TSCVertexSelection::FacesOfVertices(const TObjData& mesh) {
  if (!adjacency_ || adjacencyMesh_ != &mesh || !adjacency_->Fits(mesh)) {
    if (!adjacency_) adjacency_.emplace();
    adjacency_->Build(mesh);
    adjacencyMesh_ = &mesh;
  }
  return *adjacency_;
}

bool TSCVertexSelection::IsLive(const TObjData* mesh) const {
  TMultiObjData* live = Live();
  if (!live || !mesh) return false;
  for (std::int32_t i = 0; i < live->MeshCount(); ++i)
    if (live->Mesh(i) == mesh) return true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// Soft selection

TSCSoftSelection::TSCSoftSelection(TStackMng* manager)
    : TSCVertexSelection(manager, "Soft selection V:%0:s") {}

TSCSoftSelection::TSCSoftSelection(TObjectStream& s) : TSCVertexSelection(s) {
  Surface = s.ReadBool();
  Fallout = s.ReadFiniteSingle(kClassName, "Fallout");
  Start = s.ReadFiniteSingle(kClassName, "Start");
  Pinch = s.ReadFiniteSingle(kClassName, "Pinch");
  Bubble = s.ReadFiniteSingle(kClassName, "Bubble");
  Square = s.ReadBool();
}

void TSCSoftSelection::Store(TObjectStream& s) const {
  TSCVertexSelection::Store(s);
  s.WriteBool(Surface);
  s.WriteSingle(Fallout);
  s.WriteSingle(Start);
  s.WriteSingle(Pinch);
  s.WriteSingle(Bubble);
  s.WriteBool(Square);
}

void TSCSoftSelection::Fields(ICommandFields& f) {
  f.Field("mesh", MeshIndex);
  f.Field("vertex", VertexIndex);
  f.Field("vertex-id", StartVertexId);
  static const char* const kModes[] = {"volume", "surface"};
  std::int32_t mode = Surface ? 1 : 0;
  f.Choice("mode", mode, kModes);
  Surface = mode != 0;
  f.Field("fallout", Fallout);
  f.Field("start", Start);
  f.Field("pinch", Pinch);
  f.Field("bubble", Bubble);
  f.Field("square", Square);
  f.Field("mesh-id", MeshId);
  f.Field("caption-format", CaptionFormat);
}

float TSCSoftSelection::CurveValue(float t) const {
  // The second coordinate of the cubic Bezier through (0, Start), (r/4, Pinch),
  // (r - r/4, Bubble), (r, 0), taken at the parameter t.
  const float u = 1 - t;
  const float w = Start * u * u * u + 3 * Pinch * t * u * u + 3 * Bubble * t * t * u;
  if (!(w >= 0)) return 0;  // negative or not a number
  return w > 1 ? 1 : w;
}

float TSCSoftSelection::WeightAt(float d) const {
  if (!(d < Fallout)) return 0;
  if (Square) return 1;
  return CurveValue(d / Fallout);
}

std::vector<TPixelPoint> TSCSoftSelection::CurvePoints(int width, int height) const {
  if (Square) return {{0, 0}, {width - 1, 0}, {width - 1, height}};
  std::vector<TPixelPoint> points;
  points.reserve(kCurvePoints);
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  float t = 0;
  for (int i = 0; i < kCurvePoints; ++i) {
    points.push_back({static_cast<int>(w * t), static_cast<int>(h - h * CurveValue(t))});
    t += 1.0f / 30;
  }
  return points;
}

void TSCSoftSelection::Mark(TObjVertex& vertex, bool on) {
  vertex.Anchor = on;
  vertex.Highlight = on;
}

void TSCSoftSelection::Record(TObjVertex& vertex, float distance, float weight) {
  Backups->push_back({&vertex, vertex.SoftWeight, distance});
  // A weight never lowers what an earlier selection gave the vertex.
  vertex.SetSoftWeight(std::max(weight, vertex.SoftWeight));
}

void TSCSoftSelection::Undo() {
  if (!Backups || !IsLive(backupsMesh_)) return;
  for (auto it = Backups->rbegin(); it != Backups->rend(); ++it)
    it->Vertex->SetSoftWeight(it->PreviousWeight);
}

void TSCSoftSelection::Apply(TObjData* mesh) {
  if (!Backups) Backups.emplace();
  Backups->clear();  // keeps its capacity for the next application
  backupsMesh_ = mesh;
  TObjVertex* start = StartVertex();
  if (!mesh || !start || IndexIn(*mesh, *start) < 0) return;
  mesh->LinkShapedPositions();

  // The start vertex gets the curve's value at distance 0, whatever it had before.
  Backups->push_back({start, start->SoftWeight, 0});
  start->SetSoftWeight(Square ? 1 : CurveValue(0));
  if (Surface)
    ApplyOnSurface(*mesh, *start);
  else
    ApplyInVolume(*mesh, *start);
}

void TSCSoftSelection::ApplyInVolume(TObjData& mesh, const TObjVertex& start) {
  const TBaseVertex& from = PositionOf(start);
  for (TObjVertex& v : mesh.Vertices) {
    if (&v == &start || !v.Editable) continue;
    const float d = Distance(from, PositionOf(v));
    if (d < Fallout) Record(v, d, WeightAt(d));
  }
}

void TSCSoftSelection::ApplyOnSurface(TObjData& mesh, TObjVertex& start) {
  ClearVisited(mesh);
  start.Visited = true;
  const TBaseVertex& from = PositionOf(start);
  const TVertexFaces& faces = FacesOfVertices(mesh);
  // The region: vertices joined to the start vertex through editable faces by a chain of
  // vertices that all lie within the radius.
  WalkRegion(
      mesh, faces, work_, IndexIn(mesh, start), [](TObjFace&) {},
      [&](TObjVertex& u) {
        const float d = Distance(from, PositionOf(u));
        if (!(d < Fallout)) return false;
        u.Visited = true;
        Record(u, d, WeightAt(d));
        return true;
      },
      [](TObjFace&) {});
}

void TSCSoftSelection::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  const ILabel& label = AddVertexLabel(panel);
  int column = 0;
  auto edit = [&](int top, std::string_view text, double value, double step) -> INumberEdit& {
    INumberEdit& e = RatioEdit(panel, 3, top, column, text, this, onChange);
    e.SetStep(step);
    e.SetValue(value);
    return e;
  };
  FalloutEdit = &edit(label.Bounds().Bottom() + 5, "Fallout:  ", Fallout, 0.002);
  FalloutEdit->SetRange(0.0009, 1000000);
  StartEdit = &edit(FalloutEdit->Bounds().Bottom() + 5, "Start:", Start, 0.05);
  StartEdit->SetRange(0, 1);
  PinchEdit = &edit(StartEdit->Bounds().Bottom() + 5, "Pinch:", Pinch, 0.1);
  BubbleEdit = &edit(PinchEdit->Bounds().Bottom() + 5, "Bubble:", Bubble, 0.1);

  CurvePreview = &panel.AddCurvePreview({3, BubbleEdit->Bounds().Bottom() + 5, 100, 60});

  SquareBox = &panel.AddCheckBox(5, CurvePreview->Bounds().Bottom() + 5, "square");
  SetWidth(*SquareBox, 100);
  SquareBox->SetChecked(Square);
  Own(*SquareBox, this, onChange);

  const ILabel& select = panel.AddLabel(3, SquareBox->Bounds().Bottom() + 5, "Select:");
  SurfaceButton = &panel.AddRadioButton(5, select.Bounds().Bottom() + 5, "surface", 0);
  SetWidth(*SurfaceButton, 100);
  SurfaceButton->SetChecked(Surface);
  Own(*SurfaceButton, this, onChange);
  VolumeButton = &panel.AddRadioButton(5, SurfaceButton->Bounds().Bottom() + 1, "volume", 0);
  SetWidth(*VolumeButton, 100);
  VolumeButton->SetChecked(!Surface);
  Own(*VolumeButton, this, onChange);

  for (INumberEdit* e : {StartEdit, PinchEdit, BubbleEdit}) e->SetEnabled(!Square);
  RepaintCurve();
}

void TSCSoftSelection::RepaintCurve() {
  if (!CurvePreview) return;
  const TRect b = CurvePreview->Bounds();
  CurvePreview->SetPoints(CurvePoints(b.Width, b.Height));
}

void TSCSoftSelection::ControlChanged(IParamControl& sender) {
  if (!FalloutEdit) return;
  if (const auto* e = dynamic_cast<const INumberEdit*>(&sender); e && e->IsBlank())
    return;  // an emptied field changes nothing until a number is entered
  if (&sender == FalloutEdit) {
    Fallout = static_cast<float>(FalloutEdit->Value());
  } else if (&sender == StartEdit) {
    Start = static_cast<float>(StartEdit->Value());
    RepaintCurve();
  } else if (&sender == PinchEdit) {
    Pinch = static_cast<float>(PinchEdit->Value());
    RepaintCurve();
  } else if (&sender == BubbleEdit) {
    Bubble = static_cast<float>(BubbleEdit->Value());
    RepaintCurve();
  } else if (&sender == SurfaceButton) {
    Surface = SurfaceButton->Checked();
  } else if (&sender == VolumeButton) {
    Surface = !VolumeButton->Checked();
  } else if (&sender == SquareBox) {
    Square = SquareBox->Checked();
    for (INumberEdit* e : {StartEdit, PinchEdit, BubbleEdit}) e->SetEnabled(!Square);
    RepaintCurve();
  }
  Execute();
}

void TSCSoftSelection::Release() {
  TSCVertexSelection::Release();
  backupsMesh_ = nullptr;
  FalloutEdit = StartEdit = PinchEdit = BubbleEdit = nullptr;
  CurvePreview = nullptr;
  SquareBox = nullptr;
  SurfaceButton = VolumeButton = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Surface selection

TSCSelectSurface::TSCSelectSurface(TStackMng* manager)
    : TSCVertexSelection(manager, "Select surface V:%0:s") {}

void TSCSelectSurface::CreateControls(IParamPanel& panel, const TChangeHandler&) {
  const ILabel& label = AddVertexLabel(panel);
  CountLabel = &panel.AddLabel(3, label.Bounds().Bottom() + 5, "");
}

void TSCSelectSurface::CaptionUpdated() {
  if (CountLabel && FaceBackups)
    CountLabel->SetText("Faces selected:" + std::to_string(FaceBackups->size()));
}

void TSCSelectSurface::FreeBackups() {
  VertexBackups.reset();
  FaceBackups.reset();
}

void TSCSelectSurface::Undo() {
  if (!VertexBackups || !FaceBackups || !IsLive(backupsMesh_)) return;
  for (auto it = FaceBackups->rbegin(); it != FaceBackups->rend(); ++it)
    it->Face->Selected = it->PreviousSelected;
  for (auto it = VertexBackups->rbegin(); it != VertexBackups->rend(); ++it)
    it->Vertex->SetSelected(it->PreviousSelected);
}

void TSCSelectSurface::Apply(TObjData* mesh) {
  if (mesh) ClearVisited(*mesh);
  if (!VertexBackups) VertexBackups.emplace();
  if (!FaceBackups) FaceBackups.emplace();
  VertexBackups->clear();  // both keep their capacity for the next application
  FaceBackups->clear();
  backupsMesh_ = mesh;
  TObjVertex* start = StartVertex();
  if (!mesh || !start || IndexIn(*mesh, *start) < 0) return;

  VertexBackups->push_back({start, start->Selected});
  start->Visited = true;
  // Every editable face reachable from the start vertex through editable faces.
  WalkRegion(
      *mesh, FacesOfVertices(*mesh), work_, IndexIn(*mesh, *start),
      [&](TObjFace& f) {
        FaceBackups->push_back({&f, f.Selected});
      },
      [&](TObjVertex& u) {
        u.Visited = true;
        VertexBackups->push_back({&u, u.Selected});
        u.SetSelected(true);
        return true;
      },
      [](TObjFace& f) { f.SetSelected(true); });
}

void TSCSelectSurface::Release() {
  TSCVertexSelection::Release();
  backupsMesh_ = nullptr;
  CountLabel = nullptr;
}

}  // namespace tarvel
