// Writing a ZIP package to a sink that cannot seek: parts of another
// package copied as they are, compressed bytes included, and new versions
// of parts deflated from bytes streamed in, each in constant memory; then
// the central directory and the end record.
//
// The same calls give the same bytes, on every machine: no time of writing
// goes in (a new part takes its time from the part it replaces), and
// deflate runs with fixed settings of one zlib version on every target.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"
#include "table/zip_reader.h"

namespace egn::table {

class ZipWriter {
 public:
  // zlib's level for new parts (1 the fastest ... 9 the smallest). Level 1
  // deflates a sheet's XML 3.5 times as fast as level 6, into a part a
  // fifth larger (table/bench/zip_throughput: 126 and 36 MB/s, 56 and 45 MB
  // for a million rows of six columns): a workbook is written at the speed
  // of its reading.
  static constexpr int kDefaultLevel = 1;

  explicit ZipWriter(ByteSink& out);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // Before the first Begin: the level of the parts written after it.
  void SetLevel(int level) { level_ = level; }

  // Writes `entry` of `from` as it is stored there: its local header, data
  // and data descriptor byte for byte, and later its directory record with
  // only its offset changed. Its data is inflated on the way to check its
  // length and CRC-32, so that a damaged part is never passed on.
  bool Copy(ZipReader& from, const ZipEntry& entry);

  // Begins a new version of `like`: its name, time, flags of the name's
  // encoding, attributes, extra field and comment, deflated from the bytes
  // written to the sink returned (null after an error). The sink is valid
  // until End; its data is followed by a data descriptor, as a sink that
  // cannot seek needs.
  ByteSink* Begin(const ZipEntry& like);
  // Ends the part begun: the rest of its deflated data and its descriptor.
  bool End();

  // The central directory and the end record (ZIP64 records too where
  // offsets or the number of parts need them), with `comment` as the
  // package's comment. Nothing may be written after it.
  bool Finish(std::string_view comment = {});

  // Bytes written to the sink so far.
  std::uint64_t written() const { return written_; }

  // After a call that returned false (or null): what went wrong, in words
  // for the user.
  const std::string& problem() const { return problem_; }

 private:
  class PartSink;
  bool Fail(std::string problem);
  bool Put(std::string_view bytes);
  bool Claim(const std::string& name);

  ByteSink& out_;
  int level_ = kDefaultLevel;
  std::uint64_t written_ = 0;
  std::vector<std::string> directory_;  // the records of the parts written
  std::vector<std::string> names_;      // sorted, to refuse a name twice
  std::unique_ptr<PartSink> part_;      // the part begun, until End
  bool finished_ = false;
  bool failed_ = false;
  std::string problem_;
};

}  // namespace egn::table
