// The small dialogs of the stack and of morph targets: "Add command in stack" (the tree of
// command kinds), the insert-or-append question, "Add shape interpolation target" and "Create a
// morph target".
//
// Each dialog can be driven without a modal loop: Prepare fills it as it would open, the
// buttons (or accept()/reject()) close it, and the result readers give what it would return.
// Ask does all three with a real modal loop.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "stack/StackController.h"
#include "stack/StackTarget.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tarvel {

// 8-bit names and captions to and from Qt text, byte for byte.
QString FromLatin1(std::string_view text);
std::string ToLatin1(const QString& text);

// "Add command in stack": the target's command kinds under "Padlocks", "Selections",
// "Transformers" and "Modifiers". The chosen kind is kept between openings.
class TFormStackComm : public QDialog {
  Q_OBJECT

 public:
  explicit TFormStackComm(QWidget* parent = nullptr);

  // Refills the tree from the target; the kept choice stays, and its node is selected.
  void Prepare(const TStackTarget& target);
  // Prepare and run: the chosen kind on OK, none on Cancel.
  const TCommandDescriptor* Ask(const TStackTarget& target);
  // The kind chosen last (kept between openings), or none.
  const TCommandDescriptor* Chosen() const { return chosen_; }

  QTreeWidget* Tree() const { return tree_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  // The "Error" box (tests script it).
  std::function<void(const QString& text)> ShowError;

 private:
  void TreeCommChange(QTreeWidgetItem* node);
  void TreeCommDblClick(QTreeWidgetItem* node);
  void BtnOkClick();

  QTreeWidget* tree_;
  QPushButton* ok_;
  QPushButton* cancel_;
  const TCommandDescriptor* chosen_ = nullptr;
  bool filling_ = false;
};

// Where a new command goes when the selected line is not the last one. The choice is kept
// between openings; "add at the end of the stack" at first.
class TFormAddComMode : public QDialog {
  Q_OBJECT

 public:
  explicit TFormAddComMode(QWidget* parent = nullptr);

  TAddMode Ask();
  // Insert or Append from the radio buttons after OK; Cancel otherwise.
  TAddMode Result() const;

  QRadioButton* InsertButton() const { return insert_; }
  QRadioButton* AppendButton() const { return append_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QRadioButton* insert_;
  QRadioButton* append_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// "Add shape interpolation target": the name of an imported morph target, up to 40 characters.
class TFormMtName : public QDialog {
  Q_OBJECT

 public:
  explicit TFormMtName(QWidget* parent = nullptr);

  // Presets the edit.
  void Prepare(std::string_view proposed);
  // The edit's text on OK (untrimmed), none on Cancel.
  std::optional<std::string> Ask(std::string_view proposed);
  std::optional<std::string> Result() const;

  QLineEdit* NameEdit() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// "Create a morph target": the goal's two lines of text and the name of the new target.
class TFormCreateMorph : public QDialog {
  Q_OBJECT

 public:
  explicit TFormCreateMorph(QWidget* parent = nullptr);

  void Prepare(const TMorphNameRequest& request);
  // IMorphNamer's answer: the edit's text on OK, none on Cancel.
  std::optional<std::string> Ask(const TMorphNameRequest& request);
  std::optional<std::string> Result() const;

  QLabel* FirstLine() const { return line1_; }
  QLabel* SecondLine() const { return line2_; }
  QLineEdit* NameEdit() const { return edit_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLabel* line1_;
  QLabel* line2_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace tarvel
