// The main window's stack operations without the window: new stack, add, make current,
// parameter change, delete, clear, goal, and the view kept with each command. Everything the
// window does around them goes through IStackWindow, so every flow runs headless.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "stack/MultiObjData.h"
#include "stack/ParamPanel.h"
#include "stack/StackCommand.h"
#include "stack/StackMng.h"
#include "stack/StackTarget.h"

namespace tarvel {

// The application's view settings, as plain data; they start at these values.
struct TViewSettings {
  std::uint8_t PickMode = 1;      // 0 none, 1 and 2 group, 3 and 4 vertex
  std::uint8_t CameraMode = 0;    // 0 (0,0,0), 1 group, 2 scene centre, 3 locked
  std::uint8_t TrackingMode = 1;  // 0 full, 1 box, 2 wire
  std::uint8_t ColourMode = 1;    // 1 groups, 2 materials, 3 selection
  std::uint8_t DisplayMode = 1;   // 0 lit wireframe, 1 smooth shaded
  bool FaceCulling = true;
  bool BackFaceFill = false;
  bool GroundShown = true;
  bool VertexPoints = false;
  std::uint8_t Side = 0;  // 0 whole, 1 right, 2 left
  TPoint3 CameraPosition{0, 0.5f, 2.0f};
  TPoint3 LightPosition{0, 2.0f, 2.0f};
  TPoint3 TargetPosition{0, 0.35f, 0};
};

enum class TAddMode { Insert, Append, Cancel };
enum class TAnswer { Yes, No, Cancel };

// The scene tree's current choice of each kind of object (or the object whose pop-up menu was
// used); a new command takes the one of the kind it needs.
struct TSceneChoice {
  TGroup* Group = nullptr;
  TMaterial* Material = nullptr;
  TGroupMatInfo* Entry = nullptr;
  TMorphTarget* MorphTarget = nullptr;
};

// What the controller asks of the main window.
class IStackWindow : public IMorphNamer, public IWaitCursor {
 public:
  // A "Warning" box with Yes and No; true for Yes.
  virtual bool AskWarning(std::string_view text) = 0;
  // A "Warning" box with Yes, No and Cancel.
  virtual TAnswer AskYesNoCancel(std::string_view text) = 0;
  // An "Error" box.
  virtual void ShowError(std::string_view text) = 0;
  // A "Warning" box with an OK button; a window without one shows it as an error.
  virtual void ShowWarning(std::string_view text) { ShowError(text); }
  // "Add command in stack": insert at the current position, or add at the end.
  virtual TAddMode AskAddMode() = 0;

  // The command list: one line per command, in stack order.
  virtual void ListClear() = 0;
  virtual void ListInsert(int index, std::string_view text) = 0;
  virtual void ListRemove(int index) = 0;
  virtual void ListSetText(int index, std::string_view text) = 0;
  virtual void ListSelect(int index) = 0;

  virtual IParamPanel& Panel() = 0;
  // One Stack-menu entry per goal of the current stack (none after the stack is cleared).
  virtual void SetGoalEntries(const std::vector<std::string>& names) = 0;
  // Enables the tool buttons of the available command ids.
  virtual void UpdateCommandButtons() = 0;
  virtual void RebuildSceneTree() = 0;
  // The view settings changed: apply them to the viewport, actions and buttons.
  virtual void ViewSettingsChanged() = 0;
  virtual void Redraw() = 0;
  // The status bar's progress bar, driven while project and stack files are read and written.
  virtual IProgress& Progress() = 0;
  // The file dialog of "Use sculpted shape"; a window without one gives none, and such commands
  // wait for their file.
  virtual ISculptFileChooser* SculptChooser() { return nullptr; }
};

// The questions and errors of the stack and project files.
namespace filetexts {
inline constexpr const char* kSubstitute =
    "The Stack is not empty!\r\nDo yoy want substitute this stack?\r\nIf you choose 'No' "
    "commands will be added at the end of the current stack.";
inline constexpr const char* kCannotMerge =
    "I can't merge the new stack commands with current because the stacks have different goals";
// After a stack was loaded: how many of its commands found no object in the meshes.
std::string MissingObjects(int count);
}  // namespace filetexts

class TStackController : private ICommandLines {
 public:
  explicit TStackController(IStackWindow& window);
  ~TStackController() override;
  TStackController(const TStackController&) = delete;
  TStackController& operator=(const TStackController&) = delete;

  // New stack of the target over the live state; nothing while a stack exists.
  void NewStack(const TStackTarget& target);
  // Adds a command of the kind, taking its object from `choice`.
  void AddCommand(const TCommandDescriptor& descriptor, const TSceneChoice& choice = {});
  // A click on line t of the command list.
  void MakeCurrent(int line);
  // The change handler given to every parameter control.
  void ParameterChanged(IParamControl& sender);
  // Deletes the command at `line` (never line 0) after asking.
  void DeleteCommand(int line);
  // Asks, then clears the stack; returns whether it was cleared.
  bool ClearStack();
  // Runs goal `index` of the stack's target.
  void RunGoal(int index);

  // The file operations. Each reports a failure through ShowError and returns false; a file
  // that cannot be read changes nothing, and a save that fails leaves the old file as it was.
  //
  // Saves the stack, with the view of the selected line stored first. Leaves Modified alone.
  bool SaveStack(const std::string& fileName);
  // Loads a stack file. Without a stack it becomes the stack; with one, the substitution
  // question decides: Yes puts it in place of the current stack, No appends its commands
  // (after the initial one) to the current stack, Cancel stops before the file is read.
  // True when the stack changed.
  bool LoadStack(const std::string& fileName);
  // Frees the stack and the live state without asking and starts again with an empty edit
  // state that takes the view settings' modes; not modified.
  void NewProject();
  // Replaces the live state and the stack by the project's; line 0 current, nothing replayed.
  bool LoadProject(const std::string& fileName);
  // Writes the project: the pristine copy and the stack when a stack exists, else the live
  // state. Live.Name becomes the file's path.
  bool SaveProject(const std::string& fileName);
  // A vertex picked in the viewport, offered to the command of the selected line; true when the
  // command took it (the view was then redrawn). Nothing without a selected line.
  bool PickVertex(TObjVertex& vertex);
  // The command of the selected line, or none.
  TStackCommand* SelectedCommand() const;

  void StoreView(TStackCommand& command);
  void RestoreView(TStackCommand& command);
  void ApplyDisplayFlags(std::int32_t flags);
  // Sets a view option through the edit state too, as the view actions do.
  void SetColourMode(std::uint8_t mode);

  TMultiObjData& Live() { return *live_; }
  const TMultiObjData& Live() const { return *live_; }
  // Replaces the live state (loading a project); any stack must be gone.
  void SetLive(std::unique_ptr<TMultiObjData> live);
  // The scene tree that shows the live state, given to it and to every live state after it;
  // none when the tree goes.
  void SetTreeNodes(ITreeNodeSink* tree);
  TStackMng* Stack() const { return stack_.get(); }
  bool Busy() const { return busy_; }
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }
  int CurrentLine() const { return current_; }
  int SelectedLine() const { return selected_; }
  TViewSettings& View() { return view_; }
  const TViewSettings& View() const { return view_; }
  const TChangeHandler& ChangeHandler() const { return onChange_; }

 private:
  void SetLineText(const TStackCommand* command, std::string_view text) override;
  void Select(int line);
  void DoMakeCurrent(int line);
  void Replay(int line, bool release);
  // Marks the command of `line` as failed when its result holds a non-finite position, or
  // clears the mark, and shows its line accordingly.
  void CheckResult(int line);
  void ReplayFromStart(int last);
  // Replays lines first..last; all but the last are released.
  void ReplayRange(int first, int last);
  void ShowControls(TStackCommand& command);
  // Back to the pristine state, then the stack is freed and its lines and goals go.
  void DropStack();
  // Frees the stack without touching the live state.
  void FreeStack();
  void InstallLoadedStack(std::unique_ptr<TStackMng> loaded);
  void MergeLoadedStack(std::unique_ptr<TStackMng> loaded);
  void FillCommandList();
  void ShowGoalEntries();
  void ShowNewStack();
  // Reports a file operation that failed.
  void FileFailed(const std::exception& e);

  struct TBusy {
    explicit TBusy(TStackController& c) : c_(c), was_(c.busy_) { c.busy_ = true; }
    ~TBusy() { c_.busy_ = was_; }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;
    TStackController& c_;
    bool was_;
  };
  struct TWait {
    explicit TWait(IStackWindow& w) : w_(w) { w.BeginWait(); }
    ~TWait() { w_.EndWait(); }
    TWait(const TWait&) = delete;
    TWait& operator=(const TWait&) = delete;
    IStackWindow& w_;
  };

  IStackWindow& window_;
  ITreeNodeSink* treeNodes_ = nullptr;
  std::unique_ptr<TMultiObjData> live_;
  std::unique_ptr<TStackMng> stack_;
  bool busy_ = false;
  bool modified_ = false;
  int current_ = -1;
  int selected_ = -1;
  TViewSettings view_;
  TChangeHandler onChange_;
};

}  // namespace tarvel
