// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pagemap.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/backing.h"

namespace platform {
namespace {

constexpr std::uint64_t kPresent = std::uint64_t{1} << 63;
constexpr std::uint64_t kFrameMask = (std::uint64_t{1} << 55) - 1;

}  // namespace

Pagemap::Pagemap(const std::filesystem::path& path)
    : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}

Pagemap::~Pagemap() {
    if (fd_ >= 0) ::close(fd_);
}

Expected<std::uint64_t, FrameUnknown> physicalFromEntry(std::uint64_t entry,
                                                        std::uint64_t virtualAddress,
                                                        std::uint64_t pageBytes) {
    if ((entry & kPresent) == 0) return Unexpected{FrameUnknown::NotPresent};
    const std::uint64_t frame = entry & kFrameMask;
    if (frame == 0) return Unexpected{FrameUnknown::NeedsRoot};
    return frame * pageBytes + virtualAddress % pageBytes;
}

Expected<std::uint64_t, FrameUnknown> Pagemap::physicalAddress(std::uint64_t virtualAddress) const {
    if (fd_ < 0) return Unexpected{FrameUnknown::Unreadable};
    const std::uint64_t page = pageBytes();
    std::uint64_t entry = 0;
    const auto at = static_cast<off_t>(virtualAddress / page * sizeof entry);
    if (::pread(fd_, &entry, sizeof entry, at) != static_cast<ssize_t>(sizeof entry))
        return Unexpected{FrameUnknown::Unreadable};
    return physicalFromEntry(entry, virtualAddress, page);
}

}  // namespace platform
