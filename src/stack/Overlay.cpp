#include "stack/Overlay.h"

namespace tarvel {

std::vector<TOverlaySegment> CentreMarker(const TPoint3& at, float size) {
  auto moved = [&](float dx, float dy, float dz) {
    return TPoint3{at.X + dx, at.Y + dy, at.Z + dz};
  };
  return {
      {at, moved(-size, 0, 0), {0.5f, 0, 0}}, {at, moved(size, 0, 0), {1, 0, 0}},
      {at, moved(0, -size, 0), {0, 0.5f, 0}}, {at, moved(0, size, 0), {0, 1, 0}},
      {at, moved(0, 0, -size), {0, 0, 0.5f}}, {at, moved(0, 0, size), {0, 0, 1}},
  };
}

void DrawCentreMarker(IOverlayPainter& painter, const TPoint3& at, float size) {
  const std::vector<TOverlaySegment> segments = CentreMarker(at, size);
  painter.DrawLines(segments, TLineStyle{});
}

}  // namespace tarvel
