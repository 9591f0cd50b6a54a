#include "runtime/qt/control_makers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QWidget>

#include <string>
#include <utility>

#include "runtime/forms/control_kinds.h"
#include "runtime/qt/values.h"

namespace egn::runtime {
namespace {

void NeedApplication() {
  static int argc = 1;
  static char name[] = "runtime_qt_tests";
  static char* argv[] = {name, nullptr};
  static QApplication application(argc, argv);
}

// Every kind of the neutral table has a maker (a missing one would raise
// the runtime's own error), and what it makes is the window's child, placed,
// named and hidden as its description says.
TEST(QtControlMakers, EveryKindMakesAPlacedNamedChild) {
  NeedApplication();
  for (const ControlKindInfo& info : ControlKinds()) {
    ControlDescription d;
    d.kind = info.kind;
    d.name = "Some";
    d.index = 2;
    d.rect = {150, 300, 1500, 450};
    d.visible = false;
    d.accessible_name = u"Име";
    QWidget window;
    const QtControl made = MakerFor(info.kind)(d, window);
    ASSERT_NE(made.widget, nullptr) << info.keyword;
    EXPECT_EQ(made.widget->parentWidget(), &window) << info.keyword;
    EXPECT_EQ(made.widget->objectName(), "Some(2)") << info.keyword;
    EXPECT_EQ(made.widget->geometry(), QRect(10, 20, 100, 30)) << info.keyword;
    EXPECT_TRUE(made.widget->isHidden()) << info.keyword;
    EXPECT_EQ(made.widget->accessibleName(), "Име") << info.keyword;
    EXPECT_NE(made.control, nullptr) << info.keyword;
  }
}

TEST(QtValues, ConvertExactly) {
  // Twips to pixels, 15 a pixel, rounded to nearest.
  for (const auto& [twips, pixels] :
       {std::pair{0, 0}, {7, 0}, {8, 1}, {22, 1}, {23, 2}, {-8, -1}, {7395, 493}}) {
    EXPECT_EQ(TwipsToPixels(twips), pixels) << twips;
  }
  // 0x00BBGGRR and back.
  EXPECT_EQ(ToQColor(0x0080C0FF), QColor(0xFF, 0xC0, 0x80));
  for (const Colour colour : {0x00000000U, 0x0080C0FFU, 0x00FFFFFFU}) {
    EXPECT_EQ(FromQColor(ToQColor(colour)), colour);
  }
  // UTF-16 crosses as it is, a lone surrogate included.
  const std::u16string text = u"Изчисли \xD800!";
  const QString converted = ToQString(text);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(converted.utf16()),
                           static_cast<std::size_t>(converted.size())),
            text);
}

}  // namespace
}  // namespace egn::runtime
