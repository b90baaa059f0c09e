// The verbs of the batch tool. Each takes the arguments after the verb and returns the exit
// status: 0 success, 1 a failure named on standard error, 2 bad usage (raised as EUsage).
#pragma once

#include <string>
#include <vector>

namespace tarvel::cli {

struct TVerb {
  const char* Name;
  const char* Summary;  // one line for the tool's own help
  const char* Help;     // the verb's --help text
  int (*Run)(const std::vector<std::string>& args);
};

int RunInfo(const std::vector<std::string>& args);
int RunApply(const std::vector<std::string>& args);
int RunExport(const std::vector<std::string>& args);
int RunStack(const std::vector<std::string>& args);
int RunSplit(const std::vector<std::string>& args);
extern const char* const kInfoHelp;
extern const char* const kApplyHelp;
extern const char* const kExportHelp;
extern const char* const kStackHelp;
extern const char* const kSplitHelp;

// Prints "tarvel-batch: " and the message on standard error.
void Fail(const std::string& message);

}  // namespace tarvel::cli
