// Whether the 3D view can be had here: OpenGL 3.3 with the compatibility functions, asked of
// the platform before any OpenGL widget exists (a platform without OpenGL fails inside Qt when
// such a widget is shown).
#pragma once

#include <QString>

namespace tarvel::view {

// Why the 3D view cannot be drawn here, for the user; empty when it can.
QString OpenGlProblem();

}  // namespace tarvel::view
