// What the main window asks of the 3D view. The OpenGL viewport implements it; the window only
// talks to this interface, so it can be driven without a GL context.
#pragma once

#include <QImage>
#include <functional>
#include <string>

#include "mesh/ObjData.h"

namespace tarvel {

class IViewArea {
 public:
  virtual ~IViewArea() = default;

  // The meshes changed: draw them again from the live edit state at the next paint.
  virtual void Redraw() = 0;
  // The controller's view settings changed (face culling, back-face fill, ground, side, colour,
  // display and tracking modes): apply them and draw again.
  virtual void ApplyViewSettings() = 0;
  // Moves the light next to the camera, then draws again.
  virtual void PlaceLight() = 0;
  // The vertex-point size from the camera's distance to its target.
  virtual void RefreshPointSize() = 0;
  // Camera modes: 0 looks at the origin and 2 at the scene centre, both at once; 1 follows the
  // selected group; 3 keeps the target where panning and the camera slots put it.
  virtual void SetCameraMode(int mode) = 0;
  // The tree selected a group while the camera follows groups.
  virtual void TargetGroup(const TGroup& group) = 0;
  // What a left drag does: 0 picks, 1 pans, 2 zooms.
  virtual void SetCursorMode(int mode) = 0;
  // Stores the camera and its target into slot 0..2 and returns the slot's 28 x 28 thumbnail.
  virtual QImage StoreCameraSlot(int slot) = 0;
  // Puts the camera back where slot 0..2 holds it; false (nothing done) for a slot never set.
  virtual bool RecallCameraSlot(int slot) = 0;
  // The view rendered into an image of the viewport's size at 96 dots per inch.
  virtual QImage RenderImage() = 0;
  // Saves the view as a BMP file at 96 dots per inch; raises EFileWrite with the system's reason.
  virtual void SaveSnapshot(const std::string& fileName) = 0;

  // The camera looks at the centre of the shown meshes, or of the vertices that take part in
  // the selection, from far enough that all of them show with a margin.
  virtual void FrameAll() {}
  virtual void FrameSelection() {}
  // A figure was loaded: the view frames the shown meshes when they would not all show (or
  // the camera is inside them), or would show as a speck.
  virtual void FrameIfOutOfView() {}
  // The camera, light and target back at their start positions.
  virtual void ResetCamera() {}
  // Colours the surface by soft weight instead of the colour mode.
  virtual void SetShowWeights(bool shown) { (void)shown; }

  // Called when a click in pick mode 1 or 2 hits a group.
  std::function<void(TGroup&)> GroupPicked;
};

}  // namespace tarvel
