// The stack manager: the commands of one stack and the pristine edit state they replay from.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mesh/Collection.h"
#include "mesh/ObjectStream.h"
#include "stack/MultiObjData.h"
#include "stack/StackCommand.h"
#include "stack/StackTarget.h"

namespace tarvel {

// The command list as the manager sees it: lines carrying their commands.
class ICommandLines {
 public:
  virtual ~ICommandLines() = default;
  // Sets the text of the line that carries this command; nothing when there is none.
  virtual void SetLineText(const TStackCommand* command, std::string_view text) = 0;
};

// The hourglass cursor for operations that may take long; the owner of the stack hands the
// window's to the manager, and a stack without one shows nothing (the batch tool, workers).
class IWaitCursor {
 public:
  virtual ~IWaitCursor() = default;
  virtual void BeginWait() = 0;  // hourglass
  virtual void EndWait() = 0;    // the previous cursor again
};

// Shows the hourglass of `cursor`, when there is one, while it lives.
class TWaitCursorScope {
 public:
  explicit TWaitCursorScope(IWaitCursor* cursor) : cursor_(cursor) {
    if (cursor_) cursor_->BeginWait();
  }
  ~TWaitCursorScope() {
    if (cursor_) cursor_->EndWait();
  }
  TWaitCursorScope(const TWaitCursorScope&) = delete;
  TWaitCursorScope& operator=(const TWaitCursorScope&) = delete;

 private:
  IWaitCursor* cursor_;
};

// The file dialog of "Use sculpted shape" ("*.obj" and "*.obz"); the owner of the stack hands
// the window's to the manager, and a stack without one asks nothing: its command is only given
// its file through SetFile (the batch tool, recipes).
class ISculptFileChooser {
 public:
  virtual ~ISculptFileChooser() = default;
  // The chosen file, none when cancelled. `current` is the file the command holds, if any.
  virtual std::optional<std::string> ChooseSculptFile(const std::string& current) = 0;
};

// The commands of a stack. While a project or stack file is read or written, every command
// moves the progress display on by one.
class TCommandCollection : public TTypedCollection<TStackCommand> {
 public:
  using TTypedCollection<TStackCommand>::TTypedCollection;
  std::unique_ptr<TStreamableObject> GetItem(TObjectStream& s) override;
  void PutItem(TObjectStream& s, const TStreamableObject& item) const override;
};

class TStackMng : public TStreamableObject {
 public:
  static constexpr std::string_view kClassName = "TStackMng";
  static constexpr std::uint16_t kStreamId = 6027;

  // A new stack of the target over the live edit state: a pristine copy of it, and the
  // initial command.
  TStackMng(const TStackTarget& target, TMultiObjData& live);
  explicit TStackMng(TObjectStream& s);
  // A stack of the target without commands or edit state, for a reader that builds the
  // commands itself; as after loading, Pristine, Live and List are empty.
  explicit TStackMng(const TStackTarget& target);
  ~TStackMng() override;
  std::uint16_t StreamId() const override { return kStreamId; }
  void Store(TObjectStream& s) const override;

  // A fresh copy of the pristine state; the caller owns it. Given the working state it
  // replaces, the copy is read into that state's arrays (see CopyEditStateOver).
  std::unique_ptr<TMultiObjData> NewWorkingCopy(std::unique_ptr<TMultiObjData> replaced = nullptr);
  // Takes a new pristine copy of `live` and works on it from now on.
  void SetPristine(TMultiObjData& live);
  void UpdateCommandLine(const TStackCommand& command);
  bool IsCommandAvailable(std::int32_t commandId) const;
  const TCommandDescriptor* FindDescriptor(std::int32_t commandId) const;
  void RelinkAll();

  std::int32_t Count() const { return Commands.Count(); }
  TStackCommand* Command(std::int32_t i) const {
    return i >= 0 && i < Commands.Count() ? Commands[i] : nullptr;
  }

  std::int32_t Reserved = 0;
  std::int32_t TargetId = -1;
  std::unique_ptr<TMultiObjData> Pristine;
  TMultiObjData* Live = nullptr;
  const TStackTarget* Target = nullptr;
  TCommandCollection Commands{10};
  ICommandLines* List = nullptr;
  IWaitCursor* WaitCursor = nullptr;
  ISculptFileChooser* SculptChooser = nullptr;

 private:
  TObjectStream copies_;  // reused for every copy of the pristine state
};

}  // namespace tarvel
