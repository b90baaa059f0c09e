// The viewport on figures of any size: framing, clipping planes that follow what is drawn,
// vertex points that stay visible and pickable, and the soft-weight colours.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <cmath>
#include <filesystem>
#include <string>

#include "FigureGenerator.h"
#include "TestSupport.h"
#include "view/Camera.h"
#include "view/SceneGeometry.h"
#include "view/ViewFixture.h"
#include "view/Viewport.h"

namespace tarvel::test {
namespace {

using view::TBox;
using view::TCameraPose;
using view::TVec3;

bool IsBackground(const QColor& c) {
  return c.red() == view::kBackground.R && c.green() == view::kBackground.G &&
         c.blue() == view::kBackground.B;
}

// The axes are drawn unlit in pure red, green or blue.
bool IsAxis(const QColor& c) {
  const int high = (c.red() > 150) + (c.green() > 150) + (c.blue() > 150);
  const int low = (c.red() < 40) + (c.green() < 40) + (c.blue() < 40);
  return high == 1 && low == 2;
}

// How many pixels of the image show the meshes (not background, not axes), and whether the
// outer frame shows none (nothing cut off at the edges).
struct TCoverage {
  int Drawn = 0;
  bool FrameClear = true;
};
TCoverage Coverage(const QImage& image) {
  TCoverage c;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      if (IsBackground(pixel) || IsAxis(pixel)) continue;
      ++c.Drawn;
      if (x < 2 || y < 2 || x >= image.width() - 2 || y >= image.height() - 2) c.FrameClear = false;
    }
  return c;
}

class FramingTest : public ViewFixture {
 protected:
  // Replaces the sample by the generated figure `height` units tall.
  void LoadFigure(double height, std::int64_t vertices = 0) {
    samples::TFigureShape shape =
        vertices > 0 ? samples::ShapeForVertexCount(vertices) : samples::SampleShape();
    shape.Scale = height / samples::FigureHeight(shape);
    const std::string file = (dir_.Path() / "figure.obj").string();
    samples::WriteFigure(shape, file);
    controller_.NewProject();
    controller_.Live().AddObjFile(file);
    View().GroundShown = false;  // the ground would fill the frame at small sizes
    View().ColourMode = 3;       // grey, unlike the axes
    view_->ApplyViewSettings();
  }
  void Click(QPoint at) {
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
      QMouseEvent e(type, QPointF(at), view_->mapToGlobal(QPointF(at)), Qt::LeftButton,
                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                    Qt::NoModifier);
      QApplication::sendEvent(view_.get(), &e);
    }
  }

  TTempDir dir_;
};

TEST_F(FramingTest, FiguresOfEverySizeShowWholeAfterFramingAndAtAnyZoom) {
  for (const double height : {0.01, 17.0, 10000.0}) {
    SCOPED_TRACE(height);
    LoadFigure(height);
    // From the start camera the figure is either a speck, or the camera is inside it.
    view_->FrameIfOutOfView();
    const TCoverage framed = Coverage(view_->RenderImage());
    EXPECT_TRUE(framed.FrameClear);
    EXPECT_GT(framed.Drawn, kWidth * kHeight / 50) << "the figure fills a good part of the view";
    EXPECT_TRUE(view::BoxInView(view_->Pose(), view_->MeshBox(), kWidth, kHeight));
    // Far out nothing is cut by the far plane: the figure still shows.
    view_->SetPose(view::Zoom(view_->Pose(), 800 * 25));  // 1.1^25: 11 times as far
    EXPECT_GT(Coverage(view_->RenderImage()).Drawn, 0);
    view_->FrameAll();
    EXPECT_TRUE(Coverage(view_->RenderImage()).FrameClear);
  }
}

TEST_F(FramingTest, APoserScaleFigureKeepsTheStartCamera) {
  view_->SetCameraMode(2);
  const TCameraPose before = view_->Pose();
  view_->FrameIfOutOfView();
  EXPECT_EQ(view_->Pose().Position, before.Position);
  EXPECT_EQ(view_->Pose().Target, before.Target);
  // A new project puts everything back at the start.
  view_->FrameAll();
  view_->ResetCamera();
  EXPECT_EQ(view_->Pose().Position, view::kStartCamera);
  EXPECT_EQ(view_->Pose().Target, view::kStartTarget);
}

TEST_F(FramingTest, FrameSelectionLooksAtTheVerticesThatTakePart) {
  const TCameraPose before = view_->Pose();
  view_->FrameSelection();  // nothing selected: nothing moves
  EXPECT_EQ(view_->Pose().Position, before.Position);
  for (const TGroupVertex& e : Group("head").Vertices)
    Mesh().Vertices[e.VertexIndex].Selected = true;
  view_->FrameSelection();
  const TBox box = view_->SelectionBox();
  ASSERT_FALSE(box.Empty());
  EXPECT_LT(view::Length(view_->Pose().Target - box.Centre()), 1e-9);
  EXPECT_TRUE(view::BoxInView(view_->Pose(), box, kWidth, kHeight));
  EXPECT_LT(view_->Pose().Distance(), before.Distance()) << "the head is smaller than the view";
}

TEST_F(FramingTest, VertexPointsShowAtLeastThreePixelsAndPickWithinFour) {
  TPickRecorder& recorder = StackWithRecorder();
  View().PickMode = 3;
  View().VertexPoints = true;
  // The vertex nearest the camera's side.
  TObjVertex* front = &Mesh().Vertices[0];
  for (std::int32_t i = 0; i < Mesh().Vertices.Count(); ++i)
    if (Mesh().Vertices[i].Z > front->Z) front = &Mesh().Vertices[i];
  TObjVertex& vertex = *front;
  vertex.Highlight = true;
  // Far away the point would be far below a pixel.
  view_->SetPose(view::Zoom(view_->Pose(), 800 * 20));
  view_->RefreshPointSize();
  ASSERT_LT(
      view_->PointSize() * view::kDisplayScale * view::PixelsPerUnit() / view_->Pose().Distance(),
      1.0);
  const QImage image = Apply();
  const std::optional<QPointF> at = view_->Project(vertex.X, vertex.Y, vertex.Z);
  ASSERT_TRUE(at);
  int blue = 0;
  for (int dy = -4; dy <= 4; ++dy)
    for (int dx = -4; dx <= 4; ++dx) {
      const QColor c = image.pixelColor(at->toPoint() + QPoint(dx, dy));
      if (c.blue() > 100 && c.red() < 60 && c.green() < 60) ++blue;
    }
  EXPECT_GE(blue, 6) << "a point at least 3 pixels across";

  // Close up, where the points are far apart, a click 4 pixels off still picks it.
  TCameraPose pose = view_->Pose();
  pose.Target = TVec3{vertex.X, vertex.Y, vertex.Z} * view::kDisplayScale;
  pose.Position = pose.Target + TVec3{0, 0, 3};
  view_->SetPose(pose);
  view_->RefreshPointSize();
  Apply();
  const std::optional<QPointF> near = view_->Project(vertex.X, vertex.Y, vertex.Z);
  ASSERT_TRUE(near);
  Click(near->toPoint() + QPoint(4, 0));
  ASSERT_EQ(recorder.Picked.size(), 1u);
  EXPECT_EQ(recorder.Picked[0], &vertex);
  Click(near->toPoint() + QPoint(0, -4));
  EXPECT_EQ(recorder.Picked.size(), 2u);
}

TEST_F(FramingTest, ShowWeightsSendsOnlyColoursAndPaintsTheWeightWarm) {
  View().ColourMode = 3;
  view_->ApplyViewSettings();
  view_->SetCameraMode(2);  // the whole figure in the middle of the view
  TGroup& chest = Group("chest");
  for (const TGroupVertex& e : chest.Vertices) Mesh().Vertices[e.VertexIndex].SoftWeight = 1;
  view_->Redraw();
  view_->DrawNow();
  const int uploads = view_->GeometryUploads();
  const QPoint at = view_->Project(chest.Centre.X, chest.Centre.Y, chest.Centre.Z + 0.02)
                        .value_or(QPointF())
                        .toPoint();
  const QColor plain = view_->RenderImage().pixelColor(at);

  view_->SetShowWeights(true);
  const QColor warm = view_->RenderImage().pixelColor(at);
  EXPECT_EQ(view_->GeometryUploads(), uploads) << "only the colours went to the GPU";
  EXPECT_EQ(view_->WeightColourUploads(), 1);
  EXPECT_GT(warm.red(), warm.blue() + 60) << warm.name().toStdString();
  EXPECT_NE(warm, plain);
  // Camera steps and switching off again send nothing.
  view_->SetPose(view::Orbit(view_->Pose(), 5, 5));
  view_->SetShowWeights(false);
  view_->DrawNow();
  view_->SetShowWeights(true);
  view_->DrawNow();
  EXPECT_EQ(view_->GeometryUploads(), uploads);
  EXPECT_EQ(view_->WeightColourUploads(), 1) << "the weights on the GPU are still current";
}

TEST(WeightColourTest, RampsFromTheFaceColourToTheWarmColour) {
  const std::uint8_t face[4] = {180, 180, 180, 255};
  std::uint8_t out[4];
  view::WeightColour(face, 0, out);
  EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{180, 180, 180, 255}));
  view::WeightColour(face, 1, out);
  EXPECT_EQ(std::vector<int>(out, out + 4),
            (std::vector<int>{view::kFullWeight.R, view::kFullWeight.G, view::kFullWeight.B, 255}));
  view::WeightColour(face, 2, out);  // weights beyond 1 stay at the end
  EXPECT_EQ(out[0], view::kFullWeight.R);
  std::uint8_t half[4];
  view::WeightColour(face, 0.5f, half);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(half[i], (face[i] + out[i]) / 2.0, 1) << i;
}

}  // namespace
}  // namespace tarvel::test
