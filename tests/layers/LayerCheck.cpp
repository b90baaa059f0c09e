// One layer of the core linked with only the layers below it, every object file of them
// included: it links only when no code of those layers reaches upward. Built three times
// (TARVEL_LAYER 1 mesh, 2 stack over mesh, 3 commands over both); each run works its layer
// through the stream registry the layer can fill on its own.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/ObjectStream.h"
#if TARVEL_LAYER >= 2
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"
#endif
#if TARVEL_LAYER >= 3
#include "commands/Kinds.h"
#endif

namespace {

int Fail(const char* what) {
  std::fprintf(stderr, "layer %d: %s\n", TARVEL_LAYER, what);
  return 1;
}

// The bytes of an object, and the bytes of its copy read back from them.
template <class T>
bool SameAfterRoundTrip(const T& object) {
  tarvel::TObjectStream first;
  first.Put(object);
  first.Seek(0);
  const auto copy = first.GetAs<T>();
  tarvel::TObjectStream second;
  second.Put(*copy);
  return first.Bytes() == second.Bytes();
}

}  // namespace

int main() {
  using namespace tarvel;
  const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                     ("tarvel-layer-" + std::to_string(TARVEL_LAYER) + ".obj");
  {
    std::ofstream out(file);
    out << "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\ng body\nusemtl skin\nf 1 2 3\nf 2 4 3\n";
  }
  auto mesh = std::make_unique<TObjData>();
  try {
    LoadFromObj(*mesh, file.string());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return Fail("the figure did not load");
  }
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
  bool body = false;
  mesh->Groups.ForEach([&](const TGroup& g) { body = body || g.Name == "body"; });
  if (mesh->Vertices.Count() != 4 || mesh->Faces.Count() != 2 || !body)
    return Fail("the figure loaded wrong");
  if (!SameAfterRoundTrip(*mesh)) return Fail("the mesh changed through its stream");

#if TARVEL_LAYER == 2
  // The stack layer's own classes, and a target of its own without command kinds.
  RegisterStackStreamClasses(StreamRegistry());
  TStackTarget target;
  target.Id = 7;
#endif
#if TARVEL_LAYER == 3
  AssembleCore();
  const TStackTarget& target = *FindStackTarget(1);
#endif
#if TARVEL_LAYER >= 2
  TMultiObjData live;
  live.AddMesh(std::move(mesh));
  TStackMng stack(target, live);
  if (stack.Count() != 1) return Fail("a new stack lacks its initial command");
  if (!SameAfterRoundTrip(live)) return Fail("the edit state changed through its stream");
  if (!SameAfterRoundTrip(stack)) return Fail("the stack changed through its stream");
#endif
#if TARVEL_LAYER == 3
  for (const TKindInfo& kind : CommandKinds()) {
    const auto command = target.CreateCommand(kind.CommandId, &stack);
    if (!command) return Fail("a command kind is not built");
    if (!StreamRegistry().ClassOfId(command->StreamId()))
      return Fail("a command class is not registered");
  }
#endif
  std::printf("layer %d links alone and works\n", TARVEL_LAYER);
  return 0;
}
