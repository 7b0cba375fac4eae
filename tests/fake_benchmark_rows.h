// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fake kernels in rows shaped like the real kernel table (groups, indices, result labels,
// guards), so the run and the window can be tested without the real workloads, and without
// linking them.

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "bench/kernel_table.h"

namespace fake {

inline constexpr int kRows = bench::kRowCount;

// What each fake row does when called, by row number 1 to 29. Reset before each test.
struct Script {
    std::array<std::int32_t, kRows + 1> returns{};  // the kernel's return value
    std::array<bool, kRows + 1> faults{};           // raise an invalid-instruction fault
    std::array<bool, kRows + 1> wrong{};            // leave work other than the golden value
    std::array<int, kRows + 1> calls{};
    std::function<void(int row)> onCall;  // runs first in every call, before any fault
};

inline Script script;

// The example run: 8000 Mark in ALU (1,500 ms a row), 4000 Mark in FPU (3,000 ms), 100 in
// INSTR.
inline void resetScript() {
    script = Script{};
    for (int row = 1; row <= kRows; ++row)
        script.returns[row] = row <= 7 ? 1500 : row <= 14 ? 3000 : 100;
}

// A fake row's work is its row number, and one more when the script makes it wrong.
template <int Row>
bench::KernelOutcome kernel() {
    ++script.calls[Row];
    if (script.onCall) script.onCall(Row);
    if (script.faults[Row]) asm volatile("ud2");
    return {script.returns[Row], {{Row + (script.wrong[Row] ? 1 : 0)}}};
}

template <int Row>
bench::Golden goldenOf() {
    return {{{Row}}};
}

template <int... Rows>
constexpr std::array<bench::Kernel, kRows> kernels(std::integer_sequence<int, Rows...>) {
    return {&kernel<Rows + 1>...};
}

template <int... Rows>
constexpr std::array<bench::Golden (*)(), kRows> goldens(std::integer_sequence<int, Rows...>) {
    return {&goldenOf<Rows + 1>...};
}

// The table's layout: rows 1-7 ALU, 8-14 FPU, 15-29 INSTR; 23-25 guarded as MMX and 26-29
// as the SSE block.
inline std::array<bench::KernelRow, kRows> rows() {
    const auto routines = kernels(std::make_integer_sequence<int, kRows>{});
    const auto golden = goldens(std::make_integer_sequence<int, kRows>{});
    std::array<bench::KernelRow, kRows> table{};
    for (int i = 0; i < kRows; ++i) {
        const int row = i + 1;
        const bench::Group group = row <= 7    ? bench::Group::Alu
                                   : row <= 14 ? bench::Group::Fpu
                                               : bench::Group::Instr;
        const int index = row <= 7 ? row : row <= 14 ? row - 7 : row - 14;
        const bench::Guard guard = row >= 26   ? bench::Guard::Sse
                                   : row >= 23 ? bench::Guard::Mmx
                                               : bench::Guard::None;
        table[i] = {row, group, index, routines[i], guard, 0, golden[i]};
    }
    return table;
}

}  // namespace fake
