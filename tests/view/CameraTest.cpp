#include "view/Camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace tarvel::view {
namespace {

constexpr TCameraPose kStart{kStartCamera, kStartTarget};

void ExpectNear(const TVec3& a, const TVec3& b, double tolerance = 1e-9) {
  EXPECT_NEAR(a.X, b.X, tolerance);
  EXPECT_NEAR(a.Y, b.Y, tolerance);
  EXPECT_NEAR(a.Z, b.Z, tolerance);
}

// The angle between the up vector and the direction from the target to the camera.
double AngleFromUp(const TCameraPose& p) {
  return std::acos(Dot(Unit(p.Position - p.Target), Unit(p.Up)));
}

TEST(CameraTest, OrbitKeepsTargetAndDistance) {
  const TCameraPose aside{{3, -2, 7}, {1, 1, 1}};
  for (const TCameraPose& pose : {kStart, aside}) {
    for (const auto& [pitch, turn] :
         {std::pair{10.0, 0.0}, {0.0, 35.0}, {-20.0, -70.0}, {5.0, 400.0}}) {
      const TCameraPose moved = Orbit(pose, pitch, turn);
      EXPECT_EQ(moved.Target, pose.Target);
      EXPECT_NEAR(moved.Distance(), pose.Distance(), 1e-9);
    }
  }
}

TEST(CameraTest, OrbitTurnsAboutUpAndPitchesDown) {
  // A full turn changes nothing.
  ExpectNear(Orbit(kStart, 0, 360).Position, kStart.Position);
  // A turn keeps the height; a positive one goes to the camera's right.
  const TCameraPose turned = Orbit(kStart, 0, 30);
  EXPECT_NEAR(turned.Position.Y, kStart.Position.Y, 1e-9);
  const TVec3 right = Unit(Cross(kStart.Up, kStart.Position - kStart.Target));
  EXPECT_GT(Dot(turned.Position - kStart.Position, right), 0);
  // Pitching down and back up returns; a positive pitch lowers the camera by that angle.
  const TCameraPose lowered = Orbit(kStart, 15, 0);
  EXPECT_LT(lowered.Position.Y, kStart.Position.Y);
  EXPECT_NEAR(AngleFromUp(lowered) - AngleFromUp(kStart), 15 * std::numbers::pi / 180, 1e-9);
  ExpectNear(Orbit(lowered, -15, 0).Position, kStart.Position);
}

TEST(CameraTest, OrbitStopsShortOfThePoles) {
  EXPECT_NEAR(AngleFromUp(Orbit(kStart, -500, 0)), 0.025, 1e-9);
  EXPECT_NEAR(AngleFromUp(Orbit(kStart, 500, 0)), std::numbers::pi - 0.025, 1e-9);
  // Even from straight above, where the camera has no right of its own.
  const TCameraPose above{{0, 10, 0}, {0, 0, 0}};
  const TCameraPose moved = Orbit(above, 30, 0);
  EXPECT_NEAR(moved.Distance(), 10, 1e-9);
  EXPECT_NEAR(AngleFromUp(moved), 30 * std::numbers::pi / 180, 1e-9);
}

TEST(CameraTest, PanMovesCameraAndTargetTogetherAcrossTheView) {
  const double k = kStart.Distance() * 0.12 / kFocalLength;
  const TVec3 right = Unit(Cross(kStart.Up, kStart.Position - kStart.Target));
  struct TCase {
    double Dx, Dy;
    TVec3 Move;
  };
  for (const TCase& c : {TCase{10, 0, right * (10 * k)}, TCase{0, -4, TVec3{0, -4 * k, 0}},
                         TCase{-3, 5, right * (-3 * k) + TVec3{0, 5 * k, 0}}}) {
    const TCameraPose moved = Pan(kStart, c.Dx, c.Dy);
    ExpectNear(moved.Position - kStart.Position, c.Move);
    ExpectNear(moved.Target - kStart.Target, c.Move);
  }
}

TEST(CameraTest, ZoomMultipliesTheDistance) {
  struct TCase {
    double Delta, Ratio;
  };
  for (const TCase& c : {TCase{0, 1}, TCase{800, 1.1}, TCase{-800, 1 / 1.1}, TCase{1600, 1.21},
                         TCase{120, std::pow(1.1, 0.15)}}) {
    EXPECT_NEAR(ZoomRatio(c.Delta), c.Ratio, 1e-12) << c.Delta;
    const TCameraPose zoomed = Zoom(kStart, c.Delta);
    EXPECT_EQ(zoomed.Target, kStart.Target);
    EXPECT_NEAR(zoomed.Distance(), kStart.Distance() * c.Ratio, 1e-9);
    ExpectNear(Unit(zoomed.Position - zoomed.Target), Unit(kStart.Position - kStart.Target));
  }
}

TEST(CameraTest, LightSitsAboveAndRightOfTheCamera) {
  // From (-10, 7.5, 28) towards the origin the camera's right is (28, 0, 10) / |(28, 0, 10)|.
  const double n = std::sqrt(28.0 * 28 + 10 * 10);
  ExpectNear(LightPosition(kStart), {-10 + 0.5 * 28 / n, 8, 28 + 0.5 * 10 / n});
  const TCameraPose behind{{0, 0, -5}, {0, 0, 0}};
  ExpectNear(LightPosition(behind), {-0.5, 0.5, -5});
}

TEST(CameraTest, PointSizeFollowsTheDistanceUpToItsCap) {
  struct TCase {
    double Distance;
    float Size;
  };
  for (const TCase& c : {TCase{0, 0}, TCase{3, 0.00025f}, TCase{6, 0.0005f}, TCase{8.4, 0.0007f},
                         TCase{9, 0.0007f}, TCase{30.7, 0.0007f}}) {
    EXPECT_NEAR(PointSize(c.Distance), c.Size, 1e-9) << c.Distance;
  }
}

TEST(CameraTest, PerspectiveShowsAUnitAtUnitDistanceAcrossFixedPixels) {
  // 400 mm at 96 dots per inch: a unit one unit away spans about 3024 pixels, whatever the
  // size of the view, so a wider view sees more.
  EXPECT_NEAR(PixelsPerUnit(), 400 * 2 * 96 / 25.4, 1e-9);
  for (const auto& [w, h] : {std::pair{640, 480}, {1000, 800}}) {
    const TFrustum f = Frustum(w, h);
    EXPECT_NEAR(f.Right / f.Near * PixelsPerUnit(), w / 2.0, 1e-9);
    EXPECT_NEAR(f.Top / f.Near * PixelsPerUnit(), h / 2.0, 1e-9);
    EXPECT_EQ(f.Left, -f.Right);
    EXPECT_EQ(f.Bottom, -f.Top);
    EXPECT_EQ(f.Far, kDepthOfView);
  }
}

TEST(CameraTest, FitScaleKeepsProportions) {
  struct TCase {
    int W, H;
    double Scale;
  };
  for (const TCase& c : {TCase{640, 480, 28.0 / 640}, TCase{100, 400, 0.07}, TCase{28, 28, 1},
                         TCase{14, 7, 2}, TCase{0, 10, 0}}) {
    EXPECT_NEAR(FitScale(c.W, c.H, 28), c.Scale, 1e-12) << c.W << "x" << c.H;
  }
}

TEST(CameraTest, FramingFitsBoxesOfEverySizeAndTheDepthRangeHoldsThem) {
  for (const double size : {0.01, 1.0, 85.0, 50000.0}) {
    SCOPED_TRACE(size);
    TBox box;
    box.Add(TVec3{-0.2 * size, 0, -0.1 * size});
    box.Add(TVec3{0.2 * size, size, 0.1 * size});
    const TCameraPose start{kStartCamera, kStartTarget, {0, 1, 0}};
    const TCameraPose framed = FrameBox(start, box, 640, 480);
    EXPECT_TRUE(BoxInView(framed, box, 640, 480));
    EXPECT_FALSE(box.Contains(framed.Position));
    // It looks from where the camera looked, at the box's centre.
    EXPECT_LT(Length(Unit(framed.Position - framed.Target) - Unit(kStartCamera)), 1e-9);
    EXPECT_LT(Length(framed.Target - box.Centre()), 1e-9 * size);
    // Not much farther than needed: a box twice the size would not fit.
    TBox twice;
    twice.Add(box.Centre() - (box.Hi - box.Lo));
    twice.Add(box.Centre() + (box.Hi - box.Lo));
    EXPECT_FALSE(BoxInView(framed, twice, 640, 480));
    // Every zoom keeps the whole box between the planes.
    for (const double delta : {-8000.0, 0.0, 8000.0, 80000.0}) {
      const TCameraPose pose = Zoom(framed, delta);
      const TDepthRange range = DepthRange(pose, box);
      const TVec3 forward = Unit(pose.Target - pose.Position);
      for (int c = 0; c < 8; ++c) {
        const TVec3 corner{(c & 4) ? box.Hi.X : box.Lo.X, (c & 2) ? box.Hi.Y : box.Lo.Y,
                           (c & 1) ? box.Hi.Z : box.Lo.Z};
        const double depth = Dot(corner - pose.Position, forward);
        if (depth > 0) {
          EXPECT_GE(depth, range.Near) << delta;
        }
        EXPECT_LE(depth, range.Far) << delta;
      }
      EXPECT_GT(range.Near, 0);
      EXPECT_GE(range.Near, range.Far / 10001);
    }
  }
}

TEST(CameraTest, AnEmptyBoxLeavesTheCameraAndTheStartPlanes) {
  const TCameraPose start{kStartCamera, kStartTarget, {0, 1, 0}};
  const TBox empty;
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(FrameBox(start, empty, 640, 480).Position, start.Position);
  EXPECT_TRUE(BoxInView(start, empty, 640, 480));
  EXPECT_EQ(DepthRange(start, empty).Far, kDepthOfView);
  // A camera inside the box never sees all of it.
  TBox around;
  around.Add(kStartCamera - TVec3{1, 1, 1});
  around.Add(kStartCamera + TVec3{1, 1, 1});
  EXPECT_FALSE(BoxInView(start, around, 640, 480));
}

}  // namespace
}  // namespace tarvel::view
