// The browser's page: it has no files of its own (the page's policy lets it
// reach none), and everything its program reads is compiled into it, so no
// file opens. Linked into page programs ahead of posix.cpp (which the
// browser build's tests under Node keep, to read the source tree), so that
// the page carries none of the C library's file handling.
#include <cstdio>
#include <string>

#include "runtime/platform/platform.h"

namespace egn::runtime::platform {

std::FILE* OpenForReading(const std::string& /*path*/) { return nullptr; }

}  // namespace egn::runtime::platform
