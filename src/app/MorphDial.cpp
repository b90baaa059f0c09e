#include "app/MorphDial.h"

#include "stack/MultiObjData.h"

namespace tarvel {

bool ContainsMorphTarget(const TMultiObjData& live, const TMorphTarget* target) {
  if (!target) return false;
  for (std::int32_t m = 0; m < live.MeshCount(); ++m) {
    const TObjData& mesh = *live.Mesh(m);
    for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g)
      if (mesh.Groups[g]->MorphTargets.IndexOf(target) >= 0) return true;
  }
  return false;
}

TMorphDial::TMorphDial(IParamPanel& panel, std::function<TMultiObjData&()> live,
                       std::function<void()> redraw)
    : panel_(panel), live_(std::move(live)), redraw_(std::move(redraw)) {}

void TMorphDial::Show(TMorphTarget& target) {
  panel_.Clear();
  building_ = true;
  target_ = &target;
  ILabel& label = panel_.AddLabel(3, 3, "MT:" + target.Name);
  const TRect lb = label.Bounds();
  INumberEdit& edit = panel_.AddNumberEdit({3, lb.Bottom() + 3, 65, panel_.EditHeight()});
  edit.SetDecimals(3);
  edit.SetStep(0.01);
  edit.SetRange(target.RangeMin, target.RangeMax);
  edit.SetValue(target.Value);
  edit.OnChange = [this](IParamControl& sender) {
    if (auto* e = dynamic_cast<INumberEdit*>(&sender)) EditChanged(*e);
  };
  building_ = false;
}

TMorphTarget* TMorphDial::Target() const {
  return ContainsMorphTarget(live_(), target_) ? target_ : nullptr;
}

void TMorphDial::EditChanged(INumberEdit& edit) {
  if (building_ || edit.IsBlank()) return;
  // The live state may have been replaced since the dial was built (a project was loaded);
  // a target that is gone is never touched.
  TMorphTarget* target = Target();
  if (!target) return;
  target->Value = static_cast<float>(edit.Value());
  if (target->Group) target->Group->ApplyMorphTargets();
  if (redraw_) redraw_();
}

}  // namespace tarvel
