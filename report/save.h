// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing the results where a failure is never silent.

#include <cstdio>
#include <optional>
#include <string>

namespace report {

// Writes `text` to `path` through a temporary file beside it (path + ".tmp-" + process id)
// and a rename, so that `path` holds either its earlier content or all of `text`. Returns
// the one line that says why it failed.
std::optional<std::string> saveAtomically(const std::string& path, const std::string& text);

// Writes `text` to `stream` and flushes it; the reason on failure.
std::optional<std::string> writeAll(std::FILE* stream, const std::string& text);

}  // namespace report
