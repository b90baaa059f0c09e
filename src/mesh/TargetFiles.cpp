#include "mesh/TargetFiles.h"

#include <filesystem>
#include <set>

namespace tarvel {

namespace {

// Characters no file system takes in a name become "_"; an empty name, "." and ".." too.
std::string SafeName(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool refused = c < 32 || c == 127 || ch == '/' || ch == '\\' || ch == ':' || ch == '*' ||
                         ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|';
    out += refused ? '_' : ch;
  }
  if (out.empty() || out == "." || out == "..") return "_";
  return out;
}

}  // namespace

std::vector<TTargetFile> TargetFiles(const TObjData& mesh, const std::string& folder) {
  std::vector<TTargetFile> files;
  std::set<std::string> used;  // names compared ignoring case: folders may not tell them apart
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  const std::filesystem::path root(folder);
  mesh.Groups.ForEach([&](const TGroup& g) {
    g.MorphTargets.ForEach([&](const TMorphTarget& t) {
      const std::filesystem::path dir = root / SafeName(g.Name);
      const std::string base = (dir / SafeName(t.Name)).string();
      std::string name = base;
      for (int k = 2; used.count(lower(name)); ++k) name = base + "-" + std::to_string(k);
      used.insert(lower(name));
      files.push_back({&t, name + ".obj"});
    });
  });
  return files;
}

}  // namespace tarvel
