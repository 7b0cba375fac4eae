// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything a run measured as one self-contained HTML page: a section for each part of the
// result that is there, each with a chart and, beside it, the same figures as tables. The
// page is made from the result's JSON alone, so a fresh run and a saved file of any schema
// render alike.

#include <nlohmann/json.hpp>
#include <string>

namespace report {

// The page of `result`, corvane-report's JSON form of a run; with "compare" when the run
// was compared with a saved one, and "from": {"file": ...} when it was read from a file.
// Keys may be missing or null anywhere. The page makes no request: no script, style, font or
// picture comes from outside it, and a Content-Security-Policy forbids any.
std::string renderPage(const nlohmann::json& result);

}  // namespace report
