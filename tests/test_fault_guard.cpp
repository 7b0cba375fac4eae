#include <gtest/gtest.h>

#include <csignal>

#include "platform/fault_guard.h"

namespace {

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
