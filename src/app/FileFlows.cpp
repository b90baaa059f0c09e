// The main window's file flows: new project, Poser figures, morph targets, snapshots, projects,
// stacks and the recent-file list, with their dialogs and what the window shows afterwards.
#include "app/FileFlows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <QSettings>
#include <QTreeWidgetItem>
#include <exception>
#include <filesystem>
#include <memory>

#include "app/FormMain.h"
#include "app/SceneTree.h"
#include "app/StackDialogs.h"
#include "commands/Sculpt.h"
#include "mesh/ObjReader.h"
#include "mesh/TargetFiles.h"
#include "mesh/VertexLines.h"
#include "stack/ProjectFile.h"
#include "stack/StackFile.h"
#include "stack/StackJson.h"

namespace tarvel {

// ---------------------------------------------------------------------------------------------
// Dialogs and names

namespace fileflows {

namespace {
constexpr const char* kObjFilter = "WaveFront OBJ (*.obj)|*.obj";

// The core keeps the stack file's extension with its dot.
QString Bare(const char* extension) {
  QString e = QString::fromLatin1(extension);
  if (e.startsWith('.')) e.remove(0, 1);
  return e;
}
// A stack as a stack file or in its JSON form.
QString StackFilter() {
  return QString::fromLatin1(stackfile::kFilter) + "|" + QString::fromLatin1(stackjson::kFilter);
}
}  // namespace

TFileDialogInfo OpenPoserObj() { return {"Open Poser file obj", kObjFilter, {}, {}, "figure", {}}; }
TFileDialogInfo OpenTargetGeometry() {
  return {"Open Poser Target Geometry", kObjFilter, {}, {}, "target", {}};
}
TFileDialogInfo OpenProject() {
  return {projectfile::kOpenTitle, projectfile::kFilter, {}, {}, "project", {}};
}
TFileDialogInfo OpenStack() {
  return {stackfile::kLoadTitle, StackFilter(), Bare(stackfile::kExtension), {}, "stack", {}};
}
TFileDialogInfo OpenSculpt() {
  return {"Open sculpted shape", "WaveFront OBJ (*.obj *.obz)|*.obj;*.obz", {}, {}, "sculpt", {}};
}
TFileDialogInfo ExportTargetGeometry(const QString& targetName) {
  return {"Export Poser Target Geometry", kObjFilter, "obj", targetName, "target", {}};
}
TFileDialogInfo SaveSnapshot() { return {{}, "Bitmaps (*.bmp)|*.bmp", "bmp", {}, "snapshot", {}}; }
TFileDialogInfo SaveProject() {
  return {projectfile::kSaveTitle,
          projectfile::kFilter,
          Bare(projectfile::kExtension),
          {},
          "project",
          {}};
}
TFileDialogInfo SaveStack() {
  return {stackfile::kSaveTitle, StackFilter(), Bare(stackfile::kExtension), {}, "stack", {}};
}

QString WrongVertexCount(int groupVertices, int fileVertices) {
  return QString("%1\nThe group has %2 vertices, the file %3.")
      .arg(kWrongVertexCount)
      .arg(groupVertices)
      .arg(fileVertices);
}

QString OverwriteQuestion(const QString& fileName) {
  return QFileInfo(fileName).fileName() + " already exists.\nDo you want to replace it?";
}

QString OverwriteAllQuestion(int existing, const QString& folder) {
  return QString("%1 of the files already exist in %2.\nDo you want to replace them?")
      .arg(existing)
      .arg(QDir::toNativeSeparators(folder));
}

QString WithDefaultExtension(const QString& fileName, const QString& extension) {
  if (extension.isEmpty() || !QFileInfo(fileName).suffix().isEmpty()) return fileName;
  return fileName + "." + extension;
}

QString BareName(const QString& fileName) { return QFileInfo(fileName).completeBaseName(); }

std::string LocalPath(const QString& fileName) {
  // UTF-8 everywhere (QFile::encodeName would give Windows' ANSI code page).
  return QFileInfo(fileName).absoluteFilePath().toUtf8().toStdString();
}

QString FromLocalPath(const std::string& path) {
  return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

QString RecentCaption(int index, const QString& fileName) {
  QString shown = fileName;
  shown.replace('&', "&&");
  // Places 1 to 9 take their digit, the tenth takes 0.
  const QString place = index < 9 ? QString("&%1").arg(index + 1) : QString("1&0");
  return place + " " + shown;
}

}  // namespace fileflows

using namespace fileflows;

namespace {

// The hourglass cursor for one long operation; the previous cursor comes back and the progress
// bar goes back to 0 however the operation ends.
class TLongOperation {
 public:
  TLongOperation(IStackWindow& window, QProgressBar* bar) : window_(window), bar_(bar) {
    window_.BeginWait();
  }
  ~TLongOperation() {
    bar_->setValue(0);
    window_.EndWait();
  }
  TLongOperation(const TLongOperation&) = delete;
  TLongOperation& operator=(const TLongOperation&) = delete;

 private:
  IStackWindow& window_;
  QProgressBar* bar_;
};

}  // namespace

namespace {
constexpr const char* kFoldersGroup = "Folders/";
}

QString TFormMain::LastFolder(const QString& kind) const {
  if (kind.isEmpty()) return {};
  const QSettings ini(iniFile_, QSettings::IniFormat);
  const QString folder = ini.value(kFoldersGroup + kind).toString();
  // A folder deleted since leaves the dialog in the working folder.
  return QFileInfo(folder).isDir() ? folder : QString();
}

void TFormMain::RememberFolder(const QString& kind, const QString& fileName) {
  if (kind.isEmpty() || fileName.isEmpty()) return;
  QSettings ini(iniFile_, QSettings::IniFormat);
  ini.setValue(kFoldersGroup + kind, QFileInfo(fileName).absolutePath());
}

QString TFormMain::AskOpenFile(const TFileDialogInfo& dialog) {
  TFileDialogInfo info = dialog;
  info.Folder = LastFolder(info.Kind);
  const QString file = prompts_->AskOpenFileName(info);
  RememberFolder(info.Kind, file);
  return file;
}

QString TFormMain::AskSaveFile(const TFileDialogInfo& dialog) {
  TFileDialogInfo info = dialog;
  info.Folder = LastFolder(info.Kind);
  for (;;) {
    const QString chosen = prompts_->AskSaveFileName(info);
    if (chosen.isEmpty()) return {};
    const QString file = WithDefaultExtension(chosen, info.DefaultExtension);
    RememberFolder(info.Kind, file);
    if (!QFileInfo::exists(file)) return file;
    if (prompts_->Message(kConfirmSaveTitle, OverwriteQuestion(file), QMessageBox::Warning,
                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes)
      return file;
  }
}

// ---------------------------------------------------------------------------------------------
// Recent files

void TFormMain::AddRecentFile(const QString& fileName) {
  recent_.Add(fileName);
  BuildRecentItems();
}

void TFormMain::BuildRecentItems() {
  // An entry may be the one whose click is running: it goes later.
  for (QAction* item : recentItems_) {
    mnuFile_->removeAction(item);
    item->deleteLater();
  }
  recentItems_.clear();
  const QStringList& files = recent_.Items();
  for (int i = 0; i < files.size(); ++i) {
    const QString file = files[i];
    // A file deleted since it was listed opens nothing.
    QAction* item =
        mnuFile_->addAction(RecentCaption(i, file), this, [this, file] { OpenFile(file); });
    recentItems_.push_back(item);
  }
  recentSeparator_->setVisible(!files.isEmpty());
}

bool TFormMain::OpenFile(const QString& fileName) {
  const QFileInfo file(fileName);
  if (!file.exists()) return false;
  const QString extension = file.suffix().toUpper();
  // A gzip-compressed figure (".obz") loads as its OBJ file does.
  if (extension == "OBJ" || extension == "OBZ") return LoadPoserObj(fileName);
  if (extension == "VNX") return AskSaveIfModified() && LoadProject(fileName);
  if (extension == "STK") return LoadStackFile(fileName);
  return false;
}

// ---------------------------------------------------------------------------------------------
// New project and Poser figures

void TFormMain::NewProject() {
  if (!AskSaveIfModified()) return;
  Guarded([&] { controller_.NewProject(); });
  viewArea_->ResetCamera();
  viewArea_->PlaceLight();
  Redraw();
  RebuildTree();
  UpdateStackActions();
  RefreshTitle();
}

void TFormMain::MnuLoadObjClick() {
  const QString file = AskOpenFile(OpenPoserObj());
  if (!file.isEmpty()) LoadPoserObj(file);
}

bool TFormMain::LoadPoserObj(const QString& fileName) {
  if (!QFileInfo::exists(fileName)) return false;
  TLongOperation wait(*this, progressBar_);
  repaint();
  // The whole file is read before anything changes, so a file that cannot be read leaves the
  // work as it was, the current line included.
  auto mesh = std::make_unique<TObjData>();
  try {
    TObjReadOptions options;
    options.Progress = &Progress();
    LoadFromObj(*mesh, LocalPath(fileName), options);
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
  // With line 0 current the live state is the stack's pristine one, which the new mesh joins.
  if (controller_.Stack() && controller_.CurrentLine() != 0) controller_.MakeCurrent(0);
  TMultiObjData& live = controller_.Live();
  live.AddMesh(std::move(mesh));
  if (TStackMng* stack = controller_.Stack()) stack->SetPristine(live);
  viewArea_->PlaceLight();
  RebuildTree();
  SetCameraMode(2);
  // A figure far from Poser's scale would not show from where the camera is.
  viewArea_->FrameIfOutOfView();
  viewArea_->PlaceLight();
  Redraw();
  controller_.SetModified(true);
  AddRecentFile(fileName);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Morph targets and snapshots

void TFormMain::ImportMorphTarget(TGroup* group) {
  if (!group) return;
  const QString file = AskOpenFile(OpenTargetGeometry());
  if (file.isEmpty()) return;

  if (controller_.Stack()) {
    // The target belongs to the state the stack starts from: line 0 is made current, and the
    // group is found again in that state by its mesh's Id and its own.
    const std::int32_t meshId = group->Owner ? group->Owner->Id : -1;
    const std::int32_t groupId = group->Id;
    if (controller_.CurrentLine() != 0) controller_.MakeCurrent(0);
    const TObjData* mesh = controller_.Live().MeshById(meshId);
    group = mesh ? mesh->GroupById(groupId) : nullptr;
    if (!group) {
      prompts_->Message("Error", kGroupMissing, QMessageBox::NoIcon, QMessageBox::Ok);
      return;
    }
    popup_.Group = group;
  }

  repaint();
  int code = 0;
  TMorphTarget* target = nullptr;
  {
    TLongOperation wait(*this, progressBar_);
    try {
      target = group->ImportMorphTarget(LocalPath(file), code, &Progress());
    } catch (const std::exception& e) {
      ShowError(e.what());
      return;
    }
  }
  if (code == 1) {
    ShowError(kFileNotFound);
    return;
  }
  if (code == 2) {
    // The file was read whole; it is read again only to tell the user its count.
    int fileVertices = -1;
    try {
      TRecordList<TBaseVertex> positions{100};
      ReadTargetGeometry(LocalPath(file), positions, {});
      fileVertices = positions.Count();
    } catch (const std::exception&) {
    }
    ShowError(ToLatin1(WrongVertexCount(group->Vertices.Count(), fileVertices)));
    return;
  }
  if (!target) return;

  const std::string bare = ToLatin1(BareName(file));
  const std::optional<std::string> answer = prompts_->AskTargetName(bare);
  if (!answer) {
    group->MorphTargets.Free(target);
    return;
  }
  controller_.SetModified(true);
  const std::string name = ToLatin1(FromLatin1(*answer).trimmed());
  target->Name = name.empty() ? bare : name;
  tree_->AddMorphTargetNode(*target);
  popup_.Group = nullptr;
  if (TStackMng* stack = controller_.Stack()) stack->SetPristine(controller_.Live());
}

void TFormMain::ExportMorphTarget(TMorphTarget* target) {
  if (!target) return;
  const QString file = AskSaveFile(fileflows::ExportTargetGeometry(FromLatin1(target->Name)));
  if (file.isEmpty()) return;
  TLongOperation wait(*this, progressBar_);
  Guarded([&] { target->ExportTargetGeometry(LocalPath(file)); });
}

// ---------------------------------------------------------------------------------------------
// Whole-figure sculpts and all targets at once

namespace {

// The file dialog of "Use sculpted shape", which the window hands to its stacks; while the
// window gives the command its file itself it answers "cancelled".
class TSculptChooser : public ISculptFileChooser {
 public:
  TSculptChooser(std::function<QString()> ask, const bool& muted)
      : ask_(std::move(ask)), muted_(muted) {}
  TSculptChooser(const TSculptChooser&) = delete;
  TSculptChooser& operator=(const TSculptChooser&) = delete;

  std::optional<std::string> ChooseSculptFile(const std::string&) override {
    if (muted_) return std::nullopt;
    const QString file = ask_();
    if (file.isEmpty()) return std::nullopt;
    return LocalPath(file);
  }

 private:
  std::function<QString()> ask_;
  const bool& muted_;
};

}  // namespace

void TFormMain::InstallSculptChooser() {
  sculptChooser_ = std::make_unique<TSculptChooser>([this] { return AskOpenFile(OpenSculpt()); },
                                                    sculptDialogMuted_);
}

void TFormMain::MnuLoadFullBodyClick() {
  if (controller_.Live().MeshCount() == 0) {
    ShowError(kNoFigure);
    return;
  }
  const QString file = AskOpenFile(OpenSculpt());
  if (!file.isEmpty()) LoadFullBodyMorph(file);
}

bool TFormMain::LoadFullBodyMorph(const QString& fileName) {
  TMultiObjData& live = controller_.Live();
  if (live.MeshCount() == 0) return false;
  // The sculpt is read and matched before anything changes.
  std::vector<double> positions;
  {
    TLongOperation wait(*this, progressBar_);
    repaint();
    try {
      ReadVertexLines(LocalPath(fileName), positions,
                      static_cast<std::size_t>(live.Mesh(0)->Vertices.Count()), &Progress());
    } catch (const std::exception& e) {
      ShowError(e.what());
      return false;
    }
  }
  const std::size_t n = positions.size() / 3;
  bool fits = false;
  for (std::int32_t m = 0; m < live.MeshCount(); ++m)
    fits = fits || static_cast<std::size_t>(live.Mesh(m)->Vertices.Count()) == n;
  if (!fits) {
    ShowError(sculpttexts::WrongCount(n, live.Mesh(0)->Vertices.Count()));
    return false;
  }

  if (!controller_.Stack()) NewStackClick(*StackTargets()[0]);
  TStackMng* stack = controller_.Stack();
  if (!stack) return false;
  // Appended at the end of the stack, so every command before it takes part.
  const int last = stack->Count() - 1;
  if (controller_.SelectedLine() != last || controller_.CurrentLine() != last)
    controller_.MakeCurrent(last);
  AddCommand(*stack->FindDescriptor(7), {});
  sculptDialogMuted_ = true;
  AddCommand(*stack->FindDescriptor(TSCUseSculpt::kCommandId), {});
  sculptDialogMuted_ = false;
  auto* sculpt = dynamic_cast<TSCUseSculpt*>(controller_.SelectedCommand());
  if (!sculpt) return false;
  sculpt->FileName = LocalPath(fileName);
  sculpt->Positions = std::move(positions);
  sculpt->Reapply();
  sculpt->UpdateCaption();
  Redraw();
  GoalClick(0);
  return true;
}

void TFormMain::MnuExportAllClick() {
  // The mesh of the tree's current node, or the first mesh.
  const TObjData* mesh = nullptr;
  for (QTreeWidgetItem* node = tree_->currentItem(); node && !mesh; node = node->parent()) {
    const TTreeObject object = TSceneTree::ObjectOf(node);
    if (auto* m = std::get_if<TObjData*>(&object)) mesh = *m;
  }
  if (!mesh) mesh = controller_.Live().Mesh(0);
  ExportAllTargets(mesh);
}

void TFormMain::ExportAllTargets(const TObjData* mesh) {
  if (!mesh) return;
  if (TargetFiles(*mesh, {}).empty()) {
    ShowError(kNoTargets);
    return;
  }
  const QString folder = prompts_->AskFolder(kExportAllTitle);
  if (folder.isEmpty()) return;
  const std::vector<TTargetFile> files = TargetFiles(*mesh, LocalPath(folder));
  int existing = 0;
  for (const TTargetFile& f : files) {
    std::error_code ec;
    existing += std::filesystem::exists(f.File, ec) ? 1 : 0;
  }
  if (existing > 0 && prompts_->Message(kConfirmSaveTitle, OverwriteAllQuestion(existing, folder),
                                        QMessageBox::Warning,
                                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
    return;
  TLongOperation wait(*this, progressBar_);
  Guarded([&] {
    for (const TTargetFile& f : files) {
      std::filesystem::create_directories(std::filesystem::path(f.File).parent_path());
      f.Target->ExportTargetGeometry(f.File);
    }
  });
}

void TFormMain::MnuSnapshotClick() {
  const QString file = AskSaveFile(SaveSnapshot());
  if (file.isEmpty()) return;
  {
    TLongOperation wait(*this, progressBar_);
    Guarded([&] { viewArea_->SaveSnapshot(LocalPath(file)); });
  }
  // Rendering for the picture may have left the view's drawing behind: it draws anew.
  viewArea_->ApplyViewSettings();
}

// ---------------------------------------------------------------------------------------------
// Projects

void TFormMain::ActLoadPrjExecute() {
  if (!AskSaveIfModified()) return;
  const QString file = AskOpenFile(OpenProject());
  if (!file.isEmpty()) LoadProject(file);
}

bool TFormMain::LoadProject(const QString& fileName) {
  bool loaded = false;
  {
    TLongOperation wait(*this, progressBar_);
    repaint();
    Guarded([&] { loaded = controller_.LoadProject(LocalPath(fileName)); });
  }
  if (!loaded) return false;
  viewArea_->FrameIfOutOfView();
  viewArea_->PlaceLight();
  Redraw();
  AddRecentFile(fileName);
  UpdateStackActions();
  RefreshTitle();
  return true;
}

bool TFormMain::SaveProject(const QString& fileName) {
  bool saved = false;
  {
    TLongOperation wait(*this, progressBar_);
    repaint();
    Guarded([&] { saved = controller_.SaveProject(LocalPath(fileName)); });
  }
  if (!saved) return false;
  AddRecentFile(fileName);
  RefreshTitle();
  return true;
}

void TFormMain::ActSaveExecute() {
  const std::string& name = controller_.Live().Name;
  if (name.empty())
    ActSavePrjExecute();
  else
    SaveProject(FromLocalPath(name));
}

void TFormMain::ActSavePrjExecute() {
  const QString file = AskSaveFile(fileflows::SaveProject());
  if (!file.isEmpty()) SaveProject(file);
}

// ---------------------------------------------------------------------------------------------
// Stacks

void TFormMain::ActLoadStackExecute() {
  const QString file = AskOpenFile(OpenStack());
  if (!file.isEmpty()) LoadStackFile(file);
}

bool TFormMain::LoadStackFile(const QString& fileName) {
  bool loaded = false;
  {
    TLongOperation wait(*this, progressBar_);
    repaint();
    // The substitution question and the merge error come from the controller.
    Guarded([&] { loaded = controller_.LoadStack(LocalPath(fileName)); });
  }
  UpdateStackActions();
  Redraw();
  return loaded;
}

void TFormMain::ActSaveStackExecute() {
  if (!controller_.Stack()) return;
  const QString file = AskSaveFile(fileflows::SaveStack());
  if (file.isEmpty()) return;
  TLongOperation wait(*this, progressBar_);
  repaint();
  // Saving a stack leaves the project's modified flag alone.
  Guarded([&] { controller_.SaveStack(LocalPath(file)); });
}

}  // namespace tarvel
