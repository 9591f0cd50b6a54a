#include "runtime/forms/form_model.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace egn::runtime {
namespace {

struct HeadingCase {
  const char* name;
  std::vector<ControlDescription> controls;
  int heading;  // index into controls, or -1 for none
};

ControlDescription Control(ControlKind kind, int top, std::u16string text, bool visible = true) {
  ControlDescription c;
  c.kind = kind;
  c.rect.top = top;
  c.text = std::move(text);
  c.visible = visible;
  return c;
}

// A function, not a static array: GCC 12 at -O3 takes the array's vectors
// for uninitialised in its static destructor.
std::vector<HeadingCase> HeadingCases() {
  return {
      {"label_above_all",
       {Control(ControlKind::kTextBox, 600, u""), Control(ControlKind::kLabel, 120, u"Заглавие")},
       1},
      {"side_by_side_head_nothing",
       {Control(ControlKind::kLabel, 120, u"Година"), Control(ControlKind::kLabel, 120, u"Месец")},
       -1},
      {"hidden_controls_do_not_count",
       {Control(ControlKind::kTextBox, 0, u"", false),
        Control(ControlKind::kLabel, 120, u"Заглавие")},
       1},
      {"a_box_on_top_is_no_heading",
       {Control(ControlKind::kTextBox, 0, u"текст"),
        Control(ControlKind::kLabel, 120, u"Заглавие")},
       -1},
      {"an_empty_caption_is_no_heading", {Control(ControlKind::kLabel, 0, u"")}, -1},
      {"no_controls", {}, -1},
  };
}

void PrintTo(const HeadingCase& c, std::ostream* out) { *out << c.name; }

class HeadingTest : public testing::TestWithParam<HeadingCase> {};

TEST_P(HeadingTest, IsTheCaptionedLabelAloneAtTheTop) {
  const HeadingCase& c = GetParam();
  FormDescription form;
  form.controls = c.controls;
  const ControlDescription* expected = c.heading < 0 ? nullptr : &form.controls[c.heading];
  EXPECT_EQ(Heading(form), expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeadingTest, testing::ValuesIn(HeadingCases()),
                         [](const testing::TestParamInfo<HeadingCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace egn::runtime
