// The process-wide registry of every stream class of the program.
#include "mesh/ObjectStream.h"
#include "stack/MultiObjData.h"
#include "stack/StatusInfo.h"

namespace tarvel {

void RegisterMeshStreamClasses(TStreamRegistry& registry);     // mesh/ObjDataStream.cpp
void RegisterStackStreamClasses(TStreamRegistry& registry);    // stack/StackTarget.cpp
void RegisterOrganicStreamClasses(TStreamRegistry& registry);  // commands/Organic.cpp

TStreamRegistry& StreamRegistry() {
  static TStreamRegistry registry = [] {
    TStreamRegistry r;
    RegisterMeshStreamClasses(r);
    RegisterEditStateStreamClasses(r);
    r.Register(ClassOf<TMultiObjData>());
    RegisterStackStreamClasses(r);
    RegisterOrganicStreamClasses(r);
    return r;
  }();
  return registry;
}

}  // namespace tarvel
