// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Best-effort raised priority for a short measurement on the calling thread.
//
// Where the system allows it (root or CAP_SYS_NICE) the calling thread runs SCHED_FIFO at
// the highest priority and at nice -20: on Linux setpriority(PRIO_PROCESS, 0) sets the
// calling thread's nice value, so the other threads keep theirs. For an ordinary user both
// requests are refused and nothing changes. Whatever was found is put back when the object
// ends, the policy first, then the nice value, and no failure is ever shown.

#include <sched.h>

namespace platform {

struct ThreadPolicy {
    int policy = SCHED_OTHER;
    int priority = 0;
    friend bool operator==(const ThreadPolicy&, const ThreadPolicy&) = default;
};

ThreadPolicy currentThreadPolicy();
int currentProcessNice();

class RaisedPriority {
  public:
    RaisedPriority();
    ~RaisedPriority();
    RaisedPriority(const RaisedPriority&) = delete;
    RaisedPriority& operator=(const RaisedPriority&) = delete;

    // Whether the thread really runs at real-time priority (for reports, never shown).
    bool raised() const { return threadRaised_; }

  private:
    ThreadPolicy savedThread_;
    int savedNice_;
    bool threadRaised_ = false;
    bool processRaised_ = false;
};

}  // namespace platform
