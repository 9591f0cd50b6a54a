// POSIX systems and the browser: paths are bytes, and the runtime's are
// UTF-8 as the system's are.
#include "runtime/platform/platform.h"

#include <cstdio>
#include <string>

namespace egn::runtime::platform {

std::FILE* OpenForReading(const std::string& path) { return std::fopen(path.c_str(), "rb"); }

}  // namespace egn::runtime::platform
