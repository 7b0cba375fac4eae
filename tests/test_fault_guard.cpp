#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>

#include "platform/fault_guard.h"

namespace {

int blocksRun = 0;

void invalidInstruction() {
    asm volatile("ud2");
}

void handlerThatMustStay(int) {}

sighandler_t currentHandler(int signal) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

}  // namespace

TEST(FaultGuard, AnInvalidInstructionEndsOnlyItsBlock) {
    blocksRun = 0;
    const bool first = platform::runGuarded([] {
        invalidInstruction();
        ++blocksRun;  // never reached
    });
    const bool second = platform::runGuarded([] { ++blocksRun; });
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(blocksRun, 1);
}

TEST(FaultGuard, RestoresThePreviousHandlers) {
    struct sigaction mine {};
    mine.sa_handler = handlerThatMustStay;
    struct sigaction oldIll {
    }, oldFpe{};
    sigaction(SIGILL, &mine, &oldIll);
    sigaction(SIGFPE, &mine, &oldFpe);

    platform::runGuarded([] { invalidInstruction(); });
    EXPECT_EQ(currentHandler(SIGILL), handlerThatMustStay);
    EXPECT_EQ(currentHandler(SIGFPE), handlerThatMustStay);

    sigaction(SIGILL, &oldIll, nullptr);
    sigaction(SIGFPE, &oldFpe, nullptr);
}

TEST(FaultGuard, NestedGuardsEachCatchTheirOwnFault) {
    bool innerCompleted = true;
    const bool outer = platform::runGuarded(
        [&] { innerCompleted = platform::runGuarded([] { invalidInstruction(); }); });
    EXPECT_FALSE(innerCompleted);
    EXPECT_TRUE(outer);
}

TEST(FaultGuard, AnIntegerDivisionByZeroIsAFaultToo) {
    volatile int zero = 0;
    volatile int result = 0;
    const bool completed = platform::runGuarded([&] {
        int divisor = zero;
        int quotient = 0;
        asm volatile("cltd\n\tidivl %2" : "=a"(quotient) : "a"(100), "r"(divisor) : "edx");
        result = quotient;
    });
    EXPECT_FALSE(completed);
    EXPECT_EQ(result, 0);
}

TEST(FaultGuard, AFaultLeavesTheFloatingPointSettingsAsTheyWere) {
    const std::uint16_t startup = 0x1332;
    std::uint16_t before = 0, after = 0;
    std::uint32_t mxcsrBefore = 0, mxcsrAfter = 0;
    asm volatile("fldcw %0" : : "m"(startup));
    asm volatile("fnstcw %0" : "=m"(before));  // as the unit reports it back
    asm volatile("stmxcsr %0" : "=m"(mxcsrBefore));
    platform::runGuarded([] { invalidInstruction(); });
    asm volatile("fnstcw %0" : "=m"(after));
    asm volatile("stmxcsr %0" : "=m"(mxcsrAfter));
    EXPECT_EQ(after, before);
    EXPECT_EQ(mxcsrAfter, mxcsrBefore);
    const std::uint16_t standard = 0x037F;
    asm volatile("fldcw %0" : : "m"(standard));
}
