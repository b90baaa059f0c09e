#include "BenchSupport.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "FigureGenerator.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"

namespace tarvel::bench {

namespace {
struct TTempFolder {
  std::filesystem::path Path;
  TTempFolder() {
    Path = std::filesystem::temp_directory_path() / ("tarvel-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Path);
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
};
}  // namespace

void LoadFigure(benchmark::State& state) {
  const std::string& file = GeneratedFigure(state.range(0));
  for (auto _ : state) {
    TObjData mesh;
    LoadFromObj(mesh, file);
    benchmark::DoNotOptimize(mesh.Vertices.Count());
  }
}

const std::string& GeneratedFigure(long vertices) {
  static TTempFolder folder;
  static std::map<long, std::string> files;
  auto it = files.find(vertices);
  if (it != files.end()) return it->second;
  const std::string name = (folder.Path / ("figure-" + std::to_string(vertices) + ".obj")).string();
  samples::WriteFigure(samples::ShapeForVertexCount(vertices), name);
  return files.emplace(vertices, name).first->second;
}

namespace {
// Benchmarks are named in ratios with or without the "/min_time:..." suffix MinTime adds.
std::string WithoutMinTime(std::string name) {
  if (const auto cut = name.find("/min_time:"); cut != std::string::npos) name.resize(cut);
  return name;
}
}  // namespace

void TRatioReporter::ReportRuns(const std::vector<Run>& runs) {
  ConsoleReporter::ReportRuns(runs);
  for (const Run& r : runs)
    if (r.run_type == Run::RT_Iteration && !r.error_occurred)
      times_[WithoutMinTime(r.benchmark_name())] = r.GetAdjustedRealTime();
}

void TRatioReporter::Finalize() {
  ConsoleReporter::Finalize();
  std::printf("\nRatios (real time, same run):\n");
  for (const auto& [name, base] : ratios_) {
    auto a = times_.find(WithoutMinTime(name));
    auto b = times_.find(WithoutMinTime(base));
    if (a == times_.end() || b == times_.end() || b->second <= 0) continue;
    std::printf("  %-44s / %-44s = %6.2f\n", name.c_str(), base.c_str(), a->second / b->second);
  }
}

int RunWithRatios(int argc, char** argv, std::vector<std::pair<std::string, std::string>> ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter(std::move(ratios));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace tarvel::bench
