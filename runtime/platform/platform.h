// What the forms runtime asks of the operating system, behind one seam: the
// declarations here, a definition for each platform (posix.cpp, also for the
// browser's build; win32.cpp; page.cpp for a page, which has no files), of
// which CMake builds the one for the target.
// Nothing else of the runtime includes a platform's headers or tests which
// platform it is on. Standard library only, and nothing of ours.
#pragma once

#include <cstdio>
#include <string>

namespace egn::runtime::platform {

// The file at `path` (UTF-8, whatever the system's own code page) opened for
// reading in binary; null when it cannot be opened (on Windows, also when the
// path is not UTF-8).
std::FILE* OpenForReading(const std::string& path);

}  // namespace egn::runtime::platform
