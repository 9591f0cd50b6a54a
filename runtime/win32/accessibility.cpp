#include "runtime/win32/accessibility.h"

#include <initguid.h>  // defines the accessibility GUIDs below, in this file only
#include <oleacc.h>

#include <algorithm>
#include <iterator>

#include "runtime/win32/values.h"

namespace egn::runtime {

namespace {

// UI Automation's LiveSetting, which Dynamic Annotation carries to the
// automation of a standard window (Windows 8 and later; older systems ignore
// it), and its value Polite.
const MSAAPROPID kLiveSetting = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;
// EVENT_OBJECT_LIVEREGIONCHANGED, which a Windows 7 build does not declare.
constexpr DWORD kLiveRegionChanged = 0x8019;

// Every property this object sets: all of them are cleared together.
const MSAAPROPID kProperties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, PROPID_ACC_ROLE,
                                  kLiveSetting};
const auto kClient = static_cast<DWORD>(OBJID_CLIENT);

// NotifyWinEvent, looked up in user32 (loaded in every window program) so
// that the import table holds only what the program's allow-list names.
void RaiseEvent(DWORD event, HWND hwnd) {
  using NotifyFunction = void(WINAPI*)(DWORD, HWND, LONG, LONG);
  static const auto notify = reinterpret_cast<NotifyFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "NotifyWinEvent")));
  if (notify != nullptr) notify(event, hwnd, OBJID_CLIENT, CHILDID_SELF);
}

// Made without VariantInit (oleaut32): zeroed, it is the same empty VARIANT.
VARIANT Integer(LONG value) {
  VARIANT v{};
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

}  // namespace

Accessibility::Accessibility() {
  if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IAccPropServices, reinterpret_cast<void**>(&services_)))) {
    services_ = nullptr;
  }
}

Accessibility::~Accessibility() {
  Clear();
  if (services_ != nullptr) services_->Release();
}

void Accessibility::Remember(HWND hwnd) {
  if (std::find(annotated_.begin(), annotated_.end(), hwnd) == annotated_.end()) {
    annotated_.push_back(hwnd);
  }
}

void Accessibility::Annotate(HWND hwnd, const std::u16string& name,
                             const std::u16string& description) {
  if (services_ == nullptr || (name.empty() && description.empty())) return;
  if (!name.empty()) {
    services_->SetHwndPropStr(hwnd, kClient, CHILDID_SELF, PROPID_ACC_NAME, Wide(name));
  }
  if (!description.empty()) {
    services_->SetHwndPropStr(hwnd, kClient, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                              Wide(description));
  }
  Remember(hwnd);
}

void Accessibility::AnnotateText(HWND hwnd, const std::u16string& caption) {
  Annotate(hwnd, caption, {});
  if (services_ == nullptr) return;
  services_->SetHwndProp(hwnd, kClient, CHILDID_SELF, PROPID_ACC_ROLE,
                         Integer(ROLE_SYSTEM_STATICTEXT));
  Remember(hwnd);
}

void Accessibility::MakeLive(HWND hwnd) {
  if (services_ == nullptr) return;
  services_->SetHwndProp(hwnd, kClient, CHILDID_SELF, PROPID_ACC_ROLE,
                         Integer(ROLE_SYSTEM_STATICTEXT));
  services_->SetHwndProp(hwnd, kClient, CHILDID_SELF, kLiveSetting, Integer(kPolite));
  Remember(hwnd);
}

// The region's name is what screen readers read of it: the window's text for
// the system's own proxy, and the annotation where there is one.
void Accessibility::Announce(HWND live, const std::u16string& text) {
  SetWindowTextW(live, Wide(text));
  if (services_ != nullptr) {
    services_->SetHwndPropStr(live, kClient, CHILDID_SELF, PROPID_ACC_NAME, Wide(text));
    Remember(live);
  }
  if (!text.empty()) RaiseEvent(kLiveRegionChanged, live);
}

void Accessibility::Clear() {
  if (services_ != nullptr) {
    for (HWND hwnd : annotated_) {
      if (!IsWindow(hwnd)) continue;
      services_->ClearHwndProps(hwnd, kClient, CHILDID_SELF, kProperties,
                                static_cast<int>(std::size(kProperties)));
    }
  }
  annotated_.clear();
}

}  // namespace egn::runtime
