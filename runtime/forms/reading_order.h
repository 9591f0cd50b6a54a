// The order in which a screen reader should meet a window's controls, from
// their places alone: the focusable ones in tab order (which Tab keeps), and
// each one that never takes the focus beside the controls it belongs to, so
// that a caption is read before its boxes and a note after its box. For any
// backend whose toolkit reads its controls in the order it holds them.
#pragma once

#include <cstddef>
#include <vector>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

// A control that never takes the focus goes with the nearer of the rows
// directly below and directly above it (their controls' centres within its
// width) that holds focusable controls: a caption just before the focusable
// controls of the row below, a note just after those of the row above (a
// weight under its box). One that goes with neither (a title over other
// captions) is read first. A note of one control describes it, unless the
// control has a description of its own.
struct Reading {
  std::vector<const ControlDescription*> tab;    // the focusable controls, in tab order
  std::vector<const ControlDescription*> first;  // in the window's order, top to bottom
  std::vector<std::vector<const ControlDescription*>> before, after;  // by place in `tab`
  std::vector<const ControlDescription*> describes;  // by control: the one its note describes
};

Reading ReadingOrder(const FormDescription& d);

}  // namespace egn::runtime
