// The scene tree: every loaded mesh with its groups, materials, morph targets and group-material
// entries. Its check boxes show and hide parts of the meshes, the icons of groups and materials
// are colour swatches that open a colour dialog, selecting a morph target without a stack shows
// its preview dial, and the pop-up menus offer the command kinds that take the clicked object.
//
// Nodes are QTreeWidgetItem objects; the objects keep them as their opaque `TreeNode` (and a
// group its two folder nodes), so the core checks, unchecks, expands and collapses them through
// this widget, which the controller hands to every live state while the widget lives.
#pragma once

#include <QPixmap>
#include <QSet>
#include <QTreeWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

#include "app/MorphDial.h"
#include "mesh/ObjData.h"
#include "stack/StackController.h"
#include "stack/StatusInfo.h"

class QMenu;

namespace tarvel {

class IParamPanel;

// The fixed pictures of the tree's image list; colour swatches follow them.
enum TTreeImage : int {
  kImageMesh = 0,
  kImageGroupsFolder = 1,
  kImageMaterialsFolder = 2,
  kImageMorphTargetsFolder = 3,
  kImageGroupMat = 4,
  kImageMorphTarget = 5,
  kBaseImageCount = 6,
};

// The folder numbers a folder node carries as its data; 0 on object nodes.
enum TTreeFolder : int {
  kNoFolder = 0,
  kFolderGroups = 1,          // "Groups" of a mesh
  kFolderMeshMaterials = 2,   // "Materials" of a mesh
  kFolderMorphTargets = 3,    // "Morph targets" of a group
  kFolderGroupMaterials = 4,  // "Materials" of a group
};

// The object a node shows, or none for folders.
using TTreeObject =
    std::variant<std::monostate, TObjData*, TGroup*, TMaterial*, TGroupMatInfo*, TMorphTarget*>;

// A 16 x 16 swatch: white (the transparent colour), a black square outline from (3, 3) to
// (13, 13), filled from (4, 4) to (13, 13) exclusive with the colour 0x00BBGGRR.
QPixmap ColourSwatch(std::int32_t colorValue);
// The fixed picture of image 0..5, 16 x 16.
QPixmap TreeImage(int index);

class TSceneTree : public QTreeWidget, private ITreeNodeSink {
  Q_OBJECT

 public:
  // The colour dialog: the chosen colour 0x00BBGGRR, or none when cancelled.
  using TColourAsk = std::function<std::optional<std::int32_t>(std::int32_t initial)>;

  // `panel` is the parameter panel the morph-target dial is built on. The tree gives itself to
  // the controller as the live state's tree-node sink until it is destroyed.
  TSceneTree(TStackController& controller, IParamPanel& panel, QWidget* parent = nullptr);
  ~TSceneTree() override;
  TSceneTree(const TSceneTree&) = delete;
  TSceneTree& operator=(const TSceneTree&) = delete;

  // Rebuilds every node from the controller's live edit state; every object's TreeNode, swatch
  // and image index are set anew, the pop-up objects are forgotten.
  void RebuildTree();
  // A node for a morph target just imported into its group, under the group's "Morph targets"
  // folder, selected. Returns none when the group has no folder node.
  QTreeWidgetItem* AddMorphTargetNode(TMorphTarget& target);

  // What a node shows.
  static TTreeObject ObjectOf(const QTreeWidgetItem* node);
  static int FolderOf(const QTreeWidgetItem* node);
  // The node an object keeps as its TreeNode.
  static QTreeWidgetItem* NodeOf(void* treeNode) { return static_cast<QTreeWidgetItem*>(treeNode); }

  // The object of the selected node by kind (only the one it is), for commands added from the
  // tool pages and the "Add command in stack" dialog.
  TSceneChoice SelectedChoice() const;
  // The objects whose pop-up menu was opened last (PopupGroup, PopupMaterial, PopupGroupMat,
  // PopupMorphTarget); handed with AddCommandChosen.
  const TSceneChoice& PopupChoice() const { return popup_; }
  void ClearPopupChoice() { popup_ = {}; }

  // The pop-up menu of a node, filled from it as it opens, or none when it would have no
  // entries. Choosing an entry emits the matching signal below. Opening it by a right click
  // selects the node under the mouse first.
  std::unique_ptr<QMenu> BuildPopupMenu(QTreeWidgetItem* node);

  // The tree's image list: images 0..5, then one swatch per group and material.
  const std::vector<QPixmap>& Images() const { return images_; }
  // Where a node's icon is drawn, in viewport coordinates; empty when the node is not shown.
  QRect IconRect(QTreeWidgetItem* node) const;

  // Replaces the colour dialog (tests script it).
  void SetColourAsk(TColourAsk ask) { askColour_ = std::move(ask); }

  TMorphDial& Dial() { return dial_; }

 signals:
  // Visibility, a colour or the morph-target dial changed: the viewport draws again.
  void RedrawNeeded();
  // A group was selected while the camera points to the selected group (camera mode 1).
  void GroupTargeted(tarvel::TGroup* group);
  // A command kind was chosen in a pop-up menu; `object` holds the menu's object.
  void AddCommandChosen(const tarvel::TCommandDescriptor* kind, tarvel::TSceneChoice object);
  // "Import Poser Morph target" on a group's "Morph targets" folder.
  void ImportMorphTargetChosen(tarvel::TGroup* group);
  // "Export Morph target" on a morph target.
  void ExportMorphTargetChosen(tarvel::TMorphTarget* target);
  // "Export all targets..." on a mesh.
  void ExportAllTargetsChosen(tarvel::TObjData* mesh);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void SetNodeChecked(void* node, bool checked) override;
  bool IsNodeExpanded(void* node) const override;
  void SetNodeExpanded(void* node, bool expanded) override;

  // Rebuilds the nodes with the expanded nodes, the current node and the scroll position of
  // before; a morph target new in a mesh that was there before comes back in `firstNewTarget`.
  void RebuildKeepingState(QTreeWidgetItem*& firstNewTarget);
  void AddMesh(TObjData& mesh);
  QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const std::string& text, int kind, void* object,
                           int image, std::optional<bool> checked);
  int AddSwatch(std::int32_t colorValue);
  void TreeCheckChange(QTreeWidgetItem* node);
  void TreeChange(QTreeWidgetItem* node);
  void ChangeColour(QTreeWidgetItem* node);
  bool Ignoring() const;

  struct TQuiet;  // marks the tree busy while the program itself changes nodes

  TStackController& controller_;
  IParamPanel& panel_;
  TMorphDial dial_;
  std::vector<QPixmap> images_;
  TSceneChoice popup_;
  TColourAsk askColour_;
  int busy_ = 0;
  // The nodes opened for the targets the last rebuild found new.
  QSet<QTreeWidgetItem*> pinnedOpen_;
};

}  // namespace tarvel
