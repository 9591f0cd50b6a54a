// List boxes: a LISTBOX that keeps its height (no integral height), scrolls
// vertically, with the items in order and none selected.
#include "runtime/win32/control_makers.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

std::unique_ptr<Control> MakeListBox(const ControlDescription& d, FormWindow& window, int id) {
  HWND list = window.CreateChild(
      d, L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | LBS_HASSTRINGS,
      WS_EX_CLIENTEDGE, id);
  for (const std::u16string& item : d.items) {
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item)));
  }
  SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  // The list box has no property that a procedure reads or writes.
  return std::make_unique<Control>(d.kind, d.DisplayName());
}

}  // namespace egn::runtime
