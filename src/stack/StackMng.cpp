#include "stack/StackMng.h"

#include "stack/SelectCommands.h"

namespace tarvel {

TStackMng::TStackMng(const TStackTarget& target, TMultiObjData& live)
    : TargetId(target.Id), Live(&live), Target(&target) {
  Pristine = CopyEditState(live, &copies_);
  auto init = std::make_unique<TSCInit>(this);
  init->Caption = target.Description;
  Commands.Add(std::move(init));
}

TStackMng::TStackMng(TObjectStream& s) {
  Reserved = s.ReadInt32();
  TargetId = s.ReadInt32();
  s.ReadInt32();  // the command count, only for sizing a progress display
  s.GetHeader(ClassOf<TCollection>());
  Commands.LoadFrom(s);
  Commands.ForEach([&](TStackCommand& c) { c.Manager = this; });
}

TStackMng::~TStackMng() = default;

void TStackMng::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteInt32(TargetId);
  s.WriteInt32(Commands.Count());
  s.Put(Commands);
}

std::unique_ptr<TMultiObjData> TStackMng::NewWorkingCopy() {
  return CopyEditState(*Pristine, &copies_);
}

void TStackMng::SetPristine(TMultiObjData& live) {
  Pristine.reset();
  Pristine = CopyEditState(live, &copies_);
  Live = &live;
}

void TStackMng::UpdateCommandLine(const TStackCommand& command) {
  if (List) List->SetLineText(&command, command.Caption);
}

const TCommandDescriptor* TStackMng::FindDescriptor(std::int32_t commandId) const {
  return Target ? Target->FindDescriptor(commandId) : nullptr;
}

bool TStackMng::IsCommandAvailable(std::int32_t commandId) const {
  return FindDescriptor(commandId) != nullptr;
}

void TStackMng::RelinkAll() {
  Commands.ForEach([](TStackCommand& c) { c.Relink(); });
}

}  // namespace tarvel
