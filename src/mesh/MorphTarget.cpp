// Morph targets: dialling them into the shaped positions of their group.
#include "mesh/ObjData.h"

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
      // terms are formed in single precision.
      auto term = [&](double pc, double sc, double vc) {
        const float shifted = static_cast<float>(pc + (sc - vc));
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

}  // namespace tarvel
