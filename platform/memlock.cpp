// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/memlock.h"

#include <sys/mman.h>

#include <cerrno>

namespace platform {
namespace {

int lockPagesOnFault(void* start, std::size_t bytes) {
    return mlock2(start, bytes, MLOCK_ONFAULT);
}

}  // namespace

Expected<void, LockRefusal> lockOnFault(void* start, std::size_t bytes) {
    return lockOnFault(start, bytes, lockPagesOnFault);
}

Expected<void, LockRefusal> lockOnFault(void* start, std::size_t bytes, LockCall lock) {
    if (bytes == 0 || lock(start, bytes) == 0) return {};
    switch (errno) {
        case EPERM:
            return Unexpected{LockRefusal::NotPermitted};
        case ENOMEM:
        case EAGAIN:
            return Unexpected{LockRefusal::OverLimit};
        case EINVAL:
        case ENOSYS:
            return Unexpected{LockRefusal::Unsupported};
        default:
            return Unexpected{LockRefusal::Failed};
    }
}

}  // namespace platform
