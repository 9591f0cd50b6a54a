// The one table of control kinds: for each kind, the word that names it in a
// description, the settings it accepts and requires, whether it takes the
// keyboard focus, and the function that makes its widget. The parser, the
// builder and the dump all read this table and nothing else about kinds.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/form_model.h"

class QWidget;

namespace egn::runtime {

class Control;

// The settings a control may carry in a description.
enum class Setting : unsigned {
  kRect,
  kTabIndex,
  kBackColour,
  kMaxLength,
  kAlign,
  kReadOnly,
  kMultiLine,
  kScrollBars,
  kVisible,
  kStyle,
  kCaption,
  kText,
  kItem,
  kAccessibleName,
  kAccessibleDescription,
};

class SettingSet {
 public:
  constexpr SettingSet(std::initializer_list<Setting> settings) {
    for (Setting s : settings) bits_ |= Bit(s);
  }
  constexpr bool Has(Setting s) const { return (bits_ & Bit(s)) != 0; }

 private:
  static constexpr std::uint32_t Bit(Setting s) { return 1u << static_cast<unsigned>(s); }
  std::uint32_t bits_ = 0;
};

// Makes the control's widget as a child of the window and the control-access
// object that wraps it.
using ControlFactory = std::unique_ptr<Control> (*)(const ControlDescription&, QWidget& window);

struct ControlKindInfo {
  ControlKind kind;
  std::string_view keyword;
  SettingSet accepts;
  SettingSet required;
  bool takes_focus;
  ControlFactory create;
};

std::span<const ControlKindInfo> ControlKinds();
const ControlKindInfo* FindControlKind(std::string_view keyword);
const ControlKindInfo& InfoFor(ControlKind kind);

}  // namespace egn::runtime
