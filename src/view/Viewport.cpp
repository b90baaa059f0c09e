#include "view/Viewport.h"

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "view/Pictures.h"
#include "view/SceneGeometry.h"
#include "view/SceneRenderer.h"

namespace tarvel {

using view::TCameraPose;
using view::TVec3;

namespace {

TVec3 ToVec(const TPoint3& p) { return {p.X, p.Y, p.Z}; }
TVec3 ToVec(const TBaseVertex& p) { return {p.X, p.Y, p.Z}; }
TPoint3 ToPoint(const TVec3& v) {
  return {static_cast<float>(v.X), static_cast<float>(v.Y), static_cast<float>(v.Z)};
}
QVector3D ToQt(const TVec3& v) {
  return {static_cast<float>(v.X), static_cast<float>(v.Y), static_cast<float>(v.Z)};
}

}  // namespace

TViewport::TViewport(TStackController& controller, QWidget* parent)
    : QOpenGLWidget(parent),
      controller_(controller),
      geometry_(std::make_unique<view::TSceneGeometry>()),
      renderer_(std::make_unique<view::TSceneRenderer>()) {
  TViewSettings& v = controller_.View();
  v.CameraPosition = ToPoint(view::kStartCamera);
  v.LightPosition = ToPoint(view::kStartLight);
  v.TargetPosition = ToPoint(view::kStartTarget);
  editTimer_.setSingleShot(true);
  editTimer_.setInterval(view::kEditDelayMs);
  connect(&editTimer_, &QTimer::timeout, this, [this] { EndCameraMove(); });
}

TViewport::~TViewport() {
  // The context outlives this part of the object; it must not call back into it.
  if (context()) disconnect(context(), nullptr, this, nullptr);
  if (isValid()) {
    makeCurrent();
    ReleaseGl();
    doneCurrent();
  }
}

void TViewport::ReleaseGl() {
  renderer_->Release();
  dirty_ = true;
}

void TViewport::initializeGL() {
  // A new context (the first, or after the widget moved to another window) gets new buffers.
  renderer_->Release();
  if (!renderer_->Initialize() && !warned_) {
    warned_ = true;
    qWarning("The 3D view needs OpenGL 3.3 with the compatibility profile; it stays empty.");
  }
  dirty_ = true;
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &TViewport::ContextGoing,
          Qt::UniqueConnection);
}

void TViewport::ContextGoing() {
  makeCurrent();
  ReleaseGl();
  doneCurrent();
}

bool TViewport::GlReady() const { return renderer_->Ready(); }

int TViewport::GeometryUploads() const { return renderer_->Uploads(); }

int TViewport::WeightColourUploads() const { return renderer_->WeightColourUploads(); }

// ---------------------------------------------------------------------------------------------
// Drawing

void TViewport::Redraw() {
  dirty_ = true;
  update();
}

bool TViewport::OutlinesNeeded() const {
  // Polygons are drawn as lines in wireframe, while the camera moves in wire frame tracking
  // and for the backs of the faces while culling is off and they are not filled.
  const TViewSettings& v = controller_.View();
  if (!v.FaceCulling && !v.BackFaceFill) return true;
  const TMultiObjData& live = controller_.Live();
  for (std::int32_t m = 0; m < live.MeshCount(); ++m)
    if (live.Mesh(m)->DisplayMode == 0 || live.Mesh(m)->TrackingMode == 2) return true;
  return false;
}

void TViewport::RebuildIfNeeded() {
  if (!renderer_->Ready()) return;
  const bool outlines = OutlinesNeeded();
  if (!dirty_ && (geometry_->BuiltOutlines || !outlines)) return;
  TStackCommand* overlay = controller_.Stack() ? controller_.SelectedCommand() : nullptr;
  geometry_->Build(Live(), overlay, controller_.View().VertexPoints, outlines);
  renderer_->Upload(*geometry_);
  weightsUploaded_ = false;
  dirty_ = false;
  UploadWeightsIfNeeded();
}

void TViewport::UploadWeightsIfNeeded() {
  // The weights go to the GPU only while they are shown; the geometry stays as it is.
  if (!showWeights_ || weightsUploaded_ || dirty_ || !renderer_->Ready()) return;
  geometry_->BuildWeightColours(Live());
  renderer_->UploadWeightColours(*geometry_);
  weightsUploaded_ = true;
}

view::TBox TViewport::MeshBox() const {
  view::TBox box;
  const TMultiObjData& live = controller_.Live();
  for (std::int32_t m = 0; m < live.MeshCount(); ++m) {
    const TObjData* mesh = live.Mesh(m);
    if (!mesh->Visible) continue;
    mesh->Groups.ForEach([&](const TGroup& g) {
      if (!g.Visible || g.Faces.empty()) return;
      const TBaseVertex& lo = g.BoxMin;
      const TBaseVertex& hi = g.BoxMax;
      if (lo.X > hi.X || lo.Y > hi.Y || lo.Z > hi.Z) return;
      box.Add(ToVec(lo) * view::kDisplayScale);
      box.Add(ToVec(hi) * view::kDisplayScale);
    });
  }
  return box;
}

view::TBox TViewport::SelectionBox() const {
  view::TBox box;
  const TMultiObjData& live = controller_.Live();
  for (std::int32_t m = 0; m < live.MeshCount(); ++m) {
    const TObjData* mesh = live.Mesh(m);
    for (std::int32_t i = 0; i < mesh->Vertices.Count(); ++i) {
      const TObjVertex& v = mesh->Vertices[i];
      if (!v.TakesPart()) continue;
      const TBaseVertex& at = v.ShapedLink ? *v.ShapedLink : static_cast<const TBaseVertex&>(v);
      box.Add(ToVec(at) * view::kDisplayScale);
    }
  }
  return box;
}

view::TDepthRange TViewport::DepthRange() const {
  // The axes and the ground reach 3 units from the origin.
  view::TBox drawn = MeshBox();
  drawn.Add(TVec3{-3, -3, -3});
  drawn.Add(TVec3{3, 3, 3});
  return view::DepthRange(Pose(), drawn);
}

void TViewport::FrameBox(const view::TBox& box) {
  if (box.Empty()) return;
  SetPose(view::FrameBox(Pose(), box, width(), height()));
  RefreshPointSize();
  PlaceLight();
}

void TViewport::FrameAll() { FrameBox(MeshBox()); }

void TViewport::FrameSelection() { FrameBox(SelectionBox()); }

void TViewport::FrameIfOutOfView() {
  // A view not on the screen has no size to fit the meshes into.
  if (!isVisible()) return;
  const view::TBox box = MeshBox();
  if (box.Empty()) return;
  // A figure that shows as a speck is framed too.
  const double across =
      box.Radius() * 2 / view::Length(Pose().Position - box.Centre()) * view::PixelsPerUnit();
  const bool speck = across < std::min(width(), height()) / 20.0;
  if (speck || !view::BoxInView(Pose(), box, width(), height())) FrameBox(box);
}

void TViewport::ResetCamera() {
  TViewSettings& v = controller_.View();
  v.CameraPosition = ToPoint(view::kStartCamera);
  v.LightPosition = ToPoint(view::kStartLight);
  v.TargetPosition = ToPoint(view::kStartTarget);
  RefreshPointSize();
  update();
}

void TViewport::SetShowWeights(bool shown) {
  showWeights_ = shown;
  if (shown && isValid()) {
    makeCurrent();
    UploadWeightsIfNeeded();
    doneCurrent();
  }
  update();
}

QMatrix4x4 TViewport::ViewProjection() const {
  const view::TDepthRange depth = DepthRange();
  const view::TFrustum f = view::Frustum(width(), height(), depth.Near, depth.Far);
  QMatrix4x4 projection;
  projection.frustum(static_cast<float>(f.Left), static_cast<float>(f.Right),
                     static_cast<float>(f.Bottom), static_cast<float>(f.Top),
                     static_cast<float>(f.Near), static_cast<float>(f.Far));
  const TCameraPose pose = Pose();
  TVec3 up = pose.Up;
  // Looking straight along the up vector has no sideways direction; any other up will do.
  if (view::Length(view::Cross(up, pose.Position - pose.Target)) < 1e-9) up = {0, 0, -1};
  QMatrix4x4 camera;
  camera.lookAt(ToQt(pose.Position), ToQt(pose.Target), ToQt(up));
  return projection * camera;
}

view::TFrame TViewport::Frame() const {
  const TViewSettings& v = controller_.View();
  view::TFrame frame;
  frame.ViewProjection = ViewProjection();
  frame.Light = ToQt(ToVec(v.LightPosition));
  const qreal ratio = devicePixelRatioF();
  frame.Pixels = QSize(static_cast<int>(std::lround(width() * ratio)),
                       static_cast<int>(std::lround(height() * ratio)));
  frame.FaceCulling = v.FaceCulling;
  frame.BackFaceFill = v.BackFaceFill;
  frame.Ground = v.GroundShown && !moving_;
  frame.PointSize = pointSize_;
  frame.MinPointSizePerDepth = static_cast<float>(
      1.5 / (view::kDisplayScale * view::PixelsPerUnit() * std::max(ratio, 0.01)));
  frame.ShowWeights = showWeights_ && weightsUploaded_;
  return frame;
}

void TViewport::paintGL() {
  RebuildIfNeeded();
  UploadWeightsIfNeeded();
  renderer_->Draw(Frame(), *geometry_, Live());
}

void TViewport::DrawNow() {
  if (!isValid()) return;
  makeCurrent();
  paintGL();
  doneCurrent();
}

QImage TViewport::RenderImage() { return view::AtSnapshotResolution(grabFramebuffer()); }

void TViewport::SaveSnapshot(const std::string& fileName) {
  view::SaveBmp(RenderImage(), fileName);
}

std::optional<QPointF> TViewport::Project(double x, double y, double z) const {
  const QVector4D clip =
      ViewProjection() * view::MeshModel() *
      QVector4D(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), 1);
  if (clip.w() <= 0) return std::nullopt;
  const double nx = clip.x() / clip.w();
  const double ny = clip.y() / clip.w();
  return QPointF((nx + 1) / 2 * width(), (1 - ny) / 2 * height());
}

// ---------------------------------------------------------------------------------------------
// View settings

void TViewport::ApplyViewSettings() {
  const TViewSettings& v = controller_.View();
  TMultiObjData& live = Live();
  if (live.TrackingMode != v.TrackingMode) live.SetTrackingMode(v.TrackingMode);
  if (live.ColourMode != v.ColourMode) live.SetColourMode(v.ColourMode);
  if (live.DisplayMode != v.DisplayMode) live.SetDisplayMode(v.DisplayMode);
  if (live.Side != v.Side) live.SetSide(v.Side);
  Redraw();
}

void TViewport::SetCursorMode(int mode) {
  cursorMode_ = mode;
  if (mode == 1)
    setCursor(view::PanningCursor());
  else if (mode == 2)
    setCursor(view::ZoomCursor());
  else
    unsetCursor();
}

// ---------------------------------------------------------------------------------------------
// Camera

TCameraPose TViewport::Pose() const {
  const TViewSettings& v = controller_.View();
  TCameraPose pose;
  pose.Position = ToVec(v.CameraPosition);
  pose.Target = ToVec(v.TargetPosition);
  return pose;
}

void TViewport::SetPose(const TCameraPose& pose) {
  TViewSettings& v = controller_.View();
  v.CameraPosition = ToPoint(pose.Position);
  v.TargetPosition = ToPoint(pose.Target);
  update();
}

void TViewport::PlaceLight() {
  controller_.View().LightPosition = ToPoint(view::LightPosition(Pose()));
  update();
}

void TViewport::RefreshPointSize() {
  pointSize_ = view::PointSize(Pose().Distance());
  update();
}

void TViewport::SetCameraMode(int mode) {
  TViewSettings& v = controller_.View();
  v.CameraMode = static_cast<std::uint8_t>(mode);
  if (mode == 0) {
    v.TargetPosition = {};
  } else if (mode == 2) {
    const TPoint3f c = Live().SceneCentre();
    const auto k = static_cast<float>(view::kDisplayScale);
    v.TargetPosition = {c.X * k, c.Y * k, c.Z * k};
  }
  update();
}

void TViewport::TargetGroup(const TGroup& group) {
  TViewSettings& v = controller_.View();
  if (v.CameraMode != 1) return;
  v.TargetPosition = ToPoint(ToVec(group.Centre) * view::kDisplayScale);
  update();
}

void TViewport::BeginCameraMove() {
  moving_ = true;
  Live().BeginTracking(nullptr);
  editTimer_.start();
}

void TViewport::EndCameraMove() {
  editTimer_.stop();
  Live().EndTracking();
  moving_ = false;
  // Vertex points are left out of a drawing made while the camera moved.
  if (geometry_->BuiltWhileTracking)
    Redraw();
  else
    update();
}

void TViewport::Orbit(double pitchDegrees, double turnDegrees) {
  BeginCameraMove();
  SetPose(view::Orbit(Pose(), pitchDegrees, turnDegrees));
  PlaceLight();
}

void TViewport::Pan(double dx, double dy) {
  BeginCameraMove();
  SetPose(view::Pan(Pose(), dx, dy));
  PlaceLight();
}

void TViewport::Zoom(double delta) {
  BeginCameraMove();
  SetPose(view::Zoom(Pose(), delta));
  RefreshPointSize();
  PlaceLight();
}

QImage TViewport::StoreCameraSlot(int slot) {
  if (slot < 0 || slot >= static_cast<int>(slots_.size())) return {};
  const TCameraPose pose = Pose();
  slots_[static_cast<std::size_t>(slot)] = TCameraSlot{pose.Position, pose.Target};
  const view::TRgb8 bg = view::kBackground;
  return view::Thumbnail(RenderImage(), QColor(bg.R, bg.G, bg.B));
}

bool TViewport::RecallCameraSlot(int slot) {
  if (slot < 0 || slot >= static_cast<int>(slots_.size())) return false;
  const std::optional<TCameraSlot>& stored = slots_[static_cast<std::size_t>(slot)];
  if (!stored) return false;
  TCameraPose pose = Pose();
  pose.Position = stored->Position;
  pose.Target = stored->Target;
  SetPose(pose);
  PlaceLight();
  return true;
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TViewport::mousePressEvent(QMouseEvent* event) {
  lastMouse_ = event->position().toPoint();
  // A button together with Shift, Ctrl or Alt does nothing.
  if (event->modifiers() != Qt::NoModifier) return;
  if (event->buttons() == Qt::LeftButton && cursorMode_ == 0) PickAt(lastMouse_);
}

void TViewport::mouseMoveEvent(QMouseEvent* event) {
  if (event->modifiers() != Qt::NoModifier) return;
  const QPoint at = event->position().toPoint();
  const Qt::MouseButtons buttons = event->buttons();
  const QPoint step = lastMouse_ - at;
  if (buttons == Qt::RightButton) {
    lastMouse_ = at;
    Orbit(step.y(), step.x());
  } else if (buttons == Qt::MiddleButton || (buttons == Qt::LeftButton && cursorMode_ == 1)) {
    lastMouse_ = at;
    Pan(step.x(), -step.y());
  } else if (buttons == Qt::LeftButton && cursorMode_ == 2) {
    lastMouse_ = at;
    Zoom((step.x() + step.y()) * 10.0);
  }
}

void TViewport::wheelEvent(QWheelEvent* event) {
  // Qt hands the wheel to the widget under the mouse, so the view zooms only when the wheel
  // turns over it; everywhere else the other controls get it.
  const int delta = event->angleDelta().y();
  if (delta == 0) {
    event->ignore();  // a sideways wheel
    return;
  }
  Zoom(delta);
  event->accept();
}

void TViewport::PickAt(QPoint position) {
  const int mode = controller_.View().PickMode;
  if (mode < 1 || mode > 4 || !isValid()) return;
  makeCurrent();
  if (!renderer_->Ready()) {
    doneCurrent();
    return;
  }
  RebuildIfNeeded();
  const view::TFrame frame = Frame();
  const qreal ratio = devicePixelRatioF();
  const QPoint pixel(static_cast<int>(std::floor(position.x() * ratio)),
                     static_cast<int>(std::floor(position.y() * ratio)));
  if (mode <= 2) {
    const TMeshPos at = geometry_->GroupOf(renderer_->PickGroup(frame, *geometry_, Live(), pixel));
    doneCurrent();
    TGroup* group = Live().GroupAt(at.Mesh, at.Index);
    if (group && GroupPicked) GroupPicked(*group);
    return;
  }
  const TMeshPos at =
      geometry_->PointVertex(renderer_->PickPoint(frame, *geometry_, Live(), pixel));
  doneCurrent();
  TObjVertex* vertex = Live().VertexAt(at.Mesh, at.Index);
  // The controller offers the vertex to the selected command, with the hourglass cursor.
  if (vertex && controller_.SelectedCommand() && controller_.PickVertex(*vertex)) Redraw();
}

}  // namespace tarvel
