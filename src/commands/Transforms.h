// The commands that move the vertices taking part in the selection: translate, translate to
// the origin, rotate and scale. New positions are always computed from copies taken when the
// command's turn began, so changing a parameter ten times gives the same mesh as setting the
// final value once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "stack/Overlay.h"
#include "stack/StackCommand.h"

namespace tarvel {

struct TVec3s {
  float X = 0, Y = 0, Z = 0;
  bool operator==(const TVec3s&) const = default;
};

class TSCTrasform : public TStackCommand {
 public:
  static constexpr std::string_view kClassName = "TSCTrasform";
  static constexpr std::uint16_t kStreamId = 6002;
  TSCTrasform(TStackMng* manager, std::string captionFormat)
      : TStackCommand(manager), CaptionFormat(std::move(captionFormat)) {}
  explicit TSCTrasform(TObjectStream& s) : TStackCommand(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  // The object is ignored: the caption, then the transform.
  void SetObject(const TSceneObject& object) override;
  void UpdateCaption() override;
  void Release() override;

  // Stored after each kind's own fields.
  std::string CaptionFormat;
  std::vector<std::unique_ptr<TVertCopy>> Backups;  // one per mesh, made by Prepare
  std::vector<std::unique_ptr<TMTGroupInfoList>> MorphEntries;

 protected:
  // Takes the selection centre, the vertex copies and the morph entries.
  void CommonPrepare();
  // Writes every morph entry and every copied vertex through `move`, which maps a copy
  // position and the vertex's weight flags to the new position; then every group of every
  // mesh recomputes its shaped positions and box.
  template <class TMove>
  void MoveAll(TMove&& move);

  TVec3s Centre;
};

class TSCTranslate : public TSCTrasform {
 public:
  static constexpr std::string_view kClassName = "TSCTranslate";
  static constexpr std::uint16_t kStreamId = 6014;

  explicit TSCTranslate(TStackMng* manager) : TSCTrasform(manager, "Translate") {}
  explicit TSCTranslate(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void Prepare() override { CommonPrepare(); }
  void DrawOverlay(IOverlayPainter& painter) override;
  void ControlChanged(IParamControl& sender) override;
  void Release() override;

  void Fields(ICommandFields& fields) override;

  TVec3s Offset;  // selection centre minus target position
  const TVec3s& SelectionCentre() const { return Centre; }

 protected:
  INumberEdit* fields_[3] = {nullptr, nullptr, nullptr};
  IButton* reset_ = nullptr;
};

// Brings the selection centre of its moment to the origin.
class TSCTranslateToZero : public TSCTranslate {
 public:
  static constexpr std::string_view kClassName = "TSCTranslateToZero";
  static constexpr std::uint16_t kStreamId = 6015;

  explicit TSCTranslateToZero(TStackMng* manager);
  explicit TSCTranslateToZero(TObjectStream& s) : TSCTranslate(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

  void CreateControls(IParamPanel&, const TChangeHandler&) override {}
  void Prepare() override;
  void DrawOverlay(IOverlayPainter&) override {}
  void ControlChanged(IParamControl&) override {}
};

class TSCRotate : public TSCTrasform {
 public:
  static constexpr std::string_view kClassName = "TSCRotate";
  static constexpr std::uint16_t kStreamId = 6016;

  explicit TSCRotate(TStackMng* manager) : TSCTrasform(manager, "Rotate") {}
  explicit TSCRotate(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void Prepare() override { CommonPrepare(); }
  void DrawOverlay(IOverlayPainter& painter) override;
  void ControlChanged(IParamControl& sender) override;
  void Release() override;

  void Fields(ICommandFields& fields) override;

  TVec3s Angles;        // degrees about X, then Y, then Z
  TVec3s CentreOffset;  // selection centre minus rotation centre
  const TVec3s& SelectionCentre() const { return Centre; }

 private:
  INumberEdit* centreFields_[3] = {nullptr, nullptr, nullptr};
  INumberEdit* angleFields_[3] = {nullptr, nullptr, nullptr};
  IButton* reset_ = nullptr;
};

class TSCScale : public TSCTrasform {
 public:
  static constexpr std::string_view kClassName = "TSCScale";
  static constexpr std::uint16_t kStreamId = 6017;

  explicit TSCScale(TStackMng* manager) : TSCTrasform(manager, "Scale") {}
  explicit TSCScale(TObjectStream& s);
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  void Execute() override;
  void CreateControls(IParamPanel& panel, const TChangeHandler& onChange) override;
  void Prepare() override { CommonPrepare(); }
  void DrawOverlay(IOverlayPainter& painter) override;
  void ControlChanged(IParamControl& sender) override;
  void Release() override;

  void Fields(ICommandFields& fields) override;

  TVec3s Factors{1, 1, 1};
  bool Uniform = false;  // one value drives all three factors
  const TVec3s& SelectionCentre() const { return Centre; }

 private:
  INumberEdit* fields_[3] = {nullptr, nullptr, nullptr};
  ICheckBox* lock_ = nullptr;
  IButton* reset_ = nullptr;
};

// Rotates p about `centre` by the angles (degrees) about X, then Y, then Z, all in single
// precision.
TVec3s RotatePoint(const TVec3s& p, const TVec3s& centre, const TVec3s& angles);

}  // namespace tarvel
