// The window's DPI and frame on every Windows from 7 SP1 on. The backend is
// built for Windows 7 (_WIN32_WINNT 0x0601), so it imports nothing newer:
// later functions are looked up at run time, and each level falls back to
// the one before it. The level is the one the thread's DPI awareness context
// says the system grants (GetThreadDpiAwarenessContext, Windows 10 1607), or
// before 1607 the one the functions that exist make possible.
//   per-monitor v2 (granted from Windows 10 1703): GetDpiForWindow,
//     AdjustWindowRectExForDpi;
//   per-monitor (Windows 8.1, and 10 1607): GetDpiForMonitor of shcore.dll;
//   system DPI (Windows 7 and 8, or a thread that is not per-monitor aware):
//     the screen's LOGPIXELSY, AdjustWindowRectEx.
#pragma once

#include <windows.h>

namespace egn::runtime {

enum class DpiSupport { kSystem, kPerMonitor, kPerMonitorV2 };

// What this system offers, at most what LimitDpiSupport allows.
DpiSupport CurrentDpiSupport();
// Behaves from now on as a system that has nothing beyond `support`: for
// tests of the fallbacks on a newer system.
void LimitDpiSupport(DpiSupport support);

// The DPI the window is shown at.
UINT WindowDpi(HWND window);
// `rect`, a client area, grown to the window's frame at `dpi`.
void AdjustFrame(RECT& rect, DWORD style, DWORD ex_style, UINT dpi);

}  // namespace egn::runtime
