// tarvel-batch: the command-line side of Tarvel.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Args.h"
#include "cli/Verbs.h"
#include "commands/Kinds.h"
#include "mesh/Platform.h"

namespace tarvel::cli {

void Fail(const std::string& message) {
  std::fprintf(stderr, "tarvel-batch: %s\n", message.c_str());
}

namespace {

const TVerb kVerbs[] = {
    {"info", "load a Poser figure and print its counts, groups and symmetry", kInfoHelp, RunInfo},
    {"apply", "apply a saved stack to figures and write the morph targets it makes", kApplyHelp,
     RunApply},
    {"export", "write every morph target of a project as Poser target geometry", kExportHelp,
     RunExport},
    {"stack", "list the commands of a stack file with their parameters", kStackHelp, RunStack},
    {"split", "turn a whole-figure sculpt into the morph targets of the groups it changes",
     kSplitHelp, RunSplit},
};

int Usage(FILE* out) {
  std::fprintf(out, "usage: tarvel-batch VERB [ARGUMENTS] [OPTIONS]\n\nverbs:\n");
  for (const TVerb& v : kVerbs) std::fprintf(out, "  %-8s %s\n", v.Name, v.Summary);
  std::fprintf(out, "\n\"tarvel-batch VERB --help\" explains a verb.\n");
  return out == stdout ? 0 : 2;
}

}  // namespace
}  // namespace tarvel::cli

int main(int argc, char** argv) {
  tarvel::AssembleCore();
  using namespace tarvel::cli;
  const std::vector<std::string> argument = tarvel::platform::Arguments(argc, argv);
  if (argument.size() < 2) return Usage(stderr);
  const std::string& verb = argument[1];
  if (verb == "--help" || verb == "-h" || verb == "help") return Usage(stdout);
  for (const TVerb& v : kVerbs) {
    if (verb != v.Name) continue;
    std::vector<std::string> args(argument.begin() + 2, argument.end());
    for (const std::string& a : args)
      if (a == "--help" || a == "-h") {
        std::fputs(v.Help, stdout);
        return 0;
      }
    try {
      return v.Run(args);
    } catch (const EUsage& e) {
      Fail(e.what());
      std::fputs(v.Help, stderr);
      return 2;
    } catch (const std::exception& e) {
      Fail(e.what());
      return 1;
    }
  }
  Fail("unknown verb \"" + verb + "\"");
  return Usage(stderr);
}
