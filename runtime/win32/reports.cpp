// The live region through which the window announces what the program
// reports: a STATIC window beneath the reporting box, of its size, never
// seen (the box covers it) and never focused, read out by screen readers
// whenever its text changes, wherever the focus is. Beneath the box, it
// moves with it at every DPI and is where a screen reader's user finds it.
#include "runtime/win32/control_makers.h"

namespace egn::runtime {

namespace {

constexpr int kAnnouncerId = 99;  // below the controls' ids, drawn by no one

}  // namespace

void FormWindow::ReportWrites(HWND box, const Rect& rect) {
  if (announcer_ != nullptr) return;  // one live region: the first reporting box's
  announcer_ =
      CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_OWNERDRAW,
                      Pixels(rect.left), Pixels(rect.top), Pixels(rect.width), Pixels(rect.height),
                      hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kAnnouncerId)),
                      GetModuleHandleW(nullptr), nullptr);
  if (announcer_ == nullptr) return;  // the window works on, without announcements
  SetWindowPos(announcer_, box, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  children_.push_back({announcer_, rect});
  reported_ = box;
  accessibility_.MakeLive(announcer_);
}

void FormWindow::AnnounceReports() {
  if (!pending_report_ || announcer_ == nullptr) return;
  pending_report_ = false;
  std::u16string text = WindowText(reported_);
  while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
  accessibility_.Announce(announcer_, text);
}

}  // namespace egn::runtime
