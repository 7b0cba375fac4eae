// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/fault_guard.h"

#include <csetjmp>
#include <csignal>
#include <cstdint>

namespace platform {
namespace {

thread_local sigjmp_buf* activeGuard = nullptr;

void onFault(int signal) {
    if (activeGuard != nullptr) siglongjmp(*activeGuard, signal);
    // A fault outside any guard of this thread: die of it as the system would have.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

bool runGuarded(void (*block)(void*), void* context) {
    struct sigaction handler {};
    handler.sa_handler = onFault;
    sigemptyset(&handler.sa_mask);
    handler.sa_flags = SA_NODEFER;
    struct sigaction previousIll {
    }, previousFpe{};
    sigaction(SIGILL, &handler, &previousIll);
    sigaction(SIGFPE, &handler, &previousFpe);

    // Linux hands a signal handler a fresh floating-point state, and leaving the handler by
    // siglongjmp keeps it: without this the x87 control word and MXCSR would silently
    // change after a fault.
    std::uint16_t x87Control = 0;
    std::uint32_t sseControl = 0;
    asm volatile("fnstcw %0" : "=m"(x87Control));
    asm volatile("stmxcsr %0" : "=m"(sseControl));

    sigjmp_buf here;
    sigjmp_buf* const outer = activeGuard;
    bool completed = false;
    // savemask = 1: the signal mask at the fault is put back as it is here.
    if (sigsetjmp(here, 1) == 0) {
        activeGuard = &here;
        block(context);
        completed = true;
    }
    activeGuard = outer;
    if (!completed) {
        // A fault may have left the x87 stack in MMX use or half full.
        asm volatile("fninit\n\tfldcw %0\n\tldmxcsr %1" : : "m"(x87Control), "m"(sseControl));
    }
    sigaction(SIGILL, &previousIll, nullptr);
    sigaction(SIGFPE, &previousFpe, nullptr);
    return completed;
}

}  // namespace platform
