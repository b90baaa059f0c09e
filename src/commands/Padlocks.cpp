#include "commands/Padlocks.h"

#include "stack/CommandFields.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {}  // namespace

TSCFixedPadlock::TSCFixedPadlock(TStackMng* manager, std::string captionFormat)
    : TSCSpeedEdit(manager), CaptionFormat(std::move(captionFormat)) {}

TSCFixedPadlock::TSCFixedPadlock(TObjectStream& s) : TSCSpeedEdit(s) {
  CaptionFormat = s.ReadString();
}

TSCFixedPadlock::TSCFixedPadlock(TObjectStream& s, TBaseRecordOnly)
    : TSCSpeedEdit(s), CaptionFormat(Caption) {}

void TSCFixedPadlock::Store(TObjectStream& s) const {
  TSCSpeedEdit::Store(s);
  s.WriteString(CaptionFormat);
}

void TSCFixedPadlock::SetObject(const TSceneObject&) {
  UpdateCaption();
  Execute();
}

void TSCFixedPadlock::Fields(ICommandFields& f) { f.Field("caption-format", CaptionFormat); }

void TSCFixedPadlock::UpdateCaption() {
  Caption = CaptionFormat;
  if (Manager) Manager->UpdateCommandLine(*this);
}

void TSCLockAllGroups::Execute() {
  Failed = false;
  if (TMultiObjData* live = Live())
    live->Meshes.ForEach([&](TObjData& mesh) {
      mesh.Groups.ForEach([&](TGroup& g) { g.SetUnlocked(Unlocks()); });
      mesh.UpdateVertexFlags();
    });
}

void TSCLockRightSide::Execute() {
  Failed = false;
  TMultiObjData* live = Live();
  if (!live) return;
  const bool left = Left();
  const bool unlock = Unlocks();
  live->Meshes.ForEach([&](TObjData& mesh) {
    for (TObjFace& f : mesh.Faces) {
      bool onSide = true;
      for (const TFaceVert& c : mesh.Faces.Corners(f)) {
        const double x = mesh.CornerVertex(c).X;
        if (left ? !(x >= -0.000001) : !(x <= 0.0000001)) {
          onSide = false;
          break;
        }
      }
      if (!onSide) continue;
      if (left)
        f.SetLeftUnlocked(unlock);
      else
        f.SetRightUnlocked(unlock);
    }
    mesh.UpdateVertexFlags();
  });
}

void TSCLockX0::Execute() {
  TMultiObjData* live = Live();
  if (!live) return;
  live->UpdateVertexFlags();
  const bool lock = !Unlocks();
  live->Meshes.ForEach([&](TObjData& mesh) {
    for (TObjVertex& v : mesh.Vertices)
      if (IsOnCentreLine(v)) v.XLocked = lock;
  });
}

TSCLockGroup::TSCLockGroup(TStackMng* m) : TSCSelectGroup(m) {
  CaptionFormat = "Lock edit of group <b>%0:s</b>";
}

TSCUnlockGroup::TSCUnlockGroup(TStackMng* m) : TSCLockGroup(m) {
  CaptionFormat = "Unlock edit of group <b>%0:s</b>";
}

}  // namespace tarvel
