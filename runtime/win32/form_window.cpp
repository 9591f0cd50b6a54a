#include "runtime/win32/form_window.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "runtime/forms/control_kinds.h"
#include "runtime/win32/control_makers.h"
#include "runtime/win32/dpi.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {

constexpr wchar_t kWindowClass[] = L"EgnCheckForm";
constexpr int kFirstId = 100;  // never IDOK (1) or IDCANCEL (2): those press nothing

void RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSEXW c{};
    c.cbSize = sizeof c;
    c.lpfnWndProc = procedure;
    c.hInstance = GetModuleHandleW(nullptr);
    c.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    c.lpszClassName = kWindowClass;
    return RegisterClassExW(&c) != 0;
  }();
  if (!registered) throw std::runtime_error("cannot register the window class");
}

}  // namespace

FormWindow::FormWindow(const FormDescription& description, int icon)
    : description_(description), icon_(icon) {
  RegisterWindowClass(&Procedure);
  const FormDescription& d = description_;
  ColoursChanged();
  hwnd_ = CreateWindowExW(kExStyle, kWindowClass, Wide(d.caption), Style(d), CW_USEDEFAULT,
                          CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd_ == nullptr) throw std::runtime_error("cannot create the window " + d.name);
  dpi_ = WindowDpi(hwnd_);
  SetFont(dpi_);
  SetIcons(dpi_);

  // Child windows are made in tab order: the order in which they are made is
  // the order in which the keyboard walks them.
  std::vector<const ControlDescription*> order;
  for (const ControlDescription& c : d.controls) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(),
                   [](const auto* a, const auto* b) { return a->tab_index < b->tab_index; });
  int id = kFirstId;
  for (const ControlDescription* c : order) {
    form_.Adopt(MakerFor(c->kind)(*c, *this, id++), c->index, c->name);
  }

  // The form's surface is named by its heading, the title bar keeps the
  // caption (which may be a web address, as here).
  if (const ControlDescription* heading = Heading(d)) {
    accessibility_.Annotate(hwnd_, heading->text, {});
  }

  LayOut(dpi_);
  if (d.position == StartPosition::kCenterScreen) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT frame{};
    GetWindowRect(hwnd_, &frame);
    if (GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor)) {
      const RECT& work = monitor.rcWork;
      const int width = frame.right - frame.left;
      const int height = frame.bottom - frame.top;
      SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
}

FormWindow::~FormWindow() {
  accessibility_.Clear();  // while the controls still exist
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
  if (big_icon_ != nullptr) DestroyIcon(big_icon_);
  if (small_icon_ != nullptr) DestroyIcon(small_icon_);
  if (font_ != nullptr) DeleteObject(font_);
  if (background_ != nullptr) DeleteObject(background_);
}

void FormWindow::Show() {
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  if (first_focus_ != nullptr) SetFocus(first_focus_);
}

HWND FormWindow::CreateChild(const ControlDescription& d, const wchar_t* window_class, DWORD style,
                             DWORD ex_style, int id) {
  if (d.visible) style |= WS_VISIBLE;
  HWND child = CreateWindowExW(ex_style, window_class, L"", style | WS_CHILD, Pixels(d.rect.left),
                               Pixels(d.rect.top), Pixels(d.rect.width), Pixels(d.rect.height),
                               hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
  if (child == nullptr) throw std::runtime_error("cannot create the control " + d.DisplayName());
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  children_.push_back({child, d.rect});
  names_[d.DisplayName()] = child;
  accessibility_.Annotate(child, d.accessible_name, d.accessible_description);
  if (first_focus_ == nullptr && d.visible && (style & WS_TABSTOP) != 0) first_focus_ = child;
  return child;
}

void FormWindow::OnCommand(int id, std::function<void(WORD)> handler) {
  commands_[id] = std::move(handler);
}

void FormWindow::OnDrawItem(int id, std::function<void(const DRAWITEMSTRUCT&)> handler) {
  draw_items_[id] = std::move(handler);
}

LRESULT CALLBACK FormWindow::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  // No exception may cross the window procedure: the system's code is
  // between it and the message loop. Event procedures have their own
  // boundary; this one catches what is left (running out of memory).
  try {
    return self->Handle(message, wparam, lparam);
  } catch (...) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

LRESULT FormWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  for (const auto concern :
       {&FormWindow::ColourMessage, &FormWindow::FocusMessage, &FormWindow::DpiMessage}) {
    if (const std::optional<LRESULT> result = (this->*concern)(message, wparam, lparam)) {
      return *result;
    }
  }
  switch (message) {
    case WM_COMMAND: {
      // Every control reports the focus it gains (EN_, LBN_, BN_SETFOCUS):
      // the one that has it is the one to give it back to later.
      if (HWND focus = GetFocus(); focus != nullptr && IsChild(hwnd_, focus)) last_focus_ = focus;
      const auto found = commands_.find(LOWORD(wparam));
      if (found != commands_.end()) found->second(HIWORD(wparam));
      return 0;  // IDOK and IDCANCEL from the dialog keyboard press nothing
    }
    case WM_DRAWITEM: {
      const auto found = draw_items_.find(static_cast<int>(wparam));
      if (found == draw_items_.end()) break;
      found->second(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      return TRUE;
    }
    case WM_DESTROY:
      if (quit_on_close_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      // The last message: the system frees what it keeps for the window in
      // its default handling, so that is called too.
      HWND hwnd = hwnd_;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      return DefWindowProcW(hwnd, message, wparam, lparam);
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace egn::runtime
