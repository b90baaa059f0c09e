#include "app/Pictures.h"

#include <QPainter>
#include <QSvgRenderer>

// The pictures and the guide are compiled into the program's library; a static library's
// resources are registered only when asked for.
static void InitTarvelResources() { Q_INIT_RESOURCE(tarvel); }
static const bool kResourcesInitialised = (InitTarvelResources(), true);

namespace tarvel {

QPixmap SvgPixmap(const QString& resource, QSize size) {
  QPixmap picture(size);
  picture.fill(Qt::transparent);
  QSvgRenderer svg(resource);
  QPainter p(&picture);
  svg.render(&p);
  return picture;
}

QIcon SvgIcon(const QString& resource) {
  QIcon icon;
  for (int side : {32, 64}) icon.addPixmap(SvgPixmap(resource, QSize(side, side)));
  return icon;
}

}  // namespace tarvel
