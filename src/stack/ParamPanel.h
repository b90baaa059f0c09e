// The parameter panel that commands build their controls on. The window implements it with
// real widgets; tests implement it with fakes. Every control carries the command that made it
// as its tag and reports changes through the handler it was given.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel {

class TStackCommand;
class IParamControl;

// Called with the control whose value changed or that was clicked.
using TChangeHandler = std::function<void(IParamControl& sender)>;

struct TRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRect&) const = default;
};

class IParamControl {
 public:
  virtual ~IParamControl() = default;
  virtual TRect Bounds() const = 0;
  virtual void SetBounds(const TRect& bounds) = 0;
  virtual void SetEnabled(bool enabled) = 0;

  TStackCommand* Tag = nullptr;
  TChangeHandler OnChange;
  // Fires OnChange; the widget calls this when the user changes or clicks it.
  void Changed() {
    if (OnChange) OnChange(*this);
  }
};

class ILabel : public virtual IParamControl {
 public:
  virtual void SetText(std::string_view text) = 0;
};

class INumberEdit : public virtual IParamControl {
 public:
  virtual double Value() const = 0;
  virtual void SetValue(double value) = 0;
  // True while the user has emptied the field; commands ignore such a change.
  virtual bool IsBlank() const { return false; }
  virtual void SetDecimals(int decimals) = 0;
  virtual void SetStep(double step) = 0;
  virtual void SetRange(double minimum, double maximum) = 0;
};

class ICheckBox : public virtual IParamControl {
 public:
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
};

// Radio buttons of one group exclude each other.
class IRadioButton : public virtual IParamControl {
 public:
  virtual bool Checked() const = 0;
  virtual void SetChecked(bool checked) = 0;
};

class IButton : public virtual IParamControl {};

// A read-only line of text, such as a command's report.
class ITextLine : public virtual IParamControl {
 public:
  virtual void SetText(std::string_view text) = 0;
};

// A point in pixels from the top-left corner of a control.
struct TPixelPoint {
  int X = 0, Y = 0;
  bool operator==(const TPixelPoint&) const = default;
};

// A small plot of a fall-off curve on a white background: the points, in the control's own
// pixels (its Bounds give the size), joined by red lines in order.
class ICurvePreview : public virtual IParamControl {
 public:
  virtual void SetPoints(const std::vector<TPixelPoint>& points) = 0;
};

class IParamPanel {
 public:
  virtual ~IParamPanel() = default;
  // Removes every control.
  virtual void Clear() = 0;
  // Width in pixels of a label showing this text.
  virtual int TextWidth(std::string_view text) const = 0;
  // Height in pixels of a label and of a numeric edit.
  virtual int LabelHeight() const = 0;
  virtual int EditHeight() const = 0;

  // Controls are owned by the panel and live until the next Clear.
  virtual ILabel& AddLabel(int x, int y, std::string_view text) = 0;
  virtual INumberEdit& AddNumberEdit(const TRect& bounds) = 0;
  virtual ICheckBox& AddCheckBox(int x, int y, std::string_view text) = 0;
  virtual IRadioButton& AddRadioButton(int x, int y, std::string_view text, int group) = 0;
  virtual IButton& AddButton(const TRect& bounds, std::string_view text) = 0;
  virtual ITextLine& AddTextLine(const TRect& bounds, std::string_view text) = 0;
  virtual ICurvePreview& AddCurvePreview(const TRect& bounds) = 0;
};

// The parameter-control factory. A label at (x, y), then a numeric edit to its right: at the
// label's right edge + 3, or at the alignment column when that is further right (the column
// is raised to it, so the edits of one panel line up under the widest label). The edit is 70
// wide, vertically centred on the label, shows 4 decimals and steps by 0.0001 (coordinates)
// or 0.01 (ratios). The caller sets the value; tag and handler are set here.
INumberEdit& CoordinateEdit(IParamPanel& panel, int x, int y, int& column, std::string_view label,
                            TStackCommand* tag, const TChangeHandler& onChange);
INumberEdit& RatioEdit(IParamPanel& panel, int x, int y, int& column, std::string_view label,
                       TStackCommand* tag, const TChangeHandler& onChange);

}  // namespace tarvel
