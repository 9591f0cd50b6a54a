#include "table/byte_stream.h"

#include <cstring>

namespace egn::table {

std::string SystemProblem(int code) { return std::strerror(code); }

}  // namespace egn::table
