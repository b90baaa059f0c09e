// Reading only the "v " lines of an OBJ file: the positions of a whole-figure sculpt exported
// by another program, which match the figure's vertices by their order.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "mesh/ObjectStream.h"

namespace tarvel {

// Fills `xyz` with x, y, z of every "v " line, in file order (three doubles per vertex). Lines
// are trimmed; every other line (faces, groups, texture coordinates, comments) is skipped. The
// numbers are read as the figure reader reads vertex lines. `expected` (a vertex count) only
// sizes the result ahead. The file may be gzip-compressed. Raises EObjRead, naming the file and
// line, when it is missing, not a regular file, or a "v " line's numbers cannot be read.
void ReadVertexLines(const std::string& fileName, std::vector<double>& xyz,
                     std::size_t expected = 0, IProgress* progress = nullptr);

}  // namespace tarvel
