#include "cli/BatchRun.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "TestSupport.h"

namespace tarvel::test {

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void ExpectRefusals(const std::vector<TRefusal>& cases, const std::filesystem::path& folder) {
  for (const TRefusal& tc : cases) {
    SCOPED_TRACE(tc.Name);
    const TRun run = RunBatch(tc.Args, folder);
    EXPECT_EQ(run.ExitCode, tc.Status);
    EXPECT_NE(run.Err.find(tc.InErr), std::string::npos) << run.Err;
  }
}

std::string Quoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs the batch tool with these arguments in `folder`, capturing both output streams.
TRun RunBatch(const std::string& args, const std::filesystem::path& folder) {
  TTempDir tmp;
  const std::string errFile = (tmp.Path() / "stderr.txt").string();
  const std::string command = "cd " + Quoted(folder.string()) + " && " + Quoted(TARVEL_BATCH) +
                              (args.empty() ? "" : " " + args) + " 2>" + Quoted(errFile);
  TRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) {
    ADD_FAILURE() << "popen failed";
    return run;
  }
  char buf[4096];
  std::size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, pipe)) > 0) run.Out.append(buf, got);
  const int status = ::pclose(pipe);
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream err(errFile, std::ios::binary);
  std::stringstream ss;
  ss << err.rdbuf();
  run.Err = ss.str();
  return run;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The line that starts with `label` followed by blanks and then holds `value` as its last field.
bool HasLine(const std::string& text, const std::string& label, const std::string& value) {
  for (const std::string& line : Lines(text)) {
    if (line.rfind(label, 0) != 0) continue;
    std::istringstream fields(line.substr(label.size()));
    std::string field, last;
    while (fields >> field) last = field;
    if (last == value) return true;
  }
  return false;
}

}  // namespace tarvel::test
