// The organic modifiers on the generated figure with every vertex selected, against loading the
// same figure: one Inflate Execute after a change of its distance and one Smooth of 10
// iterations, each as a parameter change while the command is current (Execute), and as a whole
// turn of a replay (Prepare, which builds the normals or the neighbour table, Execute, Release).
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "commands/Organic.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace {

using tarvel::bench::GeneratedFigure;

void BM_Load(benchmark::State& state) { tarvel::bench::LoadFigure(state); }

// The figure with every face selected and a stack over it.
struct TScene {
  explicit TScene(long vertices) {
    live.AddObjFile(GeneratedFigure(vertices));
    live.SelectAllFaces(true);
    stack = std::make_unique<tarvel::TStackMng>(*tarvel::FindStackTarget(1), live);
  }
  // Whether every vertex moves under the prepared command.
  bool AllMove(const tarvel::TSCOrganic& c) const {
    return !c.Work().empty() &&
           c.Work()[0].Movers.size() == static_cast<std::size_t>(live.Mesh(0)->Vertices.Count());
  }
  tarvel::TMultiObjData live;
  std::unique_ptr<tarvel::TStackMng> stack;
};

void BM_InflateExecute(benchmark::State& state) {
  TScene scene(state.range(0));
  tarvel::TSCInflate inflate(scene.stack.get());
  inflate.Prepare();
  if (!scene.AllMove(inflate)) state.SkipWithError("not every vertex takes part");
  double distance = 0;
  for (auto _ : state) {
    distance += 0.001;
    inflate.Distance = distance;
    inflate.Execute();
    benchmark::DoNotOptimize(scene.live.Mesh(0)->Vertices[0].X);
  }
  inflate.Release();
}

void BM_InflateTurn(benchmark::State& state) {
  TScene scene(state.range(0));
  tarvel::TSCInflate inflate(scene.stack.get());
  inflate.Distance = 0.001;
  for (auto _ : state) {
    inflate.Prepare();
    inflate.Execute();
    inflate.Release();
    benchmark::DoNotOptimize(scene.live.Mesh(0)->Vertices[0].X);
  }
}

void BM_SmoothExecute(benchmark::State& state) {
  TScene scene(state.range(0));
  tarvel::TSCSmooth smooth(scene.stack.get());
  smooth.Iterations = 10;
  smooth.Prepare();
  if (!scene.AllMove(smooth)) state.SkipWithError("not every vertex takes part");
  double strength = 0.5;
  for (auto _ : state) {
    strength = strength > 0.9 ? 0.1 : strength + 0.01;
    smooth.Strength = strength;
    smooth.Execute();
    benchmark::DoNotOptimize(scene.live.Mesh(0)->Vertices[0].X);
  }
  smooth.Release();
}

void BM_SmoothTurn(benchmark::State& state) {
  TScene scene(state.range(0));
  tarvel::TSCSmooth smooth(scene.stack.get());
  smooth.Iterations = 10;
  for (auto _ : state) {
    smooth.Prepare();
    smooth.Execute();
    smooth.Release();
    benchmark::DoNotOptimize(scene.live.Mesh(0)->Vertices[0].X);
  }
}

constexpr long k1M = 1000000;

BENCHMARK(BM_Load)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateExecute)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InflateTurn)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothExecute)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothTurn)->Arg(k1M)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunWithRatios(argc, argv,
                                      {{"BM_InflateExecute/1000000", "BM_Load/1000000"},
                                       {"BM_InflateTurn/1000000", "BM_Load/1000000"},
                                       {"BM_SmoothExecute/1000000", "BM_Load/1000000"},
                                       {"BM_SmoothTurn/1000000", "BM_Load/1000000"}});
}
