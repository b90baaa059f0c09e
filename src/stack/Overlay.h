// What a command draws over the mesh while it is current, as plain data for the viewport.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "stack/StatusInfo.h"

namespace tarvel {

struct TColor3f {
  float R = 0, G = 0, B = 0;
  bool operator==(const TColor3f&) const = default;
};

struct TOverlaySegment {
  TPoint3 From;
  TPoint3 To;
  TColor3f Colour;
  bool operator==(const TOverlaySegment&) const = default;
};

// How a set of lines is drawn. The viewport saves its drawing state before and restores it
// after.
struct TLineStyle {
  float Width = 1;
  bool Lit = false;
  bool Smooth = true;
  bool Blend = true;  // source alpha, one minus source alpha
  int StippleFactor = 1;
  std::uint16_t StipplePattern = 0xCCCC;
  bool operator==(const TLineStyle&) const = default;
};

class IOverlayPainter {
 public:
  virtual ~IOverlayPainter() = default;
  // Lines in scene coordinates.
  virtual void DrawLines(std::span<const TOverlaySegment> segments, const TLineStyle& style) = 0;
};

// The centre marker: six segments from the point, `size` long along -X, +X, -Y, +Y, -Z, +Z,
// dark and bright red, green and blue.
std::vector<TOverlaySegment> CentreMarker(const TPoint3& at, float size);
void DrawCentreMarker(IOverlayPainter& painter, const TPoint3& at, float size = 0.2f);

}  // namespace tarvel
