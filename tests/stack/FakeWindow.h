// Scripted stand-ins for the main window around the stack: a parameter panel whose controls
// remember what they were given, and a window that records the command list, answers its
// questions from queues and counts what it was asked to do.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "stack/ParamPanel.h"
#include "stack/StackController.h"

namespace tarvel::test {

// What every fake control keeps.
class TFakeControl : public virtual IParamControl {
 public:
  TRect Bounds() const override { return bounds_; }
  void SetBounds(const TRect& bounds) override { bounds_ = bounds; }
  void SetEnabled(bool enabled) override { Enabled = enabled; }
  bool Enabled = true;

 private:
  TRect bounds_;
};

class TFakeLabel : public TFakeControl, public ILabel {
 public:
  void SetText(std::string_view text) override { Text = text; }
  std::string Text;
};

class TFakeNumberEdit : public TFakeControl, public INumberEdit {
 public:
  double Value() const override { return value_; }
  void SetValue(double value) override { value_ = value; }
  void SetDecimals(int decimals) override { Decimals = decimals; }
  void SetStep(double step) override { Step = step; }
  void SetRange(double minimum, double maximum) override {
    Minimum = minimum;
    Maximum = maximum;
  }
  // As the user typing a value: the value, then the change event.
  void Type(double value) {
    SetValue(value);
    Changed();
  }
  int Decimals = -1;
  double Step = 0;
  double Minimum = 0, Maximum = 0;

 private:
  double value_ = 0;
};

class TFakeCheckBox : public TFakeControl, public ICheckBox {
 public:
  bool Checked() const override { return checked_; }
  void SetChecked(bool checked) override { checked_ = checked; }
  std::string Text;

 private:
  bool checked_ = false;
};

class TFakeRadioButton : public TFakeControl, public IRadioButton {
 public:
  bool Checked() const override { return checked_; }
  void SetChecked(bool checked) override { checked_ = checked; }
  std::string Text;
  int Group = 0;

 private:
  bool checked_ = false;
};

class TFakeButton : public TFakeControl, public IButton {
 public:
  std::string Text;
};

class TFakeTextLine : public TFakeControl, public ITextLine {
 public:
  void SetText(std::string_view text) override { Text = text; }
  std::string Text;
};

class TFakeCurvePreview : public TFakeControl, public ICurvePreview {
 public:
  void SetPoints(const std::vector<TPixelPoint>& points) override { Points = points; }
  std::vector<TPixelPoint> Points;
};

// Labels are 6 px per character and 13 px high; numeric edits are 21 px high.
class TFakePanel : public IParamPanel {
 public:
  static constexpr int kCharWidth = 6;
  static constexpr int kLabelHeight = 13;
  static constexpr int kEditHeight = 21;

  void Clear() override;
  int TextWidth(std::string_view text) const override {
    return kCharWidth * static_cast<int>(text.size());
  }
  int LabelHeight() const override { return kLabelHeight; }
  int EditHeight() const override { return kEditHeight; }

  ILabel& AddLabel(int x, int y, std::string_view text) override;
  INumberEdit& AddNumberEdit(const TRect& bounds) override;
  ICheckBox& AddCheckBox(int x, int y, std::string_view text) override;
  IRadioButton& AddRadioButton(int x, int y, std::string_view text, int group) override;
  IButton& AddButton(const TRect& bounds, std::string_view text) override;
  ITextLine& AddTextLine(const TRect& bounds, std::string_view text) override;
  ICurvePreview& AddCurvePreview(const TRect& bounds) override;

  // The controls since the last Clear, in creation order.
  const std::vector<std::unique_ptr<TFakeControl>>& Controls() const { return controls_; }
  std::vector<TFakeLabel*> Labels() const { return OfType<TFakeLabel>(); }
  std::vector<TFakeNumberEdit*> Edits() const { return OfType<TFakeNumberEdit>(); }
  int ClearCount = 0;

 private:
  template <class T>
  std::vector<T*> OfType() const {
    std::vector<T*> out;
    for (const auto& c : controls_)
      if (auto* t = dynamic_cast<T*>(c.get())) out.push_back(t);
    return out;
  }
  template <class T>
  T& Add(std::unique_ptr<T> control) {
    T& ref = *control;
    controls_.push_back(std::move(control));
    return ref;
  }
  std::vector<std::unique_ptr<TFakeControl>> controls_;
};

// Records every range and position it is given.
class TFakeProgress : public IProgress {
 public:
  void SetRange(int minimum, int maximum) override {
    Minimum = minimum;
    Maximum = maximum;
    Ranges.push_back(maximum);
  }
  void SetPosition(int position) override { Positions.push_back(position); }
  int Minimum = 0, Maximum = 0;
  std::vector<int> Ranges;  // the maximum of every SetRange
  std::vector<int> Positions;
};

class TFakeWindow : public IStackWindow {
 public:
  bool AskWarning(std::string_view text) override;
  TAnswer AskYesNoCancel(std::string_view text) override;
  void ShowError(std::string_view text) override { Errors.emplace_back(text); }
  TAddMode AskAddMode() override;
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override;

  void ListClear() override { Lines.clear(); }
  void ListInsert(int index, std::string_view text) override;
  void ListRemove(int index) override;
  void ListSetText(int index, std::string_view text) override;
  void ListSelect(int index) override { SelectedLine = index; }

  IParamPanel& Panel() override { return Params; }
  void SetGoalEntries(const std::vector<std::string>& names) override { GoalEntries = names; }
  void UpdateCommandButtons() override { ++CommandButtonUpdates; }
  void RebuildSceneTree() override { ++SceneTreeRebuilds; }
  void ViewSettingsChanged() override { ++ViewChanges; }
  void Redraw() override { ++Redraws; }
  ISculptFileChooser* SculptChooser() override { return Chooser; }
  void BeginWait() override {
    ++WaitDepth;
    ++Waits;
  }
  void EndWait() override { --WaitDepth; }
  IProgress& Progress() override { return ProgressBar; }

  // Scripted answers, taken from the front. A question with no answer queued fails the test
  // and answers No, Cancel or a cancelled dialog.
  std::deque<bool> WarningAnswers;
  std::deque<TAnswer> YesNoCancelAnswers;
  std::deque<TAddMode> AddModeAnswers;
  std::deque<std::optional<std::string>> MorphNameAnswers;

  // What was asked.
  std::vector<std::string> Warnings;
  std::vector<std::string> Errors;
  int AddModeQuestions = 0;
  std::vector<TMorphNameRequest> MorphRequests;

  // The command list and the rest of the window.
  std::vector<std::string> Lines;
  int SelectedLine = -1;
  TFakePanel Params;
  std::vector<std::string> GoalEntries;
  int CommandButtonUpdates = 0;
  int SceneTreeRebuilds = 0;
  int ViewChanges = 0;
  int Redraws = 0;
  ISculptFileChooser* Chooser = nullptr;
  int WaitDepth = 0;
  int Waits = 0;  // hourglasses shown
  TFakeProgress ProgressBar;
};

}  // namespace tarvel::test
