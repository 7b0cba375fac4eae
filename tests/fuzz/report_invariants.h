// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every memory-status report must satisfy, whatever the files said; with what the two
// memory-status fuzz targets' entry points need.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/memory_status.h"

inline void checkMemoryReport(const std::optional<platform::MemoryStatus>& r) {
    if (!r) return;
    if (r->totalPhys <= 0 || r->availPhys < 0 || r->availPhys > r->totalPhys) __builtin_trap();
    if (r->availPageFile < r->availPhys || r->availPageFile > r->totalPageFile) __builtin_trap();
    if (r->totalVirtual < 0 || r->totalVirtual > platform::kUserAddressSpace) __builtin_trap();
    if (r->availVirtual < 0 || r->availVirtual > r->totalVirtual) __builtin_trap();
}
