// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/page/markup.h"

#include <cmath>

namespace report::page {

std::string escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
                break;
        }
    }
    return out;
}

const json* member(const json& j, std::string_view key) {
    if (!j.is_object()) return nullptr;
    const auto found = j.find(key);
    if (found == j.end() || found->is_null()) return nullptr;
    return &*found;
}

const json* object(const json& j, std::string_view key) {
    const json* found = member(j, key);
    return found && found->is_object() ? found : nullptr;
}

const json* array(const json& j, std::string_view key) {
    const json* found = member(j, key);
    return found && found->is_array() ? found : nullptr;
}

std::optional<double> asNumber(const json& j) {
    if (!j.is_number()) return std::nullopt;
    return j.get<double>();
}

std::optional<std::int64_t> asInteger(const json& j) {
    // Counts, sizes and figures stay far below 2^53; a result writes addresses and bit
    // patterns as hex strings. Anything larger is taken as absent, so that no sum or
    // difference of a file's figures can overflow.
    constexpr std::int64_t kLargest = std::int64_t{1} << 53;
    if (j.is_number_integer()) {
        const auto value = j.get<std::int64_t>();
        if (value > kLargest || value < -kLargest) return std::nullopt;
        return value;
    }
    if (j.is_number_float()) {
        const double value = std::round(j.get<double>());
        if (!(value >= -0x1p53 && value <= 0x1p53)) return std::nullopt;
        return static_cast<std::int64_t>(value);
    }
    return std::nullopt;
}

std::optional<std::string> asText(const json& j) {
    if (j.is_string()) return j.get<std::string>();
    if (j.is_number() || j.is_boolean()) return j.dump();
    return std::nullopt;
}

std::optional<std::string> textAt(const json& j, std::string_view key) {
    const json* found = member(j, key);
    if (!found || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

std::optional<double> numberAt(const json& j, std::string_view key) {
    const json* found = member(j, key);
    return found ? asNumber(*found) : std::nullopt;
}

std::optional<std::int64_t> integerAt(const json& j, std::string_view key) {
    const json* found = member(j, key);
    return found ? asInteger(*found) : std::nullopt;
}

std::optional<bool> flagAt(const json& j, std::string_view key) {
    const json* found = member(j, key);
    if (!found || !found->is_boolean()) return std::nullopt;
    return found->get<bool>();
}

Cell numericCell(std::string text) {
    return Cell{std::move(text), true, false};
}

Table::Table(std::string_view caption, std::vector<std::string> heads, bool wide)
    : caption_(caption), heads_(std::move(heads)), wide_(wide) {}

void Table::add(std::vector<Cell> cells, bool faulty) {
    rows_.push_back({std::move(cells), faulty});
}

namespace {

std::string cellClass(const Cell& cell) {
    std::string classes;
    if (cell.numeric) classes += "num";
    if (cell.faulty) classes += classes.empty() ? "faulty" : " faulty";
    if (cell.code) classes += classes.empty() ? "code" : " code";
    if (cell.marked) classes += classes.empty() ? "marked" : " marked";
    return classes.empty() ? "" : " class=\"" + classes + "\"";
}

}  // namespace

std::string Table::html() const {
    std::string out = std::string(wide_ ? "<table class=\"wide\">" : "<table>") + "\n<caption>" +
                      escape(caption_) + "</caption>\n<thead><tr>";
    for (std::size_t i = 0; i < heads_.size(); ++i) {
        // A column of figures has its head over the figures' right edge.
        const bool numeric =
            !rows_.empty() && i < rows_.front().cells.size() && rows_.front().cells[i].numeric;
        out += std::string(numeric ? "<th scope=\"col\" class=\"num\">" : "<th scope=\"col\">") +
               escape(heads_[i]) + "</th>";
    }
    out += "</tr></thead>\n<tbody>\n";
    for (const auto& row : rows_) {
        out += row.faulty ? "<tr class=\"faulty\">" : "<tr>";
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
            const Cell& cell = row.cells[i];
            const char* tag = i == 0 ? "th" : "td";
            out += std::string("<") + tag + (i == 0 ? " scope=\"row\"" : "") + cellClass(cell) +
                   ">" + escape(cell.text) + "</" + tag + ">";
        }
        out += "</tr>\n";
    }
    return out + "</tbody>\n</table>\n";
}

void FactTable::add(std::string_view caption, const std::optional<std::string>& figure,
                    bool faulty) {
    if (figure) facts_.push_back({std::string(caption), *figure, faulty});
}

std::string FactTable::html() const {
    std::string out = "<table class=\"facts\">\n<caption>" + escape(caption_) + "</caption>\n";
    for (const auto& fact : facts_) {
        out += fact.faulty ? "<tr class=\"faulty\">" : "<tr>";
        out += "<th scope=\"row\">" + escape(fact.caption) + "</th><td>" + escape(fact.figure) +
               "</td></tr>\n";
    }
    return out + "</table>\n";
}

namespace {

bool isWide(const std::string& table) {
    return table.starts_with("<table class=\"wide\">");
}

}  // namespace

std::string chartWithTables(std::string_view title, const std::string& svg, std::string_view legend,
                            const std::vector<std::string>& tables) {
    std::string beside, under;
    for (const auto& table : tables) (isWide(table) ? under : beside) += table;
    // Without tables beside it, the chart has the row to itself.
    std::string out = beside.empty() ? "<div class=\"pair single\">\n" : "<div class=\"pair\">\n";
    if (!svg.empty()) {
        out += "<figure>\n<figcaption>" + escape(title) + "</figcaption>\n" + svg;
        if (!legend.empty()) out += "<p class=\"legend\">" + escape(legend) + "</p>\n";
        out += "</figure>\n";
    }
    if (!beside.empty()) out += "<div class=\"tables\">\n" + beside + "</div>\n";
    if (!under.empty()) out += "<div class=\"tables under\">\n" + under + "</div>\n";
    return out + "</div>\n";
}

std::string tableGrid(const std::vector<std::string>& tables) {
    std::string out;
    for (const auto& table : tables) out += table;
    return out.empty() ? "" : "<div class=\"table-grid\">\n" + out + "</div>\n";
}

std::string section(std::string_view id, std::string_view heading, const std::string& body) {
    return "<section id=\"" + escape(id) + "\">\n<h2>" + escape(heading) + "</h2>\n" + body +
           "</section>\n";
}

std::string paragraph(std::string_view text, bool faulty) {
    return std::string(faulty ? "<p class=\"faulty\">" : "<p>") + escape(text) + "</p>\n";
}

}  // namespace report::page
