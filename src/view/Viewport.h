// The 3D view at the right of the main window. It draws the live edit state's meshes with the
// axes, the ground and the current command's overlay through OpenGL, moves the camera with the
// mouse (orbit, pan, zoom, with a reduced drawing while it moves), picks groups and vertices for
// the current command and renders itself into pictures. The camera, light and target positions
// and the view settings live in the controller's View(), so each command keeps how the mesh
// was looked at.
#pragma once

#include <QOpenGLWidget>
#include <QTimer>
#include <array>
#include <memory>
#include <optional>

#include "stack/StackController.h"
#include "view/Camera.h"
#include "view/ViewArea.h"

namespace tarvel {

namespace view {
class TSceneGeometry;
class TSceneRenderer;
struct TFrame;
}  // namespace view

class TViewport : public QOpenGLWidget, public IViewArea {
  Q_OBJECT

 public:
  // Places the camera, light and target at their start positions in the controller's view.
  explicit TViewport(TStackController& controller, QWidget* parent = nullptr);
  ~TViewport() override;
  TViewport(const TViewport&) = delete;
  TViewport& operator=(const TViewport&) = delete;

  // IViewArea
  void Redraw() override;
  void ApplyViewSettings() override;
  void PlaceLight() override;
  void RefreshPointSize() override;
  void SetCameraMode(int mode) override;
  void TargetGroup(const TGroup& group) override;
  void SetCursorMode(int mode) override;
  QImage StoreCameraSlot(int slot) override;
  bool RecallCameraSlot(int slot) override;
  QImage RenderImage() override;
  void SaveSnapshot(const std::string& fileName) override;
  void FrameAll() override;
  void FrameSelection() override;
  void FrameIfOutOfView() override;
  void ResetCamera() override;
  void SetShowWeights(bool shown) override;
  bool ShowWeights() const { return showWeights_; }

  // The camera steps the mouse makes. Each begins a camera move (reduced drawing, ground
  // hidden, back to normal 400 ms after the last step) and places the light.
  void Orbit(double pitchDegrees, double turnDegrees);
  // `dx` = last x - x, `dy` = y - last y, in pixels.
  void Pan(double dx, double dy);
  // Positive deltas move the camera away from its target.
  void Zoom(double delta);
  // What a left click does in the default cursor mode: a group in pick modes 1 and 2 goes to
  // GroupPicked, a vertex in pick modes 3 and 4 to the selected command's PickVertex.
  void PickAt(QPoint position);

  view::TCameraPose Pose() const;
  void SetPose(const view::TCameraPose& pose);
  // Where a point in mesh coordinates shows in the widget; none behind the camera.
  std::optional<QPointF> Project(double x, double y, double z) const;
  float PointSize() const { return pointSize_; }
  int CursorMode() const { return cursorMode_; }
  bool CameraMoving() const { return moving_; }
  // Whether OpenGL is up with what the viewport needs.
  bool GlReady() const;
  // Draws the view into the widget's framebuffer now and waits until OpenGL has finished.
  void DrawNow();
  // How many times the geometry was sent to the GPU, and the soft-weight colours alone.
  int GeometryUploads() const;
  int WeightColourUploads() const;
  // The box of the shown meshes in scene coordinates (the display scale applied); empty
  // without any.
  view::TBox MeshBox() const;
  // The box of the vertices that take part in the selection, in scene coordinates.
  view::TBox SelectionBox() const;
  // The near and far planes of the view now.
  view::TDepthRange DepthRange() const;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void BeginCameraMove();
  void EndCameraMove();
  // Whether the view settings draw polygons as lines somewhere.
  bool OutlinesNeeded() const;
  void RebuildIfNeeded();
  void UploadWeightsIfNeeded();
  void FrameBox(const view::TBox& box);
  view::TFrame Frame() const;
  QMatrix4x4 ViewProjection() const;
  void ReleaseGl();
  // The GL resources go with the context that holds them.
  void ContextGoing();
  TMultiObjData& Live() { return controller_.Live(); }

  struct TCameraSlot {
    view::TVec3 Position;
    view::TVec3 Target;
  };

  TStackController& controller_;
  std::unique_ptr<view::TSceneGeometry> geometry_;
  std::unique_ptr<view::TSceneRenderer> renderer_;
  QTimer editTimer_;
  bool dirty_ = true;
  bool moving_ = false;
  bool warned_ = false;
  bool showWeights_ = false;
  bool weightsUploaded_ = false;
  float pointSize_ = view::kMaxPointSize;
  int cursorMode_ = 0;
  QPoint lastMouse_;
  std::array<std::optional<TCameraSlot>, 3> slots_;
};

}  // namespace tarvel
