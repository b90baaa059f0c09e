// Reads a mesh, and any object at all, from arbitrary bytes. Reading must either succeed or
// raise EObjectStream or ECollectionError; a mesh that was read must survive the operations
// that walk its references, and store and read back again.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjectStream.h"

namespace {

void Exercise(tarvel::TObjData& mesh) {
  mesh.UpdateVertexFlags();
  mesh.SetSide(1);
  mesh.SetSide(0);
  mesh.LinkShapedPositions();
  bool found = false;
  mesh.SelectionCentre(found);
  mesh.GroupsCentre();
  mesh.Groups.ForEach([](tarvel::TGroup& g) {
    g.GroupMats.ForEach([](tarvel::TGroupMatInfo& e) { (void)e.Name(); });
    g.SetVisible(true);
  });
  mesh.InvertFaceSelection();
  auto backup = mesh.BackupSelection();
  // What was read must store and read back.
  auto copy = tarvel::CopyMesh(mesh);
  if (copy->Vertices.Count() != mesh.Vertices.Count() || copy->Faces.Count() != mesh.Faces.Count())
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> bytes(data, data + size);
  try {
    tarvel::TObjectStream s(bytes);
    auto mesh = s.GetAs<tarvel::TObjData>();
    Exercise(*mesh);
  } catch (const tarvel::EObjectStream&) {
  } catch (const tarvel::ECollectionError&) {
  }
  try {
    tarvel::TObjectStream s(bytes);
    while (s.BytesLeft() > 0) {
      auto obj = s.Get();
      tarvel::TObjectStream out;
      out.Put(*obj);
    }
  } catch (const tarvel::EObjectStream&) {
  } catch (const tarvel::ECollectionError&) {
  }
  return 0;
}
