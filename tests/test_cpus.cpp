// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/cpus.h"

using platform::CpuList;
using platform::formatCpuList;
using platform::parseCpuList;

namespace {

CpuList parsed(const std::string& text) {
    const auto list = parseCpuList(text);
    EXPECT_TRUE(list) << text << ": " << (list ? "" : list.error());
    return list ? *list : CpuList{};
}

std::string reason(const std::string& text) {
    const auto list = parseCpuList(text);
    EXPECT_FALSE(list) << text << " was taken as " << (list ? formatCpuList(*list) : "");
    return list ? "" : list.error();
}

}  // namespace

TEST(CpuListSyntax, ReadsWhatSysfsWritesAndWhatPeopleType) {
    EXPECT_EQ(parsed("0-3,8,10-11\n"), (CpuList{0, 1, 2, 3, 8, 10, 11}));
    EXPECT_EQ(parsed("5"), (CpuList{5}));
    EXPECT_EQ(parsed(" 0 - 1 ,\t4 \n"), (CpuList{0, 1, 4}));
    EXPECT_EQ(parsed("0,8191"), (CpuList{0, 8191}));
    // Repeats and overlaps are merged, and the list comes out ascending.
    EXPECT_EQ(parsed("6,1-3,2,3-4"), (CpuList{1, 2, 3, 4, 6}));
    // The kernel's strides: 2 CPUs of every group of 4.
    EXPECT_EQ(parsed("0-15:2/4"), (CpuList{0, 1, 4, 5, 8, 9, 12, 13}));
    EXPECT_EQ(parsed("3-9:1/3"), (CpuList{3, 6, 9}));
}

TEST(CpuListSyntax, RefusesWithAReasonThatNamesTheBadPart) {
    EXPECT_EQ(reason("1-"), "\"1-\" has no last CPU");
    EXPECT_EQ(reason("3-1"), "\"3-1\" runs backwards");
    EXPECT_EQ(reason("a"), "\"a\" is not a CPU number or range");
    EXPECT_EQ(reason(""), "the CPU list is empty");
    EXPECT_EQ(reason(" \n"), "the CPU list is empty");
    EXPECT_EQ(reason("-1"), "\"-1\" is negative: CPUs count from 0");
    EXPECT_EQ(reason("0--3"), "\"0--3\" is not a CPU number or range");
    EXPECT_EQ(reason("8192"), "CPU 8192 is beyond the largest, 8191");
    EXPECT_EQ(reason("0-99999999999999999999"),
              "CPU 99999999999999999999 is beyond the largest, 8191");
    EXPECT_EQ(reason("0,,2"), "an entry of \"0,,2\" is empty");
    EXPECT_EQ(reason("0-3,"), "an entry of \"0-3,\" is empty");
    EXPECT_EQ(reason("0-7:3/2"), "\"0-7:3/2\" takes more CPUs of each group than it holds");
    EXPECT_EQ(reason("0-7:2"), "\"0-7:2\" has a stride without \"/\"");
    // The first bad entry is named, not the good one before it.
    EXPECT_EQ(reason("0-3,7x"), "\"7x\" is not a CPU number or range");
    for (const char* text : {"1-2-3", "+1", "1.5", "0x10", "1 2", "N", "0-N", "0-7:a/2", "0-7:0/2"})
        EXPECT_FALSE(reason(text).empty()) << text;
}

TEST(CpuListSyntax, AReasonNeverCarriesWhatATerminalWouldObey) {
    const std::string escape = reason("\x1b]0;title\x07");
    EXPECT_EQ(escape.find('\x1b'), std::string::npos) << escape;
    EXPECT_EQ(escape.find('\x07'), std::string::npos) << escape;
    // A whole file of garbage is cut short.
    EXPECT_LT(reason(std::string(100'000, 'x')).size(), 80u);
}

TEST(CpuListSyntax, FormatsTheCompactFormBack) {
    EXPECT_EQ(formatCpuList({0, 1, 2, 3, 8}), "0-3,8");
    EXPECT_EQ(formatCpuList({10, 11}), "10-11");
    EXPECT_EQ(formatCpuList({5}), "5");
    EXPECT_EQ(formatCpuList({}), "");
    EXPECT_EQ(formatCpuList({3, 1, 2, 2}), "1-3");
    for (const std::string text : {"0-3,8,10-11", "0", "0,2,4,6", "1-8191", "0-1,3-4,8191"})
        EXPECT_EQ(formatCpuList(parsed(text)), text);
    EXPECT_EQ(formatCpuList(parsed("0-15:2/4")), "0-1,4-5,8-9,12-13");
}

TEST(CpuPinning, AThreadRunsWhereItIsPinnedAndIsRefusedElsewhere) {
    const CpuList allowed = platform::allowedCpus();
    ASSERT_FALSE(allowed.empty());
    std::thread([&] {
        ASSERT_TRUE(platform::pinCurrentThread(allowed.back()));
        EXPECT_EQ(platform::currentCpu(), allowed.back());
        EXPECT_FALSE(platform::pinCurrentThread(-1));
        EXPECT_FALSE(platform::pinCurrentThread(platform::kMaxCpuNumber + 1));
        EXPECT_TRUE(platform::allowCurrentThread(allowed));
        EXPECT_EQ(platform::allowedCpus(), allowed);
    }).join();
}
