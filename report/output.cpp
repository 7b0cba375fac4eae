// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/output.h"

namespace report {

std::string jsonText(const nlohmann::json& json) {
    // System strings that are not UTF-8 must not end the program after a long run.
    return json.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::string rendered(const Report& report, Format format,
                     const std::optional<Comparison>& comparison) {
    switch (format) {
        case Format::Json: {
            nlohmann::json json = report;
            if (comparison) json["compare"] = compareJson(*comparison);
            return jsonText(json);
        }
        case Format::OpenMetrics:
            return renderOpenMetrics(report);
        case Format::Text:
            break;
    }
    return renderText(report) + (comparison ? renderCompareText(*comparison) : std::string());
}

}  // namespace report
