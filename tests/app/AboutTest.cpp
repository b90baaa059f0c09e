#include "app/About.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QTest>
#include <vector>

namespace tarvel::test {
namespace {

TEST(AboutTest, ShowsTheProductInRedBoldAndTheAcknowledgements) {
  TFormAbout about([](const QUrl&) {});
  const auto* product = about.findChild<QLabel*>("ProductName");
  ASSERT_NE(product, nullptr);
  EXPECT_EQ(product->text(), "Tarvel 1.0a");
  EXPECT_TRUE(product->font().bold());
  EXPECT_EQ(product->palette().color(QPalette::WindowText), QColor(Qt::red));
  EXPECT_NE(product->graphicsEffect(), nullptr) << "drawn with a shadow";
  bool thanks = false;
  for (const QLabel* l : about.findChildren<QLabel*>())
    thanks |= l->text() ==
              "This program uses some open \nsource libraries. Here is a link to \nthe most "
              "important:";
  EXPECT_TRUE(thanks);
  const std::vector<const char*> links = {"LinkWeb", "LinkMail", "LinkSceneLibrary",
                                          "LinkTreeLibrary"};
  for (const char* name : links) EXPECT_NE(about.findChild<TLinkLabel*>(name), nullptr) << name;
  EXPECT_TRUE(about.isModal());
}

TEST(AboutTest, LinkLabelsChangeColourAndOpenTheirTarget) {
  std::vector<QUrl> opened;
  TLinkLabel link("Qt", QUrl("https://www.qt.io/"), [&](const QUrl& u) { opened.push_back(u); });
  link.show();
  EXPECT_EQ(link.TextColour(), QColor(Qt::blue));
  EXPECT_TRUE(link.font().underline());
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&link, &enter);
  EXPECT_EQ(link.TextColour(), QColor(Qt::red));
  QTest::mouseClick(&link, Qt::LeftButton);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], QUrl("https://www.qt.io/"));
  EXPECT_TRUE(link.Visited());
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&link, &leave);
  EXPECT_EQ(link.TextColour(), QColor(Qt::darkBlue)) << "navy once visited";
}

}  // namespace
}  // namespace tarvel::test
