#include "stack/MultiObjData.h"

#include <filesystem>

#include "mesh/Platform.h"

namespace tarvel {

TMultiObjData::TMultiObjData(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Name = s.ReadString();
  s.GetHeader(ClassOf<TCollection>());
  Meshes.LoadFrom(s);
  TrackingMode = s.ReadByte();
  ColourMode = s.ReadByte();
  DisplayMode = s.ReadByte();
  Side = s.ReadByte();
}

void TMultiObjData::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteString(Name);
  s.Put(Meshes);
  s.WriteByte(TrackingMode);
  s.WriteByte(ColourMode);
  s.WriteByte(DisplayMode);
  s.WriteByte(Side);
}

void TMultiObjData::SetTrackingMode(std::uint8_t mode) {
  TrackingMode = mode;
  Meshes.ForEach([&](TObjData& m) { m.TrackingMode = mode; });
}

void TMultiObjData::SetColourMode(std::uint8_t mode) {
  ColourMode = mode;
  Meshes.ForEach([&](TObjData& m) { m.ColourMode = mode; });
}

void TMultiObjData::SetDisplayMode(std::uint8_t mode) {
  DisplayMode = mode;
  Meshes.ForEach([&](TObjData& m) { m.DisplayMode = mode; });
}

void TMultiObjData::SetSide(std::uint8_t side) {
  Side = side;
  Meshes.ForEach([&](TObjData& m) { m.SetSide(side); });
}

TObjData* TMultiObjData::AddObjFile(const std::string& fileName, const TObjReadOptions& options) {
  std::error_code ec;
  if (!std::filesystem::exists(platform::PathOf(fileName), ec)) return nullptr;
  auto mesh = std::make_unique<TObjData>();
  // A file that cannot be read raises here; the partly built mesh goes with the exception.
  LoadFromObj(*mesh, fileName, options);
  return AddMesh(std::move(mesh));
}

TObjData* TMultiObjData::AddMesh(std::unique_ptr<TObjData> mesh) {
  mesh->ColourMode = ColourMode;
  mesh->Id = NewMeshId();
  mesh->TrackingMode = TrackingMode;
  mesh->DisplayMode = DisplayMode;
  mesh->SetSide(Side);
  mesh->TreeNodes = treeNodes_;
  return Meshes.Add(std::move(mesh));
}

void TMultiObjData::SetTreeNodes(ITreeNodeSink* tree) {
  treeNodes_ = tree;
  Meshes.ForEach([&](TObjData& m) { m.TreeNodes = tree; });
}

std::int32_t TMultiObjData::GroupCount() const {
  std::int32_t n = 0;
  Meshes.ForEach([&](const TObjData& m) { n += m.Groups.Count(); });
  return n;
}

std::int32_t TMultiObjData::VertexCount() const {
  std::int32_t n = 0;
  Meshes.ForEach([&](const TObjData& m) { n += m.Vertices.Count(); });
  return n;
}

void TMultiObjData::BeginTracking(const TGroup* except) {
  Meshes.ForEach([&](TObjData& m) { m.BeginTracking(except); });
}

void TMultiObjData::EndTracking() {
  Meshes.ForEach([](TObjData& m) { m.EndTracking(); });
}

void TMultiObjData::Render(IMeshRenderer& renderer) const {
  bool tracking = false;
  Meshes.ForEach([&](const TObjData& m) {
    renderer.DrawMesh(m);
    tracking = tracking || m.TrackingActive;
  });
  if (tracking || !renderer.VertexPointsShown()) return;
  Meshes.ForEach([&](const TObjData& m) { renderer.DrawVertexPoints(m); });
}

TPoint3f TMultiObjData::SceneCentre() const {
  // An edit state without meshes has its centre at the origin.
  TBox3f box;
  Meshes.ForEach([&](TObjData& m) { box.Take(m.GroupsCentre()); });
  return Meshes.Count() > 0 ? box.Centre() : TPoint3f{};
}

TPoint3f TMultiObjData::SelectionCentre() const {
  TBox3f box;
  bool any = false;
  Meshes.ForEach([&](const TObjData& m) {
    bool found = false;
    const TPoint3f c = m.SelectionCentre(found);
    if (found) box.Take(c);
    any = any || found;
  });
  return any ? box.Centre() : TPoint3f{};
}

TMeshPos TMultiObjData::GroupIndexOf(const TGroup* group) const {
  for (std::int32_t m = 0; m < Meshes.Count(); ++m)
    if (const std::int32_t i = Meshes[m]->Groups.IndexOf(group); i >= 0) return {m, i};
  return {};
}

TMeshPos TMultiObjData::MaterialIndexOf(const TMaterial* material) const {
  for (std::int32_t m = 0; m < Meshes.Count(); ++m)
    if (const std::int32_t i = Meshes[m]->Materials.IndexOf(material); i >= 0) return {m, i};
  return {};
}

TEntryPos TMultiObjData::GroupMatIndexOf(const TGroupMatInfo* entry) const {
  for (std::int32_t m = 0; m < Meshes.Count(); ++m) {
    const TObjData& mesh = *Meshes[m];
    for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g)
      if (const std::int32_t e = mesh.Groups[g]->GroupMats.IndexOf(entry); e >= 0) return {m, g, e};
  }
  return {};
}

TGroup* TMultiObjData::GroupAt(std::int32_t mesh, std::int32_t index) const {
  const TObjData* m = Mesh(mesh);
  return m ? m->Group(index) : nullptr;
}

TMaterial* TMultiObjData::MaterialAt(std::int32_t mesh, std::int32_t index) const {
  const TObjData* m = Mesh(mesh);
  return m ? m->Material(index) : nullptr;
}

TGroupMatInfo* TMultiObjData::GroupMatAt(std::int32_t mesh, std::int32_t group,
                                         std::int32_t entry) const {
  const TGroup* g = GroupAt(mesh, group);
  if (!g || entry < 0 || entry >= g->GroupMats.Count()) return nullptr;
  return g->GroupMats[entry];
}

TMeshPos TMultiObjData::VertexIndexOf(const TObjVertex* vertex) const {
  TMeshPos found;
  for (std::int32_t m = 0; m < Meshes.Count(); ++m) {
    const auto& items = Meshes[m]->Vertices.Items();
    if (!items.empty() && vertex >= items.data() && vertex < items.data() + items.size())
      found = {m, static_cast<std::int32_t>(vertex - items.data())};
  }
  return found;
}

TObjVertex* TMultiObjData::VertexAt(std::int32_t mesh, std::int32_t index) const {
  TObjData* m = Mesh(mesh);
  return m ? m->Vertices.Find(index) : nullptr;
}

TObjData* TMultiObjData::MeshById(std::int32_t id) const {
  for (const auto& m : Meshes)
    if (auto* mesh = static_cast<TObjData*>(m.get()); mesh->Id == id) return mesh;
  return nullptr;
}

TObjData* TMultiObjData::MeshByName(std::string_view name) const {
  for (const auto& m : Meshes)
    if (auto* mesh = static_cast<TObjData*>(m.get()); SameText(mesh->Name, name)) return mesh;
  return name.empty() ? Mesh(0) : nullptr;
}

TObjData* TMultiObjData::MeshOf(const TGroup* group) const {
  const TMeshPos pos = GroupIndexOf(group);
  return Mesh(pos.Mesh);
}

std::int32_t TMultiObjData::NewMeshId() const {
  std::int32_t id;
  do id = RandomId();
  while (MeshById(id));
  return id;
}

void TMultiObjData::SelectAllFaces(bool selected) {
  Meshes.ForEach([&](TObjData& m) { m.SelectAllFaces(selected); });
}

void TMultiObjData::InvertFaceSelection() {
  Meshes.ForEach([](TObjData& m) { m.InvertFaceSelection(); });
}

void TMultiObjData::UpdateVertexFlags() {
  Meshes.ForEach([](TObjData& m) { m.UpdateVertexFlags(); });
}

void TMultiObjData::DeferVertexFlags(bool deferred) {
  Meshes.ForEach([&](TObjData& m) { m.VertexFlagsDeferred = deferred; });
}

bool TMultiObjData::HasKeptColours() const {
  bool kept = false;
  Meshes.ForEach([&](const TObjData& m) { kept = kept || m.HasKeptColours(); });
  return kept;
}

void TMultiObjData::FlushVertexFlags() {
  Meshes.ForEach([](TObjData& m) {
    if (m.VertexFlagsStale && !m.VertexFlagsDeferred) m.UpdateVertexFlags();
  });
}

void TMultiObjData::LinkShapedPositions() {
  Meshes.ForEach([](TObjData& m) { m.LinkShapedPositions(); });
}

std::vector<std::unique_ptr<TVertCopy>> TMultiObjData::BackupSelection() {
  std::vector<std::unique_ptr<TVertCopy>> copies;
  Meshes.ForEach([&](TObjData& m) { copies.push_back(m.BackupSelection()); });
  return copies;
}

std::vector<std::unique_ptr<TMTGroupInfoList>> TMultiObjData::MorphInfoList() const {
  std::vector<std::unique_ptr<TMTGroupInfoList>> lists;
  Meshes.ForEach([&](const TObjData& m) { m.MorphInfoList(lists); });
  return lists;
}

void TMultiObjData::ResetMorphDials() {
  Meshes.ForEach([](TObjData& m) { m.ResetMorphDials(); });
}

std::unique_ptr<TTypedCollection<TInfoObjData>> TMultiObjData::SaveViewState() const {
  auto snapshot = std::make_unique<TTypedCollection<TInfoObjData>>(Meshes.Count());
  Meshes.ForEach([&](const TObjData& m) { snapshot->Add(TInfoObjData::Take(m)); });
  return snapshot;
}

void TMultiObjData::RestoreViewState(const TTypedCollection<TInfoObjData>& snapshot) {
  snapshot.ForEach([&](const TInfoObjData& info) {
    if (TObjData* mesh = MeshById(info.Id)) info.RestoreInto(*mesh);
  });
}

std::unique_ptr<TMultiObjData> CopyEditState(const TMultiObjData& state, TObjectStream* reuse) {
  TObjectStream local;
  TObjectStream& s = reuse ? *reuse : local;
  s.Clear();
  s.Put(state);
  s.Seek(0);
  return s.GetAs<TMultiObjData>();
}

std::unique_ptr<TMultiObjData> CopyEditStateOver(const TMultiObjData& state,
                                                 std::unique_ptr<TMultiObjData> replaced,
                                                 TObjectStream* reuse) {
  TObjectStream local;
  TObjectStream& s = reuse ? *reuse : local;
  s.Clear();
  s.Put(state);
  s.Seek(0);
  TSpareArrays spare;
  if (replaced) {
    replaced->Meshes.ForEach([&](TObjData& mesh) { spare.Collect(mesh); });
    replaced.reset();
  }
  const TSpareArraysScope scope(spare);
  return s.GetAs<TMultiObjData>();
}

}  // namespace tarvel
