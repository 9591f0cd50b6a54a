#include "runtime/win32/control_makers.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/forms/control_kinds.h"
#include "runtime/win32/values.h"

namespace egn::runtime {
namespace {

// Every kind of the neutral table has a maker (a missing one would raise
// the runtime's own error), and each makes a window of the form, found by
// its name, at its place in pixels at the form's DPI.
TEST(Win32ControlMakers, EveryKindMakesAPlacedNamedWindow) {
  FormDescription d;
  d.name = "Form1";
  d.caption = u"Form1";
  d.client_width = 3000;
  d.client_height = 4000;
  d.font = {"Arial", 10, 400, false, false, false, 204};
  std::int16_t index = 0;
  for (const ControlKindInfo& info : ControlKinds()) {
    ControlDescription c;
    c.kind = info.kind;
    c.name = "Some";
    c.index = index;
    c.tab_index = index;
    c.rect = {150, 300 + 600 * index, 1500, 450};
    c.text = u"Изчисли";
    c.items = {u"едно"};
    d.controls.push_back(c);
    ++index;
  }
  FormWindow window(d, 0);
  for (const ControlDescription& c : d.controls) {
    const std::string name = c.DisplayName();
    HWND control = window.Find(name);
    ASSERT_NE(control, nullptr) << name;
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window.hwnd(), reinterpret_cast<POINT*>(&place), 2);
    EXPECT_EQ(place.left, window.Pixels(c.rect.left)) << name;
    EXPECT_EQ(place.top, window.Pixels(c.rect.top)) << name;
    EXPECT_EQ(place.right - place.left, window.Pixels(c.rect.width)) << name;
    EXPECT_EQ(place.bottom - place.top, window.Pixels(c.rect.height)) << name;
  }
}

TEST(Win32Values, ConvertExactly) {
  EXPECT_EQ(ToColorRef(0x0080C0FF), RGB(0xFF, 0xC0, 0x80));  // 0x00BBGGRR is a COLORREF
  const std::u16string text = u"Изчисли \xD800!";
  EXPECT_EQ(std::wstring(Wide(text)), std::wstring(L"Изчисли \xD800!"));
}

}  // namespace
}  // namespace egn::runtime
