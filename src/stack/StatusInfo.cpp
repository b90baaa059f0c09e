#include "stack/StatusInfo.h"

namespace tarvel {

namespace {

void WriteColour(TObjectStream& s, std::int32_t value, const TColorVector& c) {
  s.WriteInt32(value);
  StoreColour(s, c);
}

void ReadColour(TObjectStream& s, std::int32_t& value, TColorVector& c) {
  value = s.ReadInt32();
  c = LoadColour(s, "TStatusInfo");
}

void WritePoint(TObjectStream& s, const TPoint3& p) {
  s.WriteSingle(p.X);
  s.WriteSingle(p.Y);
  s.WriteSingle(p.Z);
}

TPoint3 ReadPoint(TObjectStream& s) {
  TPoint3 p;
  p.X = s.ReadSingle();
  p.Y = s.ReadSingle();
  p.Z = s.ReadSingle();
  return p;
}

}  // namespace

void TInfoVert::Store(TObjectStream& s) const {
  s.WriteInt32(Id);
  s.WriteBool(Shown);
}
void TInfoVert::Load(TObjectStream& s) {
  Id = s.ReadInt32();
  Shown = s.ReadBool();
}

void TInfoFace::Store(TObjectStream& s) const {
  s.WriteInt32(Id);
  s.WriteBool(Shown);
}
void TInfoFace::Load(TObjectStream& s) {
  Id = s.ReadInt32();
  Shown = s.ReadBool();
}

void TInfoGMat::Store(TObjectStream& s) const {
  s.WriteInt32(Id);
  s.WriteBool(Visible);
  s.WriteBool(Expanded);
}
void TInfoGMat::Load(TObjectStream& s) {
  Id = s.ReadInt32();
  Visible = s.ReadBool();
  Expanded = s.ReadBool();
}

void TInfoMat::Store(TObjectStream& s) const {
  s.WriteInt32(Id);
  s.WriteBool(Visible);
  s.WriteBool(Expanded);
  WriteColour(s, ColorValue, ColorVector);
}
void TInfoMat::Load(TObjectStream& s) {
  Id = s.ReadInt32();
  Visible = s.ReadBool();
  Expanded = s.ReadBool();
  ReadColour(s, ColorValue, ColorVector);
}

void TInfoGroup::Store(TObjectStream& s) const {
  s.WriteInt32(Id);
  s.WriteBool(Visible);
  s.WriteBool(Expanded);
  TInfoListGMat::PutList(s, GroupMats);
  WriteColour(s, ColorValue, ColorVector);
}
void TInfoGroup::Load(TObjectStream& s) {
  Id = s.ReadInt32();
  Visible = s.ReadBool();
  Expanded = s.ReadBool();
  TInfoListGMat::GetList(s, GroupMats);
  ReadColour(s, ColorValue, ColorVector);
}

TInfoObjData::TInfoObjData(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Id = s.ReadInt32();
  Visible = s.ReadBool();
  TInfoListVert::GetList(s, Vertices);
  TInfoListGroups::GetList(s, Groups);
  TInfoListMat::GetList(s, Materials);
  TInfoListFaces::GetList(s, Faces);
}

void TInfoObjData::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteInt32(Id);
  s.WriteBool(Visible);
  TInfoListVert::PutList(s, Vertices);
  TInfoListGroups::PutList(s, Groups);
  TInfoListMat::PutList(s, Materials);
  TInfoListFaces::PutList(s, Faces);
}

std::unique_ptr<TInfoObjData> TInfoObjData::Take(const TObjData& mesh) {
  auto info = std::make_unique<TInfoObjData>();
  info->Id = mesh.Id;
  info->Visible = mesh.Visible;
  info->Vertices.Reserve(static_cast<std::size_t>(mesh.Vertices.Count()));
  for (const TObjVertex& v : mesh.Vertices) info->Vertices.Insert({v.Id, v.Shown});
  mesh.Groups.ForEach([&](const TGroup& g) {
    TInfoGroup ig;
    ig.Id = g.Id;
    ig.Visible = g.Visible;
    ig.Expanded = mesh.IsTreeNodeExpanded(g.TreeNode);
    g.GroupMats.ForEach([&](const TGroupMatInfo& e) {
      ig.GroupMats.Insert({e.Id, e.Visible, mesh.IsTreeNodeExpanded(e.TreeNode)});
    });
    ig.ColorValue = g.ColorValue;
    ig.ColorVector = g.ColorVector;
    info->Groups.Insert(ig);
  });
  info->Faces.Reserve(static_cast<std::size_t>(mesh.Faces.Count()));
  for (const TObjFace& f : mesh.Faces) info->Faces.Insert({f.Id, f.Shown});
  mesh.Materials.ForEach([&](const TMaterial& m) {
    info->Materials.Insert(
        {m.Id, m.Visible, mesh.IsTreeNodeExpanded(m.TreeNode), m.ColorValue, m.ColorVector});
  });
  return info;
}

void TInfoObjData::RestoreInto(TObjData& mesh) const {
  mesh.Visible = Visible;
  std::int32_t hint = 0;
  for (TObjVertex& v : mesh.Vertices)
    if (const TInfoVert* iv = Vertices.FindNext(v.Id, hint)) v.Shown = iv->Shown;
  hint = 0;
  for (TObjFace& f : mesh.Faces)
    if (const TInfoFace* iface = Faces.FindNext(f.Id, hint)) f.Shown = iface->Shown;
  mesh.Groups.ForEach([&](TGroup& g) {
    const TInfoGroup* ig = Groups.Find(g.Id);
    if (!ig) return;
    g.Visible = ig->Visible;
    mesh.CheckTreeNode(g.TreeNode, g.Visible);
    mesh.ExpandTreeNode(g.TreeNode, ig->Expanded);
    g.SetColor(ig->ColorValue);
    g.ColorVector = ig->ColorVector;
    g.GroupMats.ForEach([&](TGroupMatInfo& e) {
      const TInfoGMat* ie = ig->GroupMats.Find(e.Id);
      if (!ie) return;
      e.Visible = ie->Visible;
      mesh.CheckTreeNode(e.TreeNode, e.Visible);
      mesh.ExpandTreeNode(e.TreeNode, ie->Expanded);
    });
  });
  mesh.Materials.ForEach([&](TMaterial& m) {
    const TInfoMat* im = Materials.Find(m.Id);
    if (!im) return;
    m.Visible = im->Visible;
    mesh.CheckTreeNode(m.TreeNode, m.Visible);
    mesh.ExpandTreeNode(m.TreeNode, im->Expanded);
    m.SetColor(im->ColorValue);
    m.ColorVector = im->ColorVector;
  });
}

TStatusInfo::TStatusInfo(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Options.PickMode = s.ReadByte();
  Options.CameraMode = s.ReadByte();
  Options.TrackingMode = s.ReadByte();
  Options.ColourMode = s.ReadByte();
  Options.DisplayMode = s.ReadByte();
  Options.FaceCulling = s.ReadByte();
  Options.BackFaceMode = s.ReadByte();
  Options.Side = s.ReadByte();
  s.GetHeader(ClassOf<TCollection>());
  Objects = std::make_unique<TTypedCollection<TInfoObjData>>();
  Objects->LoadFrom(s);
  CameraPosition = ReadPoint(s);
  LightPosition = ReadPoint(s);
  TargetPosition = ReadPoint(s);
}

void TStatusInfo::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteByte(Options.PickMode);
  s.WriteByte(Options.CameraMode);
  s.WriteByte(Options.TrackingMode);
  s.WriteByte(Options.ColourMode);
  s.WriteByte(Options.DisplayMode);
  s.WriteByte(Options.FaceCulling);
  s.WriteByte(Options.BackFaceMode);
  s.WriteByte(Options.Side);
  // A snapshot that was never taken is written as an empty one, which restores nothing.
  if (Objects)
    s.Put(*Objects);
  else
    s.Put(TTypedCollection<TInfoObjData>());
  WritePoint(s, CameraPosition);
  WritePoint(s, LightPosition);
  WritePoint(s, TargetPosition);
}

void RegisterEditStateStreamClasses(TStreamRegistry& r) {
  r.Register(ClassOf<TStatusInfo>());
  r.Register(ClassOf<TInfoObjData>());
  r.Register(ClassOf<TInfoListVert>());
  r.Register(ClassOf<TInfoListGroups>());
  r.Register(ClassOf<TInfoListMat>());
  r.Register(ClassOf<TInfoListFaces>());
  r.Register(ClassOf<TInfoListGMat>());
  r.Register(ClassOf<TInfoMat>());
  r.Register(ClassOf<TInfoFace>());
  r.Register(ClassOf<TInfoGroup>());
  r.Register(ClassOf<TInfoGMat>());
  r.Register(ClassOf<TInfoVert>());
}

}  // namespace tarvel
