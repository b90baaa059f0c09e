// The padlocks: lock and unlock all groups, one group, the right or left side, and the
// vertices on the plane X = 0. They set flags of the edit state only; a replay from before
// them opens every padlock again.
#pragma once

#include <string>

#include "stack/SelectCommands.h"
#include "stack/StackCommand.h"

namespace tarvel {

// Intermediate of the padlocks without an object; adds nothing.
class TSCSpeedEdit : public TStackCommand {
 public:
  using TStackCommand::TStackCommand;
};

// A padlock without an object: its caption is fixed and stored.
class TSCFixedPadlock : public TSCSpeedEdit {
 public:
  TSCFixedPadlock(TStackMng* manager, std::string captionFormat);
  explicit TSCFixedPadlock(TObjectStream& s);
  void Store(TObjectStream& s) const override;
  void SetObject(const TSceneObject& object) override;
  void UpdateCaption() override;
  void Fields(ICommandFields& fields) override;

  std::string CaptionFormat;

 protected:
  // For a record that stores no caption of its own: the base record's caption is the format.
  struct TBaseRecordOnly {};
  TSCFixedPadlock(TObjectStream& s, TBaseRecordOnly);
};

class TSCLockAllGroups : public TSCFixedPadlock {
 public:
  static constexpr std::string_view kClassName = "TSCLockAllGroups";
  static constexpr std::uint16_t kStreamId = 6018;
  explicit TSCLockAllGroups(TStackMng* m) : TSCFixedPadlock(m, "Lock edit of all groups") {}
  explicit TSCLockAllGroups(TObjectStream& s) : TSCFixedPadlock(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Execute() override;

 protected:
  TSCLockAllGroups(TStackMng* m, std::string caption) : TSCFixedPadlock(m, std::move(caption)) {}
  virtual bool Unlocks() const { return false; }
};

class TSCUnLockAllGroups : public TSCLockAllGroups {
 public:
  static constexpr std::string_view kClassName = "TSCUnLockAllGroups";
  static constexpr std::uint16_t kStreamId = 6019;
  explicit TSCUnLockAllGroups(TStackMng* m) : TSCLockAllGroups(m, "Unlock edit of all groups") {}
  explicit TSCUnLockAllGroups(TObjectStream& s) : TSCLockAllGroups(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Unlocks() const override { return true; }
};

// Side padlocks: the right side is x <= 0.0000001, the left side x >= -0.000001; faces on
// the plane X = 0 belong to both.
class TSCLockRightSide : public TSCFixedPadlock {
 public:
  static constexpr std::string_view kClassName = "TSCLockRightSide";
  static constexpr std::uint16_t kStreamId = 6022;
  explicit TSCLockRightSide(TStackMng* m) : TSCFixedPadlock(m, "Lock edit of right side") {}
  explicit TSCLockRightSide(TObjectStream& s) : TSCFixedPadlock(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Execute() override;

 protected:
  TSCLockRightSide(TStackMng* m, std::string caption) : TSCFixedPadlock(m, std::move(caption)) {}
  virtual bool Left() const { return false; }
  virtual bool Unlocks() const { return false; }
};

class TSCUnlockRightSide : public TSCLockRightSide {
 public:
  static constexpr std::string_view kClassName = "TSCUnlockRightSide";
  static constexpr std::uint16_t kStreamId = 6023;
  explicit TSCUnlockRightSide(TStackMng* m) : TSCLockRightSide(m, "Unlock edit of right side") {}
  explicit TSCUnlockRightSide(TObjectStream& s) : TSCLockRightSide(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Unlocks() const override { return true; }
};

class TSCLockLeftSide : public TSCLockRightSide {
 public:
  static constexpr std::string_view kClassName = "TSCLockLeftSide";
  static constexpr std::uint16_t kStreamId = 6024;
  explicit TSCLockLeftSide(TStackMng* m) : TSCLockRightSide(m, "Lock edit of left side") {}
  explicit TSCLockLeftSide(TObjectStream& s) : TSCLockRightSide(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  TSCLockLeftSide(TStackMng* m, std::string caption) : TSCLockRightSide(m, std::move(caption)) {}
  bool Left() const override { return true; }
};

class TSCUnlockLeftSide : public TSCLockLeftSide {
 public:
  static constexpr std::string_view kClassName = "TSCUnlockLeftSide";
  static constexpr std::uint16_t kStreamId = 6025;
  explicit TSCUnlockLeftSide(TStackMng* m) : TSCLockLeftSide(m, "Unlock edit of left side") {}
  explicit TSCUnlockLeftSide(TObjectStream& s) : TSCLockLeftSide(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Unlocks() const override { return true; }
};

// Locks the x of the vertices on the plane X = 0. Its record is the base record only; a
// loaded one shows the stored caption.
class TSCLockX0 : public TSCFixedPadlock {
 public:
  static constexpr std::string_view kClassName = "TSCLockX0";
  static constexpr std::uint16_t kStreamId = 6031;
  explicit TSCLockX0(TStackMng* m) : TSCFixedPadlock(m, "Lock coordinates X=0") {}
  explicit TSCLockX0(TObjectStream& s) : TSCFixedPadlock(s, TBaseRecordOnly{}) {}
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override { TSCSpeedEdit::Store(s); }
  // Nothing of its own is stored: its caption is the format.
  void Fields(ICommandFields&) override {}
  void Execute() override;

 protected:
  TSCLockX0(TStackMng* m, std::string caption) : TSCFixedPadlock(m, std::move(caption)) {}
  virtual bool Unlocks() const { return false; }
};

class TSCUnlockX0 : public TSCLockX0 {
 public:
  static constexpr std::string_view kClassName = "TSCUnlockX0";
  static constexpr std::uint16_t kStreamId = 6032;
  explicit TSCUnlockX0(TStackMng* m) : TSCLockX0(m, "Unlock coordinates X=0") {}
  explicit TSCUnlockX0(TObjectStream& s) : TSCLockX0(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  bool Unlocks() const override { return true; }
};

// The group padlocks name their group as "Select group" does.
class TSCLockGroup : public TSCSelectGroup {
 public:
  static constexpr std::string_view kClassName = "TSCLockGroup";
  static constexpr std::uint16_t kStreamId = 6020;
  explicit TSCLockGroup(TStackMng* m);
  explicit TSCLockGroup(TObjectStream& s) : TSCSelectGroup(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  void Apply(TGroup& group) override { group.SetUnlocked(false); }
};

class TSCUnlockGroup : public TSCLockGroup {
 public:
  static constexpr std::string_view kClassName = "TSCUnlockGroup";
  static constexpr std::uint16_t kStreamId = 6021;
  explicit TSCUnlockGroup(TStackMng* m);
  explicit TSCUnlockGroup(TObjectStream& s) : TSCLockGroup(s) {}
  std::uint16_t StreamId() const override { return kStreamId; }

 protected:
  void Apply(TGroup& group) override { group.SetUnlocked(true); }
};

}  // namespace tarvel
