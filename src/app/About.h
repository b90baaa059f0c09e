// The About window and its link labels.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QUrl>
#include <functional>

namespace tarvel {

// Asks the desktop to open a file or a link with its default program.
using TShellOpen = std::function<void(const QUrl& target)>;

// An underlined blue link that turns red while the mouse is over it and navy once visited,
// shows the hand cursor and opens its target when clicked.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  TLinkLabel(const QString& text, const QUrl& target, TShellOpen open, QWidget* parent = nullptr);
  const QUrl& Target() const { return target_; }
  bool Visited() const { return visited_; }
  // The colour the text is drawn in now.
  QColor TextColour() const { return palette().color(QPalette::WindowText); }

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SetColour(const QColor& colour);

  QUrl target_;
  TShellOpen open_;
  bool visited_ = false;
};

// Who made the program, where the libraries it stands on live.
inline constexpr const char* kMakerWebPage = "https://tarvel.invalid/";
inline constexpr const char* kMakerMail = "mailto:tarvel@tarvel.invalid";
inline constexpr const char* kSceneLibraryPage = "https://doc.qt.io/qt-6/qtopengl-index.html";
inline constexpr const char* kTreeLibraryPage = "https://doc.qt.io/qt-6/qtreewidget.html";

class TFormAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFormAbout(TShellOpen open, QWidget* parent = nullptr);
};

}  // namespace tarvel
