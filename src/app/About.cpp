#include "app/About.h"

#include "app/Pictures.h"
#include "app/UiText.h"

#include <QDialogButtonBox>
#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace tarvel {

TLinkLabel::TLinkLabel(const QString& text, const QUrl& target, TShellOpen open, QWidget* parent)
    : QLabel(text, parent), target_(target), open_(std::move(open)) {
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
  setToolTip(target.toString());
  SetColour(Qt::blue);
}

void TLinkLabel::SetColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
}

void TLinkLabel::enterEvent(QEnterEvent* event) {
  SetColour(Qt::red);
  QLabel::enterEvent(event);
}

void TLinkLabel::leaveEvent(QEvent* event) {
  SetColour(visited_ ? QColor(Qt::darkBlue) : QColor(Qt::blue));
  QLabel::leaveEvent(event);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    visited_ = true;
    if (open_) open_(target_);
  }
  QLabel::mouseReleaseEvent(event);
}

TFormAbout::TFormAbout(TShellOpen open, QWidget* parent) : QDialog(parent) {
  setObjectName("FormAbout");
  setWindowTitle("About");
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setModal(true);

  auto* picture = new QLabel(this);
  picture->setPixmap(SvgPixmap(":/about.svg", QSize(96, 96)));

  auto* product = new QLabel("Tarvel 1.0a", this);
  product->setObjectName("ProductName");
  QFont big = product->font();
  big.setPointSize(24);
  big.setBold(true);
  product->setFont(big);
  QPalette red = product->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  product->setPalette(red);
  auto* shadow = new QGraphicsDropShadowEffect(product);
  shadow->setOffset(2, 2);
  shadow->setBlurRadius(2);
  shadow->setColor(QColor(0, 0, 0, 150));
  product->setGraphicsEffect(shadow);

  auto* subtitle = new QLabel("Morph targets for Poser figures", this);
  auto* web = new TLinkLabel("Tarvel on the web", QUrl(kMakerWebPage), open, this);
  web->setObjectName("LinkWeb");
  auto* mail = new TLinkLabel("Write to the maker", QUrl(kMakerMail), open, this);
  mail->setObjectName("LinkMail");

  auto* thanks = new QLabel("Acknowledgements", this);
  QFont bold = thanks->font();
  bold.setBold(true);
  thanks->setFont(bold);
  auto* thanksText = new QLabel(UiText("This program uses some open \r\nsource libraries. Here "
                                       "is a link to \r\nthe most important:"),
                                this);
  auto* sceneLink = new TLinkLabel("Qt OpenGL (3D view)", QUrl(kSceneLibraryPage), open, this);
  sceneLink->setObjectName("LinkSceneLibrary");
  auto* treeLink = new TLinkLabel("Qt Widgets (tree view)", QUrl(kTreeLibraryPage), open, this);
  treeLink->setObjectName("LinkTreeLibrary");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* grid = new QGridLayout;
  grid->addWidget(picture, 0, 0, 4, 1, Qt::AlignTop);
  grid->addWidget(product, 0, 1);
  grid->addWidget(subtitle, 1, 1);
  grid->addWidget(web, 2, 1);
  grid->addWidget(mail, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setHorizontalSpacing(16);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addSpacing(12);
  layout->addWidget(thanks);
  layout->addWidget(thanksText);
  layout->addWidget(sceneLink);
  layout->addWidget(treeLink);
  layout->addSpacing(8);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tarvel
