#include "commands/Specular.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "commands/ClosestPair.h"
#include "commands/MirrorSearch.h"
#include "stack/CommandFields.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr float kNoDistance = 10000000.0f;

// The group entries of every vertex of a mesh, in group order: what a key search in every
// group's vertex list would find.
class TMemberships {
 public:
  struct TMember {
    TGroup* Group;
    std::int32_t Entry;
  };

  explicit TMemberships(const TObjData& mesh) {
    const std::size_t n = static_cast<std::size_t>(mesh.Vertices.Count());
    start_.assign(n + 1, 0);
    auto each = [&](auto&& f) {
      for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g) {
        const TGroupVertList& list = mesh.Groups[g]->Vertices;
        for (std::int32_t k = 0; k < list.Count(); ++k) {
          const std::int32_t v = list[k].VertexIndex;
          // A key search finds the first of equal keys.
          if (v < 0 || static_cast<std::size_t>(v) >= n) continue;
          if (k > 0 && list[k - 1].VertexIndex == v) continue;
          f(static_cast<std::size_t>(v), mesh.Groups[g], k);
        }
      }
    };
    each([&](std::size_t v, TGroup*, std::int32_t) { ++start_[v + 1]; });
    for (std::size_t v = 0; v < n; ++v) start_[v + 1] += start_[v];
    members_.resize(start_[n]);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    each([&](std::size_t v, TGroup* g, std::int32_t k) { members_[fill[v]++] = {g, k}; });
  }

  std::span<const TMember> Of(std::int32_t vertex) const {
    if (vertex < 0 || static_cast<std::size_t>(vertex) + 1 >= start_.size()) return {};
    const std::size_t v = static_cast<std::size_t>(vertex);
    return {members_.data() + start_[v], start_[v + 1] - start_[v]};
  }

 private:
  std::vector<std::uint32_t> start_;
  std::vector<TMember> members_;
};

struct TDisplacement {
  float X = 0, Y = 0, Z = 0;
};

void RefreshGroups(TObjData& mesh) {
  mesh.Groups.ForEach([](TGroup& g) {
    g.ApplyMorphTargets();
    g.Refresh();
  });
}

std::string FixedText(float value, int decimals) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, static_cast<double>(value),
                               std::chars_format::fixed, decimals);
  return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------------------------

TSCSpecular::TSCSpecular(TStackMng* manager) : TSCModifier(manager) {}

TSCSpecular::TSCSpecular(TObjectStream& s) : TSCModifier(s) {
  CaptionFormat = s.ReadString();
  Mode = s.ReadByte();
  Precision = s.ReadFiniteSingle(kClassName, "Precision");
  (void)s.ReadInt32();  // reserved
  ResetMorphs = false;
  Release();
}

void TSCSpecular::Store(TObjectStream& s) const {
  TSCModifier::Store(s);
  s.WriteString(CaptionFormat);
  s.WriteByte(Mode);
  s.WriteSingle(Precision);
  s.WriteInt32(0);  // reserved
}

void TSCSpecular::Fields(ICommandFields& f) {
  static const char* const kModes[] = {"left-to-right", "right-to-left", "reset-left",
                                       "reset-right"};
  f.Choice("mode", Mode, kModes);
  f.Field("precision", Precision);
  f.Field("caption-format", CaptionFormat);
}

void TSCSpecular::SetObject(const TSceneObject& object) {
  (void)object;  // the command works on the selection, not on an object
  UpdateCaption();
  Execute();
}

void TSCSpecular::Prepare() {
  if (TMultiObjData* live = Live()) live->UpdateVertexFlags();
}

void TSCSpecular::UpdateCaption() {
  Caption = CaptionFormat;
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSpecular::Release() {
  VertexBackups.reset();
  MorphBackups.reset();
  PrecisionEdit = nullptr;
  ModeButtons.fill(nullptr);
  ResetMorphsBox = nullptr;
  InfoButton = nullptr;
  TextLines.fill(nullptr);
  OutOfSymmetry = 0;
  CrossLinked = 0;
  MinDistance = 0;
  InfoValid = false;
  InfoShown = false;
}

void TSCSpecular::FindMirrorPairs(bool counting) {
  OutOfSymmetry = 0;
  CrossLinked = 0;
  TMultiObjData* live = Live();
  TMultiObjData* pristine = Manager ? Manager->Pristine.get() : nullptr;
  if (!live || !pristine) return;
  for (std::int32_t i = 0; i < pristine->MeshCount(); ++i) {
    TObjData& P = *pristine->Mesh(i);
    TObjData* L = live->Mesh(i);
    if (!L) continue;
    const std::int32_t n = std::min(P.Vertices.Count(), L->Vertices.Count());
    bool any = false;
    for (std::int32_t j = 0; j < n; ++j)
      if (L->Vertices[j].TakesPart()) {
        P.Vertices[j].MirrorIndex = -1;
        any = true;
      }
    if (!any) continue;
    const TMirrorFinder finder(P, Precision);
    for (std::int32_t j = 0; j < n; ++j) {
      const TObjVertex& l = L->Vertices[j];
      if (!l.TakesPart()) continue;
      TObjVertex& p = P.Vertices[j];
      // The live position decides whether the vertex is on the centre line.
      if (IsOnCentreLine(l)) {
        p.MirrorIndex = -10;
        p.SideCode = 2;
        continue;
      }
      p.SideCode = p.X < 0 ? 1 : 0;
      const TMirrorFinder::TResult r = finder.Find(p, j, counting);
      if (r.Matches == 0) {
        ++OutOfSymmetry;
        continue;
      }
      // Without counting the first match is taken, with counting the last.
      p.MirrorIndex = P.Vertices[counting ? r.Last : r.First].Index;
      if (counting) CrossLinked += r.Matches - 1;
    }
  }
}

void TSCSpecular::UndoLastApplication() {
  if (VertexBackups) {
    for (auto it = VertexBackups->rbegin(); it != VertexBackups->rend(); ++it) it->Restore();
    VertexBackups.reset();
  }
  if (MorphBackups) {
    for (auto it = MorphBackups->rbegin(); it != MorphBackups->rend(); ++it) it->Restore();
    MorphBackups.reset();
  }
}

void TSCSpecular::Execute() {
  Failed = false;
  FindMirrorPairs(false);
  UndoLastApplication();
  ApplyMirror();
}

void TSCSpecular::ApplyMirror() {
  VertexBackups.emplace().reserve(1000);
  MorphBackups.emplace().reserve(1000);
  TMultiObjData* live = Live();
  TMultiObjData* pristine = Manager ? Manager->Pristine.get() : nullptr;
  const bool reset = Mode == kResetLeft || Mode == kResetRight;
  for (std::int32_t i = 0; live && pristine && i < pristine->MeshCount(); ++i) {
    TObjData& P = *pristine->Mesh(i);
    TObjData* L = live->Mesh(i);
    if (!L) continue;
    if (reset) RefreshGroups(*L);

    // Writes `target` and the morph positions of its entries in every group that holds it;
    // the displacement comes from the first such group and is reused by the later ones.
    std::optional<TMemberships> members;
    auto write = [&](TObjVertex& target, auto&& displacement, auto&& place, auto&& morph) {
      if (!members) members.emplace(*L);
      bool first = true;
      TDisplacement d;
      for (const TMemberships::TMember& m : members->Of(target.Index)) {
        VertexBackups->push_back({&target, target});
        if (first) d = displacement();
        first = false;
        place();
        m.Group->MorphTargets.ForEach([&](TMorphTarget& t) {
          if (m.Entry >= t.Positions.Count()) return;
          TBaseVertex& pos = t.Positions[m.Entry];
          MorphBackups->push_back({&pos, pos});
          morph(pos, d);
        });
      }
    };

    for (std::int32_t j = 0; j < L->Vertices.Count(); ++j) {
      TObjVertex& l = L->Vertices[j];
      if (!l.TakesPart()) continue;
      TObjVertex* pp = P.Vertices.Find(l.Index);
      if (!pp) continue;
      const TObjVertex& p = *pp;
      const bool copy =
          (Mode == kLeftToRight && p.SideCode == 0) || (Mode == kRightToLeft && p.SideCode == 1);
      const bool back = (Mode == kResetLeft && (p.SideCode == 0 || p.SideCode == 2)) ||
                        (Mode == kResetRight && (p.SideCode == 1 || p.SideCode == 2));
      if (copy && p.MirrorIndex >= 0) {
        TObjVertex* vp = L->Vertices.Find(p.MirrorIndex);
        if (!vp) continue;
        TObjVertex& v = *vp;
        // The displacement is taken as if x were written, even when v is X-locked.
        write(
            v,
            [&] {
              return TDisplacement{static_cast<float>(-l.X - v.X), static_cast<float>(l.Y - v.Y),
                                   static_cast<float>(l.Z - v.Z)};
            },
            [&] {
              v.SetX(-l.X);
              v.Y = l.Y;
              v.Z = l.Z;
            },
            [](TBaseVertex& pos, const TDisplacement& d) {
              pos.X += d.X;
              pos.Y += d.Y;
              pos.Z += d.Z;
            });
      } else if (back) {
        write(
            l,
            [&] {
              return TDisplacement{static_cast<float>(l.X - p.X), static_cast<float>(l.Y - p.Y),
                                   static_cast<float>(l.Z - p.Z)};
            },
            [&] {
              l.SetX(p.X);
              l.Y = p.Y;
              l.Z = p.Z;
            },
            [&](TBaseVertex& pos, const TDisplacement& d) {
              if (ResetMorphs) {
                // The morph target then has no effect on the vertex.
                pos.X = p.X;
                pos.Y = p.Y;
                pos.Z = p.Z;
              } else {
                pos.X -= d.X;
                pos.Y -= d.Y;
                pos.Z -= d.Z;
              }
            });
      }
    }
    RefreshGroups(*L);
  }
  InfoValid = false;
  ShowWarning();
  ShowInfo();
}

void TSCSpecular::ComputeInfo() {
  TWaitCursorScope wait(Manager ? Manager->WaitCursor : nullptr);
  FindMirrorPairs(true);
  float m = kNoDistance;
  if (TMultiObjData* live = Live()) {
    std::vector<TInfoPoint> points;
    for (std::int32_t i = 0; i < live->MeshCount() && m > 0; ++i) {
      const TObjData& L = *live->Mesh(i);
      points.clear();
      points.reserve(static_cast<std::size_t>(L.Vertices.Count()));
      for (std::int32_t k = 0; k < L.Vertices.Count(); ++k) {
        const TObjVertex& v = L.Vertices[k];
        if (!v.TakesPart()) continue;
        // Distances are taken in single precision; a point that is not finite there is at no
        // finite distance from any other.
        const TInfoPoint e{static_cast<float>(v.X), static_cast<float>(v.Y),
                           static_cast<float>(v.Z), k};
        if (std::isfinite(e.X) && std::isfinite(e.Y) && std::isfinite(e.Z)) points.push_back(e);
      }
      m = SmallestDistance(points, m);
    }
  }
  if (m == kNoDistance) m = 0;
  MinDistance = m;
  InfoValid = true;
  ShowInfo();
  InfoShown = true;
}

void TSCSpecular::SetLine(int line, std::string_view text) {
  if (ITextLine* t = TextLines[static_cast<std::size_t>(line - 1)]) t->SetText(text);
}

void TSCSpecular::ShowWarning() {
  if (OutOfSymmetry >= 1) {
    SetLine(5, "Warning");
    SetLine(6, std::to_string(OutOfSymmetry) + (OutOfSymmetry == 1 ? " vertex" : " vertices") +
                   " out of symmetry");
  } else {
    SetLine(5, "");
    SetLine(6, "");
  }
}

void TSCSpecular::ShowInfo() {
  if (!TextLines[0]) return;
  if (!InfoValid) {
    for (int line = 1; line <= 4; ++line) SetLine(line, "");
    return;
  }
  SetLine(1, "Maximum distance between");
  SetLine(2, "vertices is: " + FixedText(MinDistance, 7));
  if (CrossLinked != 0) {
    SetLine(3, "Error: there are " + std::to_string(CrossLinked) + " vertices");
    SetLine(4, "cross linked");
  } else {
    SetLine(3, "");
    SetLine(4, "");
  }
}

void TSCSpecular::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  auto own = [&](IParamControl& c) {
    c.Tag = this;
    c.OnChange = onChange;
  };
  auto widen = [](IParamControl& c, int width) {
    TRect b = c.Bounds();
    b.Width = width;
    c.SetBounds(b);
  };

  int column = 0;
  INumberEdit& precision = RatioEdit(panel, 3, 8, column, "Precision:", this, onChange);
  widen(precision, 100);
  precision.SetDecimals(7);
  precision.SetStep(0.0000001);
  precision.SetValue(Precision);
  PrecisionEdit = &precision;

  static constexpr std::array<std::string_view, 4> kModes = {"Left to right", "Right to left",
                                                             "Reset left", "Reset right"};
  int y = precision.Bounds().Bottom() + 5;
  for (std::size_t i = 0; i < kModes.size(); ++i) {
    IRadioButton& r = panel.AddRadioButton(5, y, kModes[i], 0);
    widen(r, 100);
    r.SetChecked(i == static_cast<std::size_t>(Mode));
    own(r);
    ModeButtons[i] = &r;
    y = r.Bounds().Bottom() + 1;
  }

  ICheckBox& box = panel.AddCheckBox(6, y, "Reset morphs");
  widen(box, 100);
  box.SetChecked(ResetMorphs);
  box.SetEnabled(Mode >= kResetLeft);
  own(box);
  ResetMorphsBox = &box;

  IButton& info = panel.AddButton({10, box.Bounds().Bottom() + 5, 60, 20}, "Info");
  own(info);
  InfoButton = &info;

  y = info.Bounds().Bottom() + 4;
  const int height = panel.LabelHeight();
  for (ITextLine*& line : TextLines) {
    line = &panel.AddTextLine({3, y, 200, height}, "");
    own(*line);
    y += height;
  }

  ShowWarning();
  ShowInfo();
}

void TSCSpecular::ControlChanged(IParamControl& sender) {
  InfoShown = false;
  if (!PrecisionEdit) return;
  if (&sender == PrecisionEdit) {
    if (PrecisionEdit->IsBlank()) return;  // an emptied field is ignored
    Precision = static_cast<float>(PrecisionEdit->Value());
  } else if (auto* radio = dynamic_cast<IRadioButton*>(&sender)) {
    // Only the button that became checked counts; the one that lost its check may report too.
    const auto own = std::find(ModeButtons.begin(), ModeButtons.end(), radio);
    if (own == ModeButtons.end() || !radio->Checked()) return;
    for (std::size_t i = 0; i < ModeButtons.size(); ++i)
      if (ModeButtons[i] && ModeButtons[i]->Checked()) {
        Mode = static_cast<std::uint8_t>(i);
        break;
      }
    if (ResetMorphsBox) ResetMorphsBox->SetEnabled(Mode >= kResetLeft);
  } else if (&sender == ResetMorphsBox) {
    ResetMorphs = ResetMorphsBox->Checked();
  } else if (&sender == InfoButton) {
    ComputeInfo();
  }
  if (!InfoShown) {
    TWaitCursorScope wait(Manager ? Manager->WaitCursor : nullptr);
    Execute();
  }
}

}  // namespace tarvel
