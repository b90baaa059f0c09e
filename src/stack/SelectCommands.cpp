#include "stack/SelectCommands.h"

#include "stack/CommandFields.h"
#include "stack/ObjectRef.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

constexpr std::string_view kMissing = "???";
constexpr std::string_view kRed = "<c:Red>";

// Vertex selection follows the faces, and the display shows it at once.
void RefreshVertexFlags(TObjData* mesh) {
  if (mesh) mesh->UpdateVertexFlags();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Group

TSCSelectGroup::TSCSelectGroup(TStackMng* manager) : TSCSelect(manager) {}

TSCSelectGroup::TSCSelectGroup(TObjectStream& s) : TSCSelect(s) {
  MeshIndex = s.ReadInt32();
  GroupIndex = s.ReadInt32();
  MeshId = s.ReadInt32();
  GroupId = s.ReadInt32();
  CaptionFormat = s.ReadString();
  GroupName = s.ReadString();
  MeshName = s.ReadString();
}

void TSCSelectGroup::Store(TObjectStream& s) const {
  TSCSelect::Store(s);
  s.WriteInt32(MeshIndex);
  s.WriteInt32(GroupIndex);
  s.WriteInt32(MeshId);
  s.WriteInt32(GroupId);
  s.WriteString(CaptionFormat);
  s.WriteString(GroupName);
  s.WriteString(MeshName);
}

void TSCSelectGroup::SetObject(const TSceneObject& object) {
  TGroup* const* group = std::get_if<TGroup*>(&object);
  TMultiObjData* live = Live();
  if (!group || !*group || !live) return;
  const TMeshPos pos = live->GroupIndexOf(*group);
  const TObjData* mesh = live->Mesh(pos.Mesh);
  GroupName = (*group)->Name;
  MeshName = mesh ? mesh->Name : std::string();
  MeshIndex = pos.Mesh;
  GroupIndex = pos.Index;
  GroupId = (*group)->Id;
  MeshId = mesh ? mesh->Id : -1;
  UpdateCaption();
  Execute();
}

TGroup* TSCSelectGroup::FindGroup() {
  TMultiObjData* live = Live();
  return live ? FindByRef(live->Meshes, {MeshIndex, MeshId, MeshName}, &TObjData::Groups,
                          {GroupIndex, GroupId, GroupName})
              : nullptr;
}

void TSCSelectGroup::Execute() {
  Failed = false;
  if (TGroup* g = FindGroup()) {
    Apply(*g);
    RefreshVertexFlags(g->Owner);
    if (Caption.starts_with(kRed)) UpdateCaption();  // found again: the name comes back
  } else {
    Failed = true;
    UpdateCaption();
  }
}

void TSCSelectGroup::UpdateCaption() {
  if (TGroup* g = FindGroup())
    Caption = FormatCaption(CaptionFormat, {g->Name});
  else
    Caption = std::string(kRed) + FormatCaption(CaptionFormat, {kMissing});
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSelectGroup::Fields(ICommandFields& f) {
  f.Field("mesh", MeshName);
  f.Field("group", GroupName);
  f.Field("mesh-index", MeshIndex);
  f.Field("group-index", GroupIndex);
  f.Field("mesh-id", MeshId);
  f.Field("group-id", GroupId);
  f.Field("caption-format", CaptionFormat);
}

std::string TSCSelectGroup::NamedCaption() const {
  return FormatCaption(CaptionFormat, {GroupName});
}

void TSCSelectGroup::Relink() {
  TMultiObjData* live = Live();
  if (!live) return;
  RelinkByName(live->Meshes, live->MeshByName(MeshName), {MeshIndex, MeshId, MeshName},
               &TObjData::Groups, {GroupIndex, GroupId, GroupName});
  // A missing object shows at once, in red.
  UpdateCaption();
}

TSCDeselectGroup::TSCDeselectGroup(TStackMng* manager) : TSCSelectGroup(manager) {
  CaptionFormat = "Deselect group <b>%0:s</b>";
}

// ---------------------------------------------------------------------------------------------
// Material

TSCSelectMaterial::TSCSelectMaterial(TStackMng* manager) : TSCSelect(manager) {}

TSCSelectMaterial::TSCSelectMaterial(TObjectStream& s) : TSCSelect(s) {
  MeshIndex = s.ReadInt32();
  MaterialIndex = s.ReadInt32();
  MeshId = s.ReadInt32();
  MaterialId = s.ReadInt32();
  CaptionFormat = s.ReadString();
  MaterialName = s.ReadString();
  MeshName = s.ReadString();
}

void TSCSelectMaterial::Store(TObjectStream& s) const {
  TSCSelect::Store(s);
  s.WriteInt32(MeshIndex);
  s.WriteInt32(MaterialIndex);
  s.WriteInt32(MeshId);
  s.WriteInt32(MaterialId);
  s.WriteString(CaptionFormat);
  s.WriteString(MaterialName);
  s.WriteString(MeshName);
}

void TSCSelectMaterial::SetObject(const TSceneObject& object) {
  TMaterial* const* material = std::get_if<TMaterial*>(&object);
  TMultiObjData* live = Live();
  if (!material || !*material || !live) return;
  const TMeshPos pos = live->MaterialIndexOf(*material);
  const TObjData* mesh = live->Mesh(pos.Mesh);
  MaterialName = (*material)->Name;
  MeshName = mesh ? mesh->Name : std::string();
  MeshIndex = pos.Mesh;
  MaterialIndex = pos.Index;
  MaterialId = (*material)->Id;
  MeshId = mesh ? mesh->Id : -1;
  UpdateCaption();
  Execute();
}

TMaterial* TSCSelectMaterial::FindMaterial() {
  TMultiObjData* live = Live();
  return live ? FindByRef(live->Meshes, {MeshIndex, MeshId, MeshName}, &TObjData::Materials,
                          {MaterialIndex, MaterialId, MaterialName})
              : nullptr;
}

void TSCSelectMaterial::Execute() {
  Failed = false;
  if (TMaterial* m = FindMaterial()) {
    m->SelectFaces(Selects());
    RefreshVertexFlags(m->Owner);
    if (Caption.starts_with(kRed)) UpdateCaption();  // found again: the name comes back
  } else {
    Failed = true;
    UpdateCaption();
  }
}

void TSCSelectMaterial::UpdateCaption() {
  if (TMaterial* m = FindMaterial())
    Caption = FormatCaption(CaptionFormat, {m->Name});
  else
    Caption = std::string(kRed) + FormatCaption(CaptionFormat, {kMissing});
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSelectMaterial::Fields(ICommandFields& f) {
  f.Field("mesh", MeshName);
  f.Field("material", MaterialName);
  f.Field("mesh-index", MeshIndex);
  f.Field("material-index", MaterialIndex);
  f.Field("mesh-id", MeshId);
  f.Field("material-id", MaterialId);
  f.Field("caption-format", CaptionFormat);
}

std::string TSCSelectMaterial::NamedCaption() const {
  return FormatCaption(CaptionFormat, {MaterialName});
}

void TSCSelectMaterial::Relink() {
  TMultiObjData* live = Live();
  if (!live) return;
  RelinkByName(live->Meshes, live->MeshByName(MeshName), {MeshIndex, MeshId, MeshName},
               &TObjData::Materials, {MaterialIndex, MaterialId, MaterialName});
  // A missing object shows at once, in red.
  UpdateCaption();
}

TSCDeselectMaterial::TSCDeselectMaterial(TStackMng* manager) : TSCSelectMaterial(manager) {
  CaptionFormat = "Deselect material <b>%0:s</b>";
}

// ---------------------------------------------------------------------------------------------
// Group-material entry

TSCSelectGroupMat::TSCSelectGroupMat(TStackMng* manager) : TSCSelect(manager) {}

TSCSelectGroupMat::TSCSelectGroupMat(TObjectStream& s) : TSCSelect(s) {
  MeshIndex = s.ReadInt32();
  GroupIndex = s.ReadInt32();
  EntryIndex = s.ReadInt32();
  MeshId = s.ReadInt32();
  GroupId = s.ReadInt32();
  EntryId = s.ReadInt32();
  CaptionFormat = s.ReadString();
  EntryName = s.ReadString();
  GroupName = s.ReadString();
  MeshName = s.ReadString();
}

void TSCSelectGroupMat::Store(TObjectStream& s) const {
  TSCSelect::Store(s);
  s.WriteInt32(MeshIndex);
  s.WriteInt32(GroupIndex);
  s.WriteInt32(EntryIndex);
  s.WriteInt32(MeshId);
  s.WriteInt32(GroupId);
  s.WriteInt32(EntryId);
  s.WriteString(CaptionFormat);
  s.WriteString(EntryName);
  s.WriteString(GroupName);
  s.WriteString(MeshName);
}

void TSCSelectGroupMat::SetObject(const TSceneObject& object) {
  TGroupMatInfo* const* entry = std::get_if<TGroupMatInfo*>(&object);
  TMultiObjData* live = Live();
  if (!entry || !*entry || !live) return;
  const TEntryPos pos = live->GroupMatIndexOf(*entry);
  const TObjData* mesh = live->Mesh(pos.Mesh);
  const TGroup* group = (*entry)->Group;
  MeshIndex = pos.Mesh;
  GroupIndex = pos.Group;
  EntryIndex = pos.Entry;
  EntryId = (*entry)->Id;
  GroupId = group ? group->Id : -1;
  MeshId = mesh ? mesh->Id : -1;
  EntryName = (*entry)->Name();
  GroupName = group ? group->Name : std::string();
  MeshName = mesh ? mesh->Name : std::string();
  UpdateCaption();
  Execute();
}

TGroupMatInfo* TSCSelectGroupMat::FindEntry() {
  TMultiObjData* live = Live();
  if (!live) return nullptr;
  const TObjectRef mesh{MeshIndex, MeshId, MeshName};
  const TObjectRef group{GroupIndex, GroupId, GroupName};
  const TObjectRef entry{EntryIndex, EntryId, EntryName};
  if (TObjData* m = mesh.At(live->Meshes))
    if (TGroup* g = group.At(m->Groups))
      if (TGroupMatInfo* e = entry.At(g->GroupMats); e && e->Group == g) return e;
  if (TObjData* m = mesh.ById(live->Meshes))
    if (TGroup* g = group.ById(m->Groups))
      if (TGroupMatInfo* e = entry.ById(g->GroupMats)) {
        entry.Rename(*e);
        group.Rename(*g);
        mesh.Rename(*m);
        return e;
      }
  return nullptr;
}

void TSCSelectGroupMat::Execute() {
  Failed = false;
  if (TGroupMatInfo* e = FindEntry()) {
    e->Group->SelectFacesOfEntry(*e, Selects());
    RefreshVertexFlags(e->Group->Owner);
    if (Caption.starts_with(kRed)) UpdateCaption();  // found again: the name comes back
  } else {
    Failed = true;
    UpdateCaption();
  }
}

void TSCSelectGroupMat::UpdateCaption() {
  if (TGroupMatInfo* e = FindEntry())
    Caption = FormatCaption(CaptionFormat, {e->Name(), e->Group->Name});
  else
    Caption = std::string(kRed) + FormatCaption(CaptionFormat, {kMissing, kMissing});
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSelectGroupMat::Fields(ICommandFields& f) {
  f.Field("mesh", MeshName);
  f.Field("group", GroupName);
  f.Field("material", EntryName);
  f.Field("mesh-index", MeshIndex);
  f.Field("group-index", GroupIndex);
  f.Field("entry-index", EntryIndex);
  f.Field("mesh-id", MeshId);
  f.Field("group-id", GroupId);
  f.Field("entry-id", EntryId);
  f.Field("caption-format", CaptionFormat);
}

std::string TSCSelectGroupMat::NamedCaption() const {
  return FormatCaption(CaptionFormat, {EntryName, GroupName});
}

void TSCSelectGroupMat::Relink() {
  TMultiObjData* live = Live();
  if (!live) return;
  const TObjectRef mesh{MeshIndex, MeshId, MeshName};
  const TObjectRef group{GroupIndex, GroupId, GroupName};
  const TObjectRef entry{EntryIndex, EntryId, EntryName};
  TObjData* m = live->MeshByName(MeshName);
  TGroup* g = m ? group.ByName(m->Groups) : nullptr;
  if (TGroupMatInfo* e = g ? entry.ByName(g->GroupMats) : nullptr) {
    mesh.Link(live->Meshes, *m);
    group.Link(m->Groups, *g);
    entry.Link(g->GroupMats, *e);
  } else {
    mesh.Unlink();
    group.Unlink();
    entry.Unlink();
  }
  UpdateCaption();
}

TSCDeselectGroupMat::TSCDeselectGroupMat(TStackMng* manager) : TSCSelectGroupMat(manager) {
  CaptionFormat = "Deselect material <b>%0:s</b> of group <b>%1:s</b>";
}

// ---------------------------------------------------------------------------------------------
// Select all, clear, invert

TSCWholeSelection::TSCWholeSelection(TStackMng* manager, std::string captionText)
    : TSCSelect(manager), CaptionText(std::move(captionText)) {}

TSCWholeSelection::TSCWholeSelection(TObjectStream& s) : TSCSelect(s) {
  CaptionText = s.ReadString();
}

void TSCWholeSelection::Store(TObjectStream& s) const {
  TSCSelect::Store(s);
  s.WriteString(CaptionText);
}

void TSCWholeSelection::SetObject(const TSceneObject&) {
  UpdateCaption();
  Execute();
}

void TSCWholeSelection::Fields(ICommandFields& f) { f.Field("caption-text", CaptionText); }

void TSCWholeSelection::UpdateCaption() {
  Caption = CaptionText;
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCSelectAll::Execute() {
  if (TMultiObjData* live = Live()) {
    live->SelectAllFaces(true);
    live->UpdateVertexFlags();
  }
}

void TSCClearSelection::Execute() {
  if (TMultiObjData* live = Live()) {
    live->SelectAllFaces(false);
    live->UpdateVertexFlags();
  }
}

void TSCInvertSelection::Execute() {
  if (TMultiObjData* live = Live()) {
    live->InvertFaceSelection();
    live->UpdateVertexFlags();
  }
}

}  // namespace tarvel
