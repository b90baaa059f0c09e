// The main window with scripted prompts and a view that records what the window asks of it,
// its INI file and tutorials folder in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QWidget>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/FormMain.h"
#include "app/ViewFactory.h"

namespace tarvel::test {

struct TShownMessage {
  QString Title;
  QString Text;
  QMessageBox::Icon Icon;
  QMessageBox::StandardButtons Buttons;
};

// Answers from queues, taken from the front; a question with no answer queued fails the test
// and is answered with Cancel (or No, or a cancelled dialog).
class TScriptedPrompts : public IFormPrompts {
 public:
  QMessageBox::StandardButton Message(const QString& title, const QString& text,
                                      QMessageBox::Icon icon,
                                      QMessageBox::StandardButtons buttons) override {
    Messages.push_back({title, text, icon, buttons});
    if (MessageAnswers.empty()) {
      if (buttons == QMessageBox::Ok) return QMessageBox::Ok;
      ADD_FAILURE() << "unexpected question: " << text.toStdString();
      return buttons & QMessageBox::Cancel ? QMessageBox::Cancel : QMessageBox::No;
    }
    const QMessageBox::StandardButton answer = MessageAnswers.front();
    MessageAnswers.pop_front();
    return answer;
  }
  const TCommandDescriptor* ChooseCommand(const TStackTarget&) override {
    ++CommandDialogs;
    if (CommandAnswers.empty()) {
      ADD_FAILURE() << "unexpected \"Add command in stack\" dialog";
      return nullptr;
    }
    const TCommandDescriptor* answer = CommandAnswers.front();
    CommandAnswers.pop_front();
    return answer;
  }
  TAddMode AskAddMode() override {
    ++AddModeQuestions;
    if (AddModeAnswers.empty()) {
      ADD_FAILURE() << "unexpected insert-or-append question";
      return TAddMode::Cancel;
    }
    const TAddMode answer = AddModeAnswers.front();
    AddModeAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
    MorphRequests.push_back(request);
    if (MorphNameAnswers.empty()) {
      ADD_FAILURE() << "unexpected morph name question";
      return std::nullopt;
    }
    std::optional<std::string> answer = MorphNameAnswers.front();
    MorphNameAnswers.pop_front();
    return answer;
  }
  QString AskOpenFileName(const TFileDialogInfo& dialog) override {
    OpenDialogs.push_back(dialog);
    if (OpenFileAnswers.empty()) {
      ADD_FAILURE() << "unexpected open dialog " << dialog.Title.toStdString();
      return {};
    }
    const QString answer = OpenFileAnswers.front();
    OpenFileAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> AskTargetName(std::string_view proposed) override {
    TargetNameRequests.emplace_back(proposed);
    if (TargetNameAnswers.empty()) {
      ADD_FAILURE() << "unexpected \"Add shape interpolation target\" dialog";
      return std::nullopt;
    }
    std::optional<std::string> answer = TargetNameAnswers.front();
    TargetNameAnswers.pop_front();
    return answer;
  }
  QString AskSaveFileName(const TFileDialogInfo& dialog) override {
    SaveDialogs.push_back(dialog);
    if (SaveFileAnswers.empty()) {
      ADD_FAILURE() << "unexpected save dialog " << dialog.Title.toStdString();
      return {};
    }
    const QString answer = SaveFileAnswers.front();
    SaveFileAnswers.pop_front();
    return answer;
  }
  QString AskFolder(const QString& title) override {
    FolderDialogs.push_back(title);
    if (FolderAnswers.empty()) {
      ADD_FAILURE() << "unexpected folder dialog " << title.toStdString();
      return {};
    }
    const QString answer = FolderAnswers.front();
    FolderAnswers.pop_front();
    return answer;
  }
  void ShowAbout() override { ++AboutShown; }
  void ShellOpen(const QUrl& target) override { Opened.push_back(target); }

  std::deque<QMessageBox::StandardButton> MessageAnswers;
  std::deque<const TCommandDescriptor*> CommandAnswers;
  std::deque<TAddMode> AddModeAnswers;
  std::deque<std::optional<std::string>> MorphNameAnswers;
  std::deque<QString> SaveFileAnswers;
  std::deque<QString> OpenFileAnswers;
  std::deque<std::optional<std::string>> TargetNameAnswers;
  std::deque<QString> FolderAnswers;

  std::vector<TShownMessage> Messages;
  int CommandDialogs = 0;
  int AddModeQuestions = 0;
  std::vector<TMorphNameRequest> MorphRequests;
  std::vector<TFileDialogInfo> SaveDialogs;
  std::vector<TFileDialogInfo> OpenDialogs;
  std::vector<std::string> TargetNameRequests;
  std::vector<QString> FolderDialogs;
  int AboutShown = 0;
  std::vector<QUrl> Opened;
};

// A view that draws nothing and counts what it is asked.
class TRecordingView : public QWidget, public IViewArea {
 public:
  using QWidget::QWidget;
  void Redraw() override { ++Redraws; }
  void ApplyViewSettings() override { ++Applied; }
  void PlaceLight() override { ++LightPlacings; }
  void RefreshPointSize() override { ++PointSizeRefreshes; }
  void SetCameraMode(int mode) override { CameraModes.push_back(mode); }
  void TargetGroup(const TGroup& group) override { Targeted.push_back(&group); }
  void SetCursorMode(int mode) override { CursorModes.push_back(mode); }
  QImage StoreCameraSlot(int slot) override {
    Stored.push_back(slot);
    QImage thumb(28, 28, QImage::Format_RGB32);
    thumb.fill(QColor(0, 128, 128));
    thumb.setPixelColor(14, 14, Qt::red);
    return thumb;
  }
  bool RecallCameraSlot(int slot) override {
    Recalled.push_back(slot);
    return slot == RecallableSlot;
  }
  QImage RenderImage() override { return QImage(4, 4, QImage::Format_RGB888); }
  void SaveSnapshot(const std::string&) override {}
  void FrameAll() override { ++FramedAll; }
  void FrameSelection() override { ++FramedSelection; }
  void FrameIfOutOfView() override { ++FrameChecks; }
  void ResetCamera() override { ++CameraResets; }
  void SetShowWeights(bool shown) override { Weights.push_back(shown); }

  int FramedAll = 0;
  int FramedSelection = 0;
  int FrameChecks = 0;
  int CameraResets = 0;
  std::vector<bool> Weights;
  int Redraws = 0;
  int Applied = 0;
  int LightPlacings = 0;
  int PointSizeRefreshes = 0;
  std::vector<int> CameraModes;
  std::vector<const TGroup*> Targeted;
  std::vector<int> CursorModes;
  std::vector<int> Stored;
  std::vector<int> Recalled;
  int RecallableSlot = -1;
};

class TFormMainTest : public ::testing::Test {
 protected:
  TFormMainOptions Options() {
    TFormMainOptions o;
    o.ExePath = QString::fromStdString((dir.Path() / "tarvel").string());
    o.IniFile = IniFile();
    o.TutorialsFolder = QString::fromStdString((dir.Path() / "Tutorials").string());
    o.ShowSplash = false;
    o.WriteRegistry = false;
    o.Prompts = &prompts;
    o.CreateView = [this](TStackController&, QWidget* parent) {
      view = new TRecordingView(parent);
      return TViewPart{view, view};
    };
    return o;
  }
  QString IniFile() const { return QString::fromStdString((dir.Path() / "tarvel.ini").string()); }
  TFormMain& Form() {
    if (!form) form = std::make_unique<TFormMain>(Options());
    return *form;
  }
  QAction* Action(const char* name) {
    QAction* a = Form().findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  static const TStackTarget& Target() { return *StackTargets()[0]; }
  // Starts a stack from the Stack menu's target entry.
  void StartStack() {
    ASSERT_FALSE(Form().TargetItems().empty());
    Form().TargetItems().front()->trigger();
    ASSERT_NE(Form().Controller().Stack(), nullptr);
  }
  std::string SamplePath() const { return std::string(TARVEL_SAMPLES_DIR) + "/figure.obj"; }

  TTempDir dir;
  TScriptedPrompts prompts;
  TRecordingView* view = nullptr;
  std::unique_ptr<TFormMain> form;
};

// The captions of a menu's entries, "-" for separators.
inline std::vector<std::string> Captions(const QMenu* menu) {
  std::vector<std::string> out;
  for (const QAction* a : menu->actions())
    out.push_back(a->isSeparator() ? std::string("-") : a->text().toStdString());
  return out;
}

}  // namespace tarvel::test
