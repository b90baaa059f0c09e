// The main window: a thin Qt shell over the headless stack controller. It owns the controller
// (and through it the live edit state and the stack), the scene tree, the command list, the
// parameter panel and the viewport, and wires every menu entry, action, tool page and button to
// the controller's operations.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/About.h"
#include "app/FileFlows.h"
#include "app/StartUp.h"
#include "app/ViewFactory.h"
#include "commands/Sculpt.h"
#include "stack/StackController.h"

class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace tarvel {

class TCommandList;
class TFormAbout;
class TFormAddComMode;
class TFormCreateMorph;
class TFormHelp;
class TFormMtName;
class TFormStackComm;
class TQtParamPanel;
class TSceneTree;

// Every question, message box and dialog of the main window; the window's own implementation
// shows them modally, tests script the answers.
class IFormPrompts {
 public:
  virtual ~IFormPrompts() = default;
  // A modal message box owned by the window: the button pressed.
  virtual QMessageBox::StandardButton Message(const QString& title, const QString& text,
                                              QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons) = 0;
  // "Add command in stack": the chosen kind of the target, none when cancelled.
  virtual const TCommandDescriptor* ChooseCommand(const TStackTarget& target) = 0;
  // Where a new command goes while the selected line is not the last one.
  virtual TAddMode AskAddMode() = 0;
  // "Create a morph target": the name, none when cancelled.
  virtual std::optional<std::string> AskMorphName(const TMorphNameRequest& request) = 0;
  // An open dialog for an existing file: the chosen file, empty when cancelled.
  virtual QString AskOpenFileName(const TFileDialogInfo& dialog) = 0;
  // A save dialog: the chosen file, empty when cancelled. The window itself adds the default
  // extension and asks before an existing file is replaced.
  virtual QString AskSaveFileName(const TFileDialogInfo& dialog) = 0;
  // "Add shape interpolation target" with the edit preset to `proposed`: the edit's text
  // (untrimmed) on OK, none on Cancel.
  virtual std::optional<std::string> AskTargetName(std::string_view proposed) = 0;
  // A folder dialog for an existing folder: the chosen folder, empty when cancelled.
  virtual QString AskFolder(const QString& title) = 0;
  virtual void ShowAbout() = 0;
  // Asks the desktop to open a file or link with its default program.
  virtual void ShellOpen(const QUrl& target) = 0;
};

struct TFormMainOptions {
  QString ExePath;          // empty: the running program
  QString IniFile;          // empty: beside the executable, or in the configuration folder
  QString TutorialsFolder;  // empty: "Tutorials" beside the executable
  bool ShowSplash = true;
  bool WriteRegistry = true;
  IFormPrompts* Prompts = nullptr;  // none: the window's own dialogs
  TViewFactory CreateView;          // none: CreateViewArea
};

class TFormMain : public QMainWindow, public IStackWindow {
  Q_OBJECT

 public:
  // Tags of the tool buttons that are not command buttons.
  static constexpr int kTagCursor = 29000;  // 29000, 29001, 29002: default, panning, zoom
  static constexpr int kTagCamera = 29010;
  static constexpr int kTagColour = 29020;
  static constexpr int kTagSide = 29030;
  static constexpr int kTagFaces = 29040;
  static constexpr int kTagFrame = 29050;
  static constexpr int kTagWeights = 29060;
  static constexpr int kLastCommandTag = 28999;

  explicit TFormMain(const TFormMainOptions& options = {}, QWidget* parent = nullptr);
  ~TFormMain() override;

  // When the project is modified, asks whether to save it first: Yes saves (true when the save
  // succeeded), No gives true, Cancel false. Unmodified: true without asking.
  bool AskSaveIfModified();
  void RefreshTitle();
  // The checked state of every view action and the pressed state of its button.
  void UpdateViewActions();
  // Enables the Stack menu's entries and the actions of the stack.
  void UpdateStackActions();
  void ClearParameterPanel();
  void RebuildTree();
  void FillCommandList();

  // Opens a file named on the command line or in the recent-file list by its extension: a Poser
  // OBJ file is added to the scene, a project (".vnx") replaces the work after asking to save,
  // a stack (".stk") is loaded onto the figures as "Load stack" does. False when nothing was
  // opened.
  bool OpenFile(const QString& fileName);
  // Loads a stack file onto the current figures; the substitution question and any error come
  // from the controller. False when the file was not loaded.
  bool LoadStackFile(const QString& fileName);
  // Adds the mesh of a Poser OBJ file. While a stack exists, line 0 is made current first and
  // the new mesh joins the stack's pristine state. False when the file does not exist or cannot
  // be read (then an "Error" box gives the reason and nothing changed).
  bool LoadPoserObj(const QString& fileName);
  // Replaces the work by the project's: line 0 current, not modified, the file in the title.
  // A file that cannot be read is reported and the work stays as it was.
  bool LoadProject(const QString& fileName);
  bool SaveProject(const QString& fileName);
  // "&New project": asks to save, then starts again with an empty scene.
  void NewProject();
  // "Load full-body morph...": the sculpt becomes a "Use sculpted shape" command with every
  // vertex selected, at the end of the stack (a new one when none is open), and the goal runs.
  // A file that cannot be read, or whose vertex count fits no mesh, is reported and changes
  // nothing. False then.
  bool LoadFullBodyMorph(const QString& fileName);
  // "Export all targets...": every morph target of the mesh into a folder chosen once, as
  // GROUP/TARGET.obj, with one overwrite question for the whole set.
  void ExportAllTargets(const TObjData* mesh);

  // Placement of the window and widths of the tree and the centre panel.
  TPlacement Placement() const;
  void ApplyPlacement(const TPlacement& placement);
  // Writes the placement and the recent-file list to the INI file.
  void WriteSettings();
  const QString& IniFile() const { return iniFile_; }
  const TRecentFiles& RecentFiles() const { return recent_; }
  // The File menu's recent-file entries, one per name of the list, most recent first.
  const std::vector<QAction*>& RecentItems() const { return recentItems_; }

  TStackController& Controller() { return controller_; }
  IViewArea& View() { return *viewArea_; }
  TSceneTree* Tree() const { return tree_; }
  TCommandList* CommandList() const { return list_; }
  TQtParamPanel* ParamPanel() const { return panel_; }
  QTabWidget* ToolPages() const { return toolPages_; }
  QLabel* HintLabel() const { return hintLabel_; }
  QProgressBar* ProgressBar() const { return progressBar_; }
  QMenu* FileMenu() const { return mnuFile_; }
  QMenu* DisplayMenu() const { return mnuDisplay_; }
  QMenu* StackMenu() const { return mnuStack_; }
  QMenu* HelpMenu() const { return mnuHelp_; }
  QMenu* TutorialsMenu() const { return mnuTutorials_; }
  QAction* ClearStackItem() const { return mnuClearStack_; }
  const std::vector<QAction*>& GoalItems() const { return goalItems_; }
  const std::vector<QAction*>& TargetItems() const { return targetItems_; }
  // The tool buttons with this tag, in page order.
  std::vector<QToolButton*> ToolButtons(int tag) const;
  // Every command button (tags 1 to 28999).
  const std::vector<QToolButton*>& CommandButtons() const { return commandButtons_; }
  QToolButton* FaceCullingButton() const { return btnFaceCulling_; }
  QToolButton* BackFacesButton() const { return btnBackFaces_; }
  QToolButton* CameraSlotButton(int slot) const { return btnCameraSlot_[slot]; }
  int CursorMode() const { return cursorMode_; }
  // Whether the faces show their soft weights ("Show weights").
  bool ShowWeights() const { return showWeights_; }
  const QCursor& ZoomCursor() const { return crMagnif_; }
  const QCursor& PanningCursor() const { return crPanning_; }
  TFormHelp* HelpWindow() const { return help_; }
  // The object whose scene-tree pop-up menu was used last.
  const TSceneChoice& Popup() const { return popup_; }
  // Opens the guide at the help context's page.
  void ShowHelp(int context);
  // The help context of a widget or of the nearest parent that has one; 0 for none.
  static int HelpContextOf(const QWidget* widget);

  // IStackWindow
  bool AskWarning(std::string_view text) override;
  TAnswer AskYesNoCancel(std::string_view text) override;
  void ShowError(std::string_view text) override;
  void ShowWarning(std::string_view text) override;
  TAddMode AskAddMode() override;
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override;
  void ListClear() override;
  void ListInsert(int index, std::string_view text) override;
  void ListRemove(int index) override;
  void ListSetText(int index, std::string_view text) override;
  void ListSelect(int index) override;
  IParamPanel& Panel() override;
  void SetGoalEntries(const std::vector<std::string>& names) override;
  void UpdateCommandButtons() override;
  void RebuildSceneTree() override { RebuildTree(); }
  void ViewSettingsChanged() override;
  void Redraw() override;
  void BeginWait() override;
  void EndWait() override;
  IProgress& Progress() override;
  ISculptFileChooser* SculptChooser() override { return sculptChooser_.get(); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class TQtPrompts;
  class TBarProgress;

  void CreateDialogs();
  void CreateActions();
  void CreateMenus();
  void CreateToolPages();
  void CreateLayout(const TViewFactory& createView);
  void CreateStatusBar();
  void CreateHelp();
  void ReadSettings();
  void BuildTargetItems();
  void BuildTutorialsMenu();
  void BuildRecentItems();
  QAction* NewAction(const char* name, const QString& caption, const QString& hint = {});
  QToolButton* NewToolButton(QWidget* page, int tag, const QString& picture, const QString& hint);

  // Handlers of the menus, actions and buttons.
  void SetCameraMode(int mode);
  void SetColourMode(int mode);
  void SetTrackingMode(int mode);
  void SetDisplayMode(int mode);
  void SetSide(int side);
  void SetCursorMode(int mode);
  void ActFaceCullingExecute();
  void ActBackFacesModeExecute();
  void ActShowGroundExecute();
  void ActShowWeightsExecute();
  void CameraSlotClick(int slot);
  void CommandButtonClick(int tag);
  void ActStackAddCommExecute();
  void AddCommand(const TCommandDescriptor& descriptor, const TSceneChoice& choice);
  void NewStackClick(const TStackTarget& target);
  void GoalClick(int index);
  void MnuClearStackClick();
  void ActSaveExecute();
  void ActSavePrjExecute();
  void GroupPicked(TGroup& group);
  // The file flows with their dialogs (FileFlows.cpp).
  void ActLoadPrjExecute();
  void MnuLoadObjClick();
  void MnuSnapshotClick();
  void ActLoadStackExecute();
  void ActSaveStackExecute();
  void ImportMorphTarget(TGroup* group);
  void ExportMorphTarget(TMorphTarget* target);
  void InstallSculptChooser();
  void MnuLoadFullBodyClick();
  void MnuExportAllClick();
  void AddRecentFile(const QString& fileName);
  // The folder last used for a kind of file, kept in the INI file; empty when none yet.
  QString LastFolder(const QString& kind) const;
  void RememberFolder(const QString& kind, const QString& fileName);
  // The open dialog's file, empty when cancelled.
  QString AskOpenFile(const TFileDialogInfo& dialog);
  // The save dialog's file with its default extension, empty when cancelled; an existing file
  // is replaced only after the overwrite question was answered Yes (No opens the dialog again).
  QString AskSaveFile(const TFileDialogInfo& dialog);
  // Catches what an operation throws, so that nothing escapes a slot.
  void Guarded(const std::function<void()>& operation);

  TStackController controller_;
  std::unique_ptr<IFormPrompts> ownPrompts_;
  IFormPrompts* prompts_ = nullptr;
  std::unique_ptr<TBarProgress> progress_;
  // The file dialog of "Use sculpted shape" (FileFlows.cpp); muted while the window gives the
  // command its file itself.
  std::unique_ptr<ISculptFileChooser> sculptChooser_;
  bool sculptDialogMuted_ = false;
  QString exePath_;
  QString iniFile_;
  QString tutorialsFolder_;
  TRecentFiles recent_;
  QPointer<QWidget> splash_;

  int cursorMode_ = 0;
  bool showWeights_ = false;
  TSceneChoice popup_;
  QCursor crMagnif_;
  QCursor crPanning_;

  // Dialogs, owned by the window.
  TFormStackComm* dlgStackComm_ = nullptr;
  TFormAddComMode* dlgAddComMode_ = nullptr;
  TFormMtName* dlgMtName_ = nullptr;
  TFormCreateMorph* dlgCreateMorph_ = nullptr;
  TFormAbout* dlgAbout_ = nullptr;
  TFormHelp* help_ = nullptr;

  // Layout.
  QTabWidget* toolPages_ = nullptr;
  QSplitter* mainSplitter_ = nullptr;
  QSplitter* centreSplitter_ = nullptr;
  TSceneTree* tree_ = nullptr;
  TCommandList* list_ = nullptr;
  TQtParamPanel* panel_ = nullptr;
  QWidget* viewWidget_ = nullptr;
  IViewArea* viewArea_ = nullptr;
  QLabel* hintLabel_ = nullptr;
  QProgressBar* progressBar_ = nullptr;

  // Menus and their entries.
  QMenu* mnuFile_ = nullptr;
  QMenu* mnuDisplay_ = nullptr;
  QMenu* mnuStack_ = nullptr;
  QMenu* mnuHelp_ = nullptr;
  QMenu* mnuTutorials_ = nullptr;
  QAction* mnuNewProject_ = nullptr;
  QAction* mnuLoadObj_ = nullptr;
  QAction* mnuSnapshot_ = nullptr;
  QAction* mnuFullBody_ = nullptr;
  QAction* mnuExportAll_ = nullptr;
  QAction* mnuExit_ = nullptr;
  QAction* mnuClearStack_ = nullptr;
  QAction* mnuContents_ = nullptr;
  QAction* mnuAbout_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  std::vector<QAction*> recentItems_;
  std::vector<QAction*> goalItems_;
  std::vector<QAction*> targetItems_;

  // Actions.
  QAction* ActLoadPrj = nullptr;
  QAction* ActSave = nullptr;
  QAction* ActSavePrj = nullptr;
  QAction* ActCamPointZero = nullptr;
  QAction* ActCamPointGroup = nullptr;
  QAction* ActCamCentreScene = nullptr;
  QAction* ActCamLock = nullptr;
  QAction* ActColGroup = nullptr;
  QAction* ActColMatEdit = nullptr;
  QAction* ActColSelection = nullptr;
  QAction* ActTrackFull = nullptr;
  QAction* ActTrackBox = nullptr;
  QAction* ActTrackWire = nullptr;
  QAction* ActDisplWire = nullptr;
  QAction* ActDisplShaded = nullptr;
  QAction* ActFaceCulling = nullptr;
  QAction* ActBackFacesMode = nullptr;
  QAction* ActShowGround = nullptr;
  QAction* ActFrameAll = nullptr;
  QAction* ActFrameSelection = nullptr;
  QAction* ActShowWeights = nullptr;
  QAction* ActMeshViewAll = nullptr;
  QAction* ActMeshViewRight = nullptr;
  QAction* ActMeshViewLeft = nullptr;
  QAction* ActCursDefault = nullptr;
  QAction* ActCursPanning = nullptr;
  QAction* ActCursZoom = nullptr;
  QAction* ActStackAddComm = nullptr;
  QAction* ActLoadStack = nullptr;
  QAction* ActSaveStack = nullptr;

  // Tool buttons.
  std::vector<QToolButton*> commandButtons_;
  std::vector<QToolButton*> cursorButtons_;
  std::vector<QToolButton*> cameraButtons_;  // in camera-mode order 0..3
  std::vector<QToolButton*> colourButtons_;  // colour modes 1..3
  std::vector<QToolButton*> sideButtons_;    // sides 0..2
  QToolButton* btnCameraSlot_[3] = {};
  QToolButton* btnFaceCulling_ = nullptr;
  QToolButton* btnBackFaces_ = nullptr;
  QToolButton* btnFrameAll_ = nullptr;
  QToolButton* btnShowWeights_ = nullptr;
};

}  // namespace tarvel
