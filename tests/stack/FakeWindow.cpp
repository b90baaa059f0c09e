#include "stack/FakeWindow.h"

#include <gtest/gtest.h>

namespace tarvel::test {

void TFakePanel::Clear() {
  controls_.clear();
  ++ClearCount;
}

ILabel& TFakePanel::AddLabel(int x, int y, std::string_view text) {
  auto label = std::make_unique<TFakeLabel>();
  label->SetText(text);
  label->SetBounds({x, y, TextWidth(text), kLabelHeight});
  return Add(std::move(label));
}

INumberEdit& TFakePanel::AddNumberEdit(const TRect& bounds) {
  auto edit = std::make_unique<TFakeNumberEdit>();
  edit->SetBounds(bounds);
  return Add(std::move(edit));
}

ICheckBox& TFakePanel::AddCheckBox(int x, int y, std::string_view text) {
  auto box = std::make_unique<TFakeCheckBox>();
  box->Text = text;
  box->SetBounds({x, y, TextWidth(text) + 17, kLabelHeight});
  return Add(std::move(box));
}

IRadioButton& TFakePanel::AddRadioButton(int x, int y, std::string_view text, int group) {
  auto radio = std::make_unique<TFakeRadioButton>();
  radio->Text = text;
  radio->Group = group;
  radio->SetBounds({x, y, TextWidth(text) + 17, kLabelHeight});
  return Add(std::move(radio));
}

IButton& TFakePanel::AddButton(const TRect& bounds, std::string_view text) {
  auto button = std::make_unique<TFakeButton>();
  button->Text = text;
  button->SetBounds(bounds);
  return Add(std::move(button));
}

ITextLine& TFakePanel::AddTextLine(const TRect& bounds, std::string_view text) {
  auto line = std::make_unique<TFakeTextLine>();
  line->SetText(text);
  line->SetBounds(bounds);
  return Add(std::move(line));
}

ICurvePreview& TFakePanel::AddCurvePreview(const TRect& bounds) {
  auto preview = std::make_unique<TFakeCurvePreview>();
  preview->SetBounds(bounds);
  return Add(std::move(preview));
}

bool TFakeWindow::AskWarning(std::string_view text) {
  Warnings.emplace_back(text);
  if (WarningAnswers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return false;
  }
  const bool answer = WarningAnswers.front();
  WarningAnswers.pop_front();
  return answer;
}

TAnswer TFakeWindow::AskYesNoCancel(std::string_view text) {
  Warnings.emplace_back(text);
  if (YesNoCancelAnswers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return TAnswer::Cancel;
  }
  const TAnswer answer = YesNoCancelAnswers.front();
  YesNoCancelAnswers.pop_front();
  return answer;
}

TAddMode TFakeWindow::AskAddMode() {
  ++AddModeQuestions;
  if (AddModeAnswers.empty()) {
    ADD_FAILURE() << "unexpected \"Add command in stack\" dialog";
    return TAddMode::Cancel;
  }
  const TAddMode answer = AddModeAnswers.front();
  AddModeAnswers.pop_front();
  return answer;
}

std::optional<std::string> TFakeWindow::AskMorphName(const TMorphNameRequest& request) {
  MorphRequests.push_back(request);
  if (MorphNameAnswers.empty()) {
    ADD_FAILURE() << "unexpected morph name dialog for " << request.Proposed;
    return std::nullopt;
  }
  std::optional<std::string> answer = MorphNameAnswers.front();
  MorphNameAnswers.pop_front();
  return answer;
}

void TFakeWindow::ListInsert(int index, std::string_view text) {
  ASSERT_GE(index, 0);
  ASSERT_LE(index, static_cast<int>(Lines.size()));
  Lines.insert(Lines.begin() + index, std::string(text));
}

void TFakeWindow::ListRemove(int index) {
  ASSERT_GE(index, 0);
  ASSERT_LT(index, static_cast<int>(Lines.size()));
  Lines.erase(Lines.begin() + index);
}

void TFakeWindow::ListSetText(int index, std::string_view text) {
  ASSERT_GE(index, 0);
  ASSERT_LT(index, static_cast<int>(Lines.size()));
  Lines[static_cast<std::size_t>(index)] = text;
}

}  // namespace tarvel::test
