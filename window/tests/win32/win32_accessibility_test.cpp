// What a screen reader reaches in the Win32 window: every caption the window
// shows is an object of its own, read as text and named by its caption; the
// form's surface is named by its heading; the results are announced through
// a polite live region once per command, without moving the focus.
#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>
#include <vector>

#include "window/tests/win32/win32_window_fixture.h"

namespace egn::window {
namespace {

// The name and role a screen reader reads of a window's client object.
struct Read {
  std::u16string name;
  long role = 0;
};
Read ReadObject(HWND hwnd) {
  Read read;
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                        reinterpret_cast<void**>(&object))) ||
      object == nullptr) {
    return read;
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (SUCCEEDED(object->get_accName(self, &name)) && name != nullptr) {
    read.name = reinterpret_cast<const char16_t*>(name);
    SysFreeString(name);
  }
  VARIANT role{};
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) read.role = role.lVal;
  object->Release();
  return read;
}

const struct {
  const char* label;
  const char16_t* caption;
} kCaptions[] = {
    {"Label1(0)", u"Проверка на ЕГН - последна цифра"},
    {"Label1(1)", u"Година"},
    {"Label1(2)", u"Месец"},
    {"Label1(3)", u"Ден"},
    {"Label1(4)", u"Номер"},
    {"Label1(5)", u"Код окръг"},
    {"Label2(0)", u"2"},
    {"Label2(1)", u"4"},
    {"Label2(2)", u"8"},
    {"Label2(3)", u"5"},
    {"Label2(4)", u"10"},
    {"Label2(5)", u"9"},
    {"Label2(6)", u"7"},
    {"Label2(7)", u"3"},
    {"Label2(8)", u"6"},
    {"Label2(9)", u"?"},
};

TEST_F(Win32Window, EveryCaptionIsTextNamedByItsCaption) {
  for (const auto& c : kCaptions) {
    HWND label = Child(c.label);
    ASSERT_NE(label, nullptr) << c.label;
    const Read read = ReadObject(label);
    EXPECT_EQ(read.name, c.caption) << c.label;
    // The role (static text) is set through Dynamic Annotation, which Wine's
    // oleacc does not carry to the object it gives (it says "client"): only
    // Windows reads it.
    EXPECT_TRUE(read.role == ROLE_SYSTEM_STATICTEXT || read.role == ROLE_SYSTEM_CLIENT) << c.label;
    EXPECT_TRUE(IsWindowVisible(label)) << c.label;
    EXPECT_EQ(GetWindowLongPtrW(label, GWL_STYLE) & WS_TABSTOP, 0) << c.label << " takes no focus";
  }
}

// Arrow keys walk the group as before: a label in between takes no focus.
TEST_F(Win32Window, ArrowKeysSkipTheLabels) {
  const struct {
    const char* from;
    WPARAM key;
    const char* to;
  } moves[] = {{"Command1(0)", VK_UP, "Text2(8)"},
               {"Command1(0)", VK_LEFT, "Text2(8)"},
               {"Command1(0)", VK_DOWN, "Command1(1)"},
               {"Command1(1)", VK_DOWN, "Text2(9)"},
               {"Command1(1)", VK_UP, "Command1(0)"}};
  for (const auto& m : moves) {
    SetFocus(Child(m.from));
    Key(m.key);
    EXPECT_EQ(GetFocus(), Child(m.to)) << m.from << " and key " << m.key;
  }
}

// Live region changes raised in this process, with the name of the object
// that raised them as a screen reader reads it then.
std::vector<std::u16string> announced;
void CALLBACK OnLiveRegion(HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG child, DWORD, DWORD) {
  IAccessible* accessible = nullptr;
  VARIANT which{};
  std::u16string name = u"(no object)";
  if (SUCCEEDED(AccessibleObjectFromEvent(hwnd, static_cast<DWORD>(object),
                                          static_cast<DWORD>(child), &accessible, &which))) {
    BSTR text = nullptr;
    name = u"(no name)";
    if (SUCCEEDED(accessible->get_accName(which, &text)) && text != nullptr) {
      name = reinterpret_cast<const char16_t*>(text);
      SysFreeString(text);
    }
    accessible->Release();
  }
  announced.push_back(name);
}

TEST_F(Win32Window, TheResultsAreAnnouncedOncePerCommandWithoutMovingTheFocus) {
  constexpr DWORD kLiveRegionChanged = 0x8019;
  HWINEVENTHOOK hook =
      SetWinEventHook(kLiveRegionChanged, kLiveRegionChanged, nullptr, &OnLiveRegion,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  const struct {
    const char16_t* digits;
    int button;
    std::vector<std::u16string> heard;
  } steps[] = {
      {u"123456789", 0, {u"Изчислена сума: 285\r\nПоследно число: 0"}},
      {u"", 0, {u"Изчислена сума: 285\r\nПоследно число: 0"}},  // the same again, heard again
      {u"", 1, {}},                                             // emptied: nothing to hear
      {u"751231000", 0, {u"Изчислена сума: 91\r\nПоследно число: 3"}},
  };
  for (const auto& step : steps) {
    TypeDigits(step.digits);
    HWND button = Child("Command1(" + std::to_string(step.button) + ")");
    SetFocus(button);
    Pump();
    announced.clear();
    Key(VK_SPACE, L' ');
    Pump();
    EXPECT_EQ(announced, step.heard) << "after " << (step.button == 0 ? "Изчисли" : "Изчисти");
    EXPECT_EQ(GetFocus(), button) << "the focus stays where the user left it";
  }
  UnhookWinEvent(hook);
}

}  // namespace
}  // namespace egn::window
