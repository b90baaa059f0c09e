// The scene tree and the command list over a headless stack controller: the stack tests' fake
// window, whose command list is also mirrored into a real TCommandList, and the small figure of
// the stack tests loaded into the live edit state.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTreeWidgetItem>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "app/CommandList.h"
#include "app/SceneTree.h"
#include "stack/EditStateFixture.h"
#include "stack/FakeWindow.h"

namespace tarvel::test {

class TListWindow : public TFakeWindow {
 public:
  void ListClear() override {
    TFakeWindow::ListClear();
    if (List) List->ListClear();
  }
  void ListInsert(int index, std::string_view text) override {
    TFakeWindow::ListInsert(index, text);
    if (List) List->ListInsert(index, text);
  }
  void ListRemove(int index) override {
    TFakeWindow::ListRemove(index);
    if (List) List->ListRemove(index);
  }
  void ListSetText(int index, std::string_view text) override {
    TFakeWindow::ListSetText(index, text);
    if (List) List->ListSetText(index, text);
  }
  void ListSelect(int index) override {
    TFakeWindow::ListSelect(index);
    if (List) List->ListSelect(index);
  }
  void RebuildSceneTree() override {
    TFakeWindow::RebuildSceneTree();
    if (Tree) Tree->RebuildTree();
  }
  TCommandList* List = nullptr;
  TSceneTree* Tree = nullptr;
};

class TTreeFixture : public ::testing::Test {
 protected:
  TTreeFixture() {
    window.List = &list;
    window.Tree = &tree;
    mesh = &AddMesh(controller.Live(), dir, kFigure);
    tree.RebuildTree();
  }

  TGroup& Group(int i) { return *mesh->Groups[i]; }
  TMaterial& Material(int i) { return *mesh->Materials[i]; }
  static QTreeWidgetItem* Node(void* treeNode) { return TSceneTree::NodeOf(treeNode); }
  static const TStackTarget& Target() { return *StackTargets()[0]; }

  // A morph target of the group that moves every vertex up by 1.
  TMorphTarget& AddMorphTarget(TGroup& g, const std::string& name) {
    auto target = std::make_unique<TMorphTarget>(&g);
    target->Name = name;
    target->Id = g.NewMorphTargetId();
    for (const TGroupVertex& e : g.Vertices) {
      TBaseVertex p = e.Shaped;
      p.Y += 1;
      target->Positions.Add(p);
    }
    return *g.MorphTargets.Add(std::move(target));
  }

  // Shows the tree with every node expanded, so that nodes have places on screen.
  void ShowExpanded() {
    tree.resize(300, 600);
    tree.expandAll();
    tree.show();
    QApplication::processEvents();
  }

  TTempDir dir;
  TListWindow window;
  TStackController controller{window};
  TSceneTree tree{controller, window.Params};
  TCommandList list{controller};
  TObjData* mesh = nullptr;
};

}  // namespace tarvel::test
