// "Mirror selection" on a generated figure with every vertex selected, against loading the same
// figure: one Execute (pairing on the pristine copy, undoing the previous application, writing
// the mirrored side) and one Info (all mirror matches counted, smallest distance).
#include <memory>

#include "BenchSupport.h"
#include "commands/Specular.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace {

using tarvel::bench::GeneratedFigure;

void BM_Load(benchmark::State& state) { tarvel::bench::LoadFigure(state); }

// A stack over the figure with everything selected and a mirror command made current.
struct TMirrorScene {
  explicit TMirrorScene(long vertices) {
    live.AddObjFile(GeneratedFigure(vertices));
    live.SelectAllFaces(true);
    stack = std::make_unique<tarvel::TStackMng>(*tarvel::FindStackTarget(1), live);
    command = std::make_unique<tarvel::TSCSpecular>(stack.get());
    command->Prepare();
  }
  tarvel::TMultiObjData live;
  std::unique_ptr<tarvel::TStackMng> stack;
  std::unique_ptr<tarvel::TSCSpecular> command;
};

void BM_MirrorExecute(benchmark::State& state) {
  TMirrorScene scene(state.range(0));
  for (auto _ : state) {
    scene.command->Execute();
    benchmark::DoNotOptimize(scene.command->OutOfSymmetry);
  }
  state.counters["out_of_symmetry"] = scene.command->OutOfSymmetry;
}

void BM_MirrorInfo(benchmark::State& state) {
  TMirrorScene scene(state.range(0));
  for (auto _ : state) {
    scene.command->ComputeInfo();
    benchmark::DoNotOptimize(scene.command->MinDistance);
  }
  state.counters["cross_linked"] = scene.command->CrossLinked;
}

constexpr long k1M = 1000000;

BENCHMARK(BM_Load)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MirrorExecute)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MirrorInfo)->Arg(k1M)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunWithRatios(argc, argv,
                                      {{"BM_MirrorExecute/1000000", "BM_Load/1000000"},
                                       {"BM_MirrorInfo/1000000", "BM_Load/1000000"}});
}
