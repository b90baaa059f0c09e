// Without OpenGL (Qt's offscreen platform has none) the window starts with the reason in the
// viewport's place, and the rest of the window works.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

#include "FormMainFixture.h"
#include "app/CommandList.h"
#include "app/ViewFactory.h"

namespace tarvel::test {
namespace {

TEST_F(TFormMainTest, WithoutOpenGlTheViewShowsWhyAndTheWindowWorks) {
  TFormMainOptions o = Options();
  o.CreateView = {};  // the program's own view
  auto window = std::make_unique<TFormMain>(o);
  auto* placeholder = dynamic_cast<TViewPlaceholder*>(&window->View());
  ASSERT_NE(placeholder, nullptr) << "the offscreen platform has no OpenGL";
  EXPECT_TRUE(placeholder->Message().contains("OpenGL 3.3"))
      << placeholder->Message().toStdString();

  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  ASSERT_TRUE(window->OpenFile(QString::fromStdString(SamplePath())));
  window->TargetItems().front()->trigger();
  ASSERT_NE(window->Controller().Stack(), nullptr);
  QTest::mouseClick(window->ToolButtons(7).at(0), Qt::LeftButton);  // select all
  EXPECT_EQ(window->CommandList()->count(), 2);
  window->findChild<QAction*>("ActFrameAll")->trigger();
  window->findChild<QAction*>("ActShowWeights")->trigger();
  // The placeholder draws its message where the 3D view would be.
  const QImage shown = placeholder->grab().toImage();
  ASSERT_FALSE(shown.isNull());
  bool text = false;
  for (int y = 0; y < shown.height() && !text; ++y)
    for (int x = 0; x < shown.width() && !text; ++x)
      text = shown.pixelColor(x, y) != QColor(0, 128, 128);
  EXPECT_TRUE(text);
  QTest::qWait(50);
  prompts.MessageAnswers = {QMessageBox::No};
  window->close();
}

}  // namespace
}  // namespace tarvel::test
