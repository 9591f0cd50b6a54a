// The real window of the program on the Win32 backend, loaded and shown for
// each test, with what the tests do to it: keys as the keyboard sends them,
// clicks, and the message loop's delivery through the form's keyboard.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "runtime/win32/application.h"
#include "window/main_form.h"

namespace egn::window {

inline std::u16string Text(HWND hwnd) {
  std::u16string text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, u'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, reinterpret_cast<wchar_t*>(text.data()),
                                                      static_cast<int>(text.size()))));
  return text;
}

class Win32Window : public ::testing::Test {
 protected:
  void SetUp() override { Load(MainFormClass()); }

  void Load(const runtime::FormClass& form_class) {
    form_.reset();
    form_ = runtime::LoadForm(form_class);
    form_->window().Show();
    Pump();
  }

  // Delivers what is queued, through the form's keyboard as the program's
  // message loop does.
  void Pump() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (form_->window().PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  HWND Window() const { return form_->window().hwnd(); }
  HWND Child(const std::string& name) const {
    HWND child = form_->window().Find(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  int Px(int twips) const { return form_->window().Pixels(twips); }
  std::u16string Property(const char* array, std::int16_t index) const {
    return form_->form().Array(array)(index).Text();
  }
  // A key pressed and released on the focused control, as the keyboard sends it.
  void Key(WPARAM key, wchar_t character = 0) {
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, key, 1);
    if (character != 0) PostMessageW(focus, WM_CHAR, character, 1);
    PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
    Pump();
  }
  void Type(HWND box, std::u16string_view text) {
    SetFocus(box);
    for (const char16_t c : text) Key(0, c);
  }
  void TypeDigits(std::u16string_view digits) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
      Type(Child("Text2(" + std::to_string(i) + ")"), digits.substr(i, 1));
    }
  }
  void Click(int button) {
    SendMessageW(Child("Command1(" + std::to_string(button) + ")"), BM_CLICK, 0, 0);
    Pump();
  }
  COLORREF PixelAt(int x, int y) {
    RedrawWindow(Window(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC dc = GetDC(Window());
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(Window(), dc);
    return colour;
  }

  std::unique_ptr<runtime::LoadedForm> form_;
};

}  // namespace egn::window
