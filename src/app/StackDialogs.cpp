#include "app/StackDialogs.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "commands/Kinds.h"

namespace tarvel {

QString FromLatin1(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLatin1(const QString& text) { return text.toLatin1().toStdString(); }

namespace {

constexpr int kDescriptorRole = Qt::UserRole;

void CentreOnDesktop(QWidget& w) {
  QScreen* screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect desktop = screen->availableGeometry();
  w.move(desktop.center() - QPoint(w.width() / 2, w.height() / 2));
}

// Runs the dialog modally in the middle of the desktop.
void ExecCentred(QDialog& dialog) {
  CentreOnDesktop(dialog);
  dialog.exec();
}

// The edit's text once the dialog was closed with OK.
std::optional<std::string> AcceptedText(const QDialog& dialog, const QLineEdit& edit) {
  if (dialog.result() != QDialog::Accepted) return std::nullopt;
  return ToLatin1(edit.text());
}

// "&Ok" (the default button) and "&Cancel", right-aligned in a row.
QHBoxLayout* ButtonRow(QDialog& dialog, QPushButton*& ok, QPushButton*& cancel) {
  ok = new QPushButton(QStringLiteral("&Ok"), &dialog);
  cancel = new QPushButton(QStringLiteral("&Cancel"), &dialog);
  ok->setDefault(true);
  auto* row = new QHBoxLayout();
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return row;
}

// A dialog of fixed size without the title bar's system buttons.
constexpr Qt::WindowFlags kNoSystemButtons =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

// ---------------------------------------------------------------------------------------------
// "Add command in stack"

TFormStackComm::TFormStackComm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      tree_(new QTreeWidget(this)) {
  setWindowTitle(QStringLiteral("Add command in stack"));
  tree_->setHeaderHidden(true);
  tree_->setColumnCount(1);
  tree_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree_->setAllColumnsShowFocus(true);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 6);
  layout->addWidget(tree_);
  layout->addLayout(ButtonRow(*this, ok_, cancel_));
  resize(272, 341);

  ShowError = [this](const QString& text) {
    QMessageBox::critical(this, QStringLiteral("Error"), text);
  };
  connect(tree_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node, QTreeWidgetItem*) { TreeCommChange(node); });
  connect(tree_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* node, int) { TreeCommDblClick(node); });
  connect(ok_, &QPushButton::clicked, this, [this] { BtnOkClick(); });
}

void TFormStackComm::Prepare(const TStackTarget& target) {
  setResult(QDialog::Rejected);
  filling_ = true;
  tree_->clear();
  QTreeWidgetItem* keep = nullptr;
  bool offered = false;
  for (const TCommandPage& r : CommandPages()) {
    auto* root = new QTreeWidgetItem(tree_, {QString::fromLatin1(r.Caption)});
    target.Commands.ForEach([&](const TCommandDescriptor& kind) {
      if (!kind.HasFlag(r.Bit)) return;
      auto* node = new QTreeWidgetItem(root, {FromLatin1(kind.Name)});
      node->setData(0, kDescriptorRole, QVariant::fromValue(reinterpret_cast<quintptr>(&kind)));
      if (&kind == chosen_) {
        keep = node;
        offered = true;
      }
    });
  }
  tree_->expandAll();
  // A choice this target does not offer is no choice.
  if (!offered) chosen_ = nullptr;
  if (keep) tree_->setCurrentItem(keep);
  filling_ = false;
}

const TCommandDescriptor* TFormStackComm::Ask(const TStackTarget& target) {
  Prepare(target);
  ExecCentred(*this);
  return result() == QDialog::Accepted ? chosen_ : nullptr;
}

void TFormStackComm::TreeCommChange(QTreeWidgetItem* node) {
  if (filling_) return;
  chosen_ = node ? reinterpret_cast<const TCommandDescriptor*>(
                       node->data(0, kDescriptorRole).value<quintptr>())
                 : nullptr;
}

void TFormStackComm::TreeCommDblClick(QTreeWidgetItem* node) {
  if (node && chosen_) accept();
}

void TFormStackComm::BtnOkClick() {
  if (chosen_) {
    accept();
    return;
  }
  if (ShowError) ShowError(QStringLiteral("You must choose a command!"));
}

// ---------------------------------------------------------------------------------------------
// Insert or append

TFormAddComMode::TFormAddComMode(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      insert_(new QRadioButton(QStringLiteral("insert in the actual position of the stack"), this)),
      append_(new QRadioButton(QStringLiteral("add at the end of the stack"), this)) {
  setWindowTitle(QStringLiteral("Add command in stack"));
  append_->setChecked(true);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(new QLabel(QStringLiteral("Choose where the command  will be added:"), this));
  layout->addWidget(insert_);
  layout->addWidget(append_);
  layout->addSpacing(6);
  layout->addLayout(ButtonRow(*this, ok_, cancel_));
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

TAddMode TFormAddComMode::Ask() {
  ExecCentred(*this);
  return Result();
}

TAddMode TFormAddComMode::Result() const {
  if (result() != QDialog::Accepted) return TAddMode::Cancel;
  return insert_->isChecked() ? TAddMode::Insert : TAddMode::Append;
}

// ---------------------------------------------------------------------------------------------
// "Add shape interpolation target"

TFormMtName::TFormMtName(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), edit_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Add shape interpolation target"));
  edit_->setMaxLength(40);
  edit_->setMinimumWidth(220);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(new QLabel(QStringLiteral("Name of morph target:"), this));
  layout->addWidget(edit_);
  layout->addSpacing(6);
  layout->addLayout(ButtonRow(*this, ok_, cancel_));
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormMtName::Prepare(std::string_view proposed) {
  setResult(QDialog::Rejected);
  edit_->setText(FromLatin1(proposed));
}

std::optional<std::string> TFormMtName::Ask(std::string_view proposed) {
  Prepare(proposed);
  ExecCentred(*this);
  return Result();
}

std::optional<std::string> TFormMtName::Result() const { return AcceptedText(*this, *edit_); }

void TFormMtName::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  edit_->setFocus();
  edit_->selectAll();
}

// ---------------------------------------------------------------------------------------------
// "Create a morph target"

TFormCreateMorph::TFormCreateMorph(QWidget* parent)
    : QDialog(parent, kNoSystemButtons | Qt::MSWindowsFixedSizeDialogHint),
      line1_(new QLabel(this)),
      line2_(new QLabel(this)),
      edit_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Create a morph target"));
  edit_->setMinimumWidth(200);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addWidget(line1_);
  layout->addWidget(line2_);
  layout->addSpacing(4);
  auto* name = new QHBoxLayout();
  name->addWidget(new QLabel(QStringLiteral("Name:"), this));
  name->addWidget(edit_, 1);
  layout->addLayout(name);
  layout->addSpacing(6);
  layout->addLayout(ButtonRow(*this, ok_, cancel_));
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormCreateMorph::Prepare(const TMorphNameRequest& request) {
  setResult(QDialog::Rejected);
  line1_->setText(FromLatin1(request.MeshLine));
  line2_->setText(FromLatin1(request.CountLine));
  edit_->setText(FromLatin1(request.Proposed));
  edit_->setFocus();
}

std::optional<std::string> TFormCreateMorph::Ask(const TMorphNameRequest& request) {
  Prepare(request);
  ExecCentred(*this);
  return Result();
}

std::optional<std::string> TFormCreateMorph::Result() const { return AcceptedText(*this, *edit_); }

}  // namespace tarvel
