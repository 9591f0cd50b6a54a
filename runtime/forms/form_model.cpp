#include "runtime/forms/form_model.h"

#include <cstdio>
#include <sstream>

#include "runtime/forms/control_kinds.h"

namespace egn::runtime {

namespace {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(const std::u16string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// Quoted, with CR, LF, tab, quote and backslash escaped, so that a dump is
// one line per field.
std::string Quote(const std::u16string& text) {
  std::string out = "\"";
  for (const char c : Utf8(text)) {
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

}  // namespace egn::runtime
