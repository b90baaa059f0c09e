// Not a check but the pictures a person looks at: the sample figure in every colour mode, in
// wireframe, with vertex points and a soft selection, from a side view, with the rotation
// centre marker and while the camera moves. Disabled in the suite; scripts/view-screenshots.sh
// runs it and names the folder in TARVEL_SCREENSHOT_DIR.
#include <QDir>
#include <cmath>
#include <string>

#include "stack/StackTarget.h"
#include "view/ViewFixture.h"

namespace tarvel::test {
namespace {

class ViewScreenshots : public ViewFixture {
 protected:
  // Tall enough for the whole figure from the start camera.
  void SetUp() override { view_->resize(900, 820); }
  void Save(const QImage& image, const char* name) {
    const QString dir = qEnvironmentVariable("TARVEL_SCREENSHOT_DIR", "screenshots");
    QDir().mkpath(dir);
    EXPECT_TRUE(image.save(dir + "/" + name + ".png")) << name;
  }
  void Shoot(const char* name) { Save(Apply(), name); }
  // The front vertex of a group at mid height.
  TObjVertex& FrontVertex(std::string_view group) {
    TGroup& g = Group(group);
    TObjVertex* best = nullptr;
    for (const TGroupVertex& e : g.Vertices) {
      TObjVertex& v = Mesh().Vertices[e.VertexIndex];
      if (!best || v.Z - std::abs(v.Y - g.Centre.Y) > best->Z - std::abs(best->Y - g.Centre.Y))
        best = &v;
    }
    return *best;
  }
  void LookAt(const TBaseVertex& v, double distance) {
    view::TCameraPose pose = view_->Pose();
    pose.Target = {v.X * view::kDisplayScale, v.Y * view::kDisplayScale, v.Z * view::kDisplayScale};
    pose.Position = pose.Target + view::Unit(view::TVec3{-0.4, 0.3, 1}) * distance;
    view_->SetPose(pose);
    view_->RefreshPointSize();
    view_->PlaceLight();
  }
};

TEST_F(ViewScreenshots, DISABLED_TakeAll) {
  Shoot("01-start-groups");
  controller_.SetColourMode(2);
  Shoot("02-materials");
  Group("chest").SelectFaces(true);
  Group("lThigh").SelectFaces(true);
  Mesh().UpdateVertexFlags();
  controller_.SetColourMode(3);
  Shoot("03-selection");
  controller_.SetColourMode(0);
  View().ColourMode = 0;
  Shoot("04-vertex-colours");
  controller_.SetColourMode(1);
  View().DisplayMode = 0;
  Shoot("05-wireframe");
  View().DisplayMode = 1;

  View().Side = 1;
  Shoot("06-side-right");
  View().Side = 2;
  Shoot("07-side-left");
  View().Side = 0;

  // A soft selection around the front of the chest, with its start vertex highlighted.
  Mesh().SelectAllFaces(false);
  Mesh().UpdateVertexFlags();
  TObjVertex& start = FrontVertex("chest");
  for (TObjVertex& v : Mesh().Vertices) {
    const float d = Distance(v, start);
    if (d < 0.08f) v.SetSoftWeight(1 - d / 0.08f);
  }
  start.Highlight = true;
  FrontVertex("abdomen").Anchor = true;
  controller_.SetColourMode(3);
  View().VertexPoints = true;
  LookAt(start, 5);
  // The points are a few pixels wide: the middle of the view, three times enlarged.
  const QImage soft = Apply();
  Save(soft.copy(soft.width() / 2 - 150, soft.height() / 2 - 130, 300, 260).scaled(900, 780),
       "08-soft-selection-points-x3");
  View().VertexPoints = false;
  Mesh().SelectAllFaces(false);

  // The rotation command's centre marker over the selection.
  view_->SetPose({view::kStartCamera, view::kStartTarget});
  view_->RefreshPointSize();
  view_->PlaceLight();
  controller_.NewStack(*FindStackTarget(1));
  controller_.AddCommand(*FindStackTarget(1)->FindDescriptor(7));
  controller_.AddCommand(*FindStackTarget(1)->FindDescriptor(102));
  Shoot("09-rotate-centre-marker");
  LookAt(Group("hip").Centre, 6);
  Shoot("10-centre-marker-close");

  view_->SetPose({view::kStartCamera, view::kStartTarget});
  view_->Orbit(-10, 20);
  Save(view_->RenderImage(), "11-camera-moving-boxes");
  // The left side alone, seen from the right and below: the inside shows through the cut.
  View().FaceCulling = false;
  View().Side = 2;
  view_->Orbit(60, -45);
  Save(view_->RenderImage(), "12-from-below-no-culling");
  QTest::qWait(view::kEditDelayMs + 100);
  Shoot("13-from-below-no-culling-back-lines");
  View().BackFaceFill = true;
  Shoot("14-from-below-no-culling-back-filled");
  View().Side = 0;
  View().FaceCulling = true;
  Save(view_->StoreCameraSlot(0).scaled(28 * 6, 28 * 6), "15-slot-thumbnail-x6");
}

}  // namespace
}  // namespace tarvel::test
