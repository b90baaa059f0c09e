// One application of a prepared rotation to a whole generated figure, against loading that
// figure: a parameter change must cost less than reading the file.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"
#include "commands/Transforms.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace {

using tarvel::bench::GeneratedFigure;

void BM_LoadFigure(benchmark::State& state) {
  const std::string& file = GeneratedFigure(state.range(0));
  for (auto _ : state) {
    tarvel::TObjData mesh;
    tarvel::LoadFromObj(mesh, file);
    benchmark::DoNotOptimize(mesh.Vertices.Count());
  }
}

// Every vertex selected; the rotation is prepared once, as when it is the current command,
// and each iteration is one change of an angle followed by Execute.
void BM_RotateExecute(benchmark::State& state) {
  tarvel::TMultiObjData live;
  live.AddObjFile(GeneratedFigure(state.range(0)));
  live.SelectAllFaces(true);
  live.UpdateVertexFlags();
  tarvel::TStackMng stack(*tarvel::FindStackTarget(1), live);
  tarvel::TSCRotate rotate(&stack);
  rotate.Prepare();
  std::int64_t moved = 0;
  for (const auto& copy : rotate.Backups) moved += copy->Copies.Count();
  if (moved < state.range(0)) state.SkipWithError("not every vertex takes part");
  float angle = 0;
  for (auto _ : state) {
    angle += 7.5f;
    rotate.Angles.Y = angle;
    rotate.Execute();
    benchmark::DoNotOptimize(live.Mesh(0)->Vertices[0].X);
  }
  rotate.Release();
}

constexpr long k1M = 1000000;

BENCHMARK(BM_LoadFigure)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RotateExecute)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  // The reported names carry the minimum time.
  return tarvel::bench::RunWithRatios(
      argc, argv,
      {{"BM_RotateExecute/1000000/min_time:1.000", "BM_LoadFigure/1000000/min_time:1.000"}});
}
