#include "runtime/forms/controls.h"

#include <gtest/gtest.h>

#include <memory>

#include "runtime/core/error.h"
#include "runtime/forms/control_kinds.h"

namespace egn::runtime {
namespace {

// A control with a text property and nothing else.
class FakeTextBox : public Control {
 public:
  explicit FakeTextBox(std::string name) : Control(ControlKind::kTextBox, std::move(name)) {}
  std::u16string Text() const override { return text_; }
  void SetText(std::u16string_view text) override { text_ = text; }

 private:
  std::u16string text_;
};

class ControlAccess : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::int16_t i : {0, 1, 2}) {
      form.Adopt(std::make_unique<FakeTextBox>("Text2(" + std::to_string(i) + ")"), i, "Text2");
    }
    form.Adopt(std::make_unique<Control>(ControlKind::kListBox, "List1"), std::nullopt, "List1");
  }

  static void ExpectError(const std::function<void()>& access, ErrorNumber number,
                          const std::string& what) {
    try {
      access();
      ADD_FAILURE() << "no error";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.number(), number);
      EXPECT_EQ(e.what(), what);
    }
  }

  Form form;
};

TEST_F(ControlAccess, ReachesMembersByIndexAndKeepsTheirText) {
  form.Array("Text2")(1).SetText(u"7");
  EXPECT_EQ(form.Array("Text2")(1).Text(), u"7");
  EXPECT_EQ(form.Array("Text2")(0).Text(), u"");
  EXPECT_EQ(form.Array("Text2").Indices(), (std::vector<std::int16_t>{0, 1, 2}));
  EXPECT_EQ(form.Single("List1").name(), "List1");
}

TEST_F(ControlAccess, EveryFailingAccessRaisesItsError) {
  ExpectError([&] { form.Array("Text9"); }, ErrorNumber::kNoSuchControlArray,
              "Грешка 2001: Прозорецът няма контрола с име „Text9“.");
  ExpectError([&] { form.Array("List1"); }, ErrorNumber::kNoSuchControlArray,
              "Грешка 2001: Прозорецът няма контрола с име „List1“.");
  ExpectError([&] { form.Single("Text2"); }, ErrorNumber::kNoSuchControlArray,
              "Грешка 2001: Прозорецът няма контрола с име „Text2“.");
  ExpectError([&] { form.Array("Text2")(3); }, ErrorNumber::kIndexOutOfRange,
              "Грешка 2002: Масивът от контроли „Text2“ няма елемент с индекс 3.");
  ExpectError([&] { form.Array("Text2")(-1); }, ErrorNumber::kIndexOutOfRange,
              "Грешка 2002: Масивът от контроли „Text2“ няма елемент с индекс -1.");
  ExpectError([&] { form.Array("Text2")(0).Caption(); }, ErrorNumber::kPropertyNotSupported,
              "Грешка 2003: Контролата „Text2(0)“ няма свойство „Caption“.");
  ExpectError([&] { form.Single("List1").Text(); }, ErrorNumber::kPropertyNotSupported,
              "Грешка 2003: Контролата „List1“ няма свойство „Text“.");
  ExpectError([&] { form.Single("List1").SetText(u"x"); }, ErrorNumber::kPropertyNotSupported,
              "Грешка 2003: Контролата „List1“ няма свойство „Text“.");
}

// A backend's table finds the maker of a kind it has; a kind without a row
// is the runtime's own error, naming the backend and the kind.
TEST(MakerIn, FindsTheRowOrRaisesTheRuntimesOwnError) {
  const std::array<std::pair<ControlKind, int>, 2> makers = {
      {{ControlKind::kLabel, 1}, {ControlKind::kButton, 4}}};
  EXPECT_EQ(MakerIn(makers, ControlKind::kButton, "test"), 4);
  try {
    MakerIn(makers, ControlKind::kListBox, "test");
    FAIL() << "no error for a kind without a maker";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.number(), ErrorNumber::kInternal);
    EXPECT_EQ(e.message(), "the test backend has no maker for the control kind listbox");
  }
}

}  // namespace
}  // namespace egn::runtime
