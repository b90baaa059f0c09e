// Replaying a stack of ten selection commands on a generated figure of 100 thousand vertices,
// against loading the same figure, in the same run.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/StackController.h"

namespace {

using namespace tarvel;
using tarvel::bench::GeneratedFigure;

constexpr long kVertices = 100000;

tarvel::bench::TReplayStack& Stack() {
  static tarvel::bench::TReplayStack stack(GeneratedFigure(kVertices));
  return stack;
}

// The baseline: reading the figure.
void BM_LoadFigure(benchmark::State& state) {
  const std::string& file = GeneratedFigure(kVertices);
  for (auto _ : state) {
    TObjData mesh;
    LoadFromObj(mesh, file);
    benchmark::DoNotOptimize(mesh.Vertices.Count());
  }
}

// Clicking the last line while line 0 is current: the ten commands are applied on top of the
// fresh copy that line 0 shows.
void BM_ReplayForward(benchmark::State& state) {
  tarvel::bench::TReplayStack& s = Stack();
  for (auto _ : state) {
    state.PauseTiming();
    s.Controller->MakeCurrent(0);
    state.ResumeTiming();
    s.Controller->MakeCurrent(s.Last);
    benchmark::DoNotOptimize(s.Controller->Live().Mesh(0));
  }
}

// Clicking line 0 and then the last line again: a fresh copy of the pristine state, then the
// whole stack replayed on it.
void BM_ReplayFromPristine(benchmark::State& state) {
  tarvel::bench::TReplayStack& s = Stack();
  for (auto _ : state) {
    s.Controller->MakeCurrent(0);
    s.Controller->MakeCurrent(s.Last);
    benchmark::DoNotOptimize(s.Controller->Live().Mesh(0));
  }
}

BENCHMARK(BM_LoadFigure)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReplayForward)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReplayFromPristine)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunWithRatios(
      argc, argv,
      {{"BM_ReplayForward/min_time:1.000", "BM_LoadFigure/min_time:1.000"},
       {"BM_ReplayFromPristine/min_time:1.000", "BM_LoadFigure/min_time:1.000"}});
}
