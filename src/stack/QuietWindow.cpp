#include "stack/QuietWindow.h"

namespace tarvel {

namespace {

// Holds what a control is given; nobody looks at it.
template <class Base>
class TQuiet : public Base {
 public:
  TRect Bounds() const override { return bounds_; }
  void SetBounds(const TRect& bounds) override { bounds_ = bounds; }
  void SetEnabled(bool) override {}

 private:
  TRect bounds_;
};

class TQuietText : public TQuiet<ILabel> {
 public:
  void SetText(std::string_view) override {}
};
class TQuietLine : public TQuiet<ITextLine> {
 public:
  void SetText(std::string_view) override {}
};
class TQuietNumber : public TQuiet<INumberEdit> {
 public:
  double Value() const override { return value_; }
  void SetValue(double value) override { value_ = value; }
  void SetDecimals(int) override {}
  void SetStep(double) override {}
  void SetRange(double, double) override {}

 private:
  double value_ = 0;
};
template <class Base>
class TQuietCheck : public TQuiet<Base> {
 public:
  bool Checked() const override { return checked_; }
  void SetChecked(bool checked) override { checked_ = checked; }

 private:
  bool checked_ = false;
};
class TQuietButton : public TQuiet<IButton> {};
class TQuietCurve : public TQuiet<ICurvePreview> {
 public:
  void SetPoints(const std::vector<TPixelPoint>&) override {}
};

}  // namespace

ILabel& TQuietPanel::AddLabel(int, int, std::string_view) {
  return Keep(std::make_unique<TQuietText>());
}
INumberEdit& TQuietPanel::AddNumberEdit(const TRect&) {
  return Keep(std::make_unique<TQuietNumber>());
}
ICheckBox& TQuietPanel::AddCheckBox(int, int, std::string_view) {
  return Keep(std::make_unique<TQuietCheck<ICheckBox>>());
}
IRadioButton& TQuietPanel::AddRadioButton(int, int, std::string_view, int) {
  return Keep(std::make_unique<TQuietCheck<IRadioButton>>());
}
IButton& TQuietPanel::AddButton(const TRect&, std::string_view) {
  return Keep(std::make_unique<TQuietButton>());
}
ITextLine& TQuietPanel::AddTextLine(const TRect&, std::string_view) {
  return Keep(std::make_unique<TQuietLine>());
}
ICurvePreview& TQuietPanel::AddCurvePreview(const TRect&) {
  return Keep(std::make_unique<TQuietCurve>());
}

}  // namespace tarvel
