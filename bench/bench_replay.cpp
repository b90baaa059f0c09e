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
#include "stack/QuietWindow.h"
#include "stack/StackController.h"

namespace {

using namespace tarvel;
using tarvel::bench::GeneratedFigure;

constexpr long kVertices = 100000;

// The generated figure with a stack of ten selection commands, the last line current.
struct TReplayStack {
  TQuietWindow Window{nullptr};
  TStackController Controller{Window};
  int Last = 0;

  TReplayStack() {
    Controller.Live().AddObjFile(GeneratedFigure(kVertices));
    const TStackTarget& target = *FindStackTarget(1);
    Controller.NewStack(target);
    auto add = [&](std::int32_t id, TSceneChoice choice = {}) {
      Controller.AddCommand(*target.FindDescriptor(id), choice);
    };
    TObjData& mesh = *Controller.Live().Mesh(0);
    auto group = [&](const char* name) { return mesh.GroupByName(name); };
    auto material = [&](const char* name) { return mesh.MaterialByName(name); };
    auto entry = [&](const char* g, const char* m) { return group(g)->EntryByName(m); };
    add(1, {.Group = group("chest")});
    add(1, {.Group = group("abdomen")});
    add(3, {.Material = material("Arms")});
    add(2, {.Group = group("lHand")});
    add(9);
    add(5, {.Entry = entry("head", "Scalp")});
    add(4, {.Material = material("Nails")});
    add(7);
    add(6, {.Entry = entry("rHand", "Arms")});
    add(9);
    Last = Controller.Stack()->Count() - 1;
    for (int i = 1; i <= Last; ++i)
      if (Controller.Stack()->Command(i)->Failed ||
          Controller.Stack()->Command(i)->Caption == "NoName") {
        std::fprintf(stderr, "command %d found no object\n", i);
        std::abort();
      }
  }
};

TReplayStack& Stack() {
  static TReplayStack stack;
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
  TReplayStack& s = Stack();
  for (auto _ : state) {
    state.PauseTiming();
    s.Controller.MakeCurrent(0);
    state.ResumeTiming();
    s.Controller.MakeCurrent(s.Last);
    benchmark::DoNotOptimize(s.Controller.Live().Mesh(0));
  }
}

// Clicking line 0 and then the last line again: a fresh copy of the pristine state, then the
// whole stack replayed on it.
void BM_ReplayFromPristine(benchmark::State& state) {
  TReplayStack& s = Stack();
  for (auto _ : state) {
    s.Controller.MakeCurrent(0);
    s.Controller.MakeCurrent(s.Last);
    benchmark::DoNotOptimize(s.Controller.Live().Mesh(0));
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
