#include "view/Pictures.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

#include "mesh/SafeFile.h"
#include "view/Camera.h"

namespace tarvel::view {

namespace {

// 96 dots per inch in dots per metre, as BMP headers keep it.
int DotsPerMetre() { return static_cast<int>(std::lround(kSnapshotDpi / 0.0254)); }

}  // namespace

QImage GroundPicture() {
  constexpr int kSize = 128;
  constexpr int kTile = 16;
  QImage image(kSize, kSize, QImage::Format_RGB32);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const bool joint = x % kTile == 0 || y % kTile == 0;
      const bool dark = ((x / kTile) + (y / kTile)) % 2 == 1;
      const int v = joint ? 120 : dark ? 178 : 196;
      image.setPixel(x, y, qRgb(v, v + 4, v - 6));
    }
  }
  return image;
}

QCursor PanningCursor() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
  QPainterPath arrows;
  // Four arrows from the centre: the view follows the hand in every direction.
  for (int i = 0; i < 4; ++i) {
    QTransform t;
    t.translate(16, 16);
    t.rotate(90 * i);
    arrows.addPolygon(t.map(QPolygonF({{0, 0}, {0, -13}})));
    arrows.addPolygon(t.map(QPolygonF({{-4, -9}, {0, -13}, {4, -9}})));
  }
  p.drawPath(arrows);
  p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(arrows);
  p.end();
  return QCursor(pixmap, 16, 16);
}

QCursor ZoomCursor() {
  QPixmap pixmap(32, 32);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  // A magnifying glass whose lens is the hot spot.
  p.setPen(QPen(Qt::black, 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(19, 19), QPointF(29, 29));
  p.setPen(QPen(Qt::black, 2));
  p.setBrush(QColor(210, 235, 255, 220));
  p.drawEllipse(QPointF(12, 12), 9, 9);
  p.drawLine(QPointF(8, 12), QPointF(16, 12));
  p.drawLine(QPointF(12, 8), QPointF(12, 16));
  p.end();
  return QCursor(pixmap, 12, 12);
}

QImage AtSnapshotResolution(const QImage& picture) {
  QImage out = picture.convertToFormat(QImage::Format_RGB888);
  out.setDotsPerMeterX(DotsPerMetre());
  out.setDotsPerMeterY(DotsPerMetre());
  return out;
}

QImage Thumbnail(const QImage& picture, const QColor& background) {
  const double scale = FitScale(picture.width(), picture.height(), kThumbnailSize);
  if (scale <= 0) return {};
  const int w = std::max(1, static_cast<int>(std::lround(picture.width() * scale)));
  const int h = std::max(1, static_cast<int>(std::lround(picture.height() * scale)));
  QImage out = picture.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   .convertToFormat(QImage::Format_RGB888);
  out.setPixelColor(0, h - 1, background);
  return out;
}

QByteArray BmpBytes(const QImage& picture) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "bmp");
  if (!writer.write(AtSnapshotResolution(picture)))
    throw EFileWrite("The picture could not be encoded: " + writer.errorString().toStdString());
  return bytes;
}

void SaveBmp(const QImage& picture, const std::string& fileName) {
  const QByteArray bytes = BmpBytes(picture);
  TSafeFileWriter file(fileName);
  file.Write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
  file.Commit();
}

}  // namespace tarvel::view
