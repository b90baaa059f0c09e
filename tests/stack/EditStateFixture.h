// A small figure shared by the stack tests, and helpers to read it into an edit state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "stack/MultiObjData.h"

namespace tarvel::test {

// Groups: 0 "default" (empty), 1 "right", 2 "left", 3 "hat". Materials: 0 "default",
// 1 "skin", 2 "cloth".
//   face 0: right, skin, vertices 0 2 3 1 (x -1..0)
//   face 1: left, skin, vertices 2 4 5 3 (x 0..1; 2 and 3 shared with right)
//   face 2: left, cloth, vertices 4 6 7 5 (x 1..2)
//   face 3: hat, cloth, vertices 8 10 9 (x 3..4, z 1; shares nothing)
inline const char* const kFigure =
    "v -1 0 0\nv -1 1 0\nv 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nv 2 0 0\nv 2 1 0\n"
    "v 3 0 1\nv 3 1 1\nv 4 0 1\n"
    "g right\nusemtl skin\nf 1 3 4 2\n"
    "g left\nf 3 5 6 4\nusemtl cloth\nf 5 7 8 6\n"
    "g hat\nf 9 11 10\n";

constexpr int kRight = 1;
constexpr int kLeft = 2;
constexpr int kHat = 3;
constexpr int kSkin = 1;
constexpr int kCloth = 2;

// Adds the OBJ text as a mesh named after `name` (a file "<name>.obj" in `dir`).
inline TObjData& AddMesh(TMultiObjData& state, const TTempDir& dir, const std::string& text,
                         const std::string& name = "figure") {
  return *state.AddObjFile(dir.Write(name + ".obj", text));
}

inline std::vector<bool> FaceSelection(const TObjData& mesh) {
  std::vector<bool> out;
  for (const TObjFace& f : mesh.Faces) out.push_back(f.Selected);
  return out;
}

inline std::vector<bool> VertexSelection(const TObjData& mesh) {
  std::vector<bool> out;
  for (const TObjVertex& v : mesh.Vertices) out.push_back(v.Selected);
  return out;
}

inline std::vector<float> SoftWeights(const TObjData& mesh) {
  std::vector<float> out;
  for (const TObjVertex& v : mesh.Vertices) out.push_back(v.SoftWeight);
  return out;
}

inline void SetAllSoftWeights(TObjData& mesh, float weight) {
  for (TObjVertex& v : mesh.Vertices) v.SetSoftWeight(weight);
}

// The bytes an object writes on a memory stream, type id included.
inline std::vector<std::uint8_t> StoredBytes(const TStreamableObject& object) {
  TObjectStream s;
  s.Put(object);
  return s.Bytes();
}

}  // namespace tarvel::test
