// The scene tree: its nodes, check boxes, colour swatches, selection, pop-up menus and the
// morph-target dial, over the small figure of the stack tests.
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <vector>

#include "TreeFixture.h"

namespace tarvel::test {
namespace {

using TSceneTreeTest = TTreeFixture;

std::vector<std::string> Texts(const QTreeWidgetItem* node) {
  std::vector<std::string> out;
  for (int i = 0; i < node->childCount(); ++i) out.push_back(node->child(i)->text(0).toStdString());
  return out;
}

bool Checked(void* treeNode) { return TSceneTree::NodeOf(treeNode)->checkState(0) == Qt::Checked; }

bool Checkable(const QTreeWidgetItem* node) {
  return node->flags().testFlag(Qt::ItemIsUserCheckable);
}

struct TMenuEntry {
  std::string Text;  // "-" for a separator
  bool Enabled = true;
  bool operator==(const TMenuEntry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TMenuEntry& e) {
  return os << e.Text << (e.Enabled ? "" : " (disabled)");
}

std::vector<TMenuEntry> Entries(const QMenu* menu) {
  std::vector<TMenuEntry> out;
  if (!menu) return out;
  for (const QAction* a : menu->actions())
    out.push_back({a->isSeparator() ? "-" : a->text().toStdString(), a->isEnabled()});
  return out;
}

QAction* EntryNamed(const QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions())
    if (a->text() == text) return a;
  return nullptr;
}

int ShownFaces(const TObjData& m) {
  int n = 0;
  for (const TObjFace& f : m.Faces) n += f.Shown ? 1 : 0;
  return n;
}

TEST_F(TSceneTreeTest, NodesFollowTheMeshWithTheirFoldersImagesAndCheckBoxes) {
  TMorphTarget& smile = AddMorphTarget(Group(kLeft), "smile");
  Group(kHat).SetVisible(false);
  tree.RebuildTree();

  ASSERT_EQ(tree.topLevelItemCount(), 1);
  QTreeWidgetItem* meshNode = tree.topLevelItem(0);
  EXPECT_EQ(meshNode->text(0), "figure");
  EXPECT_EQ(Texts(meshNode), (std::vector<std::string>{"Groups", "Materials"}));
  QTreeWidgetItem* groups = meshNode->child(0);
  QTreeWidgetItem* materials = meshNode->child(1);
  EXPECT_EQ(Texts(groups), (std::vector<std::string>{"default", "right", "left", "hat"}));
  EXPECT_EQ(Texts(materials), (std::vector<std::string>{"default", "skin", "cloth"}));

  QTreeWidgetItem* left = Node(Group(kLeft).TreeNode);
  EXPECT_EQ(left, groups->child(2));
  EXPECT_EQ(Texts(left), (std::vector<std::string>{"Morph targets", "Materials"}));
  EXPECT_EQ(Node(Group(kLeft).MorphTargetsNode), left->child(0));
  EXPECT_EQ(Node(Group(kLeft).MaterialsNode), left->child(1));
  EXPECT_EQ(Texts(left->child(0)), (std::vector<std::string>{"smile"}));
  EXPECT_EQ(Node(smile.TreeNode), left->child(0)->child(0));
  EXPECT_EQ(Texts(left->child(1)), (std::vector<std::string>{"skin", "cloth"}));
  EXPECT_EQ(Node(Group(kLeft).GroupMats[1]->TreeNode), left->child(1)->child(1));
  EXPECT_EQ(Node(Material(kCloth).TreeNode), materials->child(2));

  struct TRow {
    QTreeWidgetItem* Node;
    int Folder;
    bool Checkable;
  };
  const std::vector<TRow> rows = {{meshNode, kNoFolder, true},
                                  {groups, kFolderGroups, false},
                                  {materials, kFolderMeshMaterials, false},
                                  {left, kNoFolder, true},
                                  {left->child(0), kFolderMorphTargets, false},
                                  {left->child(0)->child(0), kNoFolder, false},
                                  {left->child(1), kFolderGroupMaterials, false},
                                  {left->child(1)->child(0), kNoFolder, true},
                                  {materials->child(1), kNoFolder, true}};
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Node->text(0).toStdString());
    EXPECT_EQ(TSceneTree::FolderOf(r.Node), r.Folder);
    EXPECT_EQ(Checkable(r.Node), r.Checkable);
  }
  EXPECT_TRUE(Checked(Group(kLeft).TreeNode));
  EXPECT_FALSE(Checked(Group(kHat).TreeNode));
  EXPECT_FALSE(Checked(Group(kHat).GroupMats[0]->TreeNode));

  // One swatch per group and material after the six fixed images, again after a rebuild.
  const std::size_t expected = kBaseImageCount + 4 + 3;
  EXPECT_EQ(tree.Images().size(), expected);
  tree.RebuildTree();
  EXPECT_EQ(tree.Images().size(), expected);
  EXPECT_EQ(Group(0).ImageIndex, kBaseImageCount);
  EXPECT_EQ(Material(kCloth).ImageIndex, kBaseImageCount + 4 + 2);
  EXPECT_EQ(tree.Images()[static_cast<std::size_t>(Group(kLeft).ImageIndex)].toImage(),
            ColourSwatch(Group(kLeft).ColorValue).toImage());
}

TEST_F(TSceneTreeTest, SwatchIsAnOutlinedSquareOfTheColour) {
  const QImage swatch = ColourSwatch(RGBValue(10, 200, 30)).toImage();
  ASSERT_EQ(swatch.size(), QSize(16, 16));
  const QColor black(0, 0, 0), fill(10, 200, 30);
  struct TPixel {
    int X, Y;
    QColor Colour;  // invalid: transparent
  };
  const std::vector<TPixel> pixels = {
      {0, 0, {}},     {2, 8, {}},      {14, 14, {}},  {15, 15, {}}, {3, 3, black},  {13, 3, black},
      {3, 13, black}, {13, 13, black}, {8, 3, black}, {4, 4, fill}, {12, 12, fill}, {8, 8, fill}};
  for (const TPixel& p : pixels) {
    SCOPED_TRACE(testing::Message() << p.X << "," << p.Y);
    const QColor got = swatch.pixelColor(p.X, p.Y);
    if (!p.Colour.isValid()) {
      EXPECT_EQ(got.alpha(), 0);
    } else {
      EXPECT_EQ(got.rgb(), p.Colour.rgb());
      EXPECT_EQ(got.alpha(), 255);
    }
  }
  for (int i = 0; i < kBaseImageCount; ++i) {
    const QImage image = TreeImage(i).toImage();
    EXPECT_EQ(image.size(), QSize(16, 16));
    int drawn = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) drawn += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
    EXPECT_GT(drawn, 40) << "image " << i << " is missing";
  }
}

TEST_F(TSceneTreeTest, UncheckingTheMeshHidesEverythingAndCheckingShowsItAgain) {
  QSignalSpy redraws(&tree, &TSceneTree::RedrawNeeded);
  QTreeWidgetItem* meshNode = tree.topLevelItem(0);
  meshNode->setCheckState(0, Qt::Unchecked);

  EXPECT_FALSE(mesh->Visible);
  mesh->Groups.ForEach([](TGroup& g) {
    EXPECT_FALSE(g.Visible) << g.Name;
    EXPECT_FALSE(Checked(g.TreeNode)) << g.Name;
    g.GroupMats.ForEach([](TGroupMatInfo& e) { EXPECT_FALSE(Checked(e.TreeNode)); });
  });
  mesh->Materials.ForEach([](TMaterial& m) { EXPECT_FALSE(Checked(m.TreeNode)) << m.Name; });
  EXPECT_EQ(ShownFaces(*mesh), 0);
  for (const TObjVertex& v : mesh->Vertices) EXPECT_FALSE(v.Shown);
  EXPECT_EQ(redraws.count(), 1);

  meshNode->setCheckState(0, Qt::Checked);
  EXPECT_EQ(ShownFaces(*mesh), mesh->Faces.Count());
  mesh->Groups.ForEach([](TGroup& g) {
    EXPECT_TRUE(Checked(g.TreeNode)) << g.Name;
    g.GroupMats.ForEach([](TGroupMatInfo& e) { EXPECT_TRUE(Checked(e.TreeNode)); });
  });
  EXPECT_EQ(redraws.count(), 2);
}

TEST_F(TSceneTreeTest, UncheckingAMaterialUnchecksItsEntryInEveryGroupAndOnlyThose) {
  Node(Material(kSkin).TreeNode)->setCheckState(0, Qt::Unchecked);

  EXPECT_FALSE(Material(kSkin).Visible);
  EXPECT_FALSE(Checked(Group(kRight).GroupMats[0]->TreeNode));  // right: skin
  EXPECT_FALSE(Checked(Group(kLeft).GroupMats[0]->TreeNode));   // left: skin
  EXPECT_TRUE(Checked(Group(kLeft).GroupMats[1]->TreeNode));    // left: cloth
  EXPECT_TRUE(Checked(Group(kHat).GroupMats[0]->TreeNode));     // hat: cloth
  EXPECT_TRUE(Checked(Group(kLeft).TreeNode));
  const std::vector<bool> shown = {false, false, true, true};  // faces: skin, skin, cloth, cloth
  for (int f = 0; f < mesh->Faces.Count(); ++f) EXPECT_EQ(mesh->Faces[f].Shown, shown[f]) << f;
}

TEST_F(TSceneTreeTest, CheckingAGroupRechecksEntriesUncheckedOneByOne) {
  TGroupMatInfo& cloth = *Group(kLeft).GroupMats[1];
  Node(cloth.TreeNode)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(cloth.Visible);
  EXPECT_FALSE(mesh->Faces[2].Shown);
  EXPECT_TRUE(mesh->Faces[1].Shown);

  Node(Group(kLeft).TreeNode)->setCheckState(0, Qt::Unchecked);
  EXPECT_FALSE(Checked(Group(kLeft).GroupMats[0]->TreeNode));
  EXPECT_FALSE(mesh->Faces[1].Shown);
  EXPECT_TRUE(mesh->Faces[0].Shown);  // the right group's face stays

  Node(Group(kLeft).TreeNode)->setCheckState(0, Qt::Checked);
  EXPECT_TRUE(cloth.Visible);
  EXPECT_TRUE(Checked(cloth.TreeNode));
  EXPECT_TRUE(Checked(Group(kLeft).GroupMats[0]->TreeNode));
  EXPECT_TRUE(mesh->Faces[1].Shown);
  EXPECT_TRUE(mesh->Faces[2].Shown);
}

TEST_F(TSceneTreeTest, CoreVisibilityAndExpansionChangesReachTheNodesQuietly) {
  QSignalSpy redraws(&tree, &TSceneTree::RedrawNeeded);
  Group(kHat).SetVisible(false);
  EXPECT_FALSE(Checked(Group(kHat).GroupMats[0]->TreeNode));
  mesh->SetAllVisible(false);
  EXPECT_FALSE(Checked(Material(kCloth).TreeNode));
  EXPECT_EQ(redraws.count(), 0);

  // A view snapshot keeps which nodes were open.
  Node(Group(kLeft).TreeNode)->setExpanded(true);
  const auto snapshot = controller.Live().SaveViewState();
  Node(Group(kLeft).TreeNode)->setExpanded(false);
  controller.Live().RestoreViewState(*snapshot);
  EXPECT_TRUE(Node(Group(kLeft).TreeNode)->isExpanded());
  EXPECT_FALSE(Node(Group(kRight).TreeNode)->isExpanded());
}

TEST_F(TSceneTreeTest, PressOnASwatchIconChangesTheColourOnOk) {
  ShowExpanded();
  std::vector<std::int32_t> asked;
  std::optional<std::int32_t> answer = RGBValue(0, 0, 255);
  tree.SetColourAsk([&](std::int32_t initial) {
    asked.push_back(initial);
    return answer;
  });
  QSignalSpy redraws(&tree, &TSceneTree::RedrawNeeded);
  TGroup& left = Group(kLeft);
  QTreeWidgetItem* node = Node(left.TreeNode);
  const std::int32_t before = left.ColorValue;
  const QRect icon = tree.IconRect(node);
  ASSERT_FALSE(icon.isEmpty());

  // The label and the right button do nothing.
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(node).center());
  QTest::mouseClick(tree.viewport(), Qt::RightButton, {}, icon.center());
  EXPECT_TRUE(asked.empty());

  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, icon.center());
  ASSERT_EQ(asked, std::vector<std::int32_t>{before});
  EXPECT_EQ(left.ColorValue, RGBValue(0, 0, 255));
  EXPECT_EQ(left.ColorVector, ColorVectorOf(RGBValue(0, 0, 255)));
  EXPECT_TRUE(controller.Modified());
  EXPECT_EQ(redraws.count(), 1);
  EXPECT_EQ(node->icon(0).pixmap(16, 16).toImage().pixelColor(8, 8), QColor(0, 0, 255));
  EXPECT_EQ(tree.Images()[static_cast<std::size_t>(left.ImageIndex)].toImage().pixelColor(8, 8),
            QColor(0, 0, 255));

  // Cancel changes nothing; the mesh and the entries have no swatch to press.
  controller.SetModified(false);
  answer.reset();
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                    tree.IconRect(Node(Material(kSkin).TreeNode)).center());
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(controller.Modified());
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                    tree.IconRect(tree.topLevelItem(0)).center());
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {},
                    tree.IconRect(Node(left.GroupMats[0]->TreeNode)).center());
  EXPECT_EQ(asked.size(), 2u);
}

TEST_F(TSceneTreeTest, PopupMenusWithoutAStackOfferOnlyTheFileEntries) {
  TMorphTarget& smile = AddMorphTarget(Group(kLeft), "smile");
  tree.RebuildTree();
  QSignalSpy imports(&tree, &TSceneTree::ImportMorphTargetChosen);
  QSignalSpy exports(&tree, &TSceneTree::ExportMorphTargetChosen);

  EXPECT_EQ(tree.BuildPopupMenu(Node(Group(kLeft).TreeNode)), nullptr);
  {
    QSignalSpy exportsAll(&tree, &TSceneTree::ExportAllTargetsChosen);
    std::unique_ptr<QMenu> menu = tree.BuildPopupMenu(tree.topLevelItem(0));
    ASSERT_TRUE(menu);
    EXPECT_EQ(Entries(menu.get()), (std::vector<TMenuEntry>{{"Export all targets..."}}));
    menu->actions()[0]->trigger();
    ASSERT_EQ(exportsAll.size(), 1);
    EXPECT_EQ(exportsAll[0][0].value<TObjData*>(), mesh);
  }
  EXPECT_EQ(tree.BuildPopupMenu(Node(Material(kSkin).TreeNode)), nullptr);
  EXPECT_EQ(tree.BuildPopupMenu(tree.topLevelItem(0)->child(0)), nullptr);

  std::unique_ptr<QMenu> folder = tree.BuildPopupMenu(Node(Group(kLeft).MorphTargetsNode));
  ASSERT_TRUE(folder);
  EXPECT_EQ(Entries(folder.get()), (std::vector<TMenuEntry>{{"Import Poser Morph target"}}));
  EXPECT_EQ(tree.PopupChoice().Group, &Group(kLeft));
  folder->actions()[0]->trigger();
  ASSERT_EQ(imports.count(), 1);
  EXPECT_EQ(imports[0][0].value<TGroup*>(), &Group(kLeft));

  std::unique_ptr<QMenu> target = tree.BuildPopupMenu(Node(smile.TreeNode));
  ASSERT_TRUE(target);
  EXPECT_EQ(Entries(target.get()), (std::vector<TMenuEntry>{{"Export Morph target"}}));
  EXPECT_EQ(tree.PopupChoice().MorphTarget, &smile);
  target->actions()[0]->trigger();
  ASSERT_EQ(exports.count(), 1);
  EXPECT_EQ(exports[0][0].value<TMorphTarget*>(), &smile);
}

TEST_F(TSceneTreeTest, PopupMenusWithAStackOfferTheKindsOfTheObject) {
  TMorphTarget& smile = AddMorphTarget(Group(kLeft), "smile");
  controller.NewStack(Target());
  tree.RebuildTree();
  Group(kHat).SetUnlocked(false);

  struct TCase {
    const char* Name;
    QTreeWidgetItem* Node;
    std::vector<TMenuEntry> Expected;
  };
  const std::vector<TCase> cases = {
      {"unlocked group",
       Node(Group(kLeft).TreeNode),
       {{"Select Group"},
        {"Deselect Group"},
        {"Lock edit of group"},
        {"Unlock edit of group", false}}},
      {"locked group",
       Node(Group(kHat).TreeNode),
       {{"Select Group", false},
        {"Deselect Group", false},
        {"Lock edit of group", false},
        {"Unlock edit of group"}}},
      {"material", Node(Material(kSkin).TreeNode), {{"Select material"}, {"Deselect material"}}},
      {"entry",
       Node(Group(kLeft).GroupMats[1]->TreeNode),
       {{"Select material"}, {"Deselect material"}}},
      {"morph target",
       Node(smile.TreeNode),
       {{"Export Morph target"}, {"-"}, {"Use morph target"}}},
      {"morph targets folder",
       Node(Group(kLeft).MorphTargetsNode),
       {{"Import Poser Morph target"}}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(Entries(tree.BuildPopupMenu(c.Node).get()), c.Expected);
  }
  EXPECT_EQ(Entries(tree.BuildPopupMenu(tree.topLevelItem(0)).get()),
            (std::vector<TMenuEntry>{{"Export all targets..."}}));
  EXPECT_EQ(tree.BuildPopupMenu(Node(Group(kLeft).MaterialsNode)), nullptr);

  // A kind entry hands over its kind with the objects of the menus opened last.
  QSignalSpy chosen(&tree, &TSceneTree::AddCommandChosen);
  std::unique_ptr<QMenu> menu = tree.BuildPopupMenu(Node(Material(kCloth).TreeNode));
  EntryNamed(*menu, "Deselect material")->trigger();
  ASSERT_EQ(chosen.count(), 1);
  EXPECT_EQ(chosen[0][0].value<const TCommandDescriptor*>()->CommandId, 4);
  const auto choice = chosen[0][1].value<TSceneChoice>();
  EXPECT_EQ(choice.Material, &Material(kCloth));
  EXPECT_EQ(choice.Group, &Group(kLeft));  // from the "Morph targets" folder's menu

  // A rebuild forgets them: the objects may be gone.
  tree.RebuildTree();
  EXPECT_EQ(tree.PopupChoice().Material, nullptr);
  EXPECT_EQ(tree.PopupChoice().Group, nullptr);
}

TEST_F(TSceneTreeTest, RightClickSelectsTheNodeUnderTheMouse) {
  ShowExpanded();
  QTreeWidgetItem* skin = Node(Material(kSkin).TreeNode);
  tree.setCurrentItem(tree.topLevelItem(0));
  QTest::mousePress(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(skin).center());
  EXPECT_EQ(tree.currentItem(), skin);
  EXPECT_EQ(tree.SelectedChoice().Material, &Material(kSkin));
  EXPECT_EQ(tree.SelectedChoice().Group, nullptr);
  QTest::mouseRelease(tree.viewport(), Qt::RightButton, {}, tree.visualItemRect(skin).center());
}

TEST_F(TSceneTreeTest, MorphTargetDialPreviewsTheTargetWhileThereIsNoStack) {
  TGroup& left = Group(kLeft);
  TMorphTarget& smile = AddMorphTarget(left, "smile");
  smile.Value = 0.25f;
  tree.RebuildTree();
  QSignalSpy redraws(&tree, &TSceneTree::RedrawNeeded);

  tree.setCurrentItem(Node(smile.TreeNode));
  const auto labels = window.Params.Labels();
  const auto edits = window.Params.Edits();
  ASSERT_EQ(labels.size(), 1u);
  ASSERT_EQ(edits.size(), 1u);
  EXPECT_EQ(labels[0]->Text, "MT:smile");
  EXPECT_EQ(labels[0]->Bounds().Left, 3);
  EXPECT_EQ(labels[0]->Bounds().Top, 3);
  TFakeNumberEdit& edit = *edits[0];
  EXPECT_EQ(edit.Bounds(),
            (TRect{3, labels[0]->Bounds().Bottom() + 3, 65, TFakePanel::kEditHeight}));
  EXPECT_EQ(edit.Decimals, 3);
  EXPECT_DOUBLE_EQ(edit.Step, 0.01);
  EXPECT_FLOAT_EQ(static_cast<float>(edit.Value()), 0.25f);
  EXPECT_EQ(redraws.count(), 0);

  // Turning the dial reshapes the group: every shaped y follows the target by the dial.
  edit.Type(0.5);
  EXPECT_FLOAT_EQ(smile.Value, 0.5f);
  for (const TGroupVertex& e : left.Vertices)
    EXPECT_NEAR(e.Shaped.Y, left.VertexOf(e)->Y + 0.5, 1e-6);
  EXPECT_EQ(redraws.count(), 1);

  // An emptied edit, or one holding a lone "-", changes nothing.
  struct TBlankEdit : TFakeNumberEdit {
    bool IsBlank() const override { return true; }
  } blank;
  blank.SetValue(0);
  tree.Dial().EditChanged(blank);
  EXPECT_FLOAT_EQ(smile.Value, 0.5f);
  EXPECT_EQ(redraws.count(), 1);

  // A folder clears the panel while there is no stack.
  tree.setCurrentItem(Node(left.MorphTargetsNode));
  EXPECT_TRUE(window.Params.Controls().empty());
}

TEST_F(TSceneTreeTest, MorphTargetDialIgnoresTargetsThatAreGone) {
  TMorphTarget& smile = AddMorphTarget(Group(kLeft), "smile");
  tree.RebuildTree();
  tree.setCurrentItem(Node(smile.TreeNode));
  TFakeNumberEdit& edit = *window.Params.Edits().at(0);
  QSignalSpy redraws(&tree, &TSceneTree::RedrawNeeded);
  // Another project replaces the live state while the dial is still shown.
  controller.SetLive(std::make_unique<TMultiObjData>());
  mesh = nullptr;
  EXPECT_EQ(tree.Dial().Target(), nullptr);
  edit.Type(0.7);
  EXPECT_EQ(redraws.count(), 0);
  tree.RebuildTree();
}

TEST_F(TSceneTreeTest, SelectionWithAStackLeavesTheCommandControlsAndFollowsGroups) {
  TMorphTarget& smile = AddMorphTarget(Group(kLeft), "smile");
  controller.NewStack(Target());
  tree.RebuildTree();
  controller.AddCommand(*Target().FindDescriptor(101));  // "Translate" builds controls
  const std::size_t controls = window.Params.Controls().size();
  ASSERT_GT(controls, 0u);
  const int clears = window.Params.ClearCount;

  tree.setCurrentItem(Node(smile.TreeNode));
  tree.setCurrentItem(Node(Group(kLeft).MorphTargetsNode));
  EXPECT_EQ(window.Params.Controls().size(), controls);
  EXPECT_EQ(window.Params.ClearCount, clears);

  QSignalSpy targeted(&tree, &TSceneTree::GroupTargeted);
  controller.View().CameraMode = 0;
  tree.setCurrentItem(Node(Group(kRight).TreeNode));
  EXPECT_EQ(targeted.count(), 0);
  controller.View().CameraMode = 1;
  tree.setCurrentItem(Node(Group(kLeft).TreeNode));
  ASSERT_EQ(targeted.count(), 1);
  EXPECT_EQ(targeted[0][0].value<TGroup*>(), &Group(kLeft));
}

TEST_F(TSceneTreeTest, ImportedMorphTargetGetsASelectedNodeUnderItsGroup) {
  TGroup& hat = Group(kHat);
  TMorphTarget& target = AddMorphTarget(hat, "wide");
  QTreeWidgetItem* node = tree.AddMorphTargetNode(target);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->parent(), Node(hat.MorphTargetsNode));
  EXPECT_EQ(Node(target.TreeNode), node);
  EXPECT_EQ(node->text(0), "wide");
  EXPECT_EQ(tree.currentItem(), node);
  EXPECT_TRUE(Node(hat.MorphTargetsNode)->isExpanded());
  // Selected without a stack, it shows its dial.
  ASSERT_EQ(window.Params.Labels().size(), 1u);
  EXPECT_EQ(window.Params.Labels()[0]->Text, "MT:wide");
}

}  // namespace
}  // namespace tarvel::test
