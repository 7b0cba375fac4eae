// SPDX-License-Identifier: GPL-3.0-or-later
// A copy for the copy group's tests: at each step it writes what it is and where it ran, and
// on request dies at a step or never finishes one.
//   copy_child [die-at=N] [stall-at=N] --copy-of FD:INDEX:CPU:PARENT
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "copy_report.h"
#include "platform/copies.h"
#include "platform/cpus.h"
#include "platform/ticks.h"

int main(int argc, char** argv) {
    int dieAt = -1, stallAt = -1;
    std::string where;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word.starts_with("die-at=")) dieAt = std::stoi(word.substr(7));
        if (word.starts_with("stall-at=")) stallAt = std::stoi(word.substr(9));
        if (word == platform::kCopyOfArgument && i + 1 < argc) where = argv[++i];
    }
    auto member = platform::CopyMember::join(where);
    if (!member) {
        std::fprintf(stderr, "copy_child: %s\n", member.error().c_str());
        return 3;
    }
    member->ready();
    while (const auto step = member->nextStep()) {
        const platform::CopyTiming timing{platform::monotonicNanoseconds(), 0};
        if (*step == dieAt) raise(SIGKILL);
        while (*step == stallAt) pause();
        CopyReport report{static_cast<int>(member->index()), member->cpu(), platform::currentCpu(),
                          *step, static_cast<int>(getpid())};
        std::memcpy(member->slot(), &report, sizeof report);
        member->finished({timing.startNs, platform::monotonicNanoseconds()});
    }
    return 0;
}
