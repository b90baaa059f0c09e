// The main window's file flows driven end to end through its menus, pop-up menus, tool buttons
// and parameter panel, with scripted dialogs: figures, morph targets, snapshots, projects,
// stacks and the recent-file list.
#include <gtest/gtest.h>

#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "FormMainFixture.h"
#include "app/CommandList.h"
#include "app/FileFlows.h"
#include "app/QtParamPanel.h"
#include "app/SceneTree.h"
#include "mesh/ObjReader.h"
#include "view/Camera.h"
#include "view/Viewport.h"

namespace tarvel::test {
namespace {

// Names new morph targets by the goal's proposal ("head_" and the like); unlisted groups are
// skipped.
class TNamingPrompts : public TScriptedPrompts {
 public:
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
    MorphRequests.push_back(request);
    const auto found = Names.find(request.Proposed);
    if (found == Names.end()) return std::nullopt;
    return found->second;
  }
  std::map<std::string, std::string> Names;
};

// A figure of one group far to the side of the sample: x from 10 to 12, y from 0 to 2.
constexpr const char* kSideFigure =
    "o side\r\nv 10 0 0\r\nv 12 0 0\r\nv 10 2 0\r\ng box\r\nusemtl skin\r\nf 1 2 3\r\n";

struct TPos {
  double X, Y, Z;
};

class FileFlowsTest : public TFormMainTest {
 protected:
  // The window with the given view (the recording one of the fixture when none).
  TFormMain& Window(TViewFactory createView = {}) {
    TFormMainOptions o = Options();
    o.Prompts = &p;
    if (createView) o.CreateView = std::move(createView);
    form = std::make_unique<TFormMain>(o);
    return *form;
  }
  QString Path(const std::string& name) const {
    return QString::fromStdString((dir.Path() / name).string());
  }
  QString Sample() const { return QString::fromStdString(SamplePath()); }
  TStackController& C() { return form->Controller(); }
  QAction* Item(const char* name) { return form->findChild<QAction*>(name); }

  void LoadFigureFromMenu(const QString& file) {
    p.OpenFileAnswers = {file};
    Item("MnuLoadObj")->trigger();
  }
  TGroup& Head() { return *C().Live().Mesh(0)->GroupByName("head"); }
  static std::vector<TPos> Positions(const TGroup& g) {
    std::vector<TPos> out;
    for (const TGroupVertex& e : g.Vertices) {
      const TObjVertex* v = g.VertexOf(e);
      out.push_back({v->X, v->Y, v->Z});
    }
    return out;
  }
  // The head's vertices as the sample file has them.
  static std::vector<TPos> SampleHead() {
    TObjData mesh;
    LoadFromObj(mesh, std::string(TARVEL_SAMPLES_DIR) + "/figure.obj");
    return Positions(*mesh.GroupByName("head"));
  }
  static void ExpectMovedBy(const std::vector<TPos>& now, const std::vector<TPos>& before,
                            double dy) {
    ASSERT_EQ(now.size(), before.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
      EXPECT_NEAR(now[i].X, before[i].X, 1e-6) << i;
      EXPECT_NEAR(now[i].Y, before[i].Y + dy, 1e-6) << i;
      EXPECT_NEAR(now[i].Z, before[i].Z, 1e-6) << i;
    }
  }

  // Chooses an entry of a tree node's pop-up menu, as the user does.
  void ChoosePopup(QTreeWidgetItem* node, const QString& caption) {
    ASSERT_NE(node, nullptr);
    std::unique_ptr<QMenu> menu = form->Tree()->BuildPopupMenu(node);
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions())
      if (a->text() == caption) return a->trigger();
    FAIL() << "no pop-up entry " << caption.toStdString();
  }
  // A target geometry file for the head: one line per vertex.
  QString WriteHeadTarget(const std::string& name, const std::string& line) {
    std::string text;
    for (std::size_t i = 0; i < SampleHead().size(); ++i) text += line;
    return QString::fromStdString(dir.Write(name, text));
  }
  // Imports a file into the head from its "Morph targets" folder, answering the name dialog.
  void ImportIntoHead(const QString& file, std::optional<std::string> name) {
    p.OpenFileAnswers = {file};
    if (name) p.TargetNameAnswers = {*name};
    ChoosePopup(HeadTargetsFolder(), "Import Poser Morph target");
  }
  QTreeWidgetItem* HeadNode() { return TSceneTree::NodeOf(Head().TreeNode); }
  QTreeWidgetItem* HeadTargetsFolder() { return TSceneTree::NodeOf(Head().MorphTargetsNode); }

  // Starts a stack, selects the head from its pop-up and lifts it by about 0.25 in the
  // translation's Y edit; returns the lift as the live mesh shows it.
  double LiftHead() {
    if (!C().Stack()) StartStack();
    ChoosePopup(HeadNode(), "Select Group");
    QTest::mouseClick(form->ToolButtons(101).at(0), Qt::LeftButton);
    const double before = Positions(Head())[0].Y;
    std::vector<QDoubleSpinBox*> edits;
    for (const auto& control : form->ParamPanel()->Controls())
      if (auto* edit = qobject_cast<QDoubleSpinBox*>(control->Widget())) edits.push_back(edit);
    EXPECT_GE(edits.size(), 3u);
    if (edits.size() < 3) return 0;
    edits[1]->setValue(edits[1]->value() + 0.25);
    const double dy = Positions(Head())[0].Y - before;
    EXPECT_NEAR(dy, 0.25, 0.01);
    return dy;
  }
  void SelectLine(int line) { form->CommandList()->setCurrentRow(line); }

  // What the user can see of the work, to show that a flow changed nothing.
  struct TWork {
    int Meshes, Lines, Current, HeadTargets;
    bool Modified;
    QString Title;
    QStringList Recent;
    std::vector<std::string> Files;
    bool operator==(const TWork&) const = default;
  };
  TWork Work() {
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      files.push_back(e.path().filename().string());
    std::sort(files.begin(), files.end());
    const TMultiObjData& live = C().Live();
    return {live.MeshCount(),
            form->CommandList()->count(),
            C().CurrentLine(),
            live.MeshCount() > 0 ? Head().MorphTargets.Count() : 0,
            C().Modified(),
            form->windowTitle(),
            form->RecentFiles().Items(),
            files};
  }

  static std::string ReadAll(const QString& file) {
    std::ifstream in(file.toStdString(), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  TNamingPrompts p;
};

TEST_F(FileFlowsTest, FiguresAreAddedAndTheCameraAimsAtTheCentreOfAll) {
  // The real viewport, never shown: it keeps the camera without drawing.
  Window([](TStackController& controller, QWidget* parent) {
    auto* real = new TViewport(controller, parent);
    return TViewPart{real, real};
  });
  LoadFigureFromMenu(Sample());
  ASSERT_EQ(p.OpenDialogs.size(), 1u);
  EXPECT_EQ(p.OpenDialogs[0].Title, "Open Poser file obj");
  EXPECT_EQ(p.OpenDialogs[0].Filter, "WaveFront OBJ (*.obj)|*.obj");
  const TPoint3 first = C().View().TargetPosition;

  LoadFigureFromMenu(Sample());
  ASSERT_EQ(C().Live().MeshCount(), 2);
  EXPECT_EQ(form->Tree()->topLevelItemCount(), 2);
  EXPECT_NE(C().Live().Mesh(0)->Id, C().Live().Mesh(1)->Id);
  EXPECT_EQ(C().View().TargetPosition, first) << "two copies share their centre";

  const QString side = QString::fromStdString(dir.Write("side.obj", kSideFigure));
  LoadFigureFromMenu(side);
  ASSERT_EQ(C().Live().MeshCount(), 3);
  const TPoint3f a = C().Live().Mesh(0)->GroupsCentre();
  const TPoint3f b = C().Live().Mesh(2)->GroupsCentre();
  EXPECT_GT(b.X, a.X + 1);
  const double k = view::kDisplayScale;
  const TPoint3 target = C().View().TargetPosition;
  EXPECT_NEAR(target.X, k * (a.X + b.X) / 2, 1e-4);
  EXPECT_NEAR(target.Y, k * (a.Y + b.Y) / 2, 1e-4);
  EXPECT_NEAR(target.Z, k * (a.Z + b.Z) / 2, 1e-4);
  EXPECT_EQ(C().View().CameraMode, 2);
  EXPECT_TRUE(Item("ActCamCentreScene")->isChecked());
  EXPECT_TRUE(C().Modified());
  // The sample's second load moved it to the top; the side figure came after.
  EXPECT_EQ(form->RecentFiles().Items(), (QStringList{QFileInfo(side).absoluteFilePath(),
                                                      QFileInfo(Sample()).absoluteFilePath()}));
}

// Files that are no figure are refused with the reason, add no mesh and are not remembered
// among the recent files.
TEST_F(FileFlowsTest, FilesThatAreNoFigureAreRefusedAndNotRemembered) {
  Window();
  std::filesystem::create_directories(dir.Path() / "folder.obj");
  const struct {
    std::string File;
    std::string Text;
    std::string Reason;
  } cases[] = {
      {"empty.obj", "", "empty.obj holds no geometry"},
      {"points.obj", "v 0 0 0\r\nv 1 0 0\r\n", "points.obj holds no geometry"},
      {"program.obj",
       std::string("\x7F"
                   "ELF\x02\x01\x01\0\0\0f 1 2 3\n",
                   17),
       "program.obj holds no geometry"},
      {"far.obj", "v 1e12 0 0\r\nv 0 1 0\r\nv 0 0 1\r\nf 1 2 3\r\n",
       "far.obj, line 1: vertex: \"1e12\" is out of range (more than 1e9 in magnitude)"},
      {"folder.obj", "", "folder.obj is a folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const QString file =
        c.File == "folder.obj" ? Path(c.File) : QString::fromStdString(dir.Write(c.File, c.Text));
    p.Messages.clear();
    LoadFigureFromMenu(file);
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_EQ(p.Messages[0].Title, "Error");
    EXPECT_TRUE(p.Messages[0].Text.endsWith(QString::fromStdString(c.Reason)))
        << p.Messages[0].Text.toStdString();
    EXPECT_EQ(p.Messages[0].Text.count(QString::fromStdString(c.File)), 1);
    EXPECT_EQ(C().Live().MeshCount(), 0);
    EXPECT_TRUE(form->RecentFiles().Items().isEmpty());
  }
}

TEST_F(FileFlowsTest, AFigureLoadedDuringAStackJoinsTheStacksStartingState) {
  Window();
  LoadFigureFromMenu(Sample());
  const std::vector<TPos> original = SampleHead();
  const double dy = LiftHead();
  ASSERT_EQ(C().CurrentLine(), 2);

  // A figure that cannot be read is reported, and the stack stays at its line.
  LoadFigureFromMenu(QString::fromStdString(dir.Write("bad.obj", "v 0 0 0\r\nf 1 2 3\r\n")));
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0].Title, "Error");
  EXPECT_TRUE(p.Messages[0].Text.contains("bad.obj")) << p.Messages[0].Text.toStdString();
  EXPECT_EQ(C().CurrentLine(), 2);
  EXPECT_EQ(C().Live().MeshCount(), 1);
  EXPECT_EQ(C().Stack()->Pristine->MeshCount(), 1);
  ExpectMovedBy(Positions(Head()), original, dy);

  LoadFigureFromMenu(QString::fromStdString(dir.Write("side.obj", kSideFigure)));
  EXPECT_EQ(C().CurrentLine(), 0);
  EXPECT_EQ(form->CommandList()->currentRow(), 0);
  EXPECT_EQ(form->CommandList()->count(), 3);
  EXPECT_EQ(C().Live().MeshCount(), 2);
  EXPECT_EQ(C().Stack()->Pristine->MeshCount(), 2);
  ExpectMovedBy(Positions(Head()), original, 0);

  // Replaying from the starting state keeps the new figure and lifts the head again.
  SelectLine(2);
  EXPECT_EQ(C().CurrentLine(), 2);
  EXPECT_EQ(C().Live().MeshCount(), 2);
  ExpectMovedBy(Positions(Head()), original, dy);
}

TEST_F(FileFlowsTest, AMorphTargetIsMadeAndExportedFromStartToEnd) {
  Window();
  LoadFigureFromMenu(Sample());
  const std::vector<TPos> original = SampleHead();
  const double dy = LiftHead();

  p.Names = {{"head_", "head_up"}};
  p.MessageAnswers = {QMessageBox::Yes};  // clear the stack afterwards
  ASSERT_EQ(form->GoalItems().size(), 1u);
  form->GoalItems()[0]->trigger();
  EXPECT_EQ(C().Stack(), nullptr);
  TMorphTarget* target = Head().MorphTargetByName("head_up");
  ASSERT_NE(target, nullptr);

  const QString chosen = Path("head_up");
  p.SaveFileAnswers = {chosen};
  ChoosePopup(TSceneTree::NodeOf(target->TreeNode), "Export Morph target");
  ASSERT_EQ(p.SaveDialogs.size(), 1u);
  EXPECT_EQ(p.SaveDialogs[0].Title, "Export Poser Target Geometry");
  EXPECT_EQ(p.SaveDialogs[0].Filter, "WaveFront OBJ (*.obj)|*.obj");
  EXPECT_EQ(p.SaveDialogs[0].DefaultExtension, "obj");
  EXPECT_EQ(p.SaveDialogs[0].ProposedName, "head_up");

  // One "v " line per head vertex, lifted by dy, numbers in fixed notation with 6 decimals,
  // CR LF line ends.
  const std::string text = ReadAll(chosen + ".obj");
  std::vector<TPos> written;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
    const std::string line = text.substr(at, end - at);
    ASSERT_EQ(line.rfind("v ", 0), 0u) << line;
    TPos pos{};
    std::istringstream fields(line.substr(2));
    std::string x, y, z;
    fields >> x >> y >> z;
    for (const std::string* f : {&x, &y, &z}) {
      ASSERT_EQ(f->size() - f->find('.'), 7u) << line;
    }
    std::from_chars(x.data(), x.data() + x.size(), pos.X);
    std::from_chars(y.data(), y.data() + y.size(), pos.Y);
    std::from_chars(z.data(), z.data() + z.size(), pos.Z);
    written.push_back(pos);
    at = end + 2;
  }
  ExpectMovedBy(written, original, dy);
}

TEST_F(FileFlowsTest, AnImportedTargetIsNamedAndJoinsTheStacksStartingState) {
  Window();
  LoadFigureFromMenu(Sample());
  const QString smile = WriteHeadTarget("Smile.v2.obj", "v 0.5 0.25 0.125\r\n");

  // An empty (blank) answer names the target after its file.
  ImportIntoHead(smile, "   ");
  ASSERT_EQ(p.OpenDialogs.back().Title, "Open Poser Target Geometry");
  EXPECT_EQ(p.OpenDialogs.back().Filter, "WaveFront OBJ (*.obj)|*.obj");
  ASSERT_EQ(p.TargetNameRequests, (std::vector<std::string>{"Smile.v2"}));
  ASSERT_EQ(Head().MorphTargets.Count(), 1);
  const TMorphTarget& named = *Head().MorphTargets[0];
  EXPECT_EQ(named.Name, "Smile.v2");
  EXPECT_EQ(named.Positions.Count(), Head().Vertices.Count());
  EXPECT_DOUBLE_EQ(named.Positions[0].Y, 0.25);
  ASSERT_NE(named.TreeNode, nullptr);
  EXPECT_EQ(TSceneTree::NodeOf(named.TreeNode)->text(0), "Smile.v2");
  EXPECT_EQ(form->Tree()->currentItem(), TSceneTree::NodeOf(named.TreeNode));

  // Cancel in the name dialog leaves the group's targets as they were.
  p.TargetNameAnswers = {std::nullopt};
  ImportIntoHead(smile, std::nullopt);
  EXPECT_EQ(Head().MorphTargets.Count(), 1);

  // During a stack the target goes into the state the stack starts from, under the trimmed
  // name; line 0 becomes current.
  LiftHead();
  ASSERT_EQ(C().CurrentLine(), 2);
  ImportIntoHead(smile, "  Grin ");
  EXPECT_EQ(C().CurrentLine(), 0);
  ASSERT_EQ(Head().MorphTargets.Count(), 2);
  EXPECT_EQ(Head().MorphTargets[1]->Name, "Grin");
  const TGroup* pristineHead = C().Stack()->Pristine->Mesh(0)->GroupByName("head");
  ASSERT_EQ(pristineHead->MorphTargets.Count(), 2);
  EXPECT_EQ(pristineHead->MorphTargets[1]->Name, "Grin");
  EXPECT_TRUE(C().Modified());
  EXPECT_TRUE(p.Messages.empty());
}

TEST_F(FileFlowsTest, AnImportThatCannotBeReadSaysWhyAndAddsNothing) {
  Window();
  LoadFigureFromMenu(Sample());
  const struct {
    std::string File;  // written with `Text` unless empty
    std::string Text;
    QString Message;  // empty: any reason naming the file
  } cases[] = {
      {"missing.obj", "", fileflows::kFileNotFound},
      {"short.obj", "v 1 2 3\r\nv 1 2 3\r\n",
       fileflows::WrongVertexCount(static_cast<int>(SampleHead().size()), 2)},
      {"broken.obj", "v 1 x 3\r\n", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const QString file =
        c.Text.empty() ? Path(c.File) : QString::fromStdString(dir.Write(c.File, c.Text));
    p.Messages.clear();
    ImportIntoHead(file, std::nullopt);
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_EQ(p.Messages[0].Title, "Error");
    EXPECT_EQ(p.Messages[0].Icon, QMessageBox::Critical);
    if (c.Message.isEmpty())
      EXPECT_TRUE(p.Messages[0].Text.contains(QString::fromStdString(c.File)))
          << p.Messages[0].Text.toStdString();
    else
      EXPECT_EQ(p.Messages[0].Text, c.Message);
    EXPECT_EQ(Head().MorphTargets.Count(), 0);
    EXPECT_TRUE(p.TargetNameRequests.empty());
  }
}

TEST_F(FileFlowsTest, CancelInEveryDialogChangesNothing) {
  Window();
  LoadFigureFromMenu(Sample());
  ImportIntoHead(WriteHeadTarget("Smile.obj", "v 0 0 0\r\n"), "Smile");
  LiftHead();
  const QString existing = QString::fromStdString(dir.Write("Old.vnx", "old"));
  const TWork before = Work();
  ASSERT_EQ(before.Lines, 3);
  ASSERT_EQ(before.HeadTargets, 1);

  using B = QMessageBox::StandardButton;
  const struct {
    const char* Flow;
    std::function<void()> Trigger;
    std::deque<B> Answers;  // to the questions before and after the dialog
    std::deque<QString> Files;
    TFileDialogInfo Dialog;  // the dialog shown last
    bool Save;
  } cases[] = {
      {"Load Poser Obj",
       [&] { Item("MnuLoadObj")->trigger(); },
       {},
       {""},
       {"Open Poser file obj", "WaveFront OBJ (*.obj)|*.obj", "", "", "figure", ""},
       false},
      {"Load project",
       [&] { Item("ActLoadPrj")->trigger(); },
       {B::No},
       {""},
       {"Open project file", "Vantor VNX (*.vnx)|*.vnx", "", "", "project", ""},
       false},
      {"Save project As",
       [&] { Item("ActSavePrj")->trigger(); },
       {},
       {""},
       {"Save project file", "Vantor VNX (*.vnx)|*.vnx", "vnx", "", "project", ""},
       true},
      {"Save project, never saved",
       [&] { Item("ActSave")->trigger(); },
       {},
       {""},
       {"Save project file", "Vantor VNX (*.vnx)|*.vnx", "vnx", "", "project", ""},
       true},
      {"overwrite question No",
       [&] { Item("ActSavePrj")->trigger(); },
       {B::No},
       {Path("Old"), ""},
       {"Save project file", "Vantor VNX (*.vnx)|*.vnx", "vnx", "", "project", ""},
       true},
      {"Snapshoot",
       [&] { Item("MnuSnapshot")->trigger(); },
       {},
       {""},
       {"", "Bitmaps (*.bmp)|*.bmp", "bmp", "", "snapshot", ""},
       true},
      {"Import Poser Morph target",
       [&] { ChoosePopup(HeadTargetsFolder(), "Import Poser Morph target"); },
       {},
       {""},
       {"Open Poser Target Geometry", "WaveFront OBJ (*.obj)|*.obj", "", "", "target", ""},
       false},
      {"Export Morph target",
       [&] {
         ChoosePopup(TSceneTree::NodeOf(Head().MorphTargets[0]->TreeNode), "Export Morph target");
       },
       {},
       {""},
       {"Export Poser Target Geometry", "WaveFront OBJ (*.obj)|*.obj", "obj", "Smile", "target",
        ""},
       true},
      {"Load stack",
       [&] { Item("ActLoadStack")->trigger(); },
       {},
       {""},
       {"Load stack from file", "Stack STK (*.stk)|*.stk|Stack as JSON (*.json)|*.json", "stk", "",
        "stack", ""},
       false},
      {"Save stack",
       [&] { Item("ActSaveStack")->trigger(); },
       {},
       {""},
       {"Save stack on file", "Stack STK (*.stk)|*.stk|Stack as JSON (*.json)|*.json", "stk", "",
        "stack", ""},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Flow);
    p.Messages.clear();
    p.OpenDialogs.clear();
    p.SaveDialogs.clear();
    p.MessageAnswers = c.Answers;
    (c.Save ? p.SaveFileAnswers : p.OpenFileAnswers) = c.Files;
    c.Trigger();
    const std::vector<TFileDialogInfo>& shown = c.Save ? p.SaveDialogs : p.OpenDialogs;
    ASSERT_EQ(shown.size(), c.Files.size());
    EXPECT_EQ(shown.back().Title, c.Dialog.Title);
    EXPECT_EQ(shown.back().Filter, c.Dialog.Filter);
    EXPECT_EQ(shown.back().DefaultExtension, c.Dialog.DefaultExtension);
    EXPECT_EQ(shown.back().ProposedName, c.Dialog.ProposedName);
    EXPECT_EQ(shown.back().Kind, c.Dialog.Kind);
    EXPECT_TRUE(p.MessageAnswers.empty()) << "every scripted question was asked";
    EXPECT_EQ(Work(), before);
  }
  EXPECT_EQ(ReadAll(existing), "old");

  // Cancel in the question before a new project or a project load, or in the stack's
  // substitution question.
  p.OpenFileAnswers = {};
  p.MessageAnswers = {B::Cancel, B::Cancel};
  Item("MnuNewProject")->trigger();
  Item("ActLoadPrj")->trigger();
  EXPECT_TRUE(p.OpenDialogs.empty());
  p.SaveFileAnswers = {Path("Lift")};
  Item("ActSaveStack")->trigger();
  const TWork saved = Work();
  p.OpenFileAnswers = {Path("Lift.stk")};
  p.MessageAnswers = {B::Cancel};
  Item("ActLoadStack")->trigger();
  EXPECT_EQ(p.Messages.back().Text.toStdString(),
            "The Stack is not empty!\nDo yoy want substitute this stack?\nIf you choose 'No' "
            "commands will be added at the end of the current stack.");
  EXPECT_EQ(Work(), saved);
}

TEST_F(FileFlowsTest, AProjectSavedAtALaterLineOpensAtLineZero) {
  Window();
  LoadFigureFromMenu(Sample());
  Item("ActDisplWire")->trigger();
  const std::vector<TPos> original = SampleHead();
  const double dy = LiftHead();
  ASSERT_EQ(C().CurrentLine(), 2);

  p.SaveFileAnswers = {Path("Model")};
  Item("ActSavePrj")->trigger();
  const QString model = Path("Model.vnx");
  ASSERT_TRUE(QFile::exists(model));
  EXPECT_EQ(form->windowTitle(), "Tarvel V.1.0a  [Model]");
  EXPECT_FALSE(C().Modified());
  EXPECT_EQ(form->RecentFiles().Items().value(0), model);
  // Saved once, "Save project" writes the same file again without a dialog.
  QFile::remove(model);
  Item("ActSave")->trigger();
  EXPECT_TRUE(QFile::exists(model));
  EXPECT_EQ(p.SaveDialogs.size(), 1u);

  Item("MnuNewProject")->trigger();
  Item("ActDisplShaded")->trigger();
  ASSERT_EQ(C().Live().MeshCount(), 0);
  EXPECT_EQ(form->windowTitle(), "Tarvel V.1.0a  [NoName]");
  p.OpenFileAnswers = {model};
  Item("ActLoadPrj")->trigger();
  ASSERT_EQ(C().Live().MeshCount(), 1);
  ASSERT_NE(C().Stack(), nullptr);
  EXPECT_EQ(form->CommandList()->count(), 3);
  EXPECT_EQ(C().CurrentLine(), 0);
  EXPECT_EQ(form->CommandList()->currentRow(), 0);
  ExpectMovedBy(Positions(Head()), original, 0);
  EXPECT_EQ(form->windowTitle(), "Tarvel V.1.0a  [Model]");
  EXPECT_FALSE(C().Modified());
  EXPECT_EQ(form->GoalItems().size(), 1u);
  EXPECT_TRUE(Item("ActSaveStack")->isEnabled());
  EXPECT_FALSE(form->TargetItems()[0]->isEnabled());
  // The display mode stored with the project came back with it.
  EXPECT_EQ(C().View().DisplayMode, 0);
  EXPECT_TRUE(Item("ActDisplWire")->isChecked());

  SelectLine(2);
  ExpectMovedBy(Positions(Head()), original, dy);
  EXPECT_TRUE(p.Messages.empty());
}

TEST_F(FileFlowsTest, AStackSavedOnAFigureWorksOnTheFigureReadAgain) {
  Window();
  LoadFigureFromMenu(Sample());
  const std::vector<TPos> original = SampleHead();
  const double dy = LiftHead();
  std::vector<std::string> captions;
  for (int i = 0; i < 3; ++i) captions.push_back(form->CommandList()->LineText(i));

  // Once as a stack file, once as its JSON form.
  p.SaveFileAnswers = {Path("Lift"), Path("Lift.json")};
  Item("ActSaveStack")->trigger();
  Item("ActSaveStack")->trigger();
  const QString stack = Path("Lift.stk");
  const QString json = Path("Lift.json");
  ASSERT_TRUE(QFile::exists(stack));
  ASSERT_EQ(ReadAll(json).rfind("{\n  \"format\": \"tarvel-stack\"", 0), 0u);
  EXPECT_TRUE(C().Modified()) << "saving a stack leaves the project modified";

  p.MessageAnswers = {QMessageBox::No};
  Item("MnuNewProject")->trigger();
  LoadFigureFromMenu(Sample());
  p.OpenFileAnswers = {stack};
  Item("ActLoadStack")->trigger();
  ASSERT_EQ(form->CommandList()->count(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(form->CommandList()->LineText(i), captions[i]);
  EXPECT_EQ(C().CurrentLine(), 0);
  EXPECT_TRUE(Item("ActSaveStack")->isEnabled());
  ExpectMovedBy(Positions(Head()), original, 0);
  SelectLine(2);
  ExpectMovedBy(Positions(Head()), original, dy);

  // With a stack: No appends the file's commands after its initial one, Yes replaces; the
  // JSON form loads as the stack file does.
  p.OpenFileAnswers = {stack, json};
  p.MessageAnswers = {QMessageBox::No, QMessageBox::Yes};
  Item("ActLoadStack")->trigger();
  EXPECT_EQ(form->CommandList()->count(), 5);
  Item("ActLoadStack")->trigger();
  EXPECT_EQ(form->CommandList()->count(), 3);
  EXPECT_EQ(C().CurrentLine(), 0);
  ExpectMovedBy(Positions(Head()), original, 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(form->CommandList()->LineText(i), captions[i]);
  SelectLine(2);
  ExpectMovedBy(Positions(Head()), original, dy);
  EXPECT_EQ(p.Messages.size(), 3u) << "the new-project question and two substitution questions";
}

TEST_F(FileFlowsTest, TheWrongCountMessageKeepsItsTextAndTellsBothCounts) {
  const QString text = fileflows::WrongVertexCount(1713, 17136);
  EXPECT_EQ(text.section('\n', 0, 0), fileflows::kWrongVertexCount);
  EXPECT_EQ(text.section('\n', 1), "The group has 1713 vertices, the file 17136.");
}

TEST_F(FileFlowsTest, TheTreeKeepsWhatWasOpenAndShowsTheGoalsNewTargets) {
  Window();
  form->resize(900, 300);
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  LoadFigureFromMenu(Sample());
  QTreeWidget* tree = form->Tree();
  // The user opens the mesh, its groups and the chest, scrolls down and picks the chest.
  QTreeWidgetItem* mesh = tree->topLevelItem(0);
  mesh->setExpanded(true);
  mesh->child(0)->setExpanded(true);
  QTreeWidgetItem* chest = TSceneTree::NodeOf(C().Live().Mesh(0)->GroupByName("chest")->TreeNode);
  chest->setExpanded(true);
  tree->setCurrentItem(chest);
  const double dy = LiftHead();
  ASSERT_GT(dy, 0);
  tree->verticalScrollBar()->setValue(3);
  const auto shown = [&] {
    QStringList open;
    std::function<void(QTreeWidgetItem*, const QString&)> walk = [&](QTreeWidgetItem* n,
                                                                     const QString& path) {
      const QString here = path + "/" + n->text(0);
      if (n->isExpanded()) open << here;
      for (int i = 0; i < n->childCount(); ++i) walk(n->child(i), here);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i) walk(tree->topLevelItem(i), "");
    return open;
  };
  const QStringList before = shown();
  ASSERT_TRUE(before.contains("/figure/Groups")) << before.join(' ').toStdString();
  const QString current = tree->currentItem()->text(0);

  // Line clicks rebuild the tree; it looks as it did.
  for (const int line : {0, 2, 1}) {
    SelectLine(line);
    EXPECT_EQ(shown(), before) << "line " << line;
    ASSERT_NE(tree->currentItem(), nullptr);
    EXPECT_EQ(tree->currentItem()->text(0), current);
    EXPECT_EQ(tree->verticalScrollBar()->value(), 3);
  }

  // After the goal the new target is open and current.
  SelectLine(2);
  p.Names = {{"head_", "head_up"}};
  p.MessageAnswers = {QMessageBox::No};  // keep the stack
  form->GoalItems()[0]->trigger();
  TMorphTarget* target = Head().MorphTargetByName("head_up");
  ASSERT_NE(target, nullptr);
  QTreeWidgetItem* node = TSceneTree::NodeOf(target->TreeNode);
  EXPECT_EQ(tree->currentItem(), node);
  for (QTreeWidgetItem* n = node->parent(); n; n = n->parent())
    EXPECT_TRUE(n->isExpanded()) << n->text(0).toStdString();
  EXPECT_EQ(shown().filter("/chest").size(), before.filter("/chest").size())
      << shown().join(' ').toStdString() << "\n"
      << before.join(' ').toStdString();
}

TEST_F(FileFlowsTest, AStackOnAFigureWithoutItsGroupsShowsTheMissingLinesRedAtOnce) {
  Window();
  LoadFigureFromMenu(Sample());
  LiftHead();
  p.SaveFileAnswers = {Path("Lift")};
  Item("ActSaveStack")->trigger();

  p.MessageAnswers = {QMessageBox::No};
  Item("MnuNewProject")->trigger();
  LoadFigureFromMenu(Sample());
  Head().Name = "skull";  // a figure whose head is named otherwise
  p.Messages.clear();
  p.OpenFileAnswers = {Path("Lift.stk")};
  Item("ActLoadStack")->trigger();
  ASSERT_EQ(form->CommandList()->count(), 3);
  EXPECT_TRUE(form->CommandList()->LineText(1).starts_with("<c:Red>"))
      << form->CommandList()->LineText(1);
  EXPECT_FALSE(form->CommandList()->LineText(2).starts_with("<c:Red>"));
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0].Title, "Warning");
  EXPECT_EQ(p.Messages[0].Text.toStdString(), filetexts::MissingObjects(1));

  // Appended to the stack, the same commands warn once more, for their own line.
  p.OpenFileAnswers = {Path("Lift.stk")};
  p.MessageAnswers = {QMessageBox::No};
  Item("ActLoadStack")->trigger();
  ASSERT_EQ(form->CommandList()->count(), 5);
  EXPECT_TRUE(form->CommandList()->LineText(3).starts_with("<c:Red>"));
  EXPECT_EQ(p.Messages.back().Text.toStdString(), filetexts::MissingObjects(1));

  // On the figure that has the group nothing is red and nothing warns.
  C().Live().Mesh(0)->GroupByName("skull")->Name = "head";
  p.Messages.clear();
  p.OpenFileAnswers = {Path("Lift.stk")};
  p.MessageAnswers = {QMessageBox::Yes};
  Item("ActLoadStack")->trigger();
  EXPECT_FALSE(form->CommandList()->LineText(1).starts_with("<c:Red>"));
  EXPECT_EQ(p.Messages.size(), 1u) << "only the substitution question";
}

TEST_F(FileFlowsTest, EachKindOfFileDialogOpensWhereItsLastFileWas) {
  Window();
  std::filesystem::create_directories(dir.Path() / "figures");
  std::filesystem::copy_file(SamplePath(), dir.Path() / "figures" / "figure.obj");
  const QString figures = Path("figures");
  LoadFigureFromMenu(Path("figures/figure.obj"));
  ASSERT_EQ(p.OpenDialogs.size(), 1u);
  EXPECT_TRUE(p.OpenDialogs[0].Folder.isEmpty()) << "the first time: the working folder";
  LiftHead();
  p.SaveFileAnswers = {Path("Lift")};
  Item("ActSaveStack")->trigger();

  // Another kind keeps its own folder; the figure's is remembered, also by a new window.
  form.reset();
  Window();
  LoadFigureFromMenu(Path("figures/figure.obj"));
  EXPECT_EQ(QFileInfo(p.OpenDialogs.back().Folder).canonicalFilePath(),
            QFileInfo(figures).canonicalFilePath());
  StartStack();
  p.SaveFileAnswers = {Path("Again")};
  Item("ActSaveStack")->trigger();
  EXPECT_EQ(QFileInfo(p.SaveDialogs.back().Folder).canonicalFilePath(),
            QFileInfo(Path("")).canonicalFilePath());
  p.OpenFileAnswers = {QString()};
  p.MessageAnswers = {QMessageBox::No};  // do not save the work first
  Item("ActLoadPrj")->trigger();
  EXPECT_TRUE(p.OpenDialogs.back().Folder.isEmpty());
}

TEST_F(FileFlowsTest, ADamagedProjectIsRefusedAndTheWorkStays) {
  Window();
  LoadFigureFromMenu(Sample());
  LiftHead();
  p.SaveFileAnswers = {Path("Model")};
  Item("ActSavePrj")->trigger();
  const std::string bytes = ReadAll(Path("Model.vnx"));
  ASSERT_GT(bytes.size(), 100u);
  QTest::mouseClick(form->ToolButtons(8).at(0), Qt::LeftButton);  // modified again
  ASSERT_EQ(C().CurrentLine(), 3);

  const struct {
    const char* File;
    std::string Bytes;
  } cases[] = {
      {"Truncated.vnx", bytes.substr(0, bytes.size() / 2)},
      {"Foreign.vnx", "# not a project\r\n"},
      {"Empty.vnx", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    const QString file = QString::fromStdString(dir.Write(c.File, c.Bytes));
    const TWork before = Work();
    p.Messages.clear();
    p.MessageAnswers = {QMessageBox::No};  // do not save first
    p.OpenFileAnswers = {file};
    Item("ActLoadPrj")->trigger();
    ASSERT_EQ(p.Messages.size(), 2u);
    EXPECT_EQ(p.Messages[1].Title, "Error");
    EXPECT_EQ(p.Messages[1].Icon, QMessageBox::Critical);
    EXPECT_FALSE(p.Messages[1].Text.isEmpty());
    EXPECT_EQ(Work(), before);
    EXPECT_EQ(form->windowTitle(), "Tarvel V.1.0a  [Model]");
  }
}

TEST_F(FileFlowsTest, RecentFilesKeepTheTenNewestAndOpenThem) {
  Window();
  std::vector<QString> files;
  for (int i = 0; i < 11; ++i)
    files.push_back(
        QString::fromStdString(dir.Write("f" + std::to_string(i) + ".obj", kSideFigure)));
  for (const QString& f : files) ASSERT_TRUE(form->OpenFile(f));
  ASSERT_EQ(form->RecentItems().size(), 10u);
  EXPECT_EQ(form->RecentItems()[0]->text(), "&1 " + files[10]);
  EXPECT_EQ(form->RecentItems()[8]->text(), "&9 " + files[2]);
  EXPECT_EQ(form->RecentItems()[9]->text(), "1&0 " + files[1]);

  // A figure opened again from its entry moves to the top.
  form->RecentItems()[5]->trigger();  // files[5]
  EXPECT_EQ(C().Live().MeshCount(), 12);
  EXPECT_EQ(form->RecentItems()[0]->text(), "&1 " + files[5]);
  EXPECT_EQ(form->RecentItems()[1]->text(), "&2 " + files[10]);
  EXPECT_EQ(form->RecentItems().size(), 10u);

  // A file deleted since: nothing happens, and nothing is asked.
  QFile::remove(files[10]);
  form->RecentItems()[1]->trigger();
  EXPECT_EQ(C().Live().MeshCount(), 12);
  EXPECT_TRUE(p.Messages.empty());

  // A project entry asks about the unsaved work first; Cancel keeps it.
  p.SaveFileAnswers = {Path("Model")};
  Item("ActSavePrj")->trigger();
  LoadFigureFromMenu(files[0]);
  ASSERT_EQ(form->RecentItems()[1]->text(), "&2 " + Path("Model.vnx"));
  p.MessageAnswers = {QMessageBox::Cancel};
  form->RecentItems()[1]->trigger();
  EXPECT_EQ(C().Live().MeshCount(), 13);
  p.MessageAnswers = {QMessageBox::No};
  form->RecentItems()[1]->trigger();
  EXPECT_EQ(C().Live().MeshCount(), 12);
  EXPECT_FALSE(C().Modified());
}

TEST_F(FileFlowsTest, SnapshotsAndTargetsAreWrittenOrTheReasonIsShown) {
  Window([](TStackController&, QWidget* parent) {
    auto* placeholder = new TViewPlaceholder(parent);
    placeholder->resize(64, 48);
    return TViewPart{placeholder, placeholder};
  });
  p.SaveFileAnswers = {Path("shot")};
  Item("MnuSnapshot")->trigger();
  const std::string bmp = ReadAll(Path("shot.bmp"));
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  // 96 dots per inch: 3780 pixels per metre, both ways.
  EXPECT_EQ(bmp.substr(38, 8), std::string("\xc4\x0e\0\0\xc4\x0e\0\0", 8));

  LoadFigureFromMenu(Sample());
  ImportIntoHead(WriteHeadTarget("Smile.obj", "v 0 0 0\r\n"), "Smile");
  QTreeWidgetItem* smile = TSceneTree::NodeOf(Head().MorphTargets[0]->TreeNode);

  // A folder that does not exist: the system's reason, and no file.
  const QString nowhere = Path("no such folder/out");
  for (const std::function<void()>& write :
       {std::function<void()>([&] { Item("MnuSnapshot")->trigger(); }),
        std::function<void()>([&] { ChoosePopup(smile, "Export Morph target"); })}) {
    p.Messages.clear();
    p.SaveFileAnswers = {nowhere};
    write();
    ASSERT_EQ(p.Messages.size(), 1u);
    EXPECT_EQ(p.Messages[0].Title, "Error");
    EXPECT_TRUE(p.Messages[0].Text.contains("No such file or directory"))
        << p.Messages[0].Text.toStdString();
  }

  // An existing file is replaced only after the overwrite question.
  const QString old = QString::fromStdString(dir.Write("Smile.obj", "old"));
  p.Messages.clear();
  p.SaveFileAnswers = {Path("Smile")};
  p.MessageAnswers = {QMessageBox::Yes};
  ChoosePopup(smile, "Export Morph target");
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0].Title, "Confirm Save As");
  EXPECT_EQ(p.Messages[0].Text, "Smile.obj already exists.\nDo you want to replace it?");
  EXPECT_EQ(p.Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(ReadAll(old).substr(0, 2), "v ");
}

}  // namespace
}  // namespace tarvel::test
