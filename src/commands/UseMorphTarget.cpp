#include "commands/UseMorphTarget.h"

#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

TSCUseMorphTarget::TSCUseMorphTarget(TObjectStream& s) : TSCSelectGroup(s) {
  MorphIndex = s.ReadInt32();
  MorphId = s.ReadInt32();
  TargetCaptionFormat = s.ReadString();
  DialValue = s.ReadFiniteSingle(kClassName, "DialValue");
  TargetName = s.ReadString();
  TargetGroupName = s.ReadString();
  TargetMeshName = s.ReadString();
}

void TSCUseMorphTarget::Store(TObjectStream& s) const {
  TSCSelectGroup::Store(s);
  s.WriteInt32(MorphIndex);
  s.WriteInt32(MorphId);
  s.WriteString(TargetCaptionFormat);
  s.WriteSingle(DialValue);
  s.WriteString(TargetName);
  s.WriteString(TargetGroupName);
  s.WriteString(TargetMeshName);
}

void TSCUseMorphTarget::SetObject(const TSceneObject& object) {
  TMorphTarget* const* target = std::get_if<TMorphTarget*>(&object);
  if (!target || !*target || !(*target)->Group) return;
  TMorphTarget& t = **target;
  MorphTarget = &t;
  DialValue = 0;
  t.Value = 0;
  TGroup& g = *t.Group;
  MorphIndex = g.MorphTargets.IndexOf(&t);
  MorphId = t.Id;
  TMultiObjData* live = Live();
  const TMeshPos pos = live ? live->GroupIndexOf(&g) : TMeshPos{};
  MeshIndex = pos.Mesh;
  GroupIndex = pos.Index;
  GroupId = g.Id;
  MeshId = g.Owner ? g.Owner->Id : -1;
  TargetName = t.Name;
  TargetGroupName = g.Name;
  TargetMeshName = g.Owner ? g.Owner->Name : std::string();
  UpdateCaption();
  Execute();
}

void TSCUseMorphTarget::Prepare() {
  MorphTarget = nullptr;
  TGroup* g = FindGroup();
  if (!g) return;
  MorphTarget = g->MorphTargetById(MorphId);
  if (!MorphTarget) return;
  MorphTarget->Value = DialValue;
  TargetName = MorphTarget->Name;
  TargetGroupName = g->Name;
  TargetMeshName = g->Owner ? g->Owner->Name : std::string();
}

void TSCUseMorphTarget::Execute() {
  if (MorphTarget && MorphTarget->Group) {
    MorphTarget->Value = DialValue;
    MorphTarget->Group->ApplyMorphTargets();
  } else {
    UpdateCaption();
  }
}

void TSCUseMorphTarget::CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
  if (!MorphTarget) return;
  DialValue = MorphTarget->Value;
  ILabel& label = panel.AddLabel(3, 3, "MT:" + MorphTarget->Name);
  INumberEdit& value =
      panel.AddNumberEdit({3, label.Bounds().Bottom() + 3, 65, panel.EditHeight()});
  value.SetDecimals(3);
  value.SetStep(0.01);
  value.SetValue(DialValue);
  value.Tag = this;
  value.OnChange = onChange;
  value_ = &value;
}

void TSCUseMorphTarget::ControlChanged(IParamControl& sender) {
  if (!value_) return;
  if (&sender == value_) {
    if (value_->IsBlank()) return;
    DialValue = static_cast<float>(value_->Value());
  }
  Execute();
}

void TSCUseMorphTarget::UpdateCaption() {
  constexpr std::string_view kMissing = "???";
  TGroup* g = FindGroup();
  TMorphTarget* t = g ? g->MorphTargetById(MorphId) : nullptr;
  if (g && t)
    Caption = FormatCaption(TargetCaptionFormat, {t->Name, g->Name});
  else if (g)
    Caption = "<c:Red>" + FormatCaption(TargetCaptionFormat, {kMissing, g->Name});
  else
    Caption = "<c:Red>" + FormatCaption(TargetCaptionFormat, {kMissing, kMissing});
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCUseMorphTarget::Release() { value_ = nullptr; }

void TSCUseMorphTarget::Fields(ICommandFields& f) {
  f.Field("mesh", TargetMeshName);
  f.Field("group", TargetGroupName);
  f.Field("target", TargetName);
  f.Field("dial", DialValue);
  f.Field("mesh-index", MeshIndex);
  f.Field("group-index", GroupIndex);
  f.Field("mesh-id", MeshId);
  f.Field("group-id", GroupId);
  f.Field("morph-index", MorphIndex);
  f.Field("morph-id", MorphId);
  f.Field("caption-format", TargetCaptionFormat);
  f.Field("base-mesh", MeshName);
  f.Field("base-group", GroupName);
  f.Field("base-caption-format", CaptionFormat);
}

std::string TSCUseMorphTarget::NamedCaption() const {
  return FormatCaption(TargetCaptionFormat, {TargetName, TargetGroupName});
}

void TSCUseMorphTarget::Relink() {
  TMultiObjData* live = Live();
  if (!live) return;
  TObjData* mesh = live->MeshByName(TargetMeshName);
  TGroup* group = mesh ? mesh->GroupByName(TargetGroupName) : nullptr;
  TMorphTarget* target = group ? group->MorphTargetByName(TargetName) : nullptr;
  if (target) {
    const TMeshPos pos = live->GroupIndexOf(group);
    MeshIndex = pos.Mesh;
    GroupIndex = pos.Index;
    GroupId = group->Id;
    MeshId = mesh->Id;
    MorphIndex = group->MorphTargets.IndexOf(target);
    MorphId = target->Id;
  } else {
    MorphIndex = MorphId = MeshIndex = GroupIndex = MeshId = GroupId = -1;
  }
  UpdateCaption();
}

}  // namespace tarvel
