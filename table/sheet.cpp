#include "table/sheet.h"

#include <string_view>

#include "table/ods.h"
#include "table/xlsx.h"

namespace egn::table {

namespace {

constexpr std::string_view kOdsType = "application/vnd.oasis.opendocument.spreadsheet";

// The first bytes of a small part, inflated (empty where it cannot be read).
std::string Head(ZipReader& zip, const ZipEntry& entry, std::size_t size) {
  std::string head(size, '\0');
  const std::unique_ptr<ByteSource> part = zip.Inflate(entry);
  std::size_t got = 0;
  while (got < size) {
    const long read = part->Read(head.data() + got, size - got);
    if (read <= 0) break;
    got += static_cast<std::size_t>(read);
  }
  head.resize(got);
  return head;
}

}  // namespace

std::optional<WorkbookKind> KindOf(ZipReader& zip) {
  if (zip.Find("xl/workbook.xml") != nullptr) return WorkbookKind::kXlsx;
  // An OpenDocument package names its type in "mimetype", its first part;
  // one written without it, in its manifest, as the type of its root "/".
  if (const ZipEntry* mimetype = zip.Find("mimetype"); mimetype != nullptr) {
    return Head(zip, *mimetype, 256).starts_with(kOdsType) ? std::optional(WorkbookKind::kOds)
                                                           : std::nullopt;
  }
  if (const ZipEntry* manifest = zip.Find("META-INF/manifest.xml");
      manifest != nullptr && zip.Find("content.xml") != nullptr) {
    if (Head(zip, *manifest, std::size_t{64} * 1024).find(kOdsType) != std::string::npos) {
      return WorkbookKind::kOds;
    }
  }
  return std::nullopt;
}

std::unique_ptr<SheetReader> OpenWorkbook(ZipReader& zip, std::string& problem) {
  const std::optional<WorkbookKind> kind = KindOf(zip);
  if (!kind) {
    problem = "архивът ZIP не е работна книга (.xlsx или .ods)";
    return nullptr;
  }
  return *kind == WorkbookKind::kXlsx ? OpenXlsx(zip, problem) : OpenOds(zip, problem);
}

bool WriteWithResults(ZipReader& zip, std::size_t index, std::uint32_t first_column,
                      RowResults& results, ByteSink& out, std::string& problem) {
  const std::optional<WorkbookKind> kind = KindOf(zip);
  if (!kind) {
    problem = "архивът ZIP не е работна книга (.xlsx или .ods)";
    return false;
  }
  return *kind == WorkbookKind::kXlsx
             ? WriteXlsxWithResults(zip, index, first_column, results, out, problem)
             : WriteOdsWithResults(zip, index, first_column, results, out, problem);
}

std::string ColumnName(std::uint32_t column) {
  std::string name;
  for (std::uint64_t n = std::uint64_t{column} + 1; n > 0; n = (n - 1) / 26) {
    name.insert(name.begin(), static_cast<char>('A' + (n - 1) % 26));
  }
  return name;
}

}  // namespace egn::table
