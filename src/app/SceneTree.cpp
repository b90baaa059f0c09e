#include "app/SceneTree.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSet>
#include <QStyledItemDelegate>
#include <QSvgRenderer>
#include <array>

#include "app/StackDialogs.h"
#include "stack/MultiObjData.h"

// The tree's pictures live in this static library; their resource is registered on first use.
static void InitTreeResources() { Q_INIT_RESOURCE(tree); }

namespace tarvel {

namespace {

// What a node's data says it is: 1..4 are folders, the rest objects.
constexpr int kKindRole = Qt::UserRole;
constexpr int kObjectRole = Qt::UserRole + 1;
// A mesh node's mesh Id, kept apart from the object, which may be gone by the next rebuild.
constexpr int kMeshIdRole = Qt::UserRole + 2;
enum TNodeKind : int {
  kKindMesh = 11,
  kKindGroup = 12,
  kKindMaterial = 13,
  kKindGroupMat = 14,
  kKindMorphTarget = 15,
};

constexpr int kItemHeight = 16;

// The pictures of images 0..5.
constexpr std::array<const char*, kBaseImageCount> kTreeImageFiles = {
    ":/tree/mesh.svg",
    ":/tree/groups-folder.svg",
    ":/tree/materials-folder.svg",
    ":/tree/morph-targets-folder.svg",
    ":/tree/group-material.svg",
    ":/tree/morph-target.svg",
};
constexpr int kIndent = 19;

QColor QColorOf(std::int32_t colorValue) {
  return QColor(colorValue & 0xff, (colorValue >> 8) & 0xff, (colorValue >> 16) & 0xff);
}

std::int32_t ColorValueOf(const QColor& c) { return RGBValue(c.red(), c.green(), c.blue()); }

// Every row is 16 pixels high.
class TTreeDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return {QStyledItemDelegate::sizeHint(option, index).width(), kItemHeight};
  }
};

template <class T>
T* ObjectAs(const QTreeWidgetItem* node) {
  return reinterpret_cast<T*>(node->data(0, kObjectRole).value<quintptr>());
}

}  // namespace

QPixmap ColourSwatch(std::int32_t colorValue) {
  QImage image(16, 16, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  const QRgb black = qRgb(0, 0, 0);
  for (int i = 3; i <= 13; ++i) {
    image.setPixel(i, 3, black);
    image.setPixel(i, 13, black);
    image.setPixel(3, i, black);
    image.setPixel(13, i, black);
  }
  const QRgb fill = QColorOf(colorValue).rgb();
  for (int y = 4; y < 13; ++y)
    for (int x = 4; x < 13; ++x) image.setPixel(x, y, fill);
  return QPixmap::fromImage(image);
}

QPixmap TreeImage(int index) {
  static const bool registered = (InitTreeResources(), true);
  (void)registered;
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  if (index >= 0 && index < kBaseImageCount) {
    QSvgRenderer svg(QString::fromLatin1(kTreeImageFiles[static_cast<std::size_t>(index)]));
    QPainter painter(&image);
    svg.render(&painter);
  }
  return QPixmap::fromImage(image);
}

struct TSceneTree::TQuiet {
  explicit TQuiet(TSceneTree& tree) : tree_(tree) { ++tree.busy_; }
  ~TQuiet() { --tree_.busy_; }
  TQuiet(const TQuiet&) = delete;
  TQuiet& operator=(const TQuiet&) = delete;
  TSceneTree& tree_;
};

TSceneTree::TSceneTree(TStackController& controller, IParamPanel& panel, QWidget* parent)
    : QTreeWidget(parent),
      controller_(controller),
      panel_(panel),
      dial_(
          panel, [this]() -> TMultiObjData& { return controller_.Live(); },
          [this] { emit RedrawNeeded(); }) {
  setHeaderHidden(true);
  setColumnCount(1);
  setRootIsDecorated(true);
  setItemsExpandable(true);
  setIndentation(kIndent);
  setIconSize(QSize(16, 16));
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setItemDelegate(new TTreeDelegate(this));
  for (int i = 0; i < kBaseImageCount; ++i) images_.push_back(TreeImage(i));

  connect(this, &QTreeWidget::itemChanged, this,
          [this](QTreeWidgetItem* node, int) { TreeCheckChange(node); });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node, QTreeWidgetItem*) { TreeChange(node); });

  controller_.SetTreeNodes(this);
}

TSceneTree::~TSceneTree() { controller_.SetTreeNodes(nullptr); }

bool TSceneTree::Ignoring() const { return busy_ > 0 || controller_.Busy(); }

TTreeObject TSceneTree::ObjectOf(const QTreeWidgetItem* node) {
  if (!node) return {};
  switch (node->data(0, kKindRole).toInt()) {
    case kKindMesh:
      return ObjectAs<TObjData>(node);
    case kKindGroup:
      return ObjectAs<TGroup>(node);
    case kKindMaterial:
      return ObjectAs<TMaterial>(node);
    case kKindGroupMat:
      return ObjectAs<TGroupMatInfo>(node);
    case kKindMorphTarget:
      return ObjectAs<TMorphTarget>(node);
    default:
      return {};
  }
}

int TSceneTree::FolderOf(const QTreeWidgetItem* node) {
  if (!node) return kNoFolder;
  const int kind = node->data(0, kKindRole).toInt();
  return kind >= kFolderGroups && kind <= kFolderGroupMaterials ? kind : kNoFolder;
}

// ---------------------------------------------------------------------------------------------
// Building

int TSceneTree::AddSwatch(std::int32_t colorValue) {
  images_.push_back(ColourSwatch(colorValue));
  return static_cast<int>(images_.size()) - 1;
}

QTreeWidgetItem* TSceneTree::AddNode(QTreeWidgetItem* parent, const std::string& text, int kind,
                                     void* object, int image, std::optional<bool> checked) {
  auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
  node->setText(0, FromLatin1(text));
  node->setData(0, kKindRole, kind);
  node->setData(0, kObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
  node->setIcon(0, QIcon(images_[static_cast<std::size_t>(image)]));
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (checked) {
    flags |= Qt::ItemIsUserCheckable;
    node->setCheckState(0, *checked ? Qt::Checked : Qt::Unchecked);
  }
  node->setFlags(flags);
  return node;
}

void TSceneTree::AddMesh(TObjData& mesh) {
  QTreeWidgetItem* meshNode =
      AddNode(nullptr, mesh.Name, kKindMesh, &mesh, kImageMesh, mesh.Visible);
  meshNode->setData(0, kMeshIdRole, mesh.Id);
  QTreeWidgetItem* groups =
      AddNode(meshNode, "Groups", kFolderGroups, nullptr, kImageGroupsFolder, std::nullopt);
  mesh.Groups.ForEach([&](TGroup& g) {
    g.ImageIndex = AddSwatch(g.ColorValue);
    QTreeWidgetItem* groupNode = AddNode(groups, g.Name, kKindGroup, &g, g.ImageIndex, g.Visible);
    g.TreeNode = groupNode;
    QTreeWidgetItem* targets = AddNode(groupNode, "Morph targets", kFolderMorphTargets, nullptr,
                                       kImageMorphTargetsFolder, std::nullopt);
    g.MorphTargetsNode = targets;
    g.MorphTargets.ForEach([&](TMorphTarget& t) {
      t.TreeNode = AddNode(targets, t.Name, kKindMorphTarget, &t, kImageMorphTarget, std::nullopt);
    });
    QTreeWidgetItem* materials = AddNode(groupNode, "Materials", kFolderGroupMaterials, nullptr,
                                         kImageMaterialsFolder, std::nullopt);
    g.MaterialsNode = materials;
    g.GroupMats.ForEach([&](TGroupMatInfo& e) {
      e.TreeNode = AddNode(materials, e.Name(), kKindGroupMat, &e, kImageGroupMat, e.Visible);
    });
  });
  QTreeWidgetItem* materials = AddNode(meshNode, "Materials", kFolderMeshMaterials, nullptr,
                                       kImageMaterialsFolder, std::nullopt);
  mesh.Materials.ForEach([&](TMaterial& m) {
    m.ImageIndex = AddSwatch(m.ColorValue);
    m.TreeNode = AddNode(materials, m.Name, kKindMaterial, &m, m.ImageIndex, m.Visible);
  });
}

namespace {

// A node's place in the tree that survives a rebuild: the kinds and texts of the path to it,
// the mesh by its Id (two meshes may share a name).
QString NodeKey(const QTreeWidgetItem* node) {
  QString key;
  for (; node; node = node->parent()) {
    const int kind = node->data(0, kKindRole).toInt();
    QString part = QString::number(kind) + ':';
    if (kind == kKindMesh) {
      part += QString::number(node->data(0, kMeshIdRole).toInt());
    } else {
      part += node->text(0);
    }
    key = key.isEmpty() ? part : part + '/' + key;
  }
  return key;
}

template <typename TVisit>
void ForEachNode(QTreeWidgetItem* node, const TVisit& visit) {
  visit(node);
  for (int i = 0; i < node->childCount(); ++i) ForEachNode(node->child(i), visit);
}

}  // namespace

void TSceneTree::RebuildTree() {
  QTreeWidgetItem* firstNewTarget = nullptr;
  RebuildKeepingState(firstNewTarget);
  // The first target the goal made becomes current as a click would make it (its dial shows
  // while there is no stack).
  if (firstNewTarget) {
    setCurrentItem(firstNewTarget);
    scrollToItem(firstNewTarget);
  }
}

void TSceneTree::RebuildKeepingState(QTreeWidgetItem*& firstNewTarget) {
  TQuiet quiet(*this);
  // What the user opened, where the tree was scrolled and the current node, so that the
  // rebuilt tree looks as it did.
  QSet<QString> expanded;
  QSet<QString> targets;
  QSet<QString> meshes;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    meshes.insert(NodeKey(topLevelItem(i)));
    ForEachNode(topLevelItem(i), [&](QTreeWidgetItem* node) {
      if (node->isExpanded()) expanded.insert(NodeKey(node));
      if (node->data(0, kKindRole).toInt() == kKindMorphTarget) targets.insert(NodeKey(node));
    });
  }
  const QString current = currentItem() ? NodeKey(currentItem()) : QString();
  pinnedOpen_.clear();
  const int scrollY = verticalScrollBar()->value();
  const int scrollX = horizontalScrollBar()->value();

  setUpdatesEnabled(false);
  clear();
  images_.resize(kBaseImageCount);
  // The objects of the last pop-up may be gone with the edit state they belonged to.
  popup_ = {};
  TMultiObjData& live = controller_.Live();
  for (std::int32_t m = 0; m < live.MeshCount(); ++m) AddMesh(*live.Mesh(m));

  QTreeWidgetItem* currentNode = nullptr;
  for (int i = 0; i < topLevelItemCount(); ++i) {
    const bool knownMesh = meshes.contains(NodeKey(topLevelItem(i)));
    ForEachNode(topLevelItem(i), [&](QTreeWidgetItem* node) {
      const QString key = NodeKey(node);
      if (expanded.contains(key)) node->setExpanded(true);
      if (!current.isEmpty() && key == current) currentNode = node;
      // A target that was not there before (the goal made it) is shown open.
      if (knownMesh && node->data(0, kKindRole).toInt() == kKindMorphTarget &&
          !targets.contains(key)) {
        for (QTreeWidgetItem* p = node->parent(); p; p = p->parent()) {
          p->setExpanded(true);
          pinnedOpen_.insert(p);
        }
        if (!firstNewTarget) firstNewTarget = node;
      }
    });
  }
  if (currentNode && !firstNewTarget) setCurrentItem(currentNode);
  setUpdatesEnabled(true);
  // The scroll bars take the new tree's extent before they go back where they were.
  doItemsLayout();
  verticalScrollBar()->setValue(scrollY);
  horizontalScrollBar()->setValue(scrollX);
}

QTreeWidgetItem* TSceneTree::AddMorphTargetNode(TMorphTarget& target) {
  if (!target.Group || !target.Group->MorphTargetsNode) return nullptr;
  QTreeWidgetItem* folder = NodeOf(target.Group->MorphTargetsNode);
  QTreeWidgetItem* node = nullptr;
  {
    TQuiet quiet(*this);
    node = AddNode(folder, target.Name, kKindMorphTarget, &target, kImageMorphTarget, std::nullopt);
    target.TreeNode = node;
    for (QTreeWidgetItem* p = folder; p; p = p->parent()) p->setExpanded(true);
  }
  setCurrentItem(node);
  scrollToItem(node);
  return node;
}

// ---------------------------------------------------------------------------------------------
// The core's sinks

void TSceneTree::SetNodeChecked(void* node, bool checked) {
  TQuiet quiet(*this);
  NodeOf(node)->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool TSceneTree::IsNodeExpanded(void* node) const { return NodeOf(node)->isExpanded(); }

void TSceneTree::SetNodeExpanded(void* node, bool expanded) {
  // The folders that lead to a target the goal just made stay open.
  if (!expanded && pinnedOpen_.contains(NodeOf(node))) return;
  TQuiet quiet(*this);
  NodeOf(node)->setExpanded(expanded);
}

// ---------------------------------------------------------------------------------------------
// Check boxes, selection, colours

void TSceneTree::TreeCheckChange(QTreeWidgetItem* node) {
  if (Ignoring() || !node || !(node->flags() & Qt::ItemIsUserCheckable)) return;
  const bool checked = node->checkState(0) == Qt::Checked;
  const TTreeObject object = ObjectOf(node);
  // itemChanged also reports new texts and icons; only a changed check mark counts.
  bool changed = false;
  TQuiet quiet(*this);
  if (auto* mesh = std::get_if<TObjData*>(&object)) {
    if ((changed = (*mesh)->Visible != checked)) (*mesh)->SetAllVisible(checked);
  } else if (auto* group = std::get_if<TGroup*>(&object)) {
    if ((changed = (*group)->Visible != checked)) (*group)->SetVisible(checked);
  } else if (auto* entry = std::get_if<TGroupMatInfo*>(&object)) {
    if ((changed = (*entry)->Visible != checked)) {
      (*entry)->Visible = checked;
      if ((*entry)->Group) (*entry)->Group->UpdateFaceVisibility();
    }
  } else if (auto* material = std::get_if<TMaterial*>(&object)) {
    if ((changed = (*material)->Visible != checked)) {
      (*material)->SetVisible(checked);
      if ((*material)->Owner) (*material)->Owner->ApplyMaterialVisibility(**material);
    }
  }
  if (!changed) return;
  controller_.Live().UpdateVertexFlags();
  emit RedrawNeeded();
}

void TSceneTree::TreeChange(QTreeWidgetItem* node) {
  if (Ignoring()) return;
  const TTreeObject object = ObjectOf(node);
  if (std::holds_alternative<std::monostate>(object)) {
    if (!controller_.Stack()) panel_.Clear();
  } else if (auto* target = std::get_if<TMorphTarget*>(&object)) {
    if (!controller_.Stack()) dial_.Show(**target);
  } else if (auto* group = std::get_if<TGroup*>(&object)) {
    if (controller_.View().CameraMode == 1) emit GroupTargeted(*group);
  }
}

TSceneChoice TSceneTree::SelectedChoice() const {
  TSceneChoice choice;
  const TTreeObject object = ObjectOf(currentItem());
  if (auto* g = std::get_if<TGroup*>(&object)) choice.Group = *g;
  if (auto* m = std::get_if<TMaterial*>(&object)) choice.Material = *m;
  if (auto* e = std::get_if<TGroupMatInfo*>(&object)) choice.Entry = *e;
  if (auto* t = std::get_if<TMorphTarget*>(&object)) choice.MorphTarget = *t;
  return choice;
}

QRect TSceneTree::IconRect(QTreeWidgetItem* node) const {
  const QRect row = node ? visualItemRect(node) : QRect();
  if (row.isEmpty()) return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = row;
  option.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
  if (node->flags() & Qt::ItemIsUserCheckable) {
    option.features |= QStyleOptionViewItem::HasCheckIndicator;
    option.checkState = node->checkState(0);
  }
  option.icon = node->icon(0);
  option.text = node->text(0);
  option.decorationSize = iconSize();
  option.index = indexFromItem(node);
  return style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
}

void TSceneTree::ChangeColour(QTreeWidgetItem* node) {
  const TTreeObject object = ObjectOf(node);
  TBaseGroup* owner = nullptr;
  if (auto* g = std::get_if<TGroup*>(&object)) owner = *g;
  if (auto* m = std::get_if<TMaterial*>(&object)) owner = *m;
  if (!owner) return;
  const TColourAsk ask = askColour_ ? askColour_ : [this](std::int32_t initial) {
    const QColor c = QColorDialog::getColor(QColorOf(initial), this);
    return c.isValid() ? std::optional<std::int32_t>(ColorValueOf(c)) : std::nullopt;
  };
  const std::optional<std::int32_t> colour = ask(owner->ColorValue);
  if (!colour) return;
  controller_.SetModified(true);
  {
    TQuiet quiet(*this);
    if (owner->ImageIndex >= kBaseImageCount &&
        owner->ImageIndex < static_cast<int>(images_.size())) {
      images_[static_cast<std::size_t>(owner->ImageIndex)] = ColourSwatch(*colour);
      node->setIcon(0, QIcon(images_[static_cast<std::size_t>(owner->ImageIndex)]));
    }
  }
  owner->SetColor(*colour);
  emit RedrawNeeded();
}

void TSceneTree::mousePressEvent(QMouseEvent* event) {
  QTreeWidgetItem* node = itemAt(event->position().toPoint());
  if (event->button() == Qt::RightButton) {
    // A right click selects the node under the mouse before its pop-up menu opens.
    if (node) setCurrentItem(node);
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
  if (event->button() == Qt::LeftButton && node &&
      IconRect(node).contains(event->position().toPoint()))
    ChangeColour(node);
}

// ---------------------------------------------------------------------------------------------
// Pop-up menus

std::unique_ptr<QMenu> TSceneTree::BuildPopupMenu(QTreeWidgetItem* node) {
  if (!node) return nullptr;
  auto menu = std::make_unique<QMenu>(this);
  const TStackMng* stack = controller_.Stack();
  const TStackTarget* target = stack ? stack->Target : nullptr;

  // The kinds offered for this kind of object, after a separator when the menu has entries.
  auto addKinds = [&](int bit, const TGroup* lockable) {
    if (!target) return;
    bool first = true;
    target->Commands.ForEach([&](const TCommandDescriptor& kind) {
      if (!kind.HasFlag(bit)) return;
      if (first && !menu->actions().isEmpty()) menu->addSeparator();
      first = false;
      QAction* entry = menu->addAction(FromLatin1(kind.Name));
      if (lockable) {
        if (kind.HasFlag(flags::kOnlyUnlockedGroup) && !lockable->Unlocked)
          entry->setEnabled(false);
        if (kind.HasFlag(flags::kOnlyLockedGroup) && lockable->Unlocked) entry->setEnabled(false);
      }
      const TCommandDescriptor* chosen = &kind;
      connect(entry, &QAction::triggered, this,
              [this, chosen] { emit AddCommandChosen(chosen, popup_); });
    });
  };

  const TTreeObject object = ObjectOf(node);
  if (FolderOf(node) == kFolderMorphTargets) {
    auto* group = ObjectAs<TGroup>(node->parent());
    popup_.Group = group;
    connect(menu->addAction(QStringLiteral("Import Poser Morph target")), &QAction::triggered, this,
            [this, group] { emit ImportMorphTargetChosen(group); });
  } else if (auto* mesh = std::get_if<TObjData*>(&object)) {
    TObjData* m = *mesh;
    connect(menu->addAction(QStringLiteral("Export all targets...")), &QAction::triggered, this,
            [this, m] { emit ExportAllTargetsChosen(m); });
  } else if (auto* group = std::get_if<TGroup*>(&object)) {
    popup_.Group = *group;
    addKinds(flags::kGroupMenu, *group);
  } else if (auto* material = std::get_if<TMaterial*>(&object)) {
    popup_.Material = *material;
    addKinds(flags::kMaterialMenu, nullptr);
  } else if (auto* entry = std::get_if<TGroupMatInfo*>(&object)) {
    popup_.Entry = *entry;
    addKinds(flags::kGroupMatMenu, nullptr);
  } else if (auto* morph = std::get_if<TMorphTarget*>(&object)) {
    TMorphTarget* t = *morph;
    popup_.MorphTarget = t;
    connect(menu->addAction(QStringLiteral("Export Morph target")), &QAction::triggered, this,
            [this, t] { emit ExportMorphTargetChosen(t); });
    addKinds(flags::kMorphTargetMenu, nullptr);
  }
  if (menu->actions().isEmpty()) return nullptr;
  return menu;
}

void TSceneTree::contextMenuEvent(QContextMenuEvent* event) {
  QTreeWidgetItem* node = currentItem();
  if (event->reason() == QContextMenuEvent::Mouse) {
    node = itemAt(event->pos());
    if (node && node != currentItem()) setCurrentItem(node);
  }
  if (std::unique_ptr<QMenu> menu = BuildPopupMenu(node)) menu->exec(event->globalPos());
}

}  // namespace tarvel
