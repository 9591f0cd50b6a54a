#include "runtime/win32/dpi.h"

namespace egn::runtime {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
// DPI_AWARENESS_CONTEXT, a handle that Windows 7's headers do not declare.
using AwarenessContext = HANDLE;
using GetThreadDpiAwarenessContextFunction = AwarenessContext(WINAPI*)();
using AreDpiAwarenessContextsEqualFunction = BOOL(WINAPI*)(AwarenessContext, AwarenessContext);
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE and _PER_MONITOR_AWARE_V2.
const auto kPerMonitorContext = reinterpret_cast<AwarenessContext>(static_cast<INT_PTR>(-3));
const auto kPerMonitorV2Context = reinterpret_cast<AwarenessContext>(static_cast<INT_PTR>(-4));
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
  GetThreadDpiAwarenessContextFunction thread_context = nullptr;
  AreDpiAwarenessContextsEqualFunction contexts_equal = nullptr;
};

const Functions& Available() {
  static const Functions functions = [] {
    Functions f;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    f.get_dpi_for_window = Lookup<GetDpiForWindowFunction>(user32, "GetDpiForWindow");
    f.adjust_for_dpi = Lookup<AdjustWindowRectExForDpiFunction>(user32, "AdjustWindowRectExForDpi");
    f.thread_context =
        Lookup<GetThreadDpiAwarenessContextFunction>(user32, "GetThreadDpiAwarenessContext");
    f.contexts_equal =
        Lookup<AreDpiAwarenessContextsEqualFunction>(user32, "AreDpiAwarenessContextsEqual");
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

// Where the thread's awareness context can be asked (Windows 10 1607 on), it
// says what the system does for the window: a manifest's per-monitor v2 is
// granted only from 1703 on, and 1607 runs the same program per-monitor (v1),
// where the system scales no frame. Before 1607 the functions that exist say
// it: GetDpiForMonitor makes 8.1's per-monitor DPI, else the system DPI.
DpiSupport OfferedDpiSupport(const Functions& f) {
  if (f.thread_context != nullptr && f.contexts_equal != nullptr) {
    const AwarenessContext context = f.thread_context();
    if (f.contexts_equal(context, kPerMonitorV2Context) && f.get_dpi_for_window != nullptr &&
        f.adjust_for_dpi != nullptr) {
      return DpiSupport::kPerMonitorV2;
    }
    if (f.contexts_equal(context, kPerMonitorContext) && f.get_dpi_for_monitor != nullptr) {
      return DpiSupport::kPerMonitor;
    }
    return DpiSupport::kSystem;
  }
  return f.get_dpi_for_monitor != nullptr ? DpiSupport::kPerMonitor : DpiSupport::kSystem;
}

}  // namespace

DpiSupport CurrentDpiSupport() {
  const DpiSupport has = OfferedDpiSupport(Available());
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
