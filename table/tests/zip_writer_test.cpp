#include "table/zip_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "table/tests/part_bytes.h"
#include "table/tests/zip_maker.h"
#include "table/zip_reader.h"

namespace egn::table {
namespace {

using testing::Crc;
using testing::Inflated;
using testing::Made;
using testing::MakeZip;
using testing::Part;
using testing::Poke;

// Whether two packages are the same bytes; where not, the first that differs.
::testing::AssertionResult SameBytes(const std::string& a, const std::string& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  if (at == a.size() && at == b.size()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "sizes " << a.size() << " and " << b.size() << ", the first difference at byte " << at;
}

// Text that compresses as a sheet's XML does, `rows` rows of it.
std::string SheetLike(std::size_t rows, std::size_t seed = 1) {
  std::string xml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)"
                    "\n<worksheet><sheetData>";
  for (std::size_t r = 1; r <= rows; ++r) {
    const std::string n = std::to_string(r);
    xml.append(R"(<row r=")").append(n).append(R"("><c r="A)").append(n);
    xml.append(R"(" t="inlineStr"><is><t>Иван Петров</t></is></c><c r="B)").append(n);
    xml.append(R"("><v>)").append(std::to_string(8001010000 + (r * 7919 + seed) % 1000000));
    xml.append(R"(</v></c><c r="C)").append(n).append(R"(" s="1"><v>)");
    xml.append(std::to_string(r % 97)).append("</v></c></row>");
  }
  return xml + "</sheetData></worksheet>";
}

// The parts of a workbook, laid out in the ways writers lay them out.
std::vector<Part> Workbook() {
  return {
      {.name = "[Content_Types].xml", .data = "<Types/>", .time = 0, .date = 0x21},
      {.name = "mimetype", .data = "application/vnd.oasis.opendocument.spreadsheet", .method = 0},
      {.name = "xl/worksheets/sheet1.xml", .data = SheetLike(500), .descriptor = true},
      {.name = "xl/worksheets/sheet2.xml",
       .data = SheetLike(20, 2),
       .descriptor = true,
       .descriptor_signature = false},
      {.name = "xl/styles.xml", .data = "<styleSheet/>", .zip64 = true, .comment = "стилове"},
      {.name = "xl/media/", .data = "", .method = 0},
      {.name = "docProps/лист.xml", .data = "<x/>", .flags = 0x0800},
  };
}

// --- Copies -----------------------------------------------------------------

TEST(ZipWriterTest, CopiesEveryPartByteForByte) {
  for (const std::string& before : {std::string(), std::string(1000, 'x')}) {
    SCOPED_TRACE(before.size());
    const Made made = MakeZip(Workbook(), {.comment = "регистър", .before = before});
    MemorySource source(made.bytes);
    ZipReader zip;
    ASSERT_TRUE(zip.Open(source)) << zip.problem();

    StringSink out;
    ZipWriter writer(out);
    for (const ZipEntry& entry : zip.entries())
      ASSERT_TRUE(writer.Copy(zip, entry)) << writer.problem();
    ASSERT_TRUE(writer.Finish(zip.comment())) << writer.problem();
    EXPECT_EQ(writer.written(), out.bytes().size());

    // The package as made without the bytes before it: the parts as they
    // were, their records with their new offsets, the end record.
    EXPECT_TRUE(SameBytes(out.bytes(), MakeZip(Workbook(), {.comment = "регистър"}).bytes));

    MemorySource copied(out.bytes());
    ZipReader again;
    ASSERT_TRUE(again.Open(copied)) << again.problem();
    ASSERT_EQ(again.entries().size(), zip.entries().size());
    for (std::size_t i = 0; i < zip.entries().size(); ++i) {
      const ZipEntry& a = zip.entries()[i];
      const ZipEntry& b = again.entries()[i];
      EXPECT_EQ(b.local_header_offset, a.local_header_offset - before.size());
      EXPECT_EQ(b.end_offset - b.local_header_offset, a.end_offset - a.local_header_offset);
      EXPECT_EQ(Inflated(again, b), Inflated(zip, a)) << a.name;
    }
    EXPECT_EQ(again.comment(), "регистър");
  }
}

TEST(ZipWriterTest, CopiesAPartOfAMethodItCannotRead) {
  const Made made = MakeZip({{.name = "a.bz2", .data = "x", .method = 12, .stored = "BZh91AY&SY"}});
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  StringSink out;
  ZipWriter writer(out);
  ASSERT_TRUE(writer.Copy(zip, zip.entries()[0])) << writer.problem();
  ASSERT_TRUE(writer.Finish());
  EXPECT_TRUE(SameBytes(out.bytes(), made.bytes));
}

// --- New parts --------------------------------------------------------------

TEST(ZipWriterTest, WritesANewVersionOfAPartAsThePartWas) {
  const Made made = MakeZip(Workbook());
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();

  for (const int level : {1, 6, 9}) {
    SCOPED_TRACE(level);
    StringSink out;
    ZipWriter writer(out);
    writer.SetLevel(level);
    std::vector<std::string> written;
    for (const ZipEntry& entry : zip.entries()) {
      // Each new part is the old one with a line after it, streamed in
      // pieces of every size.
      const std::string data = Inflated(zip, entry) + "<!-- " + entry.name + " -->";
      written.push_back(data);
      ByteSink* part = writer.Begin(entry);
      ASSERT_NE(part, nullptr) << writer.problem();
      for (std::size_t at = 0, piece = 1; at < data.size(); at += piece, piece = piece * 3 + 1) {
        ASSERT_TRUE(part->Write(std::string_view(data).substr(at, piece)));
      }
      ASSERT_TRUE(writer.End()) << writer.problem();
    }
    ASSERT_TRUE(writer.Finish()) << writer.problem();

    MemorySource rewritten(out.bytes());
    ZipReader again;
    ASSERT_TRUE(again.Open(rewritten)) << again.problem();
    ASSERT_EQ(again.entries().size(), zip.entries().size());
    for (std::size_t i = 0; i < zip.entries().size(); ++i) {
      const ZipEntry& was = zip.entries()[i];
      const ZipEntry& is = again.entries()[i];
      SCOPED_TRACE(was.name);
      EXPECT_EQ(Inflated(again, is), written[i]);
      EXPECT_EQ(is.name, was.name);
      EXPECT_EQ(is.method, kDeflated);
      EXPECT_EQ(is.flags, (was.flags & kFlagUtf8) | kFlagDescriptor);
      EXPECT_EQ(is.dos_time, was.dos_time);
      EXPECT_EQ(is.dos_date, was.dos_date);
      EXPECT_EQ(is.version_made_by, was.version_made_by);
      EXPECT_EQ(is.external_attributes, was.external_attributes);
      EXPECT_EQ(is.internal_attributes, was.internal_attributes);
      EXPECT_EQ(is.comment, was.comment);
      EXPECT_EQ(is.extra, "");  // the ZIP64 field is the only one the parts had
      EXPECT_EQ(is.crc32, Crc(written[i]));
    }
  }
}

TEST(ZipWriterTest, WritesBetweenCopiesAndNewPartsInAnyOrder) {
  const Made made = MakeZip(Workbook());
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  StringSink out;
  ZipWriter writer(out);
  // Every other part new, from the last to the first.
  for (std::size_t i = zip.entries().size(); i-- > 0;) {
    const ZipEntry& entry = zip.entries()[i];
    if (i % 2 == 0) {
      ASSERT_TRUE(writer.Copy(zip, entry)) << writer.problem();
    } else {
      ByteSink* part = writer.Begin(entry);
      ASSERT_NE(part, nullptr) << writer.problem();
      ASSERT_TRUE(part->Write("new " + entry.name));
      ASSERT_TRUE(writer.End()) << writer.problem();
    }
  }
  ASSERT_TRUE(writer.Finish());
  MemorySource written(out.bytes());
  ZipReader again;
  ASSERT_TRUE(again.Open(written)) << again.problem();
  ASSERT_EQ(again.entries().size(), zip.entries().size());
  for (std::size_t i = 0; i < zip.entries().size(); ++i) {
    const ZipEntry& was = zip.entries()[zip.entries().size() - 1 - i];
    const ZipEntry* is = again.Find(was.name);
    ASSERT_NE(is, nullptr) << was.name;
    EXPECT_EQ(Inflated(again, *is),
              (zip.entries().size() - 1 - i) % 2 == 0 ? Inflated(zip, was) : "new " + was.name);
  }
}

// The same input gives the same bytes: written twice here, and against the
// digest that the Linux, Windows and browser builds all give (one zlib, the
// same settings). A change of zlib or of the settings shows here first; the
// digest is then written anew on purpose, for every build at once.
TEST(ZipWriterTest, WritesTheSameBytesOnEveryRunAndBuild) {
  struct Golden {
    int level;
    std::size_t size;
    std::uint32_t crc;
  };
  const std::vector<Golden> goldens = {{1, 443869, 0xDDC0A904}, {6, 363467, 0xBDF6A976}};
  const std::string sheet = SheetLike(20000);
  for (const Golden& golden : goldens) {
    std::string first;
    for (int run = 0; run < 2; ++run) {
      StringSink out;
      ZipWriter writer(out);
      writer.SetLevel(golden.level);
      ZipEntry like;
      like.name = "xl/worksheets/sheet1.xml";
      like.dos_time = 0x6000;
      like.dos_date = 0x5A21;
      ByteSink* part = writer.Begin(like);
      ASSERT_NE(part, nullptr);
      for (std::size_t at = 0; at < sheet.size(); at += 10000) {
        ASSERT_TRUE(part->Write(std::string_view(sheet).substr(at, 10000)));
      }
      ASSERT_TRUE(writer.End());
      ASSERT_TRUE(writer.Finish());
      if (run == 0) {
        first = out.bytes();
      } else {
        EXPECT_EQ(out.bytes(), first);
      }
    }
    EXPECT_EQ(first.size(), golden.size) << "level " << golden.level;
    EXPECT_EQ(Crc(first), golden.crc) << "level " << golden.level;
  }
}

// --- Past 4 GiB ---------------------------------------------------------------

// A package of `size` bytes of which only the head and the tail are kept:
// the bytes between are zeros, never stored, as a part of zeros is.
class SparseSource final : public RandomAccessSource {
 public:
  SparseSource(std::string head, std::uint64_t size, std::string tail)
      : head_(std::move(head)), tail_(std::move(tail)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    if (offset > size_ || size > size_ - offset) return false;
    const std::uint64_t tail_at = size_ - tail_.size();
    std::memset(into, 0, size);
    for (std::uint64_t at = offset; at < offset + size && at < head_.size(); ++at) {
      into[at - offset] = head_[at];
    }
    for (std::uint64_t at = std::max(offset, tail_at); at < offset + size; ++at) {
      into[at - offset] = tail_[at - tail_at];
    }
    return true;
  }
  std::string Problem() const override { return "извън данните"; }

 private:
  std::string head_, tail_;
  std::uint64_t size_;
};

// A sink that keeps its first 4 KiB and what comes after KeepFrom's place;
// what comes between must be zeros, and is only counted.
class SparseSink final : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    static const std::string kZeros(1 << 16, '\0');
    while (!bytes.empty()) {
      std::size_t n = bytes.size();
      if (written < 4096) {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, 4096 - written));
        head.append(bytes.substr(0, n));
      } else if (written >= keep_from) {
        tail.append(bytes);
      } else {
        n = static_cast<std::size_t>(
            std::min<std::uint64_t>({n, keep_from - written, kZeros.size()}));
        if (std::memcmp(bytes.data(), kZeros.data(), n) != 0) return false;
      }
      written += n;
      bytes.remove_prefix(n);
    }
    return true;
  }
  std::string Problem() const override { return "не е нула"; }
  void KeepFrom(std::uint64_t at) { keep_from = at; }
  std::string head, tail;
  std::uint64_t written = 0, keep_from = ~std::uint64_t{0};
};

// The CRC-32 of `n` zero bytes, in log n steps. zlib counts the length it
// combines in a long, 32 bits on Windows and in WebAssembly: pieces of at
// most 1 GiB.
std::uint32_t ZerosCrc(std::uint64_t n) {
  constexpr std::uint64_t kPiece = 1 << 30;
  const auto piece_crc = [](std::uint64_t zeros) {  // zeros <= kPiece
    const char zero = 0;
    uLong crc = crc32(0, nullptr, 0);
    uLong block = crc32(crc, reinterpret_cast<const Bytef*>(&zero), 1);  // of `length` zeros
    for (std::uint64_t length = 1; zeros != 0; zeros >>= 1, length <<= 1) {
      if (zeros & 1) crc = crc32_combine(crc, block, static_cast<z_off_t>(length));
      if (zeros > 1) block = crc32_combine(block, block, static_cast<z_off_t>(length));
    }
    return crc;
  };
  uLong crc = crc32(0, nullptr, 0);
  for (; n != 0; n -= std::min(n, kPiece)) {
    const std::uint64_t piece = std::min(n, kPiece);
    crc = crc32_combine(crc, piece_crc(piece), static_cast<z_off_t>(piece));
  }
  return static_cast<std::uint32_t>(crc);
}

// A stored part of zeros ends just below 4 GiB. Written after a new part,
// the part after it lies past what a 32-bit field holds: its copied record
// gets a ZIP64 field for its offset, a new part after it gets one of its
// own, and the directory gets the ZIP64 end records. Only the two ends of
// the 4 GiB are kept in memory.
TEST(ZipWriterTest, MovesOffsetsPast4GiBIntoZip64Fields) {
  const std::uint64_t zeros = 0xFFFFFFFF - 60;
  const Made made = MakeZip({{.name = "xl/media/zeros.bin", .data = "", .method = 0},
                             {.name = "xl/styles.xml", .data = "<styleSheet/>"}},
                            {.zip64_end = true});
  // The first part's data becomes `zeros` zeros: the bytes after its header
  // move past them, and so do the offsets that point there.
  std::string head = made.bytes.substr(0, made.data[0]);
  std::string tail = made.bytes.substr(made.data[0]);
  for (const std::size_t at : {14, 18, 22}) Poke(head, at, at == 14 ? ZerosCrc(zeros) : zeros, 4);
  const auto in_tail = [&](std::size_t at) { return at - made.data[0]; };
  for (const std::size_t at : {16, 20, 24}) {
    Poke(tail, in_tail(made.central[0]) + at, at == 16 ? ZerosCrc(zeros) : zeros, 4);
  }
  Poke(tail, in_tail(made.central[1]) + 42, made.local[1] + zeros, 4);
  const std::size_t zip64_end = made.end - 20 - 56;
  Poke(tail, in_tail(zip64_end) + 48, made.directory + zeros, 8);
  Poke(tail, in_tail(made.end - 20) + 8, zip64_end + zeros, 8);
  SparseSource source(head, made.bytes.size() + zeros, tail);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  ASSERT_EQ(zip.entries().size(), 2u);
  ASSERT_LT(zip.entries()[1].local_header_offset, 0xFFFFFFFFu);

  SparseSink out;
  ZipWriter writer(out);
  ZipEntry first;
  first.name = "[Content_Types].xml";
  ByteSink* part = writer.Begin(first);
  ASSERT_NE(part, nullptr);
  ASSERT_TRUE(part->Write(std::string(300, 'x')));
  ASSERT_TRUE(writer.End());
  ASSERT_TRUE(writer.Copy(zip, zip.entries()[0])) << writer.problem();
  out.KeepFrom(writer.written());
  ASSERT_TRUE(writer.Copy(zip, zip.entries()[1])) << writer.problem();
  ZipEntry last;
  last.name = "xl/worksheets/sheet1.xml";
  part = writer.Begin(last);
  ASSERT_NE(part, nullptr);
  ASSERT_TRUE(part->Write("<worksheet/>"));
  ASSERT_TRUE(writer.End());
  ASSERT_TRUE(writer.Finish());
  ASSERT_EQ(out.written, writer.written());

  SparseSource written(out.head, out.written, out.tail);
  ZipReader again;
  ASSERT_TRUE(again.Open(written)) << again.problem();
  ASSERT_EQ(again.entries().size(), 4u);
  const ZipEntry& copied = again.entries()[2];
  EXPECT_GT(copied.local_header_offset, 0xFFFFFFFFu);
  EXPECT_EQ(again.entries()[1].size, zeros);
  EXPECT_EQ(again.entries()[3].local_header_offset, copied.end_offset);
  // The copied record: its offset moved into a ZIP64 field, all else kept.
  const std::string& was = zip.entries()[1].central_record;
  EXPECT_EQ(copied.central_record.size(), was.size() + 12);
  EXPECT_EQ(copied.central_record.substr(46, copied.name.size()), "xl/styles.xml");
  EXPECT_EQ(copied.version_needed, 45);
  EXPECT_EQ(Inflated(again, copied), "<styleSheet/>");
  EXPECT_EQ(Inflated(again, again.entries()[3]), "<worksheet/>");
  EXPECT_EQ(Inflated(again, again.entries()[0]), std::string(300, 'x'));
  // The ZIP64 end record and its locator before the plain end record.
  EXPECT_EQ(out.tail.substr(out.tail.size() - 22 - 20, 4), "PK\x06\x07");
}

// --- What the writer refuses ------------------------------------------------

// A sink that takes `room` bytes, then fails.
class FullSink final : public ByteSink {
 public:
  explicit FullSink(std::size_t room) : room_(room) {}
  bool Write(std::string_view bytes) override {
    if (bytes.size() > room_) return false;
    room_ -= bytes.size();
    return true;
  }
  std::string Problem() const override { return "няма място на диска"; }

 private:
  std::size_t room_;
};

TEST(ZipWriterTest, RefusesWhatCannotFollow) {
  const Made made = MakeZip({{.name = "a.xml", .data = "a"}, {.name = "b.xml", .data = "b"}});
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  const ZipEntry& a = zip.entries()[0];
  ZipEntry unnamed;

  struct Case {
    const char* what;
    std::function<bool(ZipWriter&)> calls;  // false where the last call failed
    std::string problem;
  };
  const std::vector<Case> cases = {
      {"a part twice", [&](ZipWriter& w) { return w.Copy(zip, a) && w.Copy(zip, a); },
       "частта „a.xml“ е записана вече"},
      {"a new part of a name copied",
       [&](ZipWriter& w) { return w.Copy(zip, a) && w.Begin(a) != nullptr; },
       "частта „a.xml“ е записана вече"},
      {"a part begun in a part",
       [&](ZipWriter& w) { return w.Begin(a) && w.Begin(zip.entries()[1]); },
       "частта „a.xml“ не е завършена, а започва „b.xml“"},
      {"a copy in a part",
       [&](ZipWriter& w) { return w.Begin(a) && w.Copy(zip, zip.entries()[1]); },
       "частта „a.xml“ не е завършена, а започва „b.xml“"},
      {"the end of no part", [&](ZipWriter& w) { return w.End(); },
       "няма започната част, която да се завърши"},
      {"the end of a part ended", [&](ZipWriter& w) { return w.Begin(a) && w.End() && w.End(); },
       "няма започната част, която да се завърши"},
      {"finished in a part", [&](ZipWriter& w) { return w.Begin(a) && w.Finish(); },
       "частта „a.xml“ не е завършена (End)"},
      {"a part after the end", [&](ZipWriter& w) { return w.Finish() && w.Copy(zip, a); },
       "ZIP-ът е завършен: в него не се пише повече"},
      {"finished twice", [&](ZipWriter& w) { return w.Finish() && w.Finish(); },
       "ZIP-ът е завършен: в него не се пише повече"},
      {"a part without a name", [&](ZipWriter& w) { return w.Begin(unnamed) != nullptr; },
       "името на частта „“ е празно или по-дълго от 65 535 байта"},
      {"a package comment too long",
       [&](ZipWriter& w) { return w.Finish(std::string(70000, 'x')); },
       "коментарът на ZIP-а е по-дълъг от 65 535 байта"},
      {"a part of another reader",
       [&](ZipWriter& w) {
         ZipEntry copy = a;
         copy.name = "c.xml";
         return w.Copy(zip, copy);
       },
       "частта „c.xml“ не е от прочетения ZIP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StringSink out;
    ZipWriter writer(out);
    EXPECT_FALSE(c.calls(writer));
    EXPECT_EQ(writer.problem(), c.problem);
    // A writer that failed stays failed, with its first problem.
    EXPECT_FALSE(writer.Finish());
    EXPECT_EQ(writer.problem(), c.problem);
  }
}

TEST(ZipWriterTest, PassesOnNoDamagedPart) {
  const std::string sheet = SheetLike(100);
  Made made = MakeZip({{.name = "a.xml", .data = "<a/>"}, {.name = "xl/sheet.xml", .data = sheet}});
  made.bytes[made.data[1] + 40] ^= 0x55;  // into its deflate data
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  StringSink out;
  ZipWriter writer(out);
  ASSERT_TRUE(writer.Copy(zip, zip.entries()[0]));
  const std::size_t before = out.bytes().size();
  EXPECT_FALSE(writer.Copy(zip, zip.entries()[1]));
  EXPECT_EQ(writer.problem().rfind("ZIP-ът е повреден: частта „xl/sheet.xml“ ", 0), 0u)
      << writer.problem();
  EXPECT_EQ(out.bytes().size(), before);  // not a byte of it
}

TEST(ZipWriterTest, SaysWhyTheSinkFailed) {
  const Made made = MakeZip(Workbook());
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  // Full at every place: in a copy, in a new part's header, data or
  // descriptor, in the directory, in the end record.
  StringSink whole;
  {
    ZipWriter writer(whole);
    ASSERT_TRUE(writer.Copy(zip, zip.entries()[0]));
    ByteSink* part = writer.Begin(zip.entries()[2]);
    ASSERT_TRUE(part->Write(SheetLike(3000)));
    ASSERT_TRUE(writer.End());
    ASSERT_TRUE(writer.Finish());
  }
  for (std::size_t room = 0; room < whole.bytes().size(); room += 1 + room / 3) {
    SCOPED_TRACE(room);
    FullSink out(room);
    ZipWriter writer(out);
    const bool written = [&] {
      if (!writer.Copy(zip, zip.entries()[0])) return false;
      ByteSink* part = writer.Begin(zip.entries()[2]);
      return part != nullptr && part->Write(SheetLike(3000)) && writer.End() && writer.Finish();
    }();
    EXPECT_FALSE(written);
    EXPECT_EQ(writer.problem(), "грешка при запис: няма място на диска");
  }
}

}  // namespace
}  // namespace egn::table
