// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The kernel table with every kernel and golden check replaced by a fake, so the run, the
// window and the report can be tested without the real workloads. Made at compile time: the
// copy names none of the real kernels.

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "bench/golden.h"
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
bench::KernelOutcome kernel(const bench::KernelContext&) {
    ++script.calls[Row];
    if (script.onCall) script.onCall(Row);
    if (script.faults[Row]) asm volatile("ud2");
    return {script.returns[Row], {{Row + (script.wrong[Row] ? 1 : 0)}}};
}

template <int Row>
bench::Golden goldenOf() {
    return bench::exactly({Row});
}

template <int... Rows>
constexpr std::array<bench::KernelRow, kRows> replaced(std::integer_sequence<int, Rows...>) {
    std::array<bench::KernelRow, kRows> rows = bench::kKernelTable;
    ((rows[Rows].kernel = &kernel<Rows + 1>, rows[Rows].golden = &goldenOf<Rows + 1>), ...);
    return rows;
}

// The table's groups, captions, guards and tail factors, with the fakes.
inline constexpr std::array<bench::KernelRow, kRows> kTable =
    replaced(std::make_integer_sequence<int, kRows>{});

inline std::array<bench::KernelRow, kRows> rows() {
    return kTable;
}

}  // namespace fake
