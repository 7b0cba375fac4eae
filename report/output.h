// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The report in the format the options ask for.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "report/compare.h"
#include "report/options.h"
#include "report/report.h"

namespace report {

// The whole output of a run: the figures and, where a saved result was given, the
// comparison with it (the object "compare" in JSON; OpenMetrics has none).
std::string rendered(const Report& report, Format format,
                     const std::optional<Comparison>& comparison);

// A JSON value as the JSON output and --save write it: indented, ending with a newline.
std::string jsonText(const nlohmann::json& json);

}  // namespace report
