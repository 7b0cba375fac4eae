// SPDX-License-Identifier: GPL-3.0-or-later
// Backing pages: each answer of the kernel, driven through an injected populate call.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/backing.h"

namespace {

using platform::BackingFailure;

// What the injected call was asked, and what it answers.
std::vector<std::size_t> asked;
int answer = 0;           // errno to fail with; 0: success
std::uintptr_t poisoned;  // the page that answers EHWPOISON when asked alone

int scripted(void* start, std::size_t bytes) {
    asked.push_back(bytes);
    if (bytes == 1 || bytes == platform::pageBytes()) {  // one page asked for at a time
        if (reinterpret_cast<std::uintptr_t>(start) == poisoned) {
            errno = EHWPOISON;
            return -1;
        }
        return 0;
    }
    if (answer == 0) return 0;
    errno = answer;
    return -1;
}

struct Mapping {
    explicit Mapping(std::size_t pages)
        : bytes(pages * platform::pageBytes()),
          data(static_cast<char*>(
              mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0))) {}
    ~Mapping() { munmap(data, bytes); }

    // Pages of the mapping that have memory of their own now. Counted page by page: the
    // kernel may merge the mapping with a neighbour, whose pages a per-mapping count adds.
    std::size_t backedPages() const {
        std::vector<unsigned char> resident(pages());
        if (mincore(data, bytes, resident.data()) != 0) return 0;
        return static_cast<std::size_t>(std::count_if(
            resident.begin(), resident.end(), [](unsigned char r) { return (r & 1) != 0; }));
    }
    std::size_t pages() const { return bytes / platform::pageBytes(); }

    std::size_t bytes;
    char* data;
};

class Backing : public ::testing::Test {
  protected:
    void SetUp() override {
        asked.clear();
        answer = 0;
        poisoned = 0;
    }
    Mapping block{64};
};

TEST_F(Backing, TheKernelBacksTheWholeRangeInOneCall) {
    EXPECT_TRUE(platform::backPages(block.data, block.bytes, scripted));
    EXPECT_EQ(asked, (std::vector<std::size_t>{block.bytes}));
    // And for real: every page is this process's own afterwards.
    EXPECT_TRUE(platform::backPages(block.data, block.bytes));
    EXPECT_EQ(block.backedPages(), block.pages());
}

TEST_F(Backing, NoMemoryTouchesNoPageAndAnOldKernelGetsOneStorePerPage) {
    for (const int error : {ENOMEM, EFAULT, EPERM}) {
        answer = error;
        const auto backed = platform::backPages(block.data, block.bytes, scripted);
        ASSERT_FALSE(backed) << error;
        EXPECT_EQ(backed.error().kind, BackingFailure::Kind::NoMemory);
        EXPECT_EQ(block.backedPages(), 0u) << error;
    }
    block.data[5 * platform::pageBytes() + 7] = 42;
    answer = EINVAL;
    EXPECT_TRUE(platform::backPages(block.data, block.bytes, scripted));
    EXPECT_EQ(block.backedPages(), block.pages());
    EXPECT_EQ(block.data[5 * platform::pageBytes() + 7], 42);  // contents unchanged
}

TEST_F(Backing, APoisonedPageIsNamedByItsOffset) {
    answer = EHWPOISON;
    poisoned = reinterpret_cast<std::uintptr_t>(block.data + 9 * platform::pageBytes());
    const auto backed = platform::backPages(block.data, block.bytes, scripted);
    ASSERT_FALSE(backed);
    EXPECT_EQ(backed.error().kind, BackingFailure::Kind::Poisoned);
    EXPECT_EQ(backed.error().offset, static_cast<std::int64_t>(9 * platform::pageBytes()));
    EXPECT_EQ(block.backedPages(), 0u);
}

TEST_F(Backing, AnInterruptedCallIsAskedAgainButNotForever) {
    answer = EINTR;
    const auto backed = platform::backPages(block.data, block.bytes, scripted);
    ASSERT_FALSE(backed);
    EXPECT_GT(asked.size(), 1u);
    EXPECT_LE(asked.size(), 1000u);
}

}  // namespace
