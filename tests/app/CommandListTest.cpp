// The command list: caption markup, how lines are drawn and measured, clicks that make a line
// current and the "Delete command" pop-up.
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "TreeFixture.h"

namespace tarvel::test {
namespace {

TEST(CaptionMarkupTest, TagsSplitCaptionsIntoStyledRuns) {
  const QColor red(Qt::red), blue(Qt::blue);
  struct TCase {
    std::string Caption;
    std::vector<TCaptionRun> Runs;
  };
  const std::vector<TCase> cases = {
      {"Select all", {{"Select all"}}},
      {"Group <b>head</b> selected", {{"Group "}, {"head", true}, {" selected"}}},
      {"<c:Red>Group <b>\?\?\?</b> selected",
       {{"Group ", false, false, false, red},
        {"\?\?\?", true, false, false, red},
        {" selected", false, false, false, red}}},
      {"<c:Red>gone<c:Black> back", {{"gone", false, false, false, red}, {" back"}}},
      {"<c:blue>x", {{"x", false, false, false, blue}}},
      {"<i>it</i><u>un</u>", {{"it", false, true}, {"un", false, false, true}}},
      {"<b><i>both</b> italic</i>", {{"both", true, true}, {" italic", false, true}}},
      {"a < b", {{"a < b"}}},
      {"<x>y", {{"<x>y"}}},
      {"<b", {{"<b"}}},
      {"<c:NoSuchColour>z", {{"z"}}},
      {"<b></b>", {}},
      {"caf\xe9", {{QString::fromUtf8("caf\u00e9")}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Caption);
    const std::vector<TCaptionRun> runs = ParseCaption(c.Caption);
    ASSERT_EQ(runs.size(), c.Runs.size());
    for (std::size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].Text, c.Runs[i].Text) << i;
      EXPECT_EQ(runs[i].Bold, c.Runs[i].Bold) << i;
      EXPECT_EQ(runs[i].Italic, c.Runs[i].Italic) << i;
      EXPECT_EQ(runs[i].Underline, c.Runs[i].Underline) << i;
      EXPECT_EQ(runs[i].Colour, c.Runs[i].Colour) << i;
    }
  }
  EXPECT_EQ(PlainText("<c:Red>Group <b>\?\?\?</b> selected"), "Group \?\?\? selected");
}

TEST(CaptionMarkupTest, BoldRunsAreMeasuredInTheBoldFont) {
  QFont font;
  font.setPointSize(12);
  const int plain = CaptionWidth(ParseCaption("WWWWWWWW"), font);
  const int bold = CaptionWidth(ParseCaption("<b>WWWWWWWW</b>"), font);
  EXPECT_GT(plain, 0);
  EXPECT_GT(bold, plain);
  EXPECT_EQ(CaptionWidth(ParseCaption("WW<b>WW</b>"), font),
            CaptionWidth(ParseCaption("WW"), font) + CaptionWidth(ParseCaption("<b>WW"), font));
}

class TCommandListTest : public TTreeFixture {
 protected:
  // A stack of the initial command and three selections; line 3 is current.
  void MakeStack() {
    controller.NewStack(Target());
    for (int id : {7, 9, 8}) controller.AddCommand(*Target().FindDescriptor(id));
  }
  void ShowList() {
    list.resize(200, 160);
    list.show();
    QApplication::processEvents();
  }
  QPoint LineCentre(int line) { return list.visualItemRect(list.item(line)).center(); }
};

TEST_F(TCommandListTest, LinesCarryTheCaptionsAndCommandsOfTheStack) {
  MakeStack();
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(list.currentRow(), 3);
  list.FillCommandList();
  ASSERT_EQ(list.count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(list.LineText(i), controller.Stack()->Command(i)->Caption);
    EXPECT_EQ(list.LineCommand(i), controller.Stack()->Command(i));
  }
  EXPECT_EQ(list.LineText(1), "Select all");
  EXPECT_EQ(list.LineHeight(), QFontMetrics(list.font()).boundingRect("W").height());
  EXPECT_EQ(list.visualItemRect(list.item(1)).height(), list.LineHeight());

  window.WarningAnswers.push_back(true);
  ASSERT_TRUE(controller.ClearStack());
  EXPECT_EQ(list.count(), 0);
}

TEST_F(TCommandListTest, ScrollWidthFollowsTheWidestLine) {
  EXPECT_EQ(list.ScrollWidth(), 0);
  list.ListInsert(0, "short");
  const int shortWidth = list.ScrollWidth();
  EXPECT_GT(shortWidth, QFontMetrics(list.font()).horizontalAdvance("short"));  // the "x"

  list.ListInsert(1, "a much longer line of text");
  const int longWidth = list.ScrollWidth();
  EXPECT_GT(longWidth, shortWidth);
  list.ListInsert(1, "mid line");
  EXPECT_EQ(list.ScrollWidth(), longWidth);
  list.ListInsert(0, "<b>a much longer line of text</b>");
  const int boldWidth = list.ScrollWidth();
  EXPECT_GT(boldWidth, longWidth);

  list.ListRemove(1);  // "short": not the widest
  EXPECT_EQ(list.ScrollWidth(), boldWidth);
  list.ListRemove(0);  // the bold one was the widest
  EXPECT_EQ(list.ScrollWidth(), longWidth);
  list.ListSetText(1, "tiny");  // the widest line shrinks
  EXPECT_LT(list.ScrollWidth(), longWidth);
  list.ListSetText(1, "a much longer line of text, now longer still");
  EXPECT_GT(list.ScrollWidth(), longWidth);

  ShowList();
  EXPECT_GT(list.horizontalScrollBar()->maximum(), 0);
  list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
  list.ListClear();
  EXPECT_EQ(list.ScrollWidth(), 0);
  EXPECT_EQ(list.horizontalScrollBar()->value(), 0);
}

TEST_F(TCommandListTest, LinesAreDrawnWithTheirMarkupAndTheSelectionWithoutFocus) {
  list.ListInsert(0, "<c:Red>Group <b>\?\?\?</b> selected");
  list.ListInsert(1, "Group <b>left</b> selected");
  list.ListInsert(2, "Select all");
  ShowList();
  list.ListSelect(2);
  list.clearFocus();
  QApplication::processEvents();
  const QImage image = list.viewport()->grab().toImage();

  auto count = [&](int line, auto&& match) {
    const QRect r = list.visualItemRect(list.item(line)).intersected(image.rect());
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) n += match(image.pixelColor(x, y)) ? 1 : 0;
    return n;
  };
  auto reddish = [](const QColor& c) { return c.red() > 150 && c.green() < 90 && c.blue() < 90; };
  EXPECT_GT(count(0, reddish), 10);
  EXPECT_EQ(count(1, reddish), 0);

  const QColor highlight = list.palette().color(QPalette::Active, QPalette::Highlight);
  const QRect selected = list.visualItemRect(list.item(2));
  EXPECT_EQ(image.pixelColor(selected.right() - 2, selected.center().y()), highlight);
  EXPECT_EQ(count(1, [&](const QColor& c) { return c == highlight; }), 0);
}

TEST_F(TCommandListTest, ClickingALineMakesItsCommandCurrent) {
  MakeStack();
  ShowList();
  QSignalSpy made(&list, &TCommandList::LineMadeCurrent);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, LineCentre(1));
  EXPECT_EQ(controller.CurrentLine(), 1);
  EXPECT_EQ(controller.SelectedLine(), 1);
  ASSERT_EQ(made.count(), 1);
  EXPECT_EQ(made[0][0].toInt(), 1);

  // Selecting from the program moves the highlight only.
  list.ListSelect(2);
  EXPECT_EQ(list.currentRow(), 2);
  EXPECT_EQ(controller.CurrentLine(), 1);
  EXPECT_EQ(made.count(), 1);

  // A right click leaves the selection where it was.
  QTest::mouseClick(list.viewport(), Qt::RightButton, {}, LineCentre(3));
  EXPECT_EQ(list.currentRow(), 2);
  EXPECT_EQ(controller.CurrentLine(), 1);
}

TEST_F(TCommandListTest, DeletePopupOpensFromLineOneOn) {
  MakeStack();
  ShowList();
  EXPECT_EQ(list.PopupMenuAt(LineCentre(0)), nullptr);
  EXPECT_EQ(list.DeleteLine(), -1);
  EXPECT_EQ(list.PopupMenuAt(QPoint(5, list.viewport()->height() - 2)),
            nullptr);  // below the lines

  std::unique_ptr<QMenu> menu = list.PopupMenuAt(LineCentre(2));
  ASSERT_TRUE(menu);
  ASSERT_EQ(menu->actions().size(), 1);
  EXPECT_EQ(menu->actions()[0]->text(), "Delete command");
  EXPECT_EQ(list.DeleteLine(), 2);

  window.WarningAnswers.push_back(false);
  menu->actions()[0]->trigger();
  EXPECT_EQ(list.count(), 4);
  EXPECT_EQ(list.DeleteLine(), 2);
  ASSERT_EQ(window.Warnings.size(), 1u);
  EXPECT_EQ(window.Warnings[0], "Delete command:Invert selection\r\nConfirm?");

  window.WarningAnswers.push_back(true);
  menu->actions()[0]->trigger();
  EXPECT_EQ(list.count(), 3);
  EXPECT_EQ(list.LineText(2), "Clear selection");
  EXPECT_EQ(list.DeleteLine(), -1);
  EXPECT_EQ(controller.Stack()->Count(), 3);
}

}  // namespace
}  // namespace tarvel::test
