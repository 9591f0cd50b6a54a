// The real window on the Win32 backend, run under Wine (or Windows): its
// geometry at the window's DPI, the colours it draws, its texts, typing and
// pasting, read-only boxes, both commands, the keyboard, and a run-time
// error answered in its message box.
#include <gtest/gtest.h>

#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/core/conversions.h"
#include "runtime/forms/appearance.h"
#include "runtime/win32/application.h"
#include "runtime/win32/dpi.h"
#include "window/main_form.h"
#include "window/tests/shared/expectations.h"
#include "window/tests/win32/win32_system_colours.h"
#include "window/tests/win32/win32_window_fixture.h"

namespace egn::window {
namespace {

using runtime::LoadedForm;

using testing::Described;
using testing::Expected;

std::string Utf8(std::u16string_view text) { return runtime::ToUtf8(text); }

TEST_F(Win32Window, FrameAndClientAreaAtTheWindowsDpi) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(Window(), GWL_STYLE));
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  EXPECT_EQ(Text(Window()), Described().caption);
  // Where the test is run at a known DPI, the window has it.
  if (const char* expected = std::getenv("EGN_EXPECTED_DPI")) {
    EXPECT_EQ(form_->window().dpi(), static_cast<UINT>(std::atoi(expected)));
  }
  RECT client{};
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, Px(Described().client_width));
  EXPECT_EQ(client.bottom, Px(Described().client_height));
  if (form_->window().dpi() == 96) {
    EXPECT_EQ(client.right * 1000 + client.bottom, 493325);
  }
  if (form_->window().dpi() == 192) {
    EXPECT_EQ(client.right * 1000 + client.bottom, 986650);
  }

  // Centred on the work area of its own monitor.
  RECT frame{};
  GetWindowRect(Window(), &frame);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(Window(), MONITOR_DEFAULTTONEAREST), &monitor));
  const RECT& work = monitor.rcWork;
  EXPECT_NEAR(frame.left + frame.right, work.left + work.right, 1);
  EXPECT_NEAR(frame.top + frame.bottom, work.top + work.bottom, 1);
}

TEST_F(Win32Window, EveryControlInItsPlaceAtAnyDpi) {
  const auto check = [this](UINT dpi) {
    // Every windowed control, where the description puts it.
    for (const runtime::ControlDescription& c : Described().controls) {
      if (c.kind == runtime::ControlKind::kLabel) continue;
      const std::string name = c.DisplayName();
      RECT r{};
      GetWindowRect(Child(name.c_str()), &r);
      MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&r), 2);
      const auto px = [dpi](int twips) { return MulDiv(twips, static_cast<int>(dpi), 1440); };
      EXPECT_EQ(r.left, px(c.rect.left)) << name << " at " << dpi;
      EXPECT_EQ(r.top, px(c.rect.top)) << name << " at " << dpi;
      EXPECT_EQ(r.right - r.left, px(c.rect.width)) << name << " at " << dpi;
      EXPECT_EQ(r.bottom - r.top, px(c.rect.height)) << name << " at " << dpi;
    }
  };
  check(form_->window().dpi());
  // Moved to a screen of 192 dots per inch, the window lays itself out again.
  RECT suggested{10, 10, 1000, 700};
  SendMessageW(Window(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  RECT client{};
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right, 986);
  EXPECT_EQ(client.bottom, 650);
  check(192);
  EXPECT_FALSE(IsWindowVisible(Child("Text1(1)")));
}

// The largest contrast between a pixel of the rectangle and its commonest
// colour (its face), as painted now.
double CaptionContrast(HWND window, RECT r, COLORREF* face_out) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  HDC dc = GetDC(window);
  std::map<COLORREF, int> counts;
  for (LONG y = r.top + 2; y < r.bottom - 2; ++y) {
    for (LONG x = r.left + 3; x < r.right - 3; ++x) ++counts[GetPixel(dc, x, y)];
  }
  ReleaseDC(window, dc);
  COLORREF face = counts.begin()->first;
  for (const auto& [colour, count] : counts) {
    if (count > counts[face]) face = colour;
  }
  double best = 1;
  for (const auto& [colour, count] : counts) {
    best = std::max(best, runtime::ContrastRatio(face, colour));
  }
  if (face_out != nullptr) *face_out = face;
  return best;
}

// Dark system colours, then high contrast: captions stay readable on their
// faces, and in high contrast the faces are the system's.
TEST_F(Win32Window, CaptionsReadableUnderDarkColoursAndHighContrast) {
  SystemColours colours({COLOR_BTNFACE, COLOR_BTNTEXT, COLOR_WINDOW, COLOR_WINDOWTEXT});
  ASSERT_TRUE(colours.Set({RGB(0, 0, 0), RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255)}));
  Pump();
  const char* captions[] = {"Label1(1)", "Label2(4)", "Command1(0)", "Command1(1)"};
  const auto rect = [this](const char* name) {
    const runtime::Rect& r = Described(name).rect;
    return RECT{Px(r.left), Px(r.top), Px(r.left + r.width), Px(r.top + r.height)};
  };
  for (const char* c : captions) {
    EXPECT_GE(CaptionContrast(Window(), rect(c), nullptr), 4.5) << c << ", dark colours";
  }

  if (!colours.HighContrastOn()) runtime::AssumeHighContrast(true);  // Wine will not turn it on
  SendMessageW(Window(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  for (const char* c : captions) {
    COLORREF face = 0;
    EXPECT_GE(CaptionContrast(Window(), rect(c), &face), 4.5) << c << ", high contrast";
    EXPECT_EQ(face, RGB(0, 0, 0)) << c << ": the system's face";
  }
}

// The guard puts the system's colours back however the test ends: at its
// end, and when it stops halfway (an ASSERT's return, an exception).
TEST(SystemColoursGuard, RestoresTheColoursHoweverTheTestEnds) {
  const std::vector<int> elements = {COLOR_BTNFACE, COLOR_WINDOW};
  const std::vector<COLORREF> before = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW)};
  const struct {
    const char* how;
    bool throws;
  } endings[] = {{"at its end", false}, {"by an exception halfway", true}};
  for (const auto& ending : endings) {
    try {
      SystemColours colours(elements);
      ASSERT_TRUE(colours.Set({RGB(1, 2, 3), RGB(4, 5, 6)}));
      ASSERT_EQ(GetSysColor(COLOR_BTNFACE), RGB(1, 2, 3));
      runtime::AssumeHighContrast(true);
      if (ending.throws) throw std::runtime_error("halfway");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), before[0]) << ending.how;
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), before[1]) << ending.how;
    EXPECT_FALSE(runtime::HighContrastOn()) << ending.how;
  }
}

// The program's icon: one 32-bit image for each of 16, 24, 32, 48, 64 and 256
// pixels; the window shows the large and the small one at its DPI.
TEST_F(Win32Window, IconsOfEverySizeAndAtTheWindowsDpi) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const WORD*>(LockResource(LoadResource(nullptr, found)));
  ASSERT_EQ(group[2], 6);  // idCount
  const auto* entries = reinterpret_cast<const GroupEntry*>(group + 3);
  std::set<int> sizes;
  for (int i = 0; i < group[2]; ++i) {
    sizes.insert(entries[i].width == 0 ? 256 : entries[i].width);
    EXPECT_EQ(entries[i].bits, 32) << "image " << i;
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 64, 256}));

  const auto icon_size = [this](WPARAM which) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(Window(), WM_GETICON, which, 0));
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return static_cast<int>(bitmap.bmWidth);
  };
  const int at = static_cast<int>(form_->window().dpi());
  EXPECT_EQ(icon_size(ICON_BIG), MulDiv(32, at, 96));
  EXPECT_EQ(icon_size(ICON_SMALL), MulDiv(16, at, 96));
  RECT suggested{10, 10, 1000, 700};
  SendMessageW(Window(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(icon_size(ICON_BIG), 64);
  EXPECT_EQ(icon_size(ICON_SMALL), 32);
}

// The window asks only for a face the system has, and the system draws with
// that very face: the description's, its metric twin, or the system's own.
TEST_F(Win32Window, TheFontsFaceIsOneTheSystemHas) {
  HDC dc = GetDC(Window());
  HGDIOBJ old = SelectObject(dc, form_->window().font());
  wchar_t drawn[LF_FACESIZE] = {};
  GetTextFaceW(dc, LF_FACESIZE, drawn);
  SelectObject(dc, old);
  ReleaseDC(Window(), dc);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(drawn)), form_->window().face());
  EXPECT_FALSE(form_->window().face().empty());
}

TEST_F(Win32Window, ColoursAsDrawn) {
  EXPECT_EQ(PixelAt(Px(60), Px(60)), *Described().back_colour) << "the window";
  // Inside each control, clear of its caption: the described face, or the
  // system's window colour where the description leaves it to the system.
  const struct {
    const char* control;
    int x, y;  // twips from the control's corner
  } points[] = {{"Label1(0)", 30, 30},   {"Label2(0)", 30, 20}, {"Command1(0)", 60, 30},
                {"Command1(1)", 60, 30}, {"Text2(0)", 60, 60},  {"Text2(9)", 60, 60}};
  for (const auto& p : points) {
    const runtime::ControlDescription& c = Described(p.control);
    const COLORREF face = c.back_colour.value_or(GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(PixelAt(Px(c.rect.left + p.x), Px(c.rect.top + p.y)), face) << p.control;
  }
}

TEST_F(Win32Window, TextsOfTheBoxesAndTheList) {
  const runtime::ReadForm read = runtime::ReadFormClass(MainFormClass());
  EXPECT_EQ(Text(Child("Text1(0)")), Property("Text1", 0));
  EXPECT_EQ(Property("Text1", 0), Described("Text1(0)").text);
  HWND list = Child("List1");
  const std::vector<std::u16string>& items = Described("List1").items;
  ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(items.size()));
  EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);
  for (std::size_t i = 0; i < items.size(); ++i) {
    wchar_t item[64] = {};
    SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(item)), items[i]) << i;
  }
  for (const char* button : {"Command1(0)", "Command1(1)"}) {
    EXPECT_EQ(Text(Child(button)), Described(button).text);
  }
  EXPECT_EQ(GetFocus(), Child(Expected().first_focus.c_str()));
}

TEST_F(Win32Window, TypingKeepsOneCharacterAndReadOnlyBoxesRefuseIt) {
  Type(Child("Text2(0)"), u"12");
  EXPECT_EQ(Text(Child("Text2(0)")), u"1");
  EXPECT_EQ(Property("Text2", 0), u"1");
  Type(Child("Text2(9)"), u"5");
  EXPECT_EQ(Property("Text2", 9), u"");
  const std::u16string task = Property("Text1", 0);
  Type(Child("Text1(0)"), u"x");
  EXPECT_EQ(Property("Text1", 0), task);
}

TEST_F(Win32Window, PasteKeepsTheLimitAndWholeCharacters) {
  HWND box = Child("Text2(3)");
  for (const testing::Paste& c : Expected().pastes) {
    SetWindowTextW(box, L"");
    form_->form().Array("Text2")(3).SetText(u"");
    ASSERT_TRUE(OpenClipboard(Window()));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (c.pasted.size() + 1) * sizeof(char16_t));
    std::memcpy(GlobalLock(memory), c.pasted.c_str(), (c.pasted.size() + 1) * sizeof(char16_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
    SetFocus(box);
    SendMessageW(box, WM_PASTE, 0, 0);
    Pump();
    EXPECT_EQ(Property("Text2", 3), c.kept);
    EXPECT_EQ(Text(box), c.kept);
  }
}

TEST_F(Win32Window, CalculateAndClear) {
  for (const testing::Calculation& c : Expected().calculations) {
    Click(1);
    TypeDigits(c.typed);
    Click(0);
    EXPECT_EQ(Property("Text1", 0), Expected().Results(c.sum, c.digit)) << Utf8(c.typed);
    EXPECT_EQ(Text(Child("Text1(0)")), Expected().Results(c.sum, c.digit)) << Utf8(c.typed);
    EXPECT_EQ(Text(Child("Text2(9)")), testing::Utf16(std::to_string(c.digit))) << Utf8(c.typed);
  }
  Click(1);
  for (std::int16_t i = 0; i <= 9; ++i) {
    EXPECT_EQ(Text(Child("Text2(" + std::to_string(i) + ")")), u"") << i;
  }
  EXPECT_EQ(Text(Child("Text1(0)")), u"");
}

TEST_F(Win32Window, TabWalksEveryStopInTabIndexOrder) {
  std::vector<std::string> order = {Expected().first_focus};
  order.insert(order.end(), Expected().tab_order.begin(), Expected().tab_order.end());
  SetFocus(Child(order[0].c_str()));
  for (std::size_t i = 1; i < order.size(); ++i) {
    Key(VK_TAB, L'\t');
    EXPECT_EQ(GetFocus(), Child(order[i].c_str())) << "after " << order[i - 1];
  }
  PostMessageW(GetFocus(), WM_KEYDOWN, VK_SHIFT, 1);
  Pump();
  // Shift+Tab walks back.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_SHIFT] = 0x80;
  SetKeyboardState(keys);
  Key(VK_TAB, L'\t');
  keys[VK_SHIFT] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(GetFocus(), Child(order[order.size() - 2].c_str()));
}

TEST_F(Win32Window, EnterAndEscPressNothingButEnterAndSpacePressAFocusedButton) {
  const std::u16string task = Property("Text1", 0);
  TypeDigits(Expected().calculations.front().typed);
  for (const char* box : {"Text2(8)", "Text1(0)", "List1"}) {
    SetFocus(Child(box));
    Key(VK_RETURN, L'\r');
    Key(VK_ESCAPE, 27);
  }
  EXPECT_EQ(Property("Text1", 0), task);
  EXPECT_TRUE(IsWindow(Window()));
  SetFocus(Child("Command1(0)"));
  Key(VK_SPACE, L' ');
  EXPECT_EQ(Property("Text2", 9), u"0");
  SetFocus(Child("Command1(1)"));
  Key(VK_RETURN, L'\r');
  EXPECT_EQ(Property("Text2", 9), u"");
  EXPECT_EQ(Property("Text1", 0), u"");
}

// The message box of a run-time error, answered with OK once it shows.
std::u16string answered;
void CALLBACK AnswerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const std::u16string& title = Expected().error_title;
  HWND box = FindWindowW(L"#32770", reinterpret_cast<const wchar_t*>(title.c_str()));
  if (box == nullptr) return;
  answered = Text(GetDlgItem(box, 0xFFFF));
  KillTimer(nullptr, timer);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32Window, ARunTimeErrorIsShownAndTheWindowGoesOn) {
  // A description whose Label2(5) is another array: reading weight 5 fails.
  const runtime::FormClass original = MainFormClass();
  std::string bytes(original.files.front().bytes);
  const std::string& from = Expected().error_edit_from;
  bytes.replace(bytes.find(from), from.size(), Expected().error_edit_to);
  // The temporary folder as Windows names it, in UTF-16: a user name outside
  // the ANSI code page would break the narrow one.
  wchar_t folder[MAX_PATH + 1] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH + 1, folder), 0u);
  const std::filesystem::path path = std::filesystem::path(folder) / L"egn-edited.form";
  std::ofstream(path, std::ios::binary) << bytes;
  runtime::FormClass edited = original;
  const std::u8string utf8 = path.u8string();
  edited.description.assign(utf8.begin(), utf8.end());
  Load(edited);

  TypeDigits(Expected().calculations.front().typed);
  answered.clear();
  SetTimer(nullptr, 0, 50, &AnswerMessageBox);
  Click(0);
  EXPECT_EQ(answered, Expected().run_time_error);
  EXPECT_EQ(Property("Text2", 9), u"");
  Click(1);  // the window goes on
  EXPECT_EQ(Property("Text1", 0), u"");
  std::filesystem::remove(path);
}

TEST_F(Win32Window, TheFocusComesBackAfterLeavingTheWindowAndAfterMinimising) {
  // Another window takes the activation (as Alt+Tab does), then gives it back.
  HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                               100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(other, nullptr);
  SetFocus(Child("Text2(4)"));
  SetActiveWindow(other);
  Pump();
  EXPECT_NE(GetFocus(), Child("Text2(4)"));
  SetActiveWindow(Window());
  Pump();
  EXPECT_EQ(GetFocus(), Child("Text2(4)"));
  DestroyWindow(other);

  SetFocus(Child("Command1(1)"));
  ShowWindow(Window(), SW_MINIMIZE);
  Pump();
  ShowWindow(Window(), SW_RESTORE);
  SetActiveWindow(Window());
  Pump();
  EXPECT_EQ(GetFocus(), Child("Command1(1)"));

  // Given the focus itself, the window hands it to a control.
  SetFocus(Window());
  Pump();
  EXPECT_EQ(GetFocus(), Child("Command1(1)"));
}

TEST_F(Win32Window, TabSelectsTheWholeTextOfTheBoxItEnters) {
  // From the multi-line task box, whose Tab goes through WM_NEXTDLGCTL, into
  // a digit box holding "5": typing "3" replaces it.
  Type(Child("Text2(0)"), u"5");
  SetFocus(Child("Text1(0)"));
  Key(VK_TAB, L'\t');
  ASSERT_EQ(GetFocus(), Child("Text2(0)"));
  Key(0, L'3');
  EXPECT_EQ(Property("Text2", 0), u"3");
  // Between digit boxes, through the dialog keyboard, the same.
  Type(Child("Text2(2)"), u"4");
  SetFocus(Child("Text2(1)"));
  Key(VK_TAB, L'\t');
  Key(0, L'8');
  EXPECT_EQ(Property("Text2", 2), u"8");
}

TEST_F(Win32Window, AtANewDpiTheExactSizeAndTheSuggestedPlace) {
  SIZE size{};
  ASSERT_TRUE(SendMessageW(Window(), 0x02E4 /* WM_GETDPISCALEDSIZE */, 192,
                           reinterpret_cast<LPARAM>(&size)));
  RECT suggested{40, 30, 40 + size.cx, 30 + size.cy};
  SendMessageW(Window(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
  Pump();
  RECT frame{}, client{};
  GetWindowRect(Window(), &frame);
  GetClientRect(Window(), &client);
  EXPECT_EQ(client.right * 1000 + client.bottom, 986650);
  EXPECT_EQ(frame.left * 1000 + frame.top, 40030);
  // The answer is the client area at 192 with a frame around it. (Windows
  // draws that frame at 192 too; Wine draws it at the system's DPI, so the
  // frame's own size is not compared here.)
  EXPECT_GT(size.cx, 986);
  EXPECT_GT(size.cy, 650);
  EXPECT_LT(size.cx, 986 + 100);
  EXPECT_LT(size.cy, 650 + 150);
}

// The level of DPI support is what the thread's awareness context grants,
// not what the functions that exist could do: a per-monitor (v1) thread, as
// Windows 10 1607 runs a program that asks for v2, gets per-monitor only.
TEST(DpiSupport, TheThreadsAwarenessContextDecides) {
  using SetContext = HANDLE(WINAPI*)(HANDLE);
  const auto set_context = reinterpret_cast<SetContext>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetThreadDpiAwarenessContext")));
  if (set_context == nullptr) GTEST_SKIP() << "no SetThreadDpiAwarenessContext on this system";
  const auto context = [](INT_PTR value) { return reinterpret_cast<HANDLE>(value); };
  const struct {
    const char* context;
    INT_PTR value;
    runtime::DpiSupport expected;
  } cases[] = {
      {"unaware", -1, runtime::DpiSupport::kSystem},
      {"system aware", -2, runtime::DpiSupport::kSystem},
      {"per-monitor aware (v1)", -3, runtime::DpiSupport::kPerMonitor},
      {"per-monitor aware v2", -4, runtime::DpiSupport::kPerMonitorV2},
  };
  // A context the system does not offer (Wine 8 has no v2) cannot be set:
  // that row says nothing here and is named in the output.
  HANDLE original = nullptr;
  int tested = 0;
  for (const auto& c : cases) {
    const HANDLE before = set_context(context(c.value));
    if (before == nullptr) {
      std::printf("not offered by this system: %s\n", c.context);
      continue;
    }
    if (original == nullptr) original = before;
    ++tested;
    EXPECT_EQ(runtime::CurrentDpiSupport(), c.expected) << c.context;
  }
  EXPECT_GE(tested, 3);
  set_context(original);
}

// Counts what the window paints: its background erased, its surface painted,
// and each owner-drawn control drawn.
struct Paints {
  int erased = 0, painted = 0;
  std::map<UINT, int> drawn;  // by control id
};
Paints* counting = nullptr;
WNDPROC original_procedure = nullptr;
LRESULT CALLBACK CountingProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) ++counting->erased;
  if (message == WM_PAINT) ++counting->painted;
  if (message == WM_DRAWITEM) ++counting->drawn[static_cast<UINT>(wparam)];
  return CallWindowProcW(original_procedure, hwnd, message, wparam, lparam);
}

// Moved to a screen of another DPI, the window is erased and painted once,
// and each control drawn once: no flicker of a half-done layout.
TEST_F(Win32Window, ADpiChangePaintsOnce) {
  Pump();
  Paints paints;
  counting = &paints;
  original_procedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProcedure)));
  const struct {
    UINT dpi;
    RECT suggested;
  } changes[] = {{192, {40, 30, 1040, 730}}, {96, {50, 40, 550, 390}}, {144, {0, 0, 800, 600}}};
  for (const auto& change : changes) {
    paints = Paints{};
    SendMessageW(Window(), WM_DPICHANGED, MAKEWPARAM(change.dpi, change.dpi),
                 reinterpret_cast<LPARAM>(&change.suggested));
    Pump();
    EXPECT_EQ(paints.erased, 1) << "at " << change.dpi;
    EXPECT_EQ(paints.painted, 1) << "at " << change.dpi;
    for (const char* button : {"Command1(0)", "Command1(1)"}) {
      const auto id = static_cast<UINT>(GetDlgCtrlID(Child(button)));
      EXPECT_EQ(paints.drawn[id], 1) << button << " at " << change.dpi;
    }
    RECT client{};
    GetClientRect(Window(), &client);
    EXPECT_EQ(client.right, MulDiv(7395, static_cast<int>(change.dpi), 1440));
  }
  SetWindowLongPtrW(Window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_procedure));
  counting = nullptr;
}

}  // namespace
}  // namespace egn::window

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // The fallbacks of older Windows, on a newer one: "system" as Windows 7 and
  // 8 have it, "per-monitor" as Windows 8.1.
  if (const char* support = std::getenv("EGN_DPI_SUPPORT")) {
    egn::runtime::LimitDpiSupport(std::string(support) == "system"
                                      ? egn::runtime::DpiSupport::kSystem
                                      : egn::runtime::DpiSupport::kPerMonitor);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
