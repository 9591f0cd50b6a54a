// egn-digit's reading of numbers in one include: the lines of a stream
// (table::LineReader) from a file or a console (FileSource, WideSource), and
// the check of each line (CheckLine), with the names the program uses for
// them.
#pragma once

#include "cli/byte_sources.h"
#include "cli/line_check.h"
#include "table/blanks.h"
#include "table/encodings.h"
#include "table/line_reader.h"

namespace egn::cli {

using table::Encoding;
using table::IsUtf16;
using table::LineReader;

}  // namespace egn::cli
