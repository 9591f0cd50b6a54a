#include "runtime/forms/control_kinds.h"

#include <array>
#include <string>

#include "runtime/core/error.h"

namespace egn::runtime {

namespace {

using S = Setting;

const std::array<ControlKindInfo, 4> kKinds = {{
    {ControlKind::kLabel,
     "label",
     {S::kRect, S::kTabIndex, S::kBackColour, S::kAlign, S::kVisible, S::kCaption,
      S::kAccessibleName, S::kAccessibleDescription},
     {S::kRect, S::kTabIndex},
     false},
    {ControlKind::kTextBox,
     "textbox",
     {S::kRect, S::kTabIndex, S::kBackColour, S::kMaxLength, S::kAlign, S::kReadOnly, S::kMultiLine,
      S::kScrollBars, S::kVisible, S::kText, S::kAccessibleName, S::kAccessibleDescription},
     {S::kRect, S::kTabIndex},
     true},
    {ControlKind::kListBox,
     "listbox",
     {S::kRect, S::kTabIndex, S::kBackColour, S::kVisible, S::kItem, S::kAccessibleName,
      S::kAccessibleDescription},
     {S::kRect, S::kTabIndex},
     true},
    {ControlKind::kButton,
     "button",
     {S::kRect, S::kTabIndex, S::kBackColour, S::kVisible, S::kStyle, S::kCaption,
      S::kAccessibleName, S::kAccessibleDescription},
     {S::kRect, S::kTabIndex, S::kCaption},
     true},
}};

}  // namespace

std::span<const ControlKindInfo> ControlKinds() { return kKinds; }

const ControlKindInfo* FindControlKind(std::string_view keyword) {
  for (const ControlKindInfo& info : kKinds) {
    if (info.keyword == keyword) return &info;
  }
  return nullptr;
}

const ControlKindInfo& InfoFor(ControlKind kind) {
  for (const ControlKindInfo& info : kKinds) {
    if (info.kind == kind) return info;
  }
  return kKinds.front();  // every enumerator has a row; not reached
}

void NoMakerFor(ControlKind kind, std::string_view backend) {
  throw RuntimeError(ErrorNumber::kInternal, "the " + std::string(backend) +
                                                 " backend has no maker for the control kind " +
                                                 std::string(InfoFor(kind).keyword));
}

}  // namespace egn::runtime
