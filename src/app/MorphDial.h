// The preview dial of one morph target on the parameter panel, shown while there is no stack: a
// label "MT:" with the target's name and a numeric edit holding the target's value. Turning it
// reshapes the target's group at once; nothing is recorded in any stack.
#pragma once

#include <functional>

#include "mesh/ObjData.h"
#include "stack/ParamPanel.h"

namespace tarvel {

class TMultiObjData;

class TMorphDial {
 public:
  // `live` answers which edit state the dial may touch (the controller's current one);
  // `redraw` asks the viewport to draw again.
  TMorphDial(IParamPanel& panel, std::function<TMultiObjData&()> live,
             std::function<void()> redraw);
  TMorphDial(const TMorphDial&) = delete;
  TMorphDial& operator=(const TMorphDial&) = delete;

  // Clears the panel and builds the dial of the target.
  void Show(TMorphTarget& target);
  // The edit's value changed: a new dial value, unless the edit is blank.
  void EditChanged(INumberEdit& edit);
  // The target the dial was last built for, while it still belongs to the live edit state.
  TMorphTarget* Target() const;

 private:
  IParamPanel& panel_;
  std::function<TMultiObjData&()> live_;
  std::function<void()> redraw_;
  TMorphTarget* target_ = nullptr;
  bool building_ = false;
};

// Whether the target still belongs to a group of the edit state.
bool ContainsMorphTarget(const TMultiObjData& live, const TMorphTarget* target);

}  // namespace tarvel
