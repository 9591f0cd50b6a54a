#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "runtime/platform/platform.h"

namespace egn::runtime::platform {
namespace {

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string utf8 = path.u8string();
  return std::string(utf8.begin(), utf8.end());
}

// Paths are UTF-8 on every platform: a folder and a name in Cyrillic (outside
// the ANSI code page of a Western Windows) open, and so does a plain one.
TEST(Platform, OpensAFileByItsUtf8PathWhateverItsScript) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / std::filesystem::path(u8"egn-платформа");
  std::filesystem::create_directories(folder);
  for (const char8_t* name : {u8"описание.form", u8"plain.form"}) {
    const std::filesystem::path path = folder / std::filesystem::path(name);
    std::ofstream(path, std::ios::binary) << "form \xC5\xC3\xCD\r\n";
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(OpenForReading(Utf8(path)),
                                                             &std::fclose);
    ASSERT_TRUE(in) << Utf8(path);
    char read[32] = {};
    // Binary: CR LF comes back as it was written.
    EXPECT_EQ(std::string(read, std::fread(read, 1, sizeof read, in.get())),
              "form \xC5\xC3\xCD\r\n");
  }
  std::filesystem::remove_all(folder);
}

TEST(Platform, OpensNothingWhereThereIsNoFile) {
  const std::string missing = Utf8(std::filesystem::temp_directory_path() /
                                   std::filesystem::path(u8"egn-няма-такъв-файл.form"));
  for (const std::string& path : {missing, std::string(), std::string("egn-\xFF\xFE.form")}) {
    std::FILE* in = OpenForReading(path);
    EXPECT_EQ(in, nullptr) << path;
    if (in != nullptr) std::fclose(in);
  }
}

}  // namespace
}  // namespace egn::runtime::platform
