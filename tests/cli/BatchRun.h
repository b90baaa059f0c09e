// Runs the batch tool as a separate process and captures what it prints.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tarvel::test {

struct TRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// The text in single quotes for the shell.
std::string Quoted(const std::string& s);

// Runs the batch tool with these arguments in `folder`, capturing both output streams.
TRun RunBatch(const std::string& args, const std::filesystem::path& folder);

std::vector<std::string> Lines(const std::string& text);

// Whether a line starts with `label` and has `value` as its last field.
bool HasLine(const std::string& text, const std::string& label, const std::string& value);

}  // namespace tarvel::test
