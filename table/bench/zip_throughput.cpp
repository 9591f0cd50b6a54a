// Throughput of the ZIP layer on a sheet-sized part, in every build (Linux,
// Windows under Wine, the browser's under Node): a worksheet of ROWS rows of
// six columns, as spreadsheet programs write one, deflated by ZipWriter at
// zlib's levels 1 and 6 as it is made (never whole in memory), then
// inflated by ZipReader and copied by ZipWriter. Prints, for each level,
// the part's size, the package's size, and the megabytes of XML a second of
// each step (the median of RUNS runs). LEVELS lists other levels: 1,2,6,9.
// Usage: zip_throughput [ROWS [RUNS [LEVELS]]]   (default 1 000 000 rows, 3 runs)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "table/byte_stream.h"
#include "table/zip_reader.h"
#include "table/zip_writer.h"

namespace {

using egn::table::ByteSink;
using egn::table::ByteSource;
using egn::table::MemorySource;
using egn::table::StringSink;
using egn::table::ZipEntry;
using egn::table::ZipReader;
using egn::table::ZipWriter;

// A sink that counts what it is given and keeps nothing.
class CountingSink final : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    count += bytes.size();
    return true;
  }
  std::string Problem() const override { return {}; }
  std::uint64_t count = 0;
};

// The rows of a register: shared strings for names and towns, the number,
// a phone number; cell references as spreadsheet programs write them.
void AppendRow(std::string& xml, std::uint64_t r, std::uint64_t& seed) {
  const auto next = [&seed] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return seed >> 33;
  };
  const std::string n = std::to_string(r);
  const auto cell = [&](const char* column, const char* attributes, std::uint64_t value) {
    xml.append(R"(<c r=")").append(column).append(n).append(attributes).append("><v>");
    xml.append(std::to_string(value)).append("</v></c>");
  };
  xml.append(R"(<row r=")").append(n).append(R"(" spans="1:6">)");
  cell("A", R"(" t="s")", next() % 5000);
  cell("B", R"(" t="s")", next() % 20000);
  cell("C", R"(")", next() % 10000000000ULL);
  cell("D", R"(" t="s")", next() % 300);
  cell("E", R"(" s="1")", 45000 + next() % 1000);
  cell("F", R"(")", 359880000000 + next() % 10000000);
  xml.append("</row>");
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Fail(const std::string& problem) {
  std::fprintf(stderr, "zip_throughput: %s\n", problem.c_str());
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  std::vector<int> levels;
  for (const char* at = argc > 3 ? argv[3] : "1,6"; *at != '\0';) {
    char* end = nullptr;
    levels.push_back(static_cast<int>(std::strtol(at, &end, 10)));
    at = *end == ',' ? end + 1 : end;
    if (end == at && *at != '\0') Fail("LEVELS is numbers between commas: 1,6");
  }
  std::printf("%llu rows of six columns, the median of %d runs\n",
              static_cast<unsigned long long>(rows), runs);
  std::printf("level\tpart MB\tpackage MB\tdeflate MB/s\tinflate MB/s\tcopy MB/s\n");
  for (const int level : levels) {
    std::vector<double> deflating, inflating, copying;
    std::uint64_t size = 0;
    std::string package;
    for (int run = 0; run < runs; ++run) {
      // Deflated as it is made, 64 KiB at a time; making the rows alone is
      // timed first and taken off.
      std::string xml;
      std::uint64_t seed = 1;
      auto begun = std::chrono::steady_clock::now();
      for (std::uint64_t r = 1; r <= rows; ++r) {
        AppendRow(xml, r, seed);
        if (xml.size() >= 1 << 16) xml.clear();
      }
      const double making = Seconds(begun);

      StringSink out;
      ZipWriter writer(out);
      writer.SetLevel(level);
      ZipEntry like;
      like.name = "xl/worksheets/sheet1.xml";
      ByteSink* part = writer.Begin(like);
      xml.clear();
      seed = 1;
      size = 0;
      begun = std::chrono::steady_clock::now();
      for (std::uint64_t r = 1; r <= rows; ++r) {
        AppendRow(xml, r, seed);
        if (xml.size() >= 1 << 16 || r == rows) {
          if (!part->Write(xml)) Fail(writer.problem());
          size += xml.size();
          xml.clear();
        }
      }
      if (!writer.End() || !writer.Finish()) Fail(writer.problem());
      deflating.push_back(Seconds(begun) - making);
      package = std::move(out.bytes());

      MemorySource source(package);
      ZipReader zip;
      if (!zip.Open(source)) Fail(zip.problem());
      std::string buffer(1 << 16, '\0');
      begun = std::chrono::steady_clock::now();
      const std::unique_ptr<ByteSource> inflated = zip.Inflate(zip.entries()[0]);
      for (long n; (n = inflated->Read(buffer.data(), buffer.size())) != 0;) {
        if (n < 0) Fail(inflated->Problem());
      }
      inflating.push_back(Seconds(begun));

      CountingSink copied;
      ZipWriter copier(copied);
      begun = std::chrono::steady_clock::now();
      if (!copier.Copy(zip, zip.entries()[0]) || !copier.Finish()) Fail(copier.problem());
      copying.push_back(Seconds(begun));
    }
    const double mb = static_cast<double>(size) / 1e6;
    std::printf("%d\t%.1f\t%.1f\t%.0f\t%.0f\t%.0f\n", level, mb,
                static_cast<double>(package.size()) / 1e6, mb / Median(deflating),
                mb / Median(inflating), mb / Median(copying));
  }
  return 0;
}
