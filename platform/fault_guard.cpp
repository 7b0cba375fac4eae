#include "platform/fault_guard.h"

#include <csetjmp>
#include <csignal>

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
    sigaction(SIGILL, &previousIll, nullptr);
    sigaction(SIGFPE, &previousFpe, nullptr);
    return completed;
}

}  // namespace platform
