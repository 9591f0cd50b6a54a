// Scaling: the face the window asks for (an installed one), its font and
// icons at the window's DPI, every control and the frame laid out in twips at
// that DPI, and the same again, painted once, when the DPI changes.
#include <algorithm>
#include <cmath>

#include "runtime/forms/appearance.h"
#include "runtime/win32/dpi.h"
#include "runtime/win32/form_window.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {

// Sent by Windows 10 1703 and later before a DPI change; a Windows 7 build
// does not declare it.
constexpr UINT kGetDpiScaledSize = 0x02E4;  // WM_GETDPISCALEDSIZE

}  // namespace

DWORD FormWindow::Style(const FormDescription& d) {
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (d.border == BorderStyle::kSizable) style |= WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  return style;
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
  AdjustFrame(frame, Style(description_), kExStyle, dpi);
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

std::optional<LRESULT> FormWindow::DpiMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kGetDpiScaledSize: {
      // The exact frame at the coming DPI, so that a window on the edge of
      // two monitors does not flip between their DPIs.
      const UINT dpi = static_cast<UINT>(wparam);
      RECT frame{0, 0, MulDiv(description_.client_width, static_cast<int>(dpi), 1440),
                 MulDiv(description_.client_height, static_cast<int>(dpi), 1440)};
      AdjustFrame(frame, Style(description_), kExStyle, dpi);
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
    default:
      return std::nullopt;
  }
}

}  // namespace egn::runtime
