#include "table/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <utility>

#include "table/zip_format.h"

namespace egn::table {

namespace zip {

std::string Quoted(std::string_view name) {
  std::string out = "„";
  std::size_t i = 0;
  while (i < name.size()) {
    const auto b = static_cast<unsigned char>(name[i]);
    // The length of a well-formed UTF-8 sequence starting here, or 0.
    std::size_t length = 0;
    if (b >= 0x20 && b < 0x7F) {
      length = 1;
    } else if (b >= 0xC2 && b <= 0xF4) {
      const std::size_t want = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      if (i + want <= name.size()) {
        length = want;
        for (std::size_t k = 1; k < want; ++k) {
          if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80) length = 0;
        }
        const auto second = static_cast<unsigned char>(name[i + 1]);
        // Overlong forms, surrogates and values past U+10FFFF.
        if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second >= 0xA0) ||
            (b == 0xF0 && second < 0x90) || (b == 0xF4 && second >= 0x90)) {
          length = 0;
        }
      }
    }
    if (length == 0) {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", b);
      out += escaped;
      ++i;
    } else {
      out.append(name.substr(i, length));
      i += length;
    }
  }
  return out + "“";
}

std::string Damaged(std::string_view what) { return "ZIP-ът е повреден: " + std::string(what); }

std::string DamagedPart(std::string_view name, std::string_view what) {
  return Damaged("частта " + Quoted(name) + " " + std::string(what));
}

}  // namespace zip

namespace {

using zip::Damaged;
using zip::DamagedPart;
using zip::Get16;
using zip::Get32;
using zip::Get64;
using zip::Quoted;

constexpr std::size_t kChunk =
    std::size_t{64} * 1024;  // how much is read from the source at a time

// The most parts a package may have: a workbook has tens, or a few thousand
// with many sheets and pictures. It bounds the memory of the directory.
constexpr std::uint64_t kMaxEntries = 100000;

std::string ReadProblem(const RandomAccessSource& source) {
  return "грешка при четене: " + source.Problem();
}

// Reads ranges of a source through one buffer, so that the directory's
// records, read one after the other, cost one read of the source for many.
class Window {
 public:
  explicit Window(RandomAccessSource& source) : source_(source) {}

  // `size` bytes at `offset`, which the caller has checked lie in the
  // source; null after a failed read (then source.Problem()).
  const char* Get(std::uint64_t offset, std::size_t size) {
    if (offset >= start_ && offset - start_ + size <= buffer_.size()) {
      return buffer_.data() + (offset - start_);
    }
    const std::uint64_t left = source_.Size() - offset;
    const auto take =
        static_cast<std::size_t>(std::min<std::uint64_t>(left, std::max(size, kChunk)));
    buffer_.resize(take);
    if (!source_.ReadAt(offset, buffer_.data(), take)) {
      buffer_.clear();
      return nullptr;
    }
    start_ = offset;
    return buffer_.data();
  }

 private:
  RandomAccessSource& source_;
  std::uint64_t start_ = 0;
  std::string buffer_;
};

// The ZIP64 extra field of a record: the values whose own fields are full,
// in the format's order. False when the extra field is malformed.
struct Extra {
  bool well_formed = true;
  const char* zip64 = nullptr;
  std::size_t zip64_size = 0;
};

Extra ReadExtra(std::string_view extra) {
  Extra found;
  std::size_t at = 0;
  while (at < extra.size()) {
    if (extra.size() - at < 4) {
      found.well_formed = false;
      return found;
    }
    const std::uint16_t id = Get16(extra.data() + at);
    const std::uint16_t size = Get16(extra.data() + at + 2);
    if (extra.size() - at - 4 < size) {
      found.well_formed = false;
      return found;
    }
    if (id == zip::kZip64ExtraId && found.zip64 == nullptr) {
      found.zip64 = extra.data() + at + 4;
      found.zip64_size = size;
    }
    at += 4 + std::size_t{size};
  }
  return found;
}

// Takes the 64-bit values for the fields that are full, in order, from the
// ZIP64 field; false when it lacks one.
bool TakeZip64(const Extra& extra, std::initializer_list<std::uint64_t*> full) {
  std::size_t at = 0;
  for (std::uint64_t* value : full) {
    if (value == nullptr) continue;
    if (extra.zip64 == nullptr || extra.zip64_size - at < 8) return false;
    *value = Get64(extra.zip64 + at);
    at += 8;
  }
  return true;
}

// A part's bytes as stored, from its local header to the end of its data
// descriptor.
class RawSource final : public ByteSource {
 public:
  RawSource(RandomAccessSource& source, std::uint64_t from, std::uint64_t to)
      : source_(source), at_(from), end_(to) {}
  long Read(char* into, std::size_t size) override {
    const auto n = static_cast<std::size_t>(
        std::min<std::uint64_t>({end_ - at_, size, static_cast<std::uint64_t>(LONG_MAX)}));
    if (n == 0) return 0;
    if (!source_.ReadAt(at_, into, n)) {
      problem_ = ReadProblem(source_);
      return -1;
    }
    at_ += n;
    return static_cast<long>(n);
  }
  std::string Problem() const override { return problem_; }

 private:
  RandomAccessSource& source_;
  std::uint64_t at_, end_;
  std::string problem_;
};

// A source that fails at once, with its reason.
class FailedSource final : public ByteSource {
 public:
  explicit FailedSource(std::string problem) : problem_(std::move(problem)) {}
  long Read(char*, std::size_t) override { return -1; }
  std::string Problem() const override { return problem_; }

 private:
  std::string problem_;
};

// A part's bytes inflated (or, stored, as they are) while they are read, with
// the length and CRC-32 of its directory record checked at its end. It never
// makes more than one byte past the length the record states: a part that
// would is stopped there.
class InflatingSource final : public ByteSource {
 public:
  InflatingSource(RandomAccessSource& source, const ZipEntry& entry)
      : source_(source), entry_(entry), at_(entry.data_offset), left_(entry.compressed_size) {
    // An empty part may be stored as no deflate data at all.
    if (entry.method == kDeflated && !(entry.compressed_size == 0 && entry.size == 0)) {
      buffer_.resize(kChunk);
      // Raw deflate (no zlib header), the window of the format: 32 KiB.
      if (inflateInit2(&stream_, -MAX_WBITS) != Z_OK) {
        Fail("няма достатъчно памет за разгъване на частта " + Quoted(entry.name));
      } else {
        started_ = true;
      }
    }
  }
  ~InflatingSource() override {
    if (started_) inflateEnd(&stream_);
  }

  long Read(char* into, std::size_t size) override {
    if (failed_) return -1;
    if (ended_ || size == 0) return 0;
    // One byte past the stated length is enough to tell a part that is
    // longer than its record says.
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(
        {size, entry_.size - made_ + 1, static_cast<std::uint64_t>(LONG_MAX), UINT_MAX}));
    const long made = started_ ? Inflate(into, want) : Copy(into, want);
    if (made < 0) return -1;
    made_ += static_cast<std::uint64_t>(made);
    if (made_ > entry_.size) {
      return Fail(DamagedPart(entry_.name, "е по-дълга от " + std::to_string(entry_.size) +
                                               " байта, колкото казва централната директория"));
    }
    crc_ = crc32(crc_, reinterpret_cast<const Bytef*>(into), static_cast<uInt>(made));
    if (ended_ && !CheckEnd()) return -1;
    return made;
  }

  std::string Problem() const override { return problem_; }

 private:
  long Fail(std::string problem) {
    failed_ = true;
    problem_ = std::move(problem);
    return -1;
  }

  long Copy(char* into, std::size_t want) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(want, left_));
    if (n > 0 && !source_.ReadAt(at_, into, n)) return Fail(ReadProblem(source_));
    at_ += n;
    left_ -= n;
    ended_ = left_ == 0;
    return static_cast<long>(n);
  }

  long Inflate(char* into, std::size_t want) {
    stream_.next_out = reinterpret_cast<Bytef*>(into);
    stream_.avail_out = static_cast<uInt>(want);
    // Until something is made: a read returns 0 only at the end.
    while (stream_.avail_out == want) {
      if (stream_.avail_in == 0 && left_ > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left_, buffer_.size()));
        if (!source_.ReadAt(at_, buffer_.data(), n)) return Fail(ReadProblem(source_));
        at_ += n;
        left_ -= n;
        stream_.next_in = reinterpret_cast<Bytef*>(buffer_.data());
        stream_.avail_in = static_cast<uInt>(n);
      }
      const int status = inflate(&stream_, Z_NO_FLUSH);
      if (status == Z_STREAM_END) {
        ended_ = true;
        break;
      }
      if (status == Z_BUF_ERROR && stream_.avail_in == 0 && left_ == 0) {
        return Fail(
            DamagedPart(entry_.name, "е непълна: компресираните ѝ данни свършват преди края ѝ"));
      }
      if (status == Z_MEM_ERROR) {
        return Fail("няма достатъчно памет за разгъване на частта " + Quoted(entry_.name));
      }
      if (status != Z_OK && status != Z_BUF_ERROR) {
        return Fail(DamagedPart(entry_.name, "има повредени компресирани данни"));
      }
    }
    return static_cast<long>(want - stream_.avail_out);
  }

  bool CheckEnd() {
    if (started_ && (stream_.avail_in > 0 || left_ > 0)) {
      Fail(DamagedPart(entry_.name, "има още байтове след края на компресираните си данни"));
      return false;
    }
    if (made_ != entry_.size) {
      Fail(DamagedPart(entry_.name, "е " + std::to_string(made_) +
                                        " байта, а централната директория казва " +
                                        std::to_string(entry_.size)));
      return false;
    }
    if (crc_ != entry_.crc32) {
      char sums[128];
      std::snprintf(sums, sizeof sums, "%08lX, а централната директория казва %08lX",
                    static_cast<unsigned long>(crc_), static_cast<unsigned long>(entry_.crc32));
      Fail(DamagedPart(entry_.name, "е с контролна сума (CRC-32) " + std::string(sums)));
      return false;
    }
    return true;
  }

  RandomAccessSource& source_;
  const ZipEntry& entry_;
  std::uint64_t at_;    // the next byte of stored data to read
  std::uint64_t left_;  // stored bytes not yet read
  std::uint64_t made_ = 0;
  uLong crc_ = crc32(0, nullptr, 0);
  z_stream stream_{};
  bool started_ = false;
  bool ended_ = false;
  bool failed_ = false;
  std::string buffer_;
  std::string problem_;
};

}  // namespace

ZipReader::ZipReader() = default;
ZipReader::~ZipReader() = default;

bool ZipReader::Fail(std::string problem) {
  problem_ = std::move(problem);
  entries_.clear();
  by_name_.clear();
  return false;
}

bool ZipReader::Open(RandomAccessSource& source) {
  source_ = &source;
  entries_.clear();
  by_name_.clear();
  comment_.clear();
  problem_.clear();
  return ReadEnd() && ReadDirectory() && CheckLayout();
}

// The end record is found from the end of the file: its signature where the
// comment it states ends the file exactly.
bool ZipReader::ReadEnd() {
  const std::uint64_t size = source_->Size();
  const auto tail = static_cast<std::size_t>(
      std::min<std::uint64_t>(size, zip::kEndSize + 0xFFFF + zip::kZip64LocatorSize));
  std::string bytes(tail, '\0');
  if (!source_->ReadAt(size - tail, bytes.data(), tail)) return Fail(ReadProblem(*source_));

  // The end record is the last signature whose comment ends the file; of the
  // last signature that does not, what it lacks or what follows it says
  // what became of the file.
  std::size_t end = std::string::npos;
  std::uint64_t expected = 0;  // where the last signature's record ends
  bool signature_seen = false;
  for (std::size_t at = tail >= 4 ? tail - 3 : 0; at-- > 0;) {
    if (Get32(bytes.data() + at) != zip::kEndSignature) continue;
    const std::uint64_t record_end =
        at + zip::kEndSize > tail ? tail + 1 : at + zip::kEndSize + Get16(bytes.data() + at + 20);
    if (!signature_seen) expected = record_end;
    signature_seen = true;
    if (record_end == tail) {
      end = at;
      break;
    }
  }
  if (end == std::string::npos) {
    if (signature_seen && expected > tail) {
      return Fail(Damaged("краят на централната директория е непълен (файлът е отрязан?)"));
    }
    if (signature_seen) {
      const std::uint64_t after = tail - expected;
      return Fail(Damaged("след края на централната директория има още " + std::to_string(after) +
                          (after == 1 ? " байт" : " байта")));
    }
    char start[4] = {};
    if (size >= 4 && !source_->ReadAt(0, start, 4)) return Fail(ReadProblem(*source_));
    if (size >= 4 && Get32(start) == zip::kLocalSignature) {
      return Fail(Damaged("краят на централната директория липсва (файлът е отрязан?)"));
    }
    return Fail("файлът не е ZIP");
  }

  const char* record = bytes.data() + end;
  const std::uint64_t end_offset = size - tail + end;
  const std::uint16_t disk = Get16(record + 4);
  const std::uint16_t directory_disk = Get16(record + 6);
  const std::uint16_t entries_here = Get16(record + 8);
  std::uint64_t entries = Get16(record + 10);
  std::uint64_t directory_size = Get32(record + 12);
  std::uint64_t directory_offset = Get32(record + 16);
  comment_.assign(record + zip::kEndSize, Get16(record + 20));
  directory_end_ = end_offset;

  // ZIP64: the locator just before the end record points to the ZIP64 end
  // record, whose 64-bit values stand for the full ones.
  const bool full =
      entries == zip::kFull16 || directory_size == zip::kFull32 || directory_offset == zip::kFull32;
  if (end >= zip::kZip64LocatorSize &&
      Get32(record - zip::kZip64LocatorSize) == zip::kZip64LocatorSignature) {
    const char* locator = record - zip::kZip64LocatorSize;
    const std::uint64_t zip64_end = Get64(locator + 8);
    const std::uint64_t locator_offset = end_offset - zip::kZip64LocatorSize;
    if (Get32(locator + 4) != 0 || Get32(locator + 16) > 1) {
      return Fail("ZIP-ът е от няколко тома, а се чете само ZIP в един файл");
    }
    char z[zip::kZip64EndSize];
    if (zip64_end > locator_offset || locator_offset - zip64_end < zip::kZip64EndSize) {
      return Fail(Damaged("краят на централната директория (ZIP64) е извън файла"));
    }
    if (!source_->ReadAt(zip64_end, z, sizeof z)) return Fail(ReadProblem(*source_));
    if (Get32(z) != zip::kZip64EndSignature || Get64(z + 4) + 12 != locator_offset - zip64_end) {
      return Fail(Damaged("краят на централната директория (ZIP64) е повреден"));
    }
    if (Get32(z + 16) != 0 || Get32(z + 20) != 0 || Get64(z + 24) != Get64(z + 32)) {
      return Fail("ZIP-ът е от няколко тома, а се чете само ZIP в един файл");
    }
    entries = Get64(z + 32);
    directory_size = Get64(z + 40);
    directory_offset = Get64(z + 48);
    directory_end_ = zip64_end;
  } else if (full) {
    return Fail(Damaged("краят на централната директория сочи запис ZIP64, който липсва"));
  } else if (disk != 0 || directory_disk != 0 || entries_here != entries) {
    return Fail("ZIP-ът е от няколко тома, а се чете само ZIP в един файл");
  }

  if (directory_offset > directory_end_ || directory_size > directory_end_ - directory_offset) {
    return Fail(Damaged("централната директория излиза извън файла"));
  }
  if (directory_offset + directory_size != directory_end_) {
    return Fail(Damaged("централната директория не е там, където сочи краят ѝ"));
  }
  if (entries > directory_size / zip::kCentralSize) {
    return Fail(Damaged("краят на централната директория казва " + std::to_string(entries) +
                        " части, а за толкова записи тя е твърде малка"));
  }
  if (entries > kMaxEntries) {
    return Fail("ZIP-ът има " + std::to_string(entries) + " части, а се четат до " +
                std::to_string(kMaxEntries));
  }
  directory_offset_ = directory_offset;
  directory_size_ = directory_size;
  expected_entries_ = entries;
  return true;
}

bool ZipReader::ReadDirectory() {
  Window window(*source_);
  entries_.reserve(static_cast<std::size_t>(expected_entries_));
  std::uint64_t at = directory_offset_;
  for (std::uint64_t i = 0; i < expected_entries_; ++i) {
    const std::string which = "запис " + std::to_string(i + 1) + " на централната директория ";
    if (directory_end_ - at < zip::kCentralSize) {
      return Fail(Damaged(which + "излиза извън нея"));
    }
    const char* r = window.Get(at, zip::kCentralSize);
    if (r == nullptr) return Fail(ReadProblem(*source_));
    if (Get32(r) != zip::kCentralSignature) return Fail(Damaged(which + "е повреден"));
    const std::size_t variable = std::size_t{Get16(r + 28)} + Get16(r + 30) + Get16(r + 32);
    if (directory_end_ - at - zip::kCentralSize < variable) {
      return Fail(Damaged(which + "излиза извън нея"));
    }
    r = window.Get(at, zip::kCentralSize + variable);
    if (r == nullptr) return Fail(ReadProblem(*source_));

    ZipEntry entry;
    entry.version_made_by = Get16(r + 4);
    entry.version_needed = Get16(r + 6);
    entry.flags = Get16(r + 8);
    entry.method = Get16(r + 10);
    entry.dos_time = Get16(r + 12);
    entry.dos_date = Get16(r + 14);
    entry.crc32 = Get32(r + 16);
    entry.compressed_size = Get32(r + 20);
    entry.size = Get32(r + 24);
    const char* name = r + zip::kCentralSize;
    entry.name.assign(name, Get16(r + 28));
    entry.extra.assign(name + entry.name.size(), Get16(r + 30));
    entry.comment.assign(name + entry.name.size() + entry.extra.size(), Get16(r + 32));
    std::uint64_t disk = Get16(r + 34);
    entry.internal_attributes = Get16(r + 36);
    entry.external_attributes = Get32(r + 38);
    entry.local_header_offset = Get32(r + 42);
    entry.central_record.assign(r, zip::kCentralSize + variable);
    at += zip::kCentralSize + variable;

    if (entry.name.empty()) return Fail(Damaged(which + "е без име"));
    const Extra extra = ReadExtra(entry.extra);
    if (!extra.well_formed) {
      return Fail(DamagedPart(entry.name, "има повредено допълнително поле (extra)"));
    }
    if (!TakeZip64(extra, {entry.size == zip::kFull32 ? &entry.size : nullptr,
                           entry.compressed_size == zip::kFull32 ? &entry.compressed_size : nullptr,
                           entry.local_header_offset == zip::kFull32 ? &entry.local_header_offset
                                                                     : nullptr,
                           disk == zip::kFull16 ? &disk : nullptr})) {
      return Fail(DamagedPart(entry.name, "няма размерите или мястото си в полето ZIP64"));
    }
    if (disk != 0) return Fail("ZIP-ът е от няколко тома, а се чете само ZIP в един файл");
    // Traditional encryption (bit 0), strong encryption (bit 6) and AES
    // (method 99) all keep a part from anyone without its password.
    if ((entry.flags & (kFlagEncrypted | 0x0040)) != 0 || entry.method == 99) {
      return Fail("ZIP-ът е защитен с парола: частта " + Quoted(entry.name) + " е шифрована");
    }
    if (entry.method == kStored && entry.compressed_size != entry.size) {
      return Fail(DamagedPart(entry.name,
                              "е без компресия, а размерите ѝ в централната "
                              "директория се различават"));
    }
    if (!CheckLocalHeader(entry)) return false;
    entries_.push_back(std::move(entry));
  }
  if (at != directory_end_) {
    return Fail(Damaged("централната директория има още байтове след записа на " +
                        std::to_string(expected_entries_) +
                        (expected_entries_ == 1 ? " част" : " части") + ", колкото казва краят ѝ"));
  }

  by_name_.resize(entries_.size());
  for (std::size_t i = 0; i < by_name_.size(); ++i) by_name_[i] = i;
  std::sort(by_name_.begin(), by_name_.end(),
            [this](std::size_t a, std::size_t b) { return entries_[a].name < entries_[b].name; });
  for (std::size_t i = 1; i < by_name_.size(); ++i) {
    const std::string& name = entries_[by_name_[i]].name;
    if (name == entries_[by_name_[i - 1]].name) {
      return Fail(Damaged("частта " + Quoted(name) + " е два пъти в централната директория"));
    }
  }
  return true;
}

// The local header must be where the record says, name the same part with
// the same method, and agree with the record's CRC-32 and sizes (or leave
// them to a data descriptor, which must then agree). Sets where the part's
// data and its descriptor end.
bool ZipReader::CheckLocalHeader(ZipEntry& entry) {
  const std::uint64_t limit = directory_offset_;  // the parts lie before the directory
  if (entry.local_header_offset > limit || limit - entry.local_header_offset < zip::kLocalSize) {
    return Fail(DamagedPart(entry.name, "е извън данните на файла"));
  }
  char h[zip::kLocalSize];
  if (!source_->ReadAt(entry.local_header_offset, h, sizeof h)) {
    return Fail(ReadProblem(*source_));
  }
  if (Get32(h) != zip::kLocalSignature) {
    return Fail(DamagedPart(entry.name,
                            "няма локален заглавен блок там, където сочи "
                            "централната директория"));
  }
  const std::size_t variable = std::size_t{Get16(h + 26)} + Get16(h + 28);
  const std::uint64_t header_end = entry.local_header_offset + zip::kLocalSize;
  if (limit - header_end < variable) {
    return Fail(DamagedPart(entry.name, "е извън данните на файла"));
  }
  std::string names(variable, '\0');
  if (!source_->ReadAt(header_end, names.data(), variable)) return Fail(ReadProblem(*source_));
  const std::string_view local_name = std::string_view(names).substr(0, Get16(h + 26));
  const std::string_view local_extra = std::string_view(names).substr(local_name.size());

  const auto disagree = [&](const char* what) {
    return Fail(DamagedPart(entry.name, std::string("има локален заглавен блок, който не съвпада "
                                                    "с централната директория (") +
                                            what + ")"));
  };
  if (local_name != entry.name) return disagree("името");
  if (Get16(h + 8) != entry.method) return disagree("методът на компресия");
  const std::uint16_t local_flags = Get16(h + 6);
  if ((local_flags & kFlagEncrypted) != 0) {
    return Fail("ZIP-ът е защитен с парола: частта " + Quoted(entry.name) + " е шифрована");
  }

  const Extra extra = ReadExtra(local_extra);
  if (!extra.well_formed) {
    return Fail(DamagedPart(entry.name,
                            "има повредено допълнително поле (extra) в локалния "
                            "си заглавен блок"));
  }
  const std::uint32_t local_crc = Get32(h + 14);
  std::uint64_t local_compressed = Get32(h + 18);
  std::uint64_t local_size = Get32(h + 22);
  const bool zip64 = extra.zip64 != nullptr;
  if (local_size == zip::kFull32 || local_compressed == zip::kFull32) {
    if (!TakeZip64(extra, {local_size == zip::kFull32 ? &local_size : nullptr,
                           local_compressed == zip::kFull32 ? &local_compressed : nullptr})) {
      return Fail(DamagedPart(entry.name,
                              "няма размерите си в полето ZIP64 на локалния си "
                              "заглавен блок"));
    }
  }
  const bool descriptor = (local_flags & kFlagDescriptor) != 0;
  // With a descriptor the header may leave the CRC and sizes as zeros.
  if (local_crc != entry.crc32 && !(descriptor && local_crc == 0)) return disagree("CRC-32");
  if ((local_compressed != entry.compressed_size && !(descriptor && local_compressed == 0)) ||
      (local_size != entry.size && !(descriptor && local_size == 0))) {
    return disagree("размерите");
  }

  entry.data_offset = header_end + variable;
  if (entry.compressed_size > limit - entry.data_offset) {
    return Fail(DamagedPart(entry.name, "излиза извън данните на файла"));
  }
  entry.end_offset = entry.data_offset + entry.compressed_size;
  if (!descriptor) return true;

  // The descriptor: its signature (which may be left out), the CRC-32, and
  // the sizes in 4 bytes, or in 8 for a ZIP64 part.
  char d[24] = {};
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(24, limit - entry.end_offset));
  if (room > 0 && !source_->ReadAt(entry.end_offset, d, room)) return Fail(ReadProblem(*source_));
  for (const bool signed_ : {true, false}) {
    for (const bool wide : {zip64, !zip64}) {
      const std::size_t length = (signed_ ? 4 : 0) + 4 + (wide ? 16 : 8);
      const char* p = d + (signed_ ? 4 : 0);
      if (length > room || (signed_ && Get32(d) != zip::kDescriptorSignature)) continue;
      const std::uint64_t compressed = wide ? Get64(p + 4) : Get32(p + 4);
      const std::uint64_t size = wide ? Get64(p + 12) : Get32(p + 8);
      if (Get32(p) == entry.crc32 && compressed == entry.compressed_size && size == entry.size) {
        entry.end_offset += length;
        return true;
      }
    }
  }
  return Fail(DamagedPart(entry.name,
                          "има описание на данните (data descriptor), което не "
                          "съвпада с централната директория"));
}

// No two parts may share a byte: a package whose parts overlap is made to
// inflate one stored deflate stream many times over.
bool ZipReader::CheckLayout() {
  std::vector<const ZipEntry*> in_place;
  in_place.reserve(entries_.size());
  for (const ZipEntry& entry : entries_) in_place.push_back(&entry);
  std::sort(in_place.begin(), in_place.end(), [](const ZipEntry* a, const ZipEntry* b) {
    return a->local_header_offset < b->local_header_offset;
  });
  for (std::size_t i = 1; i < in_place.size(); ++i) {
    if (in_place[i - 1]->end_offset > in_place[i]->local_header_offset) {
      return Fail(Damaged("частите " + Quoted(in_place[i - 1]->name) + " и " +
                          Quoted(in_place[i]->name) + " се застъпват"));
    }
  }
  return true;
}

const ZipEntry* ZipReader::Find(std::string_view name) const {
  const auto found =
      std::lower_bound(by_name_.begin(), by_name_.end(), name,
                       [this](std::size_t i, std::string_view n) { return entries_[i].name < n; });
  if (found == by_name_.end() || entries_[*found].name != name) return nullptr;
  return &entries_[*found];
}

bool ZipReader::Owns(const ZipEntry& entry) const {
  return !entries_.empty() && &entry >= entries_.data() &&
         &entry < entries_.data() + entries_.size();
}

std::unique_ptr<ByteSource> ZipReader::Inflate(const ZipEntry& entry) {
  if (!Owns(entry)) {
    return std::make_unique<FailedSource>("частта " + Quoted(entry.name) +
                                          " не е от прочетения ZIP");
  }
  if (entry.method != kStored && entry.method != kDeflated) {
    return std::make_unique<FailedSource>(
        "частта " + Quoted(entry.name) + " е компресирана по непознат начин (метод " +
        std::to_string(entry.method) + "); четат се само без компресия и с deflate");
  }
  if (entry.size > limits_.max_size) {
    return std::make_unique<FailedSource>("частта " + Quoted(entry.name) + " се разгъва до " +
                                          std::to_string(entry.size) + " байта, повече от " +
                                          std::to_string(limits_.max_size) + " (ZIP бомба?)");
  }
  // Past the ratio: compressed * ratio < size, without overflow.
  const std::uint64_t ratio = std::max<std::uint64_t>(limits_.max_ratio, 1);
  if (entry.size > limits_.ratio_free_size &&
      entry.compressed_size < entry.size / ratio + (entry.size % ratio != 0 ? 1 : 0)) {
    return std::make_unique<FailedSource>("частта " + Quoted(entry.name) + " се разгъва от " +
                                          std::to_string(entry.compressed_size) + " до " +
                                          std::to_string(entry.size) + " байта, повече от " +
                                          std::to_string(limits_.max_ratio) + " пъти (ZIP бомба?)");
  }
  return std::make_unique<InflatingSource>(*source_, entry);
}

std::unique_ptr<ByteSource> ZipReader::Raw(const ZipEntry& entry) {
  if (!Owns(entry)) {
    return std::make_unique<FailedSource>("частта " + Quoted(entry.name) +
                                          " не е от прочетения ZIP");
  }
  return std::make_unique<RawSource>(*source_, entry.local_header_offset, entry.end_offset);
}

}  // namespace egn::table
