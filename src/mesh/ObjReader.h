// Reading a Poser OBJ file into a fresh mesh.
//
// The reader parses the file in chunks through one reused buffer and builds the mesh's
// groups, materials, smoothing groups, sorted group vertex lists, per-vertex normals and
// display colours.
//
// Decisions where the format leaves room:
// - Number text that is not a number (including "nan" and "inf", and trailing letters) makes
//   the load fail with the line number and the offending text; a leading "+" is accepted.
// - A "v " or "vn " line with more than three numbers keeps the first three (the optional w
//   of the OBJ format is ignored); a "vt " line keeps at most three.
// - A face needs at least three corners; a corner that names a vertex, texture coordinate or
//   normal not read before the face line, or a relative (negative) number, fails the load.
// - A normal that has no direction (a degenerate face whose fan triangles have no area, or a
//   vertex used by no face, or face normals that cancel out) is (0, 0, 0); no NaN reaches the
//   mesh.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "mesh/ObjData.h"

namespace tarvel {

// A Poser OBJ file that could not be read: which file, which line (0 when the failure is not
// tied to a line) and why. The message names the file once, with its bytes made printable:
// "NAME, line 5: reason", "NAME: reason", or with `sentence` "NAME holds no geometry".
class EObjRead : public std::runtime_error {
 public:
  EObjRead(std::string file, long line, std::string reason, bool sentence = false);
  const std::string& File() const { return file_; }
  long Line() const { return line_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string file_;
  long line_;
  std::string reason_;
};

struct TObjReadOptions {
  // Size of the reused read buffer; tests make it tiny so lines split across chunks.
  std::size_t ChunkSize = std::size_t{1} << 20;
  IProgress* Progress = nullptr;
};

// Fills `mesh`, which must be freshly created, from the OBJ file. A file that does not exist
// leaves the mesh with its three "default" entries only. Raises EObjRead when the file cannot
// be read: it is not a regular file, a line is damaged, a coordinate is more than 1e9 in
// magnitude, or it holds no vertex or no face or a NUL byte in its first 4 KiB ("NAME holds
// no geometry"); the mesh is then incomplete and the caller discards it.
void LoadFromObj(TObjData& mesh, const std::string& fileName, const TObjReadOptions& options = {});

// Reads Poser target geometry: one position per "v " line, in file order, each with its line
// number among the "v " lines as Index; every other line is ignored. Raises EObjRead when the
// file cannot be read or a "v " line's numbers cannot be read.
void ReadTargetGeometry(const std::string& fileName, TRecordList<TBaseVertex>& positions,
                        const TObjReadOptions& options = {});

// The mesh name of a file: its name without folder, cut before the first occurrence of its
// extension ("x.obj.obj" gives "x").
std::string MeshNameOfFile(const std::string& fileName);

// The display colour table: groups take colours 1, 2, 3, ... and materials continue the
// sequence where the groups stopped.
std::int32_t TableColour(std::size_t ordinal);

}  // namespace tarvel
