#include "runtime/web/control_makers.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "runtime/core/conversions.h"
#include "runtime/forms/control_kinds.h"
#include "runtime/web/values.h"

namespace egn::runtime {
namespace {

// Every kind of the neutral table has a maker (a missing one would raise
// the runtime's own error), and what it makes is an element placed in CSS
// pixels, named and hidden as its description says, with its control-access
// object. The document is tests/page_stand_in.js's.
TEST(WebControlMakers, EveryKindMakesAPlacedNamedElement) {
  for (const ControlKindInfo& info : ControlKinds()) {
    ControlDescription d;
    d.kind = info.kind;
    d.name = "Some";
    d.index = 2;
    d.rect = {150, 300, 1500, 452};
    d.visible = false;
    d.accessible_name = u"Име";
    d.text = u"Изчисли";
    d.items = {u"едно", u"две"};
    const WebControl made = MakerFor(info.kind)(d);
    const PageObject& element = made.element;
    ASSERT_FALSE(element.IsNone()) << info.keyword;
    EXPECT_EQ(element.Text("id"), u"Some(2)") << info.keyword;
    const PageObject style = element.Get("style");
    for (const auto& [property, value] : {std::pair{"left", "10px"},
                                          {"top", "20px"},
                                          {"width", "100px"},
                                          {"height", "30.133333px"}}) {
      EXPECT_EQ(ToUtf8(style.Text(property)), value) << info.keyword << " " << property;
    }
    EXPECT_EQ(element.Number("hidden"), 1) << info.keyword;
    EXPECT_EQ(element.Get("attributes").Text("aria-label"), u"Име") << info.keyword;
    ASSERT_NE(made.control, nullptr) << info.keyword;
    EXPECT_EQ(made.control->name(), "Some(2)") << info.keyword;
  }
}

// A button's Click comes from the page's click event, through the bridge's
// one dispatcher; the other kinds raise none.
TEST(WebControlMakers, AButtonsClickReachesItsHandler) {
  for (const ControlKindInfo& info : ControlKinds()) {
    ControlDescription d;
    d.kind = info.kind;
    d.name = "Some";
    const WebControl made = MakerFor(info.kind)(d);
    int clicks = 0;
    const bool connected = made.control->ConnectClick([&clicks] { ++clicks; });
    EXPECT_EQ(connected, info.kind == ControlKind::kButton) << info.keyword;
    if (!connected) continue;
    made.element.Get("listeners").Call("click", PageObject::Global());
    made.element.Get("listeners").Call("click", PageObject::Global());
    EXPECT_EQ(clicks, 2) << info.keyword;
  }
}

TEST(WebValues, ConvertExactly) {
  for (const auto& [twips, css] :
       {std::pair{0, "0px"}, {15, "1px"}, {7395, "493px"}, {-8, "-0.533333px"}}) {
    EXPECT_EQ(TwipsToCss(twips), css) << twips;
  }
  EXPECT_EQ(ToCssColour(0x0080C0FF), "rgb(255, 192, 128)");  // 0x00BBGGRR
  // UTF-16 crosses as it is, a lone surrogate and CR LF included, both ways;
  // UTF-8 arrives as the page's text.
  const PageObject element = CreateElement("div");
  const std::u16string text = u"Изчисли \xD800!\r\n";
  element.Set("textContent", text);
  EXPECT_EQ(element.Get("textContent").Number("length"), static_cast<double>(text.size()));
  EXPECT_EQ(element.Text("textContent"), text);
  element.Set("title", std::string("Изчисти"));
  EXPECT_EQ(element.Text("title"), u"Изчисти");
  element.SetFlag("hidden", false);  // a false is none, and reads as 0
  EXPECT_TRUE(element.Get("hidden").IsNone());
  EXPECT_EQ(element.Number("hidden"), 0);
}

}  // namespace
}  // namespace egn::runtime
