#include "app/FormMain.h"

#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QEnterEvent>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>
#include <QTreeWidget>
#include <QWhatsThisClickedEvent>
#include <algorithm>
#include <map>
#include <set>
#include <span>
#include <tuple>

#include "FormMainFixture.h"
#include "app/CommandList.h"
#include "app/HelpWindow.h"
#include "app/Pictures.h"
#include "app/QtParamPanel.h"
#include "app/SceneTree.h"
#include "app/StackDialogs.h"
#include "commands/Kinds.h"

namespace tarvel::test {
namespace {

QMenu* SubMenu(const QMenu* menu, const QString& title) {
  for (QAction* a : menu->actions())
    if (a->menu() && a->text() == title) return a->menu();
  ADD_FAILURE() << "no sub-menu " << title.toStdString();
  return nullptr;
}

std::vector<std::pair<int, std::string>> TagsAndHints(QWidget* page) {
  std::vector<std::pair<int, std::string>> out;
  for (const QToolButton* b : page->findChildren<QToolButton*>())
    out.emplace_back(b->property("tag").toInt(), b->toolTip().toStdString());
  return out;
}

TEST_F(TFormMainTest, StartsWithNoStackAndTheViewSettingsStartValues) {
  TFormMain& f = Form();
  EXPECT_EQ(f.windowTitle().toStdString(), "Tarvel V.1.0a  [NoName]");
  EXPECT_EQ(f.ToolPages()->currentIndex(), 0);
  EXPECT_TRUE(f.HintLabel()->text().isEmpty());
  EXPECT_EQ(f.ProgressBar()->minimum(), 0);
  EXPECT_EQ(f.ProgressBar()->maximum(), 100);
  // Without an INI file the window covers the work area.
  EXPECT_EQ(f.geometry(), f.screen()->availableGeometry());

  ASSERT_EQ(f.CommandButtons().size(), 21u);
  for (const QToolButton* b : f.CommandButtons())
    EXPECT_FALSE(b->isEnabled()) << b->toolTip().toStdString();
  for (const QToolButton* b : f.ToolPages()->widget(0)->findChildren<QToolButton*>())
    EXPECT_EQ(b->isEnabled(), b != f.BackFacesButton()) << b->toolTip().toStdString();

  // Face culling on: its button released, back faces greyed in the menu and on the page.
  EXPECT_TRUE(Action("ActFaceCulling")->isChecked());
  EXPECT_FALSE(f.FaceCullingButton()->isChecked());
  EXPECT_FALSE(Action("ActBackFacesMode")->isEnabled());
  EXPECT_FALSE(f.BackFacesButton()->isEnabled());

  for (const char* on : {"ActCamPointZero", "ActColGroup", "ActTrackBox", "ActDisplShaded",
                         "ActMeshViewAll", "ActShowGround", "ActCursDefault"})
    EXPECT_TRUE(Action(on)->isChecked()) << on;
  for (const char* off :
       {"ActCamPointGroup", "ActCamCentreScene", "ActCamLock", "ActColMatEdit", "ActColSelection",
        "ActTrackFull", "ActTrackWire", "ActDisplWire", "ActMeshViewRight", "ActMeshViewLeft",
        "ActBackFacesMode", "ActCursPanning", "ActCursZoom"})
    EXPECT_FALSE(Action(off)->isChecked()) << off;

  EXPECT_FALSE(Action("ActStackAddComm")->isEnabled());
  EXPECT_FALSE(Action("ActSaveStack")->isEnabled());
  EXPECT_TRUE(Action("ActLoadStack")->isEnabled());
  EXPECT_FALSE(f.ClearStackItem()->isEnabled());
  ASSERT_EQ(f.TargetItems().size(), 1u);
  EXPECT_TRUE(f.TargetItems()[0]->isEnabled());
  EXPECT_TRUE(f.GoalItems().empty());
  // No folder "Tutorials": no Tutorials entry.
  EXPECT_FALSE(f.TutorialsMenu()->menuAction()->isVisible());

  EXPECT_EQ(f.Tree()->topLevelItemCount(), 0);
  EXPECT_EQ(f.CommandList()->count(), 0);
  EXPECT_GE(view->Applied, 1);
  EXPECT_EQ(view->PointSizeRefreshes, 1);
}

TEST_F(TFormMainTest, MenusHoldTheirEntriesInOrder) {
  TFormMain& f = Form();
  using L = std::vector<std::string>;
  EXPECT_EQ(Captions(f.FileMenu()),
            (L{"&New project", "Load &project", "Save project", "Save project As", "&Import",
               "Load full-body morph...", "Export all targets...", "Snapshoot", "&Exit", "-"}));
  EXPECT_EQ(Captions(SubMenu(f.FileMenu(), "&Import")), (L{"Load Poser &Obj"}));
  EXPECT_EQ(Captions(f.DisplayMenu()),
            (L{"&Camera", "&Object colors", "&Tracking mode", "Display mode", "&Mesh",
               "Face culling", "Back faces mode", "Show ground plane", "Show weights", "-",
               "Frame all", "Frame selection"}));
  const struct {
    const char* Title;
    L Entries;
  } display[] = {
      {"&Camera",
       {"Point to (0,0,0)", "Point to the centre of the group", "Point to the centre of the scene",
        "Lock the actual position"}},
      {"&Object colors", {"Show colors of groups", "Show colors of materials", "Show selection"}},
      {"&Tracking mode", {"Box tracking", "Wire frame tracking", "Full tracking"}},
      {"Display mode", {"Lit wireframe", "Smooth shaded"}},
      {"&Mesh", {"View all", "View only right side", "View only left side"}},
  };
  for (const auto& sub : display)
    EXPECT_EQ(Captions(SubMenu(f.DisplayMenu(), sub.Title)), sub.Entries) << sub.Title;
  EXPECT_EQ(Captions(f.StackMenu()),
            (L{"Add command in stack", "Load stack", "Save stack", "&Clear stack", "-", "-",
               "Modify geometries to create a morph target"}));
  EXPECT_EQ(Captions(f.HelpMenu()), (L{"&Contents", "&Tutorials", "-", "&About..."}));
  EXPECT_EQ(Action("ActCamLock")->statusTip().toStdString(),
            "Don't move camera on group or scene changes");
  EXPECT_EQ(Action("ActSaveStack")->statusTip().toStdString(), "Save stack on file");
}

TEST_F(TFormMainTest, GeneralPageHoldsItsButtonsWithTagsAndHints) {
  TFormMain& f = Form();
  using P = std::vector<std::pair<int, std::string>>;
  const std::string memo = "Hold down CTRL while press button to memorize camera position";
  const P general = {{29000, ""},
                     {29001, "Panning"},
                     {29002, "Zoom In/Out"},
                     {29010, "Camera point to (0,0,0)"},
                     {29010, "Camera point to the center of scene"},
                     {29010, "Camera point to the center of group"},
                     {29010, "Don't move camera on group or scene changes"},
                     {29010, memo},
                     {29010, memo},
                     {29010, memo},
                     {29050, "Show all the meshes in the view"},
                     {29020, "Show colors of groups"},
                     {29020, "Show colors of materials"},
                     {29020, "Show colors of selection"},
                     {29060, "Colour the surface by soft selection weight"},
                     {29030, "See all mesh"},
                     {29030, "See only the right side of the mesh"},
                     {29030, "See only the left side of the mesh"},
                     {29040, "Face culling ON/OFF"},
                     {29040, "Backfaces wireframe/fill"}};
  ASSERT_GE(f.ToolPages()->count(), 1);
  EXPECT_EQ(f.ToolPages()->tabText(0).toStdString(), "&General");
  EXPECT_EQ(TagsAndHints(f.ToolPages()->widget(0)), general);
  EXPECT_EQ(f.ToolPages()->height(), 67);
}

// The command pages follow the kinds: every button is a kind of the target on its own page,
// with the kind's hint and picture, and every kind with a page has exactly one button.
TEST_F(TFormMainTest, CommandPagesHoldOneButtonPerKindWithItsHintAndPicture) {
  TFormMain& f = Form();
  const TStackTarget& target = *FindStackTarget(1);
  const std::span<const TCommandPage> pages = CommandPages();
  ASSERT_EQ(f.ToolPages()->count(), 1 + static_cast<int>(pages.size()));
  std::map<int, int> buttons;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const TCommandPage& page = pages[i];
    QWidget* widget = f.ToolPages()->widget(static_cast<int>(i) + 1);
    EXPECT_EQ(f.ToolPages()->tabText(static_cast<int>(i) + 1).toStdString(), page.Caption);
    for (const QToolButton* b : widget->findChildren<QToolButton*>()) {
      const int tag = b->property("tag").toInt();
      SCOPED_TRACE(tag);
      ++buttons[tag];
      const TCommandDescriptor* descriptor = target.FindDescriptor(tag);
      ASSERT_NE(descriptor, nullptr) << "a button of no kind of the target";
      EXPECT_TRUE(descriptor->HasFlag(page.Bit)) << "a button on a page not its kind's";
      const auto kind = std::find_if(CommandKinds().begin(), CommandKinds().end(),
                                     [&](const TKindInfo& k) { return k.CommandId == tag; });
      ASSERT_NE(kind, CommandKinds().end());
      ASSERT_NE(kind->Picture, nullptr);
      EXPECT_EQ(b->toolTip().toStdString(), kind->Hint);
      EXPECT_EQ(b->statusTip().toStdString(), kind->Hint);
      const QString picture = QString(":/tools/%1.svg").arg(kind->Picture);
      EXPECT_TRUE(QFile::exists(picture)) << kind->Picture;
      EXPECT_EQ(b->icon().pixmap(26, 26).toImage(), SvgIcon(picture).pixmap(26, 26).toImage())
          << kind->Picture;
    }
  }
  for (const TKindInfo& k : CommandKinds())
    EXPECT_EQ(buttons[k.CommandId], k.Picture ? 1 : 0) << k.KindName;
  std::size_t total = 0;
  for (const auto& [tag, count] : buttons) total += static_cast<std::size_t>(count);
  EXPECT_EQ(f.CommandButtons().size(), total);
}

TEST_F(TFormMainTest, StackMenuStartsAStackAndCommandButtonsAddCommands) {
  TFormMain& f = Form();
  StartStack();
  TStackController& c = f.Controller();
  EXPECT_TRUE(c.Modified());
  ASSERT_EQ(f.CommandList()->count(), 1);
  EXPECT_EQ(f.CommandList()->LineText(0), "Modify geometries to create a morph target");
  // The goal entry sits at position 3, before "&Clear stack".
  ASSERT_EQ(f.GoalItems().size(), 1u);
  EXPECT_EQ(f.StackMenu()->actions().indexOf(f.GoalItems()[0]), 3);
  EXPECT_EQ(f.GoalItems()[0]->text().toStdString(), "Goal: Create Morph Target");
  EXPECT_FALSE(f.TargetItems()[0]->isEnabled());
  EXPECT_TRUE(f.ClearStackItem()->isEnabled());
  EXPECT_TRUE(Action("ActStackAddComm")->isEnabled());
  EXPECT_TRUE(Action("ActSaveStack")->isEnabled());
  for (const QToolButton* b : f.CommandButtons())
    EXPECT_TRUE(b->isEnabled()) << b->toolTip().toStdString();
  EXPECT_TRUE(Action("ActColSelection")->isChecked());

  // With the last line current, a button appends without asking.
  QTest::mouseClick(f.ToolButtons(7).at(0), Qt::LeftButton);
  QTest::mouseClick(f.ToolButtons(102).at(0), Qt::LeftButton);
  ASSERT_EQ(f.CommandList()->count(), 3);
  EXPECT_EQ(prompts.AddModeQuestions, 0);
  EXPECT_EQ(c.CurrentLine(), 2);
  EXPECT_EQ(f.CommandList()->LineText(1), "Select all");
  EXPECT_EQ(f.CommandList()->LineText(2), c.Stack()->Command(2)->Caption);
  EXPECT_FALSE(f.ParamPanel()->Controls().empty()) << "the rotation shows its parameters";

  // From line 1, a new command is inserted after it when the user says so.
  c.MakeCurrent(1);
  prompts.AddModeAnswers = {TAddMode::Insert};
  QTest::mouseClick(f.ToolButtons(8).at(0), Qt::LeftButton);
  EXPECT_EQ(prompts.AddModeQuestions, 1);
  ASSERT_EQ(f.CommandList()->count(), 4);
  EXPECT_EQ(f.CommandList()->LineText(2), "Clear selection");
  EXPECT_EQ(c.CurrentLine(), 2);

  // "Add command in stack" adds the chosen kind; cancelling adds nothing.
  c.MakeCurrent(3);
  prompts.CommandAnswers = {c.Stack()->FindDescriptor(9), nullptr};
  Action("ActStackAddComm")->trigger();
  Action("ActStackAddComm")->trigger();
  EXPECT_EQ(prompts.CommandDialogs, 2);
  ASSERT_EQ(f.CommandList()->count(), 5);
  EXPECT_EQ(f.CommandList()->LineText(4), "Invert selection");

  // Clearing asks; No keeps the stack, Yes removes it with its goal entry.
  prompts.MessageAnswers = {QMessageBox::No, QMessageBox::Yes};
  f.ClearStackItem()->trigger();
  EXPECT_NE(c.Stack(), nullptr);
  f.ClearStackItem()->trigger();
  ASSERT_EQ(prompts.Messages.size(), 2u);
  EXPECT_EQ(prompts.Messages[1].Title, "Warning");
  EXPECT_EQ(prompts.Messages[1].Text, "Do you want to clear the stack?");
  EXPECT_EQ(prompts.Messages[1].Icon, QMessageBox::Question);
  EXPECT_EQ(prompts.Messages[1].Buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(c.Stack(), nullptr);
  EXPECT_TRUE(f.GoalItems().empty());
  EXPECT_EQ(Captions(f.StackMenu()).size(), 7u);
  EXPECT_EQ(f.CommandList()->count(), 0);
  EXPECT_TRUE(f.ParamPanel()->Controls().empty());
  EXPECT_TRUE(f.TargetItems()[0]->isEnabled());
  for (const QToolButton* b : f.CommandButtons()) EXPECT_FALSE(b->isEnabled());
}

TEST_F(TFormMainTest, GoalAsksForEachChangedGroupThroughTheWindow) {
  TFormMain& f = Form();
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(SamplePath())));
  StartStack();
  TStackController& c = f.Controller();
  QTest::mouseClick(f.ToolButtons(7).at(0), Qt::LeftButton);
  QTest::mouseClick(f.ToolButtons(101).at(0), Qt::LeftButton);
  ASSERT_EQ(c.CurrentLine(), 2);
  // The translation's first edit is X; the user changes it in the panel.
  auto* edit = f.ParamPanel()->Content()->findChild<QDoubleSpinBox*>();
  ASSERT_NE(edit, nullptr);
  const double before = c.Live().Mesh(0)->Vertices[0].X;
  edit->setValue(0.25);
  EXPECT_DOUBLE_EQ(c.Live().Mesh(0)->Vertices[0].X, before + 0.25);

  prompts.MorphNameAnswers.assign(100, std::nullopt);
  prompts.MorphNameAnswers.front() = "moved";
  prompts.MessageAnswers = {QMessageBox::Yes};
  ASSERT_EQ(f.GoalItems().size(), 1u);
  f.GoalItems()[0]->trigger();
  ASSERT_FALSE(prompts.MorphRequests.empty());
  EXPECT_EQ(prompts.MorphRequests[0].MeshLine, "Mesh:figure");
  EXPECT_EQ(prompts.Messages.back().Text, "Do you want to clear the stack?");
  EXPECT_EQ(c.Stack(), nullptr);
  // The named target now belongs to the meshes as they were before the stack.
  int named = 0;
  const TObjData& mesh = *c.Live().Mesh(0);
  for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g)
    for (std::int32_t t = 0; t < mesh.Groups[g]->MorphTargets.Count(); ++t)
      named += mesh.Groups[g]->MorphTargets[t]->Name == "moved";
  EXPECT_EQ(named, 1);
  EXPECT_DOUBLE_EQ(c.Live().Mesh(0)->Vertices[0].X, before);
}

TEST_F(TFormMainTest, ViewActionsSetTheSettingAndItsCheckedActionAndButton) {
  TFormMain& f = Form();
  TViewSettings& v = f.Controller().View();
  const struct {
    const char* Action;
    std::function<int()> Setting;
    int Expected;
    QToolButton* Button;  // pressed afterwards, or none for menu-only settings
  } cases[] = {
      {"ActCamLock", [&] { return int{v.CameraMode}; }, 3, f.ToolButtons(29010)[3]},
      {"ActCamPointGroup", [&] { return int{v.CameraMode}; }, 1, f.ToolButtons(29010)[2]},
      {"ActCamCentreScene", [&] { return int{v.CameraMode}; }, 2, f.ToolButtons(29010)[1]},
      {"ActColMatEdit", [&] { return int{v.ColourMode}; }, 2, f.ToolButtons(29020)[1]},
      {"ActColSelection", [&] { return int{v.ColourMode}; }, 3, f.ToolButtons(29020)[2]},
      {"ActTrackWire", [&] { return int{v.TrackingMode}; }, 2, nullptr},
      {"ActTrackFull", [&] { return int{v.TrackingMode}; }, 0, nullptr},
      {"ActDisplWire", [&] { return int{v.DisplayMode}; }, 0, nullptr},
      {"ActMeshViewRight", [&] { return int{v.Side}; }, 1, f.ToolButtons(29030)[1]},
      {"ActMeshViewLeft", [&] { return int{v.Side}; }, 2, f.ToolButtons(29030)[2]},
      {"ActShowGround", [&] { return int{v.GroundShown}; }, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Action);
    QAction* a = Action(c.Action);
    a->trigger();
    EXPECT_EQ(c.Setting(), c.Expected);
    EXPECT_EQ(a->isChecked(), std::string(c.Action) != "ActShowGround");
    if (c.Button) {
      EXPECT_TRUE(c.Button->isChecked());
      // Exactly one button of the group is pressed.
      const int tag = c.Button->property("tag").toInt();
      const auto buttons = f.ToolButtons(tag);
      const auto pressed = std::count_if(buttons.begin(), buttons.end(),
                                         [](const QToolButton* b) { return b->isChecked(); });
      EXPECT_EQ(pressed, 1);
    }
  }
  EXPECT_EQ(view->CameraModes, (std::vector<int>{3, 1, 2}));
  EXPECT_EQ(f.Controller().Live().ColourMode, 3);
  EXPECT_EQ(f.Controller().Live().Side, 2);
  EXPECT_EQ(f.Controller().Live().TrackingMode, 0);
  EXPECT_EQ(f.Controller().Live().DisplayMode, 0);

  // A click on a page button does what its action does.
  QTest::mouseClick(f.ToolButtons(29020)[0], Qt::LeftButton);
  EXPECT_EQ(v.ColourMode, 1);
  EXPECT_TRUE(Action("ActColGroup")->isChecked());
}

TEST_F(TFormMainTest, FaceCullingEnablesBackFacesOnlyWhileOff) {
  TFormMain& f = Form();
  TViewSettings& v = f.Controller().View();
  const int applied = view->Applied;
  QTest::mouseClick(f.FaceCullingButton(), Qt::LeftButton);
  EXPECT_FALSE(v.FaceCulling);
  EXPECT_FALSE(Action("ActFaceCulling")->isChecked());
  EXPECT_TRUE(f.FaceCullingButton()->isChecked()) << "pressed while culling is off";
  EXPECT_TRUE(Action("ActBackFacesMode")->isEnabled());
  EXPECT_TRUE(f.BackFacesButton()->isEnabled());

  QTest::mouseClick(f.BackFacesButton(), Qt::LeftButton);
  EXPECT_TRUE(v.BackFaceFill);
  EXPECT_TRUE(Action("ActBackFacesMode")->isChecked());
  EXPECT_TRUE(f.BackFacesButton()->isChecked());
  Action("ActBackFacesMode")->trigger();
  EXPECT_FALSE(v.BackFaceFill);
  EXPECT_FALSE(f.BackFacesButton()->isChecked());

  Action("ActFaceCulling")->trigger();
  EXPECT_TRUE(v.FaceCulling);
  EXPECT_FALSE(f.FaceCullingButton()->isChecked());
  EXPECT_FALSE(f.BackFacesButton()->isEnabled());
  EXPECT_EQ(view->Applied, applied + 4);
}

TEST_F(TFormMainTest, CursorButtonsChooseTheDragModeAndTheViewportsCursor) {
  TFormMain& f = Form();
  QWidget* viewport = view;
  const struct {
    int Tag;
    int Mode;
    const char* Action;
  } cases[] = {
      {29001, 1, "ActCursPanning"}, {29002, 2, "ActCursZoom"}, {29000, 0, "ActCursDefault"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Action);
    QTest::mouseClick(f.ToolButtons(c.Tag).at(0), Qt::LeftButton);
    EXPECT_EQ(f.CursorMode(), c.Mode);
    EXPECT_EQ(view->CursorModes.back(), c.Mode);
    EXPECT_TRUE(Action(c.Action)->isChecked());
    EXPECT_TRUE(f.ToolButtons(c.Tag).at(0)->isChecked());
  }
  Action("ActCursZoom")->trigger();
  EXPECT_EQ(viewport->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(viewport->cursor().pixmap().cacheKey(), f.ZoomCursor().pixmap().cacheKey());
  Action("ActCursDefault")->trigger();
  EXPECT_FALSE(viewport->testAttribute(Qt::WA_SetCursor));
}

TEST_F(TFormMainTest, CameraSlotButtonsStoreWithCtrlAndRecallWithout) {
  TFormMain& f = Form();
  QToolButton* slot1 = f.CameraSlotButton(1);
  const qint64 before = slot1->icon().pixmap(28, 28).cacheKey();
  QTest::mouseClick(slot1, Qt::LeftButton, Qt::ControlModifier);
  EXPECT_EQ(view->Stored, (std::vector<int>{1}));
  EXPECT_NE(slot1->icon().pixmap(28, 28).cacheKey(), before);
  // The thumbnail's background (its bottom-left colour) is see-through.
  const QImage shown = slot1->icon().pixmap(28, 28).toImage();
  EXPECT_EQ(qAlpha(shown.pixel(0, 27)), 0);
  EXPECT_EQ(qAlpha(shown.pixel(14, 14)), 255);

  view->RecallableSlot = 1;
  const int lights = view->LightPlacings;
  QTest::mouseClick(f.CameraSlotButton(0), Qt::LeftButton);
  QTest::mouseClick(slot1, Qt::LeftButton);
  EXPECT_EQ(view->Recalled, (std::vector<int>{0, 1}));
  EXPECT_EQ(view->LightPlacings, lights + 1) << "only a slot that was set moves the light";
}

TEST_F(TFormMainTest, ExitAsksAboutUnsavedChangesAndCancelKeepsEverything) {
  TFormMain& f = Form();
  f.show();
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(SamplePath())));
  ASSERT_TRUE(f.Controller().Modified());

  prompts.MessageAnswers = {QMessageBox::Cancel};
  f.findChild<QAction*>("MnuExit")->trigger();
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].Title, "Warning");
  EXPECT_EQ(prompts.Messages[0].Text, "The project is modified!\nDo you want to save now?");
  EXPECT_EQ(prompts.Messages[0].Icon, QMessageBox::Question);
  EXPECT_EQ(prompts.Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_TRUE(f.isVisible());
  EXPECT_TRUE(f.Controller().Modified());
  EXPECT_EQ(f.Controller().Live().MeshCount(), 1);

  // Yes with the save dialog cancelled saved nothing: the window stays.
  prompts.MessageAnswers = {QMessageBox::Yes};
  prompts.SaveFileAnswers = {QString()};
  f.close();
  ASSERT_EQ(prompts.SaveDialogs.size(), 1u);
  EXPECT_EQ(prompts.SaveDialogs[0].Title, "Save project file");
  EXPECT_EQ(prompts.SaveDialogs[0].Filter, "Vantor VNX (*.vnx)|*.vnx");
  EXPECT_TRUE(f.isVisible());

  // No closes the window without saving; the placement is written.
  prompts.MessageAnswers = {QMessageBox::No};
  f.close();
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(QFile::exists(IniFile()));
}

TEST_F(TFormMainTest, SavingOnExitWritesTheProjectAndCloses) {
  TFormMain& f = Form();
  f.show();
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(SamplePath())));
  const QString file = QString::fromStdString((dir.Path() / "Model.vnx").string());
  prompts.MessageAnswers = {QMessageBox::Yes};
  prompts.SaveFileAnswers = {file};
  f.close();
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_FALSE(f.Controller().Modified());
  EXPECT_EQ(f.windowTitle().toStdString(), "Tarvel V.1.0a  [Model]");
}

TEST_F(TFormMainTest, NewProjectAsksThenEmptiesEverything) {
  TFormMain& f = Form();
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(SamplePath())));
  StartStack();
  QTest::mouseClick(f.ToolButtons(7).at(0), Qt::LeftButton);

  prompts.MessageAnswers = {QMessageBox::Cancel};
  f.findChild<QAction*>("MnuNewProject")->trigger();
  EXPECT_NE(f.Controller().Stack(), nullptr);
  EXPECT_EQ(f.Controller().Live().MeshCount(), 1);

  prompts.MessageAnswers = {QMessageBox::No};
  f.findChild<QAction*>("MnuNewProject")->trigger();
  EXPECT_EQ(f.Controller().Stack(), nullptr);
  EXPECT_EQ(f.Controller().Live().MeshCount(), 0);
  EXPECT_FALSE(f.Controller().Modified());
  EXPECT_EQ(f.CommandList()->count(), 0);
  EXPECT_TRUE(f.GoalItems().empty());
  EXPECT_EQ(f.Tree()->topLevelItemCount(), 0);
  EXPECT_TRUE(f.TargetItems()[0]->isEnabled());
  EXPECT_EQ(f.windowTitle().toStdString(), "Tarvel V.1.0a  [NoName]");
  EXPECT_EQ(view->CameraResets, 1) << "the camera goes back to where it starts";
  // Not modified now: no question.
  f.findChild<QAction*>("MnuNewProject")->trigger();
  EXPECT_EQ(prompts.Messages.size(), 2u);
}

TEST_F(TFormMainTest, FramingAndShowWeightsReachTheViewFromMenuKeysAndButtons) {
  TFormMain& f = Form();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(SamplePath())));
  EXPECT_EQ(view->FrameChecks, 1) << "a loaded figure is framed when it would not show";

  Action("ActFrameAll")->trigger();
  QTest::mouseClick(f.ToolButtons(TFormMain::kTagFrame).at(0), Qt::LeftButton);
  for (const Qt::Key key : {Qt::Key_F, Qt::Key_Home}) {
    f.activateWindow();
    QTest::keyClick(&f, key);
  }
  EXPECT_EQ(view->FramedAll, 4);
  Action("ActFrameSelection")->trigger();
  EXPECT_EQ(view->FramedSelection, 1);

  // Menu entry and button toggle one setting, and both show it.
  QToolButton* weights = f.ToolButtons(TFormMain::kTagWeights).at(0);
  Action("ActShowWeights")->trigger();
  EXPECT_TRUE(f.ShowWeights());
  EXPECT_TRUE(weights->isChecked());
  QTest::mouseClick(weights, Qt::LeftButton);
  EXPECT_FALSE(f.ShowWeights());
  EXPECT_FALSE(Action("ActShowWeights")->isChecked());
  EXPECT_EQ(view->Weights, (std::vector<bool>{true, false}));
}

TEST_F(TFormMainTest, OpensPoserObjFilesAndProjectsNamedOnTheCommandLine) {
  TFormMain& f = Form();
  const QString sample = QString::fromStdString(SamplePath());
  const int redraws = view->Redraws;
  ASSERT_TRUE(f.OpenFile(sample));
  EXPECT_GT(view->Redraws, redraws) << "the new mesh is drawn";
  TStackController& c = f.Controller();
  EXPECT_EQ(c.Live().MeshCount(), 1);
  ASSERT_EQ(f.Tree()->topLevelItemCount(), 1);
  EXPECT_EQ(f.Tree()->topLevelItem(0)->text(0), "figure");
  EXPECT_EQ(c.View().CameraMode, 2);
  EXPECT_TRUE(Action("ActCamCentreScene")->isChecked());
  EXPECT_TRUE(c.Modified());
  EXPECT_EQ(f.RecentFiles().Items().value(0), QFileInfo(sample).absoluteFilePath());
  EXPECT_EQ(f.ProgressBar()->value(), 0);

  // A second figure while a stack exists: line 0 current, the commands kept, the new mesh part
  // of the state the stack starts from.
  StartStack();
  QTest::mouseClick(f.ToolButtons(7).at(0), Qt::LeftButton);
  ASSERT_EQ(c.CurrentLine(), 1);
  ASSERT_TRUE(f.OpenFile(sample));
  EXPECT_EQ(c.CurrentLine(), 0);
  EXPECT_EQ(f.CommandList()->count(), 2);
  EXPECT_EQ(c.Stack()->Pristine->MeshCount(), 2);
  EXPECT_EQ(f.Tree()->topLevelItemCount(), 2);

  // A project saved and opened again.
  const QString project = QString::fromStdString((dir.Path() / "Model.vnx").string());
  ASSERT_TRUE(f.SaveProject(project));
  EXPECT_EQ(f.windowTitle().toStdString(), "Tarvel V.1.0a  [Model]");
  EXPECT_FALSE(c.Modified()) << "a new project asks nothing";
  f.NewProject();
  ASSERT_TRUE(f.OpenFile(project));
  EXPECT_EQ(c.Live().MeshCount(), 2);
  EXPECT_NE(c.Stack(), nullptr);
  EXPECT_EQ(f.CommandList()->count(), 2);
  EXPECT_FALSE(c.Modified());
  EXPECT_EQ(f.windowTitle().toStdString(), "Tarvel V.1.0a  [Model]");
  EXPECT_FALSE(f.TargetItems()[0]->isEnabled());

  // A stack file is loaded onto the figures as "Load stack" loads it; a damaged one is reported
  // and changes nothing.
  const std::string stack = (dir.Path() / "Moves.stk").string();
  ASSERT_TRUE(c.SaveStack(stack));
  f.NewProject();
  ASSERT_EQ(c.Stack(), nullptr);
  ASSERT_TRUE(f.OpenFile(sample));
  ASSERT_TRUE(f.OpenFile(QString::fromStdString(stack)));
  ASSERT_NE(c.Stack(), nullptr);
  EXPECT_EQ(f.CommandList()->count(), 2);
  EXPECT_FALSE(c.Stack()->Command(1)->Failed);
  const std::size_t messages = prompts.Messages.size();
  prompts.MessageAnswers = {QMessageBox::Yes};
  EXPECT_FALSE(f.OpenFile(QString::fromStdString(dir.Write("broken.stk", "x"))));
  ASSERT_EQ(prompts.Messages.size(), messages + 2) << "the substitution question, then the error";
  EXPECT_EQ(prompts.Messages.back().Title, "Error");
  EXPECT_TRUE(prompts.MessageAnswers.empty());
  EXPECT_EQ(f.CommandList()->count(), 2);

  // Missing files and other kinds open nothing.
  EXPECT_FALSE(f.OpenFile(QString::fromStdString((dir.Path() / "missing.obj").string())));
  EXPECT_FALSE(f.OpenFile(QString::fromStdString(dir.Write("notes.txt", "x"))));
  EXPECT_FALSE(f.OpenFile(QString::fromStdString((dir.Path() / "missing.stk").string())));
  EXPECT_EQ(c.Live().MeshCount(), 1);
}

TEST_F(TFormMainTest, ABrokenObjFileIsReportedAndChangesNothing) {
  TFormMain& f = Form();
  const std::string bad = dir.Write("bad.obj", "v 0 0 0\nf 1 2 3\n");
  EXPECT_FALSE(f.OpenFile(QString::fromStdString(bad)));
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].Title, "Error");
  EXPECT_EQ(prompts.Messages[0].Icon, QMessageBox::Critical);
  EXPECT_TRUE(prompts.Messages[0].Text.contains("bad.obj"));
  EXPECT_EQ(f.Controller().Live().MeshCount(), 0);
  EXPECT_FALSE(f.Controller().Modified());
  EXPECT_TRUE(f.RecentFiles().Items().isEmpty());
}

TEST_F(TFormMainTest, PlacementAndWidthsComeBackFromTheIniFile) {
  {
    TFormMain& first = Form();
    first.show();
    first.setGeometry(QRect(40, 50, 900, 640));
    first.ApplyPlacement({QRect(40, 50, 900, 640), false, 200, 260});
    QApplication::processEvents();
    ASSERT_TRUE(first.OpenFile(QString::fromStdString(SamplePath())));
    first.WriteSettings();
    form.reset();
  }
  QSettings ini(IniFile(), QSettings::IniFormat);
  EXPECT_EQ(ini.value("FormMain/Tree.Width").toInt(), 200);
  EXPECT_EQ(ini.value("FormMain/PanCent.Width").toInt(), 260);
  EXPECT_EQ(ini.value("FormMain/NormPos").toString(), "40,50,940,690");

  TFormMain& second = Form();
  second.show();
  QApplication::processEvents();
  const TPlacement p = second.Placement();
  EXPECT_EQ(p.Normal, QRect(40, 50, 900, 640));
  EXPECT_EQ(p.TreeWidth, 200);
  EXPECT_EQ(p.CentreWidth, 260);
  EXPECT_EQ(second.RecentFiles().Items().size(), 1);
  EXPECT_EQ(Captions(second.FileMenu()).back().substr(0, 3), "&1 ");
}

TEST_F(TFormMainTest, TutorialsMenuListsTheChmFilesAndOpensThem) {
  const std::filesystem::path tutorials = dir.Path() / "Tutorials";
  std::filesystem::create_directories(tutorials);
  dir.Write("Tutorials/Intro.chm", "x");
  dir.Write("Tutorials/Second step.CHM", "x");
  dir.Write("Tutorials/readme.txt", "x");
  TFormMain& f = Form();
  EXPECT_TRUE(f.TutorialsMenu()->menuAction()->isVisible());
  std::vector<std::string> captions = Captions(f.TutorialsMenu());
  std::sort(captions.begin(), captions.end());
  EXPECT_EQ(captions, (std::vector<std::string>{"Intro", "Second step"}));
  for (QAction* a : f.TutorialsMenu()->actions())
    if (a->text() == "Intro") a->trigger();
  ASSERT_EQ(prompts.Opened.size(), 1u);
  EXPECT_EQ(prompts.Opened[0],
            QUrl::fromLocalFile(QString::fromStdString((tutorials / "Intro.chm").string())));
}

TEST_F(TFormMainTest, HelpOpensTheGuideAtTheControlsTopic) {
  TFormMain& f = Form();
  f.findChild<QAction*>("MnuContents")->trigger();
  ASSERT_TRUE(f.HelpWindow()->isVisible());
  EXPECT_EQ(f.HelpWindow()->Browser()->source(), QUrl("qrc:/guide/index.html"));
  EXPECT_FALSE(f.HelpWindow()->Browser()->toPlainText().isEmpty());

  EXPECT_EQ(TFormMain::HelpContextOf(f.Tree()->viewport()), kHelpSceneTree);
  EXPECT_EQ(TFormMain::HelpContextOf(f.CommandList()->viewport()), kHelpCommandList);
  EXPECT_EQ(TFormMain::HelpContextOf(f.ParamPanel()), kHelpContents);

  // "What's this?" on the command list links to its section of the guide.
  EXPECT_TRUE(f.CommandList()->whatsThis().contains(HelpTopic(kHelpCommandList).toString()));
  QWhatsThisClickedEvent clicked(HelpTopic(kHelpCommandList).toString());
  QApplication::sendEvent(f.CommandList(), &clicked);
  EXPECT_EQ(f.HelpWindow()->Browser()->source(), HelpTopic(kHelpCommandList));
  f.ShowHelp(kHelpSceneTree);
  EXPECT_EQ(f.HelpWindow()->Browser()->source(), QUrl("qrc:/guide/tree.html"));

  f.findChild<QAction*>("MnuAbout")->trigger();
  EXPECT_EQ(prompts.AboutShown, 1);
}

TEST_F(TFormMainTest, OrganicModifierButtonsLeadToTheirGuideSections) {
  TFormMain& f = Form();
  for (const auto& [tag, context, title] :
       {std::tuple{1501, kHelpInflate, "Inflate"}, std::tuple{1502, kHelpSmooth, "Smooth"}}) {
    SCOPED_TRACE(title);
    QToolButton* button = f.ToolButtons(tag).at(0);
    EXPECT_EQ(TFormMain::HelpContextOf(button), context);
    EXPECT_TRUE(button->whatsThis().startsWith(QString("<b>") + title + "</b>"));
    EXPECT_TRUE(button->whatsThis().contains(HelpTopic(context).toString()));
    QWhatsThisClickedEvent clicked(HelpTopic(context).toString());
    QApplication::sendEvent(button, &clicked);
    EXPECT_EQ(f.HelpWindow()->Browser()->source(), HelpTopic(context));
    EXPECT_TRUE(f.HelpWindow()->Browser()->toPlainText().contains("bigger biceps"));
  }
}

TEST_F(TFormMainTest, HintsOfControlsShowInTheHintLabel) {
  TFormMain& f = Form();
  QToolButton* rotate = f.ToolButtons(102).at(0);
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
  QApplication::sendEvent(rotate, &enter);
  EXPECT_EQ(f.HintLabel()->text(), "Rotate selection");
  EXPECT_EQ(rotate->toolTip(), "Rotate selection");
}

TEST_F(TFormMainTest, ErrorsOfTheControllerAreErrorBoxes) {
  TFormMain& f = Form();
  prompts.MorphNameAnswers = {std::nullopt};
  f.ShowError("File not found!");
  EXPECT_TRUE(f.AskMorphName({"Create a morph target", "Mesh:x", "Morph 1 of 1", "g_"}) ==
              std::nullopt);
  ASSERT_EQ(prompts.Messages.size(), 1u);
  EXPECT_EQ(prompts.Messages[0].Title, "Error");
  EXPECT_EQ(prompts.Messages[0].Icon, QMessageBox::Critical);
  EXPECT_EQ(prompts.Messages[0].Buttons, QMessageBox::Ok);
  ASSERT_EQ(prompts.MorphRequests.size(), 1u);
  EXPECT_EQ(prompts.MorphRequests[0].CountLine, "Morph 1 of 1");

  // The "Add command in stack" dialog reports a missing choice through the window too.
  auto* dialog = f.findChild<TFormStackComm*>();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->ShowError);
  dialog->ShowError("You must choose a command!");
  ASSERT_EQ(prompts.Messages.size(), 2u);
  EXPECT_EQ(prompts.Messages[1].Title, "Error");
  EXPECT_EQ(prompts.Messages[1].Text, "You must choose a command!");
  EXPECT_EQ(prompts.Messages[1].Icon, QMessageBox::Critical);
}

}  // namespace
}  // namespace tarvel::test
