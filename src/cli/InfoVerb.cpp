// tarvel-batch info: a figure's counts and groups, and on request how symmetric it is.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/Args.h"
#include "cli/Verbs.h"
#include "commands/SymmetryReport.h"
#include "mesh/FileCheck.h"
#include "mesh/NumberText.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"

namespace tarvel::cli {

const char* const kInfoHelp =
    "usage: tarvel-batch info FIGURE.obj [--symmetry TOLERANCE]\n"
    "\n"
    "Loads a Poser figure and prints its name, the counts of vertices, texture coordinates,\n"
    "faces, groups, materials and smoothing groups, one line per group and the load time.\n"
    "\n"
    "  --symmetry TOLERANCE  also pair every vertex with its mirror image across x = 0, as\n"
    "                        \"Mirror selection\" does with that precision (e.g. 0.0000001),\n"
    "                        and report per group and in total:\n"
    "                          centre   vertices on the centre line\n"
    "                          near     vertices off the centre line but within the tolerance\n"
    "                                   of their own mirror image\n"
    "                          out      vertices without a mirror partner\n"
    "                          cross    extra mirror matches (cross linked vertices)\n"
    "                          largest  the largest distance between a vertex's mirror image\n"
    "                                   and its partner\n"
    "                          needed   every vertex finds a partner at any tolerance above this\n"
    "\n"
    "example: tarvel-batch info figure.obj --symmetry 0.0001\n";

namespace {

std::string Distance(double d) {
  if (std::isinf(d)) return "none";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.7f", d);
  return buf;
}

void PrintCounts(const std::string& name, const TSymmetryCounts& c) {
  std::printf("%-24s %9d %7d %6d %7d %6d %12s %12s\n", name.c_str(), c.Vertices, c.OnCentreLine,
              c.NearCentreLine, c.OutOfSymmetry, c.CrossLinked,
              Distance(c.LargestPairDistance).c_str(), Distance(c.ToleranceForAll).c_str());
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--symmetry", true}});
  if (a.Positionals().size() != 1) throw EUsage("info takes one figure");
  std::optional<float> tolerance;
  if (const auto t = a.Value("--symmetry")) {
    double v = 0;
    const char* end = t->data() + t->size();
    if (t->empty() || ParseDouble(t->data(), end, v) != end || !(v >= 0) || !std::isfinite(v))
      throw EUsage("--symmetry needs a tolerance of 0 or more, not \"" + *t + "\"");
    tolerance = static_cast<float>(v);
  }
  const std::string& file = a.Positionals()[0];
  if (const std::string wrong = NotRegularFile(file); !wrong.empty()) {
    Fail(wrong);
    return 1;
  }
  TObjData mesh;
  const auto start = std::chrono::steady_clock::now();
  try {
    LoadFromObj(mesh, file);
  } catch (const std::exception& e) {
    Fail(e.what());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("figure              %s\n", PrintableText(mesh.Name).c_str());
  std::printf("vertices            %d\n", mesh.Vertices.Count());
  std::printf("texture coordinates %d\n", mesh.TexVerts.Count());
  std::printf("faces               %d\n", mesh.Faces.Count());
  std::printf("groups              %d\n", mesh.Groups.Count());
  std::printf("materials           %d\n", mesh.Materials.Count());
  std::printf("smoothing groups    %d\n", mesh.Smooths.Count());
  std::printf("\n%-24s %10s %10s\n", "group", "faces", "vertices");
  mesh.Groups.ForEach([](const TGroup& g) {
    std::printf("%-24s %10zu %10d\n", PrintableText(g.Name).c_str(), g.Faces.size(),
                g.Vertices.Count());
  });
  std::printf("\nloaded in %.1f ms\n", ms);
  if (!tolerance) return 0;

  const TSymmetryReport report = AnalyseSymmetry(mesh, *tolerance);
  std::printf("\nsymmetry at tolerance %s\n", Distance(*tolerance).c_str());
  std::printf("%-24s %9s %7s %6s %7s %6s %12s %12s\n", "group", "vertices", "centre", "near", "out",
              "cross", "largest", "needed");
  for (const TGroupSymmetry& g : report.Groups) PrintCounts(g.Group, g.Counts);
  PrintCounts("total", report.Total);
  return 0;
}

}  // namespace tarvel::cli
