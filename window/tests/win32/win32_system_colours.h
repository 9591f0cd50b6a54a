// System colours changed for a test and put back whatever happens. Windows
// keeps SetSysColors system-wide (and in the user's profile), so a test that
// stops halfway on a real desktop would leave it dark or in high contrast:
// the guard restores the colours (and turns high contrast off again when it
// turned it on) in its destructor, which an ASSERT's return and an exception
// reach, and from a handler of the fatal signals, of std::terminate and of
// an unhandled structured exception, which end the process without it.
#pragma once

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <vector>

#include "runtime/win32/form_window.h"

namespace egn::window {

class SystemColours {
 public:
  // Remembers the colours of `elements` as they are now.
  explicit SystemColours(std::vector<int> elements) : elements_(std::move(elements)) {
    for (const int element : elements_) saved_.push_back(GetSysColor(element));
    active = this;
    for (const int signal : kFatalSignals) std::signal(signal, &OnFatalSignal);
    previous_terminate_ = std::set_terminate(&OnTerminate);
    previous_filter_ = SetUnhandledExceptionFilter(&OnUnhandledException);
  }
  ~SystemColours() {
    Restore();
    SetUnhandledExceptionFilter(previous_filter_);
    std::set_terminate(previous_terminate_);
    for (const int signal : kFatalSignals) std::signal(signal, SIG_DFL);
    active = nullptr;
  }
  SystemColours(const SystemColours&) = delete;
  SystemColours& operator=(const SystemColours&) = delete;

  // Sets the elements, in their order, to `colours`.
  bool Set(const std::vector<COLORREF>& colours) const {
    return SetSysColors(static_cast<int>(elements_.size()), elements_.data(), colours.data()) !=
           FALSE;
  }
  // Turns high contrast on (false where the system will not), to be turned
  // off again with the colours.
  bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof contrast;
    contrast.dwFlags = HCF_HIGHCONTRASTON;
    high_contrast_ =
        SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast, SPIF_SENDCHANGE) &&
        runtime::HighContrastOn();
    return high_contrast_;
  }

  // Everything as it was; safe to call more than once.
  void Restore() {
    if (high_contrast_) {
      HIGHCONTRASTW contrast{};
      contrast.cbSize = sizeof contrast;
      SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof contrast, &contrast, SPIF_SENDCHANGE);
      high_contrast_ = false;
    }
    runtime::AssumeHighContrast(false);
    SetSysColors(static_cast<int>(elements_.size()), elements_.data(), saved_.data());
  }

  const std::vector<COLORREF>& saved() const { return saved_; }

 private:
  static constexpr int kFatalSignals[] = {SIGABRT, SIGSEGV, SIGILL, SIGFPE, SIGTERM, SIGINT};
  static inline SystemColours* active = nullptr;

  static void OnFatalSignal(int signal) {
    if (active != nullptr) active->Restore();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
  static void OnTerminate() {
    if (active != nullptr) active->Restore();
    std::abort();
  }
  static LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS*) {
    if (active != nullptr) active->Restore();
    return EXCEPTION_CONTINUE_SEARCH;
  }

  std::vector<int> elements_;
  std::vector<COLORREF> saved_;
  bool high_contrast_ = false;
  std::terminate_handler previous_terminate_ = nullptr;
  LPTOP_LEVEL_EXCEPTION_FILTER previous_filter_ = nullptr;
};

}  // namespace egn::window
