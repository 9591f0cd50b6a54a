// Value conversions between the runtime's own types and the wide Windows
// API's.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/forms/form_model.h"

namespace egn::runtime {

// UTF-16 as the wide Windows API spells it.
inline const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// 0x00BBGGRR is already a COLORREF.
inline COLORREF ToColorRef(Colour colour) { return static_cast<COLORREF>(colour); }

// UTF-8 (an exception's message, the application's name) as UTF-16.
std::u16string FromUtf8(const std::string& text);

}  // namespace egn::runtime
