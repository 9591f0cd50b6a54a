// What screen readers learn of the window beyond what the system's own
// controls tell them, through Dynamic Annotation: the names and descriptions
// the description gives. One object per window: it holds the system's
// annotation service for as long as the window lives, clears what it set
// before the window goes, and releases the service with the window, so that
// nothing of it outlives the COM apartment the program started.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct IAccPropServices;

namespace egn::runtime {

class Accessibility {
 public:
  // Without the service (an old system, or COM not started) every call does
  // nothing and the controls keep the names the system gives them.
  Accessibility();
  ~Accessibility();
  Accessibility(const Accessibility&) = delete;
  Accessibility& operator=(const Accessibility&) = delete;

  // What a screen reader says of the child window: its name and description
  // (an empty one is left as the system has it).
  void Annotate(HWND hwnd, const std::u16string& name, const std::u16string& description);
  // Removes every annotation this object set, while the windows still exist.
  void Clear();

 private:
  IAccPropServices* services_ = nullptr;
  std::vector<HWND> annotated_;
};

}  // namespace egn::runtime
