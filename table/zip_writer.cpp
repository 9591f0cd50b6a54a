#include "table/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

#include "table/zip_format.h"

namespace egn::table {

namespace {

using zip::Put16;
using zip::Put32;
using zip::Put64;
using zip::Quoted;

constexpr std::size_t kChunk =
    std::size_t{64} * 1024;  // deflated bytes written to the sink at a time

// Deflate's settings besides the level, the same for every part and every
// build: raw deflate (the ZIP's own framing), zlib's default window and
// memory (32 KiB, level 8) and strategy.
constexpr int kWindowBits = -MAX_WBITS;
constexpr int kMemoryLevel = 8;

// The extra field without its ZIP64 field: a new part's sizes are its own.
std::string WithoutZip64(std::string_view extra) {
  std::string kept;
  std::size_t at = 0;
  while (extra.size() - at >= 4) {
    const std::size_t size = 4 + std::size_t{zip::Get16(extra.data() + at + 2)};
    if (size > extra.size() - at) break;  // a malformed rest is left out
    if (zip::Get16(extra.data() + at) != zip::kZip64ExtraId) kept.append(extra.substr(at, size));
    at += size;
  }
  return kept;
}

// `record` (a central directory record as a ZipReader read it) with the
// local header's offset set to `offset`: in its own field, or in its ZIP64
// field where it is kept there or no longer fits the field.
std::string WithOffset(std::string record, std::uint64_t offset) {
  const std::size_t name_size = zip::Get16(record.data() + 28);
  const std::size_t extra_size = zip::Get16(record.data() + 30);
  const std::size_t extra_at = zip::kCentralSize + name_size;
  const bool in_zip64 = zip::Get32(record.data() + 42) == zip::kFull32;
  if (!in_zip64 && offset < zip::kFull32) {
    zip::Set32(record, 42, static_cast<std::uint32_t>(offset));
    return record;
  }
  // The ZIP64 field holds, in order, the values whose own fields are full:
  // the size, the compressed size, the offset, the disk.
  const bool size_full = zip::Get32(record.data() + 24) == zip::kFull32;
  const bool compressed_full = zip::Get32(record.data() + 20) == zip::kFull32;
  const std::size_t offset_at = std::size_t{8} * ((size_full ? 1 : 0) + (compressed_full ? 1 : 0));
  std::size_t at = extra_at;
  while (at + 4 <= extra_at + extra_size) {
    const std::size_t size = zip::Get16(record.data() + at + 2);
    if (zip::Get16(record.data() + at) == zip::kZip64ExtraId) break;
    at += 4 + size;
  }
  const bool has_field = at + 4 <= extra_at + extra_size;
  if (in_zip64) {
    zip::Set64(record, at + 4 + offset_at, offset);  // the reader found it there
    return record;
  }
  // The offset moves into the ZIP64 field, which it joins after the sizes
  // (or which it begins): the record grows by 8 bytes (12 with a new field).
  std::string value;
  Put64(value, offset);
  if (has_field) {
    const std::size_t size = zip::Get16(record.data() + at + 2);
    record.insert(at + 4 + offset_at, value);
    record[at + 2] = static_cast<char>((size + 8) & 0xFF);
    record[at + 3] = static_cast<char>((size + 8) >> 8);
    record[30] = static_cast<char>((extra_size + 8) & 0xFF);
    record[31] = static_cast<char>((extra_size + 8) >> 8);
  } else {
    std::string field;
    Put16(field, zip::kZip64ExtraId);
    Put16(field, 8);
    field += value;
    record.insert(extra_at + extra_size, field);
    record[30] = static_cast<char>((extra_size + 12) & 0xFF);
    record[31] = static_cast<char>((extra_size + 12) >> 8);
  }
  zip::Set32(record, 42, zip::kFull32);
  // Reading the ZIP64 field needs version 4.5 of the format.
  if (zip::Get16(record.data() + 6) < zip::kVersionZip64) {
    record[6] = static_cast<char>(zip::kVersionZip64);
    record[7] = 0;
  }
  return record;
}

}  // namespace

// The part begun: what is written to it is deflated into the package.
class ZipWriter::PartSink final : public ByteSink {
 public:
  PartSink(ZipWriter& writer, ZipEntry entry) : writer_(writer), entry_(std::move(entry)) {}
  ~PartSink() override {
    if (started_) deflateEnd(&stream_);
  }

  bool Start(int level) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, kWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
      return writer_.Fail("няма достатъчно памет за компресиране на частта " + Quoted(entry_.name));
    }
    started_ = true;
    buffer_.resize(kChunk);
    return true;
  }

  bool Write(std::string_view bytes) override {
    if (writer_.failed_) return false;
    while (!bytes.empty()) {
      // zlib counts in unsigned int: a piece of up to 1 GiB at a time.
      const std::string_view piece = bytes.substr(0, std::size_t{1} << 30);
      bytes.remove_prefix(piece.size());
      size_ += piece.size();
      if (size_ > zip::kFull32) {
        return writer_.Fail("новата част " + Quoted(entry_.name) +
                            " става по-голяма от 4 GiB, колкото се записва");
      }
      crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(piece.data()),
                   static_cast<uInt>(piece.size()));
      stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
      stream_.avail_in = static_cast<uInt>(piece.size());
      if (!Deflate(Z_NO_FLUSH)) return false;
    }
    return true;
  }

  std::string Problem() const override { return writer_.problem_; }

  // The rest of the deflated data, then the descriptor; the record for the
  // directory.
  bool End() {
    stream_.next_in = nullptr;
    stream_.avail_in = 0;
    if (!Deflate(Z_FINISH)) return false;
    if (compressed_ > zip::kFull32) {
      return writer_.Fail("новата част " + Quoted(entry_.name) +
                          " става по-голяма от 4 GiB, колкото се записва");
    }
    std::string descriptor;
    Put32(descriptor, zip::kDescriptorSignature);
    Put32(descriptor, static_cast<std::uint32_t>(crc_));
    Put32(descriptor, static_cast<std::uint32_t>(compressed_));
    Put32(descriptor, static_cast<std::uint32_t>(size_));
    return writer_.Put(descriptor);
  }

  const ZipEntry& entry() const { return entry_; }
  std::uint32_t crc() const { return static_cast<std::uint32_t>(crc_); }
  std::uint64_t compressed() const { return compressed_; }
  std::uint64_t size() const { return size_; }

 private:
  bool Deflate(int flush) {
    for (;;) {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer_.data());
      stream_.avail_out = static_cast<uInt>(buffer_.size());
      const int status = deflate(&stream_, flush);
      if (status == Z_STREAM_ERROR) {
        return writer_.Fail("частта " + Quoted(entry_.name) + " не се компресира");
      }
      const std::size_t made = buffer_.size() - stream_.avail_out;
      compressed_ += made;
      if (made > 0 && !writer_.Put(std::string_view(buffer_.data(), made))) return false;
      // More room is needed while deflate fills all it was given.
      if (flush == Z_FINISH ? status == Z_STREAM_END : stream_.avail_out != 0) return true;
    }
  }

  ZipWriter& writer_;
  ZipEntry entry_;
  z_stream stream_{};
  bool started_ = false;
  uLong crc_ = crc32(0, nullptr, 0);
  std::uint64_t size_ = 0;
  std::uint64_t compressed_ = 0;
  std::string buffer_;
};

ZipWriter::ZipWriter(ByteSink& out) : out_(out) {}
ZipWriter::~ZipWriter() = default;

bool ZipWriter::Fail(std::string problem) {
  if (!failed_) problem_ = std::move(problem);
  failed_ = true;
  return false;
}

bool ZipWriter::Put(std::string_view bytes) {
  if (!out_.Write(bytes)) return Fail("грешка при запис: " + out_.Problem());
  written_ += bytes.size();
  return true;
}

// Refuses what cannot follow: a call after a failure, after Finish, or
// while a part is begun; and a name written already.
bool ZipWriter::Claim(const std::string& name) {
  if (failed_) return false;
  if (finished_) return Fail("ZIP-ът е завършен: в него не се пише повече");
  if (part_) {
    return Fail("частта " + Quoted(part_->entry().name) + " не е завършена, а започва " +
                Quoted(name));
  }
  const auto at = std::lower_bound(names_.begin(), names_.end(), name);
  if (at != names_.end() && *at == name) {
    return Fail("частта " + Quoted(name) + " е записана вече");
  }
  names_.insert(at, name);
  return true;
}

bool ZipWriter::Copy(ZipReader& from, const ZipEntry& entry) {
  if (!Claim(entry.name)) return false;
  // Checked before a byte is passed on: a part that cannot be inflated
  // whole, with its length and CRC-32, is damaged (a part of a method that
  // is not known here is passed on as it is).
  std::string buffer(kChunk, '\0');
  if (entry.method == kStored || entry.method == kDeflated) {
    const std::unique_ptr<ByteSource> data = from.Inflate(entry);
    for (long n; (n = data->Read(buffer.data(), buffer.size())) != 0;) {
      if (n < 0) return Fail(data->Problem());
    }
  }
  const std::uint64_t offset = written_;
  const std::unique_ptr<ByteSource> raw = from.Raw(entry);
  for (long n; (n = raw->Read(buffer.data(), buffer.size())) != 0;) {
    if (n < 0) return Fail(raw->Problem());
    if (!Put(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
  }
  directory_.push_back(WithOffset(entry.central_record, offset));
  return true;
}

ByteSink* ZipWriter::Begin(const ZipEntry& like) {
  if (!Claim(like.name)) return nullptr;
  if (like.name.empty() || like.name.size() > zip::kFull16) {
    Fail("името на частта " + Quoted(like.name) + " е празно или по-дълго от 65 535 байта");
    return nullptr;
  }
  ZipEntry entry;
  entry.name = like.name;
  entry.version_made_by = like.version_made_by;
  entry.version_needed = zip::kVersionDeflate;
  entry.flags = static_cast<std::uint16_t>((like.flags & kFlagUtf8) | kFlagDescriptor);
  entry.method = kDeflated;
  entry.dos_time = like.dos_time;
  entry.dos_date = like.dos_date;
  entry.internal_attributes = like.internal_attributes;
  entry.external_attributes = like.external_attributes;
  entry.extra = WithoutZip64(like.extra);
  entry.comment = like.comment;
  if (entry.extra.size() > zip::kFull16 - 12 || entry.comment.size() > zip::kFull16) {
    Fail("допълнителното поле или коментарът на частта " + Quoted(like.name) +
         " е по-дълъг от 65 535 байта");
    return nullptr;
  }
  entry.local_header_offset = written_;

  // The local header leaves the CRC-32 and sizes to the descriptor after the
  // data, as a sink that cannot seek needs; its extra field stays empty.
  std::string header;
  Put32(header, zip::kLocalSignature);
  Put16(header, entry.version_needed);
  Put16(header, entry.flags);
  Put16(header, entry.method);
  Put16(header, entry.dos_time);
  Put16(header, entry.dos_date);
  Put32(header, 0);
  Put32(header, 0);
  Put32(header, 0);
  Put16(header, static_cast<std::uint16_t>(entry.name.size()));
  Put16(header, 0);
  header += entry.name;

  auto part = std::make_unique<PartSink>(*this, std::move(entry));
  if (!part->Start(level_) || !Put(header)) return nullptr;
  part_ = std::move(part);
  return part_.get();
}

bool ZipWriter::End() {
  if (failed_) return false;
  if (!part_) return Fail("няма започната част, която да се завърши");
  if (!part_->End()) return false;

  const ZipEntry& entry = part_->entry();
  const bool zip64 = entry.local_header_offset >= zip::kFull32;
  std::string extra = entry.extra;
  if (zip64) {
    Put16(extra, zip::kZip64ExtraId);
    Put16(extra, 8);
    Put64(extra, entry.local_header_offset);
  }
  std::string record;
  Put32(record, zip::kCentralSignature);
  Put16(record, entry.version_made_by);
  Put16(record, zip64 ? zip::kVersionZip64 : entry.version_needed);
  Put16(record, entry.flags);
  Put16(record, entry.method);
  Put16(record, entry.dos_time);
  Put16(record, entry.dos_date);
  Put32(record, part_->crc());
  Put32(record, static_cast<std::uint32_t>(part_->compressed()));
  Put32(record, static_cast<std::uint32_t>(part_->size()));
  Put16(record, static_cast<std::uint16_t>(entry.name.size()));
  Put16(record, static_cast<std::uint16_t>(extra.size()));
  Put16(record, static_cast<std::uint16_t>(entry.comment.size()));
  Put16(record, 0);  // the disk
  Put16(record, entry.internal_attributes);
  Put32(record, entry.external_attributes);
  Put32(record, zip64 ? zip::kFull32 : static_cast<std::uint32_t>(entry.local_header_offset));
  record += entry.name;
  record += extra;
  record += entry.comment;
  directory_.push_back(std::move(record));
  part_.reset();
  return true;
}

bool ZipWriter::Finish(std::string_view comment) {
  if (failed_) return false;
  if (finished_) return Fail("ZIP-ът е завършен: в него не се пише повече");
  if (part_) {
    return Fail("частта " + Quoted(part_->entry().name) + " не е завършена (End)");
  }
  if (comment.size() > zip::kFull16) return Fail("коментарът на ZIP-а е по-дълъг от 65 535 байта");
  const std::uint64_t directory_offset = written_;
  for (const std::string& record : directory_) {
    if (!Put(record)) return false;
  }
  const std::uint64_t directory_size = written_ - directory_offset;
  const std::uint64_t count = directory_.size();

  const bool zip64 =
      count >= zip::kFull16 || directory_offset >= zip::kFull32 || directory_size >= zip::kFull32;
  std::string end;
  if (zip64) {
    const std::uint64_t zip64_end = written_;
    Put32(end, zip::kZip64EndSignature);
    Put64(end, zip::kZip64EndSize - 12);  // the record's size after this field
    Put16(end, zip::kVersionZip64);
    Put16(end, zip::kVersionZip64);
    Put32(end, 0);  // this disk
    Put32(end, 0);  // the directory's disk
    Put64(end, count);
    Put64(end, count);
    Put64(end, directory_size);
    Put64(end, directory_offset);
    Put32(end, zip::kZip64LocatorSignature);
    Put32(end, 0);
    Put64(end, zip64_end);
    Put32(end, 1);  // disks in all
  }
  const auto fit16 = [](std::uint64_t v) {
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(v, zip::kFull16));
  };
  const auto fit32 = [](std::uint64_t v) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, zip::kFull32));
  };
  Put32(end, zip::kEndSignature);
  Put16(end, 0);
  Put16(end, 0);
  Put16(end, fit16(count));
  Put16(end, fit16(count));
  Put32(end, fit32(directory_size));
  Put32(end, fit32(directory_offset));
  Put16(end, static_cast<std::uint16_t>(comment.size()));
  end += comment;
  if (!Put(end)) return false;
  finished_ = true;
  return true;
}

}  // namespace egn::table
