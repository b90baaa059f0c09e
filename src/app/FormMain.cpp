#include "app/FormMain.h"

#include <QActionGroup>
#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWhatsThisClickedEvent>
#include <exception>

#include "app/CommandList.h"
#include "app/HelpWindow.h"
#include "app/Pictures.h"
#include "app/QtParamPanel.h"
#include "app/SceneTree.h"
#include "app/StackDialogs.h"
#include "app/UiText.h"
#include "commands/Kinds.h"

namespace tarvel {

namespace {

constexpr const char* kTitle = "Tarvel V.1.0a  ";
constexpr const char* kAskSave = "The project is modified!\r\nDo you want to save now?";
constexpr const char* kTagProperty = "tag";
constexpr const char* kHelpContextProperty = "HelpContext";

// "Description (*.ext)|*.ext|..." as Qt writes filters: "Description (*.ext);;...".
QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) out.push_back(parts[i]);
  return out.join(";;");
}

}  // namespace

// The status bar's progress bar as the readers and writers drive it.
class TFormMain::TBarProgress : public IProgress {
 public:
  explicit TBarProgress(QProgressBar* bar) : bar_(bar) {}
  void SetRange(int minimum, int maximum) override { bar_->setRange(minimum, maximum); }
  void SetPosition(int position) override {
    if (position == bar_->value()) return;
    bar_->setValue(position);
    bar_->repaint();
  }

 private:
  QProgressBar* bar_;
};

namespace {

// The normal cursor while a question or dialog is up, though it may come in the middle of a long
// operation (the insert-or-append question, an error while reading); the hourglass comes back.
class TNormalCursor {
 public:
  TNormalCursor() {
    for (; QApplication::overrideCursor(); ++lifted_) QApplication::restoreOverrideCursor();
  }
  ~TNormalCursor() {
    for (int i = 0; i < lifted_; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
  }
  TNormalCursor(const TNormalCursor&) = delete;
  TNormalCursor& operator=(const TNormalCursor&) = delete;

 private:
  int lifted_ = 0;
};

}  // namespace

// The window's own questions and dialogs, shown modally in front of it.
class TFormMain::TQtPrompts : public IFormPrompts {
 public:
  explicit TQtPrompts(TFormMain& form) : form_(form) {}

  QMessageBox::StandardButton Message(const QString& title, const QString& text,
                                      QMessageBox::Icon icon,
                                      QMessageBox::StandardButtons buttons) override {
    const TNormalCursor cursor;
    QMessageBox box(icon, title, text, buttons, &form_);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
  const TCommandDescriptor* ChooseCommand(const TStackTarget& target) override {
    const TNormalCursor cursor;
    return form_.dlgStackComm_->Ask(target);
  }
  TAddMode AskAddMode() override {
    const TNormalCursor cursor;
    return form_.dlgAddComMode_->Ask();
  }
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
    const TNormalCursor cursor;
    return form_.dlgCreateMorph_->Ask(request);
  }
  QString AskOpenFileName(const TFileDialogInfo& info) override {
    QFileDialog dialog(&form_, info.Title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog, info);
  }
  QString AskSaveFileName(const TFileDialogInfo& info) override {
    QFileDialog dialog(&form_, info.Title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The window asks the overwrite question itself, after the default extension is added.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    return Run(dialog, info);
  }
  std::optional<std::string> AskTargetName(std::string_view proposed) override {
    const TNormalCursor cursor;
    return form_.dlgMtName_->Ask(proposed);
  }
  QString AskFolder(const QString& title) override {
    const TNormalCursor cursor;
    QFileDialog dialog(&form_, title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }
  void ShowAbout() override { form_.dlgAbout_->exec(); }
  void ShellOpen(const QUrl& target) override { QDesktopServices::openUrl(target); }

 private:
  // Every file dialog is resizable and starts with its first filter.
  static QString Run(QFileDialog& dialog, const TFileDialogInfo& info) {
    const TNormalCursor cursor;
    dialog.setSizeGripEnabled(true);
    dialog.setNameFilter(QtFilter(info.Filter));
    dialog.setDefaultSuffix(info.DefaultExtension);
    // A name typed without extension gets the one of the filter chosen last.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& f) {
      const qsizetype dot = f.lastIndexOf("*.");
      if (dot >= 0) dialog.setDefaultSuffix(f.mid(dot + 2).chopped(f.endsWith(')') ? 1 : 0));
    });
    if (!info.Folder.isEmpty()) dialog.setDirectory(info.Folder);
    if (!info.ProposedName.isEmpty()) dialog.selectFile(info.ProposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  TFormMain& form_;
};

// ---------------------------------------------------------------------------------------------
// Start-up

TFormMain::TFormMain(const TFormMainOptions& options, QWidget* parent)
    : QMainWindow(parent), controller_(*this) {
  setObjectName("FormMain");
  exePath_ = options.ExePath.isEmpty() ? QCoreApplication::applicationFilePath() : options.ExePath;
  const QString exeFolder = QFileInfo(exePath_).absolutePath();
  iniFile_ = options.IniFile.isEmpty() ? IniFileName(exePath_, ConfigFolder()) : options.IniFile;
  tutorialsFolder_ =
      options.TutorialsFolder.isEmpty() ? TutorialsFolder(exeFolder) : options.TutorialsFolder;
  if (options.Prompts) {
    prompts_ = options.Prompts;
  } else {
    ownPrompts_ = std::make_unique<TQtPrompts>(*this);
    prompts_ = ownPrompts_.get();
  }

  if (options.ShowSplash) {
    auto* splash = new TFormSplash;
    splash->show();
    splash->repaint();
    splash_ = splash;
  }

  setWindowIcon(SvgIcon(":/tarvel.svg"));
  CreateActions();
  CreateMenus();
  CreateLayout(options.CreateView ? options.CreateView : TViewFactory(CreateViewArea));
  CreateStatusBar();
  CreateDialogs();
  CreateHelp();

  if (!QFileInfo::exists(iniFile_)) {
    // First start: the whole work area of the desktop.
    if (const QScreen* s = screen()) setGeometry(s->availableGeometry());
  }
  if (options.WriteRegistry) {
    QSettings registry(QSettings::NativeFormat, QSettings::UserScope, "Quillon", "Tarvel");
    WriteRegistryValues(registry, exePath_);
  }

  progress_ = std::make_unique<TBarProgress>(progressBar_);
  InstallSculptChooser();
  hintLabel_->clear();
  crMagnif_ = LoadCursor("MAGNIF");
  crPanning_ = LoadCursor("PANNING");
  ReadSettings();
  BuildTargetItems();

  RebuildTree();
  viewArea_->ApplyViewSettings();
  UpdateViewActions();
  viewArea_->RefreshPointSize();
  toolPages_->setCurrentIndex(0);
  if (auto* strip = qobject_cast<QScrollArea*>(toolPages_->widget(0)))
    strip->horizontalScrollBar()->setValue(0);
  UpdateCommandButtons();
  UpdateStackActions();
  RefreshTitle();
  BuildTutorialsMenu();
}

TFormMain::~TFormMain() {
  // The widgets that look at the edit state and the stack go before them.
  delete takeCentralWidget();
  if (splash_) delete splash_.data();
}

void TFormMain::CreateDialogs() {
  dlgStackComm_ = new TFormStackComm(this);
  dlgStackComm_->ShowError = [this](const QString& text) {
    prompts_->Message("Error", text, QMessageBox::Critical, QMessageBox::Ok);
  };
  dlgAddComMode_ = new TFormAddComMode(this);
  dlgMtName_ = new TFormMtName(this);
  dlgCreateMorph_ = new TFormCreateMorph(this);
  dlgAbout_ = new TFormAbout([this](const QUrl& url) { prompts_->ShellOpen(url); }, this);
}

QAction* TFormMain::NewAction(const char* name, const QString& caption, const QString& hint) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  if (!hint.isEmpty()) {
    action->setToolTip(hint);
    action->setStatusTip(hint);
  }
  return action;
}

void TFormMain::CreateActions() {
  ActLoadPrj = NewAction("ActLoadPrj", "Load &project");
  ActSave = NewAction("ActSave", "Save project");
  ActSavePrj = NewAction("ActSavePrj", "Save project As");
  connect(ActLoadPrj, &QAction::triggered, this, [this] { ActLoadPrjExecute(); });
  connect(ActSave, &QAction::triggered, this, [this] { ActSaveExecute(); });
  connect(ActSavePrj, &QAction::triggered, this, [this] { ActSavePrjExecute(); });

  // Each group of view actions has exactly one checked member.
  auto group = [this](std::initializer_list<QAction*> actions) {
    auto* g = new QActionGroup(this);
    for (QAction* a : actions) {
      a->setCheckable(true);
      g->addAction(a);
    }
  };
  ActCamPointZero = NewAction("ActCamPointZero", "Point to (0,0,0)", "Camera point to (0,0,0)");
  ActCamPointGroup = NewAction("ActCamPointGroup", "Point to the centre of the group",
                               "Camera point to the center of group");
  ActCamCentreScene = NewAction("ActCamCentreScene", "Point to the centre of the scene",
                                "Camera point to the center of scene");
  ActCamLock = NewAction("ActCamLock", "Lock the actual position",
                         "Don't move camera on group or scene changes");
  group({ActCamPointZero, ActCamPointGroup, ActCamCentreScene, ActCamLock});
  connect(ActCamPointZero, &QAction::triggered, this, [this] { SetCameraMode(0); });
  connect(ActCamPointGroup, &QAction::triggered, this, [this] { SetCameraMode(1); });
  connect(ActCamCentreScene, &QAction::triggered, this, [this] { SetCameraMode(2); });
  connect(ActCamLock, &QAction::triggered, this, [this] { SetCameraMode(3); });

  ActColGroup = NewAction("ActColGroup", "Show colors of groups");
  ActColMatEdit = NewAction("ActColMatEdit", "Show colors of materials");
  ActColSelection = NewAction("ActColSelection", "Show selection");
  group({ActColGroup, ActColMatEdit, ActColSelection});
  connect(ActColGroup, &QAction::triggered, this, [this] { SetColourMode(1); });
  connect(ActColMatEdit, &QAction::triggered, this, [this] { SetColourMode(2); });
  connect(ActColSelection, &QAction::triggered, this, [this] { SetColourMode(3); });

  ActTrackFull = NewAction("ActTrackFull", "Full tracking");
  ActTrackBox = NewAction("ActTrackBox", "Box tracking");
  ActTrackWire = NewAction("ActTrackWire", "Wire frame tracking");
  group({ActTrackFull, ActTrackBox, ActTrackWire});
  connect(ActTrackFull, &QAction::triggered, this, [this] { SetTrackingMode(0); });
  connect(ActTrackBox, &QAction::triggered, this, [this] { SetTrackingMode(1); });
  connect(ActTrackWire, &QAction::triggered, this, [this] { SetTrackingMode(2); });

  ActDisplWire = NewAction("ActDisplWire", "Lit wireframe");
  ActDisplShaded = NewAction("ActDisplShaded", "Smooth shaded");
  group({ActDisplWire, ActDisplShaded});
  connect(ActDisplWire, &QAction::triggered, this, [this] { SetDisplayMode(0); });
  connect(ActDisplShaded, &QAction::triggered, this, [this] { SetDisplayMode(1); });

  ActMeshViewAll = NewAction("ActMeshViewAll", "View all");
  ActMeshViewRight = NewAction("ActMeshViewRight", "View only right side");
  ActMeshViewLeft = NewAction("ActMeshViewLeft", "View only left side");
  group({ActMeshViewAll, ActMeshViewRight, ActMeshViewLeft});
  connect(ActMeshViewAll, &QAction::triggered, this, [this] { SetSide(0); });
  connect(ActMeshViewRight, &QAction::triggered, this, [this] { SetSide(1); });
  connect(ActMeshViewLeft, &QAction::triggered, this, [this] { SetSide(2); });

  ActFaceCulling = NewAction("ActFaceCulling", "Face culling");
  ActFaceCulling->setCheckable(true);
  connect(ActFaceCulling, &QAction::triggered, this, [this] { ActFaceCullingExecute(); });
  ActBackFacesMode = NewAction("ActBackFacesMode", "Back faces mode", "Backfaces wireframe/fill");
  ActBackFacesMode->setCheckable(true);
  connect(ActBackFacesMode, &QAction::triggered, this, [this] { ActBackFacesModeExecute(); });
  ActShowGround = NewAction("ActShowGround", "Show ground plane");
  ActShowGround->setCheckable(true);
  connect(ActShowGround, &QAction::triggered, this, [this] { ActShowGroundExecute(); });
  ActFrameAll = NewAction("ActFrameAll", "Frame all", "Show all the meshes in the view");
  ActFrameAll->setShortcuts({QKeySequence(Qt::Key_F), QKeySequence(Qt::Key_Home)});
  addAction(ActFrameAll);
  connect(ActFrameAll, &QAction::triggered, this, [this] { viewArea_->FrameAll(); });
  ActFrameSelection =
      NewAction("ActFrameSelection", "Frame selection", "Show the selected vertices in the view");
  connect(ActFrameSelection, &QAction::triggered, this, [this] { viewArea_->FrameSelection(); });
  ActShowWeights =
      NewAction("ActShowWeights", "Show weights", "Colour the surface by soft selection weight");
  ActShowWeights->setCheckable(true);
  connect(ActShowWeights, &QAction::triggered, this, [this] { ActShowWeightsExecute(); });

  ActCursDefault = NewAction("ActCursDefault", "Default");
  ActCursPanning = NewAction("ActCursPanning", "Panning", "Panning");
  ActCursZoom = NewAction("ActCursZoom", "Zoom", "Zoom In/Out");
  group({ActCursDefault, ActCursPanning, ActCursZoom});
  connect(ActCursDefault, &QAction::triggered, this, [this] { SetCursorMode(0); });
  connect(ActCursPanning, &QAction::triggered, this, [this] { SetCursorMode(1); });
  connect(ActCursZoom, &QAction::triggered, this, [this] { SetCursorMode(2); });

  ActStackAddComm = NewAction("ActStackAddComm", "Add command in stack", "Add command in stack");
  ActStackAddComm->setIcon(SvgIcon(":/tools/stack-add.svg"));
  connect(ActStackAddComm, &QAction::triggered, this, [this] { ActStackAddCommExecute(); });
  ActLoadStack = NewAction("ActLoadStack", "Load stack", "Load stack from file");
  ActLoadStack->setIcon(SvgIcon(":/tools/stack-load.svg"));
  connect(ActLoadStack, &QAction::triggered, this, [this] { ActLoadStackExecute(); });
  ActSaveStack = NewAction("ActSaveStack", "Save stack", "Save stack on file");
  ActSaveStack->setIcon(SvgIcon(":/tools/stack-save.svg"));
  connect(ActSaveStack, &QAction::triggered, this, [this] { ActSaveStackExecute(); });
}

void TFormMain::CreateMenus() {
  mnuFile_ = menuBar()->addMenu("&File");
  mnuFile_->setObjectName("MnuFile");
  mnuNewProject_ = mnuFile_->addAction("&New project", this, [this] { NewProject(); });
  mnuNewProject_->setObjectName("MnuNewProject");
  mnuFile_->addAction(ActLoadPrj);
  mnuFile_->addAction(ActSave);
  mnuFile_->addAction(ActSavePrj);
  QMenu* import = mnuFile_->addMenu("&Import");
  import->setObjectName("MnuImport");
  mnuLoadObj_ = import->addAction("Load Poser &Obj", this, [this] { MnuLoadObjClick(); });
  mnuLoadObj_->setObjectName("MnuLoadObj");
  mnuFullBody_ =
      mnuFile_->addAction("Load full-body morph...", this, [this] { MnuLoadFullBodyClick(); });
  mnuFullBody_->setObjectName("MnuFullBody");
  mnuExportAll_ =
      mnuFile_->addAction("Export all targets...", this, [this] { MnuExportAllClick(); });
  mnuExportAll_->setObjectName("MnuExportAll");
  mnuSnapshot_ = mnuFile_->addAction("Snapshoot", this, [this] { MnuSnapshotClick(); });
  mnuSnapshot_->setObjectName("MnuSnapshot");
  mnuExit_ = mnuFile_->addAction("&Exit", this, &QWidget::close);
  mnuExit_->setObjectName("MnuExit");
  recentSeparator_ = mnuFile_->addSeparator();

  mnuDisplay_ = menuBar()->addMenu("&Display");
  mnuDisplay_->setObjectName("MnuDisplay");
  QMenu* camera = mnuDisplay_->addMenu("&Camera");
  camera->addActions({ActCamPointZero, ActCamPointGroup, ActCamCentreScene, ActCamLock});
  QMenu* colours = mnuDisplay_->addMenu("&Object colors");
  colours->addActions({ActColGroup, ActColMatEdit, ActColSelection});
  QMenu* tracking = mnuDisplay_->addMenu("&Tracking mode");
  tracking->addActions({ActTrackBox, ActTrackWire, ActTrackFull});
  QMenu* display = mnuDisplay_->addMenu("Display mode");
  display->addActions({ActDisplWire, ActDisplShaded});
  QMenu* mesh = mnuDisplay_->addMenu("&Mesh");
  mesh->addActions({ActMeshViewAll, ActMeshViewRight, ActMeshViewLeft});
  mnuDisplay_->addAction(ActFaceCulling);
  mnuDisplay_->addAction(ActBackFacesMode);
  mnuDisplay_->addAction(ActShowGround);
  mnuDisplay_->addAction(ActShowWeights);
  mnuDisplay_->addSeparator();
  mnuDisplay_->addAction(ActFrameAll);
  mnuDisplay_->addAction(ActFrameSelection);

  mnuStack_ = menuBar()->addMenu("&Stack");
  mnuStack_->setObjectName("MnuStack");
  mnuStack_->setSeparatorsCollapsible(false);
  mnuStack_->addAction(ActStackAddComm);
  mnuStack_->addAction(ActLoadStack);
  mnuStack_->addAction(ActSaveStack);
  mnuClearStack_ = mnuStack_->addAction("&Clear stack", this, [this] { MnuClearStackClick(); });
  mnuClearStack_->setObjectName("MnuClearStack");
  mnuStack_->addSeparator();
  mnuStack_->addSeparator();
  connect(mnuStack_, &QMenu::aboutToShow, this, [this] { UpdateStackActions(); });

  mnuHelp_ = menuBar()->addMenu("&Help");
  mnuHelp_->setObjectName("MnuHelp");
  mnuContents_ = mnuHelp_->addAction("&Contents", this, [this] { ShowHelp(kHelpContents); });
  mnuContents_->setObjectName("MnuContents");
  mnuTutorials_ = mnuHelp_->addMenu("&Tutorials");
  mnuTutorials_->setObjectName("MnuTutorials");
  mnuHelp_->addSeparator();
  mnuAbout_ = mnuHelp_->addAction("&About...", this, [this] { prompts_->ShowAbout(); });
  mnuAbout_->setObjectName("MnuAbout");
}

QToolButton* TFormMain::NewToolButton(QWidget* page, int tag, const QString& picture,
                                      const QString& hint) {
  auto* button = new QToolButton(page);
  button->setProperty(kTagProperty, tag);
  button->setIcon(SvgIcon(":/tools/" + picture + ".svg"));
  button->setIconSize(QSize(26, 26));
  button->setFixedSize(32, 32);
  button->setAutoRaise(true);
  if (!hint.isEmpty()) {
    button->setToolTip(hint);
    button->setStatusTip(hint);
  }
  page->layout()->addWidget(button);
  return button;
}

void TFormMain::CreateToolPages() {
  toolPages_ = new QTabWidget;
  toolPages_->setObjectName("ToolPages");
  toolPages_->setFixedHeight(67);
  toolPages_->setDocumentMode(true);

  // One row of buttons in a strip that scrolls sideways.
  auto newPage = [this](const QString& caption) {
    auto* strip = new QScrollArea;
    strip->setFrameShape(QFrame::NoFrame);
    strip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    strip->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    strip->horizontalScrollBar()->setFixedHeight(6);
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(1);
    strip->setWidget(row);
    strip->setWidgetResizable(true);
    toolPages_->addTab(strip, caption);
    return row;
  };
  auto gap = [](QWidget* row) {
    auto* line = new QFrame(row);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setFixedWidth(8);
    row->layout()->addWidget(line);
  };
  auto end = [](QWidget* row) { static_cast<QHBoxLayout*>(row->layout())->addStretch(); };

  QWidget* general = newPage("&General");
  const QAction* cursorActions[] = {ActCursDefault, ActCursPanning, ActCursZoom};
  const char* cursorPictures[] = {"cursor-default", "cursor-panning", "cursor-zoom"};
  for (int i = 0; i < 3; ++i) {
    QToolButton* b =
        NewToolButton(general, kTagCursor + i, cursorPictures[i], cursorActions[i]->statusTip());
    b->setCheckable(true);
    connect(b, &QToolButton::clicked, this, [this, i] { SetCursorMode(i); });
    cursorButtons_.push_back(b);
  }
  gap(general);
  // The camera buttons in page order, with the camera mode each one sets.
  const struct {
    const char* Picture;
    QAction* Action;
    int Mode;
  } cameras[] = {{"camera-zero", ActCamPointZero, 0},
                 {"camera-scene", ActCamCentreScene, 2},
                 {"camera-group", ActCamPointGroup, 1},
                 {"camera-lock", ActCamLock, 3}};
  cameraButtons_.resize(4);
  for (const auto& c : cameras) {
    QToolButton* b = NewToolButton(general, kTagCamera, c.Picture, c.Action->statusTip());
    b->setCheckable(true);
    const int mode = c.Mode;
    connect(b, &QToolButton::clicked, this, [this, mode] { SetCameraMode(mode); });
    cameraButtons_[static_cast<std::size_t>(mode)] = b;
  }
  for (int slot = 0; slot < 3; ++slot) {
    QToolButton* b = NewToolButton(general, kTagCamera, QString("camera-memory-%1").arg(slot + 1),
                                   "Hold down CTRL while press button to memorize camera position");
    connect(b, &QToolButton::clicked, this, [this, slot] { CameraSlotClick(slot); });
    btnCameraSlot_[slot] = b;
  }
  btnFrameAll_ = NewToolButton(general, kTagFrame, "frame-all", ActFrameAll->statusTip());
  connect(btnFrameAll_, &QToolButton::clicked, this, [this] { viewArea_->FrameAll(); });
  gap(general);
  const struct {
    const char* Picture;
    const char* Hint;
  } colours[] = {{"colours-groups", "Show colors of groups"},
                 {"colours-materials", "Show colors of materials"},
                 {"colours-selection", "Show colors of selection"}};
  for (int i = 0; i < 3; ++i) {
    QToolButton* b = NewToolButton(general, kTagColour, colours[i].Picture, colours[i].Hint);
    b->setCheckable(true);
    connect(b, &QToolButton::clicked, this, [this, i] { SetColourMode(i + 1); });
    colourButtons_.push_back(b);
  }
  btnShowWeights_ =
      NewToolButton(general, kTagWeights, "show-weights", ActShowWeights->statusTip());
  btnShowWeights_->setCheckable(true);
  connect(btnShowWeights_, &QToolButton::clicked, this, [this] { ActShowWeightsExecute(); });
  gap(general);
  const struct {
    const char* Picture;
    const char* Hint;
  } sides[] = {{"side-all", "See all mesh"},
               {"side-right", "See only the right side of the mesh"},
               {"side-left", "See only the left side of the mesh"}};
  for (int i = 0; i < 3; ++i) {
    QToolButton* b = NewToolButton(general, kTagSide, sides[i].Picture, sides[i].Hint);
    b->setCheckable(true);
    connect(b, &QToolButton::clicked, this, [this, i] { SetSide(i); });
    sideButtons_.push_back(b);
  }
  gap(general);
  btnFaceCulling_ = NewToolButton(general, kTagFaces, "face-culling", "Face culling ON/OFF");
  btnFaceCulling_->setCheckable(true);
  connect(btnFaceCulling_, &QToolButton::clicked, this, [this] { ActFaceCullingExecute(); });
  btnBackFaces_ = NewToolButton(general, kTagFaces, "backfaces-wire", "Backfaces wireframe/fill");
  QIcon backFaces;
  for (int side : {32, 64}) {
    backFaces.addPixmap(SvgPixmap(":/tools/backfaces-wire.svg", QSize(side, side)), QIcon::Normal,
                        QIcon::Off);
    backFaces.addPixmap(SvgPixmap(":/tools/backfaces-fill.svg", QSize(side, side)), QIcon::Normal,
                        QIcon::On);
  }
  btnBackFaces_->setIcon(backFaces);
  btnBackFaces_->setCheckable(true);
  connect(btnBackFaces_, &QToolButton::clicked, this, [this] { ActBackFacesModeExecute(); });
  end(general);

  // The command pages: every button adds the command kind of its tag.
  for (const TCommandPage& p : CommandPages()) {
    QWidget* page = newPage(p.Caption);
    for (const TKindInfo* kind : PageKinds(p)) {
      QToolButton* b = NewToolButton(page, kind->CommandId, kind->Picture, kind->Hint);
      const int tag = kind->CommandId;
      connect(b, &QToolButton::clicked, this, [this, tag] { CommandButtonClick(tag); });
      commandButtons_.push_back(b);
    }
    end(page);
  }
}

void TFormMain::CreateLayout(const TViewFactory& createView) {
  CreateToolPages();

  mainSplitter_ = new QSplitter(Qt::Horizontal);
  mainSplitter_->setObjectName("MainSplitter");
  mainSplitter_->setHandleWidth(3);
  mainSplitter_->setChildrenCollapsible(false);

  auto* panCent = new QWidget;
  panCent->setObjectName("PanCent");
  panel_ = new TQtParamPanel;
  tree_ = new TSceneTree(controller_, *panel_);
  tree_->setObjectName("Tree");
  list_ = new TCommandList(controller_);
  list_->setObjectName("TreeComm");

  auto* top = new QWidget;
  top->setObjectName("PanCommands");
  auto* stackBar = new QToolBar(top);
  stackBar->setObjectName("StackToolBar");
  stackBar->setIconSize(QSize(16, 16));
  stackBar->addAction(ActStackAddComm);
  stackBar->addSeparator();
  stackBar->addAction(ActLoadStack);
  stackBar->addAction(ActSaveStack);
  stackBar->addSeparator();
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->setSpacing(0);
  topLayout->addWidget(stackBar);
  topLayout->addWidget(list_);

  centreSplitter_ = new QSplitter(Qt::Vertical, panCent);
  centreSplitter_->setObjectName("CentreSplitter");
  centreSplitter_->setHandleWidth(3);
  centreSplitter_->setChildrenCollapsible(false);
  centreSplitter_->addWidget(top);
  centreSplitter_->addWidget(panel_);
  centreSplitter_->setStretchFactor(1, 1);
  centreSplitter_->setSizes({121, 400});
  auto* centreLayout = new QVBoxLayout(panCent);
  centreLayout->setContentsMargins(0, 0, 0, 0);
  centreLayout->addWidget(centreSplitter_);

  const TViewPart view = createView(controller_, nullptr);
  viewWidget_ = view.Widget;
  viewArea_ = view.Area;
  viewArea_->GroupPicked = [this](TGroup& group) { GroupPicked(group); };

  mainSplitter_->addWidget(tree_);
  mainSplitter_->addWidget(panCent);
  mainSplitter_->addWidget(viewWidget_);
  mainSplitter_->setStretchFactor(2, 1);
  mainSplitter_->setSizes({142, 121, 800});

  auto* central = new QWidget;
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(toolPages_);
  layout->addWidget(mainSplitter_, 1);
  setCentralWidget(central);

  connect(tree_, &TSceneTree::RedrawNeeded, this, [this] { Redraw(); });
  connect(tree_, &TSceneTree::GroupTargeted, this, [this](TGroup* group) {
    if (group) viewArea_->TargetGroup(*group);
  });
  connect(tree_, &TSceneTree::AddCommandChosen, this,
          [this](const TCommandDescriptor* kind, TSceneChoice object) {
            popup_ = object;
            if (kind) AddCommand(*kind, object);
          });
  connect(tree_, &TSceneTree::ImportMorphTargetChosen, this, [this](TGroup* group) {
    popup_.Group = group;
    ImportMorphTarget(group);
  });
  connect(tree_, &TSceneTree::ExportMorphTargetChosen, this, [this](TMorphTarget* target) {
    popup_.MorphTarget = target;
    ExportMorphTarget(target);
  });
  connect(tree_, &TSceneTree::ExportAllTargetsChosen, this,
          [this](TObjData* mesh) { ExportAllTargets(mesh); });
}

void TFormMain::CreateStatusBar() {
  hintLabel_ = new QLabel;
  hintLabel_->setObjectName("HintLabel");
  progressBar_ = new QProgressBar;
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  progressBar_->setTextVisible(false);
  progressBar_->setFixedWidth(190);
  statusBar()->addWidget(hintLabel_, 1);
  statusBar()->addPermanentWidget(progressBar_);
  statusBar()->setFixedHeight(19);
  statusBar()->setSizeGripEnabled(false);
}

void TFormMain::CreateHelp() {
  help_ = new TFormHelp(this);
  tree_->setProperty(kHelpContextProperty, kHelpSceneTree);
  tree_->setWhatsThis(
      "<b>Scene tree</b><br>Every loaded mesh with its groups, materials and morph targets. "
      "Check boxes show and hide parts, the colour squares change display colours, and the "
      "right mouse button offers the commands that work on the clicked object.<br>"
      "<a href=\"" +
      HelpTopic(kHelpSceneTree).toString() + "\">More in the guide</a>");
  list_->setProperty(kHelpContextProperty, kHelpCommandList);
  list_->setWhatsThis(
      "<b>Command list</b><br>The stack, one line per command. Click a line to see the mesh as "
      "it is after that command and to edit its parameters below; the right mouse button "
      "deletes a command.<br><a href=\"" +
      HelpTopic(kHelpCommandList).toString() + "\">More in the guide</a>");
  tree_->installEventFilter(this);
  list_->installEventFilter(this);

  // The organic modifiers' buttons.
  const struct {
    int Tag;
    int Context;
    const char* Text;
  } modifiers[] = {
      {1501, kHelpInflate,
       "<b>Inflate</b><br>Pushes the selection out along the surface normals by the distance "
       "you type; a negative distance deflates. Soft-selected vertices move by their weight."},
      {1502, kHelpSmooth,
       "<b>Smooth</b><br>Pulls every selected vertex towards the mean of its neighbours, the "
       "given number of times with the given strength. Open borders stay where they are while "
       "\"Keep borders\" is checked."}};
  for (QToolButton* b : commandButtons_)
    for (const auto& m : modifiers)
      if (b->property(kTagProperty).toInt() == m.Tag) {
        b->setProperty(kHelpContextProperty, m.Context);
        b->setWhatsThis(QString(m.Text) + "<br><a href=\"" + HelpTopic(m.Context).toString() +
                        "\">More in the guide</a>");
        b->installEventFilter(this);
      }

  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this,
          [this] { ShowHelp(HelpContextOf(QApplication::widgetAt(QCursor::pos()))); });
  auto* whatsThis = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), this);
  connect(whatsThis, &QShortcut::activated, this, [] { QWhatsThis::enterWhatsThisMode(); });
}

void TFormMain::ReadSettings() {
  QSettings ini(iniFile_, QSettings::IniFormat);
  if (const std::optional<TPlacement> placement = ReadPlacement(ini)) ApplyPlacement(*placement);
  recent_.Read(ini);
  BuildRecentItems();
}

void TFormMain::WriteSettings() {
  QSettings ini(iniFile_, QSettings::IniFormat);
  WritePlacement(ini, Placement(), logicalDpiX());
  recent_.Write(ini);
  ini.sync();
}

TPlacement TFormMain::Placement() const {
  TPlacement p;
  p.Normal = isMaximized() || isMinimized() ? normalGeometry() : geometry();
  p.Maximized = isMaximized();
  const QList<int> sizes = mainSplitter_->sizes();
  p.TreeWidth = sizes.value(0, p.TreeWidth);
  p.CentreWidth = sizes.value(1, p.CentreWidth);
  return p;
}

void TFormMain::ApplyPlacement(const TPlacement& placement) {
  setGeometry(placement.Normal);
  if (placement.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
  QList<int> sizes = mainSplitter_->sizes();
  const int total = sizes.value(0) + sizes.value(1) + sizes.value(2);
  const int rest = std::max(total - placement.TreeWidth - placement.CentreWidth, 100);
  mainSplitter_->setSizes({placement.TreeWidth, placement.CentreWidth, rest});
}

void TFormMain::BuildTargetItems() {
  StackTargets().ForEach([this](const TStackTarget& target) {
    QAction* item = mnuStack_->addAction(UiText(target.Name));
    const TStackTarget* t = &target;
    connect(item, &QAction::triggered, this, [this, t] { NewStackClick(*t); });
    targetItems_.push_back(item);
  });
}

void TFormMain::BuildTutorialsMenu() {
  mnuTutorials_->clear();
  const QStringList files = FindTutorials(tutorialsFolder_);
  for (const QString& file : files) {
    mnuTutorials_->addAction(TutorialCaption(file), this,
                             [this, file] { prompts_->ShellOpen(QUrl::fromLocalFile(file)); });
  }
  mnuTutorials_->menuAction()->setVisible(!files.isEmpty());
}

// ---------------------------------------------------------------------------------------------
// Title, enabling and view actions

void TFormMain::RefreshTitle() {
  const std::string& name = controller_.Live().Name;
  const QString shown =
      name.empty() ? QString("NoName") : fileflows::BareName(fileflows::FromLocalPath(name));
  setWindowTitle(QString(kTitle) + "[" + shown + "]");
}

void TFormMain::UpdateViewActions() {
  const TViewSettings& v = controller_.View();
  QAction* const cameras[] = {ActCamPointZero, ActCamPointGroup, ActCamCentreScene, ActCamLock};
  for (int i = 0; i < 4; ++i) {
    cameras[i]->setChecked(v.CameraMode == i);
    cameraButtons_[static_cast<std::size_t>(i)]->setChecked(v.CameraMode == i);
  }
  QAction* const colours[] = {ActColGroup, ActColMatEdit, ActColSelection};
  for (int i = 0; i < 3; ++i) {
    colours[i]->setChecked(v.ColourMode == i + 1);
    colourButtons_[static_cast<std::size_t>(i)]->setChecked(v.ColourMode == i + 1);
  }
  QAction* const tracking[] = {ActTrackFull, ActTrackBox, ActTrackWire};
  for (int i = 0; i < 3; ++i) tracking[i]->setChecked(v.TrackingMode == i);
  ActDisplWire->setChecked(v.DisplayMode == 0);
  ActDisplShaded->setChecked(v.DisplayMode == 1);
  QAction* const sides[] = {ActMeshViewAll, ActMeshViewRight, ActMeshViewLeft};
  for (int i = 0; i < 3; ++i) {
    sides[i]->setChecked(v.Side == i);
    sideButtons_[static_cast<std::size_t>(i)]->setChecked(v.Side == i);
  }
  ActShowGround->setChecked(v.GroundShown);
  ActShowWeights->setChecked(showWeights_);
  btnShowWeights_->setChecked(showWeights_);
  // The culling button shows the faces that are drawn: released while culling hides some.
  ActFaceCulling->setChecked(v.FaceCulling);
  btnFaceCulling_->setChecked(!v.FaceCulling);
  ActBackFacesMode->setEnabled(!v.FaceCulling);
  btnBackFaces_->setEnabled(!v.FaceCulling);
  ActBackFacesMode->setChecked(v.BackFaceFill);
  btnBackFaces_->setChecked(v.BackFaceFill);
  QAction* const cursors[] = {ActCursDefault, ActCursPanning, ActCursZoom};
  for (int i = 0; i < 3; ++i) {
    cursors[i]->setChecked(cursorMode_ == i);
    cursorButtons_[static_cast<std::size_t>(i)]->setChecked(cursorMode_ == i);
  }
}

void TFormMain::UpdateStackActions() {
  const bool stack = controller_.Stack() != nullptr;
  mnuClearStack_->setEnabled(stack);
  ActStackAddComm->setEnabled(stack);
  ActSaveStack->setEnabled(stack);
  for (QAction* item : targetItems_) item->setEnabled(!stack);
}

void TFormMain::UpdateCommandButtons() {
  const TStackMng* stack = controller_.Stack();
  for (QToolButton* b : commandButtons_) {
    const int tag = b->property(kTagProperty).toInt();
    if (tag < 1 || tag > kLastCommandTag) continue;
    b->setEnabled(stack && stack->IsCommandAvailable(tag));
  }
}

std::vector<QToolButton*> TFormMain::ToolButtons(int tag) const {
  std::vector<QToolButton*> out;
  for (int page = 0; page < toolPages_->count(); ++page)
    for (QToolButton* b : toolPages_->widget(page)->findChildren<QToolButton*>())
      if (b->property(kTagProperty).toInt() == tag) out.push_back(b);
  return out;
}

void TFormMain::SetCameraMode(int mode) {
  controller_.View().CameraMode = static_cast<std::uint8_t>(mode);
  viewArea_->SetCameraMode(mode);
  UpdateViewActions();
}

void TFormMain::SetColourMode(int mode) {
  controller_.SetColourMode(static_cast<std::uint8_t>(mode));
  Redraw();
  UpdateViewActions();
}

void TFormMain::SetTrackingMode(int mode) {
  controller_.View().TrackingMode = static_cast<std::uint8_t>(mode);
  controller_.Live().SetTrackingMode(static_cast<std::uint8_t>(mode));
  UpdateViewActions();
}

void TFormMain::SetDisplayMode(int mode) {
  controller_.View().DisplayMode = static_cast<std::uint8_t>(mode);
  controller_.Live().SetDisplayMode(static_cast<std::uint8_t>(mode));
  Redraw();
  UpdateViewActions();
}

void TFormMain::SetSide(int side) {
  controller_.View().Side = static_cast<std::uint8_t>(side);
  controller_.Live().SetSide(static_cast<std::uint8_t>(side));
  Redraw();
  UpdateViewActions();
}

void TFormMain::SetCursorMode(int mode) {
  cursorMode_ = mode;
  viewArea_->SetCursorMode(mode);
  if (mode == 1)
    viewWidget_->setCursor(crPanning_);
  else if (mode == 2)
    viewWidget_->setCursor(crMagnif_);
  else
    viewWidget_->unsetCursor();
  UpdateViewActions();
}

void TFormMain::ActFaceCullingExecute() {
  TViewSettings& v = controller_.View();
  v.FaceCulling = !v.FaceCulling;
  viewArea_->ApplyViewSettings();
  UpdateViewActions();
}

void TFormMain::ActBackFacesModeExecute() {
  TViewSettings& v = controller_.View();
  if (v.FaceCulling) return;  // back faces are hidden while culling is on
  v.BackFaceFill = !v.BackFaceFill;
  viewArea_->ApplyViewSettings();
  UpdateViewActions();
}

void TFormMain::ActShowGroundExecute() {
  TViewSettings& v = controller_.View();
  v.GroundShown = !v.GroundShown;
  viewArea_->ApplyViewSettings();
  UpdateViewActions();
}

void TFormMain::ActShowWeightsExecute() {
  showWeights_ = !showWeights_;
  viewArea_->SetShowWeights(showWeights_);
  UpdateViewActions();
}

void TFormMain::CameraSlotClick(int slot) {
  if (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) {
    const QImage thumb = viewArea_->StoreCameraSlot(slot);
    if (thumb.isNull()) return;
    // The background colour, found at the bottom-left pixel, is drawn transparent.
    QPixmap picture = QPixmap::fromImage(thumb);
    const QColor background = thumb.pixelColor(0, thumb.height() - 1);
    picture.setMask(picture.createMaskFromColor(background, Qt::MaskInColor));
    btnCameraSlot_[slot]->setIcon(QIcon(picture));
    return;
  }
  if (viewArea_->RecallCameraSlot(slot)) viewArea_->PlaceLight();
}

void TFormMain::GroupPicked(TGroup& group) {
  if (group.TreeNode) tree_->setCurrentItem(TSceneTree::NodeOf(group.TreeNode));
}

// ---------------------------------------------------------------------------------------------
// Stack

void TFormMain::Guarded(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TFormMain::AddCommand(const TCommandDescriptor& descriptor, const TSceneChoice& choice) {
  Guarded([&] { controller_.AddCommand(descriptor, choice); });
  UpdateStackActions();
}

void TFormMain::CommandButtonClick(int tag) {
  const TStackMng* stack = controller_.Stack();
  if (!stack || !stack->IsCommandAvailable(tag)) return;
  if (const TCommandDescriptor* descriptor = stack->FindDescriptor(tag))
    AddCommand(*descriptor, tree_->SelectedChoice());
}

void TFormMain::ActStackAddCommExecute() {
  const TStackMng* stack = controller_.Stack();
  if (!stack || !stack->Target) return;
  if (const TCommandDescriptor* descriptor = prompts_->ChooseCommand(*stack->Target))
    AddCommand(*descriptor, tree_->SelectedChoice());
}

void TFormMain::NewStackClick(const TStackTarget& target) {
  Guarded([&] { controller_.NewStack(target); });
  UpdateStackActions();
}

void TFormMain::GoalClick(int index) {
  Guarded([&] { controller_.RunGoal(index); });
  UpdateStackActions();
}

void TFormMain::MnuClearStackClick() {
  Guarded([&] { controller_.ClearStack(); });
  UpdateStackActions();
}

void TFormMain::SetGoalEntries(const std::vector<std::string>& names) {
  // An entry may be the one whose click is running (a goal clears the stack): it goes later.
  for (QAction* item : goalItems_) {
    mnuStack_->removeAction(item);
    item->deleteLater();
  }
  goalItems_.clear();
  // The goals come after the first three entries, before "&Clear stack".
  for (std::size_t i = 0; i < names.size(); ++i) {
    auto* item = new QAction(UiText(names[i]), this);
    const int index = static_cast<int>(i);
    connect(item, &QAction::triggered, this, [this, index] { GoalClick(index); });
    mnuStack_->insertAction(mnuClearStack_, item);
    goalItems_.push_back(item);
  }
}

bool TFormMain::AskSaveIfModified() {
  if (!controller_.Modified()) return true;
  switch (AskYesNoCancel(kAskSave)) {
    case TAnswer::Yes:
      // The work is given up only once it is safely saved.
      ActSaveExecute();
      return !controller_.Modified();
    case TAnswer::No:
      return true;
    case TAnswer::Cancel:
      break;
  }
  return false;
}

void TFormMain::closeEvent(QCloseEvent* event) {
  if (!AskSaveIfModified()) {
    event->ignore();
    return;
  }
  WriteSettings();
  if (help_) help_->close();
  event->accept();
}

// ---------------------------------------------------------------------------------------------
// Help and hints

int TFormMain::HelpContextOf(const QWidget* widget) {
  for (; widget; widget = widget->parentWidget()) {
    const QVariant context = widget->property(kHelpContextProperty);
    if (context.isValid()) return context.toInt();
  }
  return kHelpContents;
}

void TFormMain::ShowHelp(int context) { help_->ShowTopic(HelpTopic(context)); }

bool TFormMain::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    hintLabel_->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::WhatsThisClicked) {
    help_->ShowTopic(QUrl(static_cast<QWhatsThisClickedEvent*>(event)->href()));
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// What the controller asks of the window

bool TFormMain::AskWarning(std::string_view text) {
  return prompts_->Message("Warning", UiText(text), QMessageBox::Question,
                           QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

TAnswer TFormMain::AskYesNoCancel(std::string_view text) {
  switch (prompts_->Message("Warning", UiText(text), QMessageBox::Question,
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
      return TAnswer::Yes;
    case QMessageBox::No:
      return TAnswer::No;
    default:
      return TAnswer::Cancel;
  }
}

void TFormMain::ShowError(std::string_view text) {
  prompts_->Message("Error", UiText(text), QMessageBox::Critical, QMessageBox::Ok);
}

void TFormMain::ShowWarning(std::string_view text) {
  prompts_->Message("Warning", UiText(text), QMessageBox::Warning, QMessageBox::Ok);
}

TAddMode TFormMain::AskAddMode() { return prompts_->AskAddMode(); }

std::optional<std::string> TFormMain::AskMorphName(const TMorphNameRequest& request) {
  return prompts_->AskMorphName(request);
}

void TFormMain::ListClear() { list_->ListClear(); }
void TFormMain::ListInsert(int index, std::string_view text) { list_->ListInsert(index, text); }
void TFormMain::ListRemove(int index) { list_->ListRemove(index); }
void TFormMain::ListSetText(int index, std::string_view text) { list_->ListSetText(index, text); }
void TFormMain::ListSelect(int index) { list_->ListSelect(index); }
IParamPanel& TFormMain::Panel() { return *panel_; }
void TFormMain::ClearParameterPanel() { panel_->Clear(); }
void TFormMain::RebuildTree() {
  // The objects of the last pop-up may be gone with the edit state they belonged to.
  popup_ = {};
  tree_->RebuildTree();
}
void TFormMain::FillCommandList() { list_->FillCommandList(); }

void TFormMain::ViewSettingsChanged() {
  UpdateViewActions();
  viewArea_->ApplyViewSettings();
}

void TFormMain::Redraw() { viewArea_->Redraw(); }
void TFormMain::BeginWait() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void TFormMain::EndWait() { QApplication::restoreOverrideCursor(); }
IProgress& TFormMain::Progress() { return *progress_; }

}  // namespace tarvel
