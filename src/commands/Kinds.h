// The command kinds of the program: one table from which its stack target, the tool pages,
// the menus, the Add command dialog and the text forms of stacks are all built.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "stack/StackTarget.h"

namespace tarvel {

class TStackCommand;
class TStackMng;

// The name of a command kind in the text forms of a stack ("select-group"), or nullptr for an
// unknown kind; and the kind of such a name, or -1.
const char* CommandKindName(std::int32_t commandId);
std::int32_t CommandKindOfName(std::string_view name);

// A tool page of command buttons, which is also a heading of the Add command dialog: it holds
// the kinds whose flags carry its bit.
struct TCommandPage {
  const char* Caption;
  int Bit;
};

// The command kinds of the one target, in registry (menu) order, and the command pages in
// window order.
std::span<const TKindInfo> CommandKinds();
std::span<const TCommandPage> CommandPages();
// The kinds with a button on this page, in button order.
std::vector<const TKindInfo*> PageKinds(const TCommandPage& page);

// A new command of this kind for the manager, or none when the kind is not built.
// (The same as asking the program's target, FindStackTarget(1)->CreateCommand.)
std::unique_ptr<TStackCommand> CreateCommand(std::int32_t commandId, TStackMng* manager);

// Registers the stream classes of the commands this layer defines.
void RegisterCommandStreamClasses(TStreamRegistry& registry);

// Assembles the core of the program: every stream class of the three layers in the stream
// registry, and the stack target with the kinds above. Every program (window, batch tool,
// tests, benchmarks, fuzz targets) calls it once at start; later calls do nothing.
void AssembleCore();

}  // namespace tarvel
