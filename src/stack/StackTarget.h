// Stack targets (which command kinds a stack offers and how they are made and named), their
// registry, and the goals a stack can run. The program's one target is built in commands/Kinds.cpp.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/Collection.h"
#include "mesh/ObjectStream.h"

namespace tarvel {

class TMultiObjData;
class TStackCommand;
class TStackMng;

// Where a command kind is offered.
namespace flags {
constexpr int kGroupMenu = 2;
constexpr int kMaterialMenu = 3;
constexpr int kGroupMatMenu = 5;
constexpr int kMorphTargetMenu = 7;
constexpr int kSelections = 8;
constexpr int kTransformers = 9;
constexpr int kModifiers = 10;
constexpr int kPadlocks = 11;
constexpr int kOnlyUnlockedGroup = 12;
constexpr int kOnlyLockedGroup = 13;
constexpr std::int32_t Bit(int n) { return std::int32_t{1} << n; }
}  // namespace flags

class TCommandDescriptor : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TCommandDescriptor";
  static constexpr std::uint16_t kStreamId = 6029;

  TCommandDescriptor() = default;
  TCommandDescriptor(std::int32_t commandId, std::string name, std::string summary,
                     std::int32_t flagBits);
  explicit TCommandDescriptor(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;
  bool HasFlag(int bit) const { return (Flags & flags::Bit(bit)) != 0; }

  std::int32_t Reserved = 0;
  std::string Summary = "NoName";
  std::int32_t Flags = 0;
  std::string Name;
  std::int32_t CommandId = -1;
};

// What the goal asks the user for each changed group.
struct TMorphNameRequest {
  std::string Title;      // "Create a morph target"
  std::string MeshLine;   // "Mesh:" and the mesh name
  std::string CountLine;  // "Morph k of n"
  std::string Proposed;   // the group name and "_"
};

class IMorphNamer {
 public:
  virtual ~IMorphNamer() = default;
  // The name entered, or none when the dialog was cancelled.
  virtual std::optional<std::string> AskMorphName(const TMorphNameRequest& request) = 0;
};

class TStackGoal : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TStackGoal";
  std::uint16_t StreamId() const override { return 0; }
  void Store(TObjectStream& s) const override { s.WriteString(Name); }
  virtual void Run(IMorphNamer& namer, TMultiObjData& live, TMultiObjData& pristine) = 0;
  std::string Name = "NoName";
};

// Turns every group whose shaped positions changed into a morph target of the pristine group.
class TSGCreateMorph : public TStackGoal {
 public:
  static constexpr std::string_view kClassName = "TSGCreateMorph";
  TSGCreateMorph() { Name = "Goal: Create Morph Target"; }
  void Run(IMorphNamer& namer, TMultiObjData& live, TMultiObjData& pristine) override;
};

// One command kind as the program offers it: its stored descriptor, its name in text forms,
// its button on a tool page, and how to make one.
struct TKindInfo {
  std::int32_t CommandId;
  const char* KindName;  // the kind's name in text forms of a stack ("select-group")
  const char* Name;      // caption in menus and the Add command dialog
  const char* Summary;   // nullptr: the same as the name
  std::initializer_list<int> Bits;
  std::unique_ptr<TStackCommand> (*Factory)(TStackMng*);  // nullptr: not built yet
  const char* Picture;  // the tool button's picture; nullptr: no button
  const char* Hint;     // the tool button's hint
  int Slot;             // the button's place on its page

  std::int32_t Flags() const;
  bool HasFlag(int bit) const { return (Flags() & flags::Bit(bit)) != 0; }
};

class TStackTarget : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TStackTarget";
  static constexpr std::uint16_t kStreamId = 6028;

  TStackTarget() = default;
  explicit TStackTarget(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  const TCommandDescriptor* FindDescriptor(std::int32_t commandId) const;
  // The kind of this id, or of this name in text forms ("select-group"); none when the target
  // does not offer it.
  const TKindInfo* FindKind(std::int32_t commandId) const;
  const TKindInfo* FindKind(std::string_view kindName) const;
  // A new command of this kind for the manager, or none when the target does not offer the
  // kind or it is not built.
  std::unique_ptr<TStackCommand> CreateCommand(std::int32_t commandId, TStackMng* manager) const;

  std::int32_t Reserved = 0;
  std::int32_t Id = -1;
  std::string Name;
  std::string Description;
  TTypedCollection<TCommandDescriptor> Commands{10};
  TTypedCollection<TStackGoal> Goals{4};
  // How the offered kinds are made and named. Not stored: the program that registers the
  // target gives it its kinds, and a target read from a stream has none.
  std::span<const TKindInfo> Kinds;
};

// The registered targets. The program registers its one target, "Modify geometries to create
// a morph target", with its command kinds when it assembles the core (AssembleCore).
const TTypedCollection<TStackTarget>& StackTargets();
const TStackTarget* FindStackTarget(std::int32_t id);
// Adds a target; one of an Id already registered is dropped. Done once, at start.
void RegisterStackTarget(std::unique_ptr<TStackTarget> target);

// Registers the stream classes of the stack layer: the edit state, the stack, its target and
// the commands this layer defines (the initial command and the selections).
void RegisterStackStreamClasses(TStreamRegistry& registry);

}  // namespace tarvel
