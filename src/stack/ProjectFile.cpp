#include "stack/ProjectFile.h"

#include "mesh/SafeFile.h"
#include "stack/StackFile.h"

namespace tarvel {

namespace {

// The display options of an edit state and its meshes, as a view would carry them.
const char* WrongOption(const TMultiObjData& state) {
  TViewOptions options;
  options.TrackingMode = state.TrackingMode;
  options.ColourMode = state.ColourMode;
  options.DisplayMode = state.DisplayMode;
  options.Side = state.Side;
  if (const char* wrong = WrongViewOption(options)) return wrong;
  for (std::int32_t i = 0; i < state.MeshCount(); ++i) {
    const TObjData& mesh = *state.Mesh(i);
    options.TrackingMode = mesh.TrackingMode;
    options.ColourMode = mesh.ColourMode;
    options.DisplayMode = mesh.DisplayMode;
    if (const char* wrong = WrongViewOption(options)) return wrong;
  }
  return nullptr;
}

}  // namespace

TProject ReadProject(TObjectStream& s) {
  TProject project;
  const std::int64_t at = s.Position();
  s.GetHeader(ClassOf<TMultiObjData>());
  project.State = std::make_unique<TMultiObjData>(s);
  if (const char* wrong = WrongOption(*project.State))
    s.FailAt(at, std::string("the edit state has ") + wrong);
  if (s.ReadByte() != 0) project.Stack = GetStackRecord(s);
  CheckAtEnd(s);
  return project;
}

TProject ReadProject(const std::string& fileName, IProgress* progress) {
  TObjectStream s(fileName, TObjectStream::TFileMode::Read);
  s.SetProgress(progress);
  return ReadProject(s);
}

void WriteProject(TObjectStream& s, const TMultiObjData& state, const TStackMng* stack) {
  s.Put(state);
  s.WriteByte(stack ? 1 : 0);
  if (stack) s.Put(*stack);
}

void WriteProject(const std::string& fileName, const TMultiObjData& state, const TStackMng* stack,
                  IProgress* progress) {
  TSafeFileWriter out(fileName);
  {
    TObjectStream s(out);
    s.SetProgress(progress);
    WriteProject(s, state, stack);
    s.Close();
  }
  out.Commit();
}

}  // namespace tarvel
