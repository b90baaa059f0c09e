// tarvel-batch: the command-line side of Tarvel.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: tarvel-batch info FIGURE.obj\n"
               "  info   load a Poser figure and print its counts and groups\n");
  return 2;
}

int Info(const std::string& file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    std::fprintf(stderr, "tarvel-batch: %s: no such file\n", file.c_str());
    return 1;
  }
  tarvel::TObjData mesh;
  const auto start = std::chrono::steady_clock::now();
  try {
    tarvel::LoadFromObj(mesh, file);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tarvel-batch: cannot load %s\n", e.what());
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("figure              %s\n", mesh.Name.c_str());
  std::printf("vertices            %d\n", mesh.Vertices.Count());
  std::printf("texture coordinates %d\n", mesh.TexVerts.Count());
  std::printf("faces               %d\n", mesh.Faces.Count());
  std::printf("groups              %d\n", mesh.Groups.Count());
  std::printf("materials           %d\n", mesh.Materials.Count());
  std::printf("smoothing groups    %d\n", mesh.Smooths.Count());
  std::printf("\n%-24s %10s %10s\n", "group", "faces", "vertices");
  mesh.Groups.ForEach([](const tarvel::TGroup& g) {
    std::printf("%-24s %10zu %10d\n", g.Name.c_str(), g.Faces.size(), g.Vertices.Count());
  });
  std::printf("\nloaded in %.1f ms\n", ms);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string verb = argv[1];
  if (verb == "info" && argc == 3) return Info(argv[2]);
  return Usage();
}
