#include "commands/Kinds.h"

#include <algorithm>
#include <mutex>

#include "commands/Organic.h"
#include "commands/Padlocks.h"
#include "commands/Sculpt.h"
#include "commands/SoftSelection.h"
#include "commands/Specular.h"
#include "commands/Transforms.h"
#include "commands/UseMorphTarget.h"
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
// Constant-initialized: programs assemble the core while other files are still being initialized.
constinit const TKindInfo kKinds[] = {
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

std::unique_ptr<TStackTarget> BuildTarget() {
  auto target = std::make_unique<TStackTarget>();
  target->Id = 1;
  target->Name = "Modify geometries to create a morph target";
  target->Description = target->Name;
  target->Goals.Add(std::make_unique<TSGCreateMorph>());
  for (const TKindInfo& k : kKinds) {
    target->Commands.Add(std::make_unique<TCommandDescriptor>(
        k.CommandId, k.Name, k.Summary ? k.Summary : k.Name, k.Flags()));
  }
  target->Kinds = kKinds;
  return target;
}

}  // namespace

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

std::unique_ptr<TStackCommand> CreateCommand(std::int32_t commandId, TStackMng* manager) {
  for (const TKindInfo& k : kKinds)
    if (k.CommandId == commandId) return k.Factory ? k.Factory(manager) : nullptr;
  return nullptr;
}

void RegisterCommandStreamClasses(TStreamRegistry& r) {
  // The base of the transforms is known to the stream by name; no file the program writes
  // holds it, and a bare one loads and moves nothing.
  r.Register(ClassOf<TSCTrasform>());
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
  r.Register(ClassOf<TSCInflate>());
  r.Register(ClassOf<TSCSmooth>());
}

void AssembleCore() {
  static std::once_flag once;
  std::call_once(once, [] {
    TStreamRegistry& registry = StreamRegistry();
    RegisterStackStreamClasses(registry);
    RegisterCommandStreamClasses(registry);
    RegisterStackTarget(BuildTarget());
  });
}

}  // namespace tarvel
