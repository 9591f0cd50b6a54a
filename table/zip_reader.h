// Reading a ZIP package (an .xlsx or .ods workbook is one): its directory,
// each part inflated as it is read, and each part's stored bytes for a
// copy that keeps them as they are.
//
// Everything is checked before it is trusted: the end record, the central
// directory, every local header against its directory record, that no two
// parts share bytes or a name, and, as a part is read, its length and its
// CRC-32. A part that would inflate past ZipLimits is refused before a byte
// of it is inflated (a ZIP bomb), and one that inflates past the length its
// record states is stopped there: memory and time stay bounded by the
// limits whatever the file says. Every refusal is said in words for the user
// (problem(), or the Problem() of the part's source).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "table/byte_stream.h"

namespace egn::table {

// How a part's bytes are stored: as they are, or deflated (RFC 1951).
inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kDeflated = 8;

// The general-purpose flags that matter here.
inline constexpr std::uint16_t kFlagEncrypted = 0x0001;
inline constexpr std::uint16_t kFlagDescriptor = 0x0008;  // CRC and sizes after the data
inline constexpr std::uint16_t kFlagUtf8 = 0x0800;        // the name is UTF-8

// One part of a package as its central directory record states it. A
// ZipReader fills every field; to write a new part, ZipWriter::Begin takes
// one as the part it replaces (or a new one with only a name and a time).
struct ZipEntry {
  std::string name;  // its bytes as stored: UTF-8 where kFlagUtf8 says so
  std::uint16_t version_made_by = 20;
  std::uint16_t version_needed = 20;
  std::uint16_t flags = 0;
  std::uint16_t method = kDeflated;
  std::uint16_t dos_time = 0;       // MS-DOS time: hours, minutes, seconds / 2
  std::uint16_t dos_date = 0x0021;  // MS-DOS date: 1980-01-01
  std::uint32_t crc32 = 0;          // of the inflated bytes
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;  // inflated
  std::uint16_t internal_attributes = 0;
  std::uint32_t external_attributes = 0;
  std::string extra;    // the directory record's extra field, as stored
  std::string comment;  // the directory record's comment, as stored

  // Where the part lies in the package it was read from.
  std::uint64_t local_header_offset = 0;
  std::uint64_t data_offset = 0;  // the first byte of its stored data
  std::uint64_t end_offset = 0;   // one past its data, or its data descriptor
  // Its central directory record, byte for byte (empty for a part made by
  // hand): a copy writes it again with only the offset changed.
  std::string central_record;

  bool IsDirectory() const { return !name.empty() && name.back() == '/'; }
};

// How far a part may inflate before it is taken for a ZIP bomb. Deflate
// reaches at most 1 032 times, and bombs are made near that. The XML of a
// sheet of 1 048 576 rows, as spreadsheet programs write it, is a few
// hundred MB to a few GB, deflated 4 to 35 times for a register, about 80
// times for columns of a few small numbers, and 200 times for rows that
// repeat two by two (each row numbers its cells, or an OpenDocument sheet
// folds rows that repeat one by one): the defaults let all of these
// through, and stop a part that would inflate past 4 GiB - 1 (what a
// directory record states without ZIP64), or past 1 MiB and more than 500
// times its stored size.
struct ZipLimits {
  static constexpr std::uint64_t kMaxSize = 0xFFFFFFFF;
  static constexpr std::uint64_t kMaxRatio = 500;
  static constexpr std::uint64_t kRatioFreeSize = 1 << 20;  // small parts may compress further
  std::uint64_t max_size = kMaxSize;
  std::uint64_t max_ratio = kMaxRatio;
  std::uint64_t ratio_free_size = kRatioFreeSize;
};

class ZipReader {
 public:
  ZipReader();
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Reads and checks the directory of the package in `source`, which must
  // outlive the reader and every source it opens. False when it is no ZIP,
  // a damaged one, or one with an encrypted part: problem() says which.
  bool Open(RandomAccessSource& source);

  // The parts, in the order of the central directory.
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // The part of that name (exact bytes), or null.
  const ZipEntry* Find(std::string_view name) const;
  // The package's comment (of its end record), as stored.
  const std::string& comment() const { return comment_; }

  // Before Inflate: other limits (tests, a caller that knows better).
  void SetLimits(const ZipLimits& limits) { limits_ = limits; }
  const ZipLimits& limits() const { return limits_; }

  // The part's bytes, inflated as they are read, in constant memory.
  // `entry` must be one of entries(). A Read returns -1 where the part
  // cannot be read: an unknown method, past the limits, damaged data, a
  // length or CRC-32 other than its record's (checked at its end); the
  // source's Problem() then says which, with the part's name.
  std::unique_ptr<ByteSource> Inflate(const ZipEntry& entry);

  // The part as stored, from its local header to the end of its data
  // descriptor, read as it is (for ZipWriter::Copy).
  std::unique_ptr<ByteSource> Raw(const ZipEntry& entry);

  // After Open returned false: what is wrong, in words for the user.
  const std::string& problem() const { return problem_; }

 private:
  bool Fail(std::string problem);
  bool ReadEnd();
  bool ReadDirectory();
  bool CheckLocalHeader(ZipEntry& entry);
  bool CheckLayout();
  bool Owns(const ZipEntry& entry) const;

  RandomAccessSource* source_ = nullptr;
  std::vector<ZipEntry> entries_;
  std::vector<std::size_t> by_name_;  // indexes of entries_, sorted by name
  std::string comment_;
  std::uint64_t directory_offset_ = 0;
  std::uint64_t directory_size_ = 0;
  std::uint64_t expected_entries_ = 0;
  std::uint64_t directory_end_ = 0;  // where the records after the directory begin
  ZipLimits limits_;
  std::string problem_;
};

}  // namespace egn::table
