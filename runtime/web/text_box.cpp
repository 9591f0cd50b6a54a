// Text boxes: single-line (with the character limit, never half a surrogate
// pair) and multi-line (word wrap, a vertical scroll bar only); read-only
// boxes show, scroll and take the focus but refuse every change by the user,
// while the program's writes always go in. A box the page carries keeps what
// the user typed into it before the program ran (held to the same rules as
// any edit), and its focus and caret.
#include <algorithm>

#include "runtime/core/conversions.h"
#include "runtime/web/control_makers.h"
#include "runtime/web/values.h"

namespace egn::runtime {

namespace {

// The text property is what was last written or typed, kept exactly: the
// element's value is only what it shows (a text area turns CR LF into LF).
class TextBoxControl : public Control {
 public:
  TextBoxControl(const ControlDescription& d, PageObject element)
      : Control(d.kind, d.DisplayName()),
        element_(std::move(element)),
        limit_(d.max_length),
        multi_line_(d.multi_line) {}

  // From now on, every text the program writes is announced (see Reports).
  void StartReporting() { reporting_ = true; }

  std::u16string Text() const override { return text_; }

  void SetText(std::u16string_view text) override {
    text_ = std::u16string(text);
    // The limit holds for the user only: a longer text from the program goes
    // in whole, and the user cannot then make it any longer.
    if (limit_ > 0) {
      element_.SetNumber("maxLength",
                         static_cast<double>(std::max<std::size_t>(limit_, text_.size())));
    }
    element_.Set("value", text_);
    if (reporting_) Announce(text_);
    // A multi-line box shows a new text from its first line, like a fresh
    // document, wherever the focus goes next.
    if (multi_line_) {
      element_.Call("setSelectionRange", 0, 0);
      element_.SetNumber("scrollTop", 0);
    }
  }

  // Where the cursor stood before an edit by the user.
  void BeforeEdit() { cursor_ = static_cast<int>(element_.Number("selectionStart")); }

  // A box the page carried holds the described text, as shown, unless the
  // user typed into it before the program ran (`untouched` where the user
  // cannot): that counts as an edit.
  void Adopt(std::u16string_view described, bool untouched) {
    text_ = std::u16string(described);
    if (!untouched) Edited();
  }

  // An edit by the user that would leave half a character or pass the limit
  // is refused as a whole: the text and the cursor go back to what they were.
  void Edited() {
    std::u16string now = element_.Text("value");
    const std::size_t limit = std::max<std::size_t>(limit_, text_.size());
    if (HasLoneSurrogate(now) || (limit_ > 0 && now.size() > limit)) {
      element_.Set("value", text_);
      element_.Call("setSelectionRange", cursor_, cursor_);
      return;
    }
    text_ = multi_line_ ? WithCrLf(now) : std::move(now);
  }

 private:
  static std::u16string WithCrLf(const std::u16string& shown) {
    std::u16string text;
    text.reserve(shown.size());
    for (char16_t c : shown) {
      if (c == u'\n') text += u'\r';
      text += c;
    }
    return text;
  }

  PageObject element_;
  int limit_;
  bool multi_line_;
  int cursor_ = 0;
  bool reporting_ = false;
  std::u16string text_;
};

// A visible box that only the program writes to, over several lines, is
// where it reports: what it writes there is news to a screen reader's user,
// who would otherwise have to go and look. A single-line read-only box holds
// one value, which a report beside it would only say again. The box's own
// value is not a live region: browsers and screen readers do not announce a
// changed value of a form control, and the box may hold a long text that is
// no news.
bool Reports(const ControlDescription& d) { return d.read_only && d.multi_line && d.visible; }

// What a new box takes from its description, beyond every control's.
void SetUp(const PageObject& box, const ControlDescription& d) {
  if (!d.multi_line) box.Set("type", "text");
  box.SetFlag("spellcheck", false);
  box.SetAttribute("autocomplete", "off");
  if (d.read_only) box.SetFlag("readOnly", true);
  if (AsksForOneDigit(d)) box.Set("inputMode", "numeric");
  if (d.alignment == Alignment::kCenter) box.SetStyle("text-align", "center");
  if (d.alignment == Alignment::kRight) box.SetStyle("text-align", "right");
  if (d.multi_line) {
    const bool vertical =
        d.scroll_bars == ScrollBars::kVertical || d.scroll_bars == ScrollBars::kBoth;
    const bool horizontal =
        d.scroll_bars == ScrollBars::kHorizontal || d.scroll_bars == ScrollBars::kBoth;
    box.SetStyle("overflow-y", vertical ? "scroll" : "hidden");
    box.SetStyle("overflow-x", horizontal ? "scroll" : "hidden");
    // Without a horizontal scroll bar the box breaks its lines at word
    // boundaries to its width.
    box.SetStyle("white-space", horizontal ? "pre" : "pre-wrap");
  }
}

}  // namespace

bool AsksForOneDigit(const ControlDescription& d) {
  return d.kind == ControlKind::kTextBox && !d.multi_line && !d.read_only && d.max_length == 1;
}

WebControl MakeTextBox(const ControlDescription& d) {
  const auto [box, carried] = d.multi_line ? MakeElement("textarea", "text multi-line", d)
                                           : MakeElement("input", "text", d);
  auto control = std::make_unique<TextBoxControl>(d, box);
  if (carried) {
    // What the user typed before the program ran is news, and nothing else:
    // a box the user cannot type into holds what the markup says.
    control->Adopt(d.text, d.read_only || !d.visible);
  } else {
    SetUp(box, d);
    control->SetText(d.text);  // the described text is no news
  }
  if (Reports(d)) control->StartReporting();
  Listen(box, "beforeinput", [c = control.get()](const PageObject&) { c->BeforeEdit(); });
  Listen(box, "input", [c = control.get()](const PageObject&) { c->Edited(); });
  return {std::move(control), box};
}

}  // namespace egn::runtime
