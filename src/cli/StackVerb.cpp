// tarvel-batch stack: a stack file's commands, one line each, or the stack in its other form.
#include <cstdio>
#include <string>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "stack/StackFile.h"
#include "stack/StackJson.h"

namespace tarvel::cli {

const char* const kStackHelp =
    "usage: tarvel-batch stack STACK.stk|RECIPE.json [--json] [--out FILE]\n"
    "\n"
    "Prints the stack's target, then its commands, one line each: the line number, the\n"
    "caption as the window's command list shows it (without bold or colour), and the\n"
    "parameters the command stores (the objects it looks for by name, the amounts it moves,\n"
    "turns or scales by, its fall-off and so on). The stack is a stack file or its JSON form\n"
    "(a file ending in .json).\n"
    "\n"
    "  --json       print the stack's JSON form instead: every command with its kind and all\n"
    "               it stores, so that writing it back gives the same stack file\n"
    "  --out FILE   write the stack to FILE instead of printing it: a stack file, or the JSON\n"
    "               form when FILE ends in .json\n"
    "\n"
    "examples: tarvel-batch stack longer-arms.stk --json > longer-arms.json\n"
    "          tarvel-batch stack longer-arms.json --out longer-arms.stk\n";

int RunStack(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--json", false}, {"--out", true}});
  if (a.Positionals().size() != 1) throw EUsage("stack takes one stack file");
  const std::unique_ptr<TStackMng> stack = ReadAnyStackFile(a.Positionals()[0]);
  if (const auto out = a.Value("--out")) {
    if (a.Has("--json") && !IsJsonStackFile(*out))
      throw EUsage("--json writes a file ending in .json, not \"" + *out + "\"");
    WriteAnyStackFile(*out, *stack);
    return 0;
  }
  if (a.Has("--json")) {
    std::fputs(StackToJson(*stack).c_str(), stdout);
    return 0;
  }
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
