#include "runtime/forms/form_model.h"

#include <cstdio>
#include <sstream>

#include "runtime/core/conversions.h"
#include "runtime/forms/control_kinds.h"

namespace egn::runtime {

namespace {

// Quoted, with CR, LF, tab, quote and backslash escaped, so that a dump is
// one line per field.
std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (const char c : ToUtf8(text)) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        out += c;
    }
  }
  return out + "\"";
}

std::string Hex(Colour colour) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(colour));
  return buffer;
}

std::string ColourText(const std::optional<Colour>& colour) {
  return colour ? Hex(*colour) : "default";
}

const char* AlignmentText(Alignment a) {
  return a == Alignment::kLeft ? "left" : a == Alignment::kCenter ? "center" : "right";
}

const char* ScrollText(ScrollBars s) {
  switch (s) {
    case ScrollBars::kNone:
      return "none";
    case ScrollBars::kHorizontal:
      return "horizontal";
    case ScrollBars::kVertical:
      return "vertical";
    case ScrollBars::kBoth:
      return "both";
  }
  return "?";
}

const char* YesNo(bool b) { return b ? "yes" : "no"; }

}  // namespace

std::string ControlDescription::DisplayName() const {
  return index ? name + "(" + std::to_string(*index) + ")" : name;
}

std::string Dump(const FormDescription& form) {
  std::ostringstream out;
  out << "form " << form.name << "\n"
      << "  caption " << Quote(form.caption) << "\n"
      << "  border " << (form.border == BorderStyle::kFixedSingle ? "fixed-single" : "sizable")
      << "\n"
      << "  position "
      << (form.position == StartPosition::kCenterScreen ? "center-screen" : "default") << "\n"
      << "  back-color " << ColourText(form.back_colour) << "\n"
      << "  client " << form.client_width << " x " << form.client_height << "\n"
      << "  font \"" << form.font.name << "\" " << form.font.size_points << "pt weight "
      << form.font.weight << " italic " << YesNo(form.font.italic) << " underline "
      << YesNo(form.font.underline) << " strike " << YesNo(form.font.strikeout) << " charset "
      << form.font.charset << "\n"
      << "  icon \"" << form.icon << "\"\n";
  for (const ControlDescription& c : form.controls) {
    out << "  " << InfoFor(c.kind).keyword << " " << c.DisplayName() << " (line " << c.line << ")\n"
        << "    rect " << c.rect.left << " " << c.rect.top << " " << c.rect.width << " "
        << c.rect.height << " tab " << c.tab_index << " back " << ColourText(c.back_colour)
        << " visible " << YesNo(c.visible) << "\n";
    if (c.kind == ControlKind::kTextBox) {
      out << "    max-length " << c.max_length << " align " << AlignmentText(c.alignment)
          << " read-only " << YesNo(c.read_only) << " multi-line " << YesNo(c.multi_line)
          << " scroll-bars " << ScrollText(c.scroll_bars) << "\n";
    } else if (c.kind == ControlKind::kLabel) {
      out << "    align " << AlignmentText(c.alignment) << "\n";
    } else if (c.kind == ControlKind::kButton) {
      out << "    style " << (c.style == ButtonStyle::kGraphical ? "graphical" : "standard")
          << "\n";
    } else {
      out << "    scroll-bars " << ScrollText(c.scroll_bars) << "\n";
    }
    if (c.kind != ControlKind::kListBox) out << "    text " << Quote(c.text) << "\n";
    for (const std::u16string& item : c.items) out << "    item " << Quote(item) << "\n";
    if (!c.accessible_name.empty())
      out << "    accessible-name " << Quote(c.accessible_name) << "\n";
    if (!c.accessible_description.empty()) {
      out << "    accessible-description " << Quote(c.accessible_description) << "\n";
    }
  }
  return out.str();
}

const ControlDescription* Heading(const FormDescription& form) {
  const ControlDescription* top = nullptr;
  bool alone = false;
  for (const ControlDescription& c : form.controls) {
    if (!c.visible) continue;
    if (top == nullptr || c.rect.top < top->rect.top) {
      top = &c;
      alone = true;
    } else if (c.rect.top == top->rect.top) {
      alone = false;
    }
  }
  const bool titled = top != nullptr && top->kind == ControlKind::kLabel && !top->text.empty();
  return alone && titled ? top : nullptr;
}

}  // namespace egn::runtime
