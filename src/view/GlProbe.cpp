#include "view/GlProbe.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions_3_3_Compatibility>
#include <QOpenGLVersionFunctionsFactory>

namespace tarvel::view {

QString OpenGlProblem() {
  const QString need = "The 3D view needs OpenGL 3.3 with the compatibility profile";
  // The offscreen and minimal platforms draw windows without OpenGL.
  const QString platform = QGuiApplication::platformName();
  if (platform == "offscreen" || platform == "minimal")
    return need + ".\nThe \"" + platform + "\" platform offers no OpenGL.";
  QOpenGLContext context;
  if (!context.create()) return need + ".\nNo OpenGL context could be made here.";
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface))
    return need + ".\nThe OpenGL context could not be used.";
  const QSurfaceFormat format = context.format();
  const bool functions =
      QOpenGLVersionFunctionsFactory::get<QOpenGLFunctions_3_3_Compatibility>(&context) != nullptr;
  context.doneCurrent();
  if (format.version() < qMakePair(3, 3) || !functions)
    return need +
           QString(".\nThis system offers OpenGL %1.%2%3.")
               .arg(format.majorVersion())
               .arg(format.minorVersion())
               .arg(format.profile() == QSurfaceFormat::CoreProfile ? " (core profile)" : "");
  return {};
}

}  // namespace tarvel::view
