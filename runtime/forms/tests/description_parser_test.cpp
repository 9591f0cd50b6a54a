#include "runtime/forms/description_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/forms/form_model.h"

namespace egn::runtime {
namespace {

namespace fs = std::filesystem;

const fs::path kDescriptions = EGN_DESCRIPTIONS_DIR;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<fs::path> Files(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Each good description against the model it must give (its .model file).
TEST(DescriptionGolden, GoodDescriptionsGiveTheirModel) {
  const auto files = Files(kDescriptions / "good", ".form");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    fs::path expected = file;
    expected.replace_extension(".model");
    const std::string model = Dump(ParseDescription(Read(file)));
    // EGN_UPDATE_GOLDEN=1 writes the models anew, to be read and committed.
    if (std::getenv("EGN_UPDATE_GOLDEN") != nullptr) std::ofstream(expected) << model;
    ASSERT_TRUE(fs::exists(expected));
    EXPECT_EQ(model, Read(expected));
  }
}

// Each malformed description against its exact message (its .error file),
// which names the line.
TEST(DescriptionGolden, MalformedDescriptionsNameTheLineAndTheFault) {
  const auto files = Files(kDescriptions / "bad", ".form");
  ASSERT_GE(files.size(), 30u);
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    fs::path expected_file = file;
    expected_file.replace_extension(".error");
    std::string expected = Read(expected_file);
    while (!expected.empty() && expected.back() == '\n') expected.pop_back();
    try {
      ParseDescription(Read(file));
      ADD_FAILURE() << "accepted";
    } catch (const DescriptionError& e) {
      EXPECT_EQ(e.what(), expected);
      EXPECT_EQ("line " + std::to_string(e.line()) + ":",
                expected.substr(0, expected.find(':') + 1));
    }
  }
}

TEST(DescriptionParser, DecodesWindows1251AndKeepsEscapesAndContinuations) {
  const FormDescription form = ParseDescription(Read(kDescriptions / "good" / "everything.form"));
  EXPECT_EQ(form.caption, u"Прозорец \"1\"");
  ASSERT_EQ(form.controls.size(), 5u);
  EXPECT_EQ(form.controls[0].text, u"Ден");
  EXPECT_EQ(form.controls[2].text, u"one\r\ntwo\t\\three\r\n");
  EXPECT_EQ(form.controls[3].items,
            (std::vector<std::u16string>{u"Град 100 - 199]", u"first half, second half"}));
  EXPECT_EQ(form.controls[1].index, std::int16_t{-3});
}

TEST(DescriptionParser, AcceptsCrLfLineEndsAlike) {
  std::string text = Read(kDescriptions / "good" / "minimal.form");
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ParseDescription(crlf), ParseDescription(text));
}

// Every prefix of a good description is either a model or a clear error.
TEST(DescriptionParser, EveryTruncationIsAModelOrADescriptionError) {
  const std::string text = Read(kDescriptions / "good" / "everything.form");
  for (std::size_t length = 0; length <= text.size(); ++length) {
    try {
      ParseDescription(std::string_view(text).substr(0, length));
    } catch (const DescriptionError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("line ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace egn::runtime
