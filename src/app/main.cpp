// tarvel: the window program. Files named on the command line (Poser OBJ files and project
// files) are opened in order once the window is up.
#include <QApplication>
#include <cstdio>

#include "app/FormMain.h"
#include "commands/Kinds.h"

int main(int argc, char** argv) {
  tarvel::AssembleCore();
  QApplication app(argc, argv);
  QApplication::setOrganizationName("Quillon");
  QApplication::setApplicationName("Tarvel");

  tarvel::TFormMain form;
  form.show();
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    if (!form.OpenFile(args[i]))
      std::fprintf(stderr, "tarvel: %s was not opened\n", qPrintable(args[i]));
  }
  return QApplication::exec();
}
