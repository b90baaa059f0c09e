// "Mirror selection": copies the left side of the selection onto the right side or the other
// way round, or puts one side back to the shape the stack started from. Mirror partners are
// always found on the pristine meshes, so earlier commands never change the pairing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stack/StackCommand.h"

namespace tarvel {

// Intermediate of the modifiers; adds nothing.
class TSCModifier : public TStackCommand {
 public:
  using TStackCommand::TStackCommand;
};

class TSCSpecular : public TSCModifier {
 public:
  static constexpr std::string_view kClassName = "TSCSpecular";
  static constexpr std::uint16_t kStreamId = 6030;

  enum TMode : std::uint8_t { kLeftToRight = 0, kRightToLeft = 1, kResetLeft = 2, kResetRight = 3 };
  static constexpr int kTextLines = 7;

  explicit TSCSpecular(TStackMng* manager);
  explicit TSCSpecular(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void SetObject(const TSceneObject& object) override;
  void Prepare() override;
  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void ControlChanged(IParamControl& sender) override;
  void UpdateCaption() override;
  void Release() override;
  void Fields(ICommandFields& fields) override;

  // The "Info" button: counts the extra mirror matches and finds the smallest distance between
  // two vertices taking part; the mesh is not changed.
  void ComputeInfo();

  std::string CaptionFormat = "Mirror selection";
  std::uint8_t Mode = kLeftToRight;
  float Precision = 0.0000001f;
  bool ResetMorphs = false;
  // Every live coordinate and morph position the last Execute wrote, in writing order.
  std::optional<std::vector<TObjVertCoordBackup>> VertexBackups;
  std::optional<std::vector<TBaseVertCoordBackup>> MorphBackups;

  // Controls, owned by the panel.
  INumberEdit* PrecisionEdit = nullptr;
  std::array<IRadioButton*, 4> ModeButtons{};
  ICheckBox* ResetMorphsBox = nullptr;
  IButton* InfoButton = nullptr;
  std::array<ITextLine*, kTextLines> TextLines{};

  std::int32_t OutOfSymmetry = 0;  // off-centre vertices taking part without a partner
  std::int32_t CrossLinked = 0;    // extra mirror matches, counted by Info only
  bool InfoValid = false;
  float MinDistance = 0;
  bool InfoShown = false;

 private:
  void FindMirrorPairs(bool counting);
  void UndoLastApplication();
  void ApplyMirror();
  void ShowWarning();
  void ShowInfo();
  void SetLine(int line, std::string_view text);
};

}  // namespace tarvel
