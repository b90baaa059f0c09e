// Writing and reading a stack in its JSON form against the stack file of the same stack, in the
// same run: 24 commands over a generated figure of 100,000 vertices, each command with the view
// the window stores when its line is left (a snapshot of every vertex, face, group and
// material).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "stack/QuietWindow.h"
#include "stack/StackFile.h"
#include "stack/StackJson.h"

namespace {

using namespace tarvel;
using tarvel::bench::GeneratedFigure;

constexpr long kVertices = 100000;

struct TStackState {
  TQuietWindow Window{[](const TMorphNameRequest&) { return std::optional<std::string>(); }};
  TStackController Controller{Window};
  std::string Stk, Json;
  TStackState() {
    if (!Controller.Live().AddObjFile(GeneratedFigure(kVertices))) std::abort();
    Controller.NewStack(*FindStackTarget(1));
    for (int round = 0; round < 4; ++round)
      for (const int kind : {7, 101, 102, 103, 9, 8}) {
        Controller.AddCommand(*Controller.Stack()->FindDescriptor(kind));
        TStackMng& stack = *Controller.Stack();
        Controller.StoreView(*stack.Command(stack.Count() - 1));
      }
    const std::filesystem::path base = std::filesystem::temp_directory_path() /
                                       ("tarvel_bench_stack_" + std::to_string(::getpid()));
    Stk = base.string() + ".stk";
    Json = base.string() + ".json";
    WriteStackFile(Stk, *Controller.Stack());
    WriteStackJson(Json, *Controller.Stack());
  }
  ~TStackState() {
    std::filesystem::remove(Stk);
    std::filesystem::remove(Json);
  }
};

TStackState& Stack() {
  static TStackState state;
  return state;
}

void BM_WriteStackFile(benchmark::State& state) {
  TStackState& s = Stack();
  for (auto _ : state) WriteStackFile(s.Stk, *s.Controller.Stack());
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(s.Stk)) / 1e6;
}

void BM_WriteStackJson(benchmark::State& state) {
  TStackState& s = Stack();
  for (auto _ : state) WriteStackJson(s.Json, *s.Controller.Stack());
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(s.Json)) / 1e6;
}

void BM_ReadStackFile(benchmark::State& state) {
  TStackState& s = Stack();
  for (auto _ : state) {
    auto read = ReadStackFile(s.Stk);
    benchmark::DoNotOptimize(read.get());
  }
}

void BM_ReadStackJson(benchmark::State& state) {
  TStackState& s = Stack();
  for (auto _ : state) {
    auto read = ReadStackJson(s.Json);
    benchmark::DoNotOptimize(read.get());
  }
}

BENCHMARK(BM_WriteStackFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_WriteStackJson)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadStackFile)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadStackJson)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunWithRatios(
      argc, argv,
      {{"BM_WriteStackJson/min_time:1.000", "BM_WriteStackFile/min_time:1.000"},
       {"BM_ReadStackJson/min_time:1.000", "BM_ReadStackFile/min_time:1.000"}});
}
