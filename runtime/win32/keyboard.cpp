// The keyboard of a dialog on the window: Tab and Shift+Tab in the tab order,
// arrows that pass over the labels, Enter on a focused button presses it, Esc
// presses nothing; a box entered by Tab has its text selected; the focus is
// always on a control and comes back to the one that had it.
#include <algorithm>

#include "runtime/win32/form_window.h"

namespace egn::runtime {

namespace {

bool TakesFocus(HWND control) { return (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0; }

}  // namespace

// The controls are made in tab order, so the list of children is the order
// the dialog keyboard walks: the walk goes on from `target` in the direction
// it came from the focus (the nearer way round) to a control that takes it.
HWND FormWindow::FocusableFrom(HWND target) const {
  const auto at = [this](HWND hwnd) {
    const auto found = std::find_if(children_.begin(), children_.end(),
                                    [hwnd](const Child& c) { return c.hwnd == hwnd; });
    return static_cast<long>(found - children_.begin());
  };
  const long count = static_cast<long>(children_.size());
  const long from = at(GetFocus()), to = at(target);
  if (to == count || from == count) return target;
  const long ahead = (to - from + count) % count;
  const long step = ahead <= count / 2 ? 1 : count - 1;
  long i = to;
  for (long n = 0; n < count && !TakesFocus(children_[static_cast<std::size_t>(i)].hwnd); ++n) {
    i = (i + step) % count;
  }
  return children_[static_cast<std::size_t>(i)].hwnd;
}

bool FormWindow::PreTranslate(MSG& message) {
  if (hwnd_ == nullptr || (message.hwnd != hwnd_ && !IsChild(hwnd_, message.hwnd))) return false;
  const bool key =
      message.message == WM_KEYDOWN || message.message == WM_KEYUP || message.message == WM_CHAR;
  // Esc presses nothing and never closes the window (a multi-line edit box
  // would otherwise ask the window to close).
  if (key && message.wParam == VK_ESCAPE) return true;
  // Enter presses a focused button, once per press (owner-drawn buttons
  // never become the default button, so the dialog keyboard would not).
  const auto button = buttons_.find(message.hwnd);
  if (button != buttons_.end() && message.wParam == VK_RETURN &&
      (message.message == WM_KEYDOWN || message.message == WM_CHAR)) {
    const bool repeat = (message.lParam & (1L << 30)) != 0;
    if (message.message == WM_KEYDOWN && !repeat) {
      SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(button->second, BN_CLICKED),
                   reinterpret_cast<LPARAM>(button->first));
    }
    return true;
  }
  return IsDialogMessageW(hwnd_, &message) != FALSE;
}

std::optional<LRESULT> FormWindow::FocusMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_NEXTDLGCTL: {
      // Sent by the dialog keyboard and by a multi-line edit box on Tab. The
      // box it enters has its whole text selected, as the dialog keyboard
      // does, so that typing replaces it.
      HWND target = LOWORD(lparam) != 0
                        ? reinterpret_cast<HWND>(wparam)
                        : GetNextDlgTabItem(hwnd_, GetFocus(), wparam != 0 ? TRUE : FALSE);
      // An arrow key's next control in the group may be a label, which
      // takes no focus: the keyboard goes on, in the same direction, to the
      // next control that does.
      if (target != nullptr && LOWORD(lparam) != 0) target = FocusableFrom(target);
      if (target == nullptr || !TakesFocus(target)) return 0;
      SetFocus(target);
      if ((SendMessageW(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
        SendMessageW(target, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_ACTIVATE:
      // Leaving the window (Alt+Tab, minimising): remember which control had
      // the focus, to give it back when the window has the focus again.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) last_focus_ = focus;
      }
      return std::nullopt;  // the system then gives the window the focus (WM_SETFOCUS)
    case WM_SETFOCUS: {
      // Never the window itself: a control has the focus, so that typing
      // reaches a box and a screen reader names a control.
      HWND target = last_focus_ != nullptr && IsWindow(last_focus_) ? last_focus_ : first_focus_;
      if (target != nullptr) SetFocus(target);
      return 0;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace egn::runtime
