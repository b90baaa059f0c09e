// Shared pieces of the benchmarks: generated figures and a reporter that prints ratios
// against baselines measured in the same run.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tarvel {
class TQuietWindow;
class TStackController;
}  // namespace tarvel

namespace tarvel::bench {

// A figure of at least `vertices` vertices, generated once per process into a temporary
// folder that is removed at exit.
const std::string& GeneratedFigure(long vertices);

// The floor of a load: the file streamed through one reused buffer and every number of its
// "v ", "vt " and "f " lines converted with std::from_chars and kept.
struct TFloorResult {
  std::vector<double> Coords;
  std::vector<int> Indices;
};
void ParseFloor(const std::string& file, TFloorResult& out);

// The baseline of the command benchmarks: loading the generated figure of state.range(0)
// vertices.
void LoadFigure(benchmark::State& state);

// A generated figure with a stack of ten selection commands, the last line current.
struct TReplayStack {
  explicit TReplayStack(const std::string& figure);
  ~TReplayStack();
  std::unique_ptr<TQuietWindow> Window;
  std::unique_ptr<TStackController> Controller;
  int Last = 0;
};

// Prints the usual console output, then one line per ratio: the named benchmark's real time
// over the baseline's.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  // Each pair: (benchmark name, baseline name).
  explicit TRatioReporter(std::vector<std::pair<std::string, std::string>> ratios)
      : ratios_(std::move(ratios)) {}
  void ReportRuns(const std::vector<Run>& runs) override;
  void Finalize() override;

 private:
  std::vector<std::pair<std::string, std::string>> ratios_;
  std::map<std::string, double> times_;
};

// Runs the registered benchmarks with the reporter; returns the process status.
int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> ratios);

}  // namespace tarvel::bench
