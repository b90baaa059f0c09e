#include "stack/StackCommand.h"

#include <cmath>

#include "mesh/NumberText.h"
#include "stack/MultiObjData.h"
#include "stack/StackMng.h"

namespace tarvel {

int display::PickModeOf(std::int32_t flags) {
  if (flags & (1 << 3)) return 1;
  if (flags & (1 << 4)) return 2;
  if (flags & (1 << 1)) return 3;
  if (flags & (1 << 2)) return 4;
  if (flags & (1 << 5)) return 0;
  return -1;
}

TStackCommand::TStackCommand(TStackMng* manager)
    : Manager(manager), StatusInfo(std::make_unique<TStatusInfo>()) {}

TStackCommand::TStackCommand(TObjectStream& s) {
  Reserved = s.ReadInt32();
  Caption = s.ReadString();
  Reserved2 = s.ReadInt32();
  StatusInfo = s.GetAs<TStatusInfo>();
  DisplayFlags = s.ReadInt32();
  Failed = false;
}

void TStackCommand::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteString(Caption);
  s.WriteInt32(Reserved2);
  if (StatusInfo) {
    s.Put(*StatusInfo);
  } else {
    const TStatusInfo empty;
    s.Put(empty);
  }
  s.WriteInt32(DisplayFlags);
}

TMultiObjData* TStackCommand::Live() const { return Manager ? Manager->Live : nullptr; }

std::string TStackCommand::PlainCaption() const { return StripMarkup(Caption); }

std::string CommandLineText(const TStackCommand& command) {
  if (command.Fault.empty()) return command.Caption;
  return "<c:Red>" + command.PlainCaption() + ": " + command.Fault;
}

const char* PositionFault(const TMultiObjData& state) {
  const char* fault = nullptr;
  // Comparisons with NaN are false: a NaN is caught by the first test.
  auto usable = [&](double v) {
    if (!(std::fabs(v) <= kCoordinateLimit))
      fault = std::isfinite(v) ? "the result holds a position beyond 1e9 in magnitude"
                               : "the result holds a position that is not a finite number";
    return !fault;
  };
  auto finite = [&](const TBaseVertex& p) { return usable(p.X) && usable(p.Y) && usable(p.Z); };
  for (std::int32_t m = 0; m < state.MeshCount(); ++m) {
    const TObjData& mesh = *state.Mesh(m);
    for (const TObjVertex& v : mesh.Vertices)
      if (!finite(v)) return fault;
    bool ok = true;
    mesh.Groups.ForEach([&](const TGroup& g) {
      for (std::int32_t k = 0; ok && k < g.Vertices.Count(); ++k) ok = finite(g.Vertices[k].Shaped);
      g.MorphTargets.ForEach([&](const TMorphTarget& t) {
        for (std::int32_t k = 0; ok && k < t.Positions.Count(); ++k) ok = finite(t.Positions[k]);
      });
    });
    if (!ok) return fault;
  }
  return nullptr;
}

std::string StripMarkup(std::string_view caption) {
  std::string out;
  out.reserve(caption.size());
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '<') {
      const std::string_view rest = caption.substr(i);
      if (rest.starts_with("<b>") || rest.starts_with("</b>") || rest.starts_with("<c:")) {
        const std::size_t close = caption.find('>', i);
        if (close != std::string_view::npos) {
          i = close;
          continue;
        }
      }
    }
    out += caption[i];
  }
  return out;
}

std::string FormatCaption(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  for (std::size_t i = 0; i < format.size(); ++i) {
    // "%n:s" takes argument n.
    if (format[i] == '%' && i + 3 < format.size() && format[i + 1] >= '0' && format[i + 1] <= '9' &&
        format[i + 2] == ':' && format[i + 3] == 's') {
      const std::size_t n = static_cast<std::size_t>(format[i + 1] - '0');
      if (n < args.size()) out += *(args.begin() + n);
      i += 3;
      continue;
    }
    out += format[i];
  }
  return out;
}

}  // namespace tarvel
