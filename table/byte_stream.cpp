#include "table/byte_stream.h"

#include <cstring>

namespace egn::table {

std::string SystemProblem(int code) { return std::strerror(code); }

bool MemorySource::ReadAt(std::uint64_t offset, char* into, std::size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) {
    problem_ = "четене след края на данните: " + std::to_string(size) + " байта от байт " +
               std::to_string(offset) + ", а те са " + std::to_string(bytes_.size());
    return false;
  }
  if (size != 0) std::memcpy(into, bytes_.data() + offset, size);
  return true;
}

}  // namespace egn::table
