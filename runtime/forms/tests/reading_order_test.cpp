#include "runtime/forms/reading_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace egn::runtime {
namespace {

// A small window of every case, in twips: a title over two captions, each
// caption over a row of boxes, a note under each box of the first row (the
// second of which has a description of its own), and a button whose tab
// index puts it first.
FormDescription Sample() {
  const struct {
    ControlKind kind;
    const char* name;
    Rect rect;
    int tab;
    const char16_t* description;
  } controls[] = {
      {ControlKind::kLabel, "Title", {0, 0, 3000, 300}, 0, u""},
      {ControlKind::kLabel, "Left", {0, 400, 1400, 300}, 0, u""},
      {ControlKind::kLabel, "Right", {1600, 400, 1400, 300}, 0, u""},
      {ControlKind::kTextBox, "A", {0, 800, 600, 300}, 2, u""},
      {ControlKind::kTextBox, "B", {800, 800, 600, 300}, 3, u"its own"},
      {ControlKind::kTextBox, "C", {1600, 800, 1400, 300}, 4, u""},
      {ControlKind::kLabel, "NoteA", {0, 1150, 600, 200}, 0, u""},
      {ControlKind::kLabel, "NoteB", {800, 1150, 600, 200}, 0, u""},
      {ControlKind::kButton, "Go", {0, 2000, 1000, 300}, 1, u""},
  };
  FormDescription d;
  for (const auto& c : controls) {
    ControlDescription control;
    control.kind = c.kind;
    control.name = c.name;
    control.rect = c.rect;
    control.tab_index = c.tab;
    control.accessible_description = c.description;
    d.controls.push_back(control);
  }
  return d;
}

std::vector<std::string> Names(const std::vector<const ControlDescription*>& controls) {
  std::vector<std::string> names;
  names.reserve(controls.size());
  for (const ControlDescription* c : controls) names.push_back(c->name);
  return names;
}

TEST(ReadingOrder, CaptionsBeforeTheirBoxesNotesAfterThemTabOrderKept) {
  const FormDescription d = Sample();
  const Reading r = ReadingOrder(d);
  using List = std::vector<std::string>;
  EXPECT_EQ(Names(r.tab), (List{"Go", "A", "B", "C"}));
  EXPECT_EQ(Names(r.first), List{"Title"});
  std::vector<std::string> read;
  for (std::size_t i = 0; i < r.tab.size(); ++i) {
    for (const List& part : {Names(r.before[i]), List{r.tab[i]->name}, Names(r.after[i])}) {
      read.insert(read.end(), part.begin(), part.end());
    }
  }
  EXPECT_EQ(read, (List{"Go", "Left", "A", "NoteA", "B", "NoteB", "Right", "C"}));
  // NoteA describes A; B keeps its own description.
  std::vector<std::string> described;
  for (std::size_t i = 0; i < d.controls.size(); ++i) {
    described.push_back(r.describes[i] ? d.controls[i].name + ">" + r.describes[i]->name : "");
  }
  EXPECT_EQ(described, (List{"", "", "", "", "", "", "NoteA>A", "", ""}));
}

}  // namespace
}  // namespace egn::runtime
