// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeping a block in memory while it is tested.
//
// A page the kernel swaps out and back in comes back in another frame: the test would then
// check a copy, and a fault found there could not be traced to where it was written. Locking
// is allowed to root and, up to RLIMIT_MEMLOCK (often 8 MiB), to everyone else; where it is
// refused the test runs all the same and says so.

#include <cstddef>

#include "platform/expected.h"

namespace platform {

enum class LockRefusal {
    NotPermitted,  // neither the capability nor a lock limit above 0
    OverLimit,     // more than RLIMIT_MEMLOCK allows
    Unsupported,   // a kernel without lock-on-fault
    Failed,        // any other reason
};

// Locks [start, start + bytes) page by page as each is first touched (mlock2 with
// MLOCK_ONFAULT), so locking takes no time of its own and the pages are still backed by
// whoever touches them first. The lock ends with the mapping.
Expected<void, LockRefusal> lockOnFault(void* start, std::size_t bytes);

// The same, with the call given, so that tests can drive each answer: it returns 0 or sets
// errno, as mlock2 does.
using LockCall = int (*)(void* start, std::size_t bytes);
Expected<void, LockRefusal> lockOnFault(void* start, std::size_t bytes, LockCall lock);

}  // namespace platform
