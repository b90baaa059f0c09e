// tarvel-batch apply: one saved stack applied to many figures, each giving its morph targets.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "commands/Sculpt.h"
#include "mesh/FileCheck.h"
#include "mesh/NumberText.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"
#include "mesh/SafeFile.h"
#include "mesh/StagedFolder.h"
#include "mesh/VertexLines.h"
#include "stack/QuietWindow.h"
#include "stack/StackJson.h"

namespace tarvel::cli {

const char* const kApplyHelp =
    "usage: tarvel-batch apply STACK.stk|RECIPE.json FIGURE.obj [FIGURE.obj ...] --out DIR\n"
    "                          [--name PATTERN] [--project] [--dry-run] [--strict]\n"
    "                          [--jobs N] [--quiet]\n"
    "\n"
    "For each figure: loads it, loads the stack as a new stack (its commands find their\n"
    "groups and materials again by name), replays it to its last line and makes every group\n"
    "that changed a new morph target, as the window's \"Goal: Create Morph Target\" does.\n"
    "The stack is a stack file or its JSON form (a file ending in .json, see \"stack --json\").\n"
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
    "                   is reported and the figure still completes); a command whose result\n"
    "                   is not a finite number always fails it\n"
    "  --jobs N         figures worked on at once (default: the number of processors); the\n"
    "                   files are the same whatever N is\n"
    "  --quiet          no progress bar and no summary lines\n"
    "\n"
    "A figure's files are written into a temporary folder inside DIR and moved into place when\n"
    "all were written: a failed figure leaves nothing. manifest.json is written last.\n"
    "\n"
    "Exit status: 0 when every figure succeeded, 1 when any failed (named on standard error\n"
    "with its reason), 2 for bad usage.\n"
    "\n"
    "example: tarvel-batch apply longer-arms.stk v1/figure.obj v2/figure.obj --out targets\n";

const char* const kSplitHelp =
    "usage: tarvel-batch split FIGURE.obj SCULPT.obj --out DIR [--name PATTERN]\n"
    "                          [--strength S] [--project] [--dry-run] [--quiet]\n"
    "\n"
    "Turns a sculpt of the whole figure, made in another program and exported as an OBJ file\n"
    "with the figure's vertex order, into one morph target per group it changes. It is apply\n"
    "with a stack of \"Select all\" and \"Use sculpted shape\": the same layout, naming,\n"
    "manifest and exit status. Only the sculpt's \"v \" lines are read; it must have exactly\n"
    "as many as the figure has vertices. Either file may be gzip-compressed (\".obz\").\n"
    "\n"
    "  --out DIR        each target goes to DIR/MESH/TARGET.obj; DIR/manifest.json lists them\n"
    "  --name PATTERN   the targets' names; {group}, {mesh} and {stack} (the sculpt file's\n"
    "                   name) are replaced (default \"{group}_\")\n"
    "  --strength S     the share of the sculpt's displacement to take (default 1; 0.5 half,\n"
    "                   -1 the opposite way)\n"
    "  --project        also save the figure with its new targets as DIR/MESH.vnx\n"
    "  --dry-run        only report the groups that would change; writes nothing\n"
    "  --quiet          no summary lines\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or the vertex counts differ\n"
    "(\"The sculpt has N vertices, the figure M\"), 2 for bad usage.\n"
    "\n"
    "example: tarvel-batch split figure.obj figure-sculpted.obj --out targets\n";

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
  // Builds the stack on the loaded figure in place of loading `Stack` (split); false with the
  // reason when it cannot.
  std::function<bool(TStackController&, std::string&)> MakeStack;
  std::string ManifestKey = "stack";  // the manifest's first key, naming `Stack`
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
  std::string Error;  // names the figure's file once
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

// The largest distance between a target position and the group's shaped one; NaN or an
// infinity when any distance is one (std::max would drop a NaN).
double LargestDisplacement(const TMorphTarget& target, const TGroup& group) {
  double largest = 0;
  const std::int32_t n = std::min<std::int32_t>(target.Positions.Count(), group.Vertices.Count());
  for (std::int32_t k = 0; k < n; ++k) {
    const TBaseVertex& a = target.Positions[k];
    const TBaseVertex& b = group.Vertices[k].Shaped;
    const double d = std::sqrt((a.X - b.X) * (a.X - b.X) + (a.Y - b.Y) * (a.Y - b.Y) +
                               (a.Z - b.Z) * (a.Z - b.Z));
    if (!std::isfinite(d)) return d;
    largest = std::max(largest, d);
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
  const std::string figure = PrintableText(job.File);
  // Only a regular file is read: a device would never end and a FIFO would block.
  if (const std::string wrong = NotRegularFile(job.File); !wrong.empty()) {
    r.Error = wrong;
    return r;
  }
  try {
    // The reader's errors name the file.
    if (!c.Live().AddObjFile(job.File)) {
      r.Error = figure + ": no such file";
      return r;
    }
  } catch (const std::exception& e) {
    r.Error = e.what();
    return r;
  }
  TObjData& mesh = *c.Live().Mesh(0);
  r.Mesh = mesh.Name;
  if (o.MakeStack) {
    if (!o.MakeStack(c, r.Error)) return r;
  } else if (!c.LoadStack(o.Stack) || !c.Stack()) {
    r.Error = figure + ": " +
              (window.Errors().empty() ? "the stack cannot be loaded" : window.Errors().back());
    return r;
  }
  const int last = c.Stack()->Count() - 1;
  c.MakeCurrent(last);
  // A sculpt whose vertex count is not the figure's changes nothing: the figure fails.
  for (int i = 1; i <= last; ++i)
    if (const auto* sculpt = dynamic_cast<const TSCUseSculpt*>(c.Stack()->Command(i));
        sculpt && !sculpt->Problem().empty()) {
      r.Error = sculpt->Problem();
      return r;
    }
  for (int i = 1; i <= last; ++i)
    if (c.Stack()->Command(i)->Failed)
      r.Unresolved.push_back(c.Stack()->Command(i)->PlainCaption());
  // A result that is not a number fails the figure, whatever --strict says.
  for (int i = 1; i <= last; ++i) {
    const TStackCommand& command = *c.Stack()->Command(i);
    if (command.Fault.empty()) continue;
    r.Error = figure + ": command " + std::to_string(i) + " \"" +
              PrintableText(command.PlainCaption()) + "\": " + command.Fault;
    return r;
  }
  if (o.Strict && !r.Unresolved.empty()) {
    r.Error = figure + ": " + std::to_string(r.Unresolved.size()) +
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

  // After the goal line 0 is current again and the live mesh holds the new targets. They are
  // written into a temporary folder that takes the figure's place only when all is written.
  try {
    const TObjData& done = *c.Live().Mesh(0);
    TStagedFolder stage(o.Out, job.Folder);
    const std::filesystem::path folder = stage.Path() / platform::PathOf(job.Folder);
    std::vector<TTarget> targets;
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
        if (!std::isfinite(out.Largest))
          throw std::runtime_error("the displacement of morph target \"" + PrintableText(t.Name) +
                                   "\" is not a finite number");
        const std::string name = UniqueName(used, SafeFileName(t.Name)) + ".obj";
        out.File = job.Folder + "/" + name;
        std::filesystem::create_directories(folder);
        t.ExportTargetGeometry(platform::NameOf(folder / platform::PathOf(name)));
        targets.push_back(out);
      }
    }
    // The project goes straight to its place, which keeps the path stored in it; its writer
    // replaces the file only when all of it was written. It is removed again should the
    // targets not follow.
    std::string project;
    if (o.Project) {
      project = job.Folder + ".vnx";
      if (!c.SaveProject(platform::NameOf(o.Out / platform::PathOf(project))))
        throw std::runtime_error(window.Errors().empty() ? "the project cannot be saved"
                                                         : window.Errors().back());
    }
    try {
      if (!targets.empty()) stage.MoveOut(job.Folder);
    } catch (...) {
      std::error_code ec;
      if (!project.empty()) std::filesystem::remove(o.Out / project, ec);
      throw;
    }
    r.Targets = std::move(targets);
    r.Project = std::move(project);
  } catch (const std::exception& e) {
    r.Error = figure + ": " + e.what();
    return r;
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
  using TJson = nlohmann::ordered_json;
  TJson figures = TJson::array();
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    const TResult& r = results[i];
    TJson f;
    f["file"] = PrintableText(jobs[i].File);
    f["mesh"] = JsonText(r.Mesh);
    f["ok"] = r.Ok;
    if (!r.Ok) f["error"] = PrintableText(r.Error);
    if (!r.Project.empty()) f["project"] = PrintableText(r.Project);
    TJson targets = TJson::array();
    for (const TTarget& t : r.Targets)
      targets.push_back({{"name", JsonText(t.Name)},
                         {"group", JsonText(t.Group)},
                         {"vertices", t.Vertices},
                         {"file", PrintableText(t.File)},
                         // To the 7 decimals the target geometry is measured to.
                         {"largestDisplacement", std::round(t.Largest * 1e7) / 1e7}});
    f["targets"] = std::move(targets);
    TJson unresolved = TJson::array();
    for (const std::string& c : r.Unresolved) unresolved.push_back(JsonText(c));
    f["unresolvedCommands"] = std::move(unresolved);
    figures.push_back(std::move(f));
  }
  const TJson manifest = {{o.ManifestKey, JsonText(o.Stack)}, {"figures", std::move(figures)}};
  TSafeFileWriter file(platform::NameOf(o.Out / "manifest.json"));
  file.Write(manifest.dump(2) + "\n");
  file.Commit();
}

// Every figure through the stack, in parallel, then the report and the manifest.
int RunFigures(const TOptions& o, const std::vector<std::string>& figures) {
  std::vector<TJob> jobs;
  std::set<std::string> folders;
  for (std::size_t i = 0; i < figures.size(); ++i) {
    TJob job;
    job.File = figures[i];
    job.Folder = UniqueName(folders, SafeFileName(MeshNameOfFile(job.File)));
    job.Seed = 0x7A12u + static_cast<std::uint32_t>(i + 1) * 2654435761u;
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
      Fail(r.Error);
      status = 1;
      continue;
    }
    if (o.DryRun) {
      // The report is what a dry run is for, so it is printed even with --quiet.
      std::printf("%s\n", PrintableText(jobs[i].File).c_str());
      for (const std::string& c : r.Unresolved)
        std::printf("  cannot find its objects: %s\n", PrintableText(c).c_str());
      for (const std::string& g : r.Changing)
        std::printf("  would change: %s\n", PrintableText(g).c_str());
      if (r.Changing.empty()) std::printf("  no group would change\n");
      continue;
    }
    for (const std::string& c : r.Unresolved)
      Fail(PrintableText(jobs[i].File) + ": warning: cannot find its objects: " + PrintableText(c));
    if (!o.Quiet)
      std::printf("%s: %zu morph target%s in %s\n", PrintableText(jobs[i].File).c_str(),
                  r.Targets.size(), r.Targets.size() == 1 ? "" : "s",
                  PrintableText((o.Out / jobs[i].Folder).string()).c_str());
  }
  if (!o.DryRun) WriteManifest(o, jobs, results);
  return status;
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
  if (const std::string wrong = NotRegularFile(o.Stack); !wrong.empty()) {
    Fail(wrong);
    return 1;
  }

  return RunFigures(o, {a.Positionals().begin() + 1, a.Positionals().end()});
}

int RunSplit(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--out", true},
                       {"--name", true},
                       {"--strength", true},
                       {"--project", false},
                       {"--dry-run", false},
                       {"--quiet", false}});
  if (a.Positionals().size() != 2) throw EUsage("split takes a figure and a sculpt");
  TOptions o;
  const std::string figure = a.Positionals()[0];
  o.Stack = a.Positionals()[1];
  o.ManifestKey = "sculpt";
  o.StackName = MeshNameOfFile(o.Stack);
  o.DryRun = a.Has("--dry-run");
  o.Project = a.Has("--project");
  o.Quiet = a.Has("--quiet");
  if (const auto name = a.Value("--name")) o.Pattern = *name;
  if (const auto out = a.Value("--out")) o.Out = *out;
  if (o.Out.empty() && !o.DryRun) throw EUsage("split needs --out DIR");
  double strength = 1;
  if (const auto s = a.Value("--strength")) {
    const char* end = ParseDouble(s->data(), s->data() + s->size(), strength);
    if (!end || end != s->data() + s->size() || !std::isfinite(strength))
      throw EUsage("--strength needs a number, not \"" + *s + "\"");
  }
  // The sculpt is read once, before any figure; every figure's stack gets its positions.
  auto positions = std::make_shared<std::vector<double>>();
  try {
    ReadVertexLines(o.Stack, *positions);
  } catch (const std::exception& e) {
    Fail(e.what());
    return 1;
  }
  const std::string sculptFile = o.Stack;
  o.MakeStack = [=](TStackController& c, std::string&) {
    const TStackTarget& target = *FindStackTarget(1);
    c.NewStack(target);
    c.AddCommand(*target.FindDescriptor(7));
    c.AddCommand(*target.FindDescriptor(TSCUseSculpt::kCommandId));
    auto& sculpt = dynamic_cast<TSCUseSculpt&>(*c.SelectedCommand());
    sculpt.FileName = sculptFile;
    sculpt.Strength = strength;
    sculpt.Positions = *positions;
    sculpt.Reapply();
    return true;
  };
  return RunFigures(o, {figure});
}

}  // namespace tarvel::cli
