// The viewport's camera arithmetic, free of Qt and OpenGL: orbiting, panning and zooming around
// the camera target, where the light goes, the vertex-point size and the perspective.
#pragma once

#include <cmath>

namespace tarvel::view {

struct TVec3 {
  double X = 0, Y = 0, Z = 0;
  bool operator==(const TVec3&) const = default;
};

inline TVec3 operator+(const TVec3& a, const TVec3& b) { return {a.X + b.X, a.Y + b.Y, a.Z + b.Z}; }
inline TVec3 operator-(const TVec3& a, const TVec3& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
inline TVec3 operator*(const TVec3& a, double k) { return {a.X * k, a.Y * k, a.Z * k}; }
inline double Dot(const TVec3& a, const TVec3& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
inline TVec3 Cross(const TVec3& a, const TVec3& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
inline double Length(const TVec3& a) { return std::sqrt(Dot(a, a)); }
// The unit vector along `a`; a zero vector stays zero.
TVec3 Unit(const TVec3& a);

// Where the camera is, what it looks at and which way is up. The camera orbits its target and
// keeps its up vector.
struct TCameraPose {
  TVec3 Position;
  TVec3 Target;
  TVec3 Up{0, 1, 0};
  double Distance() const { return Length(Position - Target); }
};

// The mesh object is drawn at five times its size.
constexpr double kDisplayScale = 5;
// Focal length in millimetres on a 96 dots-per-inch screen; see PixelsPerUnit.
constexpr double kFocalLength = 400;
// Nothing farther from the camera than this is drawn.
constexpr double kDepthOfView = 200;
constexpr double kNearPlane = 0.1;
// Half the edge of a vertex point when the camera is far away.
constexpr float kMaxPointSize = 0.0007f;
// The 3D view goes back to its full drawing this long after the last camera step.
constexpr int kEditDelayMs = 400;

constexpr TVec3 kStartCamera{-10, 7.5, 28};
constexpr TVec3 kStartLight{-9, 6.5, 27};
constexpr TVec3 kStartTarget{0, 0, 0};

// Moves the camera around its target at the same distance. A positive pitch lowers the camera
// (the angle between up and the target-to-camera direction grows, kept 0.025 rad away from
// either pole); a positive turn moves it to its right about the up axis. Angles in degrees.
TCameraPose Orbit(const TCameraPose& pose, double pitchDegrees, double turnDegrees);

// Moves camera and target together across the view. `dx` and `dy` are the mouse steps
// (last.x - x and y - last.y, in pixels), scaled by distance x 0.12 / focal length.
TCameraPose Pan(const TCameraPose& pose, double dx, double dy, double focalLength = kFocalLength);

// The factor a zoom step of `delta` applies to the distance: 1.1 to the power delta / 800.
double ZoomRatio(double delta);
// Positive deltas move the camera away from its target.
TCameraPose Zoom(const TCameraPose& pose, double delta);

// The light sits half a unit above and half a unit to the right of the camera.
TVec3 LightPosition(const TCameraPose& pose);

// Half the edge of a vertex point for a camera this far from its target.
float PointSize(double distance);

// A focal length of f millimetres at 96 dots per inch shows one unit at distance 1 across
// f x 2 x 96 / 25.4 pixels, whatever the size of the view.
double PixelsPerUnit(double focalLength = kFocalLength);

struct TFrustum {
  double Left, Right, Bottom, Top, Near, Far;
};
// The perspective of a view of width x height pixels.
TFrustum Frustum(int width, int height, double focalLength = kFocalLength);
// The same perspective between the given near and far planes.
TFrustum Frustum(int width, int height, double nearPlane, double farPlane,
                 double focalLength = kFocalLength);

// An axis-aligned box in scene coordinates; empty while Lo exceeds Hi.
struct TBox {
  TVec3 Lo{1, 1, 1};
  TVec3 Hi{-1, -1, -1};
  bool Empty() const { return Lo.X > Hi.X || Lo.Y > Hi.Y || Lo.Z > Hi.Z; }
  void Add(const TVec3& p);
  void Add(const TBox& b);
  TVec3 Centre() const { return (Lo + Hi) * 0.5; }
  double Radius() const { return Empty() ? 0 : Length(Hi - Lo) * 0.5; }
  bool Contains(const TVec3& p) const;
};

// The near and far planes that keep everything of `drawn` in view from this pose: far just
// beyond its farthest corner, near just before its nearest, and never closer than far / 10000
// so that the depth buffer keeps its precision.
struct TDepthRange {
  double Near = kNearPlane;
  double Far = kDepthOfView;
};
TDepthRange DepthRange(const TCameraPose& pose, const TBox& drawn);

// The camera moved along its line of sight so that the whole box shows in a view of width x
// height pixels with a margin around it, looking at the box's centre from the same direction.
// An empty box leaves the pose as it is.
TCameraPose FrameBox(const TCameraPose& pose, const TBox& box, int width, int height,
                     double focalLength = kFocalLength);
// Whether the whole box shows in the view (and the camera is outside it).
bool BoxInView(const TCameraPose& pose, const TBox& box, int width, int height,
               double focalLength = kFocalLength);

// The scale that fits a width x height picture into a box x box square, keeping proportions.
double FitScale(int width, int height, int box);

}  // namespace tarvel::view
