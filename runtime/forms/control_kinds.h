// The one table of control kinds: for each kind, the word that names it in a
// description, the settings it accepts and requires, and whether it takes the
// keyboard focus. The parser, the dump and every backend's builder read this
// table and nothing else about what a kind is; how a backend makes a kind's
// widget is that backend's own table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

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

struct ControlKindInfo {
  ControlKind kind;
  std::string_view keyword;
  SettingSet accepts;
  SettingSet required;
  bool takes_focus;
};

std::span<const ControlKindInfo> ControlKinds();
const ControlKindInfo* FindControlKind(std::string_view keyword);
const ControlKindInfo& InfoFor(ControlKind kind);

// Raises the runtime's own error (9001): `backend` has no maker for `kind`.
[[noreturn]] void NoMakerFor(ControlKind kind, std::string_view backend);

// The maker of `kind` in a backend's own table of makers; a kind without a
// row is the runtime's own fault, never a silent stand-in.
template <class Maker, std::size_t N>
Maker MakerIn(const std::array<std::pair<ControlKind, Maker>, N>& makers, ControlKind kind,
              std::string_view backend) {
  for (const auto& [k, maker] : makers) {
    if (k == kind) return maker;
  }
  NoMakerFor(kind, backend);
}

}  // namespace egn::runtime
