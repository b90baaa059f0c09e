#include "app/CommandList.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <exception>

#include "app/StackDialogs.h"

namespace tarvel {

namespace {

constexpr int kCaptionRole = Qt::UserRole;      // the caption's bytes, markup included
constexpr int kCommandRole = Qt::UserRole + 1;  // the command the line carries
constexpr int kTextMargin = 2;

QFont RunFont(const QFont& base, const TCaptionRun& run) {
  QFont f(base);
  f.setBold(run.Bold);
  f.setItalic(run.Italic);
  f.setUnderline(run.Underline);
  return f;
}

// A colour tag's name: Qt's colour names, with or without the "cl" prefix.
QColor NamedColour(std::string_view name) {
  QString n = FromLatin1(name).trimmed();
  if (n.startsWith(QLatin1String("cl"), Qt::CaseInsensitive) && n.size() > 2) n = n.mid(2);
  return QColor::isValidColorName(n) ? QColor::fromString(n) : QColor();
}

std::string CaptionOf(const QListWidgetItem* item) {
  return item ? item->data(kCaptionRole).toByteArray().toStdString() : std::string();
}

// Draws a line's caption runs over the full width of the row, with the selection shown in the
// active colours also while the list has no focus.
class TCaptionDelegate : public QStyledItemDelegate {
 public:
  explicit TCaptionDelegate(TCommandList* list) : QStyledItemDelegate(list), list_(list) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    painter->save();
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    const QRect row(option.rect.left(), option.rect.top(),
                    std::max(option.rect.width(), list_->viewport()->width()),
                    option.rect.height());
    if (selected) painter->fillRect(row, palette.brush(QPalette::Active, QPalette::Highlight));
    const QColor text =
        palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text);
    int x = row.left() + kTextMargin;
    const std::string caption = index.data(kCaptionRole).toByteArray().toStdString();
    for (const TCaptionRun& run : ParseCaption(caption)) {
      const QFont font = RunFont(option.font, run);
      painter->setFont(font);
      painter->setPen(run.Colour.isValid() ? run.Colour : text);
      const int width = QFontMetrics(font).horizontalAdvance(run.Text);
      painter->drawText(QRect(x, row.top(), width + 1, row.height()),
                        Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, run.Text);
      x += width;
    }
    painter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
    return {list_->ScrollWidth(), list_->LineHeight()};
  }

 private:
  TCommandList* list_;
};

}  // namespace

std::vector<TCaptionRun> ParseCaption(std::string_view caption) {
  std::vector<TCaptionRun> runs;
  TCaptionRun style;
  std::string pending;
  auto flush = [&] {
    if (pending.empty()) return;
    TCaptionRun run = style;
    run.Text = FromLatin1(pending);
    runs.push_back(std::move(run));
    pending.clear();
  };
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '<') {
      const std::size_t close = caption.find('>', i);
      if (close != std::string_view::npos) {
        const std::string_view tag = caption.substr(i + 1, close - i - 1);
        TCaptionRun next = style;
        bool known = true;
        if (tag == "b" || tag == "B")
          next.Bold = true;
        else if (tag == "/b" || tag == "/B")
          next.Bold = false;
        else if (tag == "i" || tag == "I")
          next.Italic = true;
        else if (tag == "/i" || tag == "/I")
          next.Italic = false;
        else if (tag == "u" || tag == "U")
          next.Underline = true;
        else if (tag == "/u" || tag == "/U")
          next.Underline = false;
        else if (tag.size() > 2 && (tag[0] == 'c' || tag[0] == 'C') && tag[1] == ':') {
          // Black is the list's own text colour, so it stays readable on a selected line; a
          // colour without a name Qt knows leaves the colour as it was.
          const QColor c = NamedColour(tag.substr(2));
          if (c.isValid()) next.Colour = c == QColor(Qt::black) ? QColor() : c;
        } else {
          known = false;
        }
        if (known) {
          flush();
          style = next;
          i = close;
          continue;
        }
      }
    }
    pending += caption[i];
  }
  flush();
  return runs;
}

int CaptionWidth(const std::vector<TCaptionRun>& runs, const QFont& font) {
  int width = 0;
  for (const TCaptionRun& run : runs)
    width += QFontMetrics(RunFont(font, run)).horizontalAdvance(run.Text);
  return width;
}

QString PlainText(std::string_view caption) {
  QString text;
  for (const TCaptionRun& run : ParseCaption(caption)) text += run.Text;
  return text;
}

TCommandList::TCommandList(TStackController& controller, QWidget* parent)
    : QListWidget(parent), controller_(controller) {
  setItemDelegate(new TCaptionDelegate(this));
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  QPalette p = palette();
  p.setColor(QPalette::Inactive, QPalette::Highlight,
             p.color(QPalette::Active, QPalette::Highlight));
  p.setColor(QPalette::Inactive, QPalette::HighlightedText,
             p.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(p);
  connect(this, &QListWidget::currentRowChanged, this, [this](int row) { ListCommClick(row); });
}

int TCommandList::LineHeight() const {
  return QFontMetrics(font()).boundingRect(QStringLiteral("W")).height();
}

int TCommandList::MeasureLine(std::string_view text) const {
  std::vector<TCaptionRun> runs = ParseCaption(text);
  runs.emplace_back(QStringLiteral("x"));
  return kTextMargin + CaptionWidth(runs, font());
}

void TCommandList::RecomputeScrollWidth() {
  scrollWidth_ = 0;
  for (int i = 0; i < count(); ++i)
    scrollWidth_ = std::max(scrollWidth_, MeasureLine(CaptionOf(item(i))));
}

void TCommandList::ApplyScrollWidth() {
  scheduleDelayedItemsLayout();
  if (count() == 0) horizontalScrollBar()->setValue(0);
}

// ---------------------------------------------------------------------------------------------
// The lines

void TCommandList::ListClear() {
  const bool was = selecting_;
  selecting_ = true;
  clear();
  selecting_ = was;
  scrollWidth_ = 0;
  deleteLine_ = -1;
  ApplyScrollWidth();
}

void TCommandList::ListInsert(int index, std::string_view text) {
  auto* line = new QListWidgetItem();
  line->setData(kCaptionRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  line->setText(PlainText(text));
  const TStackMng* stack = controller_.Stack();
  TStackCommand* command = stack ? stack->Command(index) : nullptr;
  line->setData(kCommandRole, QVariant::fromValue(reinterpret_cast<quintptr>(command)));
  const bool was = selecting_;
  selecting_ = true;
  insertItem(std::clamp(index, 0, count()), line);
  selecting_ = was;
  scrollWidth_ = std::max(scrollWidth_, MeasureLine(text));
  ApplyScrollWidth();
}

void TCommandList::ListRemove(int index) {
  if (index < 0 || index >= count()) return;
  const bool widest = MeasureLine(CaptionOf(item(index))) >= scrollWidth_;
  const bool was = selecting_;
  selecting_ = true;
  delete takeItem(index);
  selecting_ = was;
  if (widest) RecomputeScrollWidth();
  ApplyScrollWidth();
}

void TCommandList::ListSetText(int index, std::string_view text) {
  QListWidgetItem* line = item(index);
  if (!line) return;
  line->setData(kCaptionRole, QByteArray(text.data(), static_cast<qsizetype>(text.size())));
  line->setText(PlainText(text));
  // A re-captioned line may have become the widest or stopped being it.
  RecomputeScrollWidth();
  ApplyScrollWidth();
}

void TCommandList::ListSelect(int index) {
  const bool was = selecting_;
  selecting_ = true;
  setCurrentRow(index >= 0 && index < count() ? index : -1);
  selecting_ = was;
  if (QListWidgetItem* line = item(index)) scrollToItem(line);
}

void TCommandList::FillCommandList() {
  ListClear();
  const TStackMng* stack = controller_.Stack();
  if (!stack) return;
  for (std::int32_t i = 0; i < stack->Count(); ++i) ListInsert(i, stack->Command(i)->Caption);
}

std::string TCommandList::LineText(int index) const { return CaptionOf(item(index)); }

TStackCommand* TCommandList::LineCommand(int index) const {
  const QListWidgetItem* line = item(index);
  return line ? reinterpret_cast<TStackCommand*>(line->data(kCommandRole).value<quintptr>())
              : nullptr;
}

// ---------------------------------------------------------------------------------------------
// Clicks and the pop-up

void TCommandList::ListCommClick(int row) {
  if (selecting_ || row < 0 || controller_.Busy()) return;
  try {
    controller_.MakeCurrent(row);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromLocal8Bit(e.what()));
    return;
  }
  emit LineMadeCurrent(row);
}

void TCommandList::mousePressEvent(QMouseEvent* event) {
  // A right click opens the pop-up without moving the selection.
  if (event->button() == Qt::RightButton) {
    event->accept();
    return;
  }
  QListWidget::mousePressEvent(event);
}

std::unique_ptr<QMenu> TCommandList::PopupMenuAt(const QPoint& pos) {
  const int line = indexAt(pos).row();
  // The initial command on line 0 can never be deleted.
  if (line < 1) return nullptr;
  deleteLine_ = line;
  auto menu = std::make_unique<QMenu>(this);
  connect(menu->addAction(QStringLiteral("Delete command")), &QAction::triggered, this,
          [this] { DeleteCommand(); });
  return menu;
}

void TCommandList::contextMenuEvent(QContextMenuEvent* event) {
  if (std::unique_ptr<QMenu> menu = PopupMenuAt(event->pos())) menu->exec(event->globalPos());
}

void TCommandList::DeleteCommand() {
  const TStackMng* stack = controller_.Stack();
  if (!stack || deleteLine_ < 1) return;
  const std::int32_t before = stack->Count();
  try {
    controller_.DeleteCommand(deleteLine_);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, QStringLiteral("Error"), QString::fromLocal8Bit(e.what()));
  }
  if (controller_.Stack() && controller_.Stack()->Count() < before) deleteLine_ = -1;
}

}  // namespace tarvel
