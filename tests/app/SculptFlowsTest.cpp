// Whole-figure sculpts in the window: "Load full-body morph...", the "Use sculpted shape" tool
// button with its file dialog, and "Export all targets..." from the mesh pop-up and the File menu.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QMenu>
#include <QTest>
#include <QToolButton>
#include <QTreeWidgetItem>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "FormMainFixture.h"
#include "app/FileFlows.h"
#include "app/SceneTree.h"
#include "commands/Sculpt.h"
#include "mesh/ObjReader.h"

namespace tarvel::test {
namespace {

// Takes every proposed name.
class TTakingPrompts : public TScriptedPrompts {
 public:
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
    MorphRequests.push_back(request);
    return request.Proposed;
  }
};

std::string ReadAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class SculptFlowsTest : public TFormMainTest {
 protected:
  TFormMain& Window() {
    TFormMainOptions o = Options();
    o.Prompts = &p;
    form = std::make_unique<TFormMain>(o);
    return *form;
  }
  TStackController& C() { return form->Controller(); }
  QAction* Item(const char* name) { return form->findChild<QAction*>(name); }
  void LoadSample() {
    p.OpenFileAnswers = {QString::fromStdString(SamplePath())};
    Item("MnuLoadObj")->trigger();
    ASSERT_EQ(C().Live().MeshCount(), 1);
  }
  // The sample with the head lifted by 0.02, gzip-compressed; `drop` vertices left out.
  QString WriteSculpt(const std::string& name, int drop = 0) {
    TObjData mesh;
    LoadFromObj(mesh, SamplePath());
    std::set<std::int32_t> head;
    for (const TGroupVertex& e : mesh.GroupByName("head")->Vertices) head.insert(e.VertexIndex);
    std::string text = "# sculpt\n";
    char buf[128];
    for (std::int32_t i = 0; i + drop < mesh.Vertices.Count(); ++i) {
      const TObjVertex& v = mesh.Vertices[i];
      std::snprintf(buf, sizeof buf, "v %.6f %.6f %.6f\n", v.X, v.Y + (head.count(i) ? 0.02 : 0),
                    v.Z);
      text += buf;
    }
    const std::string file = (dir.Path() / name).string();
    gzFile gz = gzopen(file.c_str(), "wb");
    gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
    gzclose(gz);
    return QString::fromStdString(file);
  }
  // The groups of the sample that share a vertex with the head.
  std::set<std::string> GroupsTouchingHead() {
    const TObjData& mesh = *C().Live().Mesh(0);
    std::set<std::int32_t> head;
    for (const TGroupVertex& e : mesh.GroupByName("head")->Vertices) head.insert(e.VertexIndex);
    std::set<std::string> out;
    mesh.Groups.ForEach([&](const TGroup& g) {
      for (const TGroupVertex& e : g.Vertices)
        if (head.count(e.VertexIndex)) out.insert(g.Name);
    });
    return out;
  }
  std::set<std::string> GroupsWithTargets() {
    std::set<std::string> out;
    C().Live().Mesh(0)->Groups.ForEach([&](const TGroup& g) {
      if (g.MorphTargets.Count() > 0) out.insert(g.Name);
    });
    return out;
  }
  QTreeWidgetItem* MeshNode() {
    for (int i = 0; i < form->Tree()->topLevelItemCount(); ++i) {
      QTreeWidgetItem* node = form->Tree()->topLevelItem(i);
      if (std::holds_alternative<TObjData*>(TSceneTree::ObjectOf(node))) return node;
    }
    return nullptr;
  }
  void ChoosePopup(QTreeWidgetItem* node, const QString& caption) {
    ASSERT_NE(node, nullptr);
    std::unique_ptr<QMenu> menu = form->Tree()->BuildPopupMenu(node);
    ASSERT_NE(menu, nullptr);
    for (QAction* a : menu->actions())
      if (a->text() == caption) return a->trigger();
    FAIL() << "no pop-up entry " << caption.toStdString();
  }

  TTakingPrompts p;
};

TEST_F(SculptFlowsTest, FullBodyMorphGivesOneTargetPerChangedGroupInOneClick) {
  Window();
  LoadSample();
  const QString sculpt = WriteSculpt("sculpt.obz");
  p.OpenFileAnswers = {sculpt};
  p.MessageAnswers = {QMessageBox::Yes};  // clear the stack after the goal
  Item("MnuFullBody")->trigger();

  ASSERT_EQ(p.OpenDialogs.size(), 2u);
  EXPECT_EQ(p.OpenDialogs[1].Filter, fileflows::OpenSculpt().Filter);
  EXPECT_EQ(C().Stack(), nullptr);
  EXPECT_EQ(GroupsWithTargets(), GroupsTouchingHead());
  const TGroup& head = *C().Live().Mesh(0)->GroupByName("head");
  ASSERT_EQ(head.MorphTargets.Count(), 1);
  const TMorphTarget& t = *head.MorphTargets[0];
  EXPECT_EQ(t.Name, "head_");
  for (std::int32_t k = 0; k < head.Vertices.Count(); ++k)
    EXPECT_NEAR(t.Positions[k].Y, head.Vertices[k].Shaped.Y + 0.02, 1e-9) << k;
}

TEST_F(SculptFlowsTest, ACompressedFigureOpensByNameAsItsObjDoes) {
  Window();
  // The sample figure, compressed.
  std::ifstream in(SamplePath(), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string file = (dir.Path() / "moved.obz").string();
  gzFile gz = gzopen(file.c_str(), "wb");
  gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  gzclose(gz);
  const QString packed = QString::fromStdString(file);
  ASSERT_TRUE(form->OpenFile(packed));
  ASSERT_EQ(C().Live().MeshCount(), 1);
  EXPECT_EQ(C().Live().Mesh(0)->Name, "moved");
  EXPECT_EQ(C().Live().Mesh(0)->Vertices.Count(), 1950);
  EXPECT_EQ(form->RecentFiles().Items().front(), packed);

  // A sculpt holds only "v " lines: as a figure it holds no geometry and is not remembered.
  const QString sculpt = WriteSculpt("sculpt.obz");
  p.MessageAnswers = {QMessageBox::Ok};
  EXPECT_FALSE(form->OpenFile(sculpt));
  EXPECT_EQ(C().Live().MeshCount(), 1);
  EXPECT_EQ(form->RecentFiles().Items().front(), packed);
}

TEST_F(SculptFlowsTest, FullBodyMorphOfAnotherFigureIsRefusedAndChangesNothing) {
  Window();
  LoadSample();
  p.OpenFileAnswers = {WriteSculpt("short.obz", 1)};
  Item("MnuFullBody")->trigger();
  ASSERT_EQ(p.Messages.size(), 1u);
  EXPECT_EQ(p.Messages[0].Title, "Error");
  EXPECT_EQ(p.Messages[0].Text, "The sculpt has 1949 vertices, the figure 1950");
  EXPECT_EQ(C().Stack(), nullptr);
  EXPECT_TRUE(GroupsWithTargets().empty());
}

TEST_F(SculptFlowsTest, ToolButtonAsksForTheSculptAndAppliesIt) {
  Window();
  LoadSample();
  StartStack();
  QTest::mouseClick(form->ToolButtons(7).at(0), Qt::LeftButton);
  const QString sculpt = WriteSculpt("sculpt.obz");
  p.OpenFileAnswers = {sculpt};
  QTest::mouseClick(form->ToolButtons(TSCUseSculpt::kCommandId).at(0), Qt::LeftButton);
  ASSERT_EQ(p.OpenDialogs.size(), 2u);
  EXPECT_EQ(p.OpenDialogs[1].Title, fileflows::OpenSculpt().Title);
  auto* command = dynamic_cast<TSCUseSculpt*>(C().SelectedCommand());
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->PlainCaption(), "Use sculpted shape sculpt.obz");
  TObjData reference;
  LoadFromObj(reference, SamplePath());
  const TGroup& head = *C().Live().Mesh(0)->GroupByName("head");
  const TObjVertex* v = head.VertexOf(head.Vertices[0]);
  EXPECT_NEAR(v->Y, reference.Vertices[v->Index].Y + 0.02, 1e-9);
}

TEST_F(SculptFlowsTest, ExportAllTargetsWritesGroupFoldersAndAsksOnceBeforeReplacing) {
  Window();
  LoadSample();
  p.OpenFileAnswers = {WriteSculpt("sculpt.obz")};
  p.MessageAnswers = {QMessageBox::Yes};
  Item("MnuFullBody")->trigger();
  const std::set<std::string> groups = GroupsWithTargets();
  ASSERT_FALSE(groups.empty());

  const std::filesystem::path out = dir.Path() / "out";
  std::filesystem::create_directories(out);
  p.FolderAnswers = {QString::fromStdString(out.string())};
  ChoosePopup(MeshNode(), "Export all targets...");
  std::set<std::string> written;
  for (const auto& e : std::filesystem::recursive_directory_iterator(out))
    if (e.is_regular_file()) written.insert(std::filesystem::relative(e.path(), out).string());
  std::set<std::string> expected;
  for (const std::string& g : groups) expected.insert(g + "/" + g + "_.obj");
  EXPECT_EQ(written, expected);
  const std::string file = (out / "head" / "head_.obj").string();
  const std::string bytes = ReadAll(file);

  // Again from the File menu: one question for the whole set; No writes nothing.
  std::filesystem::resize_file(file, 0);
  const std::size_t messages = p.Messages.size();
  p.FolderAnswers = {QString::fromStdString(out.string())};
  p.MessageAnswers = {QMessageBox::No};
  Item("MnuExportAll")->trigger();
  ASSERT_EQ(p.Messages.size(), messages + 1);
  EXPECT_EQ(p.Messages.back().Title, fileflows::kConfirmSaveTitle);
  EXPECT_EQ(std::filesystem::file_size(file), 0u);
  p.FolderAnswers = {QString::fromStdString(out.string())};
  p.MessageAnswers = {QMessageBox::Yes};
  Item("MnuExportAll")->trigger();
  EXPECT_EQ(p.Messages.size(), messages + 2);
  EXPECT_EQ(ReadAll(file), bytes);
}

}  // namespace
}  // namespace tarvel::test
