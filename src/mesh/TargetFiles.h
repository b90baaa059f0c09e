// Where the morph targets of a mesh go when they are all written at once: FOLDER/GROUP/TARGET.obj,
// with names made safe for every file system and kept apart when two come out the same.
#pragma once

#include <string>
#include <vector>

#include "mesh/ObjData.h"

namespace tarvel {

struct TTargetFile {
  const TMorphTarget* Target = nullptr;
  std::string File;
};

// Every morph target of every group of the mesh, in group and target order, with its file.
std::vector<TTargetFile> TargetFiles(const TObjData& mesh, const std::string& folder);

}  // namespace tarvel
