// ZIP packages made byte by byte for the tests, with every choice the format
// leaves a writer (stored or deflated, data descriptors with or without their
// signature, ZIP64 fields and end records, comments) and where each record
// lies, so that a test can damage one field and know which. Written from the
// format's description, independently of table/'s own reader and writer.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace egn::table::testing {

inline void Le(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Raw deflate (no zlib header) of `data` at `level`.
inline std::string Deflated(std::string_view data, int level = 6) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

inline std::uint32_t Crc(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Part {
  std::string name = {};
  std::string data = {};  // as read, inflated
  std::uint16_t method = 8;
  bool descriptor = false;           // CRC and sizes after the data
  bool descriptor_signature = true;  // the descriptor's optional signature
  bool zip64 = false;                // sizes and offset in ZIP64 extra fields
  std::uint16_t flags = 0;
  std::uint16_t time = 0x6000;  // 12:00:00
  std::uint16_t date = 0x5A21;  // 2025-01-01
  std::string comment = {};
  std::string stored = {};      // the stored bytes, where not made from `data`
  bool nothing_stored = false;  // not even an empty deflate stream, as some writers do
};

// Where each record of a made package lies.
struct Made {
  std::string bytes;
  std::vector<std::size_t> local, data, central;
  std::size_t directory = 0, end = 0;
};

struct Options {
  std::string comment = {};
  bool zip64_end = false;   // ZIP64 end record and locator, the end record's fields full
  std::string before = {};  // bytes before the first part
};

inline Made MakeZip(const std::vector<Part>& parts, const Options& options = {}) {
  Made made;
  std::string& out = made.bytes;
  out = options.before;
  std::vector<std::string> records;
  for (const Part& part : parts) {
    const std::string stored = part.nothing_stored    ? std::string()
                               : !part.stored.empty() ? part.stored
                               : part.method == 8     ? Deflated(part.data)
                                                      : part.data;
    const std::uint32_t crc = Crc(part.data);
    const std::uint16_t flags = part.flags | (part.descriptor ? 0x0008 : 0);
    const std::uint16_t version = part.zip64 ? 45 : 20;
    const std::size_t local = out.size();
    made.local.push_back(local);

    std::string local_extra;
    if (part.zip64) {
      Le(local_extra, 1, 2);
      Le(local_extra, 16, 2);
      Le(local_extra, part.descriptor ? 0 : part.data.size(), 8);
      Le(local_extra, part.descriptor ? 0 : stored.size(), 8);
    }
    Le(out, 0x04034b50, 4);
    Le(out, version, 2);
    Le(out, flags, 2);
    Le(out, part.method, 2);
    Le(out, part.time, 2);
    Le(out, part.date, 2);
    Le(out, part.descriptor ? 0 : crc, 4);
    Le(out, part.zip64 ? 0xFFFFFFFF : part.descriptor ? 0 : stored.size(), 4);
    Le(out, part.zip64 ? 0xFFFFFFFF : part.descriptor ? 0 : part.data.size(), 4);
    Le(out, part.name.size(), 2);
    Le(out, local_extra.size(), 2);
    out += part.name;
    out += local_extra;
    made.data.push_back(out.size());
    out += stored;
    if (part.descriptor) {
      if (part.descriptor_signature) Le(out, 0x08074b50, 4);
      Le(out, crc, 4);
      Le(out, stored.size(), part.zip64 ? 8 : 4);
      Le(out, part.data.size(), part.zip64 ? 8 : 4);
    }

    std::string extra;
    if (part.zip64) {
      Le(extra, 1, 2);
      Le(extra, 24, 2);
      Le(extra, part.data.size(), 8);
      Le(extra, stored.size(), 8);
      Le(extra, local, 8);
    }
    std::string record;
    Le(record, 0x02014b50, 4);
    Le(record, 0x0300 | version, 2);  // made on Unix
    Le(record, version, 2);
    Le(record, flags, 2);
    Le(record, part.method, 2);
    Le(record, part.time, 2);
    Le(record, part.date, 2);
    Le(record, crc, 4);
    Le(record, part.zip64 ? 0xFFFFFFFF : stored.size(), 4);
    Le(record, part.zip64 ? 0xFFFFFFFF : part.data.size(), 4);
    Le(record, part.name.size(), 2);
    Le(record, extra.size(), 2);
    Le(record, part.comment.size(), 2);
    Le(record, 0, 2);
    Le(record, 0, 2);
    Le(record, 0100644u << 16, 4);
    Le(record, part.zip64 ? 0xFFFFFFFF : local, 4);
    record += part.name;
    record += extra;
    record += part.comment;
    records.push_back(record);
  }
  made.directory = out.size();
  for (const std::string& record : records) {
    made.central.push_back(out.size());
    out += record;
  }
  const std::size_t directory_size = out.size() - made.directory;
  if (options.zip64_end) {
    const std::size_t zip64_end = out.size();
    Le(out, 0x06064b50, 4);
    Le(out, 44, 8);
    Le(out, 45, 2);
    Le(out, 45, 2);
    Le(out, 0, 4);
    Le(out, 0, 4);
    Le(out, parts.size(), 8);
    Le(out, parts.size(), 8);
    Le(out, directory_size, 8);
    Le(out, made.directory, 8);
    Le(out, 0x07064b50, 4);
    Le(out, 0, 4);
    Le(out, zip64_end, 8);
    Le(out, 1, 4);
  }
  made.end = out.size();
  Le(out, 0x06054b50, 4);
  Le(out, 0, 2);
  Le(out, 0, 2);
  Le(out, options.zip64_end ? 0xFFFF : parts.size(), 2);
  Le(out, options.zip64_end ? 0xFFFF : parts.size(), 2);
  Le(out, options.zip64_end ? 0xFFFFFFFF : directory_size, 4);
  Le(out, options.zip64_end ? 0xFFFFFFFF : made.directory, 4);
  Le(out, options.comment.size(), 2);
  out += options.comment;
  return made;
}

// Overwrites `bytes` at `at` with the little-endian `value` of `size` bytes.
inline void Poke(std::string& bytes, std::size_t at, std::uint64_t value, int size) {
  for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace egn::table::testing
