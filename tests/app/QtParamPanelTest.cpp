#include "app/QtParamPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <vector>

#include "stack/SelectCommands.h"

namespace tarvel::test {
namespace {

class TQtParamPanelTest : public ::testing::Test {
 protected:
  TQtParamPanelTest() {
    panel.resize(300, 400);
    panel.show();
  }
  // A handler that records who reported, and whether a numeric edit was blank then.
  TChangeHandler Recorder() {
    return [this](IParamControl& sender) {
      reports.push_back(&sender);
      if (auto* e = dynamic_cast<INumberEdit*>(&sender)) blanks.push_back(e->IsBlank());
    };
  }
  template <class W>
  static W* WidgetOf(const TQtParamPanel& p, std::size_t i) {
    return qobject_cast<W*>(p.Controls().at(i)->Widget());
  }

  TQtParamPanel panel;
  std::vector<IParamControl*> reports;
  std::vector<bool> blanks;
};

TEST_F(TQtParamPanelTest, FactoryEditsSitRightOfTheirLabelsAndLineUp) {
  TSCInit command(nullptr);
  int column = 0;
  INumberEdit& x = CoordinateEdit(panel, 3, 8, column, "X:", &command, Recorder());
  INumberEdit& ratio =
      RatioEdit(panel, 3, x.Bounds().Bottom() + 5, column, "Centre offset X:", &command, {});
  INumberEdit& y =
      CoordinateEdit(panel, 3, ratio.Bounds().Bottom() + 5, column, "Y:", &command, {});
  auto* label = WidgetOf<QLabel>(panel, 2);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Centre offset X:");
  EXPECT_EQ(ratio.Bounds().Left, label->geometry().right() + 1 + 3);
  EXPECT_EQ(y.Bounds().Left, ratio.Bounds().Left) << "edits line up under the widest label";
  EXPECT_EQ(x.Bounds().Width, 70);
  EXPECT_EQ(x.Bounds().Height, panel.EditHeight());

  auto* spin = WidgetOf<QDoubleSpinBox>(panel, 1);
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(spin->decimals(), 4);
  EXPECT_DOUBLE_EQ(spin->singleStep(), 0.0001);
  EXPECT_DOUBLE_EQ(WidgetOf<QDoubleSpinBox>(panel, 3)->singleStep(), 0.01);
  // "." is the decimal point whatever the locale.
  x.SetValue(1.5);
  EXPECT_EQ(spin->text(), "1.5000");
  EXPECT_TRUE(reports.empty()) << "the program's own changes report nothing";

  // The content grows to hold every control, so the panel scrolls over them.
  EXPECT_GE(panel.Content()->width(), y.Bounds().Right());
  EXPECT_GE(panel.Content()->height(), y.Bounds().Bottom());
}

TEST_F(TQtParamPanelTest, TypingInANumericEditReportsEveryChangeAndBlanks) {
  INumberEdit& edit = panel.AddNumberEdit({3, 3, 90, panel.EditHeight()});
  edit.SetDecimals(3);
  edit.SetStep(0.01);
  edit.OnChange = Recorder();
  auto* spin = WidgetOf<QDoubleSpinBox>(panel, 0);
  QLineEdit* line = spin->findChild<QLineEdit*>();
  ASSERT_NE(line, nullptr);

  line->selectAll();
  QTest::keyClick(line, Qt::Key_Delete);
  ASSERT_FALSE(reports.empty());
  EXPECT_TRUE(blanks.back());
  EXPECT_TRUE(edit.IsBlank());
  QTest::keyClicks(line, "-");
  EXPECT_TRUE(edit.IsBlank()) << "a lone minus is no number yet";
  QTest::keyClicks(line, "2.5");
  EXPECT_FALSE(blanks.back());
  EXPECT_DOUBLE_EQ(edit.Value(), -2.5);
  EXPECT_EQ(reports.back(), &edit);

  const std::size_t before = reports.size();
  QTest::keyClick(spin, Qt::Key_Up);
  EXPECT_EQ(reports.size(), before + 1);
  EXPECT_NEAR(edit.Value(), -2.49, 1e-9);

  edit.SetRange(0, 1);
  EXPECT_DOUBLE_EQ(spin->minimum(), 0);
  EXPECT_DOUBLE_EQ(spin->maximum(), 1);
  EXPECT_EQ(reports.size(), before + 1) << "clamping by the program reports nothing";
}

TEST_F(TQtParamPanelTest, ChecksRadiosAndButtonsReportUserClicksOnly) {
  ICheckBox& box = panel.AddCheckBox(5, 5, "Reset morphs");
  IRadioButton& a = panel.AddRadioButton(5, 30, "Left to right", 0);
  IRadioButton& b = panel.AddRadioButton(5, 50, "Right to left", 0);
  IRadioButton& other = panel.AddRadioButton(5, 70, "Other group", 1);
  IButton& button = panel.AddButton({10, 90, 60, 20}, "Info");
  for (IParamControl* c : std::vector<IParamControl*>{&box, &a, &b, &other, &button})
    c->OnChange = Recorder();

  box.SetChecked(true);
  a.SetChecked(true);
  other.SetChecked(true);
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(box.Checked());

  QTest::mouseClick(WidgetOf<QCheckBox>(panel, 0), Qt::LeftButton);
  EXPECT_FALSE(box.Checked());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], &box);

  // The group's buttons exclude each other; both report the change.
  QTest::mouseClick(WidgetOf<QRadioButton>(panel, 2), Qt::LeftButton);
  EXPECT_TRUE(b.Checked());
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(other.Checked()) << "another group keeps its choice";
  EXPECT_EQ(reports.size(), 3u);

  b.SetChecked(false);
  EXPECT_FALSE(a.Checked());
  EXPECT_FALSE(b.Checked());

  QTest::mouseClick(WidgetOf<QPushButton>(panel, 4), Qt::LeftButton);
  EXPECT_EQ(reports.back(), &button);

  button.SetEnabled(false);
  EXPECT_FALSE(WidgetOf<QPushButton>(panel, 4)->isEnabled());
}

TEST_F(TQtParamPanelTest, TextsAreLatin1AndCurvesAreRedOnWhite) {
  ILabel& label = panel.AddLabel(3, 3, "MT:caf\xe9");
  EXPECT_EQ(WidgetOf<QLabel>(panel, 0)->text(), QString::fromUtf8("MT:caf\u00e9"));
  EXPECT_EQ(label.Bounds().Width, panel.TextWidth("MT:caf\xe9"));
  EXPECT_EQ(label.Bounds().Height, panel.LabelHeight());
  ITextLine& line = panel.AddTextLine({3, 20, 200, panel.LabelHeight()}, "");
  line.SetText("Pairs: 12");
  EXPECT_EQ(WidgetOf<QLabel>(panel, 1)->text(), "Pairs: 12");

  ICurvePreview& curve = panel.AddCurvePreview({3, 40, 50, 40});
  curve.SetPoints({{0, 0}, {39, 39}});
  const QImage shown = panel.Controls().at(2)->Widget()->grab().toImage();
  EXPECT_EQ(shown.pixelColor(20, 20), QColor(Qt::red));
  EXPECT_EQ(shown.pixelColor(45, 5), QColor(Qt::white));
}

TEST_F(TQtParamPanelTest, LabelsFitEveryTextTheyGet) {
  ILabel& label = panel.AddLabel(3, 3, "Vertex: 0");
  ITextLine& line = panel.AddTextLine({3, 20, 60, panel.LabelHeight()}, "");
  for (const char* text : {"Vertex: 17136", "Vertex: 7", "Vertex: 1234567890123"}) {
    label.SetText(text);
    EXPECT_EQ(label.Bounds().Width, panel.TextWidth(text)) << text;
    line.SetText(text);
    // A text line keeps the width it was given, and grows for a longer text.
    EXPECT_EQ(line.Bounds().Width, std::max(60, panel.TextWidth(text))) << text;
  }
}

TEST_F(TQtParamPanelTest, ClearRemovesEveryControl) {
  panel.AddLabel(3, 3, "A:");
  INumberEdit& edit = panel.AddNumberEdit({30, 3, 70, panel.EditHeight()});
  edit.OnChange = Recorder();
  QPointer<QWidget> widget = panel.Controls().at(1)->Widget();
  edit.SetBounds({30, 300, 70, 20});
  EXPECT_GE(panel.Content()->height(), 320);

  panel.Clear();
  EXPECT_TRUE(panel.Controls().empty());
  EXPECT_EQ(panel.Content()->size(), QSize(0, 0));
  ASSERT_FALSE(widget.isNull());
  EXPECT_FALSE(widget->isVisible());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(widget.isNull());
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace tarvel::test
