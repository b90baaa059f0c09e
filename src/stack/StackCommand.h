// The base of every stack command, and the objects a command can be given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "mesh/ObjData.h"
#include "mesh/ObjectStream.h"
#include "stack/ParamPanel.h"
#include "stack/StatusInfo.h"

namespace tarvel {

class TStackMng;
class TMultiObjData;
class ICommandFields;
class IOverlayPainter;

// The scene object the user had chosen when adding a command, or none.
using TSceneObject =
    std::variant<std::monostate, TGroup*, TMaterial*, TGroupMatInfo*, TMorphTarget*>;

// DisplayFlags: bit 0 shows the vertex points; bits 1 to 5 choose the pick mode.
namespace display {
constexpr std::int32_t kVertexPoints = 1 << 0;
constexpr std::int32_t kDefault = 16;
// The pick mode the flags ask for, or -1 to leave it unchanged. Pick modes: 0 picks nothing,
// 1 and 2 pick a group, 3 and 4 pick a vertex.
int PickModeOf(std::int32_t flags);
}  // namespace display

class TStackCommand : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TStackCommand";
  static constexpr std::uint16_t kStreamId = 6000;

  explicit TStackCommand(TStackMng* manager);
  explicit TStackCommand(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // Called once when the command is added, with the object the user had chosen. A kind takes
  // its arguments from an object of the kind it needs, then updates its caption and executes;
  // any other object is ignored.
  virtual void SetObject(const TSceneObject& object) = 0;
  virtual void Execute() {}
  // Whether executing changes face selection (and soft weights) only: it moves no point and
  // reads no vertex flag.
  virtual bool SelectsFacesOnly() const { return false; }
  virtual void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) {
    (void)panel;
    (void)onChange;
  }
  virtual void Prepare() {}
  virtual void DrawOverlay(IOverlayPainter& painter) { (void)painter; }
  virtual void ControlChanged(IParamControl& sender) { (void)sender; }
  virtual bool PickVertex(TObjVertex& vertex) {
    (void)vertex;
    return false;
  }
  virtual void UpdateCaption() {}
  virtual void Release() {}
  virtual void Relink() {}
  // Walks the kind's own stored parameters by key (see ICommandFields). A kind without
  // parameters has nothing to walk.
  virtual void Fields(ICommandFields& fields) { (void)fields; }
  // Called after a reader filled the command through Fields from the text form in the file
  // `source`. A kind whose record holds more than its fields (a sculpt's positions) reads the
  // rest now, and raises an exception when it cannot.
  virtual void FieldsRead(const std::string& source) { (void)source; }
  // The caption the command shows once the objects it names are found under those names; empty
  // for a kind whose caption names no object (UpdateCaption gives it without any mesh).
  virtual std::string NamedCaption() const { return {}; }

  // The edit state the command works on, or none without a manager.
  TMultiObjData* Live() const;

  // The command's caption without list markup.
  std::string PlainCaption() const;

  std::int32_t Reserved = 0;
  TStackMng* Manager = nullptr;
  std::string Caption = "NoName";
  std::int32_t Reserved2 = 0;
  bool Failed = false;
  // Why the command's last run failed, or empty: its result held a position that is not a
  // finite number. Not stored; the command list shows such a line in red with the reason.
  std::string Fault;
  std::unique_ptr<TStatusInfo> StatusInfo;
  std::int32_t DisplayFlags = display::kDefault;
};

// The text of a command's list line: its caption, or for a command with a Fault the caption
// without markup in red, followed by the reason.
std::string CommandLineText(const TStackCommand& command);

// Why a vertex, shaped position or morph-target position of the edit state cannot be kept (it
// is not a finite number, or beyond kCoordinateLimit in magnitude), or none.
const char* PositionFault(const TMultiObjData& state);

// Removes list markup: "<b>", "</b>" and colour tags like "<c:Red>".
std::string StripMarkup(std::string_view caption);

// Formats "%0:s", "%1:s" ... with the given arguments.
std::string FormatCaption(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace tarvel
