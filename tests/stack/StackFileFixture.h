// Shared by the stack file and project file tests: a controller over the small figure with
// fixed Ids, a stack holding one command of every kind, and what "nothing changed" means.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "TestSupport.h"
#include "commands/SoftSelection.h"
#include "commands/Specular.h"
#include "commands/Transforms.h"
#include "commands/UseMorphTarget.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"
#include "stack/StackController.h"

namespace tarvel::test {

inline std::vector<std::uint8_t> FileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFileBytes(const std::string& fileName, const std::vector<std::uint8_t>& bytes,
                           std::size_t count) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(count));
}

inline std::string DataFile(const std::string& name) {
  return std::string(TARVEL_TEST_DATA_DIR) + "/" + name;
}

// Set TARVEL_UPDATE_GOLDEN=1 to write the committed files instead of comparing with them.
inline bool UpdatingGolden() {
  const char* v = std::getenv("TARVEL_UPDATE_GOLDEN");
  return v && *v && std::string(v) != "0";
}

// Every command kind a stack file can hold, by its stream id.
inline const std::set<std::uint16_t>& EveryCommandKind() {
  static const std::set<std::uint16_t> kinds = {
      6001, 6003, 6004, 6005, 6006, 6007, 6008, 6009, 6010, 6011, 6012, 6013, 6014, 6015,
      6016, 6017, 6018, 6019, 6020, 6021, 6022, 6023, 6024, 6025, 6026, 6030, 6031, 6032};
  return kinds;
}

// The figure of EditStateFixture.h with Ids fixed, so that stored bytes do not depend on
// chance, and a morph target "raise" on the hat.
inline TObjData& AddFixedFigure(TMultiObjData& state, const TTempDir& dir,
                                const std::string& name = "figure",
                                const std::string& text = kFigure) {
  TObjData& mesh = AddMesh(state, dir, text, name);
  mesh.Id = 7 + state.MeshCount();
  mesh.FileName = name + ".obj";
  for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g) {
    TGroup& group = *mesh.Groups[g];
    for (std::int32_t e = 0; e < group.GroupMats.Count(); ++e)
      group.GroupMats[e]->Id = 100 * (g + 1) + e;
  }
  if (TGroup* hat = mesh.GroupByName("hat")) {
    auto target = std::make_unique<TMorphTarget>(hat);
    target->Name = "raise";
    target->Id = 4242;
    for (const TGroupVertex& e : hat->Vertices) {
      TBaseVertex p = e.Shaped;
      p.Y += 0.5;
      target->Positions.Add(p);
    }
    hat->MorphTargets.Add(std::move(target));
  }
  return mesh;
}

class StackFileFixture : public ::testing::Test {
 protected:
  StackFileFixture() : controller_(window_) { AddFixedFigure(controller_.Live(), dir_); }

  static const TStackTarget& Target() { return *FindStackTarget(1); }
  TObjData& Mesh() { return *controller_.Live().Mesh(0); }
  TStackMng& Stack() { return *controller_.Stack(); }

  template <class T = TStackCommand>
  T& Add(std::int32_t commandId, const TSceneChoice& choice = {}) {
    controller_.AddCommand(*Target().FindDescriptor(commandId), choice);
    auto* command = dynamic_cast<T*>(controller_.SelectedCommand());
    EXPECT_NE(command, nullptr) << "command " << commandId;
    return *command;
  }

  // A new stack holding one command of every kind, each with parameters of its own, the last
  // line current.
  void BuildEveryKindStack() {
    controller_.NewStack(Target());
    TObjData& mesh = Mesh();
    TGroup* right = mesh.GroupByName("right");
    TGroup* left = mesh.GroupByName("left");
    TGroup* hat = mesh.GroupByName("hat");
    for (std::int32_t id : {500, 501, 504, 505, 506, 507}) Add(id);
    Add(1, {.Group = right});
    Add(2, {.Group = left});
    Add(502, {.Group = hat});
    Add(503, {.Group = hat});
    Add(508);
    Add(509);
    Add(3, {.Material = mesh.MaterialByName("skin")});
    Add(4, {.Material = mesh.MaterialByName("cloth")});
    Add(5, {.Entry = left->EntryByName("cloth")});
    Add(6, {.Entry = left->EntryByName("skin")});
    Add(7);
    Add(8);
    Add(9);
    auto& soft = Add<TSCSoftSelection>(10);
    controller_.PickVertex(mesh.Vertices[4]);
    soft.Fallout = 1.5f;
    soft.Pinch = 0.25f;
    soft.Surface = true;
    Add<TSCSelectSurface>(13);
    controller_.PickVertex(mesh.Vertices[9]);
    Add(100);
    Add<TSCTranslate>(101).Offset = {0.25f, -1.5f, 3};
    auto& rotate = Add<TSCRotate>(102);
    rotate.Angles = {10, 20, 30};
    rotate.CentreOffset = {0.5f, 0, -0.5f};
    auto& scale = Add<TSCScale>(103);
    scale.Factors = {2, 2, 2};
    scale.Uniform = true;
    Add<TSCUseMorphTarget>(1000, {.MorphTarget = hat->MorphTargets[0]}).DialValue = 0.75f;
    auto& mirror = Add<TSCSpecular>(1500);
    mirror.Mode = TSCSpecular::kResetLeft;
    mirror.Precision = 0.001f;
  }

  // Everything of the current work that a failed load must leave alone.
  struct TWork {
    std::vector<std::uint8_t> Live;
    std::vector<std::uint8_t> Stack;
    std::vector<std::uint8_t> Pristine;
    std::vector<std::string> Lines;
    int Current = -1;
    int Selected = -1;
    bool Modified = false;
    bool operator==(const TWork&) const = default;
  };
  TWork Work() const {
    TWork w;
    w.Live = StoredBytes(controller_.Live());
    if (TStackMng* stack = controller_.Stack()) {
      w.Stack = StoredBytes(*stack);
      w.Pristine = StoredBytes(*stack->Pristine);
    }
    w.Lines = window_.Lines;
    w.Current = controller_.CurrentLine();
    w.Selected = controller_.SelectedLine();
    w.Modified = controller_.Modified();
    return w;
  }

  TTempDir dir_;
  TFakeWindow window_;
  TStackController controller_;
};

}  // namespace tarvel::test
