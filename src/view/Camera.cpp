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
  const double k = kNearPlane / PixelsPerUnit(focalLength);
  const double w = std::max(width, 1) * 0.5 * k;
  const double h = std::max(height, 1) * 0.5 * k;
  return {-w, w, -h, h, kNearPlane, kDepthOfView};
}

double FitScale(int width, int height, int box) {
  if (width <= 0 || height <= 0) return 0;
  return std::min(static_cast<double>(box) / width, static_cast<double>(box) / height);
}

}  // namespace tarvel::view
