// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/priority.h"

#include <pthread.h>
#include <sys/resource.h>

#include <cerrno>

namespace platform {

ThreadPolicy currentThreadPolicy() {
    ThreadPolicy found;
    sched_param param{};
    if (pthread_getschedparam(pthread_self(), &found.policy, &param) == 0) {
        found.priority = param.sched_priority;
    }
    return found;
}

int currentProcessNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    return errno == 0 ? nice : 0;
}

RaisedPriority::RaisedPriority()
    : savedThread_(currentThreadPolicy()), savedNice_(currentProcessNice()) {
    processRaised_ = setpriority(PRIO_PROCESS, 0, -20) == 0;
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    threadRaised_ = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

RaisedPriority::~RaisedPriority() {
    if (threadRaised_) {
        sched_param param{};
        param.sched_priority = savedThread_.priority;
        pthread_setschedparam(pthread_self(), savedThread_.policy, &param);
    }
    if (processRaised_) {
        setpriority(PRIO_PROCESS, 0, savedNice_);
    }
}

}  // namespace platform
