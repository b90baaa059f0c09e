#include "stack/ParamPanel.h"

#include <algorithm>

namespace tarvel {

namespace {

INumberEdit& LabelledEdit(IParamPanel& panel, int x, int y, int& column, std::string_view label,
                          double step, TStackCommand* tag, const TChangeHandler& onChange) {
  ILabel& l = panel.AddLabel(x, y, label);
  const TRect lb = l.Bounds();
  const int left = std::max(lb.Right() + 3, column);
  column = left;
  const int height = panel.EditHeight();
  const int top = lb.Top + lb.Height / 2 - height / 2;
  INumberEdit& edit = panel.AddNumberEdit({left, top, 70, height});
  edit.SetDecimals(4);
  edit.SetStep(step);
  edit.Tag = tag;
  edit.OnChange = onChange;
  return edit;
}

}  // namespace

INumberEdit& CoordinateEdit(IParamPanel& panel, int x, int y, int& column, std::string_view label,
                            TStackCommand* tag, const TChangeHandler& onChange) {
  return LabelledEdit(panel, x, y, column, label, 0.0001, tag, onChange);
}

INumberEdit& RatioEdit(IParamPanel& panel, int x, int y, int& column, std::string_view label,
                       TStackCommand* tag, const TChangeHandler& onChange) {
  return LabelledEdit(panel, x, y, column, label, 0.01, tag, onChange);
}

}  // namespace tarvel
