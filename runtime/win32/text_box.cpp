// Text boxes: EDIT controls. Single-line boxes keep the character limit for
// the user (never half a surrogate pair) and take any text from the program;
// multi-line boxes wrap at word boundaries; read-only boxes show, scroll and
// take the focus but refuse every change by the user, on the window colour.
#include "runtime/win32/control_makers.h"

#include <algorithm>

#include "runtime/core/conversions.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

std::u16string WindowText(HWND hwnd) {
  std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, u'\0');
  const int length =
      GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(length, 0)));
  return text;
}

namespace {

// The text property is what was last written or typed, kept exactly (CR LF
// included), whatever the edit control shows.
class TextBoxControl : public Control {
 public:
  TextBoxControl(const ControlDescription& d, HWND edit)
      : Control(d.kind, d.DisplayName()), edit_(edit), limit_(d.max_length) {}

  std::u16string Text() const override { return text_; }

  void SetText(std::u16string_view text) override {
    text_ = std::u16string(text);
    // The limit holds for the user only: a longer text from the program goes
    // in whole, and the user cannot then make it any longer.
    if (limit_ > 0) {
      SendMessageW(edit_, EM_SETLIMITTEXT,
                   static_cast<WPARAM>(std::max<std::size_t>(limit_, text_.size())), 0);
    }
    Write(text_);
    if (written_) written_();
  }

  // Called after every write by the program from now on.
  void OnWrite(std::function<void()> written) { written_ = std::move(written); }

  // EN_CHANGE: what the user did. An edit that would leave half a character
  // is refused as a whole.
  void Changed() {
    if (writing_) return;
    std::u16string now = WindowText(edit_);
    if (HasLoneSurrogate(now)) {
      Write(text_);
      SendMessageW(edit_, EM_SETSEL, text_.size(), static_cast<LPARAM>(text_.size()));
      return;
    }
    text_ = std::move(now);
  }

 private:
  void Write(const std::u16string& text) {
    writing_ = true;
    SetWindowTextW(edit_, Wide(text));
    writing_ = false;
  }

  HWND edit_;
  int limit_;
  std::u16string text_;
  bool writing_ = false;
  std::function<void()> written_;
};

DWORD AlignmentStyle(Alignment a) {
  switch (a) {
    case Alignment::kLeft:
      return ES_LEFT;
    case Alignment::kCenter:
      return ES_CENTER;
    case Alignment::kRight:
      return ES_RIGHT;
  }
  return ES_LEFT;
}

}  // namespace

std::unique_ptr<Control> MakeTextBox(const ControlDescription& d, FormWindow& window, int id) {
  DWORD style = WS_TABSTOP | AlignmentStyle(d.alignment);
  if (d.read_only) style |= ES_READONLY;
  if (d.multi_line) {
    style |= ES_MULTILINE;
    const bool vertical =
        d.scroll_bars == ScrollBars::kVertical || d.scroll_bars == ScrollBars::kBoth;
    const bool horizontal =
        d.scroll_bars == ScrollBars::kHorizontal || d.scroll_bars == ScrollBars::kBoth;
    style |= ES_AUTOVSCROLL | (vertical ? WS_VSCROLL : 0);
    // Without a horizontal scroll bar the box breaks its lines at word
    // boundaries to its width.
    if (horizontal) style |= ES_AUTOHSCROLL | WS_HSCROLL;
  } else {
    style |= ES_AUTOHSCROLL;
  }
  HWND edit = window.CreateChild(d, L"EDIT", style, WS_EX_CLIENTEDGE, id);
  if (d.max_length > 0) SendMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(d.max_length), 0);
  if (d.read_only) window.KeepWindowColour(edit);
  auto control = std::make_unique<TextBoxControl>(d, edit);
  control->SetText(d.text);  // the described text is no news
  // A visible box that only the program writes to, over several lines, is
  // where it reports: what it writes there is news to a screen reader's
  // user, who would otherwise have to go and look. A single-line read-only
  // box holds one value, which an announcement would only say again.
  if (d.read_only && d.multi_line && d.visible) {
    window.ReportWrites(edit, d.rect);
    control->OnWrite([&window, edit] { window.Written(edit); });
  }
  window.OnCommand(id, [box = control.get()](WORD code) {
    if (code == EN_CHANGE) box->Changed();
  });
  return control;
}

}  // namespace egn::runtime
