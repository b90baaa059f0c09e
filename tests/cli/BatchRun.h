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

// The sample figure, and the whole text of a file.
inline const std::string kSampleFigure = std::string(TARVEL_SAMPLES_DIR) + "/figure.obj";
std::string ReadFile(const std::filesystem::path& file);

// A command line the batch tool refuses: its exit status and a part of what it prints on
// standard error.
struct TRefusal {
  const char* Name;
  std::string Args;
  int Status;
  std::string InErr;
};
// Runs every case in `folder` and checks its status and message.
void ExpectRefusals(const std::vector<TRefusal>& cases, const std::filesystem::path& folder);

// Whether a line starts with `label` and has `value` as its last field.
bool HasLine(const std::string& text, const std::string& label, const std::string& value);

}  // namespace tarvel::test
