#include "stack/StackFile.h"

#include <cmath>

#include "mesh/SafeFile.h"
#include "stack/SelectCommands.h"

namespace tarvel {

const char* WrongViewOption(const TViewOptions& o) {
  if (o.PickMode > 4) return "an unknown pick mode";
  if (o.CameraMode > 3) return "an unknown camera mode";
  if (o.TrackingMode > 2) return "an unknown tracking mode";
  if (o.ColourMode > 3) return "an unknown colour mode";
  if (o.DisplayMode > 1) return "an unknown display mode";
  if (o.FaceCulling > 1) return "an unknown face culling setting";
  if (o.BackFaceMode > 1) return "an unknown back-face setting";
  if (o.Side > 2) return "an unknown side";
  return nullptr;
}

namespace {

const char* WrongView(const TStatusInfo& info) {
  if (const char* wrong = WrongViewOption(info.Options)) return wrong;
  for (const TPoint3& p : {info.CameraPosition, info.LightPosition, info.TargetPosition})
    if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.Z))
      return "a camera or light position that is not a number";
  return nullptr;
}

}  // namespace

void CheckAtEnd(TObjectStream& s) {
  const std::int64_t left = s.BytesLeft();
  if (left > 0) s.Fail(std::to_string(left) + " bytes of unknown data follow the last object");
}

std::unique_ptr<TStackMng> GetStackRecord(TObjectStream& s) {
  const std::int64_t at = s.Position();
  s.GetHeader(ClassOf<TStackMng>());
  auto stack = std::make_unique<TStackMng>(s);
  stack->Target = FindStackTarget(stack->TargetId);
  if (!stack->Target)
    s.FailAt(at, "the stack is of target " + std::to_string(stack->TargetId) +
                     ", which this program does not know");
  const TStackCommand* first = stack->Command(0);
  if (!first) s.FailAt(at, "the stack has no commands, not even the initial one");
  if (!dynamic_cast<const TSCInit*>(first))
    s.FailAt(at, "the stack's first command is not the initial command");
  for (std::int32_t i = 0; i < stack->Count(); ++i) {
    const TStatusInfo* info = stack->Command(i)->StatusInfo.get();
    if (!info) continue;
    if (const char* wrong = WrongView(*info))
      s.FailAt(at, "the view of command " + std::to_string(i) + " has " + wrong);
  }
  return stack;
}

std::unique_ptr<TStackMng> ReadStack(TObjectStream& s) {
  auto stack = GetStackRecord(s);
  CheckAtEnd(s);
  return stack;
}

std::unique_ptr<TStackMng> ReadStackFile(const std::string& fileName, IProgress* progress) {
  TObjectStream s(fileName, TObjectStream::TFileMode::Read);
  s.SetProgress(progress);
  return ReadStack(s);
}

void WriteStackFile(const std::string& fileName, const TStackMng& stack, IProgress* progress) {
  TSafeFileWriter out(fileName);
  {
    TObjectStream s(out);
    s.SetProgress(progress);
    s.Put(stack);
    s.Close();
  }
  out.Commit();
}

}  // namespace tarvel
