// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The x87 unit's control word. Corvane starts with 0x1332: extended precision, round to
// nearest, and invalid operation, division by zero and overflow reported as faults.
// Threads started afterwards inherit it. Double arithmetic on x86-64 runs on SSE and is
// not affected.

#include <cstdint>

namespace platform {

inline constexpr std::uint16_t kStartupX87ControlWord = 0x1332;

inline void setX87ControlWord(std::uint16_t word) {
    asm volatile("fldcw %0" : : "m"(word));
}

inline std::uint16_t x87ControlWord() {
    std::uint16_t word = 0;
    asm volatile("fnstcw %0" : "=m"(word));
    return word;
}

}  // namespace platform
