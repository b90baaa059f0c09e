#include "view/Camera.h"

#include <algorithm>
#include <numbers>

namespace tarvel::view {

namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180; }

// Rotates `v` about the unit axis `k` (Rodrigues).
TVec3 Rotate(const TVec3& v, const TVec3& k, double angle) {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return v * c + Cross(k, v) * s + k * (Dot(k, v) * (1 - c));
}

// The camera's right, or the x axis when it looks straight along its up vector.
TVec3 RightOf(const TVec3& up, const TVec3& toCamera) {
  const TVec3 right = Cross(up, toCamera);
  return Length(right) < 0.001 ? TVec3{1, 0, 0} : Unit(right);
}

}  // namespace

TVec3 Unit(const TVec3& a) {
  const double l = Length(a);
  return l > 0 ? a * (1 / l) : a;
}

TCameraPose Orbit(const TCameraPose& pose, double pitchDegrees, double turnDegrees) {
  constexpr double kPoleGap = 0.025;
  const TVec3 offset = pose.Position - pose.Target;
  const double distance = Length(offset);
  if (distance <= 0) return pose;
  const TVec3 up = Unit(pose.Up);
  const TVec3 dir = offset * (1 / distance);
  const TVec3 right = RightOf(up, dir);
  // The horizontal direction of the camera seen from the target.
  const TVec3 level = Unit(Cross(right, up));
  const double pitchNow = std::acos(std::clamp(Dot(up, dir), -1.0, 1.0));
  const double pitch =
      std::clamp(pitchNow + Radians(pitchDegrees), kPoleGap, std::numbers::pi - kPoleGap);
  TVec3 moved = up * std::cos(pitch) + level * std::sin(pitch);
  moved = Rotate(moved, up, Radians(turnDegrees));
  TCameraPose out = pose;
  out.Position = pose.Target + moved * distance;
  return out;
}

TCameraPose Pan(const TCameraPose& pose, double dx, double dy, double focalLength) {
  const double k = pose.Distance() * 0.12 / focalLength;
  const TVec3 dir = Unit(pose.Position - pose.Target);
  const TVec3 right = Unit(Cross(pose.Up, dir));
  const TVec3 move = right * (dx * k) + pose.Up * (dy * k);
  TCameraPose out = pose;
  out.Position = pose.Position + move;
  out.Target = pose.Target + move;
  return out;
}

double ZoomRatio(double delta) { return std::pow(1.1, delta / 800); }

TCameraPose Zoom(const TCameraPose& pose, double delta) {
  TCameraPose out = pose;
  out.Position = pose.Target + (pose.Position - pose.Target) * ZoomRatio(delta);
  return out;
}

TVec3 LightPosition(const TCameraPose& pose) {
  const TVec3 dir = Unit(pose.Position - pose.Target);
  const TVec3 right = Unit(Cross(pose.Up, dir));
  return pose.Position + pose.Up * 0.5 + right * 0.5;
}

float PointSize(double distance) {
  return std::min(static_cast<float>(0.00025 * distance / 3), kMaxPointSize);
}

double PixelsPerUnit(double focalLength) { return focalLength * 2 * 96 / 25.4; }

TFrustum Frustum(int width, int height, double focalLength) {
  return Frustum(width, height, kNearPlane, kDepthOfView, focalLength);
}

TFrustum Frustum(int width, int height, double nearPlane, double farPlane, double focalLength) {
  const double k = nearPlane / PixelsPerUnit(focalLength);
  const double w = std::max(width, 1) * 0.5 * k;
  const double h = std::max(height, 1) * 0.5 * k;
  return {-w, w, -h, h, nearPlane, farPlane};
}

void TBox::Add(const TVec3& p) {
  if (Empty()) {
    Lo = Hi = p;
    return;
  }
  Lo = {std::min(Lo.X, p.X), std::min(Lo.Y, p.Y), std::min(Lo.Z, p.Z)};
  Hi = {std::max(Hi.X, p.X), std::max(Hi.Y, p.Y), std::max(Hi.Z, p.Z)};
}

void TBox::Add(const TBox& b) {
  if (b.Empty()) return;
  Add(b.Lo);
  Add(b.Hi);
}

bool TBox::Contains(const TVec3& p) const {
  return !Empty() && p.X >= Lo.X && p.X <= Hi.X && p.Y >= Lo.Y && p.Y <= Hi.Y && p.Z >= Lo.Z &&
         p.Z <= Hi.Z;
}

TDepthRange DepthRange(const TCameraPose& pose, const TBox& drawn) {
  if (drawn.Empty()) return {};
  const TVec3 forward = Unit(pose.Target - pose.Position);
  double nearest = 0;
  double farthest = 0;
  for (int c = 0; c < 8; ++c) {
    const TVec3 corner{(c & 4) ? drawn.Hi.X : drawn.Lo.X, (c & 2) ? drawn.Hi.Y : drawn.Lo.Y,
                       (c & 1) ? drawn.Hi.Z : drawn.Lo.Z};
    const double depth = Dot(corner - pose.Position, forward);
    nearest = c == 0 ? depth : std::min(nearest, depth);
    farthest = c == 0 ? depth : std::max(farthest, depth);
  }
  TDepthRange range;
  // A little room on both sides, so that the planes never graze the box's corners.
  const double room = (farthest - nearest) * 0.01 + drawn.Radius() * 1e-6;
  range.Far = std::max(farthest + room, 1e-6);
  range.Near = std::max(nearest - room, range.Far / 10000);
  return range;
}

namespace {
// The half angle of the narrower side of a view of width x height pixels.
double HalfAngle(int width, int height, double focalLength) {
  const double half = std::max(std::min(width, height), 1) * 0.5;
  return std::atan(half / PixelsPerUnit(focalLength));
}
}  // namespace

TCameraPose FrameBox(const TCameraPose& pose, const TBox& box, int width, int height,
                     double focalLength) {
  if (box.Empty()) return pose;
  constexpr double kMargin = 1.15;
  // The box's sphere fits the narrower side; a flat or point box still gets some room.
  const double radius = std::max(box.Radius(), 1e-4);
  const double distance = radius * kMargin / std::sin(HalfAngle(width, height, focalLength));
  TVec3 dir = Unit(pose.Position - pose.Target);
  if (Length(dir) == 0) dir = Unit(kStartCamera - kStartTarget);
  TCameraPose out = pose;
  out.Target = box.Centre();
  out.Position = out.Target + dir * distance;
  return out;
}

bool BoxInView(const TCameraPose& pose, const TBox& box, int width, int height,
               double focalLength) {
  if (box.Empty()) return true;
  if (box.Contains(pose.Position)) return false;
  const TVec3 forward = Unit(pose.Target - pose.Position);
  const TVec3 right = Unit(Cross(forward, pose.Up));
  const TVec3 up = Cross(right, forward);
  const double ppu = PixelsPerUnit(focalLength);
  const double halfW = std::max(width, 1) * 0.5 / ppu;
  const double halfH = std::max(height, 1) * 0.5 / ppu;
  for (int c = 0; c < 8; ++c) {
    const TVec3 corner{(c & 4) ? box.Hi.X : box.Lo.X, (c & 2) ? box.Hi.Y : box.Lo.Y,
                       (c & 1) ? box.Hi.Z : box.Lo.Z};
    const TVec3 d = corner - pose.Position;
    const double depth = Dot(d, forward);
    if (depth <= 0) return false;
    if (std::abs(Dot(d, right)) > halfW * depth || std::abs(Dot(d, up)) > halfH * depth)
      return false;
  }
  return true;
}

double FitScale(int width, int height, int box) {
  if (width <= 0 || height <= 0) return 0;
  return std::min(static_cast<double>(box) / width, static_cast<double>(box) / height);
}

}  // namespace tarvel::view
