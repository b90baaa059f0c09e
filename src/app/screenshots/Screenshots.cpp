// tarvel_screenshots OUTDIR [FIGURE.obj]: opens the figure in the main window, builds a stack
// of a few commands and saves pictures of the window, each dialog and the About window as PNG
// files in OUTDIR. Meant to run under Xvfb (scripts/screenshots.sh).
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QWidget>
#include <cstdio>

#include "app/About.h"
#include "app/CommandList.h"
#include "app/FormMain.h"
#include "app/HelpWindow.h"
#include "app/QtParamPanel.h"
#include "app/SceneTree.h"
#include "app/StackDialogs.h"
#include "commands/Kinds.h"
#include "view/Viewport.h"

namespace {

using namespace tarvel;

QString outFolder;
int failures = 0;

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

void Save(QWidget* widget, const QString& name) {
  Settle();
  const QString file = QDir(outFolder).filePath(name + ".png");
  if (widget->grab().save(file)) {
    std::printf("%s\n", qPrintable(file));
  } else {
    std::fprintf(stderr, "tarvel_screenshots: %s could not be written\n", qPrintable(file));
    ++failures;
  }
}

// Shows a dialog without its modal loop, saves its picture and closes it.
void SaveDialog(QDialog* dialog, const QString& name) {
  dialog->show();
  dialog->raise();
  Save(dialog, name);
  dialog->hide();
}

TGroup* GroupNamed(TMultiObjData& live, const char* name) {
  if (live.MeshCount() == 0) return nullptr;
  TObjData& mesh = *live.Mesh(0);
  for (std::int32_t g = 0; g < mesh.Groups.Count(); ++g)
    if (mesh.Groups[g]->Name == name) return mesh.Groups[g];
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  tarvel::AssembleCore();
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Quillon");
  QApplication::setApplicationName("Tarvel");
  const QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: tarvel_screenshots OUTDIR [FIGURE.obj]\n");
    return 2;
  }
  outFolder = args[1];
  QDir().mkpath(outFolder);
  const QString figure = args.size() > 2 ? args[2] : QString("samples/figure.obj");

  TFormMainOptions options;
  options.IniFile = QDir(outFolder).filePath("screenshots.ini");
  options.ShowSplash = false;
  options.WriteRegistry = false;
  options.CreateView = [](TStackController& controller, QWidget* parent) {
    auto* view = new TViewport(controller, parent);
    return TViewPart{view, view};
  };
  TFormMain form(options);
  form.setGeometry(40, 40, 1280, 820);
  form.show();
  Settle();

  // The splash as it shows at start.
  {
    TFormSplash splash;
    splash.show();
    Save(&splash, "splash");
  }

  if (!form.OpenFile(figure)) {
    std::fprintf(stderr, "tarvel_screenshots: %s could not be opened\n", qPrintable(figure));
    return 1;
  }
  Save(&form, "01-figure-loaded");

  // A stack: select the hip, widen it, clear the selection, rotate.
  TStackController& c = form.Controller();
  form.TargetItems().front()->trigger();
  const TStackTarget& target = *c.Stack()->Target;
  TSceneChoice hip;
  hip.Group = GroupNamed(c.Live(), "hip");
  c.AddCommand(*target.FindDescriptor(1), hip);
  hip.Group = nullptr;
  c.AddCommand(*target.FindDescriptor(103));
  if (auto* edit = form.ParamPanel()->findChild<QDoubleSpinBox*>()) edit->setValue(1.25);
  c.AddCommand(*target.FindDescriptor(8));
  c.AddCommand(*target.FindDescriptor(102));
  c.MakeCurrent(2);
  // Making a line current replays the stack on a fresh copy: the hip is found again.
  hip.Group = GroupNamed(c.Live(), "hip");
  if (QTreeWidgetItem* node = hip.Group ? TSceneTree::NodeOf(hip.Group->TreeNode) : nullptr) {
    form.Tree()->expandItem(node->parent()->parent());
    form.Tree()->expandItem(node->parent());
    form.Tree()->expandItem(node);
    form.Tree()->setCurrentItem(node);
  }
  form.ToolPages()->setCurrentIndex(3);
  Save(&form, "02-stack-scale-current");
  form.ToolPages()->setCurrentIndex(0);
  c.MakeCurrent(4);
  hip.Group = GroupNamed(c.Live(), "hip");
  Save(&form, "03-stack-rotate-current");

  // The dialogs.
  form.findChild<TFormStackComm*>()->Prepare(target);
  SaveDialog(form.findChild<TFormStackComm*>(), "10-add-command-in-stack");
  SaveDialog(form.findChild<TFormAddComMode*>(), "11-insert-or-append");
  form.findChild<TFormMtName*>()->Prepare("hip_wide");
  SaveDialog(form.findChild<TFormMtName*>(), "12-add-shape-interpolation-target");
  form.findChild<TFormCreateMorph*>()->Prepare(
      {"Create a morph target", "Mesh:figure", "Morph 1 of 3", "hip_"});
  SaveDialog(form.findChild<TFormCreateMorph*>(), "13-create-a-morph-target");
  SaveDialog(form.findChild<TFormAbout*>(), "14-about");
  {
    QMessageBox box(QMessageBox::Question, "Warning",
                    "The project is modified!\nDo you want to save now?",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &form);
    box.show();
    Save(&box, "15-ask-save");
  }
  form.ShowHelp(kHelpCommandList);
  Save(form.HelpWindow(), "16-guide-command-list");
  form.ShowHelp(kHelpContents);
  Save(form.HelpWindow(), "17-guide-contents");
  form.HelpWindow()->close();

  // The pop-up menus of the tree and the list.
  if (hip.Group) {
    std::unique_ptr<QMenu> menu =
        form.Tree()->BuildPopupMenu(TSceneTree::NodeOf(hip.Group->TreeNode));
    if (menu) {
      menu->popup(form.mapToGlobal(QPoint(160, 300)));
      Save(menu.get(), "18-group-popup");
      menu->hide();
    }
  }
  QMenu* stackMenu = form.StackMenu();
  stackMenu->popup(form.mapToGlobal(QPoint(120, 30)));
  Save(stackMenu, "19-stack-menu");
  stackMenu->hide();

  c.SetModified(false);
  form.close();
  return failures == 0 ? 0 : 1;
}
