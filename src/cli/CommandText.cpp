#include "cli/CommandText.h"

#include <cstdio>

#include "commands/Organic.h"
#include "commands/Padlocks.h"
#include "commands/Sculpt.h"
#include "commands/SoftSelection.h"
#include "commands/Specular.h"
#include "commands/Transforms.h"
#include "commands/UseMorphTarget.h"
#include "stack/SelectCommands.h"

namespace tarvel::cli {

namespace {

std::string Number(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", v);
  return buf;
}

std::string Vector(const TVec3s& v) { return Number(v.X) + "," + Number(v.Y) + "," + Number(v.Z); }

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

std::string StoredParameters(const TStackCommand& c) {
  if (const auto* u = dynamic_cast<const TSCUseMorphTarget*>(&c))
    return "mesh=" + Quoted(u->TargetMeshName) + " group=" + Quoted(u->TargetGroupName) +
           " target=" + Quoted(u->TargetName) + " dial=" + Number(u->DialValue);
  if (const auto* g = dynamic_cast<const TSCSelectGroup*>(&c))
    return "mesh=" + Quoted(g->MeshName) + " group=" + Quoted(g->GroupName);
  if (const auto* m = dynamic_cast<const TSCSelectMaterial*>(&c))
    return "mesh=" + Quoted(m->MeshName) + " material=" + Quoted(m->MaterialName);
  if (const auto* e = dynamic_cast<const TSCSelectGroupMat*>(&c))
    return "mesh=" + Quoted(e->MeshName) + " group=" + Quoted(e->GroupName) +
           " material=" + Quoted(e->EntryName);
  if (const auto* s = dynamic_cast<const TSCSoftSelection*>(&c))
    return "mesh=" + std::to_string(s->MeshIndex) + " vertex=" + std::to_string(s->VertexIndex) +
           " vertex-id=" + std::to_string(s->StartVertexId) +
           " mode=" + (s->Surface ? "surface" : "volume") + " fallout=" + Number(s->Fallout) +
           " start=" + Number(s->Start) + " pinch=" + Number(s->Pinch) +
           " bubble=" + Number(s->Bubble) + " square=" + (s->Square ? "yes" : "no");
  if (const auto* v = dynamic_cast<const TSCVertexSelection*>(&c))
    return "mesh=" + std::to_string(v->MeshIndex) + " vertex=" + std::to_string(v->VertexIndex) +
           " vertex-id=" + std::to_string(v->StartVertexId);
  if (const auto* t = dynamic_cast<const TSCTranslate*>(&c)) return "offset=" + Vector(t->Offset);
  if (const auto* r = dynamic_cast<const TSCRotate*>(&c))
    return "angles=" + Vector(r->Angles) + " centre-offset=" + Vector(r->CentreOffset);
  if (const auto* s = dynamic_cast<const TSCScale*>(&c))
    return "factors=" + Vector(s->Factors) + " uniform=" + (s->Uniform ? "yes" : "no");
  if (const auto* i = dynamic_cast<const TSCInflate*>(&c)) return "distance=" + Number(i->Distance);
  if (const auto* s = dynamic_cast<const TSCSmooth*>(&c))
    return "iterations=" + std::to_string(s->Iterations) + " strength=" + Number(s->Strength) +
           " keep-borders=" + (s->KeepBorders ? "yes" : "no");
  if (const auto* u = dynamic_cast<const TSCUseSculpt*>(&c))
    return "file=" + Quoted(u->FileName) + " strength=" + Number(u->Strength);
  if (const auto* m = dynamic_cast<const TSCSpecular*>(&c)) {
    static const char* const kModes[] = {"left-to-right", "right-to-left", "reset-left",
                                         "reset-right"};
    const std::string mode = m->Mode < 4 ? kModes[m->Mode] : std::to_string(m->Mode);
    return "mode=" + mode + " precision=" + Number(m->Precision);
  }
  return "";
}

std::string SafeFileName(const std::string& name) {
  std::string out;
  for (const char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    const bool refused = c < 32 || c == 127 || ch == '/' || ch == '\\' || ch == ':' || ch == '*' ||
                         ch == '?' || ch == '"' || ch == '<' || ch == '>' || ch == '|';
    out += refused ? '_' : ch;
  }
  if (out.empty() || out == "." || out == "..") return std::string(1, '_');
  return out;
}

std::string UniqueName(std::set<std::string>& used, const std::string& base) {
  std::string name = base;
  for (int k = 2; used.count(name); ++k) name = base + "-" + std::to_string(k);
  used.insert(name);
  return name;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const unsigned char c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 32) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

}  // namespace tarvel::cli
