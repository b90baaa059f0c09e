// The project file: a whole piece of work on an object stream. It holds the edit state (the
// stack's pristine copy when a stack exists, else the live state), one byte telling whether a
// stack follows, and then the stack manager. There is no header or version.
//
// Reading is strict, as for stack files: a truncated, damaged or foreign file raises
// EObjectStream (or ECollectionError) naming the file and what is wrong, and the result is
// built from new objects only, so the caller's work stays as it was.
#pragma once

#include <memory>
#include <string>

#include "mesh/ObjectStream.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

// The dialogs' texts for project files.
namespace projectfile {
inline constexpr const char* kOpenTitle = "Open project file";
inline constexpr const char* kSaveTitle = "Save project file";
inline constexpr const char* kFilter = "Vantor VNX (*.vnx)|*.vnx";
inline constexpr const char* kExtension = "vnx";
}  // namespace projectfile

struct TProject {
  std::unique_ptr<TMultiObjData> State;
  std::unique_ptr<TStackMng> Stack;  // none when the project has no stack
};

// Writes `state`, the stack byte and, when given, the stack. The file is written to a
// temporary file beside `fileName` that replaces it only once everything was written.
// `progress` (or none) follows the meshes and the commands. Raises EObjectStream or EFileWrite.
void WriteProject(const std::string& fileName, const TMultiObjData& state, const TStackMng* stack,
                  IProgress* progress = nullptr);

// The same on a stream, from its current position.
void WriteProject(TObjectStream& s, const TMultiObjData& state, const TStackMng* stack);

// Reads a project file. The stack, when there is one, has its Target set; its Pristine, Live
// and List are empty. A stack byte other than 0 counts as 1.
TProject ReadProject(const std::string& fileName, IProgress* progress = nullptr);
// The same from a stream positioned at the start of a project; fails when anything is left.
TProject ReadProject(TObjectStream& s);

}  // namespace tarvel
