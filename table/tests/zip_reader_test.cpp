#include "table/zip_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "table/tests/zip_maker.h"

namespace egn::table {
namespace {

using testing::Crc;
using testing::Deflated;
using testing::Made;
using testing::MakeZip;
using testing::Options;
using testing::Part;
using testing::Poke;

// What a source gives, read `piece` bytes at a time, and how it ended.
struct ReadAll {
  std::string bytes;
  bool ok = true;
  std::string problem;
};

ReadAll Drain(ByteSource& source, std::size_t piece = 4096) {
  ReadAll all;
  std::string buffer(piece, '\0');
  for (;;) {
    const long n = source.Read(buffer.data(), buffer.size());
    if (n == 0) return all;
    if (n < 0) {
      all.ok = false;
      all.problem = source.Problem();
      return all;
    }
    all.bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
}

// Text that compresses as a sheet's XML does: rows alike but for their
// numbers.
std::string SheetLike(std::size_t rows) {
  std::string xml = "<sheetData>";
  for (std::size_t r = 1; r <= rows; ++r) {
    xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
           std::to_string(8001010000 + r * 7919 % 1000000) + "</v></c></row>";
  }
  return xml + "</sheetData>";
}

std::string Hex8(std::uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(v));
  return text;
}

// --- Reading: every way a writer may store a part ---------------------------

struct Layout {
  const char* what;
  Part part;
  Options options;
};

std::vector<Layout> Layouts() {
  const std::string xml = SheetLike(300);
  std::vector<Layout> layouts = {
      {"deflated", {.name = "xl/worksheets/sheet1.xml", .data = xml}, {}},
      {"stored",
       {.name = "mimetype", .data = "application/vnd.oasis.opendocument.spreadsheet", .method = 0},
       {}},
      {"empty and deflated", {.name = "empty.xml", .data = ""}, {}},
      {"empty and stored", {.name = "empty.bin", .data = "", .method = 0}, {}},
      {"empty, deflated into nothing",
       {.name = "empty.xml", .data = "", .nothing_stored = true},
       {}},
      {"a folder", {.name = "xl/media/", .data = "", .method = 0}, {}},
      {"data descriptor with signature",
       {.name = "content.xml", .data = xml, .descriptor = true},
       {}},
      {"data descriptor without signature",
       {.name = "content.xml", .data = xml, .descriptor = true, .descriptor_signature = false},
       {}},
      {"ZIP64 sizes and offset", {.name = "big.xml", .data = xml, .zip64 = true}, {}},
      {"ZIP64 with a descriptor",
       {.name = "big.xml", .data = xml, .descriptor = true, .zip64 = true},
       {}},
      {"ZIP64 end record", {.name = "a.xml", .data = xml}, {.zip64_end = true}},
      {"a comment",
       {.name = "a.xml", .data = xml, .comment = "the part's"},
       {.comment = "the package's"}},
      {"UTF-8 name", {.name = "листове/лист1.xml", .data = xml, .flags = 0x0800}, {}},
      {"bytes before the package", {.name = "a.xml", .data = xml}, {.before = "MZ stub"}},
  };
  return layouts;
}

TEST(ZipReaderTest, ReadsEveryLayoutOfAPart) {
  for (const Layout& layout : Layouts()) {
    SCOPED_TRACE(layout.what);
    const Part other = {.name = "after.txt", .data = "the part after it", .method = 0};
    const Made made = MakeZip({layout.part, other}, layout.options);
    MemorySource source(made.bytes);
    ZipReader zip;
    ASSERT_TRUE(zip.Open(source)) << zip.problem();
    ASSERT_EQ(zip.entries().size(), 2u);
    EXPECT_EQ(zip.comment(), layout.options.comment);

    const ZipEntry* entry = zip.Find(layout.part.name);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry, &zip.entries()[0]);
    EXPECT_EQ(entry->method, layout.part.method);
    EXPECT_EQ(entry->size, layout.part.data.size());
    EXPECT_EQ(entry->crc32, Crc(layout.part.data));
    EXPECT_EQ(entry->dos_time, layout.part.time);
    EXPECT_EQ(entry->dos_date, layout.part.date);
    EXPECT_EQ(entry->flags & kFlagUtf8, layout.part.flags & kFlagUtf8);
    EXPECT_EQ(entry->external_attributes, 0100644u << 16);
    EXPECT_EQ(entry->comment, layout.part.comment);
    EXPECT_EQ(entry->local_header_offset, made.local[0]);
    EXPECT_EQ(entry->data_offset, made.data[0]);
    EXPECT_EQ(entry->end_offset, made.local[1]);
    EXPECT_EQ(entry->central_record,
              made.bytes.substr(made.central[0], made.central[1] - made.central[0]));
    EXPECT_EQ(entry->IsDirectory(), layout.part.name.back() == '/');

    for (const std::size_t piece : {1, 7, 4096, 1 << 20}) {
      SCOPED_TRACE(piece);
      const ReadAll read = Drain(*zip.Inflate(*entry), piece);
      EXPECT_TRUE(read.ok) << read.problem;
      EXPECT_EQ(read.bytes, layout.part.data);
    }
    const ReadAll raw = Drain(*zip.Raw(*entry));
    EXPECT_EQ(raw.bytes, made.bytes.substr(made.local[0], made.local[1] - made.local[0]));
    EXPECT_EQ(Drain(*zip.Inflate(*zip.Find("after.txt"))).bytes, other.data);
  }
}

TEST(ZipReaderTest, FindsPartsByTheirExactName) {
  const Made made = MakeZip({{.name = "b.xml", .data = "b"},
                             {.name = "a.xml", .data = "a"},
                             {.name = "xl/a.xml", .data = "xl"}});
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"a.xml", "a"},    {"b.xml", "b"},      {"xl/a.xml", "xl"}, {"A.xml", nullptr},
      {"a.xm", nullptr}, {"/a.xml", nullptr}, {"", nullptr}};
  for (const auto& [name, data] : cases) {
    const ZipEntry* entry = zip.Find(name);
    if (data == nullptr) {
      EXPECT_EQ(entry, nullptr) << name;
    } else {
      ASSERT_NE(entry, nullptr) << name;
      EXPECT_EQ(Drain(*zip.Inflate(*entry)).bytes, data);
    }
  }
  // The directory's order is kept.
  EXPECT_EQ(zip.entries()[0].name, "b.xml");
  EXPECT_EQ(zip.entries()[2].name, "xl/a.xml");
}

TEST(ZipReaderTest, OpensAgainAfterARefusal) {
  const Made good = MakeZip({{.name = "a.xml", .data = "a"}});
  MemorySource bad_source(std::string_view("not a zip at all"));
  MemorySource good_source(good.bytes);
  ZipReader zip;
  EXPECT_FALSE(zip.Open(bad_source));
  EXPECT_TRUE(zip.entries().empty());
  ASSERT_TRUE(zip.Open(good_source)) << zip.problem();
  EXPECT_EQ(zip.problem(), "");
  EXPECT_EQ(zip.entries().size(), 1u);
}

// --- What Open refuses ------------------------------------------------------

struct Refusal {
  const char* what;
  std::function<std::string()> bytes;
  std::string problem;
};

const std::string kSheet = SheetLike(50);
Made TwoParts() {
  return MakeZip({{.name = "xl/workbook.xml", .data = kSheet},
                  {.name = "xl/styles.xml", .data = "<styleSheet/>", .method = 0}});
}
constexpr const char* kDamaged = "ZIP-ът е повреден: ";

std::vector<Refusal> Refusals() {
  const Made two = TwoParts();
  const std::size_t end = two.end;
  const std::size_t c0 = two.central[0], c1 = two.central[1];
  const std::size_t l0 = two.local[0], l1 = two.local[1];
  const std::string part0 = std::string(kDamaged) + "частта „xl/workbook.xml“ ";
  const std::string part1 = std::string(kDamaged) + "частта „xl/styles.xml“ ";
  const auto changed = [two](const std::function<void(std::string&)>& change) {
    return [two, change] {
      std::string bytes = two.bytes;
      change(bytes);
      return bytes;
    };
  };
  const auto made = [](const std::vector<Part>& parts, const Options& options = {},
                       const std::function<void(Made&)>& change = nullptr) {
    return [parts, options, change] {
      Made m = MakeZip(parts, options);
      if (change) change(m);
      return m.bytes;
    };
  };
  const std::string not_zip = "файлът не е ZIP";
  const std::string several = "ZIP-ът е от няколко тома, а се чете само ZIP в един файл";
  return {
      {"nothing", [] { return std::string(); }, not_zip},
      {"text", [] { return std::string("Име;ЕГН\nИван;8001010008\n"); }, not_zip},
      {"an .xls (OLE2)",
       [] { return std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") + std::string(600, '\0'); },
       not_zip},
      {"cut before its end record", [two] { return two.bytes.substr(0, two.end); },
       std::string(kDamaged) + "краят на централната директория липсва (файлът е отрязан?)"},
      {"cut inside its end record", [two] { return two.bytes.substr(0, two.bytes.size() - 3); },
       std::string(kDamaged) + "краят на централната директория е непълен (файлът е отрязан?)"},
      {"a comment longer than the file",
       changed([end](std::string& b) { Poke(b, end + 20, 9, 2); }),
       std::string(kDamaged) + "краят на централната директория е непълен (файлът е отрязан?)"},
      {"a byte after its end", [two] { return two.bytes + "x"; },
       std::string(kDamaged) + "след края на централната директория има още 1 байт"},
      {"bytes after its end", [two] { return two.bytes + std::string(70000, 'x'); },
       std::string(kDamaged) + "краят на централната директория липсва (файлът е отрязан?)"},
      {"bytes after its comment",
       [] { return MakeZip({{.name = "a", .data = "a"}}, {.comment = "note"}).bytes + "12"; },
       std::string(kDamaged) + "след края на централната директория има още 2 байта"},
      {"the directory past the file",
       changed([end](std::string& b) { Poke(b, end + 16, 0x7FFFFFFF, 4); }),
       std::string(kDamaged) + "централната директория излиза извън файла"},
      {"the directory's size past the file",
       changed([end](std::string& b) { Poke(b, end + 12, 0x7FFFFFFF, 4); }),
       std::string(kDamaged) + "централната директория излиза извън файла"},
      {"the directory elsewhere than it is",
       changed([end, c0](std::string& b) { Poke(b, end + 16, c0 - 1, 4); }),
       std::string(kDamaged) + "централната директория не е там, където сочи краят ѝ"},
      {"more parts than the directory has room for", changed([end](std::string& b) {
         Poke(b, end + 8, 9, 2);
         Poke(b, end + 10, 9, 2);
       }),
       std::string(kDamaged) +
           "краят на централната директория казва 9 части, а за толкова записи тя е твърде малка"},
      {"a part more than the directory holds",
       made({{.name = "xl/worksheets/sheet1.xml", .data = "1"},
             {.name = "xl/worksheets/sheet2.xml", .data = "2"}},
            {},
            [](Made& m) {
              Poke(m.bytes, m.end + 8, 3, 2);
              Poke(m.bytes, m.end + 10, 3, 2);
            }),
       std::string(kDamaged) + "запис 3 на централната директория излиза извън нея"},
      {"a part less than the directory holds", changed([end](std::string& b) {
         Poke(b, end + 8, 1, 2);
         Poke(b, end + 10, 1, 2);
       }),
       std::string(kDamaged) +
           "централната директория има още байтове след записа на 1 част, колкото казва краят ѝ"},
      {"a record's signature", changed([c1](std::string& b) { b[c1 + 3] = 9; }),
       std::string(kDamaged) + "запис 2 на централната директория е повреден"},
      {"a record's name past the directory",
       changed([c1](std::string& b) { Poke(b, c1 + 28, 900, 2); }),
       std::string(kDamaged) + "запис 2 на централната директория излиза извън нея"},
      {"a part without a name", made({{.name = "", .data = "x"}}),
       std::string(kDamaged) + "запис 1 на централната директория е без име"},
      {"a part twice",
       made({{.name = "a.xml", .data = "1"},
             {.name = "b.xml", .data = "2"},
             {.name = "a.xml", .data = "3"}}),
       std::string(kDamaged) + "частта „a.xml“ е два пъти в централната директория"},
      {"a name that is no UTF-8, twice",
       made({{.name = "a\n\xFF\xC3\xA9", .data = "1"}, {.name = "a\n\xFF\xC3\xA9", .data = "2"}}),
       std::string(kDamaged) + "частта „a\\x0A\\xFFé“ е два пъти в централната директория"},
      {"split over volumes", changed([end](std::string& b) { Poke(b, end + 4, 1, 2); }), several},
      {"a part on another volume", changed([c0](std::string& b) { Poke(b, c0 + 34, 1, 2); }),
       several},
      {"encrypted", made({{.name = "a.xml", .data = "x", .flags = 0x0001}}),
       "ZIP-ът е защитен с парола: частта „a.xml“ е шифрована"},
      {"strongly encrypted", made({{.name = "a.xml", .data = "x", .flags = 0x0041}}),
       "ZIP-ът е защитен с парола: частта „a.xml“ е шифрована"},
      {"AES", made({{.name = "a.xml", .data = "x", .method = 99, .stored = "12345"}}),
       "ZIP-ът е защитен с парола: частта „a.xml“ е шифрована"},
      {"encrypted in its local header only",
       changed([l1](std::string& b) { Poke(b, l1 + 6, 1, 2); }),
       "ZIP-ът е защитен с парола: частта „xl/styles.xml“ е шифрована"},
      {"a local header past the directory",
       changed([c0, two](std::string& b) { Poke(b, c0 + 42, two.directory - 10, 4); }),
       part0 + "е извън данните на файла"},
      {"no local header where the record says",
       changed([c1](std::string& b) { Poke(b, c1 + 42, 3, 4); }),
       part1 + "няма локален заглавен блок там, където сочи централната директория"},
      {"another name in the local header", changed([l0](std::string& b) { b[l0 + 30] = 'X'; }),
       part0 + "има локален заглавен блок, който не съвпада с централната директория (името)"},
      {"another method in the local header",
       changed([l0](std::string& b) { Poke(b, l0 + 8, 0, 2); }),
       part0 + "има локален заглавен блок, който не съвпада с централната директория (методът на "
               "компресия)"},
      {"another CRC-32 in the local header", changed([l0](std::string& b) { b[l0 + 14] ^= 1; }),
       part0 + "има локален заглавен блок, който не съвпада с централната директория (CRC-32)"},
      {"another size in the local header", changed([l0](std::string& b) { b[l0 + 22] ^= 1; }),
       part0 + "има локален заглавен блок, който не съвпада с централната директория (размерите)"},
      {"its data past the directory", changed([l1, c1](std::string& b) {
         for (const std::size_t at : {l1 + 18, l1 + 22, c1 + 20, c1 + 24}) Poke(b, at, 5000, 4);
       }),
       part1 + "излиза извън данните на файла"},
      {"a stored part whose sizes differ", changed([l1, c1](std::string& b) {
         Poke(b, l1 + 22, 99, 4);
         Poke(b, c1 + 24, 99, 4);
       }),
       part1 + "е без компресия, а размерите ѝ в централната директория се различават"},
      {"parts that overlap", changed([l0, c0](std::string& b) {
         // The first part's data reaches into the second's local header.
         for (const std::size_t at : {l0 + 18, c0 + 20})
           Poke(b, at, testing::Deflated(kSheet).size() + 4, 4);
       }),
       std::string(kDamaged) + "частите „xl/workbook.xml“ и „xl/styles.xml“ се застъпват"},
      {"a descriptor that disagrees",
       made({{.name = "a.xml", .data = kSheet, .descriptor = true}, {.name = "b", .data = "b"}}, {},
            [](Made& m) { m.bytes[m.local[1] - 9] ^= 1; }),
       std::string(kDamaged) + "частта „a.xml“ има описание на данните (data descriptor), което не "
                               "съвпада с централната директория"},
      {"a descriptor cut off by the directory",
       made({{.name = "a.xml", .data = kSheet, .descriptor = true}}, {},
            [](Made& m) {
              m.bytes.erase(m.directory - 2, 2);
              Poke(m.bytes, m.end - 2 + 16, m.directory - 2, 4);
            }),
       std::string(kDamaged) + "частта „a.xml“ има описание на данните (data descriptor), което не "
                               "съвпада с централната директория"},
      {"a malformed extra field",
       made({{.name = "a.xml", .data = "x", .zip64 = true}}, {},
            [](Made& m) { Poke(m.bytes, m.central[0] + 46 + 5 + 2, 30, 2); }),
       std::string(kDamaged) + "частта „a.xml“ има повредено допълнително поле (extra)"},
      {"ZIP64 sizes without their field",
       made({{.name = "a.xml", .data = "x", .zip64 = true}}, {},
            [](Made& m) { Poke(m.bytes, m.central[0] + 46 + 5, 0x5455, 2); }),
       std::string(kDamaged) + "частта „a.xml“ няма размерите или мястото си в полето ZIP64"},
      {"full end fields without a ZIP64 end record",
       made({{.name = "a.xml", .data = "x"}}, {},
            [](Made& m) { Poke(m.bytes, m.end + 16, 0xFFFFFFFF, 4); }),
       std::string(kDamaged) + "краят на централната директория сочи запис ZIP64, който липсва"},
      {"a damaged ZIP64 end record",
       made({{.name = "a.xml", .data = "x"}}, {.zip64_end = true},
            [](Made& m) { m.bytes[m.end - 76] = 'X'; }),
       std::string(kDamaged) + "краят на централната директория (ZIP64) е повреден"},
      {"a ZIP64 end record past its locator",
       made({{.name = "a.xml", .data = "x"}}, {.zip64_end = true},
            [](Made& m) { Poke(m.bytes, m.end - 12, m.end - 30, 8); }),
       std::string(kDamaged) + "краят на централната директория (ZIP64) е извън файла"},
      {"a ZIP64 package over volumes",
       made({{.name = "a.xml", .data = "x"}}, {.zip64_end = true},
            [](Made& m) { Poke(m.bytes, m.end - 4, 2, 4); }),
       several},
  };
}

TEST(ZipReaderTest, RefusesWhatIsNoSoundZip) {
  for (const Refusal& refusal : Refusals()) {
    SCOPED_TRACE(refusal.what);
    const std::string bytes = refusal.bytes();
    MemorySource source(bytes);
    ZipReader zip;
    EXPECT_FALSE(zip.Open(source));
    EXPECT_EQ(zip.problem(), refusal.problem);
    EXPECT_TRUE(zip.entries().empty());
  }
}

// A source whose reads fail from the `fail_from`th on.
class FailingSource final : public RandomAccessSource {
 public:
  FailingSource(std::string bytes, int fail_from) : bytes_(std::move(bytes)), left_(fail_from) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, char* into, std::size_t size) override {
    if (left_-- <= 0) return false;
    return MemorySource(bytes_).ReadAt(offset, into, size);
  }
  std::string Problem() const override { return "входно-изходна грешка"; }

 private:
  std::string bytes_;
  int left_;
};

TEST(ZipReaderTest, SaysWhichReadFailed) {
  const Made two = TwoParts();
  // Every read that Open makes may fail, and the last the part makes.
  int reads = 0;
  for (;; ++reads) {
    FailingSource source(two.bytes, reads);
    ZipReader zip;
    if (zip.Open(source)) break;
    EXPECT_EQ(zip.problem(), "грешка при четене: входно-изходна грешка") << reads;
  }
  EXPECT_GE(reads, 4);
  FailingSource source(two.bytes, reads);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source));
  for (const ZipEntry& entry : zip.entries()) {
    const ReadAll read = Drain(*zip.Inflate(entry));
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.problem, "грешка при четене: входно-изходна грешка");
    EXPECT_EQ(Drain(*zip.Raw(entry)).problem, "грешка при четене: входно-изходна грешка");
  }
}

// --- What reading a part refuses -------------------------------------------

struct PartRefusal {
  const char* what;
  Part part;
  std::function<void(Made&)> change;  // of both the local header and the record
  std::string problem;
  ZipLimits limits = {};
};

// Sets the 4-byte field at `local_at` of the first part's local header and
// at `central_at` of its record to `value` of what it was.
std::function<void(Made&)> Both(std::size_t local_at, std::size_t central_at,
                                const std::function<std::uint32_t(std::uint32_t)>& value) {
  return [=](Made& m) {
    std::uint32_t was = 0;
    for (int i = 3; i >= 0; --i) {
      was = was << 8 | static_cast<unsigned char>(m.bytes[m.local[0] + local_at + i]);
    }
    Poke(m.bytes, m.local[0] + local_at, value(was), 4);
    Poke(m.bytes, m.central[0] + central_at, value(was), 4);
  };
}

std::vector<PartRefusal> PartRefusals() {
  const std::string xml = SheetLike(400);
  const std::string zeros(3 << 20, '0');
  const std::string sheet = "частта „xl/worksheets/sheet1.xml“ ";
  const std::string damaged = kDamaged + sheet;
  const auto sized = [&](std::size_t n) { return std::to_string(n); };
  return {
      {"an unknown method",
       {.name = "xl/worksheets/sheet1.xml", .data = xml, .method = 12, .stored = "BZh91AY"},
       nullptr,
       sheet +
           "е компресирана по непознат начин (метод 12); четат се само без компресия и с deflate"},
      {"past the largest size",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       nullptr,
       sheet + "се разгъва до " + sized(xml.size()) + " байта, повече от 10000 (ZIP бомба?)",
       {.max_size = 10000}},
      {"inflating too many times",
       {.name = "xl/worksheets/sheet1.xml", .data = zeros},
       nullptr,
       sheet + "се разгъва от " + sized(Deflated(zeros).size()) + " до " + sized(zeros.size()) +
           " байта, повече от 500 пъти (ZIP бомба?)"},
      {"a CRC-32 not its own",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       Both(14, 16, [](std::uint32_t v) { return v ^ 0x10; }),
       damaged + "е с контролна сума (CRC-32) " + Hex8(Crc(xml)) +
           ", а централната директория казва " + Hex8(Crc(xml) ^ 0x10)},
      {"a CRC-32 not its own, stored",
       {.name = "xl/worksheets/sheet1.xml", .data = xml, .method = 0},
       Both(14, 16, [](std::uint32_t v) { return v + 1; }),
       damaged + "е с контролна сума (CRC-32) " + Hex8(Crc(xml)) +
           ", а централната директория казва " + Hex8(Crc(xml) + 1)},
      {"shorter than its record says",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       Both(22, 24, [](std::uint32_t v) { return v + 5; }),
       damaged + "е " + sized(xml.size()) + " байта, а централната директория казва " +
           sized(xml.size() + 5)},
      {"longer than its record says",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       Both(22, 24, [](std::uint32_t v) { return v - 5; }),
       damaged + "е по-дълга от " + sized(xml.size() - 5) +
           " байта, колкото казва централната директория"},
      {"damaged deflate data",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       [](Made& m) { m.bytes[m.data[0]] = '\xFF'; },
       damaged + "има повредени компресирани данни"},
      {"deflate data cut short",
       {.name = "xl/worksheets/sheet1.xml", .data = xml},
       Both(18, 20, [](std::uint32_t v) { return v - 3; }),
       damaged + "е непълна: компресираните ѝ данни свършват преди края ѝ"},
      {"bytes after the deflate data",
       {.name = "xl/worksheets/sheet1.xml", .data = xml, .stored = Deflated(xml) + "xyz"},
       nullptr,
       damaged + "има още байтове след края на компресираните си данни"},
  };
}

TEST(ZipReaderTest, RefusesAPartItCannotReadWhole) {
  for (const PartRefusal& refusal : PartRefusals()) {
    SCOPED_TRACE(refusal.what);
    Made made = MakeZip({refusal.part, {.name = "b.xml", .data = "<b/>"}});
    if (refusal.change) refusal.change(made);
    MemorySource source(made.bytes);
    ZipReader zip;
    zip.SetLimits(refusal.limits);
    ASSERT_TRUE(zip.Open(source)) << zip.problem();
    for (const std::size_t piece : {1, 4096, 1 << 20}) {
      SCOPED_TRACE(piece);
      const ReadAll read = Drain(*zip.Inflate(zip.entries()[0]), piece);
      EXPECT_FALSE(read.ok);
      EXPECT_EQ(read.problem, refusal.problem);
      // No more than a byte past the stated size is ever made.
      EXPECT_LE(read.bytes.size(), zip.entries()[0].size + 1);
    }
    // The other part is read as ever.
    EXPECT_EQ(Drain(*zip.Inflate(zip.entries()[1])).bytes, "<b/>");
  }
}

TEST(ZipReaderTest, LetsThroughWhatIsWithinTheLimits) {
  // As large as allowed, and as compressible: at the limits, not past them.
  const std::string zeros(3 << 20, '0');
  const Made made = MakeZip({{.name = "zeros.xml", .data = zeros}});
  const std::uint64_t stored = Deflated(zeros).size();
  MemorySource source(made.bytes);
  ZipReader zip;
  ASSERT_TRUE(zip.Open(source)) << zip.problem();
  const std::vector<ZipLimits> limits = {
      {.max_size = zeros.size(), .max_ratio = (zeros.size() + stored - 1) / stored},
      {.max_size = zeros.size(), .max_ratio = 1, .ratio_free_size = zeros.size()},
  };
  for (const ZipLimits& limit : limits) {
    zip.SetLimits(limit);
    const ReadAll read = Drain(*zip.Inflate(zip.entries()[0]));
    EXPECT_TRUE(read.ok) << read.problem;
    EXPECT_EQ(read.bytes.size(), zeros.size());
  }
}

TEST(ZipReaderTest, RefusesAnEntryOfAnotherReader) {
  const Made made = MakeZip({{.name = "a.xml", .data = "a"}});
  MemorySource source(made.bytes);
  ZipReader zip, other;
  ASSERT_TRUE(zip.Open(source));
  ASSERT_TRUE(other.Open(source));
  const ZipEntry copy = zip.entries()[0];
  for (const ZipEntry* entry : {&copy, &other.entries()[0]}) {
    EXPECT_EQ(Drain(*zip.Inflate(*entry)).problem, "частта „a.xml“ не е от прочетения ZIP");
    EXPECT_EQ(Drain(*zip.Raw(*entry)).problem, "частта „a.xml“ не е от прочетения ZIP");
  }
}

TEST(MemorySourceTest, ReadsWithinItsBytesOnly) {
  MemorySource source(std::string_view("0123456789"));
  char into[10] = {};
  EXPECT_EQ(source.Size(), 10u);
  EXPECT_TRUE(source.ReadAt(3, into, 4));
  EXPECT_EQ(std::string(into, 4), "3456");
  EXPECT_TRUE(source.ReadAt(10, into, 0));
  EXPECT_FALSE(source.ReadAt(8, into, 3));
  EXPECT_EQ(source.Problem(), "четене след края на данните: 3 байта от байт 8, а те са 10");
  EXPECT_FALSE(source.ReadAt(~std::uint64_t{0}, into, 2));
  EXPECT_EQ(source.Problem(),
            "четене след края на данните: 2 байта от байт 18446744073709551615, а те са 10");
}

}  // namespace
}  // namespace egn::table
