// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The physical address behind a virtual one, from the kernel's page map of this process.
//
// A memory fault is replaced by the module and the slot it sits in, and only the physical
// address leads there: the same virtual address lands on another module in the next run.
// Frame numbers are shown only to a process with CAP_SYS_ADMIN; to others the kernel hands
// out entries with the frame number 0.

#include <cstdint>
#include <filesystem>

#include "platform/expected.h"

namespace platform {

// Why a physical address is not known.
enum class FrameUnknown {
    NeedsRoot,   // the page is there, its frame number reads as 0
    NotPresent,  // no page behind the address at the moment (or swapped out)
    Unreadable,  // the page map could not be opened or read
};

class Pagemap {
  public:
    // <root>/proc/self/pagemap; tests hand over a file of their own.
    explicit Pagemap(const std::filesystem::path& path = "/proc/self/pagemap");
    ~Pagemap();
    Pagemap(const Pagemap&) = delete;
    Pagemap& operator=(const Pagemap&) = delete;

    // Safe to call from several threads at once: each call is one positioned read.
    Expected<std::uint64_t, FrameUnknown> physicalAddress(std::uint64_t virtualAddress) const;

  private:
    int fd_ = -1;
};

// An entry of the page map: bit 63 says the page is present, bits 0-54 hold its frame.
Expected<std::uint64_t, FrameUnknown> physicalFromEntry(std::uint64_t entry,
                                                        std::uint64_t virtualAddress,
                                                        std::uint64_t pageBytes);

}  // namespace platform
