#include "runtime/win32/dpi.h"

namespace egn::runtime {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
// GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &x, &y), declared by shcore.
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // The cast from a generic procedure address is how GetProcAddress is used.
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

struct Functions {
  GetDpiForWindowFunction get_dpi_for_window = nullptr;
  AdjustWindowRectExForDpiFunction adjust_for_dpi = nullptr;
  GetDpiForMonitorFunction get_dpi_for_monitor = nullptr;
};

const Functions& Available() {
  static const Functions functions = [] {
    Functions f;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    f.get_dpi_for_window = Lookup<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
    f.adjust_for_dpi = Lookup<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
    // From the system folder only, never from beside the program.
    HMODULE shcore = LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    f.get_dpi_for_monitor = Lookup<GetDpiForMonitorFunction>(shcore, "GetDpiForMonitor");
    return f;
  }();
  return functions;
}

DpiSupport limit = DpiSupport::kPerMonitorV2;

UINT ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

DpiSupport CurrentDpiSupport() {
  const Functions& f = Available();
  DpiSupport has = DpiSupport::kSystem;
  if (f.get_dpi_for_monitor != nullptr) has = DpiSupport::kPerMonitor;
  if (f.get_dpi_for_window != nullptr && f.adjust_for_dpi != nullptr) {
    has = DpiSupport::kPerMonitorV2;
  }
  return has < limit ? has : limit;
}

void LimitDpiSupport(DpiSupport support) { limit = support; }

UINT WindowDpi(HWND window) {
  const Functions& f = Available();
  switch (CurrentDpiSupport()) {
    case DpiSupport::kPerMonitorV2:
      return f.get_dpi_for_window(window);
    case DpiSupport::kPerMonitor: {
      UINT x = 0, y = 0;
      HMONITOR monitor = MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
      if (SUCCEEDED(f.get_dpi_for_monitor(monitor, kEffectiveDpi, &x, &y)) && y > 0) return y;
      return ScreenDpi();
    }
    case DpiSupport::kSystem:
      break;
  }
  return ScreenDpi();
}

void AdjustFrame(RECT& rect, DWORD style, DWORD ex_style, UINT dpi) {
  if (CurrentDpiSupport() == DpiSupport::kPerMonitorV2) {
    Available().adjust_for_dpi(&rect, style, FALSE, ex_style, dpi);
  } else {
    // Without per-monitor v2 the system does not scale the frame: its
    // metrics are the system's, whatever the window's DPI.
    AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
}

}  // namespace egn::runtime
