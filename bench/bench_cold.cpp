// Loads as a user meets them: every load in a fresh process, so every byte the loader keeps is
// fresh memory the kernel has to fault in and clear. For the generated figures of 100 thousand
// and 1 million vertices it runs, round robin and five times each,
//   - `tarvel-batch info FIGURE` (the whole batch tool: start, load, print),
//   - a child that only loads the figure with Tarvel's reader,
//   - a child that loads it with tinyobjloader,
//   - a child that runs the parse floor (numbers of "v", "vt", "f" lines converted and kept),
//   - the Tarvel load child again with its large arrays on huge pages (TARVEL_HUGE_PAGES=1),
// and prints the median wall time and median peak resident memory (ru_maxrss from wait4) of
// each, with their ratios to tinyobjloader's; processor time (user and system, page faults
// included) too, which a busy machine disturbs less than wall time. It then measures, each in a
// fresh process, the first replay of a ten-command stack from line 0 and the first "Mirror
// selection" Info and Execute at 1 million vertices, against the cold load of the same run.
//
// usage: bench_cold [--runs N] [--sizes 100000,1000000] [--batch PATH] [--no-commands]
//        bench_cold --write-figure VERTICES PATH   (writes the generated figure, for scripts)
//        bench_cold --arrays FIGURE   (bytes per vertex of each array of the loaded mesh)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <tiny_obj_loader.h>

#include "BenchSupport.h"
#include "FigureGenerator.h"
#include "commands/Specular.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "stack/MultiObjData.h"
#include "stack/StackController.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Ms(const timeval& t) { return static_cast<double>(t.tv_sec) * 1e3 + t.tv_usec / 1e3; }

// Processor time (user and system) of this process so far; faults and page clearing count.
double CpuMs() {
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  return Ms(u.ru_utime) + Ms(u.ru_stime);
}

// ----- children: each does one thing and exits; phase children print their own time in ms

int ChildLoad(const char* mode, const char* file) {
  if (std::strcmp(mode, "tarvel") == 0) {
    tarvel::TObjData mesh;
    tarvel::LoadFromObj(mesh, file);
    return mesh.Vertices.Count() > 0 ? 0 : 2;
  }
  if (std::strcmp(mode, "tinyobj") == 0) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const bool ok =
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file, nullptr, false);
    return ok && !attrib.vertices.empty() ? 0 : 2;
  }
  if (std::strcmp(mode, "floor") == 0) {
    tarvel::bench::TFloorResult r;
    tarvel::bench::ParseFloor(file, r);
    return r.Coords.empty() ? 2 : 0;
  }
  return 3;
}

int ChildPhase(const char* mode, const char* file) {
  if (std::strcmp(mode, "replay") == 0) {
    tarvel::bench::TReplayStack s(file);
    s.Controller->MakeCurrent(0);
    const auto start = Clock::now();
    const double cpu = CpuMs();
    s.Controller->MakeCurrent(s.Last);
    std::printf("%.3f %.3f\n", MsSince(start), CpuMs() - cpu);
    return 0;
  }
  tarvel::TMultiObjData live;
  live.AddObjFile(file);
  live.SelectAllFaces(true);
  tarvel::TStackMng stack(*tarvel::FindStackTarget(1), live);
  tarvel::TSCSpecular command(&stack);
  command.Prepare();
  const auto start = Clock::now();
  const double cpu = CpuMs();
  if (std::strcmp(mode, "mirror-info") == 0)
    command.ComputeInfo();
  else if (std::strcmp(mode, "mirror") == 0)
    command.Execute();
  else
    return 3;
  std::printf("%.3f %.3f\n", MsSince(start), CpuMs() - cpu);
  return 0;
}

// What each array of a loaded mesh holds, in bytes per vertex (used and reserved), against the
// resident and peak memory of the process.
long ResidentKB() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int ChildArrays(const char* file) {
  tarvel::TObjData mesh;
  tarvel::LoadFromObj(mesh, file);
  const double n = mesh.Vertices.Count();
  std::size_t groupVertices = 0, groupVerticesReserved = 0, groupFaces = 0;
  mesh.Groups.ForEach([&](const tarvel::TGroup& g) {
    groupVertices += g.Vertices.List.Items().size() * sizeof(tarvel::TGroupVertex);
    groupVerticesReserved += g.Vertices.List.Items().capacity() * sizeof(tarvel::TGroupVertex);
    groupFaces += g.Faces.capacity() * sizeof(std::int32_t);
  });
  auto row = [&](const char* name, std::size_t used, std::size_t reserved) {
    std::printf("  %-24s %10.1f %10.1f\n", name, static_cast<double>(used) / n,
                static_cast<double>(reserved) / n);
  };
  auto bytes = [](const auto& v) { return v.size() * sizeof(v[0]); };
  auto reserved = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  std::printf("%d vertices, bytes per vertex\n  %-24s %10s %10s\n", mesh.Vertices.Count(), "array",
              "used", "reserved");
  row("vertices", bytes(mesh.Vertices.Items()), reserved(mesh.Vertices.Items()));
  if (mesh.TexVerts.HoldsExactPoints())
    row("texture coordinates", mesh.TexVerts.Count() * sizeof(tarvel::TBaseVertex),
        mesh.TexVerts.Count() * sizeof(tarvel::TBaseVertex));
  else
    row("texture coordinates", bytes(mesh.TexVerts.Compact()), reserved(mesh.TexVerts.Compact()));
  row("normals", bytes(mesh.Normals.Compact()), reserved(mesh.Normals.Compact()));
  row("faces", bytes(mesh.Faces.Items()), reserved(mesh.Faces.Items()));
  row("corners", bytes(mesh.Faces.AllCorners()), reserved(mesh.Faces.AllCorners()));
  row("group vertex entries", groupVertices, groupVerticesReserved);
  row("group face lists", groupFaces, groupFaces);
  struct rusage u {};
  ::getrusage(RUSAGE_SELF, &u);
  std::printf("  %-24s %10.1f\n  %-24s %10.1f\n", "resident now", ResidentKB() * 1024.0 / n,
              "peak resident", static_cast<double>(u.ru_maxrss) * 1024.0 / n);
  return 0;
}

// ----- the parent

struct TRun {
  double Ms = 0;      // wall time of the process, or the phase time it printed
  double CpuMs = 0;   // processor time of the process, or of the phase
  double PeakMB = 0;  // ru_maxrss of the child
  bool Ok = false;
};

// Runs argv in a fresh process; with `phase`, the time is what the child printed. With
// `hugePages` the child's large arrays ask for transparent huge pages (TARVEL_HUGE_PAGES=1).
TRun RunChild(const std::vector<std::string>& argv, bool phase, bool hugePages) {
  int out[2];
  if (::pipe(out) != 0) return {};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (hugePages)
      ::setenv("TARVEL_HUGE_PAGES", "1", 1);
    else
      ::unsetenv("TARVEL_HUGE_PAGES");
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t got = ::read(out[0], buf, sizeof buf);
    if (got <= 0) break;
    text.append(buf, static_cast<std::size_t>(got));
  }
  ::close(out[0]);
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return {};
  TRun r;
  r.Ms = MsSince(start);
  r.CpuMs = Ms(usage.ru_utime) + Ms(usage.ru_stime);
  r.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  r.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (phase && r.Ok) {
    char* end = nullptr;
    r.Ms = std::strtod(text.c_str(), &end);
    r.CpuMs = std::strtod(end, nullptr);
  }
  return r;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct TSubject {
  TSubject(std::string name, std::vector<std::string> argv, bool phase = false,
           bool hugePages = false)
      : Name(std::move(name)), Argv(std::move(argv)), Phase(phase), HugePages(hugePages) {}
  std::string Name;
  std::vector<std::string> Argv;
  bool Phase = false;
  bool HugePages = false;
  std::vector<double> Ms, CpuMs, PeakMB;
  bool Failed = false;
};

void RunRoundRobin(std::vector<TSubject>& subjects, int runs) {
  for (int i = 0; i < runs; ++i)
    for (TSubject& s : subjects) {
      const TRun r = RunChild(s.Argv, s.Phase, s.HugePages);
      if (!r.Ok) {
        s.Failed = true;
        continue;
      }
      s.Ms.push_back(r.Ms);
      s.CpuMs.push_back(r.CpuMs);
      s.PeakMB.push_back(r.PeakMB);
    }
}

void PrintTable(const std::string& title, const std::vector<TSubject>& subjects,
                const TSubject& base) {
  std::printf("\n%s (a fresh process each, medians of %zu)\n", title.c_str(),
              subjects.front().Ms.size());
  std::printf("  %-28s %10s %10s %10s %12s %12s %12s\n", "", "time ms", "cpu ms", "peak MB",
              "time ratio", "cpu ratio", "peak ratio");
  const double bt = Median(base.Ms), bc = Median(base.CpuMs), bm = Median(base.PeakMB);
  for (const TSubject& s : subjects) {
    if (s.Failed) {
      std::printf("  %-28s FAILED\n", s.Name.c_str());
      continue;
    }
    const double t = Median(s.Ms), c = Median(s.CpuMs), m = Median(s.PeakMB);
    std::printf("  %-28s %10.1f %10.1f %10.1f %12.2f %12.2f", s.Name.c_str(), t, c, m,
                bt > 0 ? t / bt : 0, bc > 0 ? c / bc : 0);
    if (bm > 0)
      std::printf(" %12.2f\n", m / bm);
    else
      std::printf(" %12s\n", "-");
  }
  std::fflush(stdout);
}

std::string SelfPath() {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string("bench_cold");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--child") == 0) return ChildLoad(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "--phase") == 0) return ChildPhase(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "--arrays") == 0) return ChildArrays(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "--write-figure") == 0) {
    // For other benchmarks (the launch benchmark): the generated figure of N vertices at PATH.
    tarvel::samples::WriteFigure(tarvel::samples::ShapeForVertexCount(std::atol(argv[2])), argv[3]);
    return 0;
  }

  int runs = 5;
  std::vector<long> sizes = {100000, 1000000};
  std::string batch = TARVEL_BATCH_PATH;
  bool commands = true;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--batch" && i + 1 < argc) {
      batch = argv[++i];
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      for (const char* p = argv[++i]; *p;) {
        char* end = nullptr;
        sizes.push_back(std::strtol(p, &end, 10));
        p = *end == ',' ? end + 1 : end;
        if (end == p && *p) break;
      }
    } else if (a == "--no-commands") {
      commands = false;
    } else {
      std::fprintf(stderr,
                   "usage: bench_cold [--runs N] [--sizes 100000,1000000] [--batch PATH] "
                   "[--no-commands]\n");
      return 1;
    }
  }
  const std::string self = SelfPath();
  std::map<long, double> coldLoad, coldCpu;
  for (const long n : sizes) {
    const std::string& file = tarvel::bench::GeneratedFigure(n);
    {  // the file comes from the page cache for everyone
      tarvel::bench::TFloorResult warm;
      tarvel::bench::ParseFloor(file, warm);
    }
    std::vector<TSubject> subjects = {
        {"tinyobjloader", {self, "--child", "tinyobj", file}},
        {"parse floor", {self, "--child", "floor", file}},
        {"tarvel load", {self, "--child", "tarvel", file}},
        {"tarvel-batch info", {batch, "info", file}},
        {"tarvel load, huge pages", {self, "--child", "tarvel", file}, false, true},
    };
    RunRoundRobin(subjects, runs);
    PrintTable("Load of " + std::to_string(n) + " vertices, ratios to tinyobjloader", subjects,
               subjects[0]);
    coldLoad[n] = Median(subjects[2].Ms);
    coldCpu[n] = Median(subjects[2].CpuMs);
  }
  if (!commands) return 0;

  const long n = sizes.back();
  const std::string& file = tarvel::bench::GeneratedFigure(n);
  std::vector<TSubject> phases = {
      {"replay from line 0", {self, "--phase", "replay", file}, true},
      {"mirror Info", {self, "--phase", "mirror-info", file}, true},
      {"mirror Execute", {self, "--phase", "mirror", file}, true},
  };
  RunRoundRobin(phases, runs);
  TSubject load("tarvel load (above)", {});
  load.Ms = {coldLoad[n]};
  load.CpuMs = {coldCpu[n]};
  load.PeakMB = {0};
  PrintTable("First run of a command, " + std::to_string(n) +
                 " vertices, time ratios to the cold load above; peak includes the setup",
             phases, load);
  return 0;
}
