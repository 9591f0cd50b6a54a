// libFuzzer target: the ZIP reader and writer on any bytes. Open either
// takes the package or says why not; every part it takes is read whole or
// refused with words, in memory bounded by the limits; and every part it
// takes is copied into a new package, with a new version of the first one
// written beside them, which must open again with the same parts, each
// inflating to what the original did.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
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
using egn::table::ZipLimits;
using egn::table::ZipReader;
using egn::table::ZipWriter;

void Require(bool condition) {
  if (!condition) std::abort();
}

// The part's bytes, or, where it is refused, nothing and `ok` false.
std::string Read(ZipReader& zip, const ZipEntry& entry, bool& ok) {
  const std::unique_ptr<ByteSource> source = zip.Inflate(entry);
  std::string bytes;
  char buffer[4096];
  for (long n; (n = source->Read(buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      Require(!source->Problem().empty());
      ok = false;
      return {};
    }
    bytes.append(buffer, static_cast<std::size_t>(n));
    Require(bytes.size() <= entry.size);
  }
  ok = true;
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  MemorySource source(input);
  ZipReader zip;
  if (!zip.Open(source)) {
    Require(!zip.problem().empty() && zip.entries().empty());
    return 0;
  }
  // Small limits: the fuzzer's inputs are small, and a bomb is refused
  // before it costs time.
  const ZipLimits limits{.max_size = 1 << 20, .max_ratio = 200, .ratio_free_size = 1 << 16};
  zip.SetLimits(limits);

  StringSink out;
  ZipWriter writer(out);
  std::vector<std::string> contents;
  std::vector<bool> readable;
  bool copied = true;
  for (const ZipEntry& entry : zip.entries()) {
    Require(zip.Find(entry.name) == &entry);
    bool ok = false;
    contents.push_back(Read(zip, entry, ok));
    readable.push_back(ok);
    if (&entry == &zip.entries().front()) {
      ByteSink* part = writer.Begin(entry);
      Require(part != nullptr && part->Write(input.substr(0, 300)) && writer.End());
    } else if (copied) {
      copied = writer.Copy(zip, entry);
      Require(copied || !writer.problem().empty());
    }
  }
  if (!copied || zip.entries().empty()) return 0;
  Require(writer.Finish(zip.comment()));

  MemorySource written(out.bytes());
  ZipReader again;
  Require(again.Open(written));
  again.SetLimits(limits);
  Require(again.entries().size() == zip.entries().size());
  Require(again.comment() == zip.comment());
  for (std::size_t i = 0; i < again.entries().size(); ++i) {
    const ZipEntry& entry = again.entries()[i];
    Require(entry.name == zip.entries()[i].name);
    bool ok = false;
    const std::string bytes = Read(again, entry, ok);
    if (i == 0) {
      Require(ok && bytes == input.substr(0, 300));
    } else {
      Require(ok == readable[i] && bytes == contents[i]);
    }
  }
  return 0;
}
