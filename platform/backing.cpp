// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/backing.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

constexpr int kAttempts = 100;

int populateForWriting(void* start, std::size_t bytes) {
    return madvise(start, bytes, MADV_POPULATE_WRITE);
}

// One store per page, writing back the value read, so the contents stay as they are and the
// compiler keeps each store all the same.
void storeEveryPage(void* start, std::size_t bytes) {
    volatile char* const range = static_cast<char*>(start);
    const std::size_t page = pageBytes();
    for (std::size_t offset = 0; offset < bytes; offset += page) range[offset] = range[offset];
    if (bytes > 0) range[bytes - 1] = range[bytes - 1];
}

// The first poisoned page of the range, asked of the kernel page by page: the call over the
// whole range says only that one is.
std::int64_t poisonedPage(char* start, std::size_t bytes, PopulateCall populate) {
    const std::size_t page = pageBytes();
    for (std::size_t offset = 0; offset < bytes; offset += page) {
        if (populate(start + offset, 1) != 0 && errno == EHWPOISON)
            return static_cast<std::int64_t>(offset);
    }
    return 0;
}

}  // namespace

std::size_t pageBytes() {
    static const std::size_t bytes = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return bytes;
}

Expected<void, BackingFailure> backPages(void* start, std::size_t bytes) {
    return backPages(start, bytes, populateForWriting);
}

Expected<void, BackingFailure> backPages(void* start, std::size_t bytes, PopulateCall populate) {
    if (bytes == 0) return {};
    // madvise works on whole pages: the range is widened to the page it starts in.
    const auto address = reinterpret_cast<std::uintptr_t>(start);
    const std::uintptr_t lead = address % pageBytes();
    char* const first = static_cast<char*>(start) - lead;
    // Interrupted, or briefly short of a resource: asked again, a bounded number of times.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (populate(first, bytes + lead) == 0) return {};
        switch (errno) {
            case EINTR:
            case EAGAIN:
                continue;
            case EINVAL:
                storeEveryPage(start, bytes);  // a kernel before 5.14
                return {};
            case EHWPOISON: {
                const std::int64_t offset = poisonedPage(first, bytes + lead, populate);
                const std::int64_t fromStart = offset - static_cast<std::int64_t>(lead);
                return Unexpected{BackingFailure{BackingFailure::Kind::Poisoned,
                                                 std::max<std::int64_t>(0, fromStart)}};
            }
            default:
                return Unexpected{BackingFailure{BackingFailure::Kind::NoMemory, 0}};
        }
    }
    return Unexpected{BackingFailure{BackingFailure::Kind::NoMemory, 0}};
}

}  // namespace platform
