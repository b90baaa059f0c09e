// tarvel-batch apply: one saved stack applied to many figures, each giving its morph targets.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"
#include "mesh/SafeFile.h"
#include "stack/QuietWindow.h"

namespace tarvel::cli {

const char* const kApplyHelp =
    "usage: tarvel-batch apply STACK.stk FIGURE.obj [FIGURE.obj ...] --out DIR\n"
    "                          [--name PATTERN] [--project] [--dry-run] [--strict]\n"
    "                          [--jobs N] [--quiet]\n"
    "\n"
    "For each figure: loads it, loads the stack as a new stack (its commands find their\n"
    "groups and materials again by name), replays it to its last line and makes every group\n"
    "that changed a new morph target, as the window's \"Goal: Create Morph Target\" does.\n"
    "\n"
    "  --out DIR        each target goes to DIR/MESH/TARGET.obj as Poser target geometry;\n"
    "                   DIR/manifest.json lists, per figure, every target (group, vertex\n"
    "                   count, file, largest displacement) and every command that could not\n"
    "                   find its objects\n"
    "  --name PATTERN   the targets' names; {group}, {mesh} and {stack} are replaced by the\n"
    "                   group's, the figure's and the stack file's names (default \"{group}_\",\n"
    "                   as the window proposes)\n"
    "  --project        also save the figure with its new targets as DIR/MESH.vnx\n"
    "  --dry-run        only load, relink and replay: report per figure the commands that\n"
    "                   cannot find their objects and the groups that would change; writes\n"
    "                   nothing and needs no --out\n"
    "  --strict         a command that cannot find its objects fails the figure (otherwise it\n"
    "                   is reported and the figure still completes)\n"
    "  --jobs N         figures worked on at once (default: the number of processors); the\n"
    "                   files are the same whatever N is\n"
    "  --quiet          no progress bar and no summary lines\n"
    "\n"
    "Exit status: 0 when every figure succeeded, 1 when any failed (named on standard error\n"
    "with its reason), 2 for bad usage.\n"
    "\n"
    "example: tarvel-batch apply longer-arms.stk v1/figure.obj v2/figure.obj --out targets\n";

namespace {

struct TOptions {
  std::string Stack;
  std::string StackName;
  std::filesystem::path Out;
  std::string Pattern = "{group}_";
  bool Project = false;
  bool DryRun = false;
  bool Strict = false;
  bool Quiet = false;
  unsigned Jobs = 1;
};

struct TJob {
  std::string File;
  std::string Folder;  // the mesh's name, made unique among the figures of the run
  std::uint32_t Seed = 0;
};

struct TTarget {
  std::string Name, Group, File;
  std::int32_t Vertices = 0;
  double Largest = 0;
};

struct TResult {
  bool Ok = false;
  std::string Error;
  std::string Mesh;
  std::vector<TTarget> Targets;
  std::vector<std::string> Unresolved;  // captions without markup
  std::vector<std::string> Changing;    // groups a dry run would make targets of
  std::string Project;
};

std::string Expand(const std::string& pattern, const std::string& group, const std::string& mesh,
                   const std::string& stack) {
  std::string out;
  for (std::size_t i = 0; i < pattern.size();) {
    if (pattern.compare(i, 7, "{group}") == 0) {
      out += group, i += 7;
    } else if (pattern.compare(i, 6, "{mesh}") == 0) {
      out += mesh, i += 6;
    } else if (pattern.compare(i, 7, "{stack}") == 0) {
      out += stack, i += 7;
    } else {
      out += pattern[i++];
    }
  }
  return out;
}

// The group a naming request is for: the proposed name is the group's name and "_".
std::string GroupOf(const TMorphNameRequest& request) {
  std::string g = request.Proposed;
  if (!g.empty() && g.back() == '_') g.pop_back();
  return g;
}

double LargestDisplacement(const TMorphTarget& target, const TGroup& group) {
  double largest = 0;
  const std::int32_t n = std::min<std::int32_t>(target.Positions.Count(), group.Vertices.Count());
  for (std::int32_t k = 0; k < n; ++k) {
    const TBaseVertex& a = target.Positions[k];
    const TBaseVertex& b = group.Vertices[k].Shaped;
    largest = std::max(largest, std::sqrt((a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y) +
                                          (a.Z - b.Z) * (a.Z - b.Z)));
  }
  return largest;
}

TResult ApplyOne(const TJob& job, const TOptions& o) {
  TResult r;
  std::vector<std::string> asked;  // groups named by the goal, in order
  TQuietWindow window([&](const TMorphNameRequest& request) -> std::optional<std::string> {
    asked.push_back(GroupOf(request));
    if (o.DryRun) return std::nullopt;
    return Expand(o.Pattern, asked.back(), r.Mesh, o.StackName);
  });
  TStackController c(window);
  // Ids drawn while this figure is worked on depend on the figure alone, so parallel and
  // serial runs write the same files.
  SeedRandomIds(job.Seed);
  try {
    if (!c.Live().AddObjFile(job.File)) {
      r.Error = "no such file";
      return r;
    }
  } catch (const std::exception& e) {
    r.Error = e.what();
    return r;
  }
  TObjData& mesh = *c.Live().Mesh(0);
  r.Mesh = mesh.Name;
  if (!c.LoadStack(o.Stack) || !c.Stack()) {
    r.Error = window.Errors().empty() ? "the stack cannot be loaded" : window.Errors().back();
    return r;
  }
  const int last = c.Stack()->Count() - 1;
  c.MakeCurrent(last);
  for (int i = 1; i <= last; ++i)
    if (c.Stack()->Command(i)->Failed)
      r.Unresolved.push_back(c.Stack()->Command(i)->PlainCaption());
  if (o.Strict && !r.Unresolved.empty()) {
    r.Error = std::to_string(r.Unresolved.size()) +
              " command(s) cannot find their objects: " + r.Unresolved.front();
    return r;
  }
  // The number of targets each group had, to tell the new ones afterwards.
  const TObjData& pristine = *c.Stack()->Pristine->Mesh(0);
  std::vector<std::int32_t> before;
  pristine.Groups.ForEach([&](const TGroup& g) { before.push_back(g.MorphTargets.Count()); });
  c.RunGoal(0);
  if (o.DryRun) {
    r.Changing = asked;
    r.Ok = true;
    return r;
  }

  // After the goal line 0 is current again and the live mesh holds the new targets.
  const TObjData& done = *c.Live().Mesh(0);
  const std::filesystem::path folder = o.Out / platform::PathOf(job.Folder);
  std::set<std::string> used;
  for (std::int32_t g = 0; g < done.Groups.Count(); ++g) {
    const TGroup& group = *done.Groups[g];
    const std::int32_t first = g < static_cast<std::int32_t>(before.size()) ? before[g] : 0;
    for (std::int32_t k = first; k < group.MorphTargets.Count(); ++k) {
      const TMorphTarget& t = *group.MorphTargets[k];
      TTarget out;
      out.Name = t.Name;
      out.Group = group.Name;
      out.Vertices = t.Positions.Count();
      out.Largest = LargestDisplacement(t, group);
      out.File = job.Folder + "/" + UniqueName(used, SafeFileName(t.Name)) + ".obj";
      std::filesystem::create_directories(folder);
      t.ExportTargetGeometry(platform::NameOf(o.Out / platform::PathOf(out.File)));
      r.Targets.push_back(out);
    }
  }
  if (o.Project) {
    r.Project = job.Folder + ".vnx";
    if (!c.SaveProject(platform::NameOf(o.Out / platform::PathOf(r.Project)))) {
      r.Error = window.Errors().empty() ? "the project cannot be saved" : window.Errors().back();
      return r;
    }
  }
  r.Ok = true;
  return r;
}

// One line that redraws itself on a terminal: "[#####     ] 3/6 figures".
class TProgressBar {
 public:
  TProgressBar(bool shown, std::size_t total) : shown_(shown), total_(total) { Draw(); }
  ~TProgressBar() {
    if (shown_) std::fprintf(stderr, "\r%*s\r", 60, "");
  }
  void Step() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    Draw();
  }

 private:
  void Draw() const {
    if (!shown_) return;
    constexpr std::size_t kWidth = 30;
    const std::size_t filled = total_ ? done_ * kWidth / total_ : kWidth;
    std::fprintf(stderr, "\r[%s%s] %zu/%zu figures", std::string(filled, '#').c_str(),
                 std::string(kWidth - filled, ' ').c_str(), done_, total_);
    std::fflush(stderr);
  }
  bool shown_;
  std::size_t total_;
  std::size_t done_ = 0;
  std::mutex mutex_;
};

void WriteManifest(const TOptions& o, const std::vector<TJob>& jobs,
                   const std::vector<TResult>& results) {
  std::string j = "{\n  \"stack\": " + JsonString(o.Stack) + ",\n  \"figures\": [";
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const TResult& r = results[i];
    j += i ? ",\n" : "\n";
    j += "    {\n      \"file\": " + JsonString(jobs[i].File) + ",\n";
    j += "      \"mesh\": " + JsonString(r.Mesh) + ",\n";
    j += std::string("      \"ok\": ") + (r.Ok ? "true" : "false") + ",\n";
    if (!r.Ok) j += "      \"error\": " + JsonString(r.Error) + ",\n";
    if (!r.Project.empty()) j += "      \"project\": " + JsonString(r.Project) + ",\n";
    j += "      \"targets\": [";
    for (std::size_t k = 0; k < r.Targets.size(); ++k) {
      const TTarget& t = r.Targets[k];
      char largest[64];
      std::snprintf(largest, sizeof largest, "%.7f", t.Largest);
      j += k ? ",\n" : "\n";
      j += "        {\"name\": " + JsonString(t.Name) + ", \"group\": " + JsonString(t.Group) +
           ", \"vertices\": " + std::to_string(t.Vertices) + ", \"file\": " + JsonString(t.File) +
           ", \"largestDisplacement\": " + largest + "}";
    }
    j += r.Targets.empty() ? "],\n" : "\n      ],\n";
    j += "      \"unresolvedCommands\": [";
    for (std::size_t k = 0; k < r.Unresolved.size(); ++k)
      j += (k ? ", " : "") + JsonString(r.Unresolved[k]);
    j += "]\n    }";
  }
  j += jobs.empty() ? "]\n}\n" : "\n  ]\n}\n";
  TSafeFileWriter file(platform::NameOf(o.Out / "manifest.json"));
  file.Write(j);
  file.Commit();
}

}  // namespace

int RunApply(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--out", true},
                       {"--name", true},
                       {"--project", false},
                       {"--dry-run", false},
                       {"--strict", false},
                       {"--jobs", true},
                       {"--quiet", false}});
  if (a.Positionals().size() < 2) throw EUsage("apply takes a stack file and at least one figure");
  TOptions o;
  o.Stack = a.Positionals()[0];
  o.StackName = MeshNameOfFile(o.Stack);
  o.DryRun = a.Has("--dry-run");
  o.Strict = a.Has("--strict");
  o.Project = a.Has("--project");
  o.Quiet = a.Has("--quiet");
  if (const auto name = a.Value("--name")) o.Pattern = *name;
  if (const auto out = a.Value("--out")) o.Out = platform::PathOf(*out);
  if (o.Out.empty() && !o.DryRun) throw EUsage("apply needs --out DIR");
  o.Jobs = std::max(1u, std::thread::hardware_concurrency());
  if (const auto jobs = a.Value("--jobs")) {
    int n = 0;
    if (std::sscanf(jobs->c_str(), "%d", &n) != 1 || n < 1 || std::to_string(n) != *jobs)
      throw EUsage("--jobs needs a number of 1 or more, not \"" + *jobs + "\"");
    o.Jobs = static_cast<unsigned>(n);
  }
  std::error_code ec;
  if (!std::filesystem::is_regular_file(platform::PathOf(o.Stack), ec)) {
    Fail(o.Stack + ": no such file");
    return 1;
  }

  std::vector<TJob> jobs;
  std::set<std::string> folders;
  for (std::size_t i = 1; i < a.Positionals().size(); ++i) {
    TJob job;
    job.File = a.Positionals()[i];
    job.Folder = UniqueName(folders, SafeFileName(MeshNameOfFile(job.File)));
    job.Seed = 0x7A12u + static_cast<std::uint32_t>(i) * 2654435761u;
    jobs.push_back(job);
  }
  if (!o.DryRun) std::filesystem::create_directories(o.Out);

  std::vector<TResult> results(jobs.size());
  {
    TProgressBar bar(!o.Quiet && platform::IsTerminal(2), jobs.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
      for (std::size_t i; (i = next++) < jobs.size();) {
        try {
          results[i] = ApplyOne(jobs[i], o);
        } catch (const std::exception& e) {
          results[i].Ok = false;
          results[i].Error = e.what();
        }
        bar.Step();
      }
    };
    std::vector<std::jthread> workers;
    const unsigned n = std::min<unsigned>(o.Jobs, static_cast<unsigned>(jobs.size()));
    for (unsigned w = 1; w < n; ++w) workers.emplace_back(work);
    work();
  }

  int status = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const TResult& r = results[i];
    if (!r.Ok) {
      Fail(jobs[i].File + ": " + r.Error);
      status = 1;
      continue;
    }
    if (o.DryRun) {
      // The report is what a dry run is for, so it is printed even with --quiet.
      std::printf("%s\n", jobs[i].File.c_str());
      for (const std::string& c : r.Unresolved)
        std::printf("  cannot find its objects: %s\n", c.c_str());
      for (const std::string& g : r.Changing) std::printf("  would change: %s\n", g.c_str());
      if (r.Changing.empty()) std::printf("  no group would change\n");
      continue;
    }
    for (const std::string& c : r.Unresolved)
      Fail(jobs[i].File + ": warning: cannot find its objects: " + c);
    if (!o.Quiet)
      std::printf("%s: %zu morph target%s in %s\n", jobs[i].File.c_str(), r.Targets.size(),
                  r.Targets.size() == 1 ? "" : "s",
                  platform::NameOf(o.Out / platform::PathOf(jobs[i].Folder)).c_str());
  }
  if (!o.DryRun) WriteManifest(o, jobs, results);
  return status;
}

}  // namespace tarvel::cli
