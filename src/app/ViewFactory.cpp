#include "app/ViewFactory.h"

#include <QPainter>

#include "view/GlProbe.h"
#include "view/Pictures.h"
#include "view/Viewport.h"

namespace tarvel {

namespace {
const QColor kBackground(0, 128, 128);
}

TViewPart CreateViewArea(TStackController& controller, QWidget* parent) {
  if (const QString problem = view::OpenGlProblem(); !problem.isEmpty()) {
    // Everything else of the window works without the 3D view.
    qWarning("%s", qPrintable(problem));
    auto* placeholder = new TViewPlaceholder(parent);
    placeholder->SetMessage(problem);
    return {placeholder, placeholder};
  }
  auto* view = new TViewport(controller, parent);
  return {view, view};
}

TViewPlaceholder::TViewPlaceholder(QWidget* parent) : QWidget(parent) {
  setObjectName("Viewport");
  setMinimumSize(100, 100);
}

void TViewPlaceholder::SetMessage(const QString& message) {
  message_ = message;
  setToolTip(message);
  update();
}

void TViewPlaceholder::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  if (message_.isEmpty()) return;
  p.setPen(Qt::white);
  p.drawText(rect().adjusted(12, 12, -12, -12), Qt::AlignCenter | Qt::TextWordWrap, message_);
}

QImage TViewPlaceholder::StoreCameraSlot(int) {
  QImage thumb(28, 28, QImage::Format_RGB32);
  thumb.fill(kBackground);
  return thumb;
}

QImage TViewPlaceholder::RenderImage() {
  QImage image(size(), QImage::Format_RGB888);
  image.fill(kBackground);
  image.setDotsPerMeterX(3780);  // 96 dots per inch
  image.setDotsPerMeterY(3780);
  return image;
}

void TViewPlaceholder::SaveSnapshot(const std::string& fileName) {
  view::SaveBmp(RenderImage(), fileName);
}

}  // namespace tarvel
