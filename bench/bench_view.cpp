// The 3D view on a generated figure of a million vertices, under Xvfb: one orbit step, which
// draws from the GPU buffers it has (group boxes while the camera moves, or the full figure in
// the full tracking mode), against a redraw after a parameter change, which rebuilds the
// geometry, sends it to the GPU and draws it, and "Show weights" switched, which sends only
// colours. Run it as
//   xvfb-run -a -s "-screen 0 1280x1024x24" build/bench/bench_view
#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "BenchSupport.h"
#include "commands/Transforms.h"
#include "stack/QuietWindow.h"
#include "stack/StackController.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"
#include "view/Viewport.h"

namespace {

using tarvel::bench::GeneratedFigure;

// One viewport on the figure, made once for all benchmarks; every vertex is selected and a
// rotation is prepared, as when it is the current command.
struct TScene {
  TScene() : controller(window) {
    tarvel::TMultiObjData& live = controller.Live();
    live.AddObjFile(GeneratedFigure(kVertices));
    live.SelectAllFaces(true);
    live.UpdateVertexFlags();
    stack = std::make_unique<tarvel::TStackMng>(*tarvel::FindStackTarget(1), live);
    rotate = std::make_unique<tarvel::TSCRotate>(stack.get());
    rotate->Prepare();
    view = std::make_unique<tarvel::TViewport>(controller);
    view->resize(800, 600);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get())) std::abort();
    view->RefreshPointSize();
  }
  ~TScene() { rotate->Release(); }
  // Lets the edit timer end the camera move.
  void WaitForFullDrawing() {
    while (view->CameraMoving()) {
      QCoreApplication::processEvents();
      QThread::msleep(10);
    }
  }
  static constexpr long kVertices = 1000000;
  tarvel::TQuietWindow window{nullptr};
  tarvel::TStackController controller;
  std::unique_ptr<tarvel::TStackMng> stack;
  std::unique_ptr<tarvel::TSCRotate> rotate;
  std::unique_ptr<tarvel::TViewport> view;
};

// Made at the first use, freed before the application goes.
std::unique_ptr<TScene> scene;
TScene& Scene() {
  if (!scene) scene = std::make_unique<TScene>();
  return *scene;
}

// A parameter change (one angle of the rotation, not timed), then Redraw and the drawing.
void BM_RedrawAfterChange(benchmark::State& state) {
  TScene& s = Scene();
  s.WaitForFullDrawing();
  if (!s.view->GlReady()) state.SkipWithError("no OpenGL 3.3");
  // The first build allocates the arrays and the GPU buffers; later ones reuse them.
  s.view->Redraw();
  s.view->DrawNow();
  float angle = 0;
  for (auto _ : state) {
    state.PauseTiming();
    angle += 7.5f;
    s.rotate->Angles.Y = angle;
    s.rotate->Execute();
    state.ResumeTiming();
    s.view->Redraw();
    s.view->DrawNow();
  }
  state.counters["polygons"] = static_cast<double>(s.controller.Live().Mesh(0)->Faces.Count());
}

// Orbit steps in a tracking mode (1 boxes, 0 the full figure); none may touch the buffers.
void BM_OrbitStep(benchmark::State& state) {
  TScene& s = Scene();
  s.WaitForFullDrawing();
  s.controller.View().TrackingMode = static_cast<std::uint8_t>(state.range(0));
  s.view->ApplyViewSettings();
  s.view->DrawNow();
  const int uploads = s.view->GeometryUploads();
  for (auto _ : state) {
    s.view->Orbit(0.5, 1);
    s.view->DrawNow();
  }
  if (s.view->GeometryUploads() != uploads)
    state.SkipWithError("an orbit step rebuilt the buffers");
  state.counters["uploads"] = s.view->GeometryUploads() - uploads;
  s.controller.View().TrackingMode = 1;
  s.view->ApplyViewSettings();
}

// "Show weights" switched on and off: only the soft-weight colours go to the GPU, once per
// build of the geometry, never the geometry itself.
void BM_ShowWeightsToggle(benchmark::State& state) {
  TScene& s = Scene();
  s.WaitForFullDrawing();
  s.view->DrawNow();
  const int uploads = s.view->GeometryUploads();
  const int colours = s.view->WeightColourUploads();
  bool shown = false;
  for (auto _ : state) {
    shown = !shown;
    s.view->SetShowWeights(shown);
    s.view->DrawNow();
  }
  if (s.view->GeometryUploads() != uploads)
    state.SkipWithError("showing the weights rebuilt the geometry");
  state.counters["uploads"] = s.view->GeometryUploads() - uploads;
  state.counters["colour_uploads"] = s.view->WeightColourUploads() - colours;
  s.view->SetShowWeights(false);
}

BENCHMARK(BM_RedrawAfterChange)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OrbitStep)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ShowWeightsToggle)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const int status = tarvel::bench::RunWithRatios(
      argc, argv,
      {{"BM_OrbitStep/1/min_time:2.000", "BM_RedrawAfterChange/min_time:2.000"},
       {"BM_OrbitStep/0/min_time:2.000", "BM_RedrawAfterChange/min_time:2.000"},
       {"BM_ShowWeightsToggle/min_time:2.000", "BM_RedrawAfterChange/min_time:2.000"},
       {"BM_RedrawAfterChange/min_time:2.000", "BM_OrbitStep/1/min_time:2.000"}});
  scene.reset();
  return status;
}
