#include "stack/StackTarget.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "commands/Organic.h"
#include "commands/Padlocks.h"
#include "commands/Sculpt.h"
#include "commands/SoftSelection.h"
#include "commands/Specular.h"
#include "commands/Transforms.h"
#include "commands/UseMorphTarget.h"
#include "mesh/NumberText.h"
#include "stack/MultiObjData.h"
#include "stack/SelectCommands.h"
#include "stack/StackMng.h"

namespace tarvel {

namespace {

template <class T>
std::unique_ptr<TStackCommand> Make(TStackMng* manager) {
  return std::make_unique<T>(manager);
}

using namespace flags;

// The command kinds of the one target, in menu order; a kind with a picture has a button on the
// page of its page bit, at its slot.
const TKindInfo kKinds[] = {
    {500,
     "lock-all",
     "Lock edit of all groups",
     nullptr,
     {kPadlocks},
     Make<TSCLockAllGroups>,
     "lock-all",
     "Lock edit of all groups",
     0},
    {501,
     "unlock-all",
     "Unlock edit of all groups",
     nullptr,
     {kPadlocks},
     Make<TSCUnLockAllGroups>,
     "unlock-all",
     "Unlock edit of all groups",
     1},
    {504,
     "lock-right",
     "Lock edit of right side",
     nullptr,
     {kPadlocks},
     Make<TSCLockRightSide>,
     "lock-right",
     "Lock edit of right side",
     2},
    {505,
     "unlock-right",
     "Unlock edit of right side",
     nullptr,
     {kPadlocks},
     Make<TSCUnlockRightSide>,
     "unlock-right",
     "Unlock edit of right side",
     3},
    {506,
     "lock-left",
     "Lock edit of left side",
     nullptr,
     {kPadlocks},
     Make<TSCLockLeftSide>,
     "lock-left",
     "Lock edit of left side",
     4},
    {507,
     "unlock-left",
     "Unlock edit of left side",
     nullptr,
     {kPadlocks},
     Make<TSCUnlockLeftSide>,
     "unlock-left",
     "Unlock edit of left side",
     5},
    {1,
     "select-group",
     "Select Group",
     "Group %1 selected",
     {kGroupMenu, kOnlyUnlockedGroup},
     Make<TSCSelectGroup>,
     nullptr,
     nullptr,
     0},
    {2,
     "deselect-group",
     "Deselect Group",
     "Group %1 deselected",
     {kGroupMenu, kOnlyUnlockedGroup},
     Make<TSCDeselectGroup>,
     nullptr,
     nullptr,
     0},
    {502,
     "lock-group",
     "Lock edit of group",
     nullptr,
     {kGroupMenu, kOnlyUnlockedGroup},
     Make<TSCLockGroup>,
     nullptr,
     nullptr,
     0},
    {503,
     "unlock-group",
     "Unlock edit of group",
     nullptr,
     {kGroupMenu, kOnlyLockedGroup},
     Make<TSCUnlockGroup>,
     nullptr,
     nullptr,
     0},
    {508,
     "lock-x0",
     "Lock coordinates X=0",
     nullptr,
     {kPadlocks},
     Make<TSCLockX0>,
     "lock-x0",
     "Lock coordinates X=0",
     6},
    {509,
     "unlock-x0",
     "Unlock coordinates X=0",
     nullptr,
     {kPadlocks},
     Make<TSCUnlockX0>,
     "unlock-x0",
     "Unlock coordinates X=0",
     7},
    {3,
     "select-material",
     "Select material",
     "Material %1 selected",
     {kMaterialMenu},
     Make<TSCSelectMaterial>,
     nullptr,
     nullptr,
     0},
    {4,
     "deselect-material",
     "Deselect material",
     "Material %1 deselected",
     {kMaterialMenu},
     Make<TSCDeselectMaterial>,
     nullptr,
     nullptr,
     0},
    {5,
     "select-group-material",
     "Select material",
     "Material %1 selected",
     {kGroupMatMenu},
     Make<TSCSelectGroupMat>,
     nullptr,
     nullptr,
     0},
    {6,
     "deselect-group-material",
     "Deselect material",
     "Material %1 deselected",
     {kGroupMatMenu},
     Make<TSCDeselectGroupMat>,
     nullptr,
     nullptr,
     0},
    {7,
     "select-all",
     "Select all",
     nullptr,
     {kSelections},
     Make<TSCSelectAll>,
     "select-all",
     "Select all",
     0},
    {8,
     "clear-selection",
     "Clear selection",
     nullptr,
     {kSelections},
     Make<TSCClearSelection>,
     "select-clear",
     "Clear selection",
     1},
    {9,
     "invert-selection",
     "Invert selection",
     nullptr,
     {kSelections},
     Make<TSCInvertSelection>,
     "select-invert",
     "Invert selection",
     2},
    {10,
     "soft-selection",
     "Soft selection",
     nullptr,
     {kSelections},
     Make<TSCSoftSelection>,
     "select-soft",
     "Soft selection",
     4},
    {13,
     "select-surface",
     "Select surface",
     nullptr,
     {kSelections},
     Make<TSCSelectSurface>,
     "select-surface",
     "Surface selection",
     3},
    {100,
     "translate-zero",
     "Translate to 0,0,0",
     nullptr,
     {kTransformers},
     Make<TSCTranslateToZero>,
     "translate-zero",
     "Translate selection to (0,0,0)",
     0},
    {101,
     "translate",
     "Translate",
     nullptr,
     {kTransformers},
     Make<TSCTranslate>,
     "translate",
     "Translate selection",
     1},
    {102,
     "rotate",
     "Rotate",
     nullptr,
     {kTransformers},
     Make<TSCRotate>,
     "rotate",
     "Rotate selection",
     2},
    {103,
     "scale",
     "Scale",
     nullptr,
     {kTransformers},
     Make<TSCScale>,
     "scale",
     "Scale selection",
     3},
    {1000,
     "use-morph",
     "Use morph target",
     nullptr,
     {kMorphTargetMenu},
     Make<TSCUseMorphTarget>,
     nullptr,
     nullptr,
     0},
    {1500,
     "mirror",
     "Mirror selection",
     nullptr,
     {kModifiers},
     Make<TSCSpecular>,
     "mirror",
     "Mirror selection",
     0},
    {1501,
     "inflate",
     "Inflate",
     nullptr,
     {kModifiers},
     Make<TSCInflate>,
     "inflate",
     "Inflate selection",
     1},
    {1502,
     "smooth",
     "Smooth",
     nullptr,
     {kModifiers},
     Make<TSCSmooth>,
     "smooth",
     "Smooth selection",
     2},
    {1503,
     "use-sculpt",
     "Use sculpted shape",
     nullptr,
     {kModifiers},
     Make<TSCUseSculpt>,
     "use-sculpt",
     "Use sculpted shape",
     3},
};

std::unique_ptr<TTypedCollection<TStackTarget>> BuildTargets() {
  auto targets = std::make_unique<TTypedCollection<TStackTarget>>(10);
  auto target = std::make_unique<TStackTarget>();
  target->Id = 1;
  target->Name = "Modify geometries to create a morph target";
  target->Description = target->Name;
  target->Goals.Add(std::make_unique<TSGCreateMorph>());
  for (const TKindInfo& k : kKinds) {
    target->Commands.Add(std::make_unique<TCommandDescriptor>(
        k.CommandId, k.Name, k.Summary ? k.Summary : k.Name, k.Flags()));
  }
  targets->Add(std::move(target));
  return targets;
}

}  // namespace

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

std::int32_t TKindInfo::Flags() const {
  std::int32_t bits = 0;
  for (int b : Bits) bits |= flags::Bit(b);
  return bits;
}

std::span<const TKindInfo> CommandKinds() { return kKinds; }

std::span<const TCommandPage> CommandPages() {
  static constexpr TCommandPage kPages[] = {{"Padlocks", flags::kPadlocks},
                                            {"Selections", flags::kSelections},
                                            {"Transformers", flags::kTransformers},
                                            {"Modifiers", flags::kModifiers}};
  return kPages;
}

std::vector<const TKindInfo*> PageKinds(const TCommandPage& page) {
  std::vector<const TKindInfo*> kinds;
  for (const TKindInfo& k : kKinds)
    if (k.Picture && k.HasFlag(page.Bit)) kinds.push_back(&k);
  std::stable_sort(kinds.begin(), kinds.end(),
                   [](const TKindInfo* a, const TKindInfo* b) { return a->Slot < b->Slot; });
  return kinds;
}

const char* CommandKindName(std::int32_t commandId) {
  for (const TKindInfo& k : kKinds)
    if (k.CommandId == commandId) return k.KindName;
  return nullptr;
}

std::int32_t CommandKindOfName(std::string_view name) {
  for (const TKindInfo& k : kKinds)
    if (name == k.KindName) return k.CommandId;
  return -1;
}

const TTypedCollection<TStackTarget>& StackTargets() {
  static const auto targets = BuildTargets();
  return *targets;
}

const TStackTarget* FindStackTarget(std::int32_t id) {
  for (const auto& item : StackTargets())
    if (auto* t = static_cast<const TStackTarget*>(item.get()); t->Id == id) return t;
  return nullptr;
}

std::unique_ptr<TStackCommand> CreateCommand(std::int32_t commandId, TStackMng* manager) {
  for (const TKindInfo& k : kKinds)
    if (k.CommandId == commandId) return k.Factory ? k.Factory(manager) : nullptr;
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
  // The two bases are known to the stream by name; no file the program writes holds them.
  // A bare command record is refused, a bare transform loads and moves nothing.
  r.Register(ClassOf<TStackCommand>());
  r.Register(ClassOf<TSCTrasform>());
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
  r.Register(ClassOf<TSCSoftSelection>());
  r.Register(ClassOf<TSCSelectSurface>());
  r.Register(ClassOf<TSCSpecular>());
  r.Register(ClassOf<TSCTranslate>());
  r.Register(ClassOf<TSCTranslateToZero>());
  r.Register(ClassOf<TSCRotate>());
  r.Register(ClassOf<TSCScale>());
  r.Register(ClassOf<TSCLockAllGroups>());
  r.Register(ClassOf<TSCUnLockAllGroups>());
  r.Register(ClassOf<TSCLockGroup>());
  r.Register(ClassOf<TSCUnlockGroup>());
  r.Register(ClassOf<TSCLockRightSide>());
  r.Register(ClassOf<TSCUnlockRightSide>());
  r.Register(ClassOf<TSCLockLeftSide>());
  r.Register(ClassOf<TSCUnlockLeftSide>());
  r.Register(ClassOf<TSCLockX0>());
  r.Register(ClassOf<TSCUnlockX0>());
  r.Register(ClassOf<TSCUseMorphTarget>());
  r.Register(ClassOf<TSCUseSculpt>());
  r.Register(ClassOf<TStackMng>());
  r.Register(ClassOf<TStackTarget>());
  r.Register(ClassOf<TCommandDescriptor>());
}

}  // namespace tarvel
