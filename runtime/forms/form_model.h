// The description model: everything a window description says, decoded and
// checked, independent of how it was written down and of any widget toolkit.
// Positions and sizes are in twips (1440 to the inch), relative to the
// top-left corner of the window's client area.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace egn::runtime {

enum class ControlKind { kLabel, kTextBox, kListBox, kButton };
enum class Alignment { kLeft, kCenter, kRight };
enum class ScrollBars { kNone, kHorizontal, kVertical, kBoth };
enum class BorderStyle { kFixedSingle, kSizable };
enum class StartPosition { kDefault, kCenterScreen };
enum class ButtonStyle { kStandard, kGraphical };

// A colour as 0x00BBGGRR.
using Colour = std::uint32_t;

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct FontDescription {
  std::string name;
  double size_points = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  int charset = 0;
  bool operator==(const FontDescription&) const = default;
};

struct ControlDescription {
  ControlKind kind = ControlKind::kLabel;
  std::string name;                   // the array's or the single control's name
  std::optional<std::int16_t> index;  // set for members of a control array
  int line = 0;                       // where the control starts in its description
  Rect rect;
  int tab_index = 0;
  std::optional<Colour> back_colour;  // unset: the platform's default
  int max_length = 0;                 // 0: no limit
  Alignment alignment = Alignment::kLeft;
  bool read_only = false;
  bool multi_line = false;
  ScrollBars scroll_bars = ScrollBars::kNone;
  bool visible = true;
  ButtonStyle style = ButtonStyle::kStandard;
  std::u16string text;                    // caption of a label or button, text of a text box
  std::vector<std::u16string> items;      // list box items, in order
  std::u16string accessible_name;         // what a screen reader calls the control
  std::u16string accessible_description;  // and what it says of it

  // "Text2(3)" for an array member, "List1" for a single control.
  std::string DisplayName() const;
  bool operator==(const ControlDescription&) const = default;
};

struct FormDescription {
  std::string name;
  std::u16string caption;
  BorderStyle border = BorderStyle::kSizable;
  StartPosition position = StartPosition::kDefault;
  std::optional<Colour> back_colour;
  int client_width = 0, client_height = 0;  // twips
  FontDescription font;
  std::string icon;                          // name of an image beside the description; empty: none
  std::vector<ControlDescription> controls;  // in the order of the description
  bool operator==(const FormDescription&) const = default;
};

// A stable, readable rendering (UTF-8) of every field, for golden tests and
// for looking at what a description means.
std::string Dump(const FormDescription& form);

// The window's heading: a visible label with a caption that starts above
// every other visible control, as a title at the top of a window does; none
// where another control starts as high (captions side by side head nothing).
// Backends name the window's surface by it for screen readers.
const ControlDescription* Heading(const FormDescription& form);

}  // namespace egn::runtime
