// Applying a whole-figure sculpt of a million vertices ("Use sculpted shape" on every vertex,
// the sculpt file read included) against loading the same figure, in the same run: warm loops
// in this process, and cold ones in fresh processes as a user meets them.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "commands/Sculpt.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/SafeFile.h"
#include "stack/QuietWindow.h"
#include "stack/StackController.h"
#include "stack/StackMng.h"

namespace {

using namespace tarvel;
using tarvel::bench::GeneratedFigure;

constexpr long kVertices = 1000000;

// The figure with every vertex moved a little, as "v " lines and nothing else, written once.
const std::string& SculptFile() {
  static const std::string file = [] {
    const std::string& figure = GeneratedFigure(kVertices);
    TObjData mesh;
    LoadFromObj(mesh, figure);
    const std::string name = figure.substr(0, figure.size() - 4) + "-sculpt.obj";
    TSafeFileWriter out(name);
    std::string text;
    char buf[128];
    for (const TObjVertex& v : mesh.Vertices) {
      std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f\n", v.X + 0.001 * (v.Index % 5), v.Y + 0.002,
                    v.Z);
      text += buf;
      if (text.size() > (1u << 20)) {
        out.Write(text);
        text.clear();
      }
    }
    out.Write(text);
    out.Commit();
    return name;
  }();
  return file;
}

// Gives the command its file when it is added, as the window's file dialog does.
struct TChooser : ISculptFileChooser {
  std::string File;
  std::optional<std::string> ChooseSculptFile(const std::string&) override { return File; }
};

// A stack on the figure with every vertex selected, the last line current.
struct TSculptScene {
  TQuietWindow Window{nullptr};
  TStackController Controller{Window};
  explicit TSculptScene(const std::string& figure) {
    Controller.Live().AddObjFile(figure);
    Controller.NewStack(*FindStackTarget(1));
    Controller.AddCommand(*FindStackTarget(1)->FindDescriptor(7));
  }
  // What the user does: adds the command and chooses the file; it is read and applied.
  TStackCommand* AddSculpt(const std::string& file) {
    TChooser chooser;
    chooser.File = file;
    Controller.Stack()->SculptChooser = &chooser;
    Controller.AddCommand(*FindStackTarget(1)->FindDescriptor(TSCUseSculpt::kCommandId));
    Controller.Stack()->SculptChooser = nullptr;
    auto* c = dynamic_cast<TSCUseSculpt*>(Controller.SelectedCommand());
    if (!c || !c->Problem().empty() || c->Failed) {
      std::fprintf(stderr, "the sculpt was not applied: %s\n", c ? c->Problem().c_str() : "");
      std::abort();
    }
    return c;
  }
};

double Ms(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// A fresh process: "load" times reading the figure, "sculpt" times adding the sculpt command
// to a stack on the already loaded figure. Prints milliseconds.
int Child(const std::string& what, const std::string& figure, const std::string& sculpt) {
  if (what == "load") {
    const auto t0 = std::chrono::steady_clock::now();
    TObjData mesh;
    LoadFromObj(mesh, figure);
    std::printf("%.3f\n", Ms(std::chrono::steady_clock::now() - t0));
    return mesh.Vertices.Count() > 0 ? 0 : 1;
  }
  TSculptScene scene(figure);
  const auto t0 = std::chrono::steady_clock::now();
  scene.AddSculpt(sculpt);
  std::printf("%.3f\n", Ms(std::chrono::steady_clock::now() - t0));
  return 0;
}

double RunChild(const char* self, const char* what, const std::string& figure,
                const std::string& sculpt) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::execl(self, self, "--child", what, figure.c_str(), sculpt.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  char buf[64] = {};
  const ssize_t got = ::read(pipeFds[0], buf, sizeof buf - 1);
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::atof(buf);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Five fresh processes of each kind, interleaved; medians and their ratio.
void ColdRuns(const char* self) {
  const std::string& figure = GeneratedFigure(kVertices);
  const std::string& sculpt = SculptFile();
  std::vector<double> load, apply;
  for (int i = 0; i < 5; ++i) {
    load.push_back(RunChild(self, "load", figure, sculpt));
    apply.push_back(RunChild(self, "sculpt", figure, sculpt));
  }
  const double l = Median(load), a = Median(apply);
  std::printf("Cold, fresh process each (medians of 5), %ld vertices:\n", kVertices);
  std::printf("  load the figure                     %9.1f ms\n", l);
  std::printf("  add the sculpt (read + apply)       %9.1f ms\n", a);
  std::printf("  ratio sculpt / load                 %9.2f\n\n", l > 0 ? a / l : 0.0);
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

// The sculpt command read and applied on every vertex, again and again on the same stack.
void BM_ApplySculpt(benchmark::State& state) {
  static TSculptScene scene(GeneratedFigure(kVertices));
  const std::string& file = SculptFile();
  for (auto _ : state) {
    TStackCommand* c = scene.AddSculpt(file);
    benchmark::DoNotOptimize(c);
    state.PauseTiming();
    scene.Controller.DeleteCommand(scene.Controller.Stack()->Count() - 1);
    state.ResumeTiming();
  }
}

BENCHMARK(BM_LoadFigure)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ApplySculpt)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) return Child(argv[2], argv[3], argv[4]);
  ColdRuns("/proc/self/exe");
  return tarvel::bench::RunWithRatios(
      argc, argv, {{"BM_ApplySculpt/min_time:2.000", "BM_LoadFigure/min_time:2.000"}});
}
