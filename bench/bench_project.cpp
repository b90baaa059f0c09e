// Saving and opening a project of a generated figure of 1 million vertices, against copying
// its edit state through a memory stream (what every replay from the start costs) in the same
// run. Also the other way of saving safely: the whole file in memory first, then written.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchSupport.h"
#include "mesh/SafeFile.h"
#include "stack/MultiObjData.h"
#include "stack/ProjectFile.h"

namespace {

using namespace tarvel;
using tarvel::bench::GeneratedFigure;

constexpr long kVertices = 1000000;

struct TProjectState {
  TMultiObjData State;
  std::string File;
  TProjectState() {
    if (!State.AddObjFile(GeneratedFigure(kVertices))) std::abort();
    File = (std::filesystem::temp_directory_path() /
            ("tarvel_bench_project_" + std::to_string(::getpid()) + ".vnx"))
               .string();
  }
  ~TProjectState() { std::filesystem::remove(File); }
};

TProjectState& Project() {
  static TProjectState project;
  return project;
}

// The baseline: one full write and read through a reused memory stream.
void BM_CopyEditState(benchmark::State& state) {
  TProjectState& p = Project();
  TObjectStream reuse;
  for (auto _ : state) {
    auto copy = CopyEditState(p.State, &reuse);
    benchmark::DoNotOptimize(copy.get());
  }
}

// Written through the stream's reused buffer into a temporary file that replaces the target.
void BM_SaveProject(benchmark::State& state) {
  TProjectState& p = Project();
  for (auto _ : state) WriteProject(p.File, p.State, nullptr);
  state.counters["MB"] = static_cast<double>(std::filesystem::file_size(p.File)) / 1e6;
}

// The whole file built in a fresh memory stream, then handed to the safe writer at once.
void BM_SaveProjectFromMemory(benchmark::State& state) {
  TProjectState& p = Project();
  for (auto _ : state) {
    TObjectStream s;
    WriteProject(s, p.State, nullptr);
    TSafeFileWriter out(p.File);
    const auto& bytes = s.Bytes();
    out.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    out.Commit();
  }
}

void BM_OpenProject(benchmark::State& state) {
  TProjectState& p = Project();
  WriteProject(p.File, p.State, nullptr);
  for (auto _ : state) {
    TProject read = ReadProject(p.File);
    benchmark::DoNotOptimize(read.State.get());
  }
}

BENCHMARK(BM_CopyEditState)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveProject)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_SaveProjectFromMemory)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  const std::string base = "BM_CopyEditState/min_time:2.000";
  return tarvel::bench::RunWithRatios(argc, argv,
                                      {{"BM_SaveProject/min_time:2.000", base},
                                       {"BM_SaveProjectFromMemory/min_time:2.000", base},
                                       {"BM_OpenProject/min_time:2.000", base}});
}
