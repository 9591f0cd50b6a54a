// The ZIP reader and writer as a program, for the tests that hold them to
// other programs' packages (Python's zipfile, LibreOffice):
//
//   zip_tool list FILE          each part: name, method, size, CRC-32, stored size
//   zip_tool cat FILE NAME      the part's bytes, inflated
//   zip_tool copy IN OUT        every part copied as stored, the comment kept
//   zip_tool rewrite IN OUT [LEVEL]  every deflated part deflated anew, as it was
//                               named and dated; a stored part (an OpenDocument
//                               package's mimetype must be) copied
//
// What the reader or writer refuses goes to standard error, with status 2.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

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

int Refused(const std::string& problem) {
  std::cerr << problem << '\n';
  return 2;
}

// Streams the part into `sink`, a piece at a time; false with `problem`.
bool Pour(ZipReader& zip, const ZipEntry& entry, ByteSink& sink, std::string& problem) {
  const std::unique_ptr<ByteSource> source = zip.Inflate(entry);
  std::string buffer(1 << 16, '\0');
  for (long n; (n = source->Read(buffer.data(), buffer.size())) != 0;) {
    if (n < 0) {
      problem = source->Problem();
      return false;
    }
    if (!sink.Write(std::string_view(buffer.data(), static_cast<std::size_t>(n)))) {
      problem = sink.Problem();
      return false;
    }
  }
  return true;
}

class StdoutSink final : public ByteSink {
 public:
  bool Write(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  }
  std::string Problem() const override { return "standard output"; }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc < 3) return Refused("usage: zip_tool list|cat|copy|rewrite FILE ...");
  std::ifstream in(argv[2], std::ios::binary);
  if (!in) return Refused(std::string("cannot open ") + argv[2]);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  MemorySource source(bytes);
  ZipReader zip;
  if (!zip.Open(source)) return Refused(zip.problem());

  if (command == "list") {
    for (const ZipEntry& e : zip.entries()) {
      std::printf("%s\t%u\t%llu\t%08lX\t%llu\n", e.name.c_str(), e.method,
                  static_cast<unsigned long long>(e.size), static_cast<unsigned long>(e.crc32),
                  static_cast<unsigned long long>(e.compressed_size));
    }
    return 0;
  }
  if (command == "cat" && argc == 4) {
    const ZipEntry* entry = zip.Find(argv[3]);
    if (entry == nullptr) return Refused(std::string("no part ") + argv[3]);
    StdoutSink out;
    std::string problem;
    return Pour(zip, *entry, out, problem) ? 0 : Refused(problem);
  }
  if ((command == "copy" || command == "rewrite") && argc >= 4) {
    StringSink out;
    ZipWriter writer(out);
    if (argc > 4) writer.SetLevel(std::atoi(argv[4]));
    for (const ZipEntry& entry : zip.entries()) {
      if (command == "copy" || entry.method != egn::table::kDeflated) {
        if (!writer.Copy(zip, entry)) return Refused(writer.problem());
        continue;
      }
      ByteSink* part = writer.Begin(entry);
      std::string problem;
      if (part == nullptr) return Refused(writer.problem());
      if (!Pour(zip, entry, *part, problem)) return Refused(problem);
      if (!writer.End()) return Refused(writer.problem());
    }
    if (!writer.Finish(zip.comment())) return Refused(writer.problem());
    std::ofstream file(argv[3], std::ios::binary);
    file.write(out.bytes().data(), static_cast<std::streamsize>(out.bytes().size()));
    return file.good() ? 0 : Refused(std::string("cannot write ") + argv[3]);
  }
  return Refused("usage: zip_tool list|cat|copy|rewrite FILE ...");
}
