#include "stack/StackController.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "mesh/Platform.h"
#include "stack/ProjectFile.h"
#include "stack/StackFile.h"
#include "stack/StackJson.h"

namespace tarvel {

TStackController::TStackController(IStackWindow& window)
    : window_(window), live_(std::make_unique<TMultiObjData>()) {
  live_->SetTrackingMode(view_.TrackingMode);
  live_->SetColourMode(view_.ColourMode);
  live_->SetDisplayMode(view_.DisplayMode);
  onChange_ = [this](IParamControl& sender) { ParameterChanged(sender); };
}

TStackController::~TStackController() {
  // Commands hold back references into the live state; they go first.
  stack_.reset();
}

void TStackController::SetLive(std::unique_ptr<TMultiObjData> live) {
  live_ = std::move(live);
  live_->SetTreeNodes(treeNodes_);
  if (stack_) stack_->Live = live_.get();
}

void TStackController::SetTreeNodes(ITreeNodeSink* tree) {
  treeNodes_ = tree;
  live_->SetTreeNodes(tree);
}

void TStackController::SetLineText(const TStackCommand* command, std::string_view text) {
  if (!stack_) return;
  const std::int32_t index = stack_->Commands.IndexOf(command);
  if (index < 0) return;
  window_.ListSetText(index,
                      command->Fault.empty() ? std::string(text) : CommandLineText(*command));
}

void TStackController::Select(int line) {
  selected_ = line;
  window_.ListSelect(line);
}

void TStackController::SetColourMode(std::uint8_t mode) {
  view_.ColourMode = mode;
  live_->SetColourMode(mode);
}

TStackCommand* TStackController::SelectedCommand() const {
  return stack_ ? stack_->Command(selected_) : nullptr;
}

bool TStackController::PickVertex(TObjVertex& vertex) {
  TStackCommand* command = SelectedCommand();
  if (!command) return false;
  TWait wait(window_);
  if (!command->PickVertex(vertex)) return false;
  CheckResult(selected_);
  window_.Redraw();
  return true;
}

void TStackController::NewStack(const TStackTarget& target) {
  if (stack_) return;
  modified_ = true;
  TBusy busy(*this);
  TWait wait(window_);  // the pristine copy of a large figure takes a while
  window_.Panel().Clear();
  live_->ResetMorphDials();
  stack_ = std::make_unique<TStackMng>(target, *live_);
  ShowNewStack();
}

// The stack just made or loaded: its lines and goals, line 0 current with the view of now, colour
// mode 3 and the tool buttons of its kinds.
void TStackController::ShowNewStack() {
  stack_->List = this;
  stack_->WaitCursor = &window_;
  stack_->SculptChooser = window_.SculptChooser();
  ShowGoalEntries();
  FillCommandList();
  current_ = 0;
  Select(0);
  StoreView(*stack_->Command(0));
  ApplyDisplayFlags(stack_->Command(0)->DisplayFlags);
  SetColourMode(3);
  window_.ViewSettingsChanged();
  window_.UpdateCommandButtons();
}

void TStackController::Replay(int line, bool release) {
  TStackCommand* c = stack_->Command(line);
  c->Prepare();
  c->Execute();
  CheckResult(line);
  if (release) c->Release();
}

void TStackController::CheckResult(int line) {
  TStackCommand* c = stack_->Command(line);
  if (!c) return;
  // Only the command that brought a non-finite position in is at fault; the ones after it
  // merely carry it along.
  bool earlier = false;
  for (int i = 0; i < line && !earlier; ++i) earlier = !stack_->Command(i)->Fault.empty();
  std::string fault;
  // A command that only selects leaves the points as the line before left them, and they were
  // found sound there (or an earlier line is at fault).
  const bool moved = line == 0 || !c->SelectsFacesOnly();
  if (!earlier && moved)
    if (const char* reason = PositionFault(*live_)) fault = reason;
  if (fault == c->Fault) return;
  c->Fault = std::move(fault);
  window_.ListSetText(line, CommandLineText(*c));
}

void TStackController::ReplayFromStart(int last) {
  stack_->Pristine->Name = live_->Name;
  stack_->Live = nullptr;
  live_ = stack_->NewWorkingCopy(std::move(live_));
  live_->SetTreeNodes(treeNodes_);
  stack_->Live = live_.get();
  ReplayRange(0, last);
}

void TStackController::ReplayRange(int first, int last) {
  // In a run of commands that only select, each command's vertex flags would be replaced by
  // the next one's: they are refreshed once, after the run. Colours with their own alpha
  // depend on every refresh, so with such colours every command refreshes.
  const bool mayDefer = last > first && !live_->HasKeptColours();
  for (int i = first; i <= last; ++i) {
    const bool defer = mayDefer && i < last && stack_->Command(i)->SelectsFacesOnly() &&
                       stack_->Command(i + 1)->SelectsFacesOnly();
    live_->DeferVertexFlags(defer);
    Replay(i, i != last);
    if (!defer) live_->FlushVertexFlags();
  }
  live_->DeferVertexFlags(false);
  live_->FlushVertexFlags();
}

void TStackController::ShowControls(TStackCommand& command) {
  window_.Panel().Clear();
  command.CreateControls(window_.Panel(), onChange_);
}

void TStackController::AddCommand(const TCommandDescriptor& descriptor,
                                  const TSceneChoice& choice) {
  if (!stack_) return;
  modified_ = true;
  TBusy busy(*this);
  TWait wait(window_);

  const int s = selected_;
  const int last = stack_->Count() - 1;
  if (s > 0) {
    StoreView(*stack_->Command(s));
    stack_->Command(s)->Release();
  }
  bool insert = false;
  if (s >= 0 && s < last) {
    const TAddMode mode = window_.AskAddMode();
    if (mode == TAddMode::Cancel) {
      // The released command is prepared again when a line is next made current.
      current_ = -1;
      return;
    }
    if (mode == TAddMode::Append) {
      for (int i = s + 1; i <= last; ++i) Replay(i, true);
    } else {
      insert = true;
    }
  }

  std::unique_ptr<TStackCommand> command =
      stack_->Target ? stack_->Target->CreateCommand(descriptor.CommandId, stack_.get()) : nullptr;
  if (command) {
    const std::int32_t id = descriptor.CommandId;
    if (id < 1 || id > 9) command->Prepare();
    TSceneObject object;
    if (id == 1 || id == 2 || id == 502 || id == 503) {
      if (choice.Group) object = choice.Group;
    } else if (id == 3 || id == 4) {
      if (choice.Material) object = choice.Material;
    } else if (id == 5 || id == 6) {
      if (choice.Entry) object = choice.Entry;
    } else if (id == 1000) {
      if (choice.MorphTarget) object = choice.MorphTarget;
    }
    TStackCommand* raw = command.get();
    const int at = insert ? s + 1 : stack_->Count();
    stack_->Commands.AtInsert(at, std::move(command));
    window_.ListInsert(at, raw->Caption);
    raw->SetObject(object);
    window_.ListSetText(at, raw->Caption);
    CheckResult(at);
    ShowControls(*raw);
    Select(at);
    current_ = at;
    StoreView(*raw);
    ApplyDisplayFlags(raw->DisplayFlags);
    window_.ViewSettingsChanged();
  } else {
    // No kind behind the descriptor: nothing was added, and the previous line is open again.
    current_ = -1;
    if (s >= 0) DoMakeCurrent(s);
  }
  window_.Redraw();
}

void TStackController::MakeCurrent(int t) {
  if (busy_) return;
  DoMakeCurrent(t);
}

void TStackController::DoMakeCurrent(int t) {
  if (!stack_ || t < 0 || t >= stack_->Count() || t == current_) return;
  TWait wait(window_);
  const int c = current_;
  if (c >= 0) {
    StoreView(*stack_->Command(c));
    stack_->Command(c)->Release();
  }
  if (c >= 0 && c < t) {
    ReplayRange(c + 1, t);
  } else {
    ReplayFromStart(t);
  }
  window_.RebuildSceneTree();
  {
    TBusy busy(*this);
    Select(t);
    RestoreView(*stack_->Command(t));
    ApplyDisplayFlags(stack_->Command(t)->DisplayFlags);
    ShowControls(*stack_->Command(t));
  }
  window_.ViewSettingsChanged();
  window_.Redraw();
  current_ = t;
}

void TStackController::ParameterChanged(IParamControl& sender) {
  if (busy_) return;
  modified_ = true;
  TStackCommand* command = sender.Tag;
  if (!command) return;
  TBusy busy(*this);
  command->ControlChanged(sender);
  CheckResult(stack_ ? stack_->Commands.IndexOf(command) : -1);
  window_.Redraw();
}

void TStackController::DeleteCommand(int line) {
  if (!stack_ || line <= 0 || line >= stack_->Count()) return;
  const int s = selected_;
  if (current_ >= 0 && current_ != line) StoreView(*stack_->Command(current_));
  const std::string question =
      "Delete command:" + stack_->Command(line)->PlainCaption() + "\r\nConfirm?";
  if (!window_.AskWarning(question)) return;
  TBusy busy(*this);
  // The current command was prepared; it lets go before it is removed.
  if (current_ == line) stack_->Command(line)->Release();
  stack_->Commands.Free(stack_->Command(line));
  window_.ListRemove(line);
  if (current_ >= 0 && current_ != line)
    stack_->Command(current_ > line ? current_ - 1 : current_)->Release();
  current_ = -1;
  const int next = std::min(s, stack_->Count() - 1);
  Select(next);
  DoMakeCurrent(next);
}

bool TStackController::ClearStack() {
  if (!stack_) return false;
  if (!window_.AskWarning("Do you want to clear the stack?")) return false;
  DropStack();
  return true;
}

void TStackController::DropStack() {
  if (selected_ > 0) {
    Select(0);
    DoMakeCurrent(0);
  }
  FreeStack();
}

void TStackController::FreeStack() {
  TBusy busy(*this);
  if (stack_) {
    if (stack_->Command(current_)) stack_->Command(current_)->Release();
    stack_->List = nullptr;
    stack_->WaitCursor = nullptr;
    stack_->SculptChooser = nullptr;
    stack_.reset();
  }
  current_ = selected_ = -1;
  window_.SetGoalEntries({});
  window_.ListClear();
  window_.Panel().Clear();
  window_.UpdateCommandButtons();
}

void TStackController::ShowGoalEntries() {
  std::vector<std::string> goals;
  if (stack_ && stack_->Target)
    stack_->Target->Goals.ForEach([&](const TStackGoal& g) { goals.push_back(g.Name); });
  window_.SetGoalEntries(goals);
}

void TStackController::FillCommandList() {
  window_.ListClear();
  for (std::int32_t i = 0; i < stack_->Count(); ++i)
    window_.ListInsert(i, CommandLineText(*stack_->Command(i)));
}

namespace {

// The full path a project is known by.
std::string FullPath(const std::string& fileName) {
  std::error_code ec;
  const std::filesystem::path full = std::filesystem::absolute(platform::PathOf(fileName), ec);
  return ec ? fileName : platform::NameOf(full.lexically_normal());
}

}  // namespace

void TStackController::FileFailed(const std::exception& e) {
  // A read or write cut short leaves the bar where it stopped.
  window_.Progress().SetPosition(0);
  window_.ShowError(e.what());
}

bool TStackController::SaveStack(const std::string& fileName) {
  if (!stack_) return false;
  if (TStackCommand* selected = stack_->Command(selected_); selected && selected_ > 0)
    StoreView(*selected);
  TWait wait(window_);
  try {
    WriteAnyStackFile(fileName, *stack_, &window_.Progress());
  } catch (const std::exception& e) {
    FileFailed(e);
    return false;
  }
  return true;
}

bool TStackController::LoadStack(const std::string& fileName) {
  TAnswer answer = TAnswer::Yes;
  if (stack_) {
    answer = window_.AskYesNoCancel(filetexts::kSubstitute);
    if (answer == TAnswer::Cancel) return false;
  }
  // The whole file is read before anything of the current stack changes.
  std::unique_ptr<TStackMng> loaded;
  {
    TWait wait(window_);
    try {
      loaded = ReadAnyStackFile(fileName, &window_.Progress());
    } catch (const std::exception& e) {
      FileFailed(e);
      return false;
    }
  }
  if (answer == TAnswer::No) {
    if (loaded->TargetId != stack_->TargetId) {
      window_.ShowError(filetexts::kCannotMerge);
      return false;
    }
    MergeLoadedStack(std::move(loaded));
    return true;
  }
  if (stack_) DropStack();
  InstallLoadedStack(std::move(loaded));
  return true;
}

std::string filetexts::MissingObjects(int count) {
  return count == 1 ? "1 command of the stack found no object in the meshes; its line shows "
                      "\"???\" in red."
                    : std::to_string(count) +
                          " commands of the stack found no object in the meshes; their lines "
                          "show \"???\" in red.";
}

namespace {
// Relinked commands whose object is missing carry a red caption.
bool ObjectMissing(const TStackCommand& command) { return command.Caption.starts_with("<c:Red>"); }
}  // namespace

void TStackController::InstallLoadedStack(std::unique_ptr<TStackMng> loaded) {
  modified_ = true;
  TBusy busy(*this);
  window_.Panel().Clear();
  live_->ResetMorphDials();
  stack_ = std::move(loaded);
  // The loaded commands will work on the meshes loaded now, found again by name.
  stack_->SetPristine(*live_);
  stack_->RelinkAll();
  int missing = 0;
  stack_->Commands.ForEach([&](const TStackCommand& c) { missing += ObjectMissing(c) ? 1 : 0; });
  // The view stored with the initial command gives way to the view of now.
  ShowNewStack();
  if (missing > 0) window_.ShowWarning(filetexts::MissingObjects(missing));
}

void TStackController::MergeLoadedStack(std::unique_ptr<TStackMng> loaded) {
  // The loaded initial command stays behind and goes with the loaded manager.
  int missing = 0;
  while (loaded->Count() > 1) {
    std::unique_ptr<TStreamableObject> item = loaded->Commands.AtDelete(1);
    auto& command = static_cast<TStackCommand&>(*item);
    command.Manager = stack_.get();
    // Not in the list yet, so a caption it refreshes is shown by the refill below.
    command.Relink();
    missing += ObjectMissing(command) ? 1 : 0;
    stack_->Commands.Insert(std::move(item));
  }
  loaded.reset();
  {
    TBusy busy(*this);
    FillCommandList();
    Select(selected_);
    modified_ = true;
  }
  if (missing > 0) window_.ShowWarning(filetexts::MissingObjects(missing));
}

void TStackController::NewProject() {
  FreeStack();
  live_ = std::make_unique<TMultiObjData>();
  live_->SetTreeNodes(treeNodes_);
  live_->SetTrackingMode(view_.TrackingMode);
  live_->SetColourMode(view_.ColourMode);
  live_->SetDisplayMode(view_.DisplayMode);
  live_->SetSide(view_.Side);
  modified_ = false;
}

bool TStackController::LoadProject(const std::string& fileName) {
  TProject project;
  {
    TWait wait(window_);
    try {
      project = ReadProject(fileName, &window_.Progress());
    } catch (const std::exception& e) {
      FileFailed(e);
      return false;
    }
  }
  TWait wait(window_);
  FreeStack();
  live_ = std::move(project.State);
  live_->SetTreeNodes(treeNodes_);
  live_->Name = FullPath(fileName);
  window_.RebuildSceneTree();
  {
    TBusy busy(*this);
    view_.TrackingMode = live_->TrackingMode;
    view_.ColourMode = live_->ColourMode;
    view_.DisplayMode = live_->DisplayMode;
    view_.Side = live_->Side;
    live_->SetSide(live_->Side);
    window_.ViewSettingsChanged();
  }
  if (project.Stack) {
    TBusy busy(*this);
    stack_ = std::move(project.Stack);
    stack_->List = this;
    stack_->WaitCursor = &window_;
    stack_->SculptChooser = window_.SculptChooser();
    // The stored edit state is the state before the first command: nothing is replayed, and
    // the commands' indices and Ids refer to these very meshes.
    stack_->SetPristine(*live_);
    FillCommandList();
    current_ = 0;
    Select(0);
    ApplyDisplayFlags(stack_->Command(0)->DisplayFlags);
    ShowGoalEntries();
    window_.UpdateCommandButtons();
    window_.ViewSettingsChanged();
  }
  window_.Redraw();
  modified_ = false;
  return true;
}

bool TStackController::SaveProject(const std::string& fileName) {
  const std::string previousName = live_->Name;
  live_->Name = FullPath(fileName);
  TWait wait(window_);
  try {
    WriteProject(fileName, stack_ ? *stack_->Pristine : *live_, stack_.get(), &window_.Progress());
  } catch (const std::exception& e) {
    live_->Name = previousName;
    FileFailed(e);
    return false;
  }
  modified_ = false;
  return true;
}

void TStackController::RunGoal(int index) {
  if (!stack_ || !stack_->Target || index < 0 || index >= stack_->Target->Goals.Count()) return;
  const int last = stack_->Count() - 1;
  if (selected_ != last || current_ != last) {
    Select(last);
    DoMakeCurrent(last);
  }
  TStackGoal& goal = *stack_->Target->Goals[index];
  {
    TWait wait(window_);
    goal.Run(window_, *live_, *stack_->Pristine);
  }
  Select(0);
  DoMakeCurrent(0);
  ClearStack();
}

void TStackController::StoreView(TStackCommand& command) {
  if (!command.StatusInfo) command.StatusInfo = std::make_unique<TStatusInfo>();
  TStatusInfo& info = *command.StatusInfo;
  info.Options.PickMode = view_.PickMode;
  info.Options.CameraMode = view_.CameraMode;
  info.Options.TrackingMode = view_.TrackingMode;
  info.Options.ColourMode = view_.ColourMode;
  info.Options.DisplayMode = view_.DisplayMode;
  info.Options.FaceCulling = view_.FaceCulling ? 1 : 0;
  info.Options.BackFaceMode = view_.BackFaceFill ? 1 : 0;
  info.Options.Side = view_.Side;
  info.CameraPosition = view_.CameraPosition;
  info.LightPosition = view_.LightPosition;
  info.TargetPosition = view_.TargetPosition;
  info.Objects = live_->SaveViewState();
}

void TStackController::RestoreView(TStackCommand& command) {
  if (!command.StatusInfo) return;
  const TStatusInfo& info = *command.StatusInfo;
  view_.PickMode = info.Options.PickMode;
  view_.CameraMode = info.Options.CameraMode;
  view_.TrackingMode = info.Options.TrackingMode;
  live_->SetTrackingMode(view_.TrackingMode);
  SetColourMode(info.Options.ColourMode);
  view_.DisplayMode = info.Options.DisplayMode;
  live_->SetDisplayMode(view_.DisplayMode);
  view_.FaceCulling = info.Options.FaceCulling != 0;
  view_.BackFaceFill = info.Options.BackFaceMode != 0;
  view_.Side = info.Options.Side;
  live_->SetSide(view_.Side);
  view_.CameraPosition = info.CameraPosition;
  view_.LightPosition = info.LightPosition;
  view_.TargetPosition = info.TargetPosition;
  if (info.Objects) live_->RestoreViewState(*info.Objects);
}

void TStackController::ApplyDisplayFlags(std::int32_t flags) {
  view_.VertexPoints = (flags & display::kVertexPoints) != 0;
  const int pick = display::PickModeOf(flags);
  if (pick >= 0) view_.PickMode = static_cast<std::uint8_t>(pick);
}

}  // namespace tarvel
