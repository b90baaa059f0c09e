// Loading generated figures, against the parsing floor and tinyobjloader on the same files,
// and copying a loaded mesh through the memory object stream.
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include <tiny_obj_loader.h>

#include "BenchSupport.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"

namespace {

using tarvel::bench::GeneratedFigure;
using tarvel::bench::ParseFloor;
using tarvel::bench::TFloorResult;

void BM_ParseFloor(benchmark::State& state) {
  const std::string& file = GeneratedFigure(state.range(0));
  for (auto _ : state) {
    TFloorResult r;
    ParseFloor(file, r);
    benchmark::DoNotOptimize(r.Coords.data());
  }
}

void BM_TinyObj(benchmark::State& state) {
  const std::string& file = GeneratedFigure(state.range(0));
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const bool ok =
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file.c_str(), nullptr, false);
    if (!ok) state.SkipWithError("tinyobjloader failed");
    benchmark::DoNotOptimize(attrib.vertices.data());
  }
}

void BM_TarvelLoad(benchmark::State& state) {
  const std::string& file = GeneratedFigure(state.range(0));
  for (auto _ : state) {
    tarvel::TObjData mesh;
    tarvel::LoadFromObj(mesh, file);
    benchmark::DoNotOptimize(mesh.Vertices.Count());
  }
}

// A figure of state.range(0) groups, each a quad of its own with its own material, as some
// converted scenes are: names are looked up once per group and material line.
const std::string& ManyGroupsFigure(long groups) {
  static std::map<long, std::string> files;
  if (auto it = files.find(groups); it != files.end()) return it->second;
  const std::string name = (std::filesystem::temp_directory_path() /
                            ("tarvel-bench-groups-" + std::to_string(groups) + ".obj"))
                               .string();
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  for (long g = 0; g < groups; ++g) {
    const double x = static_cast<double>(g % 200), y = static_cast<double>(g / 200);
    out << "v " << x << ' ' << y << " 0\nv " << x + 1 << ' ' << y << " 0\nv " << x + 1 << ' '
        << y + 1 << " 0\nv " << x << ' ' << y + 1 << " 0\n";
    out << "g part" << g << "\nusemtl mat" << g << "\nf " << 4 * g + 1 << ' ' << 4 * g + 2 << ' '
        << 4 * g + 3 << ' ' << 4 * g + 4 << '\n';
  }
  return files.emplace(groups, name).first->second;
}

void BM_TinyObjGroups(benchmark::State& state) {
  const std::string& file = ManyGroupsFigure(state.range(0));
  for (auto _ : state) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const bool ok =
        tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, file.c_str(), nullptr, false);
    if (!ok) state.SkipWithError("tinyobjloader failed");
    benchmark::DoNotOptimize(shapes.data());
  }
}

void BM_TarvelLoadGroups(benchmark::State& state) {
  const std::string& file = ManyGroupsFigure(state.range(0));
  for (auto _ : state) {
    tarvel::TObjData mesh;
    tarvel::LoadFromObj(mesh, file);
    if (mesh.Groups.Count() != state.range(0) + 1) state.SkipWithError("groups were merged");
    benchmark::DoNotOptimize(mesh.Groups.Count());
  }
}

// Copying a loaded mesh: one Put into a memory stream whose buffer is reused, and one Get.
void BM_CopyMesh(benchmark::State& state) {
  tarvel::TObjData mesh;
  tarvel::LoadFromObj(mesh, GeneratedFigure(state.range(0)));
  tarvel::TObjectStream stream;
  stream.Put(mesh);  // grows the buffer once; replays reuse it
  for (auto _ : state) {
    stream.Clear();
    stream.Put(mesh);
    stream.Seek(0);
    auto copy = stream.GetAs<tarvel::TObjData>();
    benchmark::DoNotOptimize(copy.get());
  }
}

constexpr long k100k = 100000;
constexpr long k1M = 1000000;

BENCHMARK(BM_ParseFloor)->Arg(k100k)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TinyObj)->Arg(k100k)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TarvelLoad)->Arg(k100k)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_CopyMesh)->Arg(k100k)->Arg(k1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TinyObjGroups)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_TarvelLoadGroups)->Arg(20000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::pair<std::string, std::string>> ratios;
  for (const char* n : {"100000", "1000000"}) {
    const std::string s = n;
    ratios.push_back({"BM_TarvelLoad/" + s, "BM_TinyObj/" + s});
    ratios.push_back({"BM_TarvelLoad/" + s, "BM_ParseFloor/" + s});
    ratios.push_back({"BM_CopyMesh/" + s, "BM_TarvelLoad/" + s});
  }
  ratios.push_back({"BM_TarvelLoadGroups/20000", "BM_TinyObjGroups/20000"});
  return tarvel::bench::RunWithRatios(argc, argv, std::move(ratios));
}
