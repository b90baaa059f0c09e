// A viewport of 640 x 480 on the sample figure, shown on the test display, with the scripted
// stack window behind its controller.
#pragma once

#include <gtest/gtest.h>

#include <QImage>
#include <QTest>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "stack/FakeWindow.h"
#include "stack/Overlay.h"
#include "stack/StackController.h"
#include "stack/StackTarget.h"
#include "view/Viewport.h"

namespace tarvel::test {

// A command that takes every vertex offered to it and can draw the centre marker.
class TPickRecorder : public TStackCommand {
 public:
  using TStackCommand::TStackCommand;
  void SetObject(const TSceneObject&) override {}
  bool PickVertex(TObjVertex& vertex) override {
    Picked.push_back(&vertex);
    return true;
  }
  void DrawOverlay(IOverlayPainter& painter) override {
    if (Marker) DrawCentreMarker(painter, *Marker);
  }
  std::vector<TObjVertex*> Picked;
  std::optional<TPoint3> Marker;
};

class ViewFixture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 640;
  static constexpr int kHeight = 480;

  ViewFixture() : controller_(window_) {
    controller_.Live().AddObjFile(TARVEL_SAMPLES_DIR "/figure.obj");
    view_ = std::make_unique<TViewport>(controller_);
    view_->resize(kWidth, kHeight);
    view_->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    view_->RefreshPointSize();
    view_->GroupPicked = [this](TGroup& g) { picked_.push_back(&g); };
  }

  TObjData& Mesh() { return *controller_.Live().Mesh(0); }
  TGroup& Group(std::string_view name) { return *Mesh().GroupByName(name); }
  TViewSettings& View() { return controller_.View(); }

  // Where a point in mesh coordinates shows, in whole pixels.
  QPoint At(double x, double y, double z) {
    const std::optional<QPointF> p = view_->Project(x, y, z);
    EXPECT_TRUE(p.has_value());
    return p ? p->toPoint() : QPoint();
  }
  QPoint At(const TBaseVertex& v) { return At(v.X, v.Y, v.Z); }

  // A stack whose line 1, selected and current, is a pick recorder.
  TPickRecorder& StackWithRecorder() {
    controller_.NewStack(*FindStackTarget(1));
    auto* recorder =
        controller_.Stack()->Commands.Add(std::make_unique<TPickRecorder>(controller_.Stack()));
    window_.Lines.push_back("recorder");
    // As adding a command does, the new line keeps the view it was made in.
    controller_.StoreView(*recorder);
    controller_.MakeCurrent(1);
    return *static_cast<TPickRecorder*>(recorder);
  }

  // Applies changed view settings as the window does, and waits for the next picture.
  QImage Apply() {
    view_->ApplyViewSettings();
    return view_->RenderImage();
  }

  TFakeWindow window_;
  TStackController controller_;
  std::unique_ptr<TViewport> view_;
  std::vector<TGroup*> picked_;
};

}  // namespace tarvel::test
