// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing the results where a failure is never silent.

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/expected.h"

namespace report {

// Writes `text` to `path` through a temporary file beside it (path + ".tmp-" + process id)
// and a rename, so that `path` holds either its earlier content or all of `text`. On
// failure, the reason in one line.
platform::Expected<void, std::string> saveAtomically(const std::string& path,
                                                     const std::string& text,
                                                     std::string_view option = "--save");

// Writes `text` to `stream` and flushes it; on failure, the reason.
platform::Expected<void, std::string> writeAll(std::FILE* stream, const std::string& text);

}  // namespace report
