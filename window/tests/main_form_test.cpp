// MainForm on the real description with no toolkit at all: every control is
// a plain control-access object, and clicks arrive through the same event
// binding every backend uses. Proves that the window's code and description
// need nothing but the toolkit-neutral runtime.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "runtime/forms/forms.h"
#include "window/main_form.h"

namespace egn::window {
namespace {

using runtime::Control;
using runtime::ControlDescription;
using runtime::ControlKind;

class FakeTextBox : public Control {
 public:
  explicit FakeTextBox(const ControlDescription& d)
      : Control(d.kind, d.DisplayName()), text_(d.text) {}
  std::u16string Text() const override { return text_; }
  void SetText(std::u16string_view text) override { text_ = text; }

 private:
  std::u16string text_;
};

class FakeButton : public runtime::CaptionedControl {
 public:
  using CaptionedControl::CaptionedControl;
  bool ConnectClick(const std::function<void()>& handler) override {
    click = handler;
    return true;
  }
  std::function<void()> click;
};

class MainFormWithoutToolkit : public ::testing::Test {
 protected:
  void SetUp() override {
    const runtime::ReadForm read = runtime::ReadFormClass(MainFormClass());
    for (const ControlDescription& d : read.description.controls) {
      std::unique_ptr<Control> control;
      if (d.kind == ControlKind::kTextBox) {
        control = std::make_unique<FakeTextBox>(d);
      } else if (d.kind == ControlKind::kButton) {
        auto button = std::make_unique<FakeButton>(d);
        buttons[*d.index] = button.get();
        control = std::move(button);
      } else if (d.kind == ControlKind::kLabel) {
        control = std::make_unique<runtime::CaptionedControl>(d);
      } else {
        control = std::make_unique<Control>(d.kind, d.DisplayName());
      }
      form.Adopt(std::move(control), d.index, d.name);
    }
    module = MainFormClass().create(form);
    runtime::ConnectEvents(form, *module, [](const std::function<void()>& procedure) {
      if (auto error = runtime::RunEventProcedure(procedure)) FAIL() << error->what();
    });
  }

  std::u16string Text(const char* array, std::int16_t index) {
    return form.Array(array)(index).Text();
  }
  void Type(std::u16string_view digits) {
    for (std::size_t i = 0; i < digits.size(); ++i) {
      form.Array("Text2")(static_cast<std::int16_t>(i)).SetText(digits.substr(i, 1));
    }
  }

  runtime::Form form;
  std::unique_ptr<runtime::FormModule> module;
  std::map<std::int16_t, FakeButton*> buttons;
};

TEST_F(MainFormWithoutToolkit, CalculatesFromTheBoxesAndTheWeightCaptions) {
  const struct {
    std::u16string_view digits;
    std::u16string_view lines;
    std::u16string_view digit;
  } cases[] = {
      {u"123456789", u"Изчислена сума: 285\r\nПоследно число: 0\r\n", u"0"},
      {u"", u"Изчислена сума: 0\r\nПоследно число: 0\r\n", u"0"},
      {u"752316926", u"Изчислена сума: 234\r\nПоследно число: 3\r\n", u"3"},
      {u"x-+. 9", u"Изчислена сума: 81\r\nПоследно число: 4\r\n", u"4"},
  };
  for (const auto& c : cases) {
    buttons.at(1)->click();
    Type(c.digits);
    buttons.at(0)->click();
    EXPECT_EQ(Text("Text1", 0), c.lines);
    EXPECT_EQ(Text("Text2", 9), c.digit);
  }
}

TEST_F(MainFormWithoutToolkit, ClearEmptiesEveryBoxAndTheResults) {
  Type(u"123456789");
  buttons.at(0)->click();
  buttons.at(1)->click();
  for (std::int16_t i = 0; i <= 9; ++i) EXPECT_EQ(Text("Text2", i), u"") << i;
  EXPECT_EQ(Text("Text1", 0), u"");
  EXPECT_EQ(static_cast<MainForm&>(*module).Sum, 0);
}

}  // namespace
}  // namespace egn::window
