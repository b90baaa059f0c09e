#include "stack/StackMng.h"

#include <algorithm>
#include <string>

#include "stack/SelectCommands.h"

namespace tarvel {

TStackMng::TStackMng(const TStackTarget& target, TMultiObjData& live)
    : TargetId(target.Id), Live(&live), Target(&target) {
  Pristine = CopyEditState(live, &copies_);
  auto init = std::make_unique<TSCInit>(this);
  init->Caption = target.Description;
  Commands.Add(std::move(init));
}

TStackMng::TStackMng(const TStackTarget& target) : TargetId(target.Id), Target(&target) {}

std::unique_ptr<TStreamableObject> TCommandCollection::GetItem(TObjectStream& s) {
  // A command of a kind this program does not know (written by a later version) is refused as
  // such, before its record is read.
  const std::int64_t at = s.Position();
  const std::uint16_t id = s.ReadUInt16();
  s.Seek(at);
  if (!s.Registry().ClassOfId(id)) s.FailAt(at, "unknown command kind " + std::to_string(id));
  auto command = TTypedCollection<TStackCommand>::GetItem(s);
  if (IProgress* p = s.Progress()) p->SetPosition(Count() + 1);
  return command;
}

void TCommandCollection::PutItem(TObjectStream& s, const TStreamableObject& item) const {
  s.Put(item);
  if (IProgress* p = s.Progress()) p->SetPosition(IndexOf(&item) + 1);
}

TStackMng::TStackMng(TObjectStream& s) {
  Reserved = s.ReadInt32();
  TargetId = s.ReadInt32();
  // The command count only sizes the progress display; the collection carries its own.
  const std::int32_t count = s.ReadInt32();
  IProgress* progress = s.Progress();
  if (progress) progress->SetRange(0, std::max(count, 0));
  s.GetHeader(ClassOf<TCollection>());
  Commands.LoadFrom(s);
  Commands.ForEach([&](TStackCommand& c) { c.Manager = this; });
  if (progress) progress->SetPosition(0);
}

TStackMng::~TStackMng() = default;

void TStackMng::Store(TObjectStream& s) const {
  s.WriteInt32(Reserved);
  s.WriteInt32(TargetId);
  s.WriteInt32(Commands.Count());
  IProgress* progress = s.Progress();
  if (progress) progress->SetRange(0, Commands.Count());
  s.Put(Commands);
  if (progress) progress->SetPosition(0);
}

std::unique_ptr<TMultiObjData> TStackMng::NewWorkingCopy(std::unique_ptr<TMultiObjData> replaced) {
  return CopyEditStateOver(*Pristine, std::move(replaced), &copies_);
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
