// Morph targets: dialling them into the shaped positions of their group.
#include <charconv>
#include <filesystem>

#include "mesh/FileCheck.h"
#include "mesh/NumberText.h"
#include "mesh/ObjData.h"
#include "mesh/ObjReader.h"
#include "mesh/Platform.h"
#include "mesh/SafeFile.h"

namespace tarvel {

void TGroup::ApplyMorphTargets() {
  const std::int32_t count = Vertices.Count();
  for (std::int32_t k = 0; k < count; ++k) {
    TGroupVertex& entry = Vertices[k];
    const TObjVertex* v = VertexOf(entry);
    if (!v) continue;
    TBaseVertex& s = entry.Shaped;
    s.X = v->X;
    s.Y = v->Y;
    s.Z = v->Z;
    MorphTargets.ForEach([&](const TMorphTarget& t) {
      if (k >= t.Positions.Count()) return;
      const TBaseVertex& p = t.Positions[k];
      const float w = t.Value;
      // Each target adds its displacement from the base position, scaled by its dial; the
      // terms are formed in single precision. The single is kept volatile: GCC 12 at -O2
      // vectorises x and y together and drops the rounding to single otherwise.
      auto term = [&](double pc, double sc, double vc) {
        const volatile float shifted = static_cast<float>(pc + (sc - vc));
        return static_cast<double>(w) * (static_cast<double>(shifted) - sc);
      };
      s.X = s.X + term(p.X, s.X, v->X);
      s.Y = s.Y + term(p.Y, s.Y, v->Y);
      s.Z = s.Z + term(p.Z, s.Z, v->Z);
    });
  }
}

void TGroup::ResetMorphDials() {
  MorphTargets.ForEach([](TMorphTarget& t) { t.Value = 0; });
  ApplyMorphTargets();
}

void TObjData::ResetMorphDials() {
  Groups.ForEach([](TGroup& g) { g.ResetMorphDials(); });
}

TMorphTarget* TGroup::ImportMorphTarget(const std::string& fileName, int& code,
                                        IProgress* progress) {
  std::error_code ec;
  if (!std::filesystem::exists(platform::PathOf(fileName), ec)) {
    code = 1;
    return nullptr;
  }
  auto target = std::make_unique<TMorphTarget>(this);
  TObjReadOptions options;
  options.Progress = progress;
  ReadTargetGeometry(fileName, target->Positions, options);
  if (target->Positions.Count() != Vertices.Count()) {
    code = 2;
    return nullptr;
  }
  target->Id = NewMorphTargetId();
  code = 0;
  return MorphTargets.Add(std::move(target));
}

std::unique_ptr<TMTGroupInfoList> TGroup::MorphInfoList() const {
  if (MorphTargets.Count() == 0) return nullptr;
  auto list = std::make_unique<TMTGroupInfoList>();
  list->Group = const_cast<TGroup*>(this);
  for (std::int32_t k = 0; k < Vertices.Count(); ++k) {
    TObjVertex* v = VertexOf(Vertices[k]);
    if (!v || !v->TakesPart()) continue;
    MorphTargets.ForEach([&](TMorphTarget& t) {
      if (k >= t.Positions.Count()) return;
      TBaseVertex& p = t.Positions[k];
      list->Items.push_back({v, &p, p});
    });
  }
  if (list->Items.empty()) return nullptr;
  return list;
}

void TObjData::MorphInfoList(std::vector<std::unique_ptr<TMTGroupInfoList>>& into) const {
  Groups.ForEach([&](const TGroup& g) {
    if (auto list = g.MorphInfoList()) into.push_back(std::move(list));
  });
}

std::string TargetGeometryLine(const TBaseVertex& p) {
  std::string line = "v ";
  AppendFixed(line, p.X, 6, 10);
  line += ' ';
  AppendFixed(line, p.Y, 6, 10);
  line += ' ';
  AppendFixed(line, p.Z, 6, 10);
  line += " \r\n";
  return line;
}

void TMorphTarget::ExportTargetGeometry(const std::string& fileName) const {
  TSafeFileWriter out(fileName);
  std::int32_t k = 0;
  try {
    for (const TBaseVertex& p : Positions) {
      out.Write(TargetGeometryLine(p));
      ++k;
    }
  } catch (const ENumberText& e) {
    // The temporary file goes with the writer; the target file stays as it was.
    throw EFileWrite("Cannot write file \"" + PrintableText(fileName) + "\": vertex " +
                     std::to_string(k + 1) + " of morph target \"" + PrintableText(Name) +
                     "\": " + e.what());
  }
  out.Commit();
}

}  // namespace tarvel
