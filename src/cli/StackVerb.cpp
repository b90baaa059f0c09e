// tarvel-batch stack: a stack file's commands, one line each.
#include <cstdio>
#include <string>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "stack/StackFile.h"

namespace tarvel::cli {

const char* const kStackHelp =
    "usage: tarvel-batch stack STACK.stk\n"
    "\n"
    "Prints the stack's target, then its commands, one line each: the line number, the\n"
    "caption as the window's command list shows it (without bold or colour), and the\n"
    "parameters the command stores (the objects it looks for by name, the amounts it moves,\n"
    "turns or scales by, its fall-off and so on).\n"
    "\n"
    "example: tarvel-batch stack longer-arms.stk\n";

int RunStack(const std::vector<std::string>& args) {
  const TArgs a(args, {});
  if (a.Positionals().size() != 1) throw EUsage("stack takes one stack file");
  const std::unique_ptr<TStackMng> stack = ReadStackFile(a.Positionals()[0]);
  std::printf("target   %s\n", stack->Target ? stack->Target->Name.c_str() : "?");
  std::printf("commands %d\n\n", stack->Count());
  for (std::int32_t i = 0; i < stack->Count(); ++i) {
    const TStackCommand& c = *stack->Command(i);
    const std::string params = StoredParameters(c);
    std::printf("%3d  %s%s%s\n", i, c.PlainCaption().c_str(), params.empty() ? "" : "  ",
                params.c_str());
  }
  return 0;
}

}  // namespace tarvel::cli
