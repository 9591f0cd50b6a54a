// One XML part of a workbook, read as a stream through expat, with names
// given with their namespace ("uri|local") whatever prefix the part uses.
//
// A part that is not well-formed is refused with its line; so is one that
// declares a DOCTYPE or an entity: no entity is ever expanded or fetched,
// and a workbook's parts need neither.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "table/byte_stream.h"

namespace egn::table {

// Namespace-qualified names as the reader gives them.
inline constexpr std::string_view kSpreadsheetMl =
    "http://schemas.openxmlformats.org/spreadsheetml/2006/main|";

class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  // `attributes` alternate names and values, null-terminated, as expat's.
  virtual void Start(std::string_view name, const char** attributes) = 0;
  virtual void End(std::string_view name) = 0;
  // Character data, in pieces (one text may come in several).
  virtual void Text(std::string_view text) = 0;
};

class XmlReader {
 public:
  // Reads `part` (named `part_name` in messages); both must outlive it.
  XmlReader(ByteSource& part, std::string part_name, XmlHandler& handler);
  ~XmlReader();
  XmlReader(const XmlReader&) = delete;
  XmlReader& operator=(const XmlReader&) = delete;

  enum class Status { kPaused, kDone, kFailed };
  // Parses on until the handler calls Pause(), the part ends (kDone), or it
  // cannot be parsed further (kFailed, problem() says why). After kPaused,
  // the next call goes on from the event after the one that paused.
  Status Parse();

  // From a handler's call: stop after this event, and return kPaused.
  void Pause();
  // From a handler's call: stop, and return kFailed with `problem`.
  void Fail(std::string problem);

  // The offset in the part of the first byte of the current event (from a
  // handler's call), and its length in bytes: 0 for the end of an element
  // written empty (<row/>), which has no bytes of its own.
  std::uint64_t EventOffset() const;
  int EventLength() const;

  const std::string& problem() const { return problem_; }

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
  std::string problem_;
};

}  // namespace egn::table
