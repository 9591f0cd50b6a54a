#include "runtime/win32/accessibility.h"

#include <initguid.h>  // defines the accessibility GUIDs below, in this file only
#include <oleacc.h>

#include <algorithm>
#include <iterator>

namespace egn::runtime {

namespace {

// Every property this object sets: all of them are cleared together.
const MSAAPROPID kProperties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};

const wchar_t* Wide16(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
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

void Accessibility::Annotate(HWND hwnd, const std::u16string& name,
                             const std::u16string& description) {
  if (services_ == nullptr || (name.empty() && description.empty())) return;
  const auto object = static_cast<DWORD>(OBJID_CLIENT);
  if (!name.empty()) {
    services_->SetHwndPropStr(hwnd, object, CHILDID_SELF, PROPID_ACC_NAME, Wide16(name));
  }
  if (!description.empty()) {
    services_->SetHwndPropStr(hwnd, object, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                              Wide16(description));
  }
  if (std::find(annotated_.begin(), annotated_.end(), hwnd) == annotated_.end()) {
    annotated_.push_back(hwnd);
  }
}

void Accessibility::Clear() {
  if (services_ != nullptr) {
    for (HWND hwnd : annotated_) {
      if (!IsWindow(hwnd)) continue;
      services_->ClearHwndProps(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kProperties,
                                static_cast<int>(std::size(kProperties)));
    }
  }
  annotated_.clear();
}

}  // namespace egn::runtime
