// The help window: the program's own guide, shown inside the program. Controls with a help
// context lead to the guide's section about them.
#pragma once

#include <QDialog>
#include <QUrl>

class QTextBrowser;

namespace tarvel {

inline constexpr int kHelpContents = 0;
inline constexpr int kHelpSceneTree = 10000;
inline constexpr int kHelpCommandList = 10010;
inline constexpr int kHelpInflate = 10020;
inline constexpr int kHelpSmooth = 10030;

// The guide's page for a help context; the table of contents for 0 and for unknown contexts.
QUrl HelpTopic(int context);

class TFormHelp : public QDialog {
  Q_OBJECT

 public:
  explicit TFormHelp(QWidget* parent = nullptr);
  // Shows the page and brings the window to the front.
  void ShowTopic(const QUrl& topic);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

}  // namespace tarvel
