#pragma once
// Best-effort raised priority for a short measurement on the calling thread.
//
// Where the system allows it (root or CAP_SYS_NICE) the thread runs SCHED_FIFO at the
// highest priority and the process at nice -20; for an ordinary user the requests are
// refused and nothing changes. Whatever was found is put back when the object ends,
// thread first, then process, and no failure is ever shown.

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
