// What screen readers learn of the window beyond what the system's own
// controls tell them, through Dynamic Annotation: the names and descriptions
// the description gives, the labels as text, and the one live region that
// announces what the program reports. One object per window: it holds the
// system's annotation service for as long as the window lives, clears what
// it set before the window goes, and releases the service with the window,
// so that nothing of it outlives the COM apartment the program started.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "runtime/forms/form_model.h"

struct IAccPropServices;

namespace egn::runtime {

class Accessibility {
 public:
  // Without the service (an old system, or COM not started) names, roles
  // and the live setting are not set and the controls keep what the system
  // gives them; announcements are still raised.
  Accessibility();
  ~Accessibility();
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // What a screen reader says of the window: its name and description (an
  // empty one is left as the system has it).
  void Annotate(HWND hwnd, const std::u16string& name, const std::u16string& description);
  // The window is text (a label): read as such, named by its caption.
  void AnnotateText(HWND hwnd, const std::u16string& caption);
  // The window is a polite live region: what Announce puts in it is read
  // out when the screen reader is next silent, wherever the focus is.
  void MakeLive(HWND hwnd);
  void Announce(HWND live, const std::u16string& text);
  // Removes every annotation this object set, while the windows still exist.
  void Clear();

 private:
  void Remember(HWND hwnd);

  IAccPropServices* services_ = nullptr;
  std::vector<HWND> annotated_;
};

}  // namespace egn::runtime
