#include "stack/StackTarget.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "mesh/NumberText.h"
#include "stack/MultiObjData.h"
#include "stack/SelectCommands.h"
#include "stack/StackMng.h"
#include "stack/StatusInfo.h"

namespace tarvel {

TCommandDescriptor::TCommandDescriptor(std::int32_t commandId, std::string name,
                                       std::string summary, std::int32_t flagBits)
    : Summary(std::move(summary)), Flags(flagBits), Name(std::move(name)), CommandId(commandId) {}

TCommandDescriptor::TCommandDescriptor(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Summary = s.ReadString();
  Flags = s.ReadInt32();
  Name = s.ReadString();
  CommandId = s.ReadInt32();
}

void TCommandDescriptor::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteString(Summary);
  s.WriteInt32(Flags);
  s.WriteString(Name);
  s.WriteInt32(CommandId);
}

TStackTarget::TStackTarget(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Id = s.ReadInt32();
  Name = s.ReadString();
  Description = s.ReadString();
  s.GetHeader(ClassOf<TCollection>());
  Commands.LoadFrom(s);
  s.GetHeader(ClassOf<TCollection>());
  Goals.LoadFrom(s);
}

void TStackTarget::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteInt32(Id);
  s.WriteString(Name);
  s.WriteString(Description);
  s.Put(Commands);
  s.Put(Goals);
}

const TCommandDescriptor* TStackTarget::FindDescriptor(std::int32_t commandId) const {
  for (const auto& item : Commands)
    if (auto* d = static_cast<const TCommandDescriptor*>(item.get()); d->CommandId == commandId)
      return d;
  return nullptr;
}

const TKindInfo* TStackTarget::FindKind(std::int32_t commandId) const {
  for (const TKindInfo& k : Kinds)
    if (k.CommandId == commandId) return &k;
  return nullptr;
}

const TKindInfo* TStackTarget::FindKind(std::string_view kindName) const {
  for (const TKindInfo& k : Kinds)
    if (kindName == k.KindName) return &k;
  return nullptr;
}

std::unique_ptr<TStackCommand> TStackTarget::CreateCommand(std::int32_t commandId,
                                                           TStackMng* manager) const {
  const TKindInfo* kind = FindKind(commandId);
  return kind && kind->Factory ? kind->Factory(manager) : nullptr;
}

std::int32_t TKindInfo::Flags() const {
  std::int32_t bits = 0;
  for (int b : Bits) bits |= flags::Bit(b);
  return bits;
}

namespace {
TTypedCollection<TStackTarget>& Targets() {
  static TTypedCollection<TStackTarget> targets(10);
  return targets;
}
}  // namespace

const TTypedCollection<TStackTarget>& StackTargets() { return Targets(); }

void RegisterStackTarget(std::unique_ptr<TStackTarget> target) {
  if (FindStackTarget(target->Id)) return;
  Targets().Add(std::move(target));
}

const TStackTarget* FindStackTarget(std::int32_t id) {
  for (const auto& item : StackTargets())
    if (auto* t = static_cast<const TStackTarget*>(item.get()); t->Id == id) return t;
  return nullptr;
}

void TSGCreateMorph::Run(IMorphNamer& namer, TMultiObjData& live, TMultiObjData& pristine) {
  const std::int32_t meshes = std::min(live.MeshCount(), pristine.MeshCount());
  for (std::int32_t m = 0; m < meshes; ++m) {
    TObjData& pm = *pristine.Mesh(m);
    TObjData& lm = *live.Mesh(m);
    std::vector<std::int32_t> changed;
    const std::int32_t groups = std::min(pm.Groups.Count(), lm.Groups.Count());
    for (std::int32_t g = 0; g < groups; ++g) {
      const TGroupVertList& pv = pm.Groups[g]->Vertices;
      const TGroupVertList& lv = lm.Groups[g]->Vertices;
      // Exact comparison: a vertex that moved and came back to the very same coordinates is
      // unchanged.
      bool differs = pv.Count() != lv.Count();
      for (std::int32_t k = 0; !differs && k < pv.Count(); ++k) {
        const TBaseVertex& a = pv[k].Shaped;
        const TBaseVertex& b = lv[k].Shaped;
        differs = a.X != b.X || a.Y != b.Y || a.Z != b.Z;
      }
      // A group holding a position that is not a finite number, or one beyond the limit of
      // coordinates, never becomes a target.
      bool finite = true;
      for (std::int32_t k = 0; finite && k < lv.Count(); ++k) {
        const TBaseVertex& b = lv[k].Shaped;
        finite = std::fabs(b.X) <= kCoordinateLimit && std::fabs(b.Y) <= kCoordinateLimit &&
                 std::fabs(b.Z) <= kCoordinateLimit;
      }
      if (differs && finite) changed.push_back(g);
    }
    const std::size_t n = changed.size();
    for (std::size_t k = 0; k < n; ++k) {
      const TGroup& source = *lm.Groups[changed[k]];
      TGroup& owner = *pm.Groups[changed[k]];
      if (source.Vertices.Count() != owner.Vertices.Count()) continue;
      TMorphNameRequest request;
      request.Title = "Create a morph target";
      request.MeshLine = "Mesh:" + pm.Name;
      request.CountLine = "Morph " + std::to_string(k + 1) + " of " + std::to_string(n);
      request.Proposed = source.Name + "_";
      const std::optional<std::string> answer = namer.AskMorphName(request);
      if (!answer) continue;
      auto target = std::make_unique<TMorphTarget>(&owner);
      const std::string trimmed = [&] {
        const auto b = answer->find_first_not_of(" \t\r\n");
        if (b == std::string::npos) return std::string();
        return answer->substr(b, answer->find_last_not_of(" \t\r\n") - b + 1);
      }();
      target->Name = trimmed.empty() ? source.Name + "_" : *answer;
      target->Positions.Reserve(static_cast<std::size_t>(source.Vertices.Count()));
      for (const TGroupVertex& e : source.Vertices) target->Positions.Add(e.Shaped);
      owner.MorphTargets.Add(std::move(target));
    }
  }
}

void RegisterStackStreamClasses(TStreamRegistry& r) {
  RegisterEditStateStreamClasses(r);
  r.Register(ClassOf<TMultiObjData>());
  // The base is known to the stream by name; no file the program writes holds it. A bare
  // command record is refused.
  r.Register(ClassOf<TStackCommand>());
  r.Register(ClassOf<TSCInit>());
  r.Register(ClassOf<TSCSelectGroup>());
  r.Register(ClassOf<TSCDeselectGroup>());
  r.Register(ClassOf<TSCSelectMaterial>());
  r.Register(ClassOf<TSCDeselectMaterial>());
  r.Register(ClassOf<TSCSelectGroupMat>());
  r.Register(ClassOf<TSCDeselectGroupMat>());
  r.Register(ClassOf<TSCSelectAll>());
  r.Register(ClassOf<TSCClearSelection>());
  r.Register(ClassOf<TSCInvertSelection>());
  r.Register(ClassOf<TStackMng>());
  r.Register(ClassOf<TStackTarget>());
  r.Register(ClassOf<TCommandDescriptor>());
}

}  // namespace tarvel
