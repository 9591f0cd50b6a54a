#include "table/xml_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace egn::table {
namespace {

// A part's bytes, given `piece` bytes a read, as an inflating part gives them.
class PieceSource final : public ByteSource {
 public:
  PieceSource(std::string bytes, std::size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
  long Read(char* into, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, bytes_.size() - at_});
    std::copy_n(bytes_.data() + at_, n, into);
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Problem() const override { return {}; }

 private:
  std::string bytes_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

// Writes down each event as "<name", ">name" and "'text'", with the bytes
// the event covers where asked, and pauses after each end of `pause_after`.
class Recorder final : public XmlHandler {
 public:
  XmlReader* reader = nullptr;
  std::string pause_after;
  std::string fail_at;
  std::string xml;  // the part, to show the bytes of end events
  std::vector<std::string> events;

  void Start(std::string_view name, const char** attributes) override {
    // Appended, not added ("<" + string): GCC 12 for Windows takes the
    // latter for an overlapping copy at -O3 (-Wrestrict).
    std::string event = "<";
    event += name;
    for (const char** a = attributes; *a != nullptr; a += 2) {
      event += ' ';
      event += a[0];
      event += '=';
      event += a[1];
    }
    events.push_back(event);
    if (name == fail_at) reader->Fail("спрян");
  }
  void End(std::string_view name) override {
    const auto at = static_cast<std::size_t>(reader->EventOffset());
    std::string event = ">";
    event += name;
    event += " [";
    event += xml.substr(at, static_cast<std::size_t>(reader->EventLength()));
    event += "]";
    events.push_back(event);
    if (name == pause_after) reader->Pause();
  }
  void Text(std::string_view text) override {
    if (!events.empty() && events.back().front() == '\'') {
      events.back().insert(events.back().size() - 1, text);  // pieces of one text joined
    } else {
      std::string event = "'";
      event += text;
      event += "'";
      events.push_back(event);
    }
  }
};

struct Parsed {
  std::vector<std::string> events;
  int pauses = 0;
  XmlReader::Status status;
  std::string problem;
};

Parsed Parse(const std::string& xml, std::size_t piece, const std::string& pause_after = "",
             const std::string& fail_at = "") {
  PieceSource source(xml, piece);
  Recorder recorder;
  recorder.xml = xml;
  recorder.pause_after = pause_after;
  recorder.fail_at = fail_at;
  XmlReader reader(source, "xl/worksheets/sheet1.xml", recorder);
  recorder.reader = &reader;
  Parsed run;
  while ((run.status = reader.Parse()) == XmlReader::Status::kPaused) ++run.pauses;
  run.events = recorder.events;
  run.problem = reader.problem();
  return run;
}

constexpr char kSheet[] =
    R"(<?xml version="1.0" encoding="UTF-8"?>)"
    R"(<x:worksheet xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<x:row r="1"><x:c><x:v>42</x:v></x:c></x:row><x:row r="2"/></x:worksheet>)";

const std::vector<std::string> kSheetEvents = {
    "<http://schemas.openxmlformats.org/spreadsheetml/2006/main|worksheet",
    "<http://schemas.openxmlformats.org/spreadsheetml/2006/main|row r=1",
    "<http://schemas.openxmlformats.org/spreadsheetml/2006/main|c",
    "<http://schemas.openxmlformats.org/spreadsheetml/2006/main|v",
    "'42'",
    ">http://schemas.openxmlformats.org/spreadsheetml/2006/main|v [</x:v>]",
    ">http://schemas.openxmlformats.org/spreadsheetml/2006/main|c [</x:c>]",
    ">http://schemas.openxmlformats.org/spreadsheetml/2006/main|row [</x:row>]",
    "<http://schemas.openxmlformats.org/spreadsheetml/2006/main|row r=2",
    ">http://schemas.openxmlformats.org/spreadsheetml/2006/main|row []",  // <x:row/> has no end
    ">http://schemas.openxmlformats.org/spreadsheetml/2006/main|worksheet [</x:worksheet>]",
};

// The same events, names by namespace whatever the prefix, and the same
// bytes of each end, however the part comes in pieces and however often
// the reader is paused.
TEST(XmlReader, EventsAndTheirBytesAreTheSameInAnyPiecesWithAnyPauses) {
  const std::string row = std::string(kSpreadsheetMl) + "row";
  for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{1 << 20}}) {
    for (const std::string& pause : {std::string(), row}) {
      SCOPED_TRACE("piece " + std::to_string(piece) + (pause.empty() ? "" : ", paused"));
      const Parsed run = Parse(kSheet, piece, pause);
      EXPECT_EQ(run.status, XmlReader::Status::kDone);
      EXPECT_EQ(run.events, kSheetEvents);
      EXPECT_EQ(run.pauses, pause.empty() ? 0 : 2);
    }
  }
}

// What no workbook's part holds, or a part cut or damaged: refused with
// the part's name and, for XML that is not well-formed, its line.
TEST(XmlReader, RefusesWhatNoPartHoldsInWordsForTheUser) {
  const struct {
    std::string xml;
    std::string problem;
  } cases[] = {
      {"<!DOCTYPE a [<!ENTITY x \"xx\">]><a>&x;</a>",
       "частта „xl/worksheets/sheet1.xml“ съдържа DOCTYPE, каквото работна книга няма: не е "
       "прочетена"},
      {"<!DOCTYPE a SYSTEM \"http://example.invalid/a.dtd\"><a/>",
       "частта „xl/worksheets/sheet1.xml“ съдържа DOCTYPE, каквото работна книга няма: не е "
       "прочетена"},
      {"<a>\n<b>\n</a>",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 3: затварящият елемент не "
       "отговаря на отворения"},
      {"<a><b>12",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 1: частта свършва "
       "преди края на документа (празна или отрязана)"},
      {"",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 1: частта свършва "
       "преди края на документа (празна или отрязана)"},
      {"<a b=\"1\" <c/></a>",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 1: непозволен знак"},
      {"<a>&nbsp;</a>",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 1: непознат обект (entity)"},
      {"<a/><b/>",
       "частта „xl/worksheets/sheet1.xml“ не е правилен XML: ред 1: след края на документа има "
       "още"},
      {"<a><fail/></a>", "спрян"},  // a handler's own refusal, kept as it said it
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.xml);
    const Parsed run = Parse(c.xml, 3, "", "fail");
    EXPECT_EQ(run.status, XmlReader::Status::kFailed);
    EXPECT_EQ(run.problem, c.problem);
  }
}

}  // namespace
}  // namespace egn::table
