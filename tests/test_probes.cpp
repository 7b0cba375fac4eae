// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <csignal>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "platform/cpu_description.h"
#include "platform/fault_guard.h"
#include "platform/x87.h"
#include "sysinfo/probes.h"

namespace {

void refusedInstruction() {
    asm volatile("ud2");
}

// Puts the x87 registers in MMX use and is then refused, the way a 3DNow! probe fails on
// a processor without 3DNow!.
void refusedAfterMmxMove() {
    asm volatile("movd %0, %%mm0\n\tud2" : : "r"(0) : "mm0");
}

std::uint16_t x87TagWord() {
    unsigned char environment[28];
    asm volatile("fnstenv %0" : "=m"(environment));
    asm volatile("fldenv %0" : : "m"(environment));  // fnstenv masks exceptions; undo that
    return static_cast<std::uint16_t>(environment[8] | (environment[9] << 8));
}

void handlerThatMustStay(int) {}

}  // namespace

TEST(InstructionProbes, AgreeWithTheProcessorFlags) {
    std::ifstream file("/proc/cpuinfo");
    const std::string cpuinfo{std::istreambuf_iterator<char>(file), {}};
    std::istringstream words(platform::firstProcessorFields(cpuinfo)["flags"]);
    const std::set<std::string> flags{std::istream_iterator<std::string>(words), {}};
    if (flags.empty()) GTEST_SKIP() << "no flags line in /proc/cpuinfo";
    using sysinfo::Extension;
    std::vector<Extension> expected;
    // "3dnow" must match whole: "3dnowprefetch" alone does not mean 3DNow! arithmetic.
    for (auto [flag, extension] :
         {std::pair{"mmx", Extension::Mmx}, std::pair{"3dnow", Extension::ThreeDNow},
          std::pair{"sse", Extension::Sse}, std::pair{"sse2", Extension::Sse2},
          std::pair{"pni", Extension::Sse3}}) {
        if (flags.count(flag)) expected.push_back(extension);
    }
    EXPECT_EQ(sysinfo::supportedExtensions(sysinfo::instructionProbes()), expected);
}

TEST(InstructionProbes, RefusedProbeIsSkippedAndTheNextStillRuns) {
    const auto& real = sysinfo::instructionProbes();
    using sysinfo::Extension;
    const sysinfo::InstructionProbe probes[] = {real[0],
                                                {Extension::ThreeDNow, refusedInstruction},
                                                {Extension::Sse, refusedAfterMmxMove},
                                                real[3]};
    EXPECT_EQ(sysinfo::supportedExtensions(probes),
              (std::vector<Extension>{Extension::Mmx, Extension::Sse2}));
}

TEST(InstructionProbes, RefusedProbeLeavesTheFloatingPointUnitAsItWas) {
    const std::uint16_t savedControl = platform::x87ControlWord();
    const std::uint32_t savedMxcsr = _mm_getcsr();
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    _mm_setcsr(0x7F80);  // all masked, round toward zero: anything but the default 0x1F80
    // Read back rather than compared with 0x1332: reserved bit 6 may read as 1.
    const std::uint16_t startupControl = platform::x87ControlWord();

    const bool executed = sysinfo::runProbe({sysinfo::Extension::Mmx, refusedAfterMmxMove});

    const std::uint16_t control = platform::x87ControlWord();
    const std::uint32_t sse = _mm_getcsr();
    const std::uint16_t tags = x87TagWord();
    platform::setX87ControlWord(savedControl);
    _mm_setcsr(savedMxcsr);

    EXPECT_FALSE(executed);
    EXPECT_EQ(control, startupControl) << "the signal handler's default 0x037F stayed";
    EXPECT_EQ(sse & 0xFFC0u, 0x7F80u);  // the control bits; the low six are sticky flags
    EXPECT_EQ(tags, 0xFFFF) << "x87 registers left in use by the MMX move";
}

// The guard the probes run under, which the benchmark runs every kernel under too.
// signal() hands back the handler it replaces.
TEST(FaultGuard, NestedGuardsEachCatchTheirOwnFaultAndThePreviousHandlersComeBack) {
    const sighandler_t oldIll = std::signal(SIGILL, handlerThatMustStay);
    const sighandler_t oldFpe = std::signal(SIGFPE, handlerThatMustStay);
    bool innerCompleted = true;
    const bool outer = platform::runGuarded(
        [&] { innerCompleted = platform::runGuarded([] { refusedInstruction(); }); });
    EXPECT_FALSE(innerCompleted);
    EXPECT_TRUE(outer);
    EXPECT_EQ(std::signal(SIGILL, oldIll), handlerThatMustStay);
    EXPECT_EQ(std::signal(SIGFPE, oldFpe), handlerThatMustStay);
}

TEST(FaultGuard, AnIntegerDivisionByZeroIsAFaultToo) {
    volatile int zero = 0;
    volatile int result = 0;
    const bool completed = platform::runGuarded([&] {
        int quotient = 0;
        asm volatile("cltd\n\tidivl %2" : "=a"(quotient) : "a"(100), "r"(int{zero}) : "edx");
        result = quotient;
    });
    EXPECT_FALSE(completed);
    EXPECT_EQ(result, 0);
}
