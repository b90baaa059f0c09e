// The main window's file flows: new project, Poser figures, morph targets, snapshots, projects,
// stacks and the recent-file list, with their dialogs and what the window shows afterwards.
#include "app/FileFlows.h"

#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QProgressBar>
#include <exception>
#include <memory>

#include "app/FormMain.h"
#include "app/SceneTree.h"
#include "app/StackDialogs.h"
#include "mesh/ObjReader.h"
#include "stack/ProjectFile.h"
#include "stack/StackFile.h"

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
}  // namespace

TFileDialogInfo OpenPoserObj() { return {"Open Poser file obj", kObjFilter, {}, {}}; }
TFileDialogInfo OpenTargetGeometry() { return {"Open Poser Target Geometry", kObjFilter, {}, {}}; }
TFileDialogInfo OpenProject() { return {projectfile::kOpenTitle, projectfile::kFilter, {}, {}}; }
TFileDialogInfo OpenStack() {
  return {stackfile::kLoadTitle, stackfile::kFilter, Bare(stackfile::kExtension), {}};
}
TFileDialogInfo ExportTargetGeometry(const QString& targetName) {
  return {"Export Poser Target Geometry", kObjFilter, "obj", targetName};
}
TFileDialogInfo SaveSnapshot() { return {{}, "Bitmaps (*.bmp)|*.bmp", "bmp", {}}; }
TFileDialogInfo SaveProject() {
  return {projectfile::kSaveTitle, projectfile::kFilter, Bare(projectfile::kExtension), {}};
}
TFileDialogInfo SaveStack() {
  return {stackfile::kSaveTitle, stackfile::kFilter, Bare(stackfile::kExtension), {}};
}

QString OverwriteQuestion(const QString& fileName) {
  return QFileInfo(fileName).fileName() + " already exists.\nDo you want to replace it?";
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

QString TFormMain::AskOpenFile(const TFileDialogInfo& dialog) {
  return prompts_->AskOpenFileName(dialog);
}

QString TFormMain::AskSaveFile(const TFileDialogInfo& dialog) {
  for (;;) {
    const QString chosen = prompts_->AskSaveFileName(dialog);
    if (chosen.isEmpty()) return {};
    const QString file = WithDefaultExtension(chosen, dialog.DefaultExtension);
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
  if (extension == "OBJ") return LoadPoserObj(fileName);
  if (extension == "VNX") return AskSaveIfModified() && LoadProject(fileName);
  if (extension == "STK") return LoadStackFile(fileName);
  return false;
}

// ---------------------------------------------------------------------------------------------
// New project and Poser figures

void TFormMain::NewProject() {
  if (!AskSaveIfModified()) return;
  Guarded([&] { controller_.NewProject(); });
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
  if (code == 1 || code == 2) {
    ShowError(code == 1 ? kFileNotFound : kWrongVertexCount);
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
