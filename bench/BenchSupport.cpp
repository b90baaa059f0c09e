#include "BenchSupport.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "FigureGenerator.h"
#include "commands/Kinds.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/QuietWindow.h"
#include "stack/StackController.h"

namespace tarvel::bench {

namespace {
// Every benchmark program works with the whole program's classes and command kinds.
[[maybe_unused]] const bool kCoreAssembled = (AssembleCore(), true);
}  // namespace

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

namespace {
void ParseNumbers(const char* p, const char* e, bool integers, TFloorResult& out) {
  while (p < e) {
    while (p < e && (*p == ' ' || *p == '/' || *p == '\r')) ++p;
    if (p >= e) break;
    if (integers) {
      int v = 0;
      auto r = std::from_chars(p, e, v);
      if (r.ec != std::errc()) break;
      out.Indices.push_back(v);
      p = r.ptr;
    } else {
      double v = 0;
      auto r = std::from_chars(p, e, v);
      if (r.ec != std::errc()) break;
      out.Coords.push_back(v);
      p = r.ptr;
    }
  }
}
}  // namespace

void ParseFloor(const std::string& file, TFloorResult& out) {
  const int fd = ::open(file.c_str(), O_RDONLY);
  if (fd < 0) return;
  std::vector<char> buf(1 << 20);
  std::size_t filled = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buf.data() + filled, buf.size() - filled);
    const bool eof = got <= 0;
    if (got > 0) filled += static_cast<std::size_t>(got);
    const char* b = buf.data();
    const char* last = static_cast<const char*>(memrchr(b, '\n', filled));
    const char* stop = eof || !last ? b + filled : last + 1;
    const char* p = b;
    while (p < stop) {
      const char* nl =
          static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
      const char* e = nl ? nl : stop;
      if (e - p > 2 && p[0] == 'v' && p[1] == ' ')
        ParseNumbers(p + 2, e, false, out);
      else if (e - p > 3 && p[0] == 'v' && p[1] == 't' && p[2] == ' ')
        ParseNumbers(p + 3, e, false, out);
      else if (e - p > 2 && p[0] == 'f' && p[1] == ' ')
        ParseNumbers(p + 2, e, true, out);
      p = e + 1;
    }
    const std::size_t used = static_cast<std::size_t>(stop - b);
    std::memmove(buf.data(), stop, filled - used);
    filled -= used;
    if (eof) break;
  }
  ::close(fd);
}

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

TReplayStack::TReplayStack(const std::string& figure)
    : Window(std::make_unique<TQuietWindow>(nullptr)),
      Controller(std::make_unique<TStackController>(*Window)) {
  Controller->Live().AddObjFile(figure);
  const TStackTarget& target = *FindStackTarget(1);
  Controller->NewStack(target);
  auto add = [&](std::int32_t id, TSceneChoice choice = {}) {
    Controller->AddCommand(*target.FindDescriptor(id), choice);
  };
  TObjData& mesh = *Controller->Live().Mesh(0);
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
  Last = Controller->Stack()->Count() - 1;
  for (int i = 1; i <= Last; ++i)
    if (Controller->Stack()->Command(i)->Failed ||
        Controller->Stack()->Command(i)->Caption == "NoName") {
      std::fprintf(stderr, "command %d found no object\n", i);
      std::abort();
    }
}

TReplayStack::~TReplayStack() = default;

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
