#include "app/QtParamPanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>
#include <limits>

namespace tarvel {

namespace {

QString Text(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QRect ToQRect(const TRect& r) { return {r.Left, r.Top, r.Width, r.Height}; }

// A spin edit whose change event fires on every edit of its text, as the user types; an emptied
// field (or a lone "-") fires too and reports itself blank.
class TSpinEdit : public QDoubleSpinBox {
 public:
  explicit TSpinEdit(QWidget* parent) : QDoubleSpinBox(parent) {
    // "." is the decimal point under every locale, and no group separators.
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::OmitGroupSeparator);
    setLocale(c);
    setRange(-1e9, 1e9);
    setAccelerated(true);
  }
  QLineEdit* Line() const { return lineEdit(); }
  bool Blank() const {
    const QString t = cleanText().trimmed();
    return t.isEmpty() || t == QLatin1String("-");
  }
};

// A label as wide as its text, whatever text it gets later ("Vertex: 17136" after "Vertex: 0").
class TQtLabel : public TQtControl, public ILabel {
 public:
  explicit TQtLabel(QLabel* label) : TQtControl(label), label_(label) {}
  void SetText(std::string_view text) override {
    label_->setText(Text(text));
    label_->resize(label_->fontMetrics().horizontalAdvance(label_->text()), label_->height());
  }

 private:
  QLabel* label_;
};

class TQtNumberEdit : public TQtControl, public INumberEdit {
 public:
  explicit TQtNumberEdit(TSpinEdit* edit) : TQtControl(edit), edit_(edit) {
    QObject::connect(edit, &QDoubleSpinBox::valueChanged, [this](double) { Changed(); });
    QObject::connect(edit->Line(), &QLineEdit::textChanged, [this](const QString&) {
      if (edit_->Blank()) Changed();
    });
  }
  double Value() const override { return edit_->value(); }
  void SetValue(double value) override {
    const QSignalBlocker block(edit_);
    const QSignalBlocker blockLine(edit_->Line());
    edit_->setValue(value);
  }
  bool IsBlank() const override { return edit_->Blank(); }
  void SetDecimals(int decimals) override {
    const QSignalBlocker block(edit_);
    const QSignalBlocker blockLine(edit_->Line());
    edit_->setDecimals(decimals);
  }
  void SetStep(double step) override { edit_->setSingleStep(step); }
  void SetRange(double minimum, double maximum) override {
    const QSignalBlocker block(edit_);
    const QSignalBlocker blockLine(edit_->Line());
    edit_->setRange(minimum, maximum);
  }

 private:
  TSpinEdit* edit_;
};

class TQtCheckBox : public TQtControl, public ICheckBox {
 public:
  explicit TQtCheckBox(QCheckBox* box) : TQtControl(box), box_(box) {
    QObject::connect(box, &QCheckBox::toggled, [this](bool) { Changed(); });
  }
  bool Checked() const override { return box_->isChecked(); }
  void SetChecked(bool checked) override {
    const QSignalBlocker block(box_);
    box_->setChecked(checked);
  }

 private:
  QCheckBox* box_;
};

class TQtRadioButton : public TQtControl, public IRadioButton {
 public:
  TQtRadioButton(QRadioButton* button, QButtonGroup* group)
      : TQtControl(button), button_(button), group_(group) {
    QObject::connect(button, &QRadioButton::toggled, [this](bool) { Changed(); });
  }
  bool Checked() const override { return button_->isChecked(); }
  void SetChecked(bool checked) override {
    // The group keeps one button checked; the button losing its check reports nothing either.
    for (QAbstractButton* b : group_->buttons()) b->blockSignals(true);
    if (checked) {
      button_->setChecked(true);
    } else {
      group_->setExclusive(false);
      button_->setChecked(false);
      group_->setExclusive(true);
    }
    for (QAbstractButton* b : group_->buttons()) b->blockSignals(false);
  }

 private:
  QRadioButton* button_;
  QButtonGroup* group_;
};

class TQtButton : public TQtControl, public IButton {
 public:
  explicit TQtButton(QPushButton* button) : TQtControl(button) {
    QObject::connect(button, &QPushButton::clicked, [this] { Changed(); });
  }
};

class TQtTextLine : public TQtControl, public ITextLine {
 public:
  explicit TQtTextLine(QLabel* label) : TQtControl(label), label_(label), width_(label->width()) {}
  // The line keeps its width and grows when a longer text would be cut.
  void SetText(std::string_view text) override {
    label_->setText(Text(text));
    const int needed = label_->fontMetrics().horizontalAdvance(label_->text());
    label_->resize(std::max(width_, needed), label_->height());
  }

 private:
  QLabel* label_;
  int width_;
};

// A white plot with the curve's points joined by red lines.
class TCurveWidget : public QWidget {
 public:
  using QWidget::QWidget;
  std::vector<TPixelPoint> Points;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    p.setPen(QPen(Qt::red, 1));
    for (std::size_t i = 1; i < Points.size(); ++i)
      p.drawLine(Points[i - 1].X, Points[i - 1].Y, Points[i].X, Points[i].Y);
  }
};

class TQtCurvePreview : public TQtControl, public ICurvePreview {
 public:
  explicit TQtCurvePreview(TCurveWidget* widget) : TQtControl(widget), widget_(widget) {}
  void SetPoints(const std::vector<TPixelPoint>& points) override {
    widget_->Points = points;
    widget_->update();
  }

 private:
  TCurveWidget* widget_;
};

}  // namespace

TQtControl::~TQtControl() {
  // The widget may be the sender of the signal being handled right now: it stops talking to
  // this control at once and goes away when control returns to the event loop.
  widget_->disconnect();
  widget_->hide();
  widget_->deleteLater();
}

TRect TQtControl::Bounds() const {
  const QRect g = widget_->geometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

void TQtControl::SetBounds(const TRect& bounds) {
  widget_->setGeometry(ToQRect(bounds));
  if (panel_) panel_->FitContent();
}

void TQtControl::SetEnabled(bool enabled) { widget_->setEnabled(enabled); }

TQtParamPanel::TQtParamPanel(QWidget* parent) : QScrollArea(parent), content_(new QWidget) {
  setObjectName("ParamPanel");
  setWidget(content_);
  setWidgetResizable(false);
  content_->resize(0, 0);
}

TQtParamPanel::~TQtParamPanel() { Clear(); }

void TQtParamPanel::Clear() {
  // Last control first.
  while (!controls_.empty()) controls_.pop_back();
  for (auto& [group, buttons] : radioGroups_) buttons->deleteLater();
  radioGroups_.clear();
  content_->resize(0, 0);
}

int TQtParamPanel::TextWidth(std::string_view text) const {
  return content_->fontMetrics().horizontalAdvance(Text(text));
}

int TQtParamPanel::LabelHeight() const { return content_->fontMetrics().height(); }

int TQtParamPanel::EditHeight() const {
  static int height = 0;
  if (height == 0) {
    TSpinEdit probe(nullptr);
    height = probe.sizeHint().height();
  }
  return height;
}

void TQtParamPanel::FitContent() {
  int right = 0, bottom = 0;
  for (const auto& c : controls_) {
    const TRect b = c->Bounds();
    right = std::max(right, b.Right());
    bottom = std::max(bottom, b.Bottom());
  }
  content_->resize(right + 3, bottom + 3);
}

template <class T>
T& TQtParamPanel::Add(std::unique_ptr<T> control) {
  T& ref = *control;
  control->SetPanel(this);
  control->Widget()->show();
  controls_.push_back(std::move(control));
  FitContent();
  return ref;
}

QButtonGroup* TQtParamPanel::RadioGroup(int group) {
  for (auto& [number, buttons] : radioGroups_)
    if (number == group) return buttons;
  auto* buttons = new QButtonGroup(this);
  radioGroups_.emplace_back(group, buttons);
  return buttons;
}

ILabel& TQtParamPanel::AddLabel(int x, int y, std::string_view text) {
  auto* label = new QLabel(Text(text), content_);
  label->setGeometry(x, y, TextWidth(text), LabelHeight());
  return Add(std::make_unique<TQtLabel>(label));
}

INumberEdit& TQtParamPanel::AddNumberEdit(const TRect& bounds) {
  auto* edit = new TSpinEdit(content_);
  edit->setGeometry(ToQRect(bounds));
  return Add(std::make_unique<TQtNumberEdit>(edit));
}

ICheckBox& TQtParamPanel::AddCheckBox(int x, int y, std::string_view text) {
  auto* box = new QCheckBox(Text(text), content_);
  box->move(x, y);
  box->resize(box->sizeHint());
  return Add(std::make_unique<TQtCheckBox>(box));
}

IRadioButton& TQtParamPanel::AddRadioButton(int x, int y, std::string_view text, int group) {
  auto* button = new QRadioButton(Text(text), content_);
  button->move(x, y);
  button->resize(button->sizeHint());
  QButtonGroup* buttons = RadioGroup(group);
  buttons->addButton(button);
  return Add(std::make_unique<TQtRadioButton>(button, buttons));
}

IButton& TQtParamPanel::AddButton(const TRect& bounds, std::string_view text) {
  auto* button = new QPushButton(Text(text), content_);
  button->setGeometry(ToQRect(bounds));
  return Add(std::make_unique<TQtButton>(button));
}

ITextLine& TQtParamPanel::AddTextLine(const TRect& bounds, std::string_view text) {
  auto* label = new QLabel(Text(text), content_);
  label->setGeometry(ToQRect(bounds));
  return Add(std::make_unique<TQtTextLine>(label));
}

ICurvePreview& TQtParamPanel::AddCurvePreview(const TRect& bounds) {
  auto* widget = new TCurveWidget(content_);
  widget->setGeometry(ToQRect(bounds));
  return Add(std::make_unique<TQtCurvePreview>(widget));
}

}  // namespace tarvel
