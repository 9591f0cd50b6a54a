#include "runtime/win32/form_window.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "runtime/forms/appearance.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/win32/controls_win32.h"
#include "runtime/win32/dpi.h"

namespace egn::runtime {

namespace {

// Sent by Windows 10 1703 and later before a DPI change; a Windows 7 build
// does not declare it.
constexpr UINT kGetDpiScaledSize = 0x02E4;  // WM_GETDPISCALEDSIZE

constexpr wchar_t kWindowClass[] = L"EgnCheckForm";
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kFirstId = 100;  // never IDOK (1) or IDCANCEL (2): those press nothing

DWORD StyleOf(const FormDescription& d) {
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (d.border == BorderStyle::kSizable) style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  return style;
}

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

bool TakesFocus(HWND control) { return (GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP) != 0; }

}  // namespace

namespace {
bool assume_high_contrast = false;
}  // namespace

void AssumeHighContrast(bool on) { assume_high_contrast = on; }

bool HighContrastOn() {
  if (assume_high_contrast) return true;
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

FaceColours ColoursOf(Colour face) {
  if (HighContrastOn()) return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
  return {ToColorRef(face), ToColorRef(ReadableTextOn(face, GetSysColor(COLOR_BTNTEXT)))};
}

FormWindow::FormWindow(const FormDescription& description, int icon)
    : description_(description), icon_(icon) {
  RegisterWindowClass(&Procedure);
  const FormDescription& d = description_;
  ColoursChanged();
  hwnd_ = CreateWindowExW(kExStyle, kWindowClass, Wide(d.caption), StyleOf(d), CW_USEDEFAULT,
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

namespace {

// EnumFontFamiliesExW's callback: notes that a face was seen. A named
// CALLBACK function, not a lambda: on 32-bit Windows the system calls it as
// stdcall, which a lambda's function pointer is not.
int CALLBACK NoteFace(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) {
  *reinterpret_cast<bool*>(seen) = true;
  return 0;  // one is enough
}

// Whether the system has a face of that name for the character set.
bool FaceInstalled(const std::u16string& face, BYTE charset) {
  LOGFONTW wanted{};
  wanted.lfCharSet = charset;
  face.copy(reinterpret_cast<char16_t*>(wanted.lfFaceName), LF_FACESIZE - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &wanted, NoteFace, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// The face to ask for: the description's where it is installed, else a face
// with its metrics, else the system's own message face. A name the system
// does not have is never asked for: the system would substitute a face of
// its choosing (under Wine 8 one that crashes its text layout in the edit
// boxes), and a stripped Windows (Server Core) may have no Times New Roman.
std::u16string InstalledFace(const FontDescription& f) {
  const auto charset = static_cast<BYTE>(f.charset);
  std::u16string face(f.name.begin(), f.name.end());  // printable ASCII
  if (FaceInstalled(face, charset)) return face;
  for (const std::string_view twin : MetricTwins(f.name)) {
    face.assign(twin.begin(), twin.end());
    if (FaceInstalled(face, charset)) return face;
  }
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    return reinterpret_cast<const char16_t*>(metrics.lfMessageFont.lfFaceName);
  }
  return std::u16string(f.name.begin(), f.name.end());
}

}  // namespace

void FormWindow::SetFont(UINT dpi) {
  const FontDescription& f = description_.font;
  const int height = -static_cast<int>(std::lround(f.size_points * dpi / 72.0));
  if (face_.empty()) face_ = InstalledFace(f);
  const std::u16string& face = face_;
  HFONT font = CreateFontW(height, 0, 0, 0, f.weight, f.italic, f.underline, f.strikeout,
                           static_cast<BYTE>(f.charset), OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                           DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, Wide(face));
  for (const Child& child : children_) {
    SendMessageW(child.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  if (font_ != nullptr) DeleteObject(font_);
  font_ = font;
}

// The title bar's and the taskbar's icons, each the image of its own size at
// the window's DPI (16 and 32 pixels at 96 dpi), not one image scaled.
void FormWindow::SetIcons(UINT dpi) {
  if (icon_ == 0) return;
  const struct {
    WPARAM which;
    int size;
    HICON* kept;
  } icons[] = {{ICON_BIG, 32, &big_icon_}, {ICON_SMALL, 16, &small_icon_}};
  for (const auto& i : icons) {
    const int pixels = MulDiv(i.size, static_cast<int>(dpi), 96);
    auto* icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(icon_),
                                               IMAGE_ICON, pixels, pixels, 0));
    if (icon == nullptr) continue;
    SendMessageW(hwnd_, WM_SETICON, i.which, reinterpret_cast<LPARAM>(icon));
    if (*i.kept != nullptr) DestroyIcon(*i.kept);
    *i.kept = icon;
  }
}

void FormWindow::LayOut(UINT dpi, const POINT* place) {
  dpi_ = dpi;
  // The controls first, unseen: they are painted once, with the window.
  for (const Child& child : children_) {
    SetWindowPos(child.hwnd, nullptr, Pixels(child.rect.left), Pixels(child.rect.top),
                 Pixels(child.rect.width), Pixels(child.rect.height),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  RECT frame{0, 0, Pixels(description_.client_width), Pixels(description_.client_height)};
  AdjustFrame(frame, StyleOf(description_), kExStyle, dpi);
  const int width = Pixels(description_.client_width);
  const int height = Pixels(description_.client_height);
  // The background is erased when the window is painted, not while it moves.
  UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_DEFERERASE | SWP_NOCOPYBITS;
  if (place == nullptr) flags |= SWP_NOMOVE;
  const POINT at = place != nullptr ? *place : POINT{0, 0};
  SetWindowPos(hwnd_, nullptr, at.x, at.y, frame.right - frame.left, frame.bottom - frame.top,
               flags);
  // The frame the system actually draws may differ from the computed one
  // (a DPI change seen before the frame is redrawn): the client area is what
  // must be exact, so the difference is put right.
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (client.right != width || client.bottom != height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left + width - client.right,
                 frame.bottom - frame.top + height - client.bottom, flags | SWP_NOMOVE);
  }
}

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

// The window's surface: its own colour, or the system's face in high
// contrast. Made again whenever the system's colours or settings change.
void FormWindow::ColoursChanged() {
  if (background_ != nullptr) DeleteObject(background_);
  background_ = CreateSolidBrush(description_.back_colour && !HighContrastOn()
                                     ? ToColorRef(*description_.back_colour)
                                     : GetSysColor(COLOR_BTNFACE));
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
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, background_);
      return 1;
    }
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
    case WM_CTLCOLORSTATIC: {
      const auto edit = reinterpret_cast<HWND>(lparam);
      if (std::find(window_coloured_.begin(), window_coloured_.end(), edit) ==
          window_coloured_.end()) {
        break;
      }
      const auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
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
      break;  // the system then gives the window the focus (WM_SETFOCUS)
    case WM_SETFOCUS: {
      // Never the window itself: a control has the focus, so that typing
      // reaches a box and a screen reader names a control.
      HWND target = last_focus_ != nullptr && IsWindow(last_focus_) ? last_focus_ : first_focus_;
      if (target != nullptr) SetFocus(target);
      return 0;
    }
    case kGetDpiScaledSize: {
      // The exact frame at the coming DPI, so that a window on the edge of
      // two monitors does not flip between their DPIs.
      const UINT dpi = static_cast<UINT>(wparam);
      RECT frame{0, 0, MulDiv(description_.client_width, static_cast<int>(dpi), 1440),
                 MulDiv(description_.client_height, static_cast<int>(dpi), 1440)};
      AdjustFrame(frame, StyleOf(description_), kExStyle, dpi);
      auto* size = reinterpret_cast<SIZE*>(lparam);
      size->cx = frame.right - frame.left;
      size->cy = frame.bottom - frame.top;
      return TRUE;
    }
    case WM_DPICHANGED: {
      // Everything at the new DPI, then painted once: fonts and places change
      // unseen, the window goes to the suggested place with its exact client
      // area, and one invalidation repaints it with every control.
      const UINT dpi = HIWORD(wparam);
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      SetFont(dpi);
      SetIcons(dpi);
      const POINT place{suggested->left, suggested->top};
      LayOut(dpi, &place);
      RedrawWindow(hwnd_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      return 0;
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // High contrast turned on or off, or other system colours: the faces
      // and texts are painted again in the colours now in force.
      ColoursChanged();
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
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
