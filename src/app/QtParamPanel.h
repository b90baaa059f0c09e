// The parameter panel with real widgets: the scroll box below the command list on which the
// current command builds its controls. Controls are placed at the pixel positions the commands
// give; the panel's content grows to hold them all, so the scroll box scrolls over them.
//
// Changes made by the program (SetValue, SetChecked) never fire a control's change handler;
// only the user's edits and clicks do.
#pragma once

#include <QScrollArea>
#include <memory>
#include <string_view>
#include <vector>

#include "stack/ParamPanel.h"

class QButtonGroup;

namespace tarvel {

class TQtParamPanel;

// One control of the panel: the widget it shows and the interface the commands use.
class TQtControl : public virtual IParamControl {
 public:
  explicit TQtControl(QWidget* widget) : widget_(widget) {}
  ~TQtControl() override;
  TQtControl(const TQtControl&) = delete;
  TQtControl& operator=(const TQtControl&) = delete;

  TRect Bounds() const override;
  void SetBounds(const TRect& bounds) override;
  void SetEnabled(bool enabled) override;
  QWidget* Widget() const { return widget_; }
  void SetPanel(TQtParamPanel* panel) { panel_ = panel; }

 private:
  QWidget* widget_;  // owned by the panel's content widget; freed with this control
  TQtParamPanel* panel_ = nullptr;
};

class TQtParamPanel : public QScrollArea, public IParamPanel {
  Q_OBJECT

 public:
  explicit TQtParamPanel(QWidget* parent = nullptr);
  ~TQtParamPanel() override;

  void Clear() override;
  int TextWidth(std::string_view text) const override;
  int LabelHeight() const override;
  int EditHeight() const override;

  ILabel& AddLabel(int x, int y, std::string_view text) override;
  INumberEdit& AddNumberEdit(const TRect& bounds) override;
  ICheckBox& AddCheckBox(int x, int y, std::string_view text) override;
  IRadioButton& AddRadioButton(int x, int y, std::string_view text, int group) override;
  IButton& AddButton(const TRect& bounds, std::string_view text) override;
  ITextLine& AddTextLine(const TRect& bounds, std::string_view text) override;
  ICurvePreview& AddCurvePreview(const TRect& bounds) override;

  // The controls since the last Clear, in creation order.
  const std::vector<std::unique_ptr<TQtControl>>& Controls() const { return controls_; }
  // The widget the controls sit on.
  QWidget* Content() const { return content_; }
  // Grows the content to hold every control (the controls call it when they move).
  void FitContent();

 private:
  template <class T>
  T& Add(std::unique_ptr<T> control);
  QButtonGroup* RadioGroup(int group);

  QWidget* content_;
  std::vector<std::unique_ptr<TQtControl>> controls_;
  std::vector<std::pair<int, QButtonGroup*>> radioGroups_;
};

}  // namespace tarvel
