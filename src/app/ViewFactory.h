// The widget that stands in the viewport's place in the main window, and the view interface the
// window talks to through it.
#pragma once

#include <QWidget>
#include <functional>

#include "stack/StackController.h"
#include "view/ViewArea.h"

namespace tarvel {

struct TViewPart {
  QWidget* Widget = nullptr;  // owned by the parent it was created with
  IViewArea* Area = nullptr;  // the same object as Widget, seen as the view
};

using TViewFactory = std::function<TViewPart(TStackController& controller, QWidget* parent)>;

// The OpenGL viewport of the main window; where OpenGL 3.3 cannot be had, a placeholder that
// shows the reason.
TViewPart CreateViewArea(TStackController& controller, QWidget* parent);

// An empty teal area that can stand where the 3D view goes (without OpenGL, and for tests); it
// draws nothing but its message and remembers no camera.
class TViewPlaceholder : public QWidget, public IViewArea {
  Q_OBJECT

 public:
  explicit TViewPlaceholder(QWidget* parent = nullptr);

  // The text shown in the middle of the area, e.g. why there is no 3D view.
  void SetMessage(const QString& message);
  const QString& Message() const { return message_; }

  void Redraw() override { update(); }
  void ApplyViewSettings() override { update(); }
  void PlaceLight() override { update(); }
  void RefreshPointSize() override {}
  void SetCameraMode(int) override {}
  void TargetGroup(const TGroup&) override {}
  void SetCursorMode(int) override {}
  QImage StoreCameraSlot(int slot) override;
  bool RecallCameraSlot(int) override { return false; }
  QImage RenderImage() override;
  void SaveSnapshot(const std::string& fileName) override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString message_;
};

}  // namespace tarvel
