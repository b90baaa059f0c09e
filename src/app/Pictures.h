// The program's own pictures, drawn as SVG resources and rendered at the sizes asked for.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tarvel {

// The resource (":/tools/rotate.svg") rendered into a transparent picture of that size.
QPixmap SvgPixmap(const QString& resource, QSize size);
// An icon of the resource for tool buttons (rendered at 32 x 32 and 64 x 64).
QIcon SvgIcon(const QString& resource);

}  // namespace tarvel
