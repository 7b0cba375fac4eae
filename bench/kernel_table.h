// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 29 rows of the CPU benchmark in calling order: one table that the window and the
// headless runners both walk, so no row is ever listed twice. A row is known by its number;
// its caption is the presentation's (present::rowCaption).

#include <array>
#include <cstdint>
#include <string_view>

#include "bench/golden.h"
#include "bench/kernel.h"

namespace bench {

enum class Group { Alu, Fpu, Instr };

// How a row runs: plainly, or under the fault guard (a processor without the extension
// refuses the instruction and the row keeps 0).
enum class Guard { None, Mmx, Sse };

struct KernelRow {
    int row;  // 1 to 29
    Group group;
    int index;  // 1-based index inside the group's score array
    Kernel routine;
    Guard guard;
    std::int32_t sweepTailFactor;  // volume factor of the sweep tail; 0: none
    Golden (*golden)();            // what the routine's work must leave
};

inline constexpr int kRowCount = 29;

// The revision of the rows' work. Raise it with every change to what any kernel computes,
// how long it runs or how its return value is scored: saved results of another revision
// are not comparable row by row. Revision 1 is the first that results record.
inline constexpr int kBenchRevision = 1;

const std::array<KernelRow, kRowCount>& kernelTable();

// "ALU", "FPU", "INSTR": the group as saved results name it.
std::string_view groupName(Group group);

}  // namespace bench
