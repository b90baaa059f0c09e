#include "commands/Transforms.h"

#include <cmath>
#include <numbers>

#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr float kTranslateFull = 0.9999f;  // at least this weight moves fully
constexpr float kRotateFull = 0.999f;      // above this weight rotation and scaling are full

TVec3s ReadVec(TObjectStream& s, std::string_view record, std::string_view field) {
  const std::string name(field);
  TVec3s v;
  v.X = s.ReadFiniteSingle(record, name + ".x");
  v.Y = s.ReadFiniteSingle(record, name + ".y");
  v.Z = s.ReadFiniteSingle(record, name + ".z");
  return v;
}

void WriteVec(TObjectStream& s, const TVec3s& v) {
  s.WriteSingle(v.X);
  s.WriteSingle(v.Y);
  s.WriteSingle(v.Z);
}

float& Axis(TVec3s& v, int i) { return i == 0 ? v.X : i == 1 ? v.Y : v.Z; }
float Axis(const TVec3s& v, int i) { return i == 0 ? v.X : i == 1 ? v.Y : v.Z; }

TPoint3 ToPoint(const TVec3s& v) { return {v.X, v.Y, v.Z}; }

TVec3s Minus(const TVec3s& a, const TVec3s& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }

TVec3s Single(const TBaseVertex& p) {
  return {static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z)};
}

// Index of `control` among `fields`, or -1.
template <class T, std::size_t N>
int IndexOf(T* const (&fields)[N], const IParamControl* control) {
  for (std::size_t i = 0; i < N; ++i)
    if (fields[i] && static_cast<const IParamControl*>(fields[i]) == control)
      return static_cast<int>(i);
  return -1;
}

constexpr const char* kAxisLabels[3] = {"X:", "Y:", "Z:"};

// A "Reset" button: 60 x 20 at left 10.
IButton& ResetButton(IParamPanel& panel, int top, TStackCommand* tag,
                     const TChangeHandler& onChange) {
  IButton& b = panel.AddButton({10, top, 60, 20}, "Reset");
  b.Tag = tag;
  b.OnChange = onChange;
  return b;
}

}  // namespace

TVec3s RotatePoint(const TVec3s& p, const TVec3s& centre, const TVec3s& angles) {
  const float toRadians = static_cast<float>(std::numbers::pi / 180.0);
  float x = p.X - centre.X;
  float y = p.Y - centre.Y;
  float z = p.Z - centre.Z;
  {
    const float a = angles.X * toRadians;
    const float c = std::cos(a), s = std::sin(a);
    const float ny = y * c - z * s;
    const float nz = y * s + z * c;
    y = ny;
    z = nz;
  }
  {
    const float a = angles.Y * toRadians;
    const float c = std::cos(a), s = std::sin(a);
    const float nx = x * c + z * s;
    const float nz = -x * s + z * c;
    x = nx;
    z = nz;
  }
  {
    const float a = angles.Z * toRadians;
    const float c = std::cos(a), s = std::sin(a);
    const float nx = x * c - y * s;
    const float ny = x * s + y * c;
    x = nx;
    y = ny;
  }
  return {x + centre.X, y + centre.Y, z + centre.Z};
}

// ---------------------------------------------------------------------------------------------
// Common

void TSCTrasform::CommonPrepare() {
  TMultiObjData* live = Live();
  Backups.clear();
  MorphEntries.clear();
  Centre = {};
  if (!live) return;
  live->UpdateVertexFlags();
  live->LinkShapedPositions();
  const TPoint3f c = live->SelectionCentre();
  Centre = {c.X, c.Y, c.Z};
  Backups = live->BackupSelection();
  MorphEntries = live->MorphInfoList();
}

void TSCTrasform::SetObject(const TSceneObject&) {
  UpdateCaption();
  Execute();
}

void TSCTrasform::UpdateCaption() {
  Caption = CaptionFormat;
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCTrasform::Release() {
  Backups.clear();
  MorphEntries.clear();
}

template <class TMove>
void TSCTrasform::MoveAll(TMove&& move) {
  TBaseVertex moved;
  // Morph entries first: they read the saved positions and the live vertex's weight.
  for (const auto& list : MorphEntries)
    for (TMTVertInfo& e : list->Items)
      if (move(e.Saved, *e.Vertex, moved)) {
        e.Position->X = moved.X;
        e.Position->Y = moved.Y;
        e.Position->Z = moved.Z;
      }
  for (const auto& copy : Backups) {
    TObjData& mesh = *copy->Mesh;
    for (const TObjVertex& c : copy->Copies) {
      TObjVertex* v = mesh.Vertices.Find(c.Index);
      if (!v || !move(c, c, moved)) continue;
      v->SetX(moved.X);
      v->Y = moved.Y;
      v->Z = moved.Z;
    }
    mesh.Groups.ForEach([](TGroup& g) {
      g.ApplyMorphTargets();
      g.Refresh();
    });
  }
}

// ---------------------------------------------------------------------------------------------
// Translate

TSCTranslate::TSCTranslate(TObjectStream& s) : TSCTrasform(s) {
  Offset = ReadVec(s, kClassName, "Offset");
  CaptionFormat = s.ReadString();
}

void TSCTranslate::Store(TObjectStream& s) const {
  TSCTrasform::Store(s);
  WriteVec(s, Offset);
  s.WriteString(CaptionFormat);
}

void TSCTranslate::Fields(ICommandFields& f) {
  f.Vector("offset", Offset.X, Offset.Y, Offset.Z);
  f.Field("caption-format", CaptionFormat);
}

void TSCTranslate::Execute() {
  const TVec3s offset = Offset;
  MoveAll([&](const TBaseVertex& p, const TObjVertex& flags, TBaseVertex& out) {
    if (flags.Selected || flags.SoftWeight >= kTranslateFull) {
      out.X = p.X - static_cast<double>(offset.X);
      out.Y = p.Y - static_cast<double>(offset.Y);
      out.Z = p.Z - static_cast<double>(offset.Z);
      return true;
    }
    const float w = flags.SoftWeight;
    if (w <= 0) return false;
    out.X = p.X - static_cast<double>(offset.X * w);
    out.Y = p.Y - static_cast<double>(offset.Y * w);
    out.Z = p.Z - static_cast<double>(offset.Z * w);
    return true;
  });
}

void TSCTranslate::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  int column = 0;
  int top = 8;
  const TVec3s target = Minus(Centre, Offset);
  for (int i = 0; i < 3; ++i) {
    INumberEdit& e = CoordinateEdit(panel, 3, top, column, kAxisLabels[i], this, onChange);
    e.SetValue(Axis(target, i));
    fields_[i] = &e;
    top = e.Bounds().Bottom() + 5;
  }
  reset_ = &ResetButton(panel, fields_[2]->Bounds().Bottom() + 6, this, onChange);
}

void TSCTranslate::DrawOverlay(IOverlayPainter& painter) {
  DrawCentreMarker(painter, ToPoint(Minus(Centre, Offset)));
}

void TSCTranslate::ControlChanged(IParamControl& sender) {
  if (!fields_[0]) return;
  if (const int i = IndexOf(fields_, &sender); i >= 0) {
    if (fields_[i]->IsBlank()) return;
    Axis(Offset, i) = Axis(Centre, i) - static_cast<float>(fields_[i]->Value());
  } else if (&sender == reset_) {
    Offset = {};
    for (int k = 0; k < 3; ++k) fields_[k]->SetValue(Axis(Centre, k));
  }
  Execute();
}

void TSCTranslate::Release() {
  TSCTrasform::Release();
  fields_[0] = fields_[1] = fields_[2] = nullptr;
  reset_ = nullptr;
}

TSCTranslateToZero::TSCTranslateToZero(TStackMng* manager) : TSCTranslate(manager) {
  CaptionFormat = "Translate to 0,0,0";
}

void TSCTranslateToZero::Prepare() {
  CommonPrepare();
  Offset = Centre;
}

// ---------------------------------------------------------------------------------------------
// Rotate

TSCRotate::TSCRotate(TObjectStream& s) : TSCTrasform(s) {
  Angles = ReadVec(s, kClassName, "Angles");
  CentreOffset = ReadVec(s, kClassName, "CentreOffset");
  CaptionFormat = s.ReadString();
}

void TSCRotate::Store(TObjectStream& s) const {
  TSCTrasform::Store(s);
  WriteVec(s, Angles);
  WriteVec(s, CentreOffset);
  s.WriteString(CaptionFormat);
}

void TSCRotate::Fields(ICommandFields& f) {
  f.Vector("angles", Angles.X, Angles.Y, Angles.Z);
  f.Vector("centre-offset", CentreOffset.X, CentreOffset.Y, CentreOffset.Z);
  f.Field("caption-format", CaptionFormat);
}

void TSCRotate::Execute() {
  const TVec3s centre = Minus(Centre, CentreOffset);
  const TVec3s angles = Angles;
  MoveAll([&](const TBaseVertex& p, const TObjVertex& flags, TBaseVertex& out) {
    const bool full = flags.Selected || flags.SoftWeight > kRotateFull;
    const float w = flags.SoftWeight;
    const TVec3s a = full ? angles : TVec3s{angles.X * w, angles.Y * w, angles.Z * w};
    const TVec3s r = RotatePoint(Single(p), centre, a);
    out.X = r.X;
    out.Y = r.Y;
    out.Z = r.Z;
    return true;
  });
}

void TSCRotate::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  int column = 0;
  ILabel& centreLabel = panel.AddLabel(3, 3, "Rotation center");
  int top = centreLabel.Bounds().Bottom() + 5;
  const TVec3s centre = Minus(Centre, CentreOffset);
  for (int i = 0; i < 3; ++i) {
    INumberEdit& e = CoordinateEdit(panel, 3, top, column, kAxisLabels[i], this, onChange);
    e.SetValue(Axis(centre, i));
    centreFields_[i] = &e;
    top = e.Bounds().Bottom() + 5;
  }
  ILabel& rotationLabel = panel.AddLabel(3, centreFields_[2]->Bounds().Bottom() + 6, "Rotation");
  top = rotationLabel.Bounds().Bottom() + 5;
  constexpr const char* kAngleLabels[3] = {"X rot.:", "Y rot.:", "Z rot.:"};
  for (int i = 0; i < 3; ++i) {
    INumberEdit& e = CoordinateEdit(panel, 3, top, column, kAngleLabels[i], this, onChange);
    e.SetStep(1);
    e.SetValue(Axis(Angles, i));
    angleFields_[i] = &e;
    top = e.Bounds().Bottom() + 5;
  }
  reset_ = &ResetButton(panel, angleFields_[2]->Bounds().Bottom() + 6, this, onChange);
}

void TSCRotate::DrawOverlay(IOverlayPainter& painter) {
  DrawCentreMarker(painter, ToPoint(Minus(Centre, CentreOffset)));
}

void TSCRotate::ControlChanged(IParamControl& sender) {
  if (!centreFields_[0]) return;
  if (const int i = IndexOf(centreFields_, &sender); i >= 0) {
    if (centreFields_[i]->IsBlank()) return;
    Axis(CentreOffset, i) = Axis(Centre, i) - static_cast<float>(centreFields_[i]->Value());
  } else if (const int j = IndexOf(angleFields_, &sender); j >= 0) {
    if (angleFields_[j]->IsBlank()) return;
    Axis(Angles, j) = static_cast<float>(angleFields_[j]->Value());
  } else if (&sender == reset_) {
    CentreOffset = {};
    Angles = {};
    for (int k = 0; k < 3; ++k) {
      centreFields_[k]->SetValue(Axis(Centre, k));
      angleFields_[k]->SetValue(0);
    }
  }
  Execute();
}

void TSCRotate::Release() {
  TSCTrasform::Release();
  for (int i = 0; i < 3; ++i) centreFields_[i] = angleFields_[i] = nullptr;
  reset_ = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Scale

TSCScale::TSCScale(TObjectStream& s) : TSCTrasform(s) {
  Factors = ReadVec(s, kClassName, "Factors");
  Uniform = s.ReadBool();
  CaptionFormat = s.ReadString();
}

void TSCScale::Store(TObjectStream& s) const {
  TSCTrasform::Store(s);
  WriteVec(s, Factors);
  s.WriteBool(Uniform);
  s.WriteString(CaptionFormat);
}

void TSCScale::Fields(ICommandFields& f) {
  f.Vector("factors", Factors.X, Factors.Y, Factors.Z);
  f.Field("uniform", Uniform);
  f.Field("caption-format", CaptionFormat);
}

void TSCScale::Execute() {
  const TVec3s c = Centre;
  const TVec3s f = Factors;
  MoveAll([&](const TBaseVertex& p, const TObjVertex& flags, TBaseVertex& out) {
    const bool full = flags.Selected || flags.SoftWeight > kRotateFull;
    const float w = flags.SoftWeight;
    const TVec3s fw = full ? f : TVec3s{(f.X - 1) * w + 1, (f.Y - 1) * w + 1, (f.Z - 1) * w + 1};
    const TVec3s q = Single(p);
    out.X = c.X + (q.X - c.X) * fw.X;
    out.Y = c.Y + (q.Y - c.Y) * fw.Y;
    out.Z = c.Z + (q.Z - c.Z) * fw.Z;
    return true;
  });
}

void TSCScale::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  int column = 0;
  int top = 8;
  for (int i = 0; i < 3; ++i) {
    INumberEdit& e = CoordinateEdit(panel, 3, top, column, kAxisLabels[i], this, onChange);
    e.SetRange(0.0001, 1000000);
    e.SetValue(Axis(Factors, i));
    fields_[i] = &e;
    top = e.Bounds().Bottom() + 5;
  }
  ICheckBox& lock = panel.AddCheckBox(5, fields_[2]->Bounds().Bottom() + 5, "lock");
  TRect lb = lock.Bounds();
  lb.Width = 100;
  lock.SetBounds(lb);
  lock.SetChecked(Uniform);
  lock.Tag = this;
  lock.OnChange = onChange;
  lock_ = &lock;
  reset_ = &ResetButton(panel, lb.Bottom() + 6, this, onChange);
}

void TSCScale::DrawOverlay(IOverlayPainter& painter) { DrawCentreMarker(painter, ToPoint(Centre)); }

void TSCScale::ControlChanged(IParamControl& sender) {
  if (!fields_[0]) return;
  if (const int i = IndexOf(fields_, &sender); i >= 0) {
    if (fields_[i]->IsBlank()) return;
    const float v = static_cast<float>(fields_[i]->Value());
    if (Uniform) {
      Factors = {v, v, v};
      for (int k = 0; k < 3; ++k)
        if (k != i) fields_[k]->SetValue(v);
    } else {
      Axis(Factors, i) = v;
    }
  } else if (&sender == lock_) {
    Uniform = lock_->Checked();
  } else if (&sender == reset_) {
    Factors = {1, 1, 1};
    for (int k = 0; k < 3; ++k) fields_[k]->SetValue(1);
  }
  Execute();
}

void TSCScale::Release() {
  TSCTrasform::Release();
  fields_[0] = fields_[1] = fields_[2] = nullptr;
  lock_ = nullptr;
  reset_ = nullptr;
}

}  // namespace tarvel
