// A window for work without a screen (batch runs, benchmarks): it shows nothing, answers every
// question the same way, holds the controls a current command builds as plain values, and names new
// morph targets through a function the verb gives.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stack/StackController.h"

namespace tarvel {

class TQuietPanel : public IParamPanel {
 public:
  void Clear() override { controls_.clear(); }
  int TextWidth(std::string_view text) const override { return 6 * static_cast<int>(text.size()); }
  int LabelHeight() const override { return 13; }
  int EditHeight() const override { return 21; }
  ILabel& AddLabel(int x, int y, std::string_view text) override;
  INumberEdit& AddNumberEdit(const TRect& bounds) override;
  ICheckBox& AddCheckBox(int x, int y, std::string_view text) override;
  IRadioButton& AddRadioButton(int x, int y, std::string_view text, int group) override;
  IButton& AddButton(const TRect& bounds, std::string_view text) override;
  ITextLine& AddTextLine(const TRect& bounds, std::string_view text) override;
  ICurvePreview& AddCurvePreview(const TRect& bounds) override;

  // The controls of the current command, in the order it built them.
  std::size_t Count() const { return controls_.size(); }
  IParamControl& Control(std::size_t index) const { return *controls_[index]; }

 private:
  template <class T>
  T& Keep(std::unique_ptr<T> control) {
    T& c = *control;
    controls_.push_back(std::move(control));
    return c;
  }
  std::vector<std::unique_ptr<IParamControl>> controls_;
};

class TQuietWindow : public IStackWindow {
 public:
  using TNamer = std::function<std::optional<std::string>(const TMorphNameRequest&)>;
  explicit TQuietWindow(TNamer namer) : namer_(std::move(namer)) {}

  bool AskWarning(std::string_view) override { return true; }
  TAnswer AskYesNoCancel(std::string_view) override { return Answer; }
  void ShowError(std::string_view text) override { errors_.emplace_back(text); }
  TAddMode AskAddMode() override { return TAddMode::Append; }
  std::optional<std::string> AskMorphName(const TMorphNameRequest& request) override {
    return namer_ ? namer_(request) : std::nullopt;
  }
  void ListClear() override {}
  void ListInsert(int, std::string_view) override {}
  void ListRemove(int) override {}
  void ListSetText(int, std::string_view) override {}
  void ListSelect(int) override {}
  IParamPanel& Panel() override { return panel_; }
  void SetGoalEntries(const std::vector<std::string>&) override {}
  void UpdateCommandButtons() override {}
  void RebuildSceneTree() override {}
  void ViewSettingsChanged() override {}
  void Redraw() override {}
  void BeginWait() override {}
  void EndWait() override {}
  IProgress& Progress() override { return progress_; }
  ISculptFileChooser* SculptChooser() override { return Chooser; }

  ISculptFileChooser* Chooser = nullptr;  // none: a sculpt command waits for its file

  // The errors the controller reported, oldest first.
  const std::vector<std::string>& Errors() const { return errors_; }
  TQuietPanel& Controls() { return panel_; }

  // The answer to every Yes, No or Cancel question.
  TAnswer Answer = TAnswer::Yes;

 private:
  class TNoProgress : public IProgress {
   public:
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
  };
  TNamer namer_;
  TQuietPanel panel_;
  TNoProgress progress_;
  std::vector<std::string> errors_;
};

}  // namespace tarvel
