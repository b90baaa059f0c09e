// tarvel-batch export: every morph target of a project as Poser target geometry.
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "cli/Args.h"
#include "cli/CommandText.h"
#include "cli/Verbs.h"
#include "mesh/FileCheck.h"
#include "mesh/Platform.h"
#include "mesh/StagedFolder.h"
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
    "The files are written into a temporary folder inside DIR and each DIR/MESH folder is\n"
    "replaced only when every target was written: a failure leaves DIR as it was.\n"
    "\n"
    "example: tarvel-batch export work.vnx --out targets\n";

int RunExport(const std::vector<std::string>& args) {
  const TArgs a(args, {{"--out", true}, {"--quiet", false}});
  if (a.Positionals().size() != 1) throw EUsage("export takes one project file");
  const auto out = a.Value("--out");
  if (!out || out->empty()) throw EUsage("export needs --out DIR");
  const std::string& projectFile = a.Positionals()[0];
  if (const std::string wrong = NotRegularFile(projectFile); !wrong.empty()) {
    Fail(wrong);
    return 1;
  }
  const TProject project = ReadProject(projectFile);
  const std::filesystem::path root = platform::PathOf(*out);
  // Everything goes into a temporary folder first; a target that cannot be written (a number
  // that is not finite, a full disk) fails the export before any file reaches DIR.
  TStagedFolder stage(root, "export");
  std::vector<std::string> written;  // as the user will find them, in order
  std::set<std::string> used;        // file paths, so that equal names never overwrite each other
  std::set<std::string> meshFolders;
  for (std::int32_t m = 0; m < project.State->MeshCount(); ++m) {
    const TObjData& mesh = *project.State->Mesh(m);
    mesh.Groups.ForEach([&](const TGroup& g) {
      g.MorphTargets.ForEach([&](const TMorphTarget& t) {
        const std::filesystem::path rel = std::filesystem::path(SafeFileName(mesh.Name)) /
                                          SafeFileName(g.Name) / SafeFileName(t.Name);
        const std::string file = UniqueName(used, rel.string()) + ".obj";
        std::filesystem::create_directories((stage.Path() / file).parent_path());
        t.ExportTargetGeometry((stage.Path() / file).string());
        meshFolders.insert(SafeFileName(mesh.Name));
        written.push_back((root / file).string());
      });
    });
  }
  for (const std::string& folder : meshFolders) stage.MoveOut(folder);
  if (!a.Has("--quiet")) {
    for (const std::string& file : written) std::printf("%s\n", PrintableText(file).c_str());
    std::printf("%zu morph targets written\n", written.size());
  }
  return 0;
}

}  // namespace tarvel::cli
