#include "view/Viewport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QTreeWidget>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "TestSupport.h"
#include "commands/SoftSelection.h"
#include "mesh/SafeFile.h"
#include "view/Camera.h"
#include "view/SceneGeometry.h"
#include "view/ViewFixture.h"

namespace tarvel::test {
namespace {

using view::TCameraPose;
using view::TVec3;

bool IsBackground(const QColor& c) {
  return c.red() == view::kBackground.R && c.green() == view::kBackground.G &&
         c.blue() == view::kBackground.B;
}

// A lit surface shows its colour times the ambient 0.2 plus the diffuse part, clamped at 1.
bool ShowsColour(const QColor& pixel, float r, float g, float b) {
  const double p[3] = {pixel.redF(), pixel.greenF(), pixel.blueF()};
  const double c[3] = {r, g, b};
  const double s =
      (p[0] * c[0] + p[1] * c[1] + p[2] * c[2]) / (c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  if (s < 0.15 || s > 1.25) return false;
  for (int i = 0; i < 3; ++i)
    if (std::abs(p[i] - std::min(1.0, s * c[i])) > 12.0 / 255) return false;
  return true;
}
bool ShowsColour(const QColor& pixel, const TColorVector& c) {
  return ShowsColour(pixel, c.R, c.G, c.B);
}

double Near(const TVec3& a, const TPoint3& b) { return view::Length(a - TVec3{b.X, b.Y, b.Z}); }

class ViewportTest : public ViewFixture {
 protected:
  void Mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent e(type, QPointF(at), view_->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(view_.get(), &e);
  }
  void Click(QPoint at, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, modifiers);
    Mouse(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, modifiers);
  }
  void Drag(Qt::MouseButton button, QPoint from, QPoint to,
            Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, from, button, button, modifiers);
    Mouse(QEvent::MouseMove, to, Qt::NoButton, button, modifiers);
    Mouse(QEvent::MouseButtonRelease, to, button, Qt::NoButton, modifiers);
  }
  TCameraPose Pose() { return view_->Pose(); }
  // Waits until the camera-move drawing is over.
  void WaitForFullDrawing() {
    for (int i = 0; i < 40 && view_->CameraMoving(); ++i) QTest::qWait(50);
  }
  // Puts the camera 3 units in front of the vertex, looking at it: it shows in the middle of
  // the view, the vertex behind it on the back of the part almost at the same place.
  void CloseUp(const TObjVertex& v) {
    TCameraPose pose = Pose();
    pose.Target = TVec3{v.X, v.Y, v.Z} * view::kDisplayScale;
    pose.Position = pose.Target + TVec3{0, 0, 3};
    view_->SetPose(pose);
    view_->RefreshPointSize();
  }
  // The vertex of a group that faces the camera most, on the ring nearest the group's centre.
  TObjVertex& FrontVertex(std::string_view name) {
    TGroup& g = Group(name);
    auto ring = [&](const TObjVertex& v) { return std::abs(v.Y - g.Centre.Y); };
    TObjVertex* best = nullptr;
    for (const TGroupVertex& e : g.Vertices) {
      TObjVertex& v = Mesh().Vertices[e.VertexIndex];
      if (!best || ring(v) < ring(*best) - 1e-6 || (ring(v) < ring(*best) + 1e-6 && v.Z > best->Z))
        best = &v;
    }
    return *best;
  }
};

TEST_F(ViewportTest, StartViewShowsTheFigureShadedInGroupColours) {
  ASSERT_TRUE(view_->GlReady());
  EXPECT_LT(Near(view::kStartCamera, View().CameraPosition), 1e-6);
  EXPECT_LT(Near(view::kStartLight, View().LightPosition), 1e-6);
  EXPECT_LT(Near(view::kStartTarget, View().TargetPosition), 1e-6);
  EXPECT_FLOAT_EQ(view_->PointSize(), view::kMaxPointSize);

  const QImage image = view_->RenderImage();
  ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
  EXPECT_TRUE(IsBackground(image.pixelColor(2, 2)));
  EXPECT_TRUE(IsBackground(image.pixelColor(kWidth - 3, kHeight - 3)));
  for (const char* name : {"lThigh", "rThigh", "lShin", "rShin", "hip"}) {
    const TGroup& g = Group(name);
    EXPECT_TRUE(ShowsColour(image.pixelColor(At(g.Centre)), g.ColorVector)) << name;
  }
  // Shaded, not flat: across a thigh the brightness changes.
  const TGroup& thigh = Group("rThigh");
  const QPoint centre = At(thigh.Centre);
  int darkest = 255, brightest = 0;
  for (int dx = -30; dx <= 30; ++dx) {
    const QColor c = image.pixelColor(centre + QPoint(dx, 0));
    if (!ShowsColour(c, thigh.ColorVector)) continue;
    darkest = std::min(darkest, c.value());
    brightest = std::max(brightest, c.value());
  }
  EXPECT_GT(brightest - darkest, 20);
}

TEST_F(ViewportTest, ColourModeThreeDrawsTheSelectionColours) {
  View().ColourMode = 3;
  QImage image = Apply();
  EXPECT_EQ(controller_.Live().ColourMode, 3);
  for (const char* name : {"lThigh", "rShin", "hip"}) {
    const QColor c = image.pixelColor(At(Group(name).Centre));
    EXPECT_TRUE(ShowsColour(c, 180 / 255.f, 180 / 255.f, 180 / 255.f)) << name;
    EXPECT_EQ(c.red(), c.green()) << name;
    EXPECT_EQ(c.green(), c.blue()) << name;
  }
  Group("lThigh").SelectFaces(true);
  Mesh().UpdateVertexFlags();
  view_->Redraw();
  image = view_->RenderImage();
  EXPECT_TRUE(ShowsColour(image.pixelColor(At(Group("lThigh").Centre)), 230 / 255.f, 133 / 255.f,
                          26 / 255.f));
  EXPECT_EQ(image.pixelColor(At(Group("rThigh").Centre)).red(),
            image.pixelColor(At(Group("rThigh").Centre)).blue());
}

TEST_F(ViewportTest, SideViewHidesTheOtherSide) {
  // Side 1 keeps the right side (x <= 0), side 2 the left.
  struct TCase {
    std::uint8_t Side;
    const char* Kept;
    const char* Hidden;
  };
  for (const TCase& c : {TCase{1, "rThigh", "lThigh"}, TCase{2, "lShin", "rShin"}}) {
    View().Side = c.Side;
    const QImage image = Apply();
    EXPECT_EQ(controller_.Live().Side, c.Side);
    const TGroup& kept = Group(c.Kept);
    const TGroup& hidden = Group(c.Hidden);
    EXPECT_TRUE(ShowsColour(image.pixelColor(At(kept.Centre)), kept.ColorVector)) << c.Kept;
    EXPECT_FALSE(ShowsColour(image.pixelColor(At(hidden.Centre)), hidden.ColorVector)) << c.Hidden;
    // What is not drawn cannot be picked either.
    picked_.clear();
    Click(At(hidden.Centre));
    EXPECT_TRUE(picked_.empty() || picked_[0] != &hidden) << c.Hidden;
  }
}

TEST_F(ViewportTest, ClickOnAGroupsCentrePicksThatGroup) {
  for (const std::uint8_t mode : {1, 2}) {
    View().PickMode = mode;
    for (const char* name : {"lThigh", "rThigh", "lShin", "rFoot", "hip"}) {
      picked_.clear();
      Click(At(Group(name).Centre));
      ASSERT_EQ(picked_.size(), 1u) << name;
      EXPECT_EQ(picked_[0], &Group(name)) << name;
    }
  }
  // Beside the figure there is nothing to pick.
  picked_.clear();
  Click(QPoint(5, 5));
  EXPECT_TRUE(picked_.empty());
}

TEST_F(ViewportTest, ClicksThatMustNotPickDoNot) {
  struct TCase {
    int PickMode;
    int CursorMode;
    Qt::KeyboardModifiers Modifiers;
  };
  const QPoint at = At(Group("lThigh").Centre);
  for (const TCase& c : {TCase{0, 0, Qt::NoModifier}, TCase{1, 0, Qt::ControlModifier},
                         TCase{1, 0, Qt::ShiftModifier}, TCase{1, 0, Qt::AltModifier},
                         TCase{1, 1, Qt::NoModifier}, TCase{1, 2, Qt::NoModifier}}) {
    View().PickMode = static_cast<std::uint8_t>(c.PickMode);
    view_->SetCursorMode(c.CursorMode);
    picked_.clear();
    Click(at, c.Modifiers);
    EXPECT_TRUE(picked_.empty()) << c.PickMode << " " << c.CursorMode;
  }
}

TEST_F(ViewportTest, ClickOnAVertexReachesTheCommandsPickVertex) {
  TPickRecorder& recorder = StackWithRecorder();
  View().PickMode = 3;
  View().VertexPoints = true;
  TObjVertex& front = FrontVertex("chest");
  front.Highlight = true;
  CloseUp(front);
  const QImage image = Apply();
  const QPoint at = At(front);
  EXPECT_EQ(at, QPoint(kWidth / 2, kHeight / 2));
  const QColor point = image.pixelColor(at);
  EXPECT_TRUE(point.blue() > 100 && point.red() < 20 && point.green() < 20)
      << point.name().toStdString();

  const int redraws = window_.Redraws;
  Click(at + QPoint(1, 0));
  ASSERT_EQ(recorder.Picked.size(), 1u);
  EXPECT_EQ(recorder.Picked[0], &front);
  EXPECT_EQ(window_.Redraws, redraws + 1);

  // Without vertex points nothing names the vertices.
  View().VertexPoints = false;
  view_->Redraw();
  Click(at);
  EXPECT_EQ(recorder.Picked.size(), 1u);
}

TEST_F(ViewportTest, ClickOnAVertexStartsASoftSelection) {
  const TStackTarget& target = *FindStackTarget(1);
  controller_.NewStack(target);
  controller_.AddCommand(*target.FindDescriptor(10));
  auto* soft = dynamic_cast<TSCSoftSelection*>(controller_.SelectedCommand());
  ASSERT_NE(soft, nullptr);
  // The command asks for vertex points and vertex picking.
  EXPECT_EQ(View().PickMode, 3);
  EXPECT_TRUE(View().VertexPoints);
  TObjVertex& front = FrontVertex("abdomen");
  CloseUp(front);
  Apply();
  Click(At(front));
  EXPECT_EQ(soft->StartVertex(), &front);
}

TEST_F(ViewportTest, SnapshotIsA96DpiBmpOfTheView) {
  TTempDir dir;
  const std::string file = (dir.Path() / "view.bmp").string();
  view_->SaveSnapshot(file);
  QFile f(QString::fromStdString(file));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  auto u32 = [&](int at) {
    std::uint32_t v;
    std::memcpy(&v, bytes.constData() + at, 4);
    return v;
  };
  auto u16 = [&](int at) {
    std::uint16_t v;
    std::memcpy(&v, bytes.constData() + at, 2);
    return v;
  };
  ASSERT_GE(bytes.size(), 54);
  EXPECT_EQ(bytes.left(2), QByteArray("BM"));
  EXPECT_EQ(u32(2), static_cast<std::uint32_t>(bytes.size()));
  EXPECT_EQ(u32(18), static_cast<std::uint32_t>(kWidth));
  EXPECT_EQ(u32(22), static_cast<std::uint32_t>(kHeight));
  EXPECT_EQ(u16(28), 24);
  EXPECT_EQ(u32(38), 3780u);  // 96 dots per inch
  EXPECT_EQ(u32(42), 3780u);
  EXPECT_EQ(QImage(QString::fromStdString(file)).convertToFormat(QImage::Format_RGB888),
            view_->RenderImage().convertToFormat(QImage::Format_RGB888));

  EXPECT_THROW(view_->SaveSnapshot((dir.Path() / "missing" / "view.bmp").string()), EFileWrite);
}

TEST_F(ViewportTest, CameraStepsDrawFromTheBuffersTheyHave) {
  view_->DrawNow();
  const int uploads = view_->GeometryUploads();
  EXPECT_GE(uploads, 1);
  view_->Orbit(3, 4);
  view_->DrawNow();
  view_->Pan(5, -2);
  view_->DrawNow();
  view_->Zoom(120);
  view_->DrawNow();
  WaitForFullDrawing();
  view_->DrawNow();
  EXPECT_EQ(view_->GeometryUploads(), uploads);
  view_->Redraw();
  view_->DrawNow();
  EXPECT_EQ(view_->GeometryUploads(), uploads + 1);
}

TEST_F(ViewportTest, LinesAreMadeWhenTheSettingsFirstDrawThem) {
  // Shaded with culling on draws no polygon as lines, so none were made.
  view_->DrawNow();
  const int uploads = view_->GeometryUploads();
  // The backs drawn as lines need them at once, even when no redraw was asked for; once.
  View().FaceCulling = false;
  const QImage backs = view_->RenderImage();
  EXPECT_EQ(view_->GeometryUploads(), uploads + 1);
  view_->DrawNow();
  EXPECT_EQ(view_->GeometryUploads(), uploads + 1);
  view_->Redraw();
  EXPECT_EQ(view_->RenderImage(), backs) << "the same picture as a full rebuild";
  // Wireframe draws only lines: the picture differs from the filled one.
  View().FaceCulling = true;
  const QImage filled = Apply();
  View().DisplayMode = 0;
  EXPECT_NE(Apply(), filled);
}

TEST_F(ViewportTest, MouseDragsOrbitPanAndZoom) {
  const QPoint from(300, 200);
  const TCameraPose start = Pose();
  // Right drag: pitch by the vertical, turn by the horizontal step, in degrees.
  Drag(Qt::RightButton, from, from + QPoint(12, -7));
  TCameraPose expected = view::Orbit(start, 7, -12);
  EXPECT_LT(view::Length(Pose().Position - expected.Position), 1e-4);
  EXPECT_LT(Near(view::LightPosition(Pose()), View().LightPosition), 1e-4);
  EXPECT_FLOAT_EQ(view_->PointSize(), view::kMaxPointSize);

  // The same with a key held does nothing.
  const TCameraPose orbited = Pose();
  for (const auto modifiers : {Qt::ControlModifier, Qt::ShiftModifier, Qt::AltModifier}) {
    Drag(Qt::RightButton, from, from + QPoint(40, 40), modifiers);
    Drag(Qt::MiddleButton, from, from + QPoint(40, 40), modifiers);
    EXPECT_EQ(Pose().Position, orbited.Position);
    EXPECT_EQ(Pose().Target, orbited.Target);
  }

  // Middle drag, and left drag in the panning cursor mode, pan.
  for (const auto& [button, cursor] :
       {std::pair{Qt::MiddleButton, 0}, std::pair{Qt::LeftButton, 1}}) {
    view_->SetCursorMode(cursor);
    const TCameraPose before = Pose();
    Drag(button, from, from + QPoint(-10, 6));
    expected = view::Pan(before, 10, 6);
    EXPECT_LT(view::Length(Pose().Position - expected.Position), 1e-4);
    EXPECT_LT(view::Length(Pose().Target - expected.Target), 1e-4);
  }

  // Left drag in the zoom cursor mode: ((last x - x) + (last y - y)) x 10; here 0.2 ... 1.0
  // of the distance to reach a point size under the cap.
  view_->SetCursorMode(2);
  const double before = Pose().Distance();
  Drag(Qt::LeftButton, from, from + QPoint(400, 1500));
  EXPECT_NEAR(Pose().Distance(), before * view::ZoomRatio(-19000), 1e-4);
  EXPECT_FLOAT_EQ(view_->PointSize(), view::PointSize(Pose().Distance()));
  EXPECT_LT(view_->PointSize(), view::kMaxPointSize);
}

TEST_F(ViewportTest, WheelZoomsOnlyOverTheView) {
  auto wheel = [](QWidget& target, int delta) {
    QWheelEvent e(QPointF(10, 10), target.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&target, &e);
    return e.isAccepted();
  };
  const double d = Pose().Distance();
  EXPECT_TRUE(wheel(*view_, 120));
  EXPECT_NEAR(Pose().Distance(), d * view::ZoomRatio(120), 1e-4);
  EXPECT_GT(Pose().Distance(), d);  // forward moves the camera away
  QTreeWidget tree;
  tree.show();
  wheel(tree, 240);
  EXPECT_NEAR(Pose().Distance(), d * view::ZoomRatio(120), 1e-4);
}

TEST_F(ViewportTest, CameraMoveHidesTheGroundAndDrawsBoxesUntilTheTimer) {
  const QPoint ground = At(0.4, 0, 0.2);
  QImage image = view_->RenderImage();
  EXPECT_FALSE(IsBackground(image.pixelColor(ground)));
  const QPoint thigh = At(Group("lThigh").Centre);
  const QColor shaded = image.pixelColor(thigh);

  view_->Orbit(0, 0.01);
  EXPECT_TRUE(view_->CameraMoving());
  EXPECT_TRUE(Mesh().TrackingActive);
  image = view_->RenderImage();
  EXPECT_TRUE(IsBackground(image.pixelColor(ground)));
  // Boxes are flat: their front is one colour.
  EXPECT_TRUE(ShowsColour(image.pixelColor(thigh), Group("lThigh").ColorVector));
  EXPECT_NE(image.pixelColor(thigh), shaded);

  WaitForFullDrawing();
  EXPECT_FALSE(view_->CameraMoving());
  EXPECT_FALSE(Mesh().TrackingActive);
  image = view_->RenderImage();
  EXPECT_FALSE(IsBackground(image.pixelColor(ground)));
}

TEST_F(ViewportTest, CameraSlotsStoreAndRecallTheView) {
  EXPECT_FALSE(view_->RecallCameraSlot(1));
  EXPECT_TRUE(view_->StoreCameraSlot(5).isNull());
  const TCameraPose stored = Pose();
  const QImage thumb = view_->StoreCameraSlot(1);
  EXPECT_EQ(thumb.size(), QSize(28, 21));  // 640 x 480 scaled by 28 / 640
  EXPECT_TRUE(IsBackground(thumb.pixelColor(0, thumb.height() - 1)));

  view_->Orbit(20, 30);
  view_->Pan(40, 10);
  EXPECT_FALSE(view_->RecallCameraSlot(0));
  EXPECT_NE(Pose().Position, stored.Position);
  EXPECT_TRUE(view_->RecallCameraSlot(1));
  EXPECT_LT(view::Length(Pose().Position - stored.Position), 1e-5);
  EXPECT_LT(view::Length(Pose().Target - stored.Target), 1e-5);
  EXPECT_LT(Near(view::LightPosition(Pose()), View().LightPosition), 1e-5);
}

TEST_F(ViewportTest, CameraModesMoveTheTarget) {
  const TPoint3f scene = controller_.Live().SceneCentre();
  const TVec3 sceneTarget = TVec3{scene.X, scene.Y, scene.Z} * view::kDisplayScale;
  TGroup& head = Group("head");
  const TVec3 headTarget = TVec3{head.Centre.X, head.Centre.Y, head.Centre.Z} * view::kDisplayScale;
  const TVec3 camera = Pose().Position;

  view_->SetCameraMode(2);
  EXPECT_LT(view::Length(Pose().Target - sceneTarget), 1e-5);
  view_->TargetGroup(head);  // not following groups
  EXPECT_LT(view::Length(Pose().Target - sceneTarget), 1e-5);
  view_->SetCameraMode(1);
  view_->TargetGroup(head);
  EXPECT_LT(view::Length(Pose().Target - headTarget), 1e-5);
  view_->SetCameraMode(3);
  view_->TargetGroup(Group("hip"));
  EXPECT_LT(view::Length(Pose().Target - headTarget), 1e-5);
  view_->SetCameraMode(0);
  EXPECT_EQ(Pose().Target, TVec3{});
  // The camera itself stays where it was; it turns to the new target.
  EXPECT_LT(view::Length(Pose().Position - camera), 1e-5);
  EXPECT_EQ(View().CameraMode, 0);
}

TEST_F(ViewportTest, CentreMarkerIsDrawnStippled) {
  TPickRecorder& recorder = StackWithRecorder();
  // In front of the legs, towards the camera.
  recorder.Marker = TPoint3{0, 0.05f, 0.3f};
  View().GroundShown = false;
  const QImage image = Apply();
  const QPoint from = At(0, 0.05, 0.3);
  const QPoint to = At(0.2, 0.05, 0.3);  // the bright red +X arm
  ASSERT_GT(to.x() - from.x(), 40);
  int lit = 0, dark = 0;
  for (int x = from.x() + 2; x < to.x() - 2; ++x) {
    // The arm is a line of one pixel; look at the pixels around the ideal one.
    const double t = static_cast<double>(x - from.x()) / (to.x() - from.x());
    const int y = static_cast<int>(std::lround(from.y() + t * (to.y() - from.y())));
    bool red = false;
    for (int dy = -1; dy <= 1; ++dy) {
      const QColor c = image.pixelColor(x, y + dy);
      red = red || (c.red() > 150 && c.green() < 90 && c.blue() < 90);
    }
    (red ? lit : dark) += 1;
  }
  // The pattern 0xCCCC: two pixels on, two off.
  EXPECT_GT(lit, (lit + dark) / 4);
  EXPECT_GT(dark, (lit + dark) / 4);
}

}  // namespace
}  // namespace tarvel::test
