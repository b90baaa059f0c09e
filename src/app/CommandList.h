// The command list: one line per command of the stack, drawn with the captions' markup ("<b>"
// and "</b>" bold, "<i>" and "</i>" italic, "<u>" and "</u>" underlined, "<c:Red>" and the other
// colour tags). A click makes a line's command current; a right click on line 1 or later offers
// "Delete command". The selected line stays highlighted while the list has no focus, and the list
// scrolls sideways over its widest line.
#pragma once

#include <QColor>
#include <QFont>
#include <QListWidget>
#include <QString>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "stack/StackController.h"

class QMenu;

namespace tarvel {

// A piece of a caption drawn in one style.
struct TCaptionRun {
  TCaptionRun() = default;
  TCaptionRun(QString text, bool bold = false, bool italic = false, bool underline = false,
              QColor colour = {})
      : Text(std::move(text)), Bold(bold), Italic(italic), Underline(underline), Colour(colour) {}

  QString Text;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  QColor Colour;  // invalid: the list's text colour
  bool operator==(const TCaptionRun&) const = default;
};

// Splits a caption at its tags. Bold, italic and underline switch on and off; "<c:Name>" sets the
// colour by name (Red, Blue, ... as Qt knows them, any case; an unknown name changes nothing)
// and "<c:Black>" returns to the text colour. A '<' that starts no known tag is text.
std::vector<TCaptionRun> ParseCaption(std::string_view caption);
// The drawn width of the runs in the font.
int CaptionWidth(const std::vector<TCaptionRun>& runs, const QFont& font);
// The caption without its tags, as text.
QString PlainText(std::string_view caption);

class TCommandList : public QListWidget {
  Q_OBJECT

 public:
  explicit TCommandList(TStackController& controller, QWidget* parent = nullptr);

  // The list operations the controller asks of the window (IStackWindow::List...).
  void ListClear();
  void ListInsert(int index, std::string_view text);
  void ListRemove(int index);
  void ListSetText(int index, std::string_view text);
  // Selects a line without making it current (the controller does that itself).
  void ListSelect(int index);
  // Empties the list and adds one line per command of the controller's stack.
  void FillCommandList();

  // The caption of a line as given, markup included.
  std::string LineText(int index) const;
  // The command a line carries, or none.
  TStackCommand* LineCommand(int index) const;
  // The widest line's drawn width with a trailing "x"; 0 when empty.
  int ScrollWidth() const { return scrollWidth_; }
  // The height of the letter "W" in the list's font.
  int LineHeight() const;
  // The line under the mouse when the pop-up opened last, or -1.
  int DeleteLine() const { return deleteLine_; }
  // The pop-up menu for a right click at `pos` (viewport coordinates): "Delete command" over
  // line 1 or later, none elsewhere. Sets DeleteLine.
  std::unique_ptr<QMenu> PopupMenuAt(const QPoint& pos);

 signals:
  // A click made the line's command current.
  void LineMadeCurrent(int line);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int MeasureLine(std::string_view text) const;
  void RecomputeScrollWidth();
  void ApplyScrollWidth();
  void ListCommClick(int row);
  void DeleteCommand();

  TStackController& controller_;
  int scrollWidth_ = 0;
  int deleteLine_ = -1;
  bool selecting_ = false;
};

}  // namespace tarvel
