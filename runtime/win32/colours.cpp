// Colours: the window's surface in its own colour, the faces the description
// fixes with a text colour readable on them, read-only boxes on the window
// colour, and in high contrast the system's colours alone; all painted again
// when the system's colours change.
#include <algorithm>

#include "runtime/forms/appearance.h"
#include "runtime/win32/form_window.h"
#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {
bool assume_high_contrast = false;
}  // namespace

// A flag the program never sets: kept in it so that the window tests run the
// program's own painting in high contrast.
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

// The window's surface: its own colour, or the system's face in high
// contrast. Made again whenever the system's colours or settings change.
void FormWindow::ColoursChanged() {
  if (background_ != nullptr) DeleteObject(background_);
  background_ = CreateSolidBrush(description_.back_colour && !HighContrastOn()
                                     ? ToColorRef(*description_.back_colour)
                                     : GetSysColor(COLOR_BTNFACE));
}

std::optional<LRESULT> FormWindow::ColourMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wparam), &client, background_);
      return 1;
    }
    case WM_CTLCOLORSTATIC: {
      const auto edit = reinterpret_cast<HWND>(lparam);
      if (std::find(window_coloured_.begin(), window_coloured_.end(), edit) ==
          window_coloured_.end()) {
        return std::nullopt;
      }
      const auto dc = reinterpret_cast<HDC>(wparam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
      // High contrast turned on or off, or other system colours: the faces
      // and texts are painted again in the colours now in force.
      ColoursChanged();
      RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
    default:
      return std::nullopt;
  }
}

}  // namespace egn::runtime
