// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The JSON of what the pattern test adds to the memory test's figures: its set, seed, speeds,
// located mismatches, per-bit counts and the memory controllers' counters. Addresses and
// values are "0x…" strings: a 64-bit value does not survive a JSON reader's double.

#include <nlohmann/json.hpp>

#include "report/report.h"

namespace report {

// Adds the keys to the memtest object `j`; a result without them gets none.
void putLocated(nlohmann::json& j, const MemtestFigures& m);
// Reads them back; a result from before them leaves the figures as they are.
void takeLocated(const nlohmann::json& j, MemtestFigures& m);

// "0x1f3a2c040"; with `digits`, zero-padded to that many.
std::string hexJson(std::uint64_t value, int digits = 0);
// The number of a "0x…" string (or a plain number); nullopt for anything else.
std::optional<std::uint64_t> hexFrom(const nlohmann::json& j);

}  // namespace report
