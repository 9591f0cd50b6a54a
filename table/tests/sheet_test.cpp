#include "table/sheet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table/tests/zip_maker.h"

namespace egn::table {
namespace {

using testing::MakeZip;
using testing::Part;

constexpr char kOdsManifest[] =
    R"(<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0">)"
    R"(<manifest:file-entry manifest:full-path="/" )"
    R"(manifest:media-type="application/vnd.oasis.opendocument.spreadsheet"/>)"
    R"(</manifest:manifest>)";

// The kind of workbook a package is, told by its parts whatever it is
// named: the parts each kind must have, and none for a package of another
// kind, even one of the same family.
TEST(ColumnName, AsSpreadsheetsNameTheirColumns) {
  const struct {
    std::uint32_t column;
    const char* name;
  } cases[] = {{0, "A"},    {25, "Z"},    {26, "AA"},    {51, "AZ"},
               {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}};
  for (const auto& c : cases) EXPECT_EQ(ColumnName(c.column), c.name) << c.column;
}

TEST(KindOf, IsToldByThePartsAPackageHolds) {
  const struct {
    const char* what;
    std::vector<Part> parts;
    std::optional<WorkbookKind> kind;
  } cases[] = {
      {"xlsx",
       {{"[Content_Types].xml", "<Types/>"}, {"xl/workbook.xml", "<workbook/>"}},
       WorkbookKind::kXlsx},
      {"ods",
       {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", 0}, {"content.xml", "<c/>"}},
       WorkbookKind::kOds},
      {"ods template",
       {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet-template", 0},
        {"content.xml", "<c/>"}},
       WorkbookKind::kOds},
      {"ods without mimetype, by its manifest",
       {{"META-INF/manifest.xml", kOdsManifest}, {"content.xml", "<c/>"}},
       WorkbookKind::kOds},
      {"odt",
       {{"mimetype", "application/vnd.oasis.opendocument.text", 0}, {"content.xml", "<c/>"}},
       std::nullopt},
      {"docx",
       {{"[Content_Types].xml", "<Types/>"}, {"word/document.xml", "<document/>"}},
       std::nullopt},
      {"a manifest without content", {{"META-INF/manifest.xml", kOdsManifest}}, std::nullopt},
      {"any ZIP", {{"readme.txt", "hello"}}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bytes = MakeZip(c.parts).bytes;
    MemorySource source(bytes);
    ZipReader zip;
    ASSERT_TRUE(zip.Open(source)) << zip.problem();
    EXPECT_EQ(KindOf(zip), c.kind);
    std::string problem;
    if (!c.kind) {
      EXPECT_EQ(OpenWorkbook(zip, problem), nullptr);
      EXPECT_EQ(problem, "архивът ZIP не е работна книга (.xlsx или .ods)");
    }
  }
}

}  // namespace
}  // namespace egn::table
