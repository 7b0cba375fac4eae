// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Giving pages their own memory before anything measures or tests them.
//
// A never-written anonymous page reads from the kernel's one shared zero page: a sweep or a
// test over it would time or check a single cached page, not memory. Every buffer Corvane
// measures or tests is backed through this one routine first.

#include <cstddef>
#include <cstdint>

#include "platform/expected.h"

namespace platform {

// Why a range could not be backed.
struct BackingFailure {
    enum class Kind {
        NoMemory,  // the kernel has no memory for it (or refused for another reason)
        Poisoned,  // a page is marked as failed hardware
    };
    Kind kind = Kind::NoMemory;
    std::int64_t offset = 0;  // of the poisoned page from the start of the range; 0 otherwise
};

// Backs every page of [start, start + bytes) for writing, contents unchanged. The kernel
// does it in one call (MADV_POPULATE_WRITE, Linux 5.14 on); only where it does not know the
// call (EINVAL on an older kernel) is one store per page made instead. When the kernel says
// there is no memory, no page is touched: touching pages then is how the out-of-memory
// killer is called in.
Expected<void, BackingFailure> backPages(void* start, std::size_t bytes);

// The same, with the call that populates a range given, so that tests can drive each
// answer: it returns 0 or sets errno, as madvise does.
using PopulateCall = int (*)(void* start, std::size_t bytes);
Expected<void, BackingFailure> backPages(void* start, std::size_t bytes, PopulateCall populate);

// The system's page size, as the fallback's stores and a poisoned page's offset count it.
std::size_t pageBytes();

}  // namespace platform
