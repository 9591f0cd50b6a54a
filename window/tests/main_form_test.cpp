// MainForm on the real description with no toolkit at all: every control is
// a plain control-access object, and clicks arrive through the same event
// binding every backend uses. Proves that the window's code and description
// need nothing but the toolkit-neutral runtime.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "runtime/core/conversions.h"
#include "runtime/forms/forms.h"
#include "window/main_form.h"
#include "window/tests/shared/expectations.h"

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
  const testing::WhatUsersSee& expected = testing::Expected();
  ASSERT_FALSE(expected.calculations.empty());
  for (const testing::Calculation& c : expected.calculations) {
    buttons.at(1)->click();
    Type(c.typed);
    buttons.at(0)->click();
    EXPECT_EQ(Text("Text1", 0), expected.Results(c.sum, c.digit)) << runtime::ToUtf8(c.typed);
    EXPECT_EQ(Text("Text2", 9), testing::Utf16(std::to_string(c.digit)));
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

// The description as the runtime reads it, written out in full
// (shared/MainForm.model): the one place where the tests write the window's
// places, colours, captions, list items and texts, for the page's checks,
// which read it instead of parsing the description, and for a reader of a
// change to the description. EGN_UPDATE_GOLDEN=1 writes it anew.
TEST(MainFormDescription, ItsModelIsWhatTheRuntimeReads) {
  const std::string model = runtime::Dump(testing::Described());
  if (std::getenv("EGN_UPDATE_GOLDEN") != nullptr) std::ofstream(EGN_WINDOW_MODEL) << model;
  std::ostringstream committed;
  committed << std::ifstream(EGN_WINDOW_MODEL).rdbuf();
  EXPECT_EQ(model, committed.str());
}

// The table of what users see is read as written: a malformed row is named
// by its line, and its calculations follow the rule on the window's own
// weights (the captions of Label2), so that a wrong row cannot pass as a
// backend's fault.
TEST(WhatUsersSee, RowsAreReadAndMalformedOnesNamed) {
  const struct {
    std::string_view text;
    std::string_view error;
  } malformed[] = {
      {"# a comment\n\ncalculate\tCommand1(0)\textra", "line 3: calculate takes 1 values, not 2"},
      {"paste\t1", "line 1: paste takes 2 values, not 1"},
      {"colour\tred", "line 1: unknown key colour"},
      {"results\ta\\qb", "line 1: unknown escape \\q"},
  };
  for (const auto& m : malformed) {
    try {
      testing::ReadWhatUsersSee(m.text);
      ADD_FAILURE() << m.text;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(e.what(), "what_users_see.tsv " + std::string(m.error));
    }
  }
  const testing::WhatUsersSee& table = testing::Expected();
  for (const testing::Calculation& c : table.calculations) {
    int sum = 0;
    for (std::size_t i = 0; i < c.typed.size(); ++i) {
      const char16_t typed = c.typed[i];
      const std::string weight =
          runtime::ToUtf8(testing::Described("Label2(" + std::to_string(i) + ")").text);
      if (typed >= u'0' && typed <= u'9') sum += (typed - u'0') * std::stoi(weight);
    }
    EXPECT_EQ(c.sum, sum) << runtime::ToUtf8(c.typed);
    EXPECT_EQ(c.digit, sum % 11 % 10) << runtime::ToUtf8(c.typed);
  }
}

}  // namespace
}  // namespace egn::window
