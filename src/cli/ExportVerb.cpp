// tarvel-batch export: every morph target of a project as Poser target geometry.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "mesh/Platform.h"
#include "stack/ProjectFile.h"

namespace tarvel::cli {

const char* const kExportHelp =
    "usage: tarvel-batch export PROJECT.vnx --out DIR [--quiet]\n"
    "\n"
    "Writes every morph target of every group of every mesh in the project as Poser target\n"
    "geometry (\"v \" lines in the group's vertex order) to DIR/MESH/GROUP/TARGET.obj, and\n"
    "prints one line per file. A project with a stack gives the targets of the state before\n"
    "its first command, as the window shows at line 0.\n"
    "\n"
    "example: tarvel-batch export work.vnx --out targets\n";

int RunExport(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--out", true}, {"--quiet", false}});
  if (a.Positionals().size() != 1) throw EUsage("export takes one project file");
  const auto out = a.Value("--out");
  if (!out || out->empty()) throw EUsage("export needs --out DIR");
  const TProject project = ReadProject(a.Positionals()[0]);
  const std::filesystem::path root = platform::PathOf(*out);
  int written = 0;
  std::set<std::string> used;  // file paths, so that equal names never overwrite each other
  for (std::int32_t m = 0; m < project.State->MeshCount(); ++m) {
    const TObjData& mesh = *project.State->Mesh(m);
    mesh.Groups.ForEach([&](const TGroup& g) {
      g.MorphTargets.ForEach([&](const TMorphTarget& t) {
        const std::filesystem::path dir = root / platform::PathOf(SafeFileName(mesh.Name)) /
                                          platform::PathOf(SafeFileName(g.Name));
        std::filesystem::create_directories(dir);
        const std::string file =
            UniqueName(used, platform::NameOf(dir / platform::PathOf(SafeFileName(t.Name)))) +
            ".obj";
        t.ExportTargetGeometry(file);
        ++written;
        if (!a.Has("--quiet")) std::printf("%s\n", file.c_str());
      });
    });
  }
  if (!a.Has("--quiet")) std::printf("%d morph targets written\n", written);
  return 0;
}

}  // namespace tarvel::cli
