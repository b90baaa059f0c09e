// The selections that start from a picked vertex, on a generated figure, against loading the
// same figure: a soft selection in surface mode from the top of the head whose radius is half
// the figure's height, and surface selections of the whole figure. The generated figure is
// five separate surfaces (torso with head, two arms, two legs), so the whole figure takes one
// surface selection per part. Each is measured as a parameter change while the command is
// current (Execute: undo the last application, apply again) and as a whole turn of a replay
// (Prepare, Execute, Release, which also builds the vertex-to-faces table).
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "commands/SoftSelection.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace {

using tarvel::bench::GeneratedFigure;

void BM_Load(benchmark::State& state) { tarvel::bench::LoadFigure(state); }

// The figure with a stack over it.
struct TScene {
  explicit TScene(long vertices) {
    live.AddObjFile(GeneratedFigure(vertices));
    stack = std::make_unique<tarvel::TStackMng>(*tarvel::FindStackTarget(1), live);
  }
  const tarvel::TObjData& Mesh() const { return *live.Mesh(0); }
  // The vertex that is furthest along `key`.
  template <class TKey>
  std::int32_t Extreme(TKey&& key) const {
    std::int32_t best = 0;
    for (std::int32_t i = 0; i < Mesh().Vertices.Count(); ++i)
      if (key(Mesh().Vertices[i]) > key(Mesh().Vertices[best])) best = i;
    return best;
  }
  std::int32_t TopOfHead() const {
    return Extreme([](const tarvel::TObjVertex& v) { return v.Y; });
  }
  // One vertex on each of the five parts: head, both hands, both feet.
  std::vector<std::int32_t> OnePerPart() const {
    return {TopOfHead(), Extreme([](const tarvel::TObjVertex& v) { return v.X; }),
            Extreme([](const tarvel::TObjVertex& v) { return -v.X; }),
            Extreme([](const tarvel::TObjVertex& v) { return v.X > 0 ? -v.Y : -1e9; }),
            Extreme([](const tarvel::TObjVertex& v) { return v.X < 0 ? -v.Y : -1e9; })};
  }
  template <class T>
  std::unique_ptr<T> Aimed(std::int32_t vertex) {
    auto c = std::make_unique<T>(stack.get());
    c->MeshIndex = 0;
    c->VertexIndex = vertex;
    c->StartVertexId = Mesh().Vertices[vertex].Id;
    c->MeshId = Mesh().Id;
    return c;
  }
  std::unique_ptr<tarvel::TSCSoftSelection> Soft() {
    auto c = Aimed<tarvel::TSCSoftSelection>(TopOfHead());
    c->Surface = true;
    const auto low = Mesh().Vertices[Extreme([](const tarvel::TObjVertex& v) { return -v.Y; })];
    c->Fallout = static_cast<float>(Mesh().Vertices[TopOfHead()].Y - low.Y) / 2;
    return c;
  }
  std::vector<std::unique_ptr<tarvel::TSCSelectSurface>> Surfaces() {
    std::vector<std::unique_ptr<tarvel::TSCSelectSurface>> out;
    for (const std::int32_t v : OnePerPart()) out.push_back(Aimed<tarvel::TSCSelectSurface>(v));
    return out;
  }

  tarvel::TMultiObjData live;
  std::unique_ptr<tarvel::TStackMng> stack;
};

void BM_SoftSurfaceExecute(benchmark::State& state) {
  TScene scene(state.range(0));
  auto soft = scene.Soft();
  soft->Prepare();
  soft->Execute();
  for (auto _ : state) {
    soft->Execute();
    benchmark::DoNotOptimize(soft->Backups->size());
  }
  state.counters["weighted"] = static_cast<double>(soft->Backups->size());
  state.counters["vertices"] = scene.Mesh().Vertices.Count();
  soft->Release();
}

void BM_SoftSurfaceTurn(benchmark::State& state) {
  TScene scene(state.range(0));
  auto soft = scene.Soft();
  std::size_t weighted = 0;
  for (auto _ : state) {
    soft->Prepare();
    soft->Execute();
    weighted = soft->Backups->size();
    soft->Release();
  }
  state.counters["weighted"] = static_cast<double>(weighted);
}

std::size_t FacesSelected(const std::vector<std::unique_ptr<tarvel::TSCSelectSurface>>& surfaces) {
  std::size_t n = 0;
  for (const auto& c : surfaces) n += c->FaceBackups ? c->FaceBackups->size() : 0;
  return n;
}

void BM_SelectSurfaceExecute(benchmark::State& state) {
  TScene scene(state.range(0));
  auto surfaces = scene.Surfaces();
  for (const auto& c : surfaces) {
    c->Prepare();
    c->Execute();
  }
  if (FacesSelected(surfaces) != static_cast<std::size_t>(scene.Mesh().Faces.Count()))
    state.SkipWithError("the parts do not make up the whole figure");
  for (auto _ : state) {
    for (const auto& c : surfaces) c->Execute();
    benchmark::DoNotOptimize(surfaces.front()->FaceBackups->size());
  }
  state.counters["faces_selected"] = static_cast<double>(FacesSelected(surfaces));
  state.counters["faces"] = scene.Mesh().Faces.Count();
  for (const auto& c : surfaces) c->Release();
}

void BM_SelectSurfaceTurn(benchmark::State& state) {
  TScene scene(state.range(0));
  auto surfaces = scene.Surfaces();
  std::size_t selected = 0;
  for (auto _ : state) {
    selected = 0;
    for (const auto& c : surfaces) {
      c->Prepare();
      c->Execute();
      selected += c->FaceBackups->size();
      c->Release();
    }
  }
  state.counters["faces_selected"] = static_cast<double>(selected);
}

constexpr long k1M = 1000000;

BENCHMARK(BM_Load)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoftSurfaceExecute)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoftSurfaceTurn)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectSurfaceExecute)->Arg(k1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectSurfaceTurn)->Arg(k1M)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return tarvel::bench::RunWithRatios(argc, argv,
                                      {{"BM_SoftSurfaceExecute/1000000", "BM_Load/1000000"},
                                       {"BM_SoftSurfaceTurn/1000000", "BM_Load/1000000"},
                                       {"BM_SelectSurfaceExecute/1000000", "BM_Load/1000000"},
                                       {"BM_SelectSurfaceTurn/1000000", "BM_Load/1000000"}});
}
