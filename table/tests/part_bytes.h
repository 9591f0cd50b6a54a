// A part of a package read back whole in a test: inflated, or as stored.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "table/zip_reader.h"

namespace egn::table::testing {

// Read through `open` (ZipReader::Inflate or ZipReader::Raw); a read that
// fails fails the test.
template <typename Open>
std::string ReadAll(ZipReader& zip, const ZipEntry& entry, Open open) {
  const std::unique_ptr<ByteSource> source = (zip.*open)(entry);
  std::string bytes, buffer(4096, '\0');
  for (long n; (n = source->Read(buffer.data(), buffer.size())) != 0;) {
    if (n < 0) {
      ADD_FAILURE() << source->Problem();
      break;
    }
    bytes.append(buffer.data(), static_cast<std::size_t>(n));
  }
  return bytes;
}

inline std::string Inflated(ZipReader& zip, const ZipEntry& entry) {
  return ReadAll(zip, entry, &ZipReader::Inflate);
}

inline std::string Stored(ZipReader& zip, const ZipEntry& entry) {
  return ReadAll(zip, entry, &ZipReader::Raw);
}

}  // namespace egn::table::testing
