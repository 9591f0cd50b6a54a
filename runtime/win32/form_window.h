// The Win32 backend's window: a top-level window built from a description,
// its windowed controls (edit boxes, list boxes, owner-drawn buttons, the
// labels' static windows). Its concerns are in files of their own:
// colours.cpp, keyboard.cpp, scaling.cpp, accessibility.cpp, reports.cpp. Positions are kept in
// twips and laid out at the window's DPI, again whenever the DPI changes.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/forms/controls.h"
#include "runtime/forms/form_model.h"
#include "runtime/win32/accessibility.h"

namespace egn::runtime {

class FormWindow {
 public:
  // Makes the window (not shown) and its controls through the backend's
  // table of control makers; `icon` is the program's icon resource (0: none),
  // loaded large and small at the window's DPI.
  FormWindow(const FormDescription& description, int icon);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  Form& form() { return form_; }
  UINT dpi() const { return dpi_; }
  HFONT font() const { return font_; }
  // The face the window's font asks for: the description's, a face with its
  // metrics, or the system's own, whichever is installed first.
  const std::u16string& face() const { return face_; }
  int Pixels(int twips) const { return MulDiv(twips, static_cast<int>(dpi_), 1440); }

  // Shows the window with the keyboard focus in the first control of the
  // tab order.
  void Show();

  // What the window does with a message before it is dispatched: the
  // keyboard of a dialog (Tab, Shift+Tab, arrows), Enter on a focused button
  // presses it, and Esc does nothing. True when the message was handled.
  bool PreTranslate(MSG& message);

  // The child window of a control ("Text2(3)", "Label1(0)"); null for an
  // unknown name.
  HWND Find(const std::string& control) const {
    const auto found = names_.find(control);
    return found == names_.end() ? nullptr : found->second;
  }

  // Ends the message loop when the window is destroyed.
  void QuitOnClose() { quit_on_close_ = true; }

  // --- for the control makers ---------------------------------------------
  // A child window of the class, with its place, visibility, font and
  // accessible name from the description; `id` identifies its notifications.
  HWND CreateChild(const ControlDescription& d, const wchar_t* window_class, DWORD style,
                   DWORD ex_style, int id);
  // Notifications (WM_COMMAND codes) of the child with that id.
  void OnCommand(int id, std::function<void(WORD code)> handler);
  // Drawing of an owner-drawn child with that id.
  void OnDrawItem(int id, std::function<void(const DRAWITEMSTRUCT&)> handler);
  // A label's window is read as text, named by its caption.
  void AnnotateText(HWND label, const std::u16string& caption) {
    accessibility_.AnnotateText(label, caption);
  }
  // The window's surface, as its background is painted now.
  HBRUSH background() const { return background_; }
  // The box (at `rect`, twips) is where the program reports: what it writes
  // there is news, announced through a live region placed beneath the box.
  // Written says it wrote; AnnounceReports, after each event procedure,
  // announces the box's text as the procedure left it, once, when it wrote
  // any (an emptied box announces nothing).
  void ReportWrites(HWND box, const Rect& rect);
  void Written(HWND box) { pending_report_ = pending_report_ || box == reported_; }
  void AnnounceReports();
  // A read-only edit box that keeps the window colour (Windows greys them).
  void KeepWindowColour(HWND edit) { window_coloured_.push_back(edit); }
  // A button that Enter presses while it has the focus.
  void AddButton(HWND button, int id) { buttons_[button] = id; }

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  // The messages of one concern each (colours.cpp, keyboard.cpp,
  // scaling.cpp): the result where that concern handles the message.
  std::optional<LRESULT> ColourMessage(UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> FocusMessage(UINT message, WPARAM wparam, LPARAM lparam);
  std::optional<LRESULT> DpiMessage(UINT message, WPARAM wparam, LPARAM lparam);
  static DWORD Style(const FormDescription& d);
  static constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
  void ColoursChanged();
  // Every control, then the window (at `place` when given), at `dpi`.
  void LayOut(UINT dpi, const POINT* place = nullptr);
  // The font at `dpi`, given to every control without repainting it: the
  // caller repaints the window once.
  void SetFont(UINT dpi);
  void SetIcons(UINT dpi);
  // `target`, or the first control after it that takes the focus, walking
  // away from the focused control.
  HWND FocusableFrom(HWND target) const;

  FormDescription description_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  HFONT font_ = nullptr;
  int icon_ = 0;
  HICON big_icon_ = nullptr, small_icon_ = nullptr;
  std::u16string face_;  // the face asked for: an installed one
  HBRUSH background_ = nullptr;
  Form form_;
  struct Child {
    HWND hwnd;
    Rect rect;  // twips
  };
  std::vector<Child> children_;
  std::map<std::string, HWND> names_;
  HWND reported_ = nullptr, announcer_ = nullptr;
  bool pending_report_ = false;
  std::vector<HWND> window_coloured_;
  std::map<HWND, int> buttons_;
  std::map<int, std::function<void(WORD)>> commands_;
  std::map<int, std::function<void(const DRAWITEMSTRUCT&)>> draw_items_;
  Accessibility accessibility_;  // released with the window, before COM ends
  HWND first_focus_ = nullptr;
  HWND last_focus_ = nullptr;  // the control that had the focus when the window was left
  bool quit_on_close_ = false;
};

// Whether the user has asked Windows for high contrast: the window then
// paints its faces and texts in the system's colours alone.
bool HighContrastOn();
// Takes high contrast as on whatever the system says: for tests on a system
// that will not turn it on for them (Wine). The program never calls it.
void AssumeHighContrast(bool on);

// The colours of a face the description fixes, as painted now: the face
// and a text colour readable on it (the system's text colour where it is,
// else black or white); in high contrast the system's face and text.
struct FaceColours {
  COLORREF face, text;
};
FaceColours ColoursOf(Colour face);

}  // namespace egn::runtime
