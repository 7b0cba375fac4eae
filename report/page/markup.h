// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page's building blocks: text made safe for HTML, tables, and reading a result's JSON
// that may come from any schema, with keys missing, nulls or the wrong type anywhere.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report::page {

using nlohmann::json;

// `text` as HTML text or a double-quoted attribute value: every string of a result is data
// (a CPU name may be "<script>"), so none ever reaches the page as markup. Control characters
// other than tab and line feed are dropped.
std::string escape(std::string_view text);

// The member `key` of an object; nullptr when `j` is no object, or the member is missing or
// null.
const json* member(const json& j, std::string_view key);
// The same, only when it is an object, or an array.
const json* object(const json& j, std::string_view key);
const json* array(const json& j, std::string_view key);

std::optional<std::string> textAt(const json& j, std::string_view key);
std::optional<double> numberAt(const json& j, std::string_view key);
// A whole number of at most 2^53 either way, rounded when it has a fraction.
std::optional<std::int64_t> integerAt(const json& j, std::string_view key);
std::optional<bool> flagAt(const json& j, std::string_view key);

std::optional<double> asNumber(const json& j);
std::optional<std::int64_t> asInteger(const json& j);
// A string as it is, a number or a flag as JSON writes it; nullopt for null, objects, arrays.
std::optional<std::string> asText(const json& j);

// One cell of a table: its text, escaped when the table is written.
struct Cell {
    std::string text;
    bool numeric = false;  // right-aligned, in tabular figures
    bool faulty = false;   // an error: bold, and marked in the text itself
    bool code = false;     // an address or bit pattern: in a fixed-width face
    bool marked = false;   // a change beyond the noise: bold
};

Cell numericCell(std::string text);

// A table with a caption, column heads and rows whose first cell heads the row.
class Table {
  public:
    // A wide table has too many columns to stand beside a chart: it goes under it.
    Table(std::string_view caption, std::vector<std::string> heads, bool wide = false);
    void add(std::vector<Cell> cells, bool faulty = false);
    bool empty() const { return rows_.empty(); }
    std::string html() const;

  private:
    struct Row {
        std::vector<Cell> cells;
        bool faulty = false;
    };
    std::string caption_;
    std::vector<std::string> heads_;
    std::vector<Row> rows_;
    bool wide_ = false;
};

// A two-column table of captions and figures; a figure that is absent leaves its row out.
class FactTable {
  public:
    explicit FactTable(std::string_view caption) : caption_(caption) {}
    void add(std::string_view caption, const std::optional<std::string>& figure,
             bool faulty = false);
    bool empty() const { return facts_.empty(); }
    std::string html() const;

  private:
    struct Fact {
        std::string caption, figure;
        bool faulty = false;
    };
    std::string caption_;
    std::vector<Fact> facts_;
};

// A chart and its figures side by side: a <figure> holding `svg` under `title`, a legend
// under it, and the tables beside; wide tables go under both.
std::string chartWithTables(std::string_view title, const std::string& svg, std::string_view legend,
                            const std::vector<std::string>& tables);

// Tables without a chart, side by side as far as the width allows.
std::string tableGrid(const std::vector<std::string>& tables);

// A section: its anchor, heading and body.
std::string section(std::string_view id, std::string_view heading, const std::string& body);

// A paragraph of text, or of an error.
std::string paragraph(std::string_view text, bool faulty = false);

}  // namespace report::page
