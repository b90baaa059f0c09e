// Shared pieces of the command tests: a stack over one mesh written from OBJ text, a panel
// whose number fields can be emptied, a painter that records what it was asked to draw, and
// the hex pieces of stored command records.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"
#include "stack/MultiObjData.h"
#include "stack/Overlay.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace tarvel::test {

struct TXyz {
  double X = 0, Y = 0, Z = 0;
};

// OBJ text with these vertices; each face is a group name and its 1-based corners.
inline std::string ObjText(const std::vector<TXyz>& vertices,
                           const std::vector<std::pair<std::string, std::vector<int>>>& faces) {
  std::string out;
  char buf[160];
  for (const TXyz& v : vertices) {
    std::snprintf(buf, sizeof buf, "v %.10f %.10f %.10f\n", v.X, v.Y, v.Z);
    out += buf;
  }
  for (const auto& [group, corners] : faces) {
    out += "g " + group + "\nf";
    // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on " " + string.
    for (int c : corners) {
      out += ' ';
      out += std::to_string(c);
    }
    out += "\n";
  }
  return out;
}

// A number field the user can empty.
class TBlankableEdit : public TFakeNumberEdit {
 public:
  bool IsBlank() const override { return Blank; }
  // As the user emptying the field.
  void Empty() {
    Blank = true;
    Changed();
  }
  void Type(double value) {
    Blank = false;
    TFakeNumberEdit::Type(value);
  }
  bool Blank = false;
};

// A fake panel whose number fields are TBlankableEdit; they are listed in BlankEdits only.
class TBlankingPanel : public TFakePanel {
 public:
  void Clear() override {
    TFakePanel::Clear();
    BlankEdits.clear();
  }
  INumberEdit& AddNumberEdit(const TRect& bounds) override {
    auto edit = std::make_unique<TBlankableEdit>();
    edit->SetBounds(bounds);
    BlankEdits.push_back(std::move(edit));
    return *BlankEdits.back();
  }
  TBlankableEdit& Edit(std::size_t i) { return *BlankEdits.at(i); }
  std::vector<std::unique_ptr<TBlankableEdit>> BlankEdits;
};

class TRecordingPainter : public IOverlayPainter {
 public:
  void DrawLines(std::span<const TOverlaySegment> segments, const TLineStyle& style) override {
    Calls.push_back({{segments.begin(), segments.end()}, style});
  }
  std::vector<std::pair<std::vector<TOverlaySegment>, TLineStyle>> Calls;
};

// A stack over the live edit state holding one mesh read from OBJ text.
struct TCommandScene {
  explicit TCommandScene(const std::string& obj) {
    live.AddObjFile(dir.Write("figure.obj", obj));
    stack = std::make_unique<TStackMng>(*FindStackTarget(1), live);
  }
  TObjData& Mesh() { return *live.Mesh(0); }
  TObjVertex& V(int i) { return Mesh().Vertices[i]; }
  TGroup& Group(const std::string& name) { return *Mesh().GroupByName(name); }
  // Adds a command of type T to the stack.
  template <class T>
  T& Add() {
    return *static_cast<T*>(stack->Commands.Add(std::make_unique<T>(stack.get())));
  }
  // Builds the command's controls on the panel; changes go straight to the command.
  void ShowControls(TStackCommand& command) {
    panel.Clear();
    command.CreateControls(panel, [](IParamControl& c) { c.Tag->ControlChanged(c); });
  }
  // A morph target of the group whose positions are the base positions moved by `d`.
  TMorphTarget& AddTarget(TGroup& group, const std::string& name, TXyz d) {
    auto t = std::make_unique<TMorphTarget>(&group);
    t->Name = name;
    t->Id = group.NewMorphTargetId();
    for (const TGroupVertex& e : group.Vertices) {
      const TObjVertex& v = *group.VertexOf(e);
      TBaseVertex p;
      p.X = v.X + d.X;
      p.Y = v.Y + d.Y;
      p.Z = v.Z + d.Z;
      p.Index = t->Positions.Count();
      t->Positions.Add(p);
    }
    return *group.MorphTargets.Add(std::move(t));
  }

  TTempDir dir;
  TMultiObjData live;
  std::unique_ptr<TStackMng> stack;
  TBlankingPanel panel;
};

// ---------------------------------------------------------------------------------------------
// Hex pieces of stored records

inline std::string I32Hex(std::int32_t v) {
  char buf[16];
  const auto u = static_cast<std::uint32_t>(v);
  std::snprintf(buf, sizeof buf, "%02x %02x %02x %02x ", u & 0xff, (u >> 8) & 0xff,
                (u >> 16) & 0xff, (u >> 24) & 0xff);
  return buf;
}

// A string: 16-bit length, then its bytes.
inline std::string StrHex(const std::string& text) {
  std::string out;
  char buf[16];
  const auto n = static_cast<unsigned>(text.size());
  std::snprintf(buf, sizeof buf, "%02x %02x ", n & 0xff, (n >> 8) & 0xff);
  out += buf;
  for (unsigned char c : text) {
    std::snprintf(buf, sizeof buf, "%02x ", c);
    out += buf;
  }
  return out;
}

// The status info of a command whose view was never stored: default options, an empty
// collection, nine zero singles.
inline const std::string kEmptyStatusHex = "f5 03 00 00 00 00  01 00 01 01 01 00 00 00  " +
                                           std::string("96 00 00 00 00 00 00 00 00 00 10 00 ") +
                                           std::string(9 * 8, '0') + " ";

// The base command record: Reserved, caption, Reserved2, status info, DisplayFlags 16.
inline std::string BaseHex(const std::string& caption) {
  return "00 00 00 00 " + StrHex(caption) + "00 00 00 00 " + kEmptyStatusHex + "10 00 00 00 ";
}

// Reads one command back from its bytes; the whole record must be consumed.
inline std::unique_ptr<TStackCommand> ReloadCommand(const std::vector<std::uint8_t>& bytes) {
  TObjectStream s(bytes);
  auto c = s.GetAs<TStackCommand>();
  EXPECT_EQ(s.BytesLeft(), 0);
  return c;
}

// Positions of the mesh vertices, of a target, and of the groups' shaped points in group order.
using TCoords = std::vector<std::array<double, 3>>;

inline TCoords Coords(const TObjData& mesh) {
  TCoords out;
  for (const TObjVertex& v : mesh.Vertices) out.push_back({v.X, v.Y, v.Z});
  return out;
}

inline TCoords Coords(const TMorphTarget& t) {
  TCoords out;
  for (const TBaseVertex& p : t.Positions) out.push_back({p.X, p.Y, p.Z});
  return out;
}

inline TCoords Shaped(const TObjData& mesh) {
  TCoords out;
  mesh.Groups.ForEach([&](const TGroup& g) {
    for (const TGroupVertex& e : g.Vertices) out.push_back({e.Shaped.X, e.Shaped.Y, e.Shaped.Z});
  });
  return out;
}

}  // namespace tarvel::test
