#include "commands/Sculpt.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <utility>

#include "mesh/ObjReader.h"
#include "mesh/VertexLines.h"
#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr float kFull = 0.9999f;  // at least this soft weight moves fully, as for Translate

struct TBox {
  double Min[3] = {std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                   std::numeric_limits<double>::max()};
  double Max[3] = {std::numeric_limits<double>::lowest(), std::numeric_limits<double>::lowest(),
                   std::numeric_limits<double>::lowest()};
  void Take(double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
      Min[i] = std::min(Min[i], p[i]);
      Max[i] = std::max(Max[i], p[i]);
    }
  }
  bool Empty() const { return Min[0] > Max[0]; }
  double Size() const { return std::max({Max[0] - Min[0], Max[1] - Min[1], Max[2] - Min[2]}); }
  double Height() const { return Max[1] - Min[1]; }
  double CentreDistance(const TBox& o) const {
    double d2 = 0;
    for (int i = 0; i < 3; ++i) {
      const double d = (Min[i] + Max[i]) / 2 - (o.Min[i] + o.Max[i]) / 2;
      d2 += d * d;
    }
    return std::sqrt(d2);
  }
};

}  // namespace

namespace sculpttexts {
std::string WrongCount(std::size_t sculpt, std::int64_t figure) {
  return "The sculpt has " + std::to_string(sculpt) + " vertices, the figure " +
         std::to_string(figure);
}
}  // namespace sculpttexts

TSCUseSculpt::TSCUseSculpt(TStackMng* manager) : TSCModifier(manager) {
  Caption = sculpttexts::kCaption;
}

TSCUseSculpt::TSCUseSculpt(TObjectStream& s) : TSCModifier(s) {
  CaptionFormat = s.ReadString();
  FileName = s.ReadString();
  Strength = s.ReadDouble();
  const std::int32_t count = s.ReadCount(24, "sculpt positions");
  Positions.resize(static_cast<std::size_t>(count) * 3);
  s.ReadBytes(Positions.data(), Positions.size() * sizeof(double));
}

void TSCUseSculpt::Store(TObjectStream& s) const {
  TSCModifier::Store(s);
  s.WriteString(CaptionFormat);
  s.WriteString(FileName);
  s.WriteDouble(Strength);
  s.WriteInt32(static_cast<std::int32_t>(SculptVertexCount()));
  s.WriteBytes(Positions.data(), SculptVertexCount() * 3 * sizeof(double));
}

void TSCUseSculpt::Fields(ICommandFields& fields) {
  fields.Field("file", FileName);
  fields.Field("strength", Strength);
}

void TSCUseSculpt::FieldsRead(const std::string& source) {
  const std::filesystem::path file(FileName);
  const std::filesystem::path folder = std::filesystem::path(source).parent_path();
  if (!FileName.empty() && file.is_relative() && !folder.empty())
    FileName = (folder / file).lexically_normal().string();
  ReadSculptFile();
}

void TSCUseSculpt::ReadSculptFile() {
  std::vector<double> read;
  std::size_t expected = 0;
  if (const TMultiObjData* live = Live(); live && live->MeshCount() > 0)
    expected = static_cast<std::size_t>(live->Mesh(0)->Vertices.Count());
  ReadVertexLines(FileName, read, expected);
  Positions = std::move(read);
  Positions.shrink_to_fit();
}

void TSCUseSculpt::SetObject(const TSceneObject&) {
  ISculptFileChooser* chooser = Manager ? Manager->SculptChooser : nullptr;
  if (FileName.empty() && chooser) {
    if (const std::optional<std::string> chosen = chooser->ChooseSculptFile(FileName)) {
      SetFile(*chosen);
      return;
    }
  }
  UpdateCaption();
  Execute();
}

bool TSCUseSculpt::SetFile(const std::string& fileName) {
  const std::string old = FileName;
  FileName = fileName;
  if (!Reload()) {
    FileName = old;
    UpdateCaption();
    return false;
  }
  return true;
}

bool TSCUseSculpt::Reload() {
  std::string error;
  try {
    ReadSculptFile();
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (error.empty()) {
    Reapply();
  } else {
    problem_ = error;
    ShowState();
  }
  UpdateCaption();
  return error.empty();
}

// The live state is put back to the start of the command's turn, prepared for the new
// positions (another vertex count may mean another mesh) and applied.
void TSCUseSculpt::Reapply() {
  const bool wasPrepared = prepared_;
  Restore();
  if (wasPrepared) Prepare();
  Execute();
}

void TSCUseSculpt::Prepare() {
  mesh_ = nullptr;
  pristine_ = nullptr;
  copies_.clear();
  start_.clear();
  morphEntries_.clear();
  problem_.clear();
  scaled_ = false;
  prepared_ = true;
  TMultiObjData* live = Live();
  if (!live || Positions.empty()) return;

  // The sculpt applies to the first mesh with vertices taking part whose vertex count is the
  // sculpt's (with nothing taking part anywhere, the first mesh of that count).
  const std::size_t n = SculptVertexCount();
  std::vector<TObjData*> candidates;
  for (std::int32_t m = 0; m < live->MeshCount(); ++m) {
    TObjData* mesh = live->Mesh(m);
    mesh->UpdateVertexFlags();
    if (std::any_of(mesh->Vertices.begin(), mesh->Vertices.end(),
                    [](const TObjVertex& v) { return v.TakesPart(); }))
      candidates.push_back(mesh);
  }
  if (candidates.empty())
    for (std::int32_t m = 0; m < live->MeshCount(); ++m) candidates.push_back(live->Mesh(m));
  std::int32_t meshIndex = -1;
  for (TObjData* mesh : candidates)
    if (static_cast<std::size_t>(mesh->Vertices.Count()) == n) {
      mesh_ = mesh;
      meshIndex = live->Meshes.IndexOf(mesh);
      break;
    }
  if (!mesh_) {
    problem_ = sculpttexts::WrongCount(n, candidates.empty() ? 0 : candidates[0]->Vertices.Count());
    return;
  }

  const TMultiObjData* pristine = Manager ? Manager->Pristine.get() : nullptr;
  const TObjData* pm = pristine ? pristine->Mesh(meshIndex) : nullptr;
  if (pm && static_cast<std::size_t>(pm->Vertices.Count()) == n) {
    pristine_ = pm;
  } else {
    start_.reserve(n * 3);
    for (const TObjVertex& v : mesh_->Vertices) start_.insert(start_.end(), {v.X, v.Y, v.Z});
  }

  for (const TObjVertex& v : mesh_->Vertices) {
    if (!v.TakesPart()) continue;
    const float w = v.Selected || v.SoftWeight >= kFull ? 1.0f : v.SoftWeight;
    if (w <= 0) continue;
    copies_.push_back({v.Index, w, v.X, v.Y, v.Z});
  }
  mesh_->MorphInfoList(morphEntries_);

  // The figure's box is the one the stack started from.
  TBox sculptBox, figureBox;
  for (std::size_t i = 0; i < n; ++i)
    sculptBox.Take(Positions[3 * i], Positions[3 * i + 1], Positions[3 * i + 2]);
  if (pristine_) {
    for (const TObjVertex& v : pristine_->Vertices) figureBox.Take(v.X, v.Y, v.Z);
  } else {
    for (std::size_t i = 0; i < n; ++i)
      figureBox.Take(start_[3 * i], start_[3 * i + 1], start_[3 * i + 2]);
  }
  if (!sculptBox.Empty() && !figureBox.Empty()) {
    const double a = sculptBox.Size(), b = figureBox.Size();
    scaled_ = a > 2 * b || b > 2 * a || sculptBox.CentreDistance(figureBox) > figureBox.Height();
  }
}

bool TSCUseSculpt::Displacement(std::int32_t i, double (&p)[3], double (&d)[3]) const {
  const std::size_t k = static_cast<std::size_t>(i) * 3;
  if (i < 0 || k + 2 >= Positions.size()) return false;
  if (pristine_) {
    const TObjVertex& v = pristine_->Vertices[i];
    p[0] = v.X, p[1] = v.Y, p[2] = v.Z;
  } else {
    p[0] = start_[k], p[1] = start_[k + 1], p[2] = start_[k + 2];
  }
  for (int a = 0; a < 3; ++a) d[a] = Positions[k + static_cast<std::size_t>(a)] - p[a];
  return d[0] != 0 || d[1] != 0 || d[2] != 0;
}

void TSCUseSculpt::Execute() {
  Failed = !problem_.empty();
  if (mesh_) {
    double p[3], d[3];
    for (const auto& list : morphEntries_)
      for (TMTVertInfo& e : list->Items) {
        if (!e.Vertex || !Displacement(e.Vertex->Index, p, d)) continue;
        const float w = e.Vertex->Selected || e.Vertex->SoftWeight >= kFull
                            ? 1.0f
                            : std::max(0.0f, e.Vertex->SoftWeight);
        const double k = Strength * static_cast<double>(w);
        e.Position->X = e.Saved.X + k * d[0];
        e.Position->Y = e.Saved.Y + k * d[1];
        e.Position->Z = e.Saved.Z + k * d[2];
      }
    for (const TCopy& c : copies_) {
      if (!Displacement(c.Index, p, d)) continue;
      const double k = Strength * static_cast<double>(c.Weight);
      const double* s = &Positions[static_cast<std::size_t>(c.Index) * 3];
      // new = copy + k (S - P). With k = 1 it is formed as S + (copy - P), which gives the
      // sculpt's own coordinates where nothing moved the vertex before.
      auto moved = [&](double from, int a) {
        return k == 1 ? s[a] + (from - p[a]) : from + k * d[a];
      };
      TObjVertex& v = mesh_->Vertices[c.Index];
      v.SetX(moved(c.X, 0));
      v.Y = moved(c.Y, 1);
      v.Z = moved(c.Z, 2);
    }
    mesh_->Groups.ForEach([](TGroup& g) {
      g.ApplyMorphTargets();
      g.Refresh();
    });
  }
  // The caption turns red while the sculpt is refused, and back when it applies again.
  if (Caption != CaptionText()) UpdateCaption();
  ShowState();
}

void TSCUseSculpt::Restore() {
  if (!mesh_) return;
  for (const auto& list : morphEntries_)
    for (TMTVertInfo& e : list->Items) {
      e.Position->X = e.Saved.X;
      e.Position->Y = e.Saved.Y;
      e.Position->Z = e.Saved.Z;
    }
  for (const TCopy& c : copies_) {
    TObjVertex& v = mesh_->Vertices[c.Index];
    v.SetX(c.X);
    v.Y = c.Y;
    v.Z = c.Z;
  }
  mesh_->Groups.ForEach([](TGroup& g) {
    g.ApplyMorphTargets();
    g.Refresh();
  });
}

void TSCUseSculpt::Release() {
  mesh_ = nullptr;
  pristine_ = nullptr;
  copies_.clear();
  copies_.shrink_to_fit();
  start_.clear();
  start_.shrink_to_fit();
  morphEntries_.clear();
  prepared_ = false;
  fileButton_ = reloadButton_ = nullptr;
  strength_ = nullptr;
  fileLine_ = messageLine_ = nullptr;
}

std::string TSCUseSculpt::CaptionText() const {
  if (FileName.empty()) return sculpttexts::kCaption;
  const std::string shown = std::filesystem::path(FileName).filename().string();
  return (Failed || !problem_.empty() ? "<c:Red>" : "") + FormatCaption(CaptionFormat, {shown});
}

void TSCUseSculpt::UpdateCaption() {
  Caption = CaptionText();
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCUseSculpt::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  auto tag = [&](IParamControl& c) {
    c.Tag = this;
    c.OnChange = onChange;
  };
  fileButton_ = &panel.AddButton({3, 8, 60, 20}, "File...");
  tag(*fileButton_);
  fileLine_ = &panel.AddTextLine({68, 8, 180, 20}, "");
  int column = 0;
  strength_ =
      &RatioEdit(panel, 3, fileButton_->Bounds().Bottom() + 5, column, "Strength:", this, onChange);
  strength_->SetRange(-1000000, 1000000);
  strength_->SetValue(Strength);
  reloadButton_ = &panel.AddButton({3, strength_->Bounds().Bottom() + 6, 60, 20}, "Reload");
  tag(*reloadButton_);
  messageLine_ = &panel.AddTextLine({3, reloadButton_->Bounds().Bottom() + 6, 250, 40}, "");
  ShowState();
}

void TSCUseSculpt::ShowState() {
  if (fileLine_)
    fileLine_->SetText(FileName.empty() ? std::string(sculpttexts::kNoFile)
                                        : std::filesystem::path(FileName).filename().string());
  if (reloadButton_) reloadButton_->SetEnabled(!FileName.empty());
  if (messageLine_)
    messageLine_->SetText(!problem_.empty() ? problem_
                          : scaled_         ? std::string(sculpttexts::kScaled)
                                            : std::string());
}

void TSCUseSculpt::ControlChanged(IParamControl& sender) {
  if (!fileButton_) return;
  if (&sender == fileButton_) {
    ISculptFileChooser* chooser = Manager ? Manager->SculptChooser : nullptr;
    if (!chooser) return;
    if (const std::optional<std::string> chosen = chooser->ChooseSculptFile(FileName))
      SetFile(*chosen);
    return;
  }
  if (&sender == reloadButton_) {
    if (!FileName.empty()) Reload();
    return;
  }
  if (&sender == strength_) {
    if (strength_->IsBlank()) return;
    Strength = strength_->Value();
  }
  Execute();
}

}  // namespace tarvel
