// Dials an existing morph target of a group to a chosen value as a step of the stack.
#pragma once

#include <string>

#include "stack/SelectCommands.h"

namespace tarvel {

class TSCUseMorphTarget : public TSCSelectGroup {
 public:
  static constexpr std::string_view kClassName = "TSCUseMorphTarget";
  static constexpr std::uint16_t kStreamId = 6026;

  explicit TSCUseMorphTarget(TStackMng* manager) : TSCSelectGroup(manager) {}
  explicit TSCUseMorphTarget(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetObject(const TSceneObject& object) override;
  void Prepare() override;
  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void UpdateCaption() override;
  void Release() override;
  void Relink() override;
  // The target by its own names; the group record it builds on keeps its fields under
  // "base-" keys.
  void Fields(ICommandFields& fields) override;
  std::string NamedCaption() const override;

  std::int32_t MorphIndex = -1;
  std::int32_t MorphId = -1;
  std::string TargetCaptionFormat = "Use morph target <b>%0:s</b> of group <b>%1:s</b>";
  float DialValue = 0;
  TMorphTarget* MorphTarget = nullptr;
  std::string TargetName;
  std::string TargetGroupName;
  std::string TargetMeshName;

 private:
  INumberEdit* value_ = nullptr;
};

}  // namespace tarvel
