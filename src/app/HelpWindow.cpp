#include "app/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace tarvel {

QUrl HelpTopic(int context) {
  switch (context) {
    case kHelpSceneTree:
      return QUrl("qrc:/guide/tree.html");
    case kHelpCommandList:
      return QUrl("qrc:/guide/stack.html#command-list");
    case kHelpInflate:
      return QUrl("qrc:/guide/organic.html#inflate");
    case kHelpSmooth:
      return QUrl("qrc:/guide/organic.html#smooth");
    default:
      return QUrl("qrc:/guide/index.html");
  }
}

TFormHelp::TFormHelp(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setObjectName("FormHelp");
  setWindowTitle("Tarvel Guide");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowFlag(Qt::WindowMinMaxButtonsHint, true);
  setModal(false);
  resize(760, 620);

  browser_->setOpenExternalLinks(true);
  browser_->setSearchPaths({":/guide"});

  auto* contents = new QPushButton("&Contents", this);
  auto* back = new QPushButton("&Back", this);
  auto* forward = new QPushButton("&Forward", this);
  auto* close = new QPushButton("C&lose", this);
  back->setEnabled(false);
  forward->setEnabled(false);
  connect(contents, &QPushButton::clicked, this,
          [this] { browser_->setSource(HelpTopic(kHelpContents)); });
  connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
  connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
  connect(close, &QPushButton::clicked, this, &QDialog::close);
  connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
    const QString title = browser_->documentTitle();
    setWindowTitle(title.isEmpty() ? QString("Tarvel Guide") : "Tarvel Guide - " + title);
  });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(contents);
  buttons->addWidget(back);
  buttons->addWidget(forward);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(browser_);
}

void TFormHelp::ShowTopic(const QUrl& topic) {
  show();
  raise();
  activateWindow();
  browser_->setSource(topic);
  // The page is laid out only now that the window shows; the section goes to the top.
  if (topic.hasFragment()) {
    const QString anchor = topic.fragment();
    QTimer::singleShot(0, browser_, [this, anchor] { browser_->scrollToAnchor(anchor); });
  }
}

}  // namespace tarvel
