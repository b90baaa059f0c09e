// The stack and morph-target dialogs, driven with scripted answers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "app/StackDialogs.h"
#include "commands/Kinds.h"

namespace tarvel {
namespace {

const TStackTarget& Target() { return *StackTargets()[0]; }

std::vector<std::string> Texts(const QTreeWidgetItem* node) {
  std::vector<std::string> out;
  for (int i = 0; i < node->childCount(); ++i) out.push_back(node->child(i)->text(0).toStdString());
  return out;
}

QTreeWidgetItem* KindNode(QTreeWidget& tree, const QString& name) {
  const auto found = tree.findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
  return found.isEmpty() ? nullptr : found[0];
}

// Clicks a dialog button as soon as the modal loop runs.
void ClickWhenShown(QPushButton* button) {
  QTimer::singleShot(0, button, [button] { button->click(); });
}

class TFormStackCommTest : public ::testing::Test {
 protected:
  TFormStackCommTest() {
    form.ShowError = [this](const QString& text) { errors.push_back(text.toStdString()); };
  }
  TFormStackComm form;
  std::vector<std::string> errors;
};

// Each heading is a command page and lists, in registry order, the target's kinds of that page.
TEST_F(TFormStackCommTest, TreeListsTheKindsOfTheTargetUnderTheirPages) {
  form.Prepare(Target());
  QTreeWidget& tree = *form.Tree();
  const std::span<const TCommandPage> pages = CommandPages();
  ASSERT_EQ(tree.topLevelItemCount(), static_cast<int>(pages.size()));
  std::size_t listed = 0;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    QTreeWidgetItem* root = tree.topLevelItem(static_cast<int>(i));
    EXPECT_EQ(root->text(0).toStdString(), pages[i].Caption);
    EXPECT_TRUE(root->isExpanded()) << pages[i].Caption;
    std::vector<std::string> kinds;
    Target().Commands.ForEach([&](const TCommandDescriptor& kind) {
      if (kind.HasFlag(pages[i].Bit)) kinds.push_back(kind.Name);
    });
    EXPECT_FALSE(kinds.empty()) << pages[i].Caption;
    EXPECT_EQ(Texts(root), kinds) << pages[i].Caption;
    listed += kinds.size();
  }
  // Every kind with a tool button can be added from the dialog.
  EXPECT_EQ(listed, static_cast<std::size_t>(
                        std::count_if(CommandKinds().begin(), CommandKinds().end(),
                                      [](const TKindInfo& k) { return k.Picture != nullptr; })));
  EXPECT_EQ(form.windowTitle(), "Add command in stack");
  EXPECT_EQ(form.OkButton()->text(), "&Ok");
  EXPECT_EQ(form.CancelButton()->text(), "&Cancel");
  EXPECT_TRUE(form.OkButton()->isDefault());
  EXPECT_EQ(form.size(), QSize(272, 341));
}

TEST_F(TFormStackCommTest, OkNeedsAChosenKindAndTheChoiceIsKept) {
  form.Prepare(Target());
  EXPECT_EQ(form.Chosen(), nullptr);
  form.OkButton()->click();
  EXPECT_EQ(errors, std::vector<std::string>{"You must choose a command!"});
  EXPECT_EQ(form.result(), QDialog::Rejected);

  // A heading records no kind.
  form.Tree()->setCurrentItem(form.Tree()->topLevelItem(2));
  form.OkButton()->click();
  EXPECT_EQ(errors.size(), 2u);

  form.Tree()->setCurrentItem(KindNode(*form.Tree(), "Rotate"));
  form.OkButton()->click();
  EXPECT_TRUE(errors.size() == 2u);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  ASSERT_NE(form.Chosen(), nullptr);
  EXPECT_EQ(form.Chosen()->CommandId, 102);

  // Opened again, Ok at once takes the same kind; filling the tree does not lose it.
  ClickWhenShown(form.OkButton());
  const TCommandDescriptor* again = form.Ask(Target());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->CommandId, 102);
  EXPECT_EQ(form.Tree()->currentItem(), KindNode(*form.Tree(), "Rotate"));
  EXPECT_EQ(errors.size(), 2u);

  ClickWhenShown(form.CancelButton());
  EXPECT_EQ(form.Ask(Target()), nullptr);
}

TEST_F(TFormStackCommTest, DoubleClickOnAKindClosesWithOk) {
  form.Prepare(Target());
  form.resize(272, 600);
  form.show();
  QApplication::processEvents();
  QTreeWidget& tree = *form.Tree();

  QTreeWidgetItem* heading = tree.topLevelItem(3);
  QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(heading).center());
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Chosen(), nullptr);

  QTreeWidgetItem* mirror = KindNode(tree, "Mirror selection");
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(mirror).center());
  QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, tree.visualItemRect(mirror).center());
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  ASSERT_NE(form.Chosen(), nullptr);
  EXPECT_EQ(form.Chosen()->CommandId, 1500);
}

TEST(FormAddComModeTest, AppendsAtFirstAndKeepsTheChoice) {
  TFormAddComMode form;
  EXPECT_EQ(form.windowTitle(), "Add command in stack");
  EXPECT_FALSE(form.findChildren<QLabel*>().isEmpty());
  EXPECT_EQ(form.findChildren<QLabel*>()[0]->text(), "Choose where the command  will be added:");
  EXPECT_EQ(form.InsertButton()->text(), "insert in the actual position of the stack");
  EXPECT_EQ(form.AppendButton()->text(), "add at the end of the stack");
  EXPECT_TRUE(form.AppendButton()->isChecked());

  ClickWhenShown(form.OkButton());
  EXPECT_EQ(form.Ask(), TAddMode::Append);

  form.InsertButton()->setChecked(true);
  ClickWhenShown(form.OkButton());
  EXPECT_EQ(form.Ask(), TAddMode::Insert);
  EXPECT_TRUE(form.InsertButton()->isChecked());  // kept for the next time
  ClickWhenShown(form.CancelButton());
  EXPECT_EQ(form.Ask(), TAddMode::Cancel);
  ClickWhenShown(form.OkButton());
  EXPECT_EQ(form.Ask(), TAddMode::Insert);
}

TEST(FormMtNameTest, NameIsPresetLimitedTo40AndFocused) {
  TFormMtName form;
  EXPECT_EQ(form.windowTitle(), "Add shape interpolation target");
  form.Prepare("smile");
  EXPECT_EQ(form.NameEdit()->text(), "smile");
  form.show();
  QApplication::processEvents();
  EXPECT_EQ(form.focusWidget(), form.NameEdit());

  form.NameEdit()->clear();
  QTest::keyClicks(form.NameEdit(), QString(45, QLatin1Char('a')));
  EXPECT_EQ(form.NameEdit()->text().size(), 40);
  form.OkButton()->click();
  EXPECT_EQ(form.Result(), std::optional<std::string>(std::string(40, 'a')));

  ClickWhenShown(form.CancelButton());
  EXPECT_EQ(form.Ask("frown"), std::nullopt);
  EXPECT_EQ(form.NameEdit()->text(), "frown");
  ClickWhenShown(form.OkButton());
  EXPECT_EQ(form.Ask("caf\xe9  "), std::optional<std::string>("caf\xe9  "));
}

TEST(FormCreateMorphTest, ShowsTheGoalsLinesAndReturnsTheName) {
  TFormCreateMorph form;
  EXPECT_EQ(form.windowTitle(), "Create a morph target");
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
  const TMorphNameRequest request{"Create a morph target", "Mesh:figure", "Morph 2 of 3", "left_"};
  form.Prepare(request);
  EXPECT_EQ(form.FirstLine()->text(), "Mesh:figure");
  EXPECT_EQ(form.SecondLine()->text(), "Morph 2 of 3");
  EXPECT_EQ(form.NameEdit()->text(), "left_");

  ClickWhenShown(form.OkButton());
  EXPECT_EQ(form.Ask(request), std::optional<std::string>("left_"));
  form.Prepare(request);
  form.NameEdit()->setText("bend");
  form.OkButton()->click();
  EXPECT_EQ(form.Result(), std::optional<std::string>("bend"));
  ClickWhenShown(form.CancelButton());
  EXPECT_EQ(form.Ask(request), std::nullopt);
}

}  // namespace
}  // namespace tarvel
